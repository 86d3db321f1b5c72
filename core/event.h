// Events: the small values that carry every input and notification through the control tree.
// They are created on the stack, passed by const reference and copied member by member.
#pragma once

#include <string>

#include "platform/win_types.h"

class IMControl;

// Event ids made by the framework itself (window messages keep their own numbers).
inline constexpr int EV_NOTIFY = 0;  // enable, disable, hide, show, invalidate, timer tick
inline constexpr int EV_DRAW = 15;
inline constexpr int EV_UPDATE = 16;  // per-frame update; also the id of a close request
inline constexpr int EV_FOCUS = 17;
inline constexpr int EV_BLUR = 18;
// Mouse events made by the framework; Windows never sends these numbers to the tree.
inline constexpr int MSG_MOUSEENTER = 523;
inline constexpr int MSG_LCLICK = 524;
inline constexpr int MSG_RCLICK = 525;
inline constexpr int MSG_MCLICK = 526;
inline constexpr int MSG_MOUSELEAVE = 675;

// The destructors of the event classes are deliberately not virtual: events are values and are
// never deleted through a base pointer.
class IMEvent {
   public:
    IMEvent(IMControl* sender, int id) : sender(sender), id(id) {}
    virtual bool Is(int v) const { return id == v; }

    IMControl* sender;  // the control that emitted or last forwarded the event
    int id;
};

class IMWindowsEvent : public IMEvent {
   public:
    IMWindowsEvent(IMControl* sender, int id, WPARAM wParam, LPARAM lParam)
        : IMEvent(sender, id), wParam(wParam), lParam(lParam) {}

    WPARAM wParam;
    LPARAM lParam;
};

class IMKeyboardEvent : public IMWindowsEvent {
   public:
    IMKeyboardEvent(IMControl* sender, int id, WPARAM wParam, LPARAM lParam)
        : IMWindowsEvent(sender, id, wParam, lParam) {}
    bool Is(int v) const override { return id == v; }
    virtual bool IsMessage(unsigned v) const { return static_cast<unsigned>(id) == v; }

    // The typed character of a WM_CHAR event as a one-character string; empty for the
    // editing characters (backspace, tab, line feed, carriage return, escape) and for every
    // other message.
    std::wstring GetCharText() const;

    // This event with another sender, as a control re-sends it through its own signals.
    IMKeyboardEvent From(IMControl* newSender) const {
        IMKeyboardEvent copy = *this;
        copy.sender = newSender;
        return copy;
    }
};

class IMMouseEvent : public IMWindowsEvent {
   public:
    IMMouseEvent(IMControl* sender, int id, WPARAM wParam, LPARAM lParam, int x, int y)
        : IMWindowsEvent(sender, id, wParam, lParam), x(x), y(y) {}
    bool Is(int v) const override { return id == v; }
    virtual bool IsMessage(unsigned v) const { return static_cast<unsigned>(id) == v; }

    IMMouseEvent From(IMControl* newSender) const {
        IMMouseEvent copy = *this;
        copy.sender = newSender;
        return copy;
    }
    // The same event with the pointer moved into another coordinate system.
    IMMouseEvent At(int newX, int newY) const {
        IMMouseEvent copy = *this;
        copy.x = newX;
        copy.y = newY;
        return copy;
    }

    int x;  // in the receiving control's parent coordinates
    int y;
};

// Which window messages become which events.
bool IsKeyboardMessage(UINT message);  // 256, 257, 258, 260, 261
bool IsMouseMessage(UINT message);     // 512 to 517, 519, 520, 522

// Builds the event for a keyboard message: wParam and lParam as received.
IMKeyboardEvent MakeKeyboardEvent(IMControl* sender, UINT message, WPARAM wParam, LPARAM lParam);
// Builds the event for a mouse message: the pointer position is unpacked from lParam (signed
// 16-bit halves) and lParam itself becomes 0.
IMMouseEvent MakeMouseEvent(IMControl* sender, UINT message, WPARAM wParam, LPARAM lParam);

// IMWindow: the root of the control tree and the only control with a real window behind it.
// Its children are the application's screens. It turns window messages into events for the
// tree, runs the main loop (drain messages, then an idle pass: update the tree, draw a frame
// when something is dirty, fire due timers, wait), owns the window's timers, and ends the
// program when it is closed.
//
// The main loop's wait: it sleeps until a message arrives (input, a sound notification posted
// by a playback thread) or the next timer is due, whichever is first, and at most 1 ms while
// some control asked for every pass (a playing film). A loop that woke every millisecond for
// nothing cost 4-5 % of a core on a still screen.
//
// GUI thread only.
#pragma once

#include <memory>
#include <string>

#include "core/timer_service.h"
#include "gui/dialog.h"
#include "platform/window.h"

class IMWindow : public IMDialog {
   public:
    // Use CreateMainWindow. Timers, films and everything else in the tree read `clock`, which
    // must outlive the window.
    explicit IMWindow(std::unique_ptr<platform::Window> window, platform::Clock& clock = platform::Clock::Real());
    // Releases every control of the tree while the engine exists, stops the engine, closes the
    // window and forgets the timers.
    ~IMWindow() override;

    // Ends the program: posts the quit message. The window stays connected and in place.
    int Dispose() override;
    // Polls the pointer: enter and leave of the whole window, in screen coordinates.
    int Tick() override;
    // Draws a frame when something in the tree is dirty; nothing while inactive.
    virtual int Render();

    // The window's timers (ids from 1, never reused).
    unsigned AddTimer(unsigned intervalMs) { return timers_.AddTimer(intervalMs); }
    int RemoveTimer(unsigned id) { return timers_.RemoveTimer(id); }
    template <class F>
    IMConnection ConnectTimer(unsigned id, const F& slot) {
        return timers_.ConnectTimer(id, slot);
    }
    IMTimerService& Timers() { return timers_; }
    // The program's time.
    platform::Clock& Clock() const { return timers_.Clock(); }

    // The window procedure: sound notifications first, then input and window messages.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // One round of the main loop without waiting: takes SDL input, dispatches every queued
    // message (false when the quit message was taken), then runs one idle pass.
    bool PumpOnce();
    void IdlePass();
    // How long the loop may sleep now, in clock microseconds: -1 = until input.
    std::int64_t IdleWaitMicroseconds();

    // A control that must be updated on every pass (a playing film) holds one of these.
    void RequestEveryPass(bool on) { everyPass_ += on ? 1 : -1; }

    bool IsInactive() const { return inactive_; }
    platform::Window* NativeWindow() const { return window_.get(); }

   private:
    std::unique_ptr<platform::Window> window_;
    IMTimerService timers_;
    bool inactive_ = false;
    int everyPass_ = 0;
};

// Opens the main window with a client area of rect's size, starts the engine for it and makes
// the root control, which the caller owns: dropping it releases the whole tree and stops the
// engine. Full screen unless windowed; `hidden` makes an invisible window (tests). The window,
// the engine and the sounds run on `clock`.
// Returns null, with the reason on standard error, when no window can be opened.
std::unique_ptr<IMWindow> CreateMainWindow(const std::wstring& title, const RECT& rect, bool windowed,
                                           bool hidden = false, platform::Clock& clock = platform::Clock::Real());

// Runs the main loop until the quit message; returns 0.
int RunMessageLoop(IMWindow* window);

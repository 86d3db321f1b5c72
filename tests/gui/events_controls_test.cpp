#include <gtest/gtest.h>

#include <boost/bind/bind.hpp>
#include <memory>
#include <string>
#include <vector>

#include "gui/control.h"
#include "tests/support/plain_control.h"

using namespace boost::placeholders;

namespace {

// Records every signal a control emits, as "Name:id", with the sender checked on the way.
struct SignalLog {
    explicit SignalLog(IMControl& c) : control(c) {
        Watch(c.OnDraw, "Draw");
        Watch(c.OnClose, "Close");
        Watch(c.OnUpdate, "Update");
        Watch(c.OnDisable, "Disable");
        Watch(c.OnEnable, "Enable");
        Watch(c.OnHide, "Hide");
        Watch(c.OnShow, "Show");
        Watch(c.OnInvalidate, "Invalidate");
        Watch(c.OnFocus, "Focus");
        Watch(c.OnBlur, "Blur");
        Watch(c.OnMouseMove, "MouseMove");
        Watch(c.OnMouseButton, "MouseButton");
        Watch(c.OnClick, "Click");
        Watch(c.OnMouseEnter, "MouseEnter");
        Watch(c.OnMouseLeave, "MouseLeave");
        Watch(c.OnDoubleClick, "DoubleClick");
        Watch(c.OnKey, "Key");
        Watch(c.OnKeyDown, "KeyDown");
        Watch(c.OnKeyUp, "KeyUp");
    }
    template <class Signal>
    void Watch(Signal& s, std::string name) {
        s.connect([this, name](const auto& e) -> long {
            EXPECT_EQ(e.sender, &control) << name;
            entries.push_back(name + ":" + std::to_string(e.id));
            return 0;
        });
    }
    std::vector<std::string> Take() { return std::exchange(entries, {}); }

    IMControl& control;
    std::vector<std::string> entries;
};

using Log = std::vector<std::string>;

IMMouseEvent Mouse(UINT message, WPARAM keys, int x = 5, int y = 6) {
    return IMMouseEvent(nullptr, static_cast<int>(message), keys, 0, x, y);
}

}  // namespace

TEST(Events, MouseMessagesUnpackSignedCoordinates) {
    IMMouseEvent e = MakeMouseEvent(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>(0xFFF6FFFBu));
    EXPECT_EQ(e.x, -5);
    EXPECT_EQ(e.y, -10);
    EXPECT_EQ(e.lParam, 0);
    EXPECT_TRUE(e.IsMessage(513));
    EXPECT_TRUE(e.Is(513));

    IMMouseEvent wheel =
        MakeMouseEvent(nullptr, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, -WHEEL_DELTA), MAKELPARAM(799, 599));
    EXPECT_EQ(wheel.x, 799);
    EXPECT_EQ(wheel.y, 599);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel.wParam), -120);

    EXPECT_TRUE(IsMouseMessage(WM_MBUTTONUP));
    EXPECT_FALSE(IsMouseMessage(0x206));  // right double click is not passed on
    EXPECT_TRUE(IsKeyboardMessage(WM_SYSKEYUP));
    EXPECT_FALSE(IsKeyboardMessage(0x103));
}

TEST(Events, CharTextIsOnlyForTypedCharacters) {
    EXPECT_EQ(MakeKeyboardEvent(nullptr, WM_CHAR, 0x0441, 0).GetCharText(), std::wstring(1, L'\u0441'));
    for (WPARAM editing : {8u, 9u, 10u, 13u, 27u})
        EXPECT_EQ(MakeKeyboardEvent(nullptr, WM_CHAR, editing, 0).GetCharText(), L"") << editing;
    EXPECT_EQ(MakeKeyboardEvent(nullptr, WM_CHAR, 7, 0).GetCharText(), std::wstring(1, L'\a'));
    EXPECT_EQ(MakeKeyboardEvent(nullptr, WM_CHAR, 0x10041, 0).GetCharText(), L"A");  // low 16 bits
    EXPECT_EQ(MakeKeyboardEvent(nullptr, WM_KEYDOWN, 'A', 0).GetCharText(), L"");
}

TEST(Controls, KeysReachTheirSignalsAndCharactersOnlyTheGenericOne) {
    PlainControl c;
    SignalLog log(c);
    c.Key(MakeKeyboardEvent(nullptr, WM_CHAR, L'я', 0));
    EXPECT_EQ(log.Take(), (Log{"Key:258"}));
    c.Key(MakeKeyboardEvent(nullptr, WM_KEYDOWN, VK_F1, 0));
    c.Key(MakeKeyboardEvent(nullptr, WM_SYSKEYDOWN, VK_F12, 0));
    c.Key(MakeKeyboardEvent(nullptr, WM_SYSKEYUP, VK_F12, 0));
    EXPECT_EQ(log.Take(), (Log{"KeyDown:256", "Key:256", "KeyDown:260", "Key:260", "KeyUp:261", "Key:261"}));

    c.Disable();  // keys are not gated
    log.Take();
    c.Key(MakeKeyboardEvent(nullptr, WM_KEYUP, VK_SPACE, 0));
    EXPECT_EQ(log.Take(), (Log{"KeyUp:257", "Key:257"}));
}

TEST(Controls, ClicksNeedPressAndReleaseOnTheSameControl) {
    PlainControl a, b;
    SignalLog logA(a), logB(b);

    a.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    b.MouseButton(Mouse(WM_LBUTTONUP, 0));
    EXPECT_EQ(logB.Take(), (Log{"MouseButton:514"}));  // no click on B
    EXPECT_TRUE(a.IsPressed());                        // A keeps its press until it hears a button again

    a.MouseButton(Mouse(WM_RBUTTONDOWN, MK_RBUTTON));
    logA.Take();
    a.MouseButton(Mouse(WM_LBUTTONUP, 0));  // the click follows the released button only
    EXPECT_EQ(logA.Take(), (Log{"Click:524", "MouseButton:514"}));
    EXPECT_FALSE(a.IsPressed());

    a.MouseButton(Mouse(WM_MBUTTONDOWN, MK_MBUTTON));
    a.MouseButton(Mouse(WM_MBUTTONUP, 0));
    a.MouseButton(Mouse(WM_LBUTTONDBLCLK, MK_LBUTTON));
    EXPECT_EQ(logA.Take(),
              (Log{"MouseButton:519", "Click:526", "MouseButton:520", "MouseButton:515", "DoubleClick:515"}));
}

TEST(Controls, ADisabledControlKeepsTrackOfTheButtonsSilently) {
    PlainControl c;
    SignalLog log(c);
    c.Disable();
    c.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    c.MouseButton(Mouse(WM_LBUTTONUP, 0));
    c.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    EXPECT_EQ(log.Take(), (Log{"Disable:0"}));
    EXPECT_TRUE(c.IsPressed());

    // A release after enabling clicks, although the press came while disabled.
    c.Enable();
    c.MouseButton(Mouse(WM_LBUTTONUP, 0));
    EXPECT_EQ(log.Take(), (Log{"Enable:0", "Click:524", "MouseButton:514"}));

    // Moves, enter and leave are not gated either.
    c.Disable();
    log.Take();
    c.MouseMove(Mouse(WM_MOUSEMOVE, 0));
    c.MouseEnter(Mouse(MSG_MOUSEENTER, 0));
    c.MouseLeave(Mouse(MSG_MOUSELEAVE, 0));
    EXPECT_EQ(log.Take(), (Log{"MouseMove:512", "MouseEnter:523", "MouseLeave:675"}));
}

TEST(Controls, WheelKeyStateCountsAsPressedOnlyForASingleButton) {
    PlainControl c;
    c.MouseButton(Mouse(WM_MOUSEWHEEL, MAKEWPARAM(MK_LBUTTON, 120)));
    EXPECT_TRUE(c.IsPressed());
    c.MouseButton(Mouse(WM_MOUSEWHEEL, MAKEWPARAM(MK_LBUTTON | MK_SHIFT, 120)));
    EXPECT_FALSE(c.IsPressed());
    c.MouseButton(Mouse(WM_MOUSEWHEEL, MAKEWPARAM(MK_MBUTTON, -120)));
    EXPECT_TRUE(c.IsPressed());
    // Other messages look at the button bits only.
    c.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT));
    EXPECT_TRUE(c.IsPressed());
}

TEST(Controls, FlagsChangeBeforeOrAfterEmittingAsHandlersExpect) {
    PlainControl c;
    std::vector<bool> seen;
    c.OnHide.connect([&](const IMEvent&) {
        seen.push_back(c.IsHidden());
        return 0L;
    });
    c.OnShow.connect([&](const IMEvent&) {
        seen.push_back(c.IsHidden());
        return 0L;
    });
    c.OnDisable.connect([&](const IMEvent&) {
        seen.push_back(c.IsEnabled());
        return 0L;
    });
    c.OnMouseEnter.connect([&](const IMMouseEvent&) {
        seen.push_back(c.IsMouseOver());
        return 0L;
    });
    c.OnMouseLeave.connect([&](const IMMouseEvent&) {
        seen.push_back(c.IsMouseOver());
        return 0L;
    });
    c.Hide();
    c.Show();
    c.Disable();
    c.MouseEnter(Mouse(MSG_MOUSEENTER, 0));
    c.MouseLeave(Mouse(MSG_MOUSELEAVE, 0));
    // Hide/Show/Disable show the old state; enter and leave the new one.
    EXPECT_EQ(seen, (std::vector<bool>{false, true, true, true, false}));
    EXPECT_FALSE(c.IsHidden());
    EXPECT_FALSE(c.IsEnabled());
}

TEST(Controls, FocusOnlyForFocusableControls) {
    PlainControl c;
    SignalLog log(c);
    c.SetFocus(true);
    EXPECT_FALSE(c.HasFocus());
    EXPECT_TRUE(log.Take().empty());

    c.SetFocusable(true);
    c.SetFocus(true);
    c.SetFocus(true);  // already focused: nothing
    EXPECT_TRUE(c.HasFocus());
    c.SetFocus(false);
    EXPECT_EQ(log.Take(), (Log{"Focus:17", "Blur:18"}));
}

TEST(Controls, DrawUpdateAndInvalidateInTheirOrder) {
    RecordingContainer parent;
    parent.lastMouse = {40, 30};
    PlainControl& c = parent.Add<PlainControl>(RECT{0, 0, 10, 10}, 7);
    ASSERT_EQ(parent.added.size(), 1u);
    EXPECT_EQ(parent.added[0].layer, 7);

    SignalLog log(c);
    c.SetDirty(true);
    EXPECT_EQ(log.Take(), (Log{"Invalidate:0"}));
    ASSERT_EQ(parent.hoverChecks.size(), 1u);  // a change under a still pointer re-evaluates the hover
    EXPECT_EQ(parent.hoverChecks[0].id, 512);
    EXPECT_EQ(parent.hoverChecks[0].x, 40);
    EXPECT_EQ(parent.hoverChecks[0].y, 30);

    c.Draw(IMEvent(nullptr, EV_DRAW));
    EXPECT_EQ(c.drawn, 1);
    EXPECT_FALSE(c.IsDirty());
    c.Update(IMEvent(nullptr, EV_UPDATE));
    EXPECT_EQ(log.Take(), (Log{"Draw:15", "Update:16"}));
    EXPECT_EQ(parent.hoverChecks.size(), 1u);  // cleaning the flag asks nothing of the parent
}

TEST(Controls, DisposeKeepsOnlyTheFocusSignalsAndLeavesDeletionToTheParent) {
    RecordingContainer parent;
    auto* c = &parent.Add<PlainControl>();
    SignalLog log(*c);
    c->Close();
    EXPECT_EQ(log.Take(), (Log{"Close:16"}));
    ASSERT_EQ(parent.removed.size(), 1u);
    EXPECT_EQ(parent.removed[0], c);

    EXPECT_TRUE(c->OnClick.empty());
    EXPECT_TRUE(c->OnClose.empty());
    EXPECT_TRUE(c->OnInvalidate.empty());
    EXPECT_TRUE(c->OnKeyUp.empty());
    EXPECT_FALSE(c->OnFocus.empty());
    EXPECT_FALSE(c->OnBlur.empty());

    // Closing twice must not hand the control to its parent twice: it would be deleted twice.
    c->Close();
    EXPECT_EQ(parent.removed.size(), 1u);
}

TEST(Controls, SlotsBoundToADestroyedControlAreNotCalled) {
    PlainControl emitter;
    auto target = std::make_unique<PlainControl>();
    int hidden = 0;
    target->OnHide.connect([&](const IMEvent&) {
        ++hidden;
        return 0L;
    });
    emitter.OnClick.connect(boost::bind(&IMControl::Hide, target.get()));
    emitter.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    emitter.MouseButton(Mouse(WM_LBUTTONUP, 0));
    EXPECT_EQ(hidden, 1);

    target.reset();
    emitter.MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    emitter.MouseButton(Mouse(WM_LBUTTONUP, 0));  // would touch freed memory if still connected
    EXPECT_EQ(hidden, 1);
}

TEST(Controls, HandlersMayDisconnectOrDisposeDuringAnEmission) {
    RecordingContainer parent;
    auto* c = &parent.Add<PlainControl>();
    std::vector<int> calls;
    IMConnection self;
    self = c->OnClick.connect([&](const IMMouseEvent&) {
        calls.push_back(1);
        self.disconnect();
        return 0L;
    });
    c->OnClick.connect([&](const IMMouseEvent&) {
        calls.push_back(2);
        return 0L;
    });
    c->MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    c->MouseButton(Mouse(WM_LBUTTONUP, 0));
    c->MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    c->MouseButton(Mouse(WM_LBUTTONUP, 0));
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 2}));

    // A handler that ends its own control: the later slots of that emission are not called,
    // and the control stays alive until its parent deletes it.
    calls.clear();
    c->OnMouseButton.connect(boost::bind(&IMControl::Close, c));
    c->OnMouseButton.connect([&](const IMMouseEvent&) {
        calls.push_back(3);
        return 0L;
    });
    c->MouseButton(Mouse(WM_LBUTTONDOWN, MK_LBUTTON));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(parent.removed.size(), 1u);
    EXPECT_TRUE(c->IsPressed());
}

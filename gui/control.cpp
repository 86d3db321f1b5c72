#include "gui/control.h"

IMControl::IMControl(IMParent parent, int layer) : parent_(parent.Get()), joinLayer_(layer) {}

IMControl::~IMControl() = default;

int IMControl::Reserved() { return 0; }

int IMControl::SetFocus(bool on) {
    if (!focusable_ || on == focused_) return 0;
    if (on)
        FocusGained(IMEvent(this, EV_FOCUS));
    else
        FocusLost(IMEvent(this, EV_BLUR));
    return 0;
}

int IMControl::Disable() {
    Notify(OnDisable, EV_NOTIFY);
    enabled_ = false;
    return 0;
}

int IMControl::Enable() {
    Notify(OnEnable, EV_NOTIFY);
    enabled_ = true;
    return 0;
}

int IMControl::Hide() {
    Notify(OnHide, EV_NOTIFY);
    hidden_ = true;
    return 0;
}

int IMControl::Show() {
    Notify(OnShow, EV_NOTIFY);
    hidden_ = false;
    return 0;
}

int IMControl::Close() {
    IMEvent e(this, EV_UPDATE);
    Emit(OnClose, e);
    return CloseTree(e);
}

int IMControl::SetDirty(bool dirty) {
    if (!dirty) return 0;
    Notify(OnInvalidate, EV_NOTIFY);
    if (parent_) {
        POINT p = parent_->LastMousePosition();
        parent_->UpdateHover(IMMouseEvent(this, static_cast<int>(WM_MOUSEMOVE), 0, 0, p.x, p.y));
    }
    return 0;
}

bool IMControl::IsFocusable() { return focusable_; }
int IMControl::SetFocusable(bool focusable) {
    focusable_ = focusable;
    return 0;
}
bool IMControl::IsEnabled() { return enabled_; }
bool IMControl::IsHidden() { return hidden_; }
bool IMControl::IsMouseOver() { return mouseOver_; }
bool IMControl::IsPressed() { return pressed_; }
bool IMControl::IsLocked() { return locked_; }
bool IMControl::HasFocus() { return focused_; }

int IMControl::MouseMove(const IMMouseEvent& e) {
    Emit(OnMouseMove, e.From(this));
    return 0;
}

// Click synthesis:
//   pressed before | message          | result
//   false          | any              | no click
//   true           | 514 / 517 / 520  | click 524 / 525 / 526 (emitted only while enabled)
//   true           | anything else    | no click
// The click id follows the released button only, whichever button was pressed.
int IMControl::MouseButton(const IMMouseEvent& e) {
    if (pressed_) {
        int clickId = 0;
        switch (static_cast<UINT>(e.id)) {
            case WM_LBUTTONUP:
                clickId = MSG_LCLICK;
                break;
            case WM_RBUTTONUP:
                clickId = MSG_RCLICK;
                break;
            case WM_MBUTTONUP:
                clickId = MSG_MCLICK;
                break;
            default:
                break;
        }
        if (clickId != 0 && enabled_) Emit(OnClick, IMMouseEvent(this, clickId, e.wParam, 0, e.x, e.y));
    }

    if (static_cast<UINT>(e.id) == WM_MOUSEWHEEL) {
        // The wheel's key state counts only when exactly one button is down and nothing else.
        WORD keys = LOWORD(e.wParam);
        pressed_ = keys == MK_LBUTTON || keys == MK_RBUTTON || keys == MK_MBUTTON;
    } else {
        pressed_ = (e.wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    }

    if (enabled_) {
        IMMouseEvent copy = e.From(this);
        Emit(OnMouseButton, copy);
        if (static_cast<UINT>(e.id) == WM_LBUTTONDBLCLK) Emit(OnDoubleClick, copy);
    }
    return 0;
}

int IMControl::Click(const IMMouseEvent& e) {
    Emit(OnClick, e.From(this));
    return 0;
}

int IMControl::MouseEnter(const IMMouseEvent& e) {
    mouseOver_ = true;
    Emit(OnMouseEnter, e.From(this));
    return 0;
}

int IMControl::MouseLeave(const IMMouseEvent& e) {
    mouseOver_ = false;
    Emit(OnMouseLeave, e.From(this));
    return 0;
}

int IMControl::Key(const IMKeyboardEvent& e) {
    IMKeyboardEvent copy = e.From(this);
    switch (static_cast<UINT>(e.id)) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            Emit(OnKeyDown, copy);
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            Emit(OnKeyUp, copy);
            break;
        default:
            break;
    }
    Emit(OnKey, copy);
    return 0;
}

int IMControl::Draw(const IMEvent&) {
    DrawSelf();
    SetDirty(false);
    Notify(OnDraw, EV_DRAW);
    return 0;
}

int IMControl::Update(const IMEvent&) {
    Tick();
    Notify(OnUpdate, EV_UPDATE);
    return 0;
}

int IMControl::CloseTree(const IMEvent&) { return Dispose(); }

int IMControl::FocusGained(const IMEvent&) {
    if (focusable_) {
        focused_ = true;
        Notify(OnFocus, EV_FOCUS);
    }
    return 0;
}

int IMControl::FocusLost(const IMEvent&) {
    if (focusable_) {
        focused_ = false;
        Notify(OnBlur, EV_BLUR);
    }
    return 0;
}

int IMControl::Dispose() {
    for (IMEventSignal* s : {&OnDraw, &OnClose, &OnUpdate, &OnDisable, &OnEnable, &OnHide, &OnShow})
        s->disconnect_all_slots();
    for (IMMouseSignal* s : {&OnMouseMove, &OnMouseButton, &OnClick, &OnMouseEnter, &OnMouseLeave, &OnDoubleClick})
        s->disconnect_all_slots();
    for (IMKeyboardSignal* s : {&OnKey, &OnKeyDown, &OnKeyUp}) s->disconnect_all_slots();
    OnInvalidate.disconnect_all_slots();

    // The parent is asked once; it releases the control at its next update, not before.
    if (disposed_) return 0;
    disposed_ = true;
    if (parent_) parent_->RemoveChild(this);
    return 0;
}

int IMControl::Tick() { return 0; }

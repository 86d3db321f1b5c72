// IMControl: the abstract base of everything on screen.
//
// A control holds the link to the container that owns it, the state flags that input and the
// application change, and nineteen signals. Position, size, the dirty flag and drawing come
// from a view joined to the control (IMViewControl); children come from the dialog container.
//
// Ownership: a control with a parent is made by the parent's Add<T>(...) and owned by it from
// the first moment (gui/container.h). It ends with Close() (or Dispose()) and stays valid until
// the parent's next update, which releases it (a parent that goes takes all its children along);
// nothing else deletes it. Whoever only watches a control keeps a ControlRef
// (gui/control_ref.h), which reads as null once the control is gone. A control without a
// parent (the top-level window) belongs to whoever made it. GUI thread only.
//
// Order of flag change and emission, which handlers rely on:
//   Disable, Enable, Hide, Show          emit first, then change the flag (handlers see the old state)
//   MouseEnter, MouseLeave, FocusGained,
//   FocusLost                            change the flag first, then emit
//   MouseButton                          click first, then pressed, then OnMouseButton
#pragma once

#include <memory>

#include "core/event.h"
#include "core/signal.h"
#include "gui/container.h"
#include "platform/win_types.h"

class IMEmptyView;
class IMWindow;
template <class V>
class IMDialogBase;

class IMControl : public IMTrackable {
   public:
    // `layer` is where the parent files the control (a larger layer is drawn later and hit
    // first). parent is null only for a control without one (the top-level window).
    IMControl(IMParent parent, int layer);
    IMControl(const IMControl&) = delete;
    IMControl& operator=(const IMControl&) = delete;

    // The virtual operations, in their fixed order. Results are 0 unless named.
    virtual ~IMControl();
    virtual int Reserved();
    virtual int SetFocus(bool on);
    virtual int Disable();
    virtual int Enable();
    virtual int Hide();
    virtual int Show();
    // Ends the control: OnClose listeners run first, then CloseTree.
    virtual int Close();
    // The flag itself is kept by the view; IMControl announces a change and lets the parent
    // re-evaluate the hover, so a control that changes under a still pointer gets its
    // enter or leave at once.
    virtual int SetDirty(bool dirty);
    virtual bool IsDirty() = 0;
    virtual bool IsFocusable();
    virtual int SetFocusable(bool focusable);
    virtual bool IsEnabled();
    virtual bool IsHidden();
    virtual bool IsMouseOver();
    virtual bool IsPressed();
    virtual bool IsLocked();
    virtual bool HasFocus();
    // x and y are in the coordinate system of the control's rectangle.
    virtual bool HitTest(int x, int y) = 0;
    virtual int MouseMove(const IMMouseEvent& e);
    virtual int MouseButton(const IMMouseEvent& e);
    virtual int Click(const IMMouseEvent& e);
    virtual int MouseEnter(const IMMouseEvent& e);
    virtual int MouseLeave(const IMMouseEvent& e);
    virtual int Key(const IMKeyboardEvent& e);
    virtual int Draw(const IMEvent& e);
    virtual int Update(const IMEvent& e);
    virtual int CloseTree(const IMEvent& e);
    virtual int FocusGained(const IMEvent& e);
    virtual int FocusLost(const IMEvent& e);
    virtual int SetRect(const RECT& r) = 0;
    // The control's rectangle in its parent's coordinates.
    virtual RECT GetRect() = 0;
    // Disconnects every signal but OnFocus and OnBlur (the parent's focus tracking lives there)
    // and asks the parent to release the control at its next update. The object stays valid
    // until then, whether it had joined the parent yet or not. A second Dispose only
    // disconnects again.
    virtual int Dispose();
    virtual int DrawSelf() = 0;
    // Per-frame hook called by Update.
    virtual int Tick();

    IMContainer* Parent() const { return parent_; }
    // The window at the top of the control's tree; null while the tree hangs from no window.
    IMWindow* RootWindow() const;
    bool IsDisposed() const { return disposed_; }
    // The layer the control was made for.
    int JoinLayer() const { return joinLayer_; }
    // Expires when the control goes; ControlRef watches it.
    std::weak_ptr<const void> LifeToken() const { return life_; }

    IMEventSignal OnDraw;
    IMEventSignal OnClose;
    IMEventSignal OnUpdate;
    IMEventSignal OnDisable;
    IMEventSignal OnEnable;
    IMEventSignal OnHide;
    IMEventSignal OnShow;
    IMEventSignal OnInvalidate;
    IMEventSignal OnFocus;
    IMEventSignal OnBlur;
    IMMouseSignal OnMouseMove;
    IMMouseSignal OnMouseButton;
    IMMouseSignal OnClick;
    IMMouseSignal OnMouseEnter;
    IMMouseSignal OnMouseLeave;
    IMMouseSignal OnDoubleClick;
    IMKeyboardSignal OnKey;
    IMKeyboardSignal OnKeyDown;
    IMKeyboardSignal OnKeyUp;

   protected:
    // Emits an event signal with a fresh event from this control.
    void Notify(IMEventSignal& signal, int id) { Emit(signal, IMEvent(this, id)); }

    IMContainer* parent_;
    bool mouseOver_ = false;
    bool pressed_ = false;
    bool enabled_ = true;
    bool hidden_ = false;
    bool focused_ = false;
    bool locked_ = false;
    bool focusable_ = false;

   private:
    // The container ends the token just before it releases the control, so that no handle
    // reaches a control whose destructors are running.
    friend class IMDialogBase<IMEmptyView>;
    void EndLife() { life_.reset(); }

    bool disposed_ = false;
    int joinLayer_ = 0;
    std::shared_ptr<const void> life_ = std::make_shared<char>(0);
};

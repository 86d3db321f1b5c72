// IMDialogBase<IMEmptyView>: the one container of the framework. Screens, panels, overlays,
// the game boards, the edit bar and the top-level window are all containers.
//
// A container owns children filed under integer layers (a larger layer is drawn later and hit
// first; within a layer, later children cover earlier ones), draws them clipped to its own
// rectangle with the drawing origin at its top-left corner, routes mouse input to the child
// under the pointer and keys to the child with the focus, and makes enter and leave events.
//
// Ownership: every child is made by Add<T>(...) (gui/container.h) and held by a unique_ptr in
// this container from then on, first among the joining children, then in its layer. Children
// join and leave only at two fixed points of Update, so handlers may create and close controls
// of the same container while events are delivered, and a control that closes itself (even
// one that never joined) stays valid until then:
//
//   Add  --next Update-->  live  --Dispose-->  scheduled  --next Update-->  released
//   (not drawn, hit or updated)       (still hit; signals other than focus disconnected)
//   Add  --Dispose before joining-->  scheduled, never joins  --next Update-->  released
//
// ReleaseScheduled is the one place where a child is destroyed: at the start and at the end
// of Update, and for every child at the container's own end. Just before, the child's handles
// (ControlRef) become empty and the hover and focus forget it. Hover and focus themselves are
// plain pointers to children this container holds; releasing a child clears them first.
//
// The child under the pointer is found again whenever what lies under the pointer may have
// changed: on every move and every press (a press goes to the child under it, whatever came
// and went since the last move), when the container comes under the pointer, when children
// join, leave, move, show or hide, and when the container itself moves. So a screen opened
// under a still pointer shows its hover at once and takes the first click, at any depth.
//
// GUI thread only.
//
// Contents: construction and ownership | insertion and deletion | update and drawing |
//           mouse, keys and focus | layers
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "gui/container.h"
#include "gui/view_control.h"

template <class V>
class IMDialogBase;

template <>
class IMDialogBase<IMEmptyView> : public IMViewControl<IMEmptyView>, public IMContainer {
   public:
    // rect null: the whole back buffer.
    IMDialogBase(IMParent parent, const RECT* rect, int layer);
    // Releases every child, scheduled or not, so nothing a container owned outlives it.
    ~IMDialogBase() override;

    int SetDirty(bool d) override;
    bool IsDirty() override;
    bool HitTest(int x, int y) override;
    int MouseMove(const IMMouseEvent& e) override;
    int MouseButton(const IMMouseEvent& e) override;
    // Coming under a still pointer, the container looks for the child there at once.
    int MouseEnter(const IMMouseEvent& e) override;
    int MouseLeave(const IMMouseEvent& e) override;
    // A container that moves under a still pointer keeps the pointer where it is on the
    // screen, which is elsewhere among its children.
    int SetRect(const RECT& r) override;
    int Key(const IMKeyboardEvent& e) override;
    int Draw(const IMEvent& e) override;
    using IMEmptyView::Draw;  // the view's own Draw() stays visible beside the control's
    int Update(const IMEvent& e) override;
    int CloseTree(const IMEvent& e) override;
    int FocusLost(const IMEvent& e) override;

    // IMContainer
    void RemoveChild(IMControl* child) override;
    long UpdateHover(const IMMouseEvent& e) override;
    POINT LastMousePosition() const override { return {lastMouseX_, lastMouseY_}; }

    // Releases the children scheduled for deletion, the last scheduled first; true when it
    // released one that had joined.
    bool ReleaseScheduled();
    // The first layer, in ascending order, that holds the child; 0 when none does.
    int LayerOf(IMControl* child) const;
    // Moves a live child to another layer at once (a child still pending insertion stays).
    void SetLayer(IMControl* child, int layer);
    // Connected to every child's OnFocus and OnBlur: the focus climbs to the root.
    long OnChildFocusEvent(const IMEvent& e);

    IMControl* HoverChild() const { return hoverChild_; }
    IMControl* FocusChild() const { return focusChild_; }
    // Live children, pending insertions and pending deletions, for tests and diagnostics.
    std::size_t LiveChildCount() const;
    std::size_t PendingAddCount() const;
    std::size_t PendingDeleteCount() const { return pendingDeletes_.size(); }

    // The live children in drawing order, copied so that handlers which move children
    // between layers cannot disturb the walk.
    std::vector<IMControl*> LiveChildren() const;

   protected:
    // Schedules every child still held, live or joining, and releases them all (the end of a
    // container's life; the window does it early, while the engine still exists).
    void ReleaseChildren();
    // The pointer is over this container at a local position, known without a move (the
    // top-level window's own enter, whose event speaks in screen coordinates).
    void PointerAt(POINT local);

   private:
    // A child made by Add that has not joined yet.
    struct Joining {
        std::uint64_t order;
        std::unique_ptr<IMControl> control;
    };

    void Adopt(std::unique_ptr<IMControl> child, std::uint64_t order) override;
    // Takes a child out of the live layers or the joining ones; null when it is in neither.
    std::unique_ptr<IMControl> TakeOut(IMControl* child);
    bool IsLive(IMControl* child) const;
    bool IsJoining(IMControl* child) const;
    // Looks again for the child under the last pointer position, when the pointer is over
    // this container.
    void RefreshHover();

    std::map<int, std::vector<std::unique_ptr<IMControl>>> layers_;
    std::vector<Joining> pendingAdds_;  // in the order of Add
    // Which of the children held above go at the next update, in the order they were disposed.
    std::vector<IMControl*> pendingDeletes_;
    IMControl* hoverChild_ = nullptr;
    IMControl* focusChild_ = nullptr;
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
    // The pointer is over the container: a pointer message reached it or its parent found it
    // under the pointer, and it has not left since. Until then the last position means nothing
    // and no child is looked for.
    bool pointerHere_ = false;
};

using IMDialog = IMDialogBase<IMEmptyView>;

#include "gui/dialog.h"

#include <algorithm>
#include <boost/bind/bind.hpp>

#include "gui/engine_link.h"

namespace {

using Owned = std::vector<std::unique_ptr<IMControl>>;

Owned::iterator Find(Owned& v, IMControl* c) {
    return std::find_if(v.begin(), v.end(), [c](const std::unique_ptr<IMControl>& p) { return p.get() == c; });
}

bool Contains(const Owned& v, IMControl* c) {
    return std::any_of(v.begin(), v.end(), [c](const std::unique_ptr<IMControl>& p) { return p.get() == c; });
}

}  // namespace

// [SECTION] Construction and ownership

IMDialogBase<IMEmptyView>::IMDialogBase(IMParent parent, const RECT* rect, int layer)
    : IMViewControl<IMEmptyView>(parent, layer) {
    focusable_ = true;
    if (rect) {
        SetRect(*rect);
    } else {
        POINT size = engine_link::BackBufferSize();
        SetRect(RECT{0, 0, size.x, size.y});
    }
}

IMDialogBase<IMEmptyView>::~IMDialogBase() { ReleaseChildren(); }

void IMDialogBase<IMEmptyView>::ReleaseChildren() {
    // Children that were never closed, or never joined, have no other owner. Scheduled in
    // reverse, they go in drawing order, the joining ones last, after those already scheduled.
    std::vector<IMControl*> rest;
    for (auto& [layer, v] : layers_)
        for (auto& c : v) rest.push_back(c.get());
    for (auto& j : pendingAdds_) rest.push_back(j.control.get());
    std::erase_if(rest, [this](IMControl* c) {
        return std::find(pendingDeletes_.begin(), pendingDeletes_.end(), c) != pendingDeletes_.end();
    });
    pendingDeletes_.insert(pendingDeletes_.begin(), rest.rbegin(), rest.rend());
    ReleaseScheduled();
}

std::size_t IMDialogBase<IMEmptyView>::LiveChildCount() const {
    std::size_t n = 0;
    for (const auto& [layer, v] : layers_) n += v.size();
    return n;
}

std::size_t IMDialogBase<IMEmptyView>::PendingAddCount() const { return pendingAdds_.size(); }

bool IMDialogBase<IMEmptyView>::IsLive(IMControl* child) const {
    for (const auto& [layer, v] : layers_)
        if (Contains(v, child)) return true;
    return false;
}

bool IMDialogBase<IMEmptyView>::IsJoining(IMControl* child) const {
    return std::any_of(pendingAdds_.begin(), pendingAdds_.end(),
                       [child](const Joining& j) { return j.control.get() == child; });
}

std::vector<IMControl*> IMDialogBase<IMEmptyView>::LiveChildren() const {
    std::vector<IMControl*> all;
    for (const auto& [layer, v] : layers_)
        for (const auto& c : v) all.push_back(c.get());
    return all;
}

// [SECTION] Insertion and deletion

void IMDialogBase<IMEmptyView>::Adopt(std::unique_ptr<IMControl> child, std::uint64_t order) {
    IMControl* c = child.get();
    // A child made inside another child's constructor began later and joins after it.
    auto at = std::upper_bound(pendingAdds_.begin(), pendingAdds_.end(), order,
                               [](std::uint64_t o, const Joining& j) { return o < j.order; });
    pendingAdds_.insert(at, Joining{order, std::move(child)});
    c->OnFocus.connect(boost::bind(&IMDialogBase::OnChildFocusEvent, this, boost::placeholders::_1));
    c->OnBlur.connect(boost::bind(&IMDialogBase::OnChildFocusEvent, this, boost::placeholders::_1));
    SetDirty(true);
}

void IMDialogBase<IMEmptyView>::RemoveChild(IMControl* child) {
    const bool live = IsLive(child);
    if (!live && !IsJoining(child)) return;
    if (std::find(pendingDeletes_.begin(), pendingDeletes_.end(), child) != pendingDeletes_.end()) return;
    pendingDeletes_.push_back(child);
    if (live) {
        SetDirty(true);
    } else {
        // It never joins, but it may already hold the focus (or the pointer): keys and clicks
        // must not reach it from now on.
        if (hoverChild_ == child) hoverChild_ = nullptr;
        if (focusChild_ == child) focusChild_ = nullptr;
    }
}

std::unique_ptr<IMControl> IMDialogBase<IMEmptyView>::TakeOut(IMControl* child) {
    for (auto it = layers_.begin(); it != layers_.end(); ++it) {
        auto found = Find(it->second, child);
        if (found == it->second.end()) continue;
        std::unique_ptr<IMControl> taken = std::move(*found);
        it->second.erase(found);
        if (it->second.empty()) layers_.erase(it);
        return taken;
    }
    auto j = std::find_if(pendingAdds_.begin(), pendingAdds_.end(),
                          [child](const Joining& p) { return p.control.get() == child; });
    if (j == pendingAdds_.end()) return nullptr;
    std::unique_ptr<IMControl> taken = std::move(j->control);
    pendingAdds_.erase(j);
    return taken;
}

bool IMDialogBase<IMEmptyView>::ReleaseScheduled() {
    bool released = false;
    // One at a time: a destructor may schedule another child of this container.
    while (!pendingDeletes_.empty()) {
        IMControl* c = pendingDeletes_.back();
        pendingDeletes_.pop_back();
        const bool live = IsLive(c);
        std::unique_ptr<IMControl> going = TakeOut(c);
        if (!going) continue;
        if (hoverChild_ == c) hoverChild_ = nullptr;
        if (focusChild_ == c) focusChild_ = nullptr;
        going->EndLife();
        going.reset();
        released = released || live;
    }
    return released;
}

// [SECTION] Update and drawing

int IMDialogBase<IMEmptyView>::Update(const IMEvent& e) {
    bool changed = ReleaseScheduled();
    for (Joining& j : pendingAdds_) {
        const int layer = j.control->JoinLayer();
        layers_[layer].push_back(std::move(j.control));
        changed = true;
    }
    pendingAdds_.clear();
    // What lies under a still pointer may be new, or gone.
    if (changed) RefreshHover();
    Tick();
    Notify(OnUpdate, EV_UPDATE);
    for (IMControl* child : LiveChildren()) child->Update(IMEvent(e));
    if (ReleaseScheduled()) RefreshHover();
    return 0;
}

int IMDialogBase<IMEmptyView>::Draw(const IMEvent& e) {
    if (!IsHidden()) {
        const RECT clip = engine_link::GetClip();
        const POINT origin = engine_link::GetOrigin();
        RECT own = GetRect();
        OffsetRect(&own, origin.x, origin.y);
        RECT visible;
        if (IntersectRect(&visible, clip, own)) {
            engine_link::SetClip(visible);
            const RECT r = GetRect();
            engine_link::SetOrigin(POINT{origin.x + r.left, origin.y + r.top});
            for (IMControl* child : LiveChildren()) child->Draw(IMEvent(e));
            engine_link::SetOrigin(origin);
            engine_link::SetClip(clip);
            DrawSelf();
            SetDirty(false);
            Notify(OnDraw, EV_DRAW);
        }
    }
    SetDirty(false);
    return 0;
}

bool IMDialogBase<IMEmptyView>::IsDirty() {
    if (dirty_) return true;
    for (const auto& [layer, v] : layers_)
        for (const auto& c : v)
            if (c->IsDirty()) return true;
    return false;
}

int IMDialogBase<IMEmptyView>::SetDirty(bool d) {
    dirty_ = d;
    IMControl::SetDirty(d);
    if (!d)
        for (const auto& [layer, v] : layers_)
            for (const auto& c : v) c->SetDirty(false);
    return 0;
}

int IMDialogBase<IMEmptyView>::CloseTree(const IMEvent& e) {
    for (IMControl* child : LiveChildren()) child->CloseTree(IMEvent(e));
    Dispose();
    return 0;
}

// [SECTION] Mouse, keys and focus

bool IMDialogBase<IMEmptyView>::HitTest(int x, int y) {
    if (IsHidden()) return false;
    return PtInRect(GetRect(), POINT{x, y});
}

int IMDialogBase<IMEmptyView>::MouseMove(const IMMouseEvent& e) {
    IMControl::MouseMove(e);
    const RECT r = GetRect();
    lastMouseX_ = e.x - r.left;
    lastMouseY_ = e.y - r.top;
    pointerHere_ = true;
    IMMouseEvent local(this, e.id, e.wParam, 0, lastMouseX_, lastMouseY_);
    UpdateHover(local);
    if (hoverChild_) hoverChild_->MouseMove(local);
    return 0;
}

long IMDialogBase<IMEmptyView>::UpdateHover(const IMMouseEvent& e) {
    const int x = e.x;
    const int y = e.y;
    if (e.sender != this) {
        // A child changed: search again only when it came under the pointer or is the hovered
        // one, and only while the pointer is over this container at all.
        if (!pointerHere_) return 0;
        if (!e.sender->HitTest(x, y) && e.sender != hoverChild_) return 0;
    }
    IMControl* found = nullptr;
    for (auto layer = layers_.rbegin(); layer != layers_.rend() && !found; ++layer) {
        for (auto c = layer->second.rbegin(); c != layer->second.rend(); ++c) {
            if ((*c)->HitTest(x, y)) {
                found = c->get();
                break;
            }
        }
    }
    IMControl* old = hoverChild_;
    if (found && found != old) {
        hoverChild_ = found;
        found->MouseEnter(IMMouseEvent(this, MSG_MOUSEENTER, e.wParam, 0, x, y));
    }
    if (old && old != found) {
        hoverChild_ = found;
        old->MouseLeave(IMMouseEvent(this, MSG_MOUSELEAVE, e.wParam, 0, x, y));
    }
    return 0;
}

void IMDialogBase<IMEmptyView>::RefreshHover() {
    if (pointerHere_) UpdateHover(IMMouseEvent(this, static_cast<int>(WM_MOUSEMOVE), 0, 0, lastMouseX_, lastMouseY_));
}

void IMDialogBase<IMEmptyView>::PointerAt(POINT local) {
    lastMouseX_ = local.x;
    lastMouseY_ = local.y;
    pointerHere_ = true;
}

int IMDialogBase<IMEmptyView>::MouseButton(const IMMouseEvent& e) {
    IMControl::MouseButton(e);
    const RECT r = GetRect();
    lastMouseX_ = e.x - r.left;
    lastMouseY_ = e.y - r.top;
    pointerHere_ = true;
    // A press (or a wheel turn) goes to the child under it, not the one the last move found:
    // children may have come, gone or moved since without the pointer moving (a new board
    // under a resting hand). A release goes where its press went, as long as the pointer has
    // not moved: a button's pressed picture may leave the very pixel under the pointer open.
    switch (static_cast<UINT>(e.id)) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEWHEEL:
            UpdateHover(IMMouseEvent(this, e.id, e.wParam, 0, lastMouseX_, lastMouseY_));
            break;
        default:
            break;
    }
    if (!hoverChild_) return 0;
    if (static_cast<UINT>(e.id) == WM_LBUTTONDOWN && hoverChild_ != focusChild_ && hoverChild_->IsFocusable()) {
        if (focusChild_) focusChild_->SetFocus(false);
        // Losing the focus may have closed or replaced the hovered child.
        if (hoverChild_) hoverChild_->SetFocus(true);
    }
    if (!hoverChild_) return 0;
    hoverChild_->MouseButton(IMMouseEvent(this, e.id, e.wParam, 0, lastMouseX_, lastMouseY_));
    return 0;
}

int IMDialogBase<IMEmptyView>::MouseEnter(const IMMouseEvent& e) {
    IMControl::MouseEnter(e);
    // The enter carries the pointer in the parent's coordinates, those of our rectangle.
    if (parent_) {
        const RECT r = GetRect();
        PointerAt(POINT{e.x - r.left, e.y - r.top});
    }
    RefreshHover();
    return 0;
}

int IMDialogBase<IMEmptyView>::MouseLeave(const IMMouseEvent& e) {
    IMControl::MouseLeave(e);
    pointerHere_ = false;
    if (hoverChild_) {
        IMControl* old = hoverChild_;
        hoverChild_ = nullptr;
        old->MouseLeave(e);
    }
    return 0;
}

int IMDialogBase<IMEmptyView>::Key(const IMKeyboardEvent& e) {
    IMControl::Key(e);
    if (focusChild_) focusChild_->Key(e);
    return 0;
}

int IMDialogBase<IMEmptyView>::FocusLost(const IMEvent& e) {
    IMControl::FocusLost(e);
    focusChild_ = nullptr;
    for (IMControl* child : LiveChildren()) child->FocusLost(IMEvent(e));
    return 0;
}

long IMDialogBase<IMEmptyView>::OnChildFocusEvent(const IMEvent& e) {
    if (e.Is(EV_FOCUS) && e.sender != focusChild_) {
        SetFocus(true);
        if (focusChild_) focusChild_->SetFocus(false);
        focusChild_ = e.sender;
    } else if (e.Is(EV_BLUR) && e.sender == focusChild_) {
        focusChild_ = nullptr;
    }
    return 1;
}

int IMDialogBase<IMEmptyView>::SetRect(const RECT& r) {
    const RECT old = GetRect();
    if (EqualRect(r, old)) return 0;
    // The pointer stays where it is relative to the parent. (If the move brings the container
    // under the pointer, its enter sets the same position again.)
    lastMouseX_ += old.left - r.left;
    lastMouseY_ += old.top - r.top;
    IMViewControl<IMEmptyView>::SetRect(r);
    RefreshHover();
    return 0;
}

// [SECTION] Layers

int IMDialogBase<IMEmptyView>::LayerOf(IMControl* child) const {
    for (const auto& [layer, v] : layers_)
        if (Contains(v, child)) return layer;
    return 0;
}

void IMDialogBase<IMEmptyView>::SetLayer(IMControl* child, int layer) {
    const int old = LayerOf(child);
    if (old == layer) return;
    auto it = layers_.find(old);
    if (it == layers_.end()) return;
    auto found = Find(it->second, child);
    if (found == it->second.end()) return;
    std::unique_ptr<IMControl> moving = std::move(*found);
    it->second.erase(found);
    if (it->second.empty()) layers_.erase(it);
    layers_[layer].push_back(std::move(moving));
}

#include "gui/dialog.h"

#include <algorithm>
#include <boost/bind/bind.hpp>

#include "gui/engine_link.h"

namespace {

bool Contains(const std::vector<IMControl*>& v, IMControl* c) { return std::find(v.begin(), v.end(), c) != v.end(); }

void Erase(std::map<int, std::vector<IMControl*>>& layers, int layer, IMControl* c) {
    auto it = layers.find(layer);
    if (it == layers.end()) return;
    auto& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), c), v.end());
    if (v.empty()) layers.erase(it);
}

}  // namespace

// [SECTION] Construction and ownership

IMDialogBase<IMEmptyView>::IMDialogBase(IMContainer* parent, const RECT* rect, int layer)
    : IMViewControl<IMEmptyView>(parent, layer) {
    focusable_ = true;
    if (rect) {
        SetRect(*rect);
    } else {
        POINT size = engine_link::BackBufferSize();
        SetRect(RECT{0, 0, size.x, size.y});
    }
}

IMDialogBase<IMEmptyView>::~IMDialogBase() {
    ProcessPendingDeletes();
    DeleteChildren();
}

void IMDialogBase<IMEmptyView>::DeleteChildren() {
    // Children that were never closed, or never merged, have no other owner.
    std::vector<IMControl*> orphans;
    for (auto& [layer, v] : layers_) orphans.insert(orphans.end(), v.begin(), v.end());
    for (auto& [layer, v] : pendingAdds_) orphans.insert(orphans.end(), v.begin(), v.end());
    layers_.clear();
    pendingAdds_.clear();
    hoverChild_ = focusChild_ = nullptr;
    for (IMControl* c : orphans) delete c;
}

std::size_t IMDialogBase<IMEmptyView>::LiveChildCount() const {
    std::size_t n = 0;
    for (const auto& [layer, v] : layers_) n += v.size();
    return n;
}

std::size_t IMDialogBase<IMEmptyView>::PendingAddCount() const {
    std::size_t n = 0;
    for (const auto& [layer, v] : pendingAdds_) n += v.size();
    return n;
}

bool IMDialogBase<IMEmptyView>::IsLive(IMControl* child) const {
    for (const auto& [layer, v] : layers_)
        if (Contains(v, child)) return true;
    return false;
}

std::vector<IMControl*> IMDialogBase<IMEmptyView>::LiveChildren() const {
    std::vector<IMControl*> all;
    for (const auto& [layer, v] : layers_) all.insert(all.end(), v.begin(), v.end());
    return all;
}

// [SECTION] Insertion and deletion

void IMDialogBase<IMEmptyView>::AddChild(IMControl* child, int layer) {
    if (IsLive(child)) return;
    pendingAdds_[layer].push_back(child);
    child->OnFocus.connect(boost::bind(&IMDialogBase::OnChildFocusEvent, this, boost::placeholders::_1));
    child->OnBlur.connect(boost::bind(&IMDialogBase::OnChildFocusEvent, this, boost::placeholders::_1));
    SetDirty(true);
}

void IMDialogBase<IMEmptyView>::RemoveChild(IMControl* child) {
    if (IsLive(child) && !Contains(pendingDeletes_, child)) {
        pendingDeletes_.push_back(child);
        SetDirty(true);
    }
    for (auto it = pendingAdds_.begin(); it != pendingAdds_.end();) {
        auto& v = it->second;
        auto found = std::find(v.begin(), v.end(), child);
        if (found != v.end()) {
            v.erase(found);
            // It may already hold the focus (or the pointer): forget it before it goes.
            if (hoverChild_ == child) hoverChild_ = nullptr;
            if (focusChild_ == child) focusChild_ = nullptr;
            delete child;
        }
        it = v.empty() ? pendingAdds_.erase(it) : std::next(it);
    }
}

bool IMDialogBase<IMEmptyView>::ProcessPendingDeletes() {
    bool deleted = false;
    while (!pendingDeletes_.empty()) {
        IMControl* c = pendingDeletes_.back();
        const int l = LayerOf(c);
        auto it = layers_.find(l);
        if (it != layers_.end() && Contains(it->second, c)) {
            if (hoverChild_ == c) hoverChild_ = nullptr;
            if (focusChild_ == c) focusChild_ = nullptr;
            Erase(layers_, l, c);
            pendingDeletes_.pop_back();
            delete c;
            deleted = true;
        } else {
            pendingDeletes_.pop_back();
        }
    }
    return deleted;
}

// [SECTION] Update and drawing

int IMDialogBase<IMEmptyView>::Update(const IMEvent& e) {
    bool changed = ProcessPendingDeletes();
    for (auto& [layer, v] : pendingAdds_) {
        auto& live = layers_[layer];
        live.insert(live.end(), v.begin(), v.end());
        changed = true;
    }
    pendingAdds_.clear();
    // What lies under a still pointer may be new, or gone.
    if (changed) RefreshHover();
    Tick();
    Notify(OnUpdate, EV_UPDATE);
    for (IMControl* child : LiveChildren()) child->Update(IMEvent(e));
    if (ProcessPendingDeletes()) RefreshHover();
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
        for (IMControl* c : v)
            if (c->IsDirty()) return true;
    return false;
}

int IMDialogBase<IMEmptyView>::SetDirty(bool d) {
    dirty_ = d;
    IMControl::SetDirty(d);
    if (!d)
        for (const auto& [layer, v] : layers_)
            for (IMControl* c : v) c->SetDirty(false);
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
                found = *c;
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
    if (it == layers_.end() || !Contains(it->second, child)) return;
    Erase(layers_, old, child);
    layers_[layer].push_back(child);
}

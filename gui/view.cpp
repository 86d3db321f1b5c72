#include "gui/view.h"

int IMView::SetRect(const RECT& r) {
    if (EqualRect(r, rect_)) return 0;
    rect_ = r;
    SetDirty(true);
    return 0;
}

RECT IMView::GetRect() { return rect_; }

int IMView::SetSourceRect(const RECT& r) {
    if (EqualRect(r, sourceRect_)) return 0;
    sourceRect_ = r;
    SetDirty(true);
    return 0;
}

RECT IMView::GetSourceRect() { return sourceRect_; }

int IMView::SetPosition(int x, int y) { return SetPosition(POINT{x, y}); }

int IMView::SetPosition(const POINT& p) {
    const int w = GetWidth();
    const int h = GetHeight();
    return SetRect(RECT{p.x, p.y, p.x + w, p.y + h});
}

POINT IMView::GetPosition() {
    RECT r = GetRect();
    return {r.left, r.top};
}

int IMView::SetSize(int w, int h) {
    RECT r = GetRect();
    return SetRect(RECT{r.left, r.top, r.left + w, r.top + h});
}

int IMView::GetHeight() {
    RECT r = GetRect();
    return r.bottom - r.top;
}

int IMView::GetWidth() {
    RECT r = GetRect();
    return r.right - r.left;
}

bool IMView::HitTest(const POINT& p) { return PtInRect(GetRect(), p); }

bool IMView::IsDirty() { return dirty_; }

int IMView::SetDirty(bool d) {
    dirty_ = d;
    return 0;
}

#include "gui/texture_view.h"

#include <cmath>

#include "gui/engine_link.h"

IMTextureView::~IMTextureView() {
    if (hasTexture_) engine_link::ReleaseTexture(slot_);
}

int IMTextureView::Draw() {
    if (hasTexture_) {
        RECT source = GetSourceRect();
        engine_link::DrawTexture(slot_, GetRect(), &source, colour, angle);
    }
    dirty_ = false;
    return 0;
}

bool IMTextureView::HitTest(const POINT& p) {
    if (!hasTexture_) return false;
    const RECT d = GetRect();
    const RECT s = GetSourceRect();
    const float cx = static_cast<float>(d.left + (d.right - d.left) / 2);
    const float cy = static_cast<float>(d.top + (d.bottom - d.top) / 2);
    const float a = -angle;
    const float dx = static_cast<float>(p.x) - cx;
    const float dy = static_cast<float>(p.y) - cy;
    const int rx = static_cast<int>(cx + std::cos(a) * dx - std::sin(a) * dy);
    const int ry = static_cast<int>(cy + std::sin(a) * dx + std::cos(a) * dy);
    if (!PtInRect(d, POINT{rx, ry})) return false;

    const int u = (s.right - s.left) * (rx - d.left) / (d.right - d.left);
    const int v = (s.bottom - s.top) * (ry - d.top) / (d.bottom - d.top);
    if (!PtInRect(s, POINT{u, v})) return false;

    const int pixelAlpha = engine_link::TextureAlphaAt(slot_, u, v);
    if (pixelAlpha < 0) return false;  // no pixels to look at
    const int colourAlpha = static_cast<int>((colour >> 24) / 255u);
    return colourAlpha * pixelAlpha >= alphaThreshold;
}

void IMTextureView::SetTexture(const std::wstring& name) {
    const unsigned fresh = engine_link::LoadTexture(name);
    if (fresh != slot_ || !hasTexture_) {
        engine_link::AddTextureRef(fresh);
        if (hasTexture_) engine_link::ReleaseTexture(slot_);
        slot_ = fresh;
        hasTexture_ = true;
        SetSourceRect(engine_link::TextureImageRect(fresh));
        dirty_ = true;
    }
    engine_link::ReleaseTexture(fresh);
}

void IMTextureView::SetTextureSlot(unsigned s) {
    if (s == slot_ && hasTexture_) return;
    engine_link::AddTextureRef(s);
    if (hasTexture_) engine_link::ReleaseTexture(slot_);
    hasTexture_ = true;
    SetSourceRect(engine_link::TextureImageRect(s));
    slot_ = s;
    dirty_ = true;
}

IMStateView::~IMStateView() { statePictures.clear(); }

void IMStateView::SetStatePictures(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hover,
                                   const std::wstring& pressed) {
    statePictures[kStateNormal] = normal;
    statePictures[kStateDisabled] = disabled.empty() ? normal : disabled;
    statePictures[kStateHover] = hover.empty() ? normal : hover;
    statePictures[kStatePressed] = pressed.empty() ? normal : pressed;
    SetTexture(statePictures[state]);
}

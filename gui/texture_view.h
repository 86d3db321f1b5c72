// Views that draw one texture slot of the engine. IMTextureView shows one picture with a
// colour, an angle and a pixel-exact hit test; IMStateView keeps one picture per button state.
#pragma once

#include <map>
#include <string>

#include "gui/view.h"

class IMTextureView : public IMView {
   public:
    IMTextureView() = default;
    IMTextureView(const IMTextureView&) = delete;
    IMTextureView& operator=(const IMTextureView&) = delete;
    ~IMTextureView() override;

    int Draw() override;
    // Pixel-exact: the point is turned back by the angle, mapped into the picture and hits
    // when the picture's alpha there (counted only when the colour is fully opaque) reaches
    // alphaThreshold. A view without a picture is never hit.
    bool HitTest(const POINT& p) override;

    // Shows the named picture (a skin name, a resource number such as "128", or a file path).
    // The view holds exactly one reference of the slot it shows. The rectangle is not changed;
    // the source rectangle becomes the whole picture.
    void SetTexture(const std::wstring& name);
    // Shows a slot the caller already holds; the view takes a reference of its own.
    void SetTextureSlot(unsigned slot);

    unsigned Slot() const { return slot_; }
    bool HasTexture() const { return hasTexture_; }

    // Callers that change these call SetDirty(true) themselves.
    DWORD colour = 0xFFFFFFFF;
    float angle = 0.0f;
    int alphaThreshold = 255;

   protected:
    unsigned slot_ = 0;
    bool hasTexture_ = false;
};

// Button states whose pictures a state view keeps.
enum ViewState : int { kStateNormal = 0, kStateDisabled = 1, kStateHover = 3, kStatePressed = 4 };

class IMStateView : public IMTextureView {
   public:
    ~IMStateView() override;

    // Empty names fall back to the normal picture. Shows the picture of the current state.
    void SetStatePictures(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hover,
                          const std::wstring& pressed);

    int state = kStateNormal;
    std::map<int, std::wstring> statePictures;
};

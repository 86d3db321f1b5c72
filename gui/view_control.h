// IMViewControl<V> joins a view to a control. One set of functions serves both bases, so
// whatever changes the view (rectangle, position, picture, state, visibility) marks the control
// dirty, emits its OnInvalidate and lets the parent send enter and leave events when the
// change moved it under or away from a still pointer.
#pragma once

#include <type_traits>

#include "gui/control.h"
#include "gui/texture_view.h"
#include "gui/view.h"

template <class V>
class IMViewControl : public IMControl, public V {
   public:
    IMViewControl(IMParent parent, int layer) : IMControl(parent, layer) {}
    ~IMViewControl() override = default;

    // Serve both the control's and the view's slot of the same name.
    int SetRect(const RECT& r) override {
        if (EqualRect(r, GetRect())) return 0;
        this->rect_ = r;
        SetDirty(true);
        return 0;
    }
    RECT GetRect() override { return this->rect_; }
    bool IsDirty() override { return this->dirty_; }
    int SetDirty(bool d) override {
        this->dirty_ = d;
        return IMControl::SetDirty(d);
    }

    int Disable() override {
        IMControl::Disable();
        return SetDirty(true);
    }
    int Enable() override {
        IMControl::Enable();
        return SetDirty(true);
    }
    int Hide() override {
        IMControl::Hide();
        return SetDirty(true);
    }
    int Show() override {
        IMControl::Show();
        return SetDirty(true);
    }

    bool HitTest(int x, int y) override {
        if (IsHidden()) return false;
        if constexpr (std::is_base_of_v<IMTextureView, V>)
            return V::HitTest(POINT{x, y});
        else
            return PtInRect(GetRect(), POINT{x, y});
    }
    using V::HitTest;

    // A control without a parent (the top-level window) never draws its own view.
    int DrawSelf() override {
        if (!IsHidden() && Parent()) V::Draw();
        SetDirty(false);
        return 0;
    }
    using IMControl::Draw;
};

#include "gui/button.h"

#include <boost/bind/bind.hpp>

IMButtonBase<IMStateView>::IMButtonBase(IMParent parent, int layer) : IMViewControl<IMStateView>(parent, layer) {
    auto rule = boost::bind(&IMButtonBase::UpdateState, this);
    OnMouseButton.connect(rule);
    OnMouseEnter.connect(rule);
    OnMouseLeave.connect(rule);
    OnDisable.connect(rule);
    OnEnable.connect(rule);
    OnHide.connect(rule);
    OnShow.connect(rule);
}

int IMButtonBase<IMStateView>::Disable() {
    IMViewControl::Disable();
    return UpdateState();
}

int IMButtonBase<IMStateView>::Enable() {
    IMViewControl::Enable();
    return UpdateState();
}

int IMButtonBase<IMStateView>::UpdateState() {
    if (IsHidden()) return 0;
    int s = kStateNormal;
    if (!IsEnabled())
        s = kStateDisabled;
    else if (IsMouseOver())
        s = IsPressed() ? kStatePressed : kStateHover;
    if (s != state) {
        SetTexture(statePictures[s]);
        state = s;
    }
    return 0;
}

void IMButtonBase<IMStateView>::SetPictures(const std::wstring& normal, const std::wstring& disabled,
                                            const std::wstring& hover, const std::wstring& pressed) {
    SetStatePictures(normal, disabled, hover, pressed);
    SetRect(GetSourceRect());
}

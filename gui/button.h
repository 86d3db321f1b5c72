// The push button: four pictures, one per state, chosen from the control's flags.
//
//   enabled | mouseOver | pressed | state shown
//   no      | any       | any     | disabled (1)
//   yes     | no        | any     | normal (0)
//   yes     | yes       | no      | hover (3)
//   yes     | yes       | yes     | pressed (4)
//
// A hidden button keeps the picture it had. Buttons are not focusable.
#pragma once

#include <string>

#include "gui/view_control.h"

template <class V>
class IMButtonBase;

template <>
class IMButtonBase<IMStateView> : public IMViewControl<IMStateView> {
   public:
    // The state rule runs before any handler the application connects later.
    IMButtonBase(IMParent parent, int layer);

    int Disable() override;
    int Enable() override;
    virtual int UpdateState();

    // Empty names show the normal picture; the button takes the size of the shown picture and
    // moves to (0, 0).
    void SetPictures(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hover,
                     const std::wstring& pressed);
};

using IMButton = IMButtonBase<IMStateView>;

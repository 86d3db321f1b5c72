// Static controls: a picture (hit only on its opaque pixels) and, with the text view, a text.
#pragma once

#include <string>

#include "gui/view_control.h"

template <class V>
class IMStaticPictureBase : public IMViewControl<V> {
   public:
    IMStaticPictureBase(IMParent parent, int layer) : IMViewControl<V>(parent, layer) {}

    // Shows another picture and takes its size; the control moves to (0, 0) of its parent, so
    // callers set the position again afterwards.
    void SetPicture(const std::wstring& name) requires std::is_base_of_v<IMTextureView, V> {
        this->SetTexture(name);
        this->SetRect(this->GetSourceRect());
    }
};

using IMPicture = IMStaticPictureBase<IMTextureView>;

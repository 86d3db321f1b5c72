// The static text control and its creation function. They live apart from the other controls
// because the text view sits with the fonts in the engine; whoever uses them links engine_text.
#pragma once

#include <string>

#include "gui/picture.h"
#include "views/text_view.h"

using IMStaticText = IMStaticPictureBase<IMTextView>;

// A text at (x, y) in the default face, size and colour of the text view, as large as the
// text's extent; `parent` owns it.
inline IMStaticText* CreateText(IMContainer* parent, int x, int y, const std::wstring& text, int layer) {
    IMStaticText& control = parent->Add<IMStaticText>(layer);
    control.SetText(text);
    control.SetRect(control.GetSourceRect());
    control.SetPosition(x, y);
    return &control;
}

// The look the small dialogs share: the default background over the whole dialog and a one-pixel
// black frame around it.
#pragma once

#include "gui/creation.h"
#include "gui/dialog.h"

namespace framed_dialog {

inline void Decorate(IMDialog* dialog, int width, int height) {
    IMPicture* background = CreatePicture(dialog, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    background->SetRect(RECT{0, 0, width, height});
    const RECT lines[] = {
        {0, 0, 1, height}, {0, 0, width, 1}, {0, height - 1, width, height}, {width - 1, 0, width, height}};
    for (const RECT& r : lines) {
        IMPicture* line = CreatePicture(dialog, 0, 0, L"EditBarKaretka", 0, 0xFFFFFFFF);
        line->SetRect(r);
    }
}

}  // namespace framed_dialog

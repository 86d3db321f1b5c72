// The texts of the program's screens: one face, one colour, a size and a weight each, sized to
// their text and placed by their top-left corner (or centred across a dialog).
#pragma once

#include <string>

#include "gui/control_ref.h"
#include "gui/creation.h"
#include "views/static_text.h"

namespace screen_text {

inline constexpr DWORD kColour = 0xFF072134;

// Sets the screens' colour, `size` and `bold` on a text control; returns it.
inline IMStaticText* Style(IMStaticText* text, int size, bool bold) {
    text->SetTextColour(kColour);
    text->SetFontHeight(size);
    text->SetBold(bold);
    return text;
}

// A text at (x, y), as large as its extent.
inline IMStaticText* Make(IMContainer* parent, int x, int y, const std::wstring& s, int size, bool bold,
                          int layer = 0) {
    IMStaticText* text = Style(&parent->Add<IMStaticText>(layer), size, bold);
    text->SetText(s);
    text->SetRect(text->GetSourceRect());
    text->SetPosition(x, y);
    return text;
}

// A text centred across `width` (integer division) at y.
inline IMStaticText* MakeCentred(IMContainer* parent, int width, int y, const std::wstring& s, int size, bool bold,
                                 int layer = 0) {
    IMStaticText* text = Make(parent, 0, y, s, size, bold, layer);
    text->SetPosition((width - text->GetWidth()) / 2, y);
    return text;
}

// A full-window screen in `window`: the background and the two heading lines that every screen
// of the program starts with. `tracked` watches the screen while it is open and is cleared
// when it closes; it must outlive the screen (a member of the application object does).
inline IMDialog* OpenScreen(IMContainer* window, ControlRef<IMDialog>* tracked) {
    IMDialog* dialog = &window->Add<IMDialog>(nullptr, 0);
    *tracked = dialog;
    dialog->OnClose.connect([tracked, dialog](const IMEvent&) {
        if (*tracked == dialog) tracked->Reset();
        return 0L;
    });
    IMPicture* background = CreatePicture(dialog, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    background->SetRect(dialog->GetRect());
    const int width = dialog->GetWidth();
    MakeCentred(dialog, width, 10, L"зедкарный ресурс", 14, false);
    MakeCentred(dialog, width, 35, L"Курс Ларсима", 18, true);
    return dialog;
}

}  // namespace screen_text

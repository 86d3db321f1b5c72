// The credits: a page above everything that names the course and who made the exercise, opened
// by Ctrl+I (the same key in the Russian layout) and closed by its Exit button, after which the
// screen below and the mouse cursor are as they were.
#include <memory>

#include "app/im_app.h"
#include "app/screen_text.h"
#include "gui/button.h"
#include "gui/creation.h"
#include "gui/picture.h"
#include "gui/window.h"

namespace {

constexpr int kCreditsLayer = 9999;

// The key's code in its low byte: I in upper and lower case, and the Cyrillic letter on the same
// key (Ш, ш) as Windows-1251 numbers it.
bool IsCreditsLetter(WPARAM key) {
    const unsigned low = static_cast<unsigned>(key) & 0xFFu;
    return low == 0x49 || low == 0x69 || low == 0xD8 || low == 0xF8;
}

struct CreditLine {
    int y;
    int size;
    const wchar_t* text;
};

// The people are the project team; the rest says what the pictures, films and speech were made
// with, since those were made by tools rather than by named artists.
constexpr CreditLine kLines[] = {
    {18, 25, L"Курс Ларсима"},
    {90, 21, L"Авторы:"},
    {110, 20, L"Команда проекта"},
    {130, 20, L"Речь: синтезатор Festival, голос msu_ru_nsh_clunits"},
    {170, 21, L"Руководитель проекта:"},
    {190, 20, L"Команда проекта"},
    {230, 21, L"Программисты:"},
    {250, 20, L"Команда проекта"},
    {270, 20, L"C++, SDL2, FreeType, libvorbis, libtheora"},
    {310, 21, L"Художник:"},
    {330, 20, L"Команда проекта: рисунки программой на cairo"},
    {370, 21, L"Дизайнер-аниматор:"},
    {390, 20, L"Команда проекта: фильмы на cairo, кодек libtheora (ffmpeg)"},
    {430, 21, L"Трёхмерная графика:"},
    {450, 20, L"Не использовалась"},
};

}  // namespace

long IMAppBase::OnCreditsKey(const IMKeyboardEvent& e) {
    if (!window_ || !IsCreditsLetter(e.wParam) || credits_) return 0;
    platform::Window* native = window_->NativeWindow();
    if (!native || !native->IsControlDown()) return 0;

    // The cursor must show over the credits whatever the screen below did with it; the extra
    // shows are counted and taken back on close, so the count ends where it was.
    int extraShows = 0;
    for (int count = native->ShowCursor(true); count <= 1; count = native->ShowCursor(true)) ++extraShows;

    const POINT size{native->LogicalWidth(), native->LogicalHeight()};
    IMDialog* credits = CreateDialog(window_.get(), 0, 0, size.x, size.y, kCreditsLayer);
    credits_ = credits;
    IMPicture* background = CreatePicture(credits, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    background->SetRect(RECT{0, 0, size.x, size.y});
    for (const CreditLine& line : kLines) screen_text::Make(credits, 22, line.y, line.text, line.size, false);
    IMButton* exit = CreateButton(credits, 755, 22, L"ExitButton", L"", L"", L"", 0);
    exit->OnClick.connect(boost::bind(&IMControl::Close, credits));

    credits->OnClose.connect([this, credits, extraShows](const IMEvent&) {
        if (window_ && window_->NativeWindow())
            for (int i = 0; i <= extraShows; ++i) window_->NativeWindow()->ShowCursor(false);
        if (credits_ == credits) credits_.Reset();
        return 0L;
    });
    return 0;
}

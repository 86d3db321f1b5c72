// The start screen: what the resource is, the exercise's description in a scrolling box, the
// pupil's name, the keys, Start and Exit. Start (or Enter) opens the pupil's workbook, keeps the
// name, shows the instruction and closes the screen.
#include <boost/bind/bind.hpp>

#include "app/im_app.h"
#include "app/screen_text.h"
#include "gui/creation.h"
#include "gui/window.h"
#include "widgets/edit_bar.h"
#include "widgets/scroll.h"

namespace {

constexpr RECT kDescriptionBox = {119, 187, 119 + 593, 187 + 236};
constexpr int kDescriptionPage = 236;
constexpr RECT kDescriptionScroll = {712, 187, 726, 427};
constexpr int kDescriptionLayoutHeight = 415;

struct LegendKey {
    const wchar_t* picture;
    const wchar_t* text;
};
constexpr LegendKey kLegend[] = {
    {L"EscButton", L"- пропустить инструкцию;"}, {L"F1Button", L"- повторить инструкцию;"}, {L"F12Button", L"- выход"}};
constexpr int kLegendLeft = 135;      // the first key's picture
constexpr int kLegendTop = 520;       // the texts; the key pictures stand 3 pixels higher
constexpr int kLegendKeyToText = 45;  // from a key picture's left edge to its text
constexpr int kLegendGap = 10;        // from the end of a text to the next key

}  // namespace

void IMAppBase::ShowStartScreen() {
    if (!window_) return;
    IMDialog* dialog = screen_text::OpenScreen(window_.get(), &startScreen_);

    using screen_text::Make;
    Make(dialog, 30, 115, L"Номер ЦОР:", 18, true);
    Make(dialog, 135, 115, number_, 18, false);
    Make(dialog, 30, 152, L"Название:", 18, true);
    Make(dialog, 135, 152, name_, 18, false);
    Make(dialog, 30, 188, L"Описание:", 18, true);

    // The description in a box that clips it; the bar moves the text inside the box.
    const int boxWidth = kDescriptionBox.right - kDescriptionBox.left;
    IMDialog* box = CreateDialog(dialog, kDescriptionBox.left, kDescriptionBox.top, boxWidth, kDescriptionPage, 0);
    IMDialog* content = CreateDialog(box, 0, 0, boxWidth, kDescriptionPage, 0);
    IMStaticText* description = screen_text::Style(&content->Add<IMStaticText>(0), 18, false);
    description->SetRect(RECT{0, 0, boxWidth, kDescriptionLayoutHeight});
    description->SetWordWrap(true);
    description->SetText(description_);
    int textHeight = description->GetSourceRect().bottom;
    if (textHeight == 0) textHeight = kDescriptionPage - 1;
    description->SetRect(RECT{0, 0, boxWidth, std::max(textHeight, kDescriptionLayoutHeight)});
    content->SetRect(RECT{0, 0, boxWidth, textHeight});

    auto* scroll = &dialog->Add<IMScroll>(&kDescriptionScroll);
    scroll->SetRect(kDescriptionScroll);
    if (textHeight <= kDescriptionPage) scroll->Hide();
    scroll->SetRange(0, textHeight);
    scroll->SetPage(kDescriptionPage);
    scroll->SetValue(0);
    // The box is the bar's sibling, not its child: the bar watches it through a handle.
    scroll->OnPosition.connect([box = ControlRef<IMDialog>(content)](const IMEvent&, int value) {
        IMDialog* content = box.Get();
        if (!content) return 0L;
        RECT r = content->GetRect();
        const int height = r.bottom - r.top;
        r.top = -value;
        r.bottom = r.top + height;
        content->SetRect(r);
        return 0L;
    });
    descriptionScroll_ = scroll;
    descriptionContent_ = content;

    Make(dialog, 30, 460, L"Ученик:", 18, true);
    auto* nameBar = &dialog->Add<IMEditBar>();
    nameBar->SetRect(RECT{135, 460, 135 + 520, 460 + 20});
    nameBar->SetFocus(true);
    nameBar_ = nameBar;

    IMButton* start = CreateButton(dialog, 690, 450, L"StartPopStartButton", L"StartPopStartButton",
                                   L"StartPopStartButtonNuv", L"StartPopStartButtonKlick", 0);
    // The bar is closed only with the screen, which disconnects these slots first: while they
    // can run, it is there.
    start->OnClick.connect([this, nameBar, dialog](const IMMouseEvent&) {
        BeginPass(dialog, nameBar->GetText());
        return 0L;
    });
    dialog->OnKey.connect([this, nameBar, dialog](const IMKeyboardEvent& e) {
        if (e.wParam == VK_RETURN) BeginPass(dialog, nameBar->GetText());
        return 0L;
    });

    IMButton* exit = CreateButton(dialog, 755, 22, L"ExitButton", L"", L"", L"", 0);
    exit->OnClick.connect(boost::bind(&IMControl::Close, window_.get()));

    // The key legend along one row: each key's picture, then what it does. How wide a text is
    // depends on the face the system found, so each key follows the measured text before it.
    Make(dialog, 30, 520, L"Клавиши:", 18, true);
    int x = kLegendLeft;
    for (const LegendKey& key : kLegend) {
        CreatePicture(dialog, x, kLegendTop - 3, key.picture, 0, 0xFFFFFFFF);
        IMStaticText* text = Make(dialog, x + kLegendKeyToText, kLegendTop, key.text, 16, false);
        x = text->GetRect().right + kLegendGap;
    }

    if (optionsCallback_) {
        IMButton* options = CreateButton(dialog, 665, 510, L"OptionsButton", L"OptionsButton", L"OptionsButtonNuv",
                                         L"OptionsButtonKlick", 0);
        options->OnClick.connect([this](const IMMouseEvent&) {
            if (optionsCallback_) optionsCallback_();
            return 0L;
        });
    }
}

void IMAppBase::BeginPass(IMDialog* startScreen, const std::wstring& pupil) {
    // Start and Enter in one frame, or Enter held down: the first one starts.
    if (startScreen->IsDisposed() || startScreen_ != startScreen) return;
    startScreen_.Reset();
    OpenResultsBook(pupil);
    SetPupilName(pupil);
    ShowInstructionOverlay();
    startScreen->Close();
}

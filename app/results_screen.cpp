// The results screen: what was done and by whom, Print and Save as for the pupil's workbook
// (grey and inert when the pass had no name), Retry, Close and Exit. Enter starts the exercise
// again at once, in the same workbook.
#include <boost/bind/bind.hpp>

#include "app/im_app.h"
#include "app/screen_text.h"
#include "gui/creation.h"
#include "gui/window.h"

namespace {

constexpr DWORD kGrey = 0xFF808080;
constexpr DWORD kNoticeColour = 0xFFAEAEAE;

// A button that is there but cannot be used: disabled and greyed.
void Grey(IMButton* button) {
    button->Disable();
    button->colour = kGrey;
    button->SetDirty(true);
}

}  // namespace

void IMAppBase::ShowResults() {
    if (!window_) return;
    IMDialog* dialog = screen_text::OpenScreen(window_.get(), &resultsScreen_);
    const int width = dialog->GetWidth();

    using screen_text::Make;
    using screen_text::MakeCentred;
    MakeCentred(dialog, width, 150, L"ЗАДАНИЕ ВЫПОЛНЕНО", 24, false);
    Make(dialog, 30, 250, L"Номер ЦОР:", 18, true);
    Make(dialog, 135, 250, number_, 18, false);
    Make(dialog, 30, 300, L"Название:", 18, true);
    Make(dialog, 135, 300, name_, 18, false);
    Make(dialog, 30, 350, L"Ученик:", 18, true);
    Make(dialog, 135, 350, pupil_, 18, false);
    Make(dialog, 30, 465, L"Статистика:", 18, true);

    IMButton* print =
        CreateButton(dialog, 30, 490, L"PrintButton", L"PrintButton", L"PrintButtonNuv", L"PrintButtonKlick", 0);
    IMButton* saveAs =
        CreateButton(dialog, 128, 490, L"SaveAsButton", L"SaveAsButton", L"SaveAsButtonNuv", L"SaveAsButtonKlick", 0);
    if (workbook_) {
        print->OnClick.connect([this](const IMMouseEvent&) {
            ShowPrintDialog();
            return 0L;
        });
        saveAs->OnClick.connect([this](const IMMouseEvent&) {
            ShowSaveAsDialog();
            return 0L;
        });
    } else {
        Grey(print);
        Grey(saveAs);
    }

    // The next NextScreen starts the exercise from its first screen again.
    if (!screens_.empty()) nextScreen_ = screens_.begin()->first;

    IMButton* retry =
        CreateButton(dialog, 535, 490, L"RetryButton", L"RetryButton", L"RetryButtonNuv", L"RetryButtonKlick", 0);
    IMButton* close =
        CreateButton(dialog, 660, 490, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 0);
    IMButton* exit = CreateButton(dialog, 755, 22, L"ExitButton", L"", L"", L"", 0);
    retry->OnClick.connect([this, dialog](const IMMouseEvent&) {
        ShowStartScreen();
        dialog->Close();
        return 0L;
    });
    close->OnClick.connect(boost::bind(&IMControl::Close, window_.get()));
    exit->OnClick.connect(boost::bind(&IMControl::Close, window_.get()));
    dialog->OnKey.connect([this, dialog](const IMKeyboardEvent& e) {
        // Enter held down repeats: only the first one, while this screen is still up, counts.
        if (e.wParam != VK_RETURN || dialog->IsDisposed() || resultsScreen_ != dialog) return 0L;
        resultsScreen_.Reset();
        NextScreen();
        dialog->Close();
        return 0L;
    });
    dialog->SetFocus(true);

    MakeCentred(dialog, width, 575, L"Игра «Ворлен» — сделана нашей маленькой командой для юных учеников", 14, false)
        ->SetTextColour(kNoticeColour);
}

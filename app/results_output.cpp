// What the results screen's Print and Save as do: the printer dialog and the printout, the
// save-as dialog and the copy of the workbook under another name.
#include <string>

#include "app/im_app.h"
#include "app/report_rows.h"
#include "gui/window.h"
#include "platform/debug.h"
#include "platform/printing.h"
#include "widgets/results_book.h"
#include "widgets/save_as_dialog.h"
#include "widgets/select_printer_dialog.h"

void IMAppBase::ShowPrintDialog() {
    if (!workbook_ || !window_) return;
    auto* dialog = &window_->Add<IMSelectPrinterDialog>();
    printDialog_ = dialog;
    dialog->ListPrinters(options_.printers ? options_.printers() : platform::Printers::Get());
    dialog->OnClose.connect([this, dialog](const IMEvent&) {
        if (printDialog_ == dialog) printDialog_.Reset();
        return 0L;
    });
    dialog->PrintButton()->OnClick.connect([this, dialog](const IMMouseEvent&) {
        // Whatever printing meets is said on standard error; the results screen stays.
        const IMStaticText* chosen = dialog->List()->Selected();
        std::unique_ptr<platform::PrintSurface> surface = dialog->CreatePrinterDC();
        if (chosen && !surface)
            platform::Debug::Print(L"nothing printed: the printer \"" + chosen->GetText() + L"\" was not found");
        else
            PrintResults(std::move(surface));
        dialog->Close();
        return 0L;
    });
}

void IMAppBase::PrintResults(std::unique_ptr<platform::PrintSurface> surface) {
    if (!workbook_) return;
    if (!surface) {
        platform::Debug::Print("nothing printed: no printer was chosen");
        return;
    }
    workbook_->Print(surface.get(), report::PrintHeader(number_, name_, pupil_));
}

void IMAppBase::ShowSaveAsDialog() {
    if (!workbook_ || !window_) return;
    auto* dialog = &window_->Add<IMSaveAsDialog>();
    saveAsDialog_ = dialog;
    dialog->OnClose.connect([this, dialog](const IMEvent&) {
        if (saveAsDialog_ == dialog) saveAsDialog_.Reset();
        return 0L;
    });
    dialog->SetFileName(workbook_->GetFileName());
    dialog->SetFocus(true);
    dialog->SaveButton()->OnClick.connect([this, dialog](const IMMouseEvent&) {
        if (!workbook_) return 0L;
        const std::wstring path = dialog->GetFileName();
        const bool other = !workbook_->IsOwnFile(path);
        // A failed save keeps the dialog open with the reason, so that the pupil can type
        // another name; the details are on standard error.
        if (other && !MayWriteWorkbookAt(path)) {
            dialog->SetMessage(L"Там уже другой файл. Введите другое имя.");
            return 0L;
        }
        if (!SaveResultsAs(path)) {
            dialog->SetMessage(L"Не удалось сохранить файл. Введите другое имя.");
            return 0L;
        }
        dialog->Close();
        return 0L;
    });
}

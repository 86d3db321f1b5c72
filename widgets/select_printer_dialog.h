// The printer dialog: a framed 360 x 250 box with "Выберите принтер:", the printers its owner
// lists in it (the default one selected), Print and Close. Close closes it;
// what Print does is connected by its owner to PrintButton()->OnClick. Without printers the
// list is empty and CreatePrinterDC gives nothing.
#pragma once

#include <memory>

#include "gui/button.h"
#include "gui/dialog.h"
#include "platform/printing.h"
#include "widgets/list.h"

class IMSelectPrinterDialog : public IMDialog {
   public:
    explicit IMSelectPrinterDialog(IMParent parent);
    ~IMSelectPrinterDialog() override;

    // Lists `printers` in their order, the default one selected when it is among them.
    void ListPrinters(const platform::Printers::List& printers);

    // A surface for the selected printer; null when no line is selected or the printer has
    // gone. The caller owns it; dropping it releases the printer.
    std::unique_ptr<platform::PrintSurface> CreatePrinterDC() const;

    IMButton* PrintButton() const { return printButton_; }
    IMButton* CloseButton() const { return closeButton_; }
    IMList* List() const { return list_; }

   private:
    // The dialog's own children, which it never closes one by one: they go with it.
    IMButton* printButton_ = nullptr;
    IMButton* closeButton_ = nullptr;
    IMList* list_ = nullptr;
};

#include "widgets/select_printer_dialog.h"

#include <boost/bind/bind.hpp>

#include "gui/creation.h"
#include "platform/debug.h"
#include "platform/printing.h"
#include "views/static_text.h"
#include "widgets/framed_dialog.h"

namespace {

constexpr RECT kBox = {220, 125, 580, 375};

}  // namespace

IMSelectPrinterDialog::IMSelectPrinterDialog(IMParent parent) : IMDialog(parent, &kBox, 0) {
    framed_dialog::Decorate(this, kBox.right - kBox.left, kBox.bottom - kBox.top);
    IMStaticText* caption = CreateText(this, 30, 38, L"Выберите принтер:", 0);
    caption->SetTextColour(0xFF000000);

    list_ = &Add<IMList>();
    list_->SetRect(RECT{30, 58, 330, 158});

    printButton_ =
        CreateButton(this, 30, 179, L"PrintButton", L"PrintButton", L"PrintButtonNuv", L"PrintButtonKlick", 0);
    closeButton_ =
        CreateButton(this, 221, 179, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 0);
    closeButton_->OnClick.connect(boost::bind(&IMControl::Close, this));
}

IMSelectPrinterDialog::~IMSelectPrinterDialog() = default;

void IMSelectPrinterDialog::ListPrinters(const platform::Printers::List& printers) {
    for (const std::wstring& name : printers.names) {
        IMStaticText* line = list_->AddItem(name);
        if (!printers.defaultName.empty() && name == printers.defaultName) list_->Select(line);
    }
}

std::unique_ptr<platform::PrintSurface> IMSelectPrinterDialog::CreatePrinterDC() const {
    IMStaticText* line = list_->Selected();
    if (!line) return nullptr;
    auto surface = platform::PrintSurface::ForPrinter(line->GetText());
    if (!surface) {
        platform::Debug::Print("printing: " + surface.why());
        return nullptr;
    }
    return std::move(surface).value();
}

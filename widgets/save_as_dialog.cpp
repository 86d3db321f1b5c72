#include "widgets/save_as_dialog.h"

#include <boost/bind/bind.hpp>

#include "gui/creation.h"
#include "widgets/framed_dialog.h"

namespace {

constexpr RECT kBox = {220, 225, 580, 375};
constexpr DWORD kMessageColour = 0xFFB00000;

}  // namespace

IMSaveAsDialog::IMSaveAsDialog(IMParent parent) : IMDialog(parent, &kBox, 0) {
    framed_dialog::Decorate(this, kBox.right - kBox.left, kBox.bottom - kBox.top);
    editBar_ = &Add<IMEditBar>();
    editBar_->SetRect(RECT{30, 28, 330, 48});
    OnFocus.connect([bar = editBar_](const IMEvent&) {
        bar->SetFocus(true);
        return 0L;
    });
    saveButton_ =
        CreateButton(this, 30, 79, L"SaveAsButton", L"SaveAsButton", L"SaveAsButtonNuv", L"SaveAsButtonKlick", 0);
    closeButton_ =
        CreateButton(this, 221, 79, L"CloseButton", L"CloseButton", L"CloseButtonNuv", L"CloseButtonKlick", 0);
    closeButton_->OnClick.connect(boost::bind(&IMControl::Close, this));

    message_ = &Add<IMStaticText>(0);
    message_->SetTextColour(kMessageColour);
    message_->SetFontHeight(12);
    message_->Hide();
}

IMSaveAsDialog::~IMSaveAsDialog() = default;

void IMSaveAsDialog::SetFileName(const std::wstring& name) { editBar_->SetText(name); }

std::wstring IMSaveAsDialog::GetFileName() const { return editBar_->GetText(); }

void IMSaveAsDialog::SetMessage(const std::wstring& message) {
    if (message.empty()) {
        message_->Hide();
        return;
    }
    message_->SetText(message);
    RECT r = message_->GetSourceRect();
    // Long reasons are cut at the frame rather than drawn over it.
    r.right = std::min<LONG>(r.right, 300);
    message_->SetRect(r);
    message_->SetPosition(30, 54);
    message_->Show();
}

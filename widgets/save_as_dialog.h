// The save-as dialog: a framed 360 x 150 box in the middle of the screen with the file name in
// an edit bar, Save and Close. Close closes it; what Save does is connected by its owner to
// SaveButton()->OnClick. Typed keys go to the edit bar, which has the caret whenever the dialog
// gets the focus. A line under the box's file name can say why a save did not happen.
#pragma once

#include <string>

#include "gui/button.h"
#include "gui/dialog.h"
#include "views/static_text.h"
#include "widgets/edit_bar.h"

class IMSaveAsDialog : public IMDialog {
   public:
    explicit IMSaveAsDialog(IMParent parent);
    ~IMSaveAsDialog() override;

    // Replaces the file name; the caret stands after it and its end is in view.
    void SetFileName(const std::wstring& name);
    std::wstring GetFileName() const;
    // Shows `message` under the file name (empty hides it).
    void SetMessage(const std::wstring& message);

    IMButton* SaveButton() const { return saveButton_; }
    IMButton* CloseButton() const { return closeButton_; }
    IMEditBar* EditBar() const { return editBar_; }
    IMStaticText* Message() const { return message_; }

   private:
    // The dialog's own children, which it never closes one by one: they go with it.
    IMButton* saveButton_ = nullptr;
    IMButton* closeButton_ = nullptr;
    IMEditBar* editBar_ = nullptr;
    IMStaticText* message_ = nullptr;
};

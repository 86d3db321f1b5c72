// IMEditBar: one text edit in a white box with a one-pixel black frame. The box scrolls the
// text sideways so that the caret always stays inside it, however long the text grows.
//
// Layout, with the bar's size W x H (positions relative to the bar):
//   frame       corners (0, 0), (W-1, 0), (0, H-1), (W-1, H-1); lines along the four edges
//   background  (0, 0) - (W-1, H-1), white
//   edit        from (2, 1); its left edge moves left while the text is scrolled, and it is
//               always wide enough to hold the whole text
//   caret       in layer 1, above the text
//
// Scrolling (after every key and after SetText): when the caret's right edge passes W - 3, the
// text moves left by the overshoot; when the caret passes the left edge, the text moves right
// until the caret stands at x = 2; and while text is hidden at the left, the text never leaves
// room at the right of its end (deleting from the end scrolls the hidden part back in).
//
// The bar gives its focus to the edit: focusing the bar (by a click or by SetFocus) focuses
// the edit and shows its caret. GUI thread only.
#pragma once

#include <array>
#include <string>

#include "gui/dialog.h"
#include "gui/picture.h"
#include "widgets/text_edit.h"

class IMEditBar : public IMDialog {
   public:
    // The caller sets the size and position with SetRect and, where wanted, the focus.
    explicit IMEditBar(IMParent parent);
    ~IMEditBar() override;

    // Lays out the frame, the background and the edit for the new rectangle.
    int SetRect(const RECT& r) override;

    // The edit's text.
    std::wstring GetText() const;
    // Replaces the text, puts the caret after it and scrolls its end into view.
    void SetText(const std::wstring& text);
    // The scrolling step (see above); connected to the edit's OnKey. Returns 0.
    long KeepCaretVisible();

    IMTextEdit* Edit() const { return edit_; }

   private:
    // The bar's own children, which it never closes one by one: they go with it.
    IMTextEdit* edit_ = nullptr;
    IMPicture* background_ = nullptr;
    std::array<IMPicture*, 4> corners_{};  // top-left, top-right, bottom-left, bottom-right
    std::array<IMPicture*, 4> borders_{};  // left, top, right, bottom
};

// IMTextEdit: the text-entry control. The text lives in the text view itself (there is no
// separate buffer, no selection and no clipboard); the edit adds an insertion point, the keys
// that move it and a blinking one-pixel caret.
//
// Keys (through the edit's own OnKey, so whatever reaches it along the focus chain):
//   WM_CHAR  backspace        removes the character before the caret
//            tab, line feed,
//            enter, escape    nothing: the text and the caret stay as they are
//            anything else    inserted at the caret, the caret moves past it
//            surrogate pair   the two halves arrive as two messages and are joined into one
//                             character; a half without its partner is dropped
//   WM_KEYDOWN left / right   move by one character and renew the remembered column
//            up / down        move to the remembered column of the line above / below
//            delete           removes the character after the caret
// Left, right, up and down also show the caret. Characters outside the Basic Multilingual
// Plane take two positions in the view (one per UTF-16 unit); the caret never stops between
// them and backspace and delete remove both.
//
// The caret is a sibling picture in the parent's layer 1, placed again after every change of
// the edit. While the edit has the focus it blinks, 500 ms shown and 500 ms hidden, on a window
// timer that the edit removes when it is deleted; without the focus it is hidden.
//
// Ownership as for every control: the parent owns the edit and the caret; the edit watches its
// caret through a handle, and closing the edit closes its caret too. GUI thread only.
#pragma once

#include <optional>

#include "gui/control_ref.h"
#include "gui/picture.h"
#include "views/text_view.h"

class IMWindow;

class IMTextEdit : public IMStaticPictureBase<IMTextView> {
   public:
    explicit IMTextEdit(IMParent parent);
    ~IMTextEdit() override;

    // Closes the caret along with the edit.
    int Dispose() override;

    // The keyboard handler, connected to the edit's own OnKey. Returns 0.
    virtual long OnKeyboard(const IMKeyboardEvent& e);

    // Moves the insertion point to index, clamped to 0 .. length (and never between the two
    // halves of a surrogate pair), and places the caret there.
    void SetCaret(int index);
    int Caret() const { return caret_; }
    // Sizes and positions the caret picture for the current insertion point: as tall as the
    // character before it (or the first character, or a space of the current style in an empty
    // edit), standing at that character's right edge.
    // Returns 0 (it is also the slot of the edit's OnInvalidate).
    int PlaceCaret();

    // The caret picture (null once the edit is closed).
    IMPicture* CaretPicture() const { return caretPicture_.Get(); }

   private:
    void TypeCharacter(const IMKeyboardEvent& e);
    void MoveVertically(bool up);
    // The number of positions the character ending at / starting at index takes (0 at the ends).
    int UnitsBefore(int index) const;
    int UnitsAt(int index) const;
    // Line and column of an insertion point.
    int LineOf(int index) const;
    int ColumnOf(int index) const;
    int SpaceHeight();
    long Blink();

    int caret_ = 0;
    unsigned blinkTimer_ = 0;
    IMWindow* timerOwner_ = nullptr;      // the window whose timer blinks the caret (outlives the edit)
    ControlRef<IMPicture> caretPicture_;  // a sibling: the parent owns it
    wchar_t pendingHighSurrogate_ = 0;    // first half of a pair still waiting for its second
    // The column that up and down aim for. It is taken from the caret on the first key that
    // reaches the edit and renewed only by left and right, so a run of up and down keeps aiming
    // at the same column.
    std::optional<int> rememberedColumn_;
};

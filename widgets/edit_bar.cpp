#include "widgets/edit_bar.h"

#include <algorithm>
#include <boost/bind/bind.hpp>

#include "gui/creation.h"

namespace {

constexpr DWORD kTextColour = 0xFF000000;
constexpr int kTextLeft = 2;     // where the unscrolled text starts
constexpr int kRightMargin = 3;  // the caret's right edge stays at or left of W - 3
// Every frame piece shows the caret's picture: a plain black pixel line.
const wchar_t* const kFramePicture = L"EditBarKaretka";

}  // namespace

IMEditBar::IMEditBar(IMParent parent) : IMDialog(parent, nullptr, 0) {
    background_ = CreatePicture(this, 0, 0, L"EditBarBackGround", 0, 0xFFFFFFFF);
    for (IMPicture*& corner : corners_) {
        corner = CreatePicture(this, 0, 0, kFramePicture, 0, 0xFFFFFFFF);
        corner->SetSize(1, 1);
    }
    for (IMPicture*& border : borders_) border = CreatePicture(this, 0, 0, kFramePicture, 0, 0xFFFFFFFF);

    edit_ = &Add<IMTextEdit>();
    OnFocus.connect(boost::bind(&IMControl::SetFocus, edit_, true));
    OnBlur.connect(boost::bind(&IMControl::SetFocus, edit_, false));
    edit_->SetTextColour(kTextColour);
    edit_->OnKey.connect(boost::bind(&IMEditBar::KeepCaretVisible, this));
}

IMEditBar::~IMEditBar() = default;

int IMEditBar::SetRect(const RECT& r) {
    IMDialog::SetRect(r);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;

    corners_[0]->SetPosition(0, 0);
    corners_[1]->SetPosition(w - 1, 0);
    corners_[2]->SetPosition(0, h - 1);
    corners_[3]->SetPosition(w - 1, h - 1);
    borders_[0]->SetRect(RECT{0, 1, 1, h - 1});
    borders_[1]->SetRect(RECT{1, 0, w - 1, 1});
    borders_[2]->SetRect(RECT{w - 1, 1, w, h - 1});
    borders_[3]->SetRect(RECT{1, h - 1, w - 1, h});
    background_->SetRect(RECT{0, 0, w - 1, h - 1});
    edit_->SetRect(RECT{kTextLeft, 1, w - 1, h - 1});
    // A bar resized after typing scrolls its text again.
    KeepCaretVisible();
    return 0;
}

std::wstring IMEditBar::GetText() const { return edit_->GetText(); }

void IMEditBar::SetText(const std::wstring& text) {
    edit_->SetText(text);
    edit_->SetCaret(edit_->GetLength());  // places the caret
    KeepCaretVisible();
}

long IMEditBar::KeepCaretVisible() {
    IMPicture* caret = edit_->CaretPicture();
    if (!caret) return 0;
    const RECT bar = GetRect();
    const int width = bar.right - bar.left;
    const int limit = width - kRightMargin;
    const RECT c = caret->GetRect();
    const RECT e = edit_->GetRect();

    int x = e.left;
    if (c.right > limit)
        x -= c.right - limit;
    else if (c.left < 0)
        x = x - c.left + kTextLeft;

    // Text hidden at the left while there is room right of its end: bring it back, so that
    // deleting from the end of a long name keeps showing what is being deleted.
    const int textWidth = edit_->GetSourceRect().right;
    const int endCaretRight = x + textWidth + 1;
    if (x < kTextLeft && endCaretRight < limit) x = std::min(kTextLeft, x + (limit - endCaretRight));

    // The edit clips its own drawing, so it must reach at least to the frame and hold the whole
    // text, however far the text has moved left.
    edit_->SetRect(RECT{x, e.top, std::max(x + textWidth + 1, width - 1), e.bottom});

    RECT source = edit_->GetSourceRect();
    source.right += 6;
    source.bottom += 2;
    SetSourceRect(source);
    return 0;
}

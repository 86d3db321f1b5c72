#include "widgets/text_edit.h"

#include <algorithm>
#include <boost/bind/bind.hpp>
#include <optional>

#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "gui/window.h"

namespace {

constexpr unsigned kBlinkMs = 500;
constexpr WPARAM kBackspace = 8;

bool IsHighSurrogate(unsigned c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(unsigned c) { return c >= 0xDC00 && c <= 0xDFFF; }

int HeightOf(const RECT& r) { return r.bottom - r.top; }

}  // namespace

IMTextEdit::IMTextEdit(IMParent parent) : IMStaticPictureBase<IMTextView>(parent, 0) {
    using boost::placeholders::_1;
    focusable_ = true;
    OnKey.connect(boost::bind(&IMTextEdit::OnKeyboard, this, _1));

    IMPicture* caret = CreatePicture(parent.Get(), 0, 0, L"EditBarKaretka", 1, 0xFFFFFFFF);
    caretPicture_ = caret;
    caret->Hide();
    // Bound to the caret itself, so the slots go with it.
    OnFocus.connect(boost::bind(&IMControl::Show, caret));
    OnBlur.connect(boost::bind(&IMControl::Hide, caret));
    OnInvalidate.connect(boost::bind(&IMTextEdit::PlaceCaret, this));

    if (IMWindow* window = RootWindow()) {
        timerOwner_ = window;
        blinkTimer_ = window->AddTimer(kBlinkMs);
        window->ConnectTimer(blinkTimer_, boost::bind(&IMTextEdit::Blink, this));
    }
}

IMTextEdit::~IMTextEdit() {
    // A forgotten timer would wake the main loop twice a second for nothing as long as the
    // program runs. The window deletes its controls before it forgets its timers.
    if (timerOwner_ && RootWindow() == timerOwner_) timerOwner_->RemoveTimer(blinkTimer_);
}

int IMTextEdit::Dispose() {
    if (IMPicture* caret = caretPicture_.Get()) {
        caretPicture_.Reset();
        caret->Close();
    }
    return IMStaticPictureBase<IMTextView>::Dispose();
}

long IMTextEdit::Blink() {
    IMPicture* caret = caretPicture_.Get();
    if (caret && HasFocus()) {
        if (caret->IsHidden())
            caret->Show();
        else
            caret->Hide();
    }
    return 0;
}

// [SECTION] Keys

long IMTextEdit::OnKeyboard(const IMKeyboardEvent& e) {
    if (e.IsMessage(WM_CHAR)) TypeCharacter(e);
    if (!rememberedColumn_) rememberedColumn_ = ColumnOf(caret_);

    if (e.IsMessage(WM_KEYDOWN)) {
        auto showCaret = [this] {
            if (IMPicture* caret = caretPicture_.Get()) caret->Show();
        };
        switch (e.wParam) {
            case VK_LEFT:
                showCaret();
                SetCaret(caret_ - UnitsBefore(caret_));
                rememberedColumn_ = ColumnOf(caret_);
                break;
            case VK_RIGHT:
                showCaret();
                SetCaret(caret_ + UnitsAt(caret_));
                rememberedColumn_ = ColumnOf(caret_);
                break;
            case VK_UP:
                showCaret();
                MoveVertically(true);
                break;
            case VK_DOWN:
                showCaret();
                MoveVertically(false);
                break;
            case VK_DELETE:
                if (caret_ < GetLength()) DeleteText(caret_, UnitsAt(caret_));
                break;
            default:
                break;
        }
    }
    // Whatever the key did, the caret is placed again (OnInvalidate runs PlaceCaret).
    SetDirty(true);
    return 0;
}

void IMTextEdit::TypeCharacter(const IMKeyboardEvent& e) {
    const auto code = static_cast<unsigned>(e.wParam & 0xFFFF);
    const wchar_t high = pendingHighSurrogate_;
    pendingHighSurrogate_ = 0;

    if (code == kBackspace) {
        if (caret_ > 0) {
            const int n = UnitsBefore(caret_);
            DeleteText(caret_ - n, n);
            SetCaret(caret_ - n);
        }
        return;
    }
    if (IsHighSurrogate(code)) {
        pendingHighSurrogate_ = static_cast<wchar_t>(code);
        return;
    }

    std::wstring text;
    if (IsLowSurrogate(code)) {
        if (high == 0) return;  // a second half without its first
        const auto joined = 0x10000 + ((static_cast<unsigned>(high) - 0xD800) << 10) + (code - 0xDC00);
        text.assign(1, static_cast<wchar_t>(joined));
    } else {
        // Empty for tab, line feed, carriage return and escape.
        text = e.GetCharText();
        if (text.empty()) return;
    }
    const int before = GetLength();
    InsertText(caret_, text);
    SetCaret(caret_ + (GetLength() - before));
}

// Up and down aim at the remembered column of the neighbouring line and stop at its end.
void IMTextEdit::MoveVertically(bool up) {
    const std::vector<int>& starts = LineStarts();
    const int lines = static_cast<int>(starts.size());
    const int i = LineOf(caret_);
    const int column = rememberedColumn_.value_or(0);
    const auto start = [&](int line) { return starts[static_cast<std::size_t>(line)]; };
    if (lines <= 1) return;
    if (up) {
        if (i == 0) return;
        const int v = start(i - 1) + column;
        SetCaret(v < start(i) ? v : start(i) - 1);
    } else {
        if (i == lines - 1) return;
        const int v = start(i + 1) + column;
        if (v > GetLength() - 1)
            SetCaret(GetLength() - 1);
        else if (i + 1 == lines - 1)
            SetCaret(v);
        else
            SetCaret(v <= start(i + 2) ? v : start(i + 2) - 1);
    }
}

// [SECTION] Positions

int IMTextEdit::UnitsBefore(int index) const {
    if (index <= 0) return 0;
    if (index >= 2 && IsLowSurrogate(static_cast<unsigned>(GetChar(index - 1))) &&
        IsHighSurrogate(static_cast<unsigned>(GetChar(index - 2))))
        return 2;
    return 1;
}

int IMTextEdit::UnitsAt(int index) const {
    if (index >= GetLength()) return 0;
    if (index + 1 < GetLength() && IsHighSurrogate(static_cast<unsigned>(GetChar(index))) &&
        IsLowSurrogate(static_cast<unsigned>(GetChar(index + 1))))
        return 2;
    return 1;
}

int IMTextEdit::LineOf(int index) const {
    const std::vector<int>& starts = LineStarts();
    // The last line whose start is not greater than the index.
    const auto it = std::upper_bound(starts.begin(), starts.end(), index);
    return it == starts.begin() ? 0 : static_cast<int>(it - starts.begin()) - 1;
}

int IMTextEdit::ColumnOf(int index) const { return index - LineStarts()[static_cast<std::size_t>(LineOf(index))]; }

void IMTextEdit::SetCaret(int index) {
    index = std::clamp(index, 0, GetLength());
    if (index > 0 && index < GetLength() && UnitsAt(index - 1) == 2) --index;  // inside a pair
    caret_ = index;
    PlaceCaret();
}

// [SECTION] The caret picture

int IMTextEdit::SpaceHeight() {
    IMResourceManager* engine = GetResourceManager();
    IMPicture* caret = caretPicture_.Get();
    const int fallback = caret ? caret->GetHeight() : 0;
    if (!engine) return fallback;
    const DWORD slot = engine->CreateGlyphTexture(L"TempSpaceBar", L' ', nullptr, TextColour(), FontHeight(), Face(),
                                                  Italic(), Bold(), Underline(), Background());
    const IMTextureEntry* entry = engine->GetTextureEntry(slot);
    const int height = entry ? HeightOf(entry->image) : fallback;
    engine->ReleaseTexture(slot);
    return height;
}

int IMTextEdit::PlaceCaret() {
    IMPicture* caret = caretPicture_.Get();
    if (!caret) return 0;
    int height = 0;
    if (caret_ > 0)
        height = HeightOf(GetCharRect(caret_ - 1));
    else if (GetLength() > 0)
        height = HeightOf(GetCharRect(0));
    else
        height = SpaceHeight();
    caret->SetSize(1, height);

    const RECT r = GetRect();
    if (GetLength() == 0 || caret_ == 0) {
        caret->SetPosition(r.left, r.top);
    } else {
        const RECT c = GetCharRect(caret_ - 1);
        caret->SetPosition(r.left + c.right, r.top + c.top);
    }
    return 0;
}

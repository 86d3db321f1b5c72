// The edit bar and its text edit: typing and editing keys, the caret, sideways scrolling, and
// typing through SDL's own events.
#include "widgets/edit_bar.h"

#include <chrono>

#include "tests/support/sdl_input.h"
#include "tests/widgets/widget_harness.h"

using widgettest::WidgetTest;

namespace {

struct EditBarTest : WidgetTest {
    void SetUp() override {
        WidgetTest::SetUp();
        bar = &screen->Add<IMEditBar>();
        bar->SetRect(RECT{135, 460, 655, 480});  // the start screen's name bar
        Settle();
        bar->SetFocus(true);
        edit = bar->Edit();
    }
    RECT Caret() { return edit->CaretPicture()->GetRect(); }

    IMEditBar* bar = nullptr;
    IMTextEdit* edit = nullptr;
};

}  // namespace

TEST_F(EditBarTest, TypingBackspaceAndDeleteWorkAtTheCaret) {
    Type(L"abc");
    EXPECT_EQ(bar->GetText(), L"abc");
    EXPECT_EQ(edit->Caret(), 3);
    Char(8);
    EXPECT_EQ(bar->GetText(), L"ab");
    EXPECT_EQ(edit->Caret(), 2);
    KeyDown(VK_LEFT);
    KeyDown(VK_DELETE);
    EXPECT_EQ(bar->GetText(), L"a");
    EXPECT_EQ(edit->Caret(), 1);

    // Delete at the end, right at the end, and backspace and left at the start change nothing.
    KeyDown(VK_DELETE);
    KeyDown(VK_RIGHT);
    EXPECT_EQ(bar->GetText(), L"a");
    EXPECT_EQ(edit->Caret(), 1);
    KeyDown(VK_LEFT);
    Char(8);
    KeyDown(VK_LEFT);
    EXPECT_EQ(bar->GetText(), L"a");
    EXPECT_EQ(edit->Caret(), 0);

    // Russian letters are characters like any other; a pair of surrogate halves is one
    // character that left, backspace and delete treat as a whole.
    Type(L"Жук ");
    EXPECT_EQ(bar->GetText(), L"Жук a");
    Char(0xD83D);
    Char(0xDE42);
    EXPECT_EQ(bar->GetText(), L"Жук \U0001F642a");
    EXPECT_EQ(edit->Caret(), 6);
    KeyDown(VK_LEFT);
    EXPECT_EQ(edit->Caret(), 4);
    KeyDown(VK_DELETE);
    EXPECT_EQ(bar->GetText(), L"Жук a");
    Char(0xDE42);  // half a pair alone is dropped
    EXPECT_EQ(bar->GetText(), L"Жук a");
}

TEST_F(EditBarTest, EnterTabAndEscapeInsertNothing) {
    Type(L"ab");
    KeyDown(VK_LEFT);
    for (wchar_t c : {L'\r', L'\t', L'\x1B', L'\n'}) Char(c);
    EXPECT_EQ(bar->GetText(), L"ab");
    EXPECT_EQ(edit->Caret(), 1);
    // Other control characters are text.
    Char(1);
    EXPECT_EQ(bar->GetText(),
              L"a\x01"
              L"b");
    EXPECT_EQ(edit->Caret(), 2);
}

TEST_F(EditBarTest, TheCaretStandsAfterTheCharacterBeforeIt) {
    // Empty: a space of the edit's style tall, at the edit's top-left corner.
    const RECT empty = Caret();
    EXPECT_EQ(empty.left, 2);
    EXPECT_EQ(empty.top, 1);
    EXPECT_EQ(empty.right - empty.left, 1);
    edit->SetText(L" ");
    EXPECT_EQ(empty.bottom - empty.top, edit->GetCharRect(0).bottom - edit->GetCharRect(0).top);
    edit->SetText(L"");

    Type(L"Щи");
    const RECT after = Caret();
    EXPECT_EQ(after.left, 2 + edit->GetCharRect(1).right);
    EXPECT_EQ(after.bottom - after.top, edit->GetCharRect(1).bottom - edit->GetCharRect(1).top);

    // Drawn in black over the white box.
    Settle();
    EXPECT_EQ(PixelAt(135 + after.left, 460 + after.top + 5), 0xFF000000u);
    EXPECT_EQ(PixelAt(135 + after.left + 3, 460 + 2), 0xFFFFFFFFu);
}

TEST_F(EditBarTest, TheCaretBlinksOnlyWhileTheEditHasTheFocus) {
    ASSERT_FALSE(edit->CaretPicture()->IsHidden());
    int flips = 0;
    bool hidden = false;
    RunFor(2250, [&] {
        if (edit->CaretPicture()->IsHidden() != hidden) {
            hidden = !hidden;
            ++flips;
        }
    });
    EXPECT_EQ(flips, 4);  // at 0.5, 1, 1.5 and 2 s

    bar->SetFocus(false);
    EXPECT_TRUE(edit->CaretPicture()->IsHidden());
    RunFor(1200);
    EXPECT_TRUE(edit->CaretPicture()->IsHidden());

    // Up and down on a single line only show the caret again.
    bar->SetFocus(true);
    Type(L"xy");
    edit->CaretPicture()->Hide();
    KeyDown(VK_UP);
    EXPECT_FALSE(edit->CaretPicture()->IsHidden());
    EXPECT_EQ(edit->Caret(), 2);
}

TEST_F(EditBarTest, UpAndDownAimAtTheRememberedColumn) {
    IMTextEdit* lines = &screen->Add<IMTextEdit>();
    lines->SetRect(RECT{10, 10, 400, 200});
    lines->SetWordWrap(true);
    lines->SetText(L"abcdef\nab\nabcdef");  // lines start at 0, 7 and 10
    ASSERT_EQ(lines->LineStarts(), (std::vector<int>{0, 7, 10}));
    Settle();
    lines->SetFocus(true);
    lines->SetCaret(5);
    KeyDown(VK_LEFT);  // column 4 is remembered
    KeyDown(VK_DOWN);
    EXPECT_EQ(lines->Caret(), 9);  // the short line's end
    KeyDown(VK_DOWN);
    EXPECT_EQ(lines->Caret(), 14);  // back at column 4
    KeyDown(VK_UP);
    KeyDown(VK_UP);
    EXPECT_EQ(lines->Caret(), 4);
    KeyDown(VK_UP);
    EXPECT_EQ(lines->Caret(), 4);
}

TEST_F(EditBarTest, ALongNameScrollsSoTheCaretStaysInsideTheBar) {
    const int limit = 520 - 3;
    int scrolledAt = -1;
    for (int i = 0; i < 80; ++i) {
        Char(L'W');
        ASSERT_LE(Caret().right, limit) << "after " << i + 1 << " letters";
        if (scrolledAt < 0 && edit->GetRect().left < 2) {
            scrolledAt = i;
            // Moved left by exactly the overshoot: the caret's right edge is back on the limit.
            EXPECT_EQ(Caret().right, limit);
        }
    }
    ASSERT_GE(scrolledAt, 0);

    // Walking back to the start brings the hidden text back in.
    for (int i = 0; i < 80; ++i) KeyDown(VK_LEFT);
    EXPECT_EQ(edit->Caret(), 0);
    EXPECT_GE(Caret().left, 0);

    // Hundreds of characters: every key still answers at once and the caret is drawn.
    bar->SetText(std::wstring(400, L'ы'));
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i) {
        Char(L'ю');
        window->PumpOnce();
    }
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::seconds(4));
    EXPECT_EQ(bar->GetText().size(), 600u);
    EXPECT_EQ(Caret().right, limit);
    edit->CaretPicture()->Show();
    Settle();
    EXPECT_EQ(PixelAt(135 + Caret().left, 460 + Caret().top + 5), 0xFF000000u);

    // Deleting from the end of the long name keeps what is deleted in view.
    for (int i = 0; i < 50; ++i) Char(8);
    EXPECT_EQ(Caret().right, limit);
}

TEST_F(EditBarTest, TypingThroughSdlEvents) {
    sdlinput::Text("Петя");
    sdlinput::Text("\xF0\x9F\x99\x82");  // U+1F642, two UTF-16 units
    sdlinput::Key(true, SDL_SCANCODE_BACKSPACE);
    sdlinput::Key(false, SDL_SCANCODE_BACKSPACE);
    sdlinput::Key(true, SDL_SCANCODE_LEFT);
    sdlinput::Key(false, SDL_SCANCODE_LEFT);
    sdlinput::Text("z");
    for (SDL_Scancode sc : {SDL_SCANCODE_RETURN, SDL_SCANCODE_TAB, SDL_SCANCODE_ESCAPE}) {
        sdlinput::Key(true, sc);
        sdlinput::Key(false, sc);
    }
    window->PumpOnce();
    EXPECT_EQ(bar->GetText(), L"Петzя");
    EXPECT_EQ(edit->Caret(), 4);
}

// The way into the exercise: the start screen (its description box, the name typed through
// SDL's own text input, Start and Enter, a pass without a name) and the instruction (skipped
// with Esc, listened to the end, shown again by F1, and the framework's plain help page).
#include <gtest/gtest.h>

#include <chrono>

#include "app/report_rows.h"
#include "gui/picture.h"
#include "tests/app/app_harness.h"
#include "views/static_text.h"
#include "widgets/edit_bar.h"
#include "widgets/scroll.h"

namespace {

using WayIn = AppHarness;

int CursorCount(IMWindow* w) { return w->NativeWindow()->CursorCount(); }

DWORD PixelAt(int x, int y) {
    IMResourceManager* engine = GetResourceManager();
    const auto pixels = engine->Device()->ReadBackBuffer();
    return pixels.at(static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x));
}

}  // namespace

// The screen as the pupil finds it: the name bar has the focus at once, a Russian name typed
// through SDL's text input arrives whole, and Start (clicked through SDL) opens the workbook
// under that name, keeps the name, shows the instruction and closes the screen. The
// description of this exercise fits its box, so it has no scroll bar.
TEST_F(WayIn, NameTypedThroughSdlAndStartClicked) {
    app->ShowStartScreen();
    Pump();
    IMDialog* start = app->StartScreen();
    ASSERT_NE(start, nullptr);
    IMEditBar* bar = app->NameBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->Edit()->HasFocus());
    EXPECT_TRUE(app->DescriptionScroll()->IsHidden());
    Screenshot("start_screen");

    // The key legend: no text pixel lies on or beside a key's picture, whatever face drew the
    // texts. Each kind's pixels are what it adds to the screen drawn without either.
    {
        std::vector<IMControl*> keys, texts;
        for (IMControl* c : start->LiveChildren()) {
            const LONG top = c->GetRect().top;
            if (top < 510 || top > 530) continue;
            if (dynamic_cast<IMStaticText*>(c)) texts.push_back(c);
            if (dynamic_cast<IMPicture*>(c)) keys.push_back(c);
        }
        ASSERT_EQ(keys.size(), 3u);
        ASSERT_EQ(texts.size(), 4u);  // "Клавиши:" and what the three keys do
        const auto draw = [&](bool withTexts, bool withKeys) {
            for (IMControl* c : texts) withTexts ? c->Show() : c->Hide();
            for (IMControl* c : keys) withKeys ? c->Show() : c->Hide();
            Pump();
            return engine->Device()->ReadBackBuffer();
        };
        const auto neither = draw(false, false), textsOnly = draw(true, false), keysOnly = draw(false, true);
        draw(true, true);
        int touching = 0;
        for (int y = 501; y < 559; ++y)
            for (int x = 1; x < 799; ++x) {
                if (textsOnly[y * 800 + x] == neither[y * 800 + x]) continue;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int i = (y + dy) * 800 + x + dx;
                        touching += keysOnly[i] != neither[i];
                    }
            }
        EXPECT_EQ(touching, 0) << "text pixels on or beside a key picture";
    }

    sdlinput::Text("Пётр");
    sdlinput::Text(" Иванов");
    sdlinput::Key(true, SDL_SCANCODE_BACKSPACE);
    sdlinput::Key(false, SDL_SCANCODE_BACKSPACE);
    sdlinput::Text("в");
    Pump();
    EXPECT_EQ(bar->GetText(), L"Пётр Иванов");
    Screenshot("start_screen_name");

    const POINT button = PictureMiddle(L"StartPopStartButton", 690, 450);
    sdlinput::Motion(button.x, button.y);
    sdlinput::Button(true, button.x, button.y);
    sdlinput::Button(false, button.x, button.y);
    Pump();
    EXPECT_EQ(app->StartScreen(), nullptr);
    EXPECT_NE(app->InstructionOverlay(), nullptr);
    EXPECT_EQ(app->Pupil(), L"Пётр Иванов");
    ASSERT_NE(app->Workbook(), nullptr);
    EXPECT_EQ(app->Workbook()->SheetName(), L"Пётр Иванов");
    EXPECT_EQ(app->Workbook()->GetFileName(), results.Wide("") + kAppTitle + L".xls");
    EXPECT_EQ(app->CurrentScreen(), nullptr);  // the exercise waits for the instruction
}

// A description taller than its box scrolls: an arrow moves it by a tenth of the page (23 px),
// a page area by the page (236 px), and it never scrolls past its end.
TEST_F(WayIn, LongDescriptionScrollsWithinItsBox) {
    std::wstring description;
    for (int i = 0; i < 30; ++i) description += L"   Строка описания номер " + std::to_wstring(i + 1) + L".\n";
    app->SetInfo(app->Number(), app->Name(), description);
    app->ShowStartScreen();
    Pump();
    IMScroll* scroll = app->DescriptionScroll();
    ASSERT_NE(scroll, nullptr);
    EXPECT_FALSE(scroll->IsHidden());
    const int height = scroll->Maximum();
    ASSERT_GT(height, 236);
    EXPECT_EQ(scroll->Page(), 236);

    IMControl* down = scroll->DownButton();
    const RECT d = down->GetRect();
    const POINT arrow{712 + (d.left + d.right) / 2, 187 + (d.top + d.bottom) / 2};
    Click(arrow);
    EXPECT_EQ(scroll->Value(), 23);
    Screenshot("start_screen_scrolled");
    const RECT pageArea = scroll->PageDownArea()->GetRect();
    Click({712 + 7, 187 + pageArea.bottom - 2});
    EXPECT_EQ(scroll->Value(), std::min(23 + 236, height - 236));
    for (int i = 0; i < 10; ++i) Click(arrow);
    EXPECT_EQ(scroll->Value(), height - 236);
    // The text has moved up by as much, so that its last line stands at the box's bottom.
    EXPECT_EQ(app->DescriptionContent()->GetRect().top, -(height - 236));
    EXPECT_EQ(app->DescriptionContent()->GetRect().bottom, 236);
}

// A pass without a name belongs to nobody: after Иван's pass, Retry and Start with the box
// empty save Иван's workbook and release it; nothing of the nameless pass reaches any sheet,
// and the file is still written when the program ends.
TEST_F(WayIn, PassWithoutNameWritesNowhere) {
    StartPass(L"Иван");
    const std::wstring path = app->Workbook()->GetFileName();
    Key(VK_F12);
    const POINT retry = PictureMiddle(L"RetryButton", (800 - 136) / 2 + 10, (600 - 200) / 2 + 20);
    Click(retry);
    ASSERT_NE(app->StartScreen(), nullptr);
    EXPECT_EQ(app->NameBar()->GetText(), L"");  // a fresh screen

    StartPass(L"");
    EXPECT_EQ(app->Workbook(), nullptr);
    EXPECT_EQ(app->Pupil(), L"");
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    const auto ivan = ResultsBook(path, L"Иван").Rows();
    ASSERT_EQ(ivan.size(), 4u);  // the start time and the interrupted pass's closing rows
    EXPECT_EQ(ivan[0].first, report::kStartTime);
    EXPECT_EQ(ivan[3], std::make_pair(std::wstring(), std::wstring()));

    Solve(Board(0));
    ASSERT_NE(WaitForBoard(1), nullptr);
    EndProgram();
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), ivan);
}

// Esc during the speech: the overlay closes, the speech stops, the closing words are not
// started for an overlay on its way out, the pointer comes back once, and the exercise starts.
// Space before the prompt does nothing.
TEST_F(WayIn, EscapeSkipsTheInstructionAndSpaceWaitsForThePrompt) {
    const int cursor = CursorCount(window);
    app->ShowStartScreen();
    Pump();
    Key(VK_RETURN);
    IMDialog* overlay = app->InstructionOverlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(app->InstructionDialog(), overlay);
    EXPECT_TRUE(app->InstructionShown());
    EXPECT_TRUE(IsPlaying(137));
    EXPECT_EQ(CursorCount(window), cursor - 1);
    Screenshot("instruction_demonstration");

    Key(VK_SPACE);
    EXPECT_EQ(app->InstructionOverlay(), overlay);
    EXPECT_FALSE(app->PromptShown());
    // F1 while the instruction runs neither counts nor opens another.
    Key(VK_F1);
    EXPECT_EQ(app->ExtraInstructionCalls(), 0);

    Key(VK_ESCAPE);
    EXPECT_EQ(app->InstructionOverlay(), nullptr);
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_FALSE(IsPlaying(137));
    EXPECT_TRUE(app->PromptShown());
    EXPECT_EQ(engine->FindSound(L"ENDHELPSOUND"), std::nullopt);
    EXPECT_EQ(CursorCount(window), cursor);
    EXPECT_NE(app->ExerciseDialog(), nullptr);
    EXPECT_EQ(app->CurrentScreen(), app->ExerciseDialog());

    // Another pass hides the pointer again during the speech, however often screens showed it.
    Key(VK_F12);
    Click(PictureMiddle(L"RetryButton", (800 - 136) / 2 + 10, (600 - 200) / 2 + 20));
    Key(VK_RETURN);
    ASSERT_NE(app->InstructionOverlay(), nullptr);
    EXPECT_EQ(CursorCount(window), cursor - 1);
}

// Listened to the end: the pressed bell blinks from 22.7 s into the speech and is gone some
// 2.3 s later; when the speech ends the keyboard prompt comes with its closing words and a
// blinking space bar, the pointer is back, and Space now ends the instruction. The way in is
// the Enter that also closes an F1 demonstration whose speech was playing: the end of that
// stopped speech is not the new speech's end.
TEST_F(WayIn, InstructionListenedToTheEndThenSpace) {
    app->ShowStartScreen();
    Pump();
    Key(VK_F1);
    ASSERT_TRUE(IsPlaying(137));
    Key(VK_RETURN);
    IMDialog* overlay = app->InstructionOverlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(app->PromptShown());
    const std::size_t pictures = overlay->LiveChildCount();
    EXPECT_EQ(pictures, 7u);  // the board, the bell and five cards

    const DWORD start = NowMs();
    ASSERT_TRUE(RunUntil([&] { return overlay->LiveChildCount() + overlay->PendingAddCount() > pictures; }));
    const DWORD blinkAt = NowMs() - start;
    EXPECT_GE(blinkAt, 22'700u);
    EXPECT_LE(blinkAt, 22'700u + 20u) << "the label's timer, within a step of the sound's thread";
    // The speech ends (about 24 s) while the bell still blinks: the prompt's three pictures
    // join the blinking bell.
    ASSERT_TRUE(RunUntil([&] { return app->PromptShown(); }));
    EXPECT_FALSE(IsPlaying(137));
    const std::optional<DWORD> endHelp = engine->FindSound(L"ENDHELPSOUND");
    ASSERT_TRUE(endHelp);
    EXPECT_EQ(engine->Find(*endHelp)->State(), StreamState::Playing);
    const std::size_t withPrompt = overlay->LiveChildCount() + overlay->PendingAddCount();
    EXPECT_EQ(withPrompt, pictures + 4);
    ASSERT_TRUE(RunUntil([&] { return overlay->LiveChildCount() + overlay->PendingAddCount() == pictures + 3; }, 4000));
    // Six toggles of 333 ms and the close at the seventh tick; the picture goes at the pass
    // after its close, the next thing due.
    EXPECT_GE(NowMs() - start - blinkAt, 7u * 333u);
    EXPECT_LE(NowMs() - start - blinkAt, 7u * 333u + 20u);
    Pump();
    Screenshot("instruction_prompt");
    // The space bar's highlight comes and goes every half second.
    const POINT space{237 + 56, 502 + 7};
    const auto nextChange = [&] {
        Pump();
        const DWORD before = PixelAt(space.x, space.y);
        const DWORD since = NowMs();
        const bool changed = RunUntil(
            [&] {
                Pump();
                return PixelAt(space.x, space.y) != before;
            },
            3000);
        return changed ? NowMs() - since : 0u;
    };
    const DWORD first = nextChange();  // from wherever in its period the highlight was
    EXPECT_GT(first, 0u);
    EXPECT_LE(first, 500u);
    EXPECT_EQ(nextChange(), 500u);

    Key(VK_SPACE);
    EXPECT_EQ(app->InstructionOverlay(), nullptr);
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_NE(app->ExerciseDialog(), nullptr);
    Pump();
    EXPECT_EQ(engine->Find(*endHelp)->State(), StreamState::Stopped);
}

// F1 during the exercise shows the demonstration again with its speech and counts one call;
// the next key, whatever it is, closes it and brings the pointer back.
TEST_F(WayIn, HelpKeyDuringTheExerciseShowsTheDemonstrationAgain) {
    StartPass(L"Ольга");
    const int cursor = CursorCount(window);
    Key(VK_F1);
    EXPECT_TRUE(app->InstructionShown());
    EXPECT_EQ(app->ExtraInstructionCalls(), 1);
    IMDialog* help = app->InstructionDialog();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(app->InstructionOverlay(), nullptr);  // not the way in: closing starts nothing
    EXPECT_TRUE(IsPlaying(137));
    EXPECT_EQ(CursorCount(window), cursor - 1);
    IMDialog* exercise = app->ExerciseDialog();

    Key('A');
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_FALSE(IsPlaying(137));
    EXPECT_EQ(CursorCount(window), cursor);
    EXPECT_EQ(app->ExerciseDialog(), exercise);
    EXPECT_EQ(app->CurrentScreen(), exercise);
}

// The framework's own help page, for programs without a demonstration: a title and "Справка",
// closing itself after five seconds.
TEST_F(WayIn, PlainHelpPageClosesItselfAfterFiveSeconds) {
    const DWORD start = NowMs();
    auto* page = &window->Add<IMDialog>(nullptr, 0);
    bool closed = false;
    page->OnClose.connect([&](const IMEvent&) {
        closed = true;
        return 0L;
    });
    app->IMAppBase::ShowInstruction(page);
    Pump();
    Screenshot("help_page");
    ASSERT_TRUE(RunUntil([&] { return closed; }, 8000));
    EXPECT_EQ(NowMs() - start, 5000u);
}

// The whole exercise on a hidden window with the program's own pictures and sounds: the pupil's
// clicks and drags arrive as window messages (and some through SDL's own queue), sounds play on
// the silent output, and time runs fast. Screenshots go to build/screenshots/.
#include <gtest/gtest.h>

#include <algorithm>
#include <boost/bind/bind.hpp>

#include "app/report_rows.h"
#include "tests/app/app_harness.h"

namespace {

using Exercise = AppHarness;

}  // namespace

TEST_F(Exercise, FourBoardsPlayedWithPlannedMistakesWriteEveryCounter) {
    StartPass(L"Иван");
    IMDialog* exercise = app->ExerciseDialog();
    ASSERT_NE(exercise, nullptr);
    EXPECT_EQ(app->CurrentScreen(), exercise);
    VorlenDlg* board = Board(0);
    ASSERT_NE(board, nullptr);
    for (int e = 1; e < kEpisodeCount; ++e) EXPECT_TRUE(Board(e)->IsHidden());
    EXPECT_FALSE(board->IsHidden());
    Screenshot("exercise_first_board");

    // Every card lies on a start position of its own, the extra card among them.
    std::vector<POINT> corners;
    for (const Card& c : board->Cards()) {
        const RECT r = c.picture->GetRect();
        EXPECT_EQ(r.Width(), kCardWidth);
        EXPECT_EQ(r.Height(), kCardHeight);
        corners.push_back({r.left, r.top});
    }
    for (const POINT& start : StartPositions)
        EXPECT_EQ(
            std::count_if(corners.begin(), corners.end(), [&](POINT p) { return p.x == start.x && p.y == start.y; }),
            1);
    EXPECT_TRUE(board->Cards().back().isExtra);  // newest first: the extra card was made first

    // The boards are dealt apart, although they are built within the same millisecond.
    auto layout = [](VorlenDlg* b) {
        std::vector<LONG> lefts;
        for (const Card& c : b->Cards()) lefts.push_back(c.picture->GetRect().left);
        return lefts;
    };
    int alike = 0;
    for (int e = 1; e < kEpisodeCount; ++e) alike += layout(Board(e)) == layout(board);
    EXPECT_LT(alike, 3);

    // The bell on an untouched board: one wrong sequence; the bell rests while the failure
    // sound plays, so ringing again counts nothing.
    Click(kBellMiddle);
    EXPECT_EQ(app->Counters().wrongSequence, 1);
    EXPECT_FALSE(board->Bell()->IsEnabled());
    Click(kBellMiddle);
    EXPECT_EQ(app->Counters().wrongSequence, 1);
    EXPECT_TRUE(RunUntil([&] { return board->Bell()->IsEnabled(); }));

    // A click on the board that misses every card and the bell.
    Click({400, 20});
    EXPECT_EQ(app->Counters().grabMiss, 1);

    // A drop far from every slot, through SDL's own queue as a pupil's hand makes it: the card
    // stays where it was let go and counts one missed drop.
    {
        DragThroughSdl(Middle(board->CardPicture(1)), {300 + kCardMiddle.x, 200 + kCardMiddle.y});
        EXPECT_EQ(board->CardPicture(1)->GetRect().left, 300);
        EXPECT_EQ(board->CardPicture(1)->GetRect().top, 200);
        EXPECT_EQ(app->Counters().dropMiss, 1);
    }

    // Stage cards 2..4 in their slots and the extra card in slot 1: a wrong extra.
    for (int k = 2; k <= kStageCount; ++k) PutInSlot(board, k, k);
    PutInSlot(board, kExtraCardNumber, 1);
    Click(kBellMiddle);
    EXPECT_EQ(app->Counters().wrongExtra, 1);
    EXPECT_EQ(app->Counters().wrongSequence, 1);
    EXPECT_TRUE(RunUntil([&] { return board->Bell()->IsEnabled(); }));

    // Stage card 1 takes its slot and pushes the extra card out into the drop area.
    PutInSlot(board, 1, 1);
    const RECT extra = board->CardPicture(kExtraCardNumber)->GetRect();
    EXPECT_GE(extra.left, DropArea.left);
    EXPECT_LE(extra.right, DropArea.right);
    EXPECT_GE(extra.top, DropArea.top);
    EXPECT_LE(extra.bottom, DropArea.bottom);

    // F1 in the middle of the board: the instruction over it, closed by the next key.
    Key(VK_F1);
    EXPECT_TRUE(app->InstructionShown());
    Screenshot("exercise_f1_instruction");
    Key(VK_SPACE);
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_EQ(app->ExtraInstructionCalls(), 1);
    Screenshot("exercise_first_board_solved");

    // Solved: the praise word, the narration, then the chair board with its opening words.
    Click(kBellMiddle);
    EXPECT_FALSE(board->Bell()->IsEnabled());
    EXPECT_TRUE(IsPlaying(148));
    // A solved board no longer reacts: a drag leaves its cards where they are.
    const RECT inSlot = board->CardPicture(2)->GetRect();
    Drag(Middle(board->CardPicture(2)), {400, 450});
    EXPECT_TRUE(EqualRect(board->CardPicture(2)->GetRect(), inSlot));
    VorlenDlg* second = WaitForBoard(1);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(board->IsHidden());
    EXPECT_EQ(Episode(), 1);
    EXPECT_TRUE(IsPlaying(kSecondEpisodeOpening));

    Solve(second);
    VorlenDlg* third = WaitForBoard(2);
    ASSERT_NE(third, nullptr);
    // The hand rested on the bell through the praise and the narration: the new board's bell
    // is under it at once and takes the next press, made through SDL without a move.
    EXPECT_TRUE(third->Bell()->IsMouseOver());
    sdlinput::Button(true, kBellMiddle.x, kBellMiddle.y);
    sdlinput::Button(false, kBellMiddle.x, kBellMiddle.y);
    Pump();
    EXPECT_EQ(app->Counters().wrongSequence, 2);
    EXPECT_TRUE(RunUntil([&] { return third->Bell()->IsEnabled(); }));
    Solve(third);
    VorlenDlg* fourth = WaitForBoard(3);
    ASSERT_NE(fourth, nullptr);
    Solve(fourth);

    // The last narration ends: the board stays, disabled, under the praise; the episode is back
    // at the first without the chair board's opening words. The praise film's end closes the
    // praise and then the exercise.
    ASSERT_TRUE(RunUntil([&] { return IsPlaying(142); }));
    bool openingAfterLast = true;
    engine->ConnectEnded(*engine->FindSound(L"142"), [&](DWORD) {
        openingAfterLast = IsPlaying(kSecondEpisodeOpening);
        EXPECT_FALSE(fourth->IsEnabled());
        EXPECT_EQ(Episode(), 0);
        return 0L;
    });
    ASSERT_TRUE(RunUntil([&] { return app->PraiseOverlay() != nullptr; }));
    EXPECT_EQ(app->ExerciseDialog(), exercise) << "the exercise waits for the film";
    const DWORD praiseStart = NowMs();
    RunUntil([&] { return NowMs() - praiseStart > 1200; });
    Screenshot("exercise_praise_over_the_last_board");
    ASSERT_TRUE(RunUntil([&] { return app->ExerciseDialog() == nullptr; }));
    EXPECT_EQ(app->PraiseOverlay(), nullptr);
    EXPECT_FALSE(openingAfterLast);
    EXPECT_EQ(app->CurrentScreen(), nullptr);
    Pump();
    Screenshot("exercise_after_the_last_board");

    ASSERT_NE(app->Workbook(), nullptr);
    const auto rows = app->Workbook()->Rows();
    // The workbook may hold earlier passes; this pass is its last eight rows.
    ASSERT_GE(rows.size(), 8u);
    const std::vector<std::pair<std::wstring, std::wstring>> pass(rows.end() - 8, rows.end());
    EXPECT_EQ(pass[0].first, report::kStartTime);
    EXPECT_TRUE(LooksLikeStartTime(pass[0].second)) << pass[0].second;
    const std::vector<std::pair<std::wstring, std::wstring>> counts = {{report::kWrongSequence, L"2"},
                                                                       {report::kWrongExtra, L"1"},
                                                                       {report::kGrabMiss, L"1"},
                                                                       {report::kDropMiss, L"1"},
                                                                       {report::kExtraInstructions, L"1"}};
    for (std::size_t i = 0; i < counts.size(); ++i) EXPECT_EQ(pass[i + 1], counts[i]);
    EXPECT_EQ(pass[6].first, report::kTotalTime);
    EXPECT_TRUE(IsWholeNumber(pass[6].second)) << pass[6].second;
    EXPECT_EQ(pass[7], std::make_pair(std::wstring(), std::wstring()));

    // Retry in the exit menu once the exercise has ended only closes the menu.
    Key(VK_F12);
    ASSERT_NE(app->ExitMenu(), nullptr);
    ClickMenuButton(L"RetryButton", 20);
    EXPECT_EQ(app->ExitMenu(), nullptr);
    EXPECT_EQ(app->CurrentScreen(), nullptr);
    Pump();
}

TEST_F(Exercise, RetryDuringANarrationStartsAFreshExerciseAtTheFirstBoard) {
    StartPass(L"Ольга");
    IMDialog* first = app->ExerciseDialog();
    VorlenDlg* board = Board(0);
    Solve(board);
    ASSERT_TRUE(RunUntil([&] { return IsPlaying(139); }));
    // Watches the old board's life: its slot goes when the board does.
    IMEventSignal probe;
    const IMConnection oldBoard = probe.connect(boost::bind(&IMControl::IsHidden, board));

    Key(VK_F12);
    Screenshot("exit_menu");
    ClickMenuButton(L"RetryButton", 20);
    Pump();
    EXPECT_FALSE(IsPlaying(139));
    EXPECT_EQ(app->ExerciseDialog(), nullptr);
    EXPECT_NE(app->StartScreen(), nullptr);
    StartPass(L"Ольга");
    IMDialog* second = app->ExerciseDialog();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(app->CurrentScreen(), second);
    EXPECT_EQ(Episode(), 0);
    EXPECT_EQ(app->Counters().wrongSequence, 0);
    VorlenDlg* fresh = Board(0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_FALSE(oldBoard.connected()) << "the old board is still there";  // its address may be reused
    // A new board, not the solved one (which may have left its memory to it): no stage card
    // lies on its slot yet.
    EXPECT_TRUE(std::none_of(fresh->Cards().begin(), fresh->Cards().end(),
                             [](const exercise::Card& card) { return card.inPlace && !card.isExtra; }));
    EXPECT_TRUE(Board(1)->IsHidden());

    // Long after the old narration would have ended, the new first board is still the one
    // shown, and it can be played.
    RunUntil([] { return false; }, 25'000);
    EXPECT_FALSE(fresh->IsHidden());
    EXPECT_TRUE(Board(1)->IsHidden());
    Solve(fresh);
    EXPECT_NE(WaitForBoard(1), nullptr);

    // The interrupted pass wrote its closing rows, not the counters, and the new pass began.
    const auto rows = app->Workbook()->Rows();
    ASSERT_GE(rows.size(), 5u);
    EXPECT_EQ(rows[rows.size() - 5].first, report::kStartTime);
    EXPECT_EQ(rows[rows.size() - 4].first, report::kExtraInstructions);
    EXPECT_EQ(rows[rows.size() - 3].first, report::kTotalTime);
    EXPECT_EQ(rows[rows.size() - 2].first, L"");
    EXPECT_EQ(rows[rows.size() - 1].first, report::kStartTime);
}

TEST_F(Exercise, HelpAndExitMenuKeysBeforeAndDuringTheExercise) {
    // The caption; Instance finds the running application, and a second one is refused (the
    // program has one window) without touching the first.
    EXPECT_EQ(app->Title(), kAppTitle);
    EXPECT_EQ(App::Instance(), app);
    EXPECT_EQ(App::Make(L"Application", Options()), nullptr);
    EXPECT_EQ(App::Instance(), app);
    EXPECT_EQ(app->Title(), kAppTitle);
    EXPECT_EQ(app->NextScreenName(), L"Dialog1");

    // Retry before the exercise only closes the menu; F12 while the menu is open adds nothing.
    Key(VK_F12);
    IMDialog* menu = app->ExitMenu();
    ASSERT_NE(menu, nullptr);
    const std::size_t children = window->LiveChildCount() + window->PendingAddCount();
    Key(VK_F12);
    EXPECT_EQ(app->ExitMenu(), menu);
    EXPECT_EQ(window->LiveChildCount() + window->PendingAddCount(), children);
    EXPECT_EQ(app->Restart(), 1);
    EXPECT_EQ(app->ExitMenu(), nullptr);
    EXPECT_EQ(app->CurrentScreen(), nullptr);

    // F1 twice through SDL's keyboard: the second press closes the first overlay and opens
    // none; both presses before the exercise are forgotten when it starts.
    sdlinput::Key(true, SDL_SCANCODE_F1);
    sdlinput::Key(false, SDL_SCANCODE_F1);
    Pump();
    EXPECT_TRUE(app->InstructionShown());
    sdlinput::Key(true, SDL_SCANCODE_F1);
    sdlinput::Key(false, SDL_SCANCODE_F1);
    Pump();
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_EQ(app->ExtraInstructionCalls(), 1);
    StartPass(L"");
    EXPECT_EQ(app->ExtraInstructionCalls(), 0);

    // F1 while an instruction is open is not counted, and only the next key closes it.
    Key(VK_F1);
    Key(VK_F1);
    Key(VK_F1);
    EXPECT_TRUE(app->InstructionShown());
    EXPECT_EQ(app->ExtraInstructionCalls(), 2);
    Key(VK_ESCAPE);
    EXPECT_FALSE(app->InstructionShown());

    // Cancel closes the menu and the exercise goes on; Close ends the program.
    Key(VK_F12);
    ClickMenuButton(L"CancelButton", 140);
    EXPECT_EQ(app->ExitMenu(), nullptr);
    EXPECT_NE(app->CurrentScreen(), nullptr);
    Key(VK_F12);
    const POINT close = MenuButtonMiddle(L"CloseButton", 80);
    Move(close);
    window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(close.x, close.y));
    window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(close.x, close.y));
    EXPECT_FALSE(window->PumpOnce());
}

// Every workbook reaches the disk: when the next pupil's replaces it, when a pass without a
// name releases it, and when the program ends. A pass without a name writes nowhere.
TEST_F(Exercise, WorkbooksAreSavedWhenReplacedReleasedAndAtTheEnd) {
    const std::wstring path = results.Wide("") + kAppTitle + L".xls";
    using Rows = std::vector<std::pair<std::wstring, std::wstring>>;
    const auto onDisk = [&](const std::wstring& pupil) { return ResultsBook(path, pupil).Rows(); };

    app->OpenResultsBook(L"Иван");
    app->AddReportRow(report::kStartTime, L"05-June-2008 14:07", report::kString);
    app->AddReportRow(report::kWrongSequence, L"2", report::kNumber);
    EXPECT_EQ(app->Workbook()->GetFileName(), path);
    app->OpenResultsBook(L"Ольга");
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    EXPECT_EQ(onDisk(L"Иван"), (Rows{{report::kStartTime, L"05-June-2008 14:07"}, {report::kWrongSequence, L"2"}}));
    app->AddReportRow(report::kGrabMiss, L"1", report::kNumber);

    app->OpenResultsBook(L"");
    EXPECT_EQ(app->Workbook(), nullptr);
    EXPECT_FALSE(app->SaveResults());
    app->AddReportRow(report::kGrabMiss, L"7", report::kNumber);  // nobody's: dropped
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    EXPECT_EQ(onDisk(L"Ольга"), (Rows{{report::kGrabMiss, L"1"}}));

    // The same pupil again continues her sheet; closing the program saves it.
    app->OpenResultsBook(L"Ольга");
    app->AddReportRow(report::kWrongExtra, L"3", report::kNumber);
    EndProgram();
    EXPECT_EQ(onDisk(L"Ольга"), (Rows{{report::kGrabMiss, L"1"}, {report::kWrongExtra, L"3"}}));
    EXPECT_EQ(onDisk(L"Иван").size(), 2u);
}

// Two programs one after the other in one process, as the tests and the benchmarks run them:
// the second starts from nothing the first left behind, whatever state the first ended in,
// and the first goes whole when its owner lets it go without shutting it down.
TEST_F(Exercise, ASecondApplicationSharesNothingWithTheFirst) {
    const std::wstring firstBook = results.Wide("") + kAppTitle + L".xls";
    StartPass(L"Иван");
    Solve(Board(0));
    ASSERT_NE(WaitForBoard(1), nullptr);
    Solve(Board(1));  // its praise still playing when the program ends
    Key(VK_F1);
    ASSERT_TRUE(app->InstructionShown());
    owned.reset();  // no Shutdown first
    EXPECT_EQ(App::Instance(), nullptr);
    EXPECT_EQ(GetResourceManager(), nullptr);
    EXPECT_EQ(ResultsBook(firstBook, L"Иван").Rows().size(), 1u);  // the start time

    ScratchFolder otherResults;
    AppOptions options = Options();
    options.resultsFolder = otherResults.Wide("");
    Launch(options);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(App::Instance(), app);
    EXPECT_EQ(Episode(), 0);
    EXPECT_EQ(Board(0), nullptr);
    EXPECT_EQ(app->Workbook(), nullptr);
    EXPECT_FALSE(app->InstructionShown());
    EXPECT_EQ(app->ExtraInstructionCalls(), 0);

    StartPass(L"Ольга");
    EXPECT_EQ(app->Workbook()->GetFileName(), otherResults.Wide("") + kAppTitle + L".xls");
    EXPECT_FALSE(Board(0)->IsHidden());
    EXPECT_TRUE(Board(1)->IsHidden());
    // F1 opens the instruction (the first program's open overlay is not this one's), and one
    // solved board moves the chain on by one.
    Key(VK_F1);
    EXPECT_TRUE(app->InstructionShown());
    Key(VK_SPACE);
    EXPECT_FALSE(app->InstructionShown());
    Solve(Board(0));
    ASSERT_NE(WaitForBoard(1), nullptr);
    EXPECT_EQ(Episode(), 1);
    EXPECT_TRUE(Board(0)->IsHidden());
    EndProgram();
    EXPECT_EQ(ResultsBook(firstBook, L"Ольга").Rows().size(), 0u);
}

TEST(ReportRows, StartTimeInEnglishAndTheHeaderInKeyOrder) {
    std::tm t{};
    t.tm_year = 2008 - 1900;
    t.tm_mon = 5;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_isdst = -1;
    const std::int64_t seconds = std::mktime(&t);
    // Even under a desktop's own language the month is the C locale's.
    const char* previous = std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(report::FormatStartTime(seconds), L"05-June-2008 14:07");
    if (previous) std::setlocale(LC_ALL, "C");

    const auto header = report::PrintHeader(L"00357", L"Игра «Ворлен»", L"Иван");
    std::vector<std::wstring> keys;
    for (const auto& [key, value] : header) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"Название", L"Номер ЦОР", L"Ученик"}));
    EXPECT_EQ(header.at(L"Номер ЦОР"), L"00357");
}

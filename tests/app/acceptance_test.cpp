// Whole passes as pupils make them, one program run after another on the same results folder:
// the start screen, a Russian name, the instruction (skipped or listened to), four boards with a
// planned set of mistakes spread over them, the praise film, the results screen, Save as, and
// the window closed. The workbook is then read back row by row, by our own reader and by a real
// spreadsheet program.
#include <gtest/gtest.h>

#include "app/report_rows.h"
#include "platform/text.h"
#include "tests/app/app_harness.h"
#include "tests/support/spreadsheet.h"
#include "widgets/edit_bar.h"
#include "widgets/save_as_dialog.h"

namespace {

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

const POINT kStartButton = {690, 450};
const POINT kSaveAsButton = {128, 490};
const POINT kRetryButton = {535, 490};
const POINT kSaveInDialog = {220 + 30, 225 + 79};

// The mistakes a pass makes; each count lands in its own row.
struct Mistakes {
    int earlyBell = 0;        // the bell rung on an untouched board
    int missedDrop = 0;       // a card let go far from every slot
    int backgroundClick = 0;  // a press that misses every card and the bell
    int oddCardJudged = 0;    // the odd card in a slot when the bell rings
    int helpKey = 0;          // F1 during the exercise
};

class Acceptance : public AppHarness {
   protected:
    // The program starting again on the same results folder, as the next pupil finds it.
    void LaunchAtStart() {
        Launch();
        ASSERT_NE(app, nullptr);
        app->ShowStartScreen();
        Pump();
        ASSERT_NE(app->NameBar(), nullptr);
    }

    // The pupil closes the window (SDL's quit, as the desktop sends it); the loop ends and the
    // program ends as main() ends it.
    void CloseWindow() {
        sdlinput::Quit();
        EXPECT_FALSE(RunUntil([] { return false; }, 10'000)) << "the loop did not end";
        EndProgram();
        EXPECT_EQ(IMAppBase::Current(), nullptr);
    }

    // The name through SDL's text input, then Start: by Enter or by a click on the button.
    void Begin(const char* name, bool clickStart) {
        sdlinput::Text(name);
        Pump();
        EXPECT_EQ(app->NameBar()->GetText(), platform::text::FromUtf8(name));
        if (clickStart) {
            Click(PictureMiddle(L"StartPopStartButton", kStartButton.x, kStartButton.y));
        } else {
            Key(VK_RETURN);
        }
        ASSERT_NE(app->InstructionOverlay(), nullptr);
    }

    // The instruction skipped at once, or listened to until its prompt and closed by Space.
    void Instruction(bool listen) {
        if (listen) {
            Key(VK_SPACE);  // too early: nothing happens before the prompt
            ASSERT_NE(app->InstructionOverlay(), nullptr);
            ASSERT_TRUE(RunUntil([&] { return app->PromptShown(); }));
            Screenshot("pass_instruction_prompt");
            Key(VK_SPACE);
        } else {
            Key(VK_ESCAPE);
        }
        Pump();
        ASSERT_EQ(app->InstructionOverlay(), nullptr);
        ASSERT_NE(app->ExerciseDialog(), nullptr);
    }

    void WaitForBell(VorlenDlg* board) {
        ASSERT_TRUE(RunUntil([&] { return board->Bell()->IsEnabled(); }));
    }

    // The four boards, with the mistakes spread over them: the early bell on the first, the
    // missed drop and F1 on the second, the background click on the third and the odd card on
    // the fourth. Every board ends solved.
    void PlayBoards(const Mistakes& m) {
        for (int e = 0; e < kEpisodeCount; ++e) {
            VorlenDlg* board = WaitForBoard(e);
            ASSERT_NE(board, nullptr) << "board " << e;
            WaitForBell(board);
            if (e == 0)
                for (int i = 0; i < m.earlyBell; ++i) {
                    Click(BellSpot(board));
                    WaitForBell(board);
                }
            if (e == 1) {
                for (int i = 0; i < m.missedDrop; ++i) {
                    DragThroughSdl(Middle(board->CardPicture(2)), {300 + kCardMiddle.x + 10 * i, 220 + kCardMiddle.y});
                    EXPECT_EQ(board->CardPicture(2)->GetRect().top, 220);
                }
                for (int i = 0; i < m.helpKey; ++i) {
                    Key(VK_F1);
                    EXPECT_TRUE(app->InstructionShown());
                    Key(VK_SPACE);
                    EXPECT_FALSE(app->InstructionShown());
                }
            }
            if (e == 2)
                for (int i = 0; i < m.backgroundClick; ++i) Click({400, 20});
            if (e == 3 && m.oddCardJudged > 0) {
                for (int k = 2; k <= kStageCount; ++k) PutInSlot(board, k, k);
                for (int i = 0; i < m.oddCardJudged; ++i) {
                    PutInSlot(board, kExtraCardNumber, 1);
                    Click(BellSpot(board));
                    WaitForBell(board);
                }
            }
            Solve(board);
        }
        ASSERT_TRUE(RunUntil([&] { return app->PraiseOverlay() != nullptr; }))
            << "episode " << Episode() << ", last bell "
            << (Board(kEpisodeCount - 1) && Board(kEpisodeCount - 1)->Bell()->IsEnabled() ? "enabled" : "disabled")
            << ", wrong sequences " << app->Counters().wrongSequence << ", wrong extra " << app->Counters().wrongExtra;
        ASSERT_TRUE(RunUntil([&] { return app->ResultsScreen() != nullptr; }));
        EXPECT_EQ(app->PraiseOverlay(), nullptr);
        const exercise::ExerciseCounters& c = app->Counters();
        EXPECT_EQ(c.wrongSequence, m.earlyBell);
        EXPECT_EQ(c.dropMiss, m.missedDrop);
        EXPECT_EQ(c.grabMiss, m.backgroundClick);
        EXPECT_EQ(c.wrongExtra, m.oddCardJudged);
        Pump();
    }

    void SaveAs(const std::wstring& path) {
        Click(PictureMiddle(L"SaveAsButton", kSaveAsButton.x, kSaveAsButton.y));
        ASSERT_NE(app->SaveAsDialog(), nullptr);
        app->SaveAsDialog()->SetFileName(path);
        Click(PictureMiddle(L"SaveAsButton", kSaveInDialog.x, kSaveInDialog.y));
        EXPECT_EQ(app->SaveAsDialog(), nullptr) << "the dialog closes once it saved";
    }
};

// One pass's eight rows as the workbook holds them.
void ExpectPass(const Rows& rows, std::size_t first, const Mistakes& m) {
    ASSERT_GE(rows.size(), first + 8);
    EXPECT_EQ(rows[first].first, report::kStartTime);
    EXPECT_TRUE(LooksLikeStartTime(rows[first].second)) << platform::text::ToUtf8(rows[first].second);
    const Rows counts = {{report::kWrongSequence, std::to_wstring(m.earlyBell)},
                         {report::kWrongExtra, std::to_wstring(m.oddCardJudged)},
                         {report::kGrabMiss, std::to_wstring(m.backgroundClick)},
                         {report::kDropMiss, std::to_wstring(m.missedDrop)},
                         {report::kExtraInstructions, std::to_wstring(m.helpKey)}};
    for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_EQ(rows[first + 1 + i], counts[i]) << "row " << first + 1 + i;
    EXPECT_EQ(rows[first + 6].first, report::kTotalTime);
    EXPECT_TRUE(IsWholeNumber(rows[first + 6].second));
    EXPECT_EQ(rows[first + 7], std::make_pair(std::wstring(), std::wstring()));
}

// The same rows as a spreadsheet program shows them: caption and value, numbers unquoted; the
// blank row that ends the sheet is not there.
void ExpectSameInSpreadsheet(const spreadsheet::Sheet& sheet, const Rows& rows) {
    ASSERT_EQ(sheet.rows.size() + 1, rows.size());
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        ASSERT_EQ(sheet.rows[r].size(), 2u);
        EXPECT_EQ(sheet.rows[r][0].text, platform::text::ToUtf8(rows[r].first));
        const std::wstring& value = rows[r].second;
        // A start time of "09-December-2026 22:35" a spreadsheet may show as a date; its
        // numbers are what count.
        if (rows[r].first != report::kStartTime) {
            EXPECT_EQ(sheet.rows[r][1].text, platform::text::ToUtf8(value));
        }
        if (IsWholeNumber(value)) {
            EXPECT_FALSE(sheet.rows[r][1].quoted) << "a number arrives as a number";
        }
    }
}

}  // namespace

TEST_F(Acceptance, ThreeProgramRunsTwoPupilsOneWorkbook) {
    // The harness's own program run is the first.
    EndProgram();
    const std::wstring own = results.Wide("") + kAppTitle + L".xls";
    const std::wstring copy = results.Wide("копия для учителя.xls");
    const Mistakes planned{1, 1, 1, 1, 1};
    const Mistakes clean{};

    // Run 1: Enter, the instruction skipped, every planned mistake, Save as, the window closed.
    LaunchAtStart();
    Begin("Ёжик Пётр", false);
    Instruction(false);
    PlayBoards(planned);
    Screenshot("pass_results_screen");
    SaveAs(copy);
    CloseWindow();
    const Rows firstRun = ResultsBook(own, L"Ёжик Пётр").Rows();
    ASSERT_EQ(firstRun.size(), 8u);
    ExpectPass(firstRun, 0, planned);
    EXPECT_EQ(ResultsBook(copy, L"Ёжик Пётр").Rows(), firstRun);

    // Run 2: the same pupil, Start clicked, the instruction listened to the end, the same
    // mistakes; then Retry on the results screen and a third pupil without a mistake.
    LaunchAtStart();
    Begin("Ёжик Пётр", true);
    Instruction(true);
    PlayBoards(planned);
    Click(PictureMiddle(L"RetryButton", kRetryButton.x, kRetryButton.y));
    ASSERT_NE(app->NameBar(), nullptr);
    EXPECT_EQ(app->NameBar()->GetText(), L"");
    Begin("Алёна-Мария О'Нил", false);
    Instruction(false);
    PlayBoards(clean);
    CloseWindow();

    // Eight more rows on the first pupil's sheet, the first eight untouched; the third pupil on
    // a sheet of her own.
    const Rows first = ResultsBook(own, L"ёжик пётр").Rows();
    ASSERT_EQ(first.size(), 16u);
    EXPECT_EQ(Rows(first.begin(), first.begin() + 8), firstRun);
    ExpectPass(first, 8, planned);
    ResultsBook third(own, L"Алёна-Мария О'Нил");
    EXPECT_EQ(third.SheetName(), L"Алёна-Мария О'Нил");
    ASSERT_EQ(third.Rows().size(), 8u);
    ExpectPass(third.Rows(), 0, clean);

    // A real spreadsheet program opens the file and shows the same sheets and values.
    std::string error;
    const std::vector<spreadsheet::Sheet> sheets = spreadsheet::ReadWithSsconvert(platform::text::ToUtf8(own), &error);
    if (spreadsheet::FindProgram("ssconvert").empty()) {
        GTEST_SKIP() << error;
    }
    ASSERT_EQ(sheets.size(), 2u) << error;
    EXPECT_EQ(sheets[0].name, "Ёжик Пётр");
    EXPECT_EQ(sheets[1].name, "Алёна-Мария О'Нил");
    ExpectSameInSpreadsheet(sheets[0], first);
    ExpectSameInSpreadsheet(sheets[1], third.Rows());
    const std::vector<spreadsheet::Sheet> copied = spreadsheet::ReadWithSsconvert(platform::text::ToUtf8(copy), &error);
    ASSERT_EQ(copied.size(), 1u) << error;
    ExpectSameInSpreadsheet(copied[0], firstRun);
}

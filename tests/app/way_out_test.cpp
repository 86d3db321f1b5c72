// The way out: the results screen with and without a workbook, Enter and Retry from it, the
// printer dialog (without a printer it prints nothing) and saving the workbook under another
// name, including the names that must not be written.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "app/report_rows.h"
#include "platform/printing.h"
#include "tests/app/app_harness.h"
#include "widgets/edit_bar.h"
#include "widgets/list.h"
#include "widgets/results_forwarder.h"
#include "widgets/save_as_dialog.h"
#include "widgets/select_printer_dialog.h"

namespace {

const POINT kPrint = {30, 490};
const POINT kSaveAs = {128, 490};
const POINT kRetry = {535, 490};
const POINT kSaveInDialog = {220 + 30, 225 + 79};
const POINT kCloseInSaveDialog = {220 + 221, 225 + 79};
const POINT kPrintInDialog = {220 + 30, 125 + 179};
const POINT kCloseInPrintDialog = {220 + 221, 125 + 179};

class WayOut : public AppHarness {
   protected:
    // The printers the dialog lists when a test names them, else CUPS's.
    AppOptions Options() override {
        AppOptions options = AppHarness::Options();
        options.printers = [this] { return printers ? *printers : platform::Printers::Get(); };
        return options;
    }
    std::optional<platform::Printers::List> printers;
    // A pass cut short: into the exercise with `pupil`, then the exercise closes and the
    // results screen shows.
    void ReachResults(const std::wstring& pupil) {
        StartPass(pupil);
        app->ExerciseDialog()->Close();
        Pump();
        ASSERT_NE(app->ResultsScreen(), nullptr);
        Pump();
    }
    void ClickButton(const wchar_t* picture, POINT at) { Click(PictureMiddle(picture, at.x, at.y)); }
    void SaveAs(const std::wstring& path) {
        ClickButton(L"SaveAsButton", kSaveAs);
        ASSERT_NE(app->SaveAsDialog(), nullptr);
        app->SaveAsDialog()->SetFileName(path);
        ClickButton(L"SaveAsButton", kSaveInDialog);
    }
};

TEST_F(WayOut, WithoutANameBothOutputButtonsAreGreyAndDoNothing) {
    ReachResults(L"");
    EXPECT_EQ(app->Workbook(), nullptr);
    Screenshot("results_without_workbook");
    const DWORD greyPrint = GetResourceManager()->Device()->ReadBackBuffer()[495 * 800 + 60];
    ClickButton(L"PrintButton", kPrint);
    ClickButton(L"SaveAsButton", kSaveAs);
    EXPECT_EQ(app->PrintDialog(), nullptr);
    EXPECT_EQ(app->SaveAsDialog(), nullptr);
    EXPECT_NE(app->ResultsScreen(), nullptr);
    EXPECT_TRUE(results.Names().empty());
    // Called directly they do nothing either.
    app->ShowPrintDialog();
    app->ShowSaveAsDialog();
    EXPECT_EQ(app->PrintDialog(), nullptr);
    EXPECT_EQ(app->SaveAsDialog(), nullptr);

    // With a workbook the same place is drawn in full colour.
    ClickButton(L"RetryButton", kRetry);
    ReachResults(L"Иван");
    Screenshot("results_with_workbook");
    const DWORD fullPrint = GetResourceManager()->Device()->ReadBackBuffer()[495 * 800 + 60];
    EXPECT_NE(greyPrint, fullPrint);
}

TEST_F(WayOut, EnterStartsTheExerciseAtOnceInTheSameWorkbook) {
    ReachResults(L"Иван");
    ResultsBook* book = app->Workbook();
    const std::size_t rowsBefore = book->Rows().size();
    Key(VK_RETURN);
    EXPECT_EQ(app->ResultsScreen(), nullptr);
    ASSERT_NE(app->ExerciseDialog(), nullptr);
    EXPECT_EQ(app->InstructionOverlay(), nullptr);
    EXPECT_EQ(app->StartScreen(), nullptr);
    EXPECT_EQ(app->Workbook(), book);
    const auto rows = book->Rows();
    ASSERT_EQ(rows.size(), rowsBefore + 1);
    EXPECT_EQ(rows.back().first, report::kStartTime);
    // A fresh exercise: the first board, with its counters at zero.
    ASSERT_NE(WaitForBoard(0), nullptr);
    // A second Enter in the exercise does not start another one.
    IMDialog* exercise = app->ExerciseDialog();
    Key(VK_RETURN);
    EXPECT_EQ(app->ExerciseDialog(), exercise);
}

// The pass is on its way into the file by the time its results show, before anyone closes the
// window: the results thread merges it without waiting for the end.
TEST_F(WayOut, ThePassIsInTheFileOnceItsResultsShow) {
    ReachResults(L"Иван");
    ASSERT_TRUE(app->Forwarder()->WaitUntilMerged(std::chrono::seconds(30)));
    EXPECT_EQ(app->Forwarder()->Pending(), 0u);
    const auto rows = app->Workbook()->Rows();
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(ResultsBook(app->Workbook()->GetFileName(), L"Иван").Rows(), rows);
}

TEST_F(WayOut, RetryThenStartWithANewNameMakesANewWorkbookForTheSameFile) {
    ReachResults(L"Иван");
    const std::wstring path = app->Workbook()->GetFileName();
    ClickButton(L"RetryButton", kRetry);
    EXPECT_EQ(app->ResultsScreen(), nullptr);
    ASSERT_NE(app->StartScreen(), nullptr);
    StartPass(L"Ольга");
    ASSERT_NE(app->Workbook(), nullptr);
    EXPECT_EQ(app->Workbook()->GetFileName(), path);
    EXPECT_EQ(app->Workbook()->SheetName(), L"Ольга");
    // Ivan's rows were kept in the file when his workbook was replaced (handed to the results
    // thread, which writes them while the next pass begins).
    ASSERT_TRUE(app->Forwarder()->WaitUntilMerged(std::chrono::seconds(30)));
    EXPECT_FALSE(ResultsBook(path, L"Иван").Rows().empty());
}

TEST_F(WayOut, PrinterDialogWithoutPrintersPrintsNothingAndCloses) {
    printers = platform::Printers::List{{L"A", L"B", L"C"}, L"B"};
    ReachResults(L"Иван");
    ClickButton(L"PrintButton", kPrint);
    ASSERT_NE(app->PrintDialog(), nullptr);
    Pump();
    Screenshot("printer_dialog");
    ASSERT_NE(app->PrintDialog()->List()->Selected(), nullptr);
    EXPECT_EQ(app->PrintDialog()->List()->Selected()->GetText(), L"B");
    // Close prints nothing.
    ClickButton(L"CloseButton", kCloseInPrintDialog);
    EXPECT_EQ(app->PrintDialog(), nullptr);

    // No printer at all: Print closes the dialog and nothing happens.
    printers = platform::Printers::List{};
    ClickButton(L"PrintButton", kPrint);
    ASSERT_NE(app->PrintDialog(), nullptr);
    EXPECT_TRUE(app->PrintDialog()->List()->Items().empty());
    ClickButton(L"PrintButton", kPrintInDialog);
    EXPECT_EQ(app->PrintDialog(), nullptr);
    EXPECT_NE(app->ResultsScreen(), nullptr);
}

TEST_F(WayOut, SaveAsWritesTheCopyAndLeavesTheWorkbooksOwnFile) {
    ReachResults(L"Иван");
    ResultsBook* book = app->Workbook();
    const std::wstring own = book->GetFileName();
    const std::string ownFile = platform::text::ToUtf8(own);

    // The box starts with the workbook's own file; unchanged, Save writes it.
    ClickButton(L"SaveAsButton", kSaveAs);
    ASSERT_NE(app->SaveAsDialog(), nullptr);
    Pump();
    Screenshot("save_as_dialog");
    EXPECT_EQ(app->SaveAsDialog()->GetFileName(), own);
    ClickButton(L"SaveAsButton", kSaveInDialog);
    EXPECT_EQ(app->SaveAsDialog(), nullptr);
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    ASSERT_TRUE(std::filesystem::exists(ownFile));

    // Another path gets a copy; an empty box writes the own file; the own path stays.
    SaveAs(results.Wide("copy"));
    EXPECT_EQ(app->SaveAsDialog(), nullptr);
    EXPECT_EQ(ResultsBook(results.Wide("copy"), L"Иван").Rows(), book->Rows());
    std::filesystem::remove(ownFile);
    SaveAs(L"");
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    EXPECT_TRUE(std::filesystem::exists(ownFile));
    EXPECT_EQ(book->GetFileName(), own);

    // Close saves nothing.
    std::filesystem::remove(ownFile);
    ClickButton(L"SaveAsButton", kSaveAs);
    ClickButton(L"CloseButton", kCloseInSaveDialog);
    EXPECT_EQ(app->SaveAsDialog(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(ownFile));
}

TEST_F(WayOut, ASaveThatCannotHappenIsSaidInTheDialogAndChangesNothing) {
    ReachResults(L"Иван");
    ASSERT_TRUE(app->SaveResults());
    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    const std::string ownFile = platform::text::ToUtf8(app->Workbook()->GetFileName());
    const std::string ownBytes = ReadBytes(ownFile);

    // A folder that cannot be made (a file is in the way).
    SaveAs(platform::text::FromUtf8(ownFile) + L"/a.xls");
    ASSERT_NE(app->SaveAsDialog(), nullptr);
    EXPECT_FALSE(app->SaveAsDialog()->Message()->IsHidden());
    EXPECT_EQ(app->SaveAsDialog()->Message()->GetText(), L"Не удалось сохранить файл. Введите другое имя.");
    Pump();
    Screenshot("save_as_failed");
    app->SaveAsDialog()->Close();
    Pump();

    // Another kind of document under the typed name is never replaced.
    const std::string letter = results / "letter.txt";
    {
        std::ofstream out(letter);
        out << "Дорогая бабушка!\n";
    }
    SaveAs(platform::text::FromUtf8(letter));
    ASSERT_NE(app->SaveAsDialog(), nullptr);
    EXPECT_EQ(app->SaveAsDialog()->Message()->GetText(), L"Там уже другой файл. Введите другое имя.");
    EXPECT_EQ(ReadBytes(letter), "Дорогая бабушка!\n");
    EXPECT_FALSE(app->SaveResultsAs(platform::text::FromUtf8(letter)));
    EXPECT_EQ(ReadBytes(letter), "Дорогая бабушка!\n");

    // Typed again as a new name, the same dialog saves and closes.
    app->SaveAsDialog()->SetFileName(results.Wide("ok.xls"));
    ClickButton(L"SaveAsButton", kSaveInDialog);
    EXPECT_EQ(app->SaveAsDialog(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(results / "ok.xls"));
    EXPECT_EQ(ReadBytes(ownFile), ownBytes);
}

}  // namespace

// The window closes while the shared folder is gone for a moment: the program says on its
// screen that the results are being saved, waits its bound, and says on standard error where
// the pass is kept; the folder back, the pass arrives.
TEST_F(WayOut, AClosingWindowSaysTheResultsAreBeingSavedWhileItWaits) {
    ReachResults(L"Иван");
    ASSERT_TRUE(app->Forwarder()->WaitUntilMerged(std::chrono::seconds(30)));
    const std::string folder = results.Path();
    std::filesystem::rename(folder, folder + "-away");
    app->AddReportRow(report::kStartTime, L"10-December-2026 08:15", report::kString);
    ASSERT_TRUE(app->SaveResults());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(app->FinishSaving(std::chrono::milliseconds(0), true));
    const std::string said = ::testing::internal::GetCapturedStderr();
    Screenshot("saving_notice");
    EXPECT_NE(said.find("they are kept in " + journal.Path()), std::string::npos) << said;
    // The notice: dark text in the middle of an otherwise plain screen.
    const auto pixels = engine->Device()->ReadBackBuffer();
    int ink = 0;
    for (int y = 280; y < 320; ++y)
        for (int x = 250; x < 550; ++x) {
            const DWORD c = pixels[static_cast<std::size_t>(y) * 800 + x];
            ink += ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 300;
        }
    EXPECT_GT(ink, 200);

    std::filesystem::rename(folder + "-away", folder);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    ::testing::internal::GetCapturedStderr();
    const auto rows = ResultsBook(app->Workbook()->GetFileName(), L"Иван").Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().second, L"10-December-2026 08:15");
}

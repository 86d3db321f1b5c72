// A pupil's results printed through the printer dialog on a real CUPS queue, a PDF printer made
// by tools/test-printer.sh (make test runs it); the pages that cups-pdf writes into ~/PDF are
// read back with pdftotext.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "platform/printing.h"
#include "tests/app/app_harness.h"
#include "tests/support/pdf_text.h"
#include "widgets/list.h"
#include "widgets/select_printer_dialog.h"

namespace {

constexpr wchar_t kQueue[] = L"VorlenTestPDF";

std::set<std::string> PdfsIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.path().extension() == ".pdf") names.insert(entry.path().string());
    return names;
}

using CupsPrint = AppHarness;

TEST_F(CupsPrint, PupilsResultsComeOutOfAPdfPrinter) {
    const platform::Printers::List printers = platform::Printers::Get();
    const bool queueThere =
        std::find(printers.names.begin(), printers.names.end(), std::wstring(kQueue)) != printers.names.end();
    ASSERT_TRUE(queueThere) << "CUPS does not list the test printer VorlenTestPDF: run tools/test-printer.sh "
                               "as root (it needs cups and printer-driver-cups-pdf) before this test";
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    const std::string out = std::string(home) + "/PDF";
    const std::set<std::string> before = PdfsIn(out);

    app->SetInfo(L"00357", L"Игра «Ворлен»", L"");
    app->OpenResultsBook(L"Иван");
    app->SetPupilName(L"Иван");
    // More rows than one page holds.
    for (int i = 0; i < 90; ++i) app->AddReportRow(L"Строка " + std::to_wstring(i), std::to_wstring(i), L"Number");
    app->ShowResults();
    Pump();
    app->ShowPrintDialog();
    Pump();
    IMSelectPrinterDialog* dialog = app->PrintDialog();
    ASSERT_NE(dialog, nullptr);
    for (IMStaticText* line : dialog->List()->Items())
        if (line->GetText() == kQueue) dialog->List()->Select(line);
    ASSERT_NE(dialog->List()->Selected(), nullptr);
    const RECT print = dialog->PrintButton()->GetRect();
    Click({220 + (print.left + print.right) / 2, 125 + (print.top + print.bottom) / 2});
    EXPECT_EQ(app->PrintDialog(), nullptr);

    std::string pdf;
    for (int i = 0; i < 300 && pdf.empty(); ++i) {
        for (const std::string& name : PdfsIn(out))
            if (!before.count(name)) pdf = name;
        if (pdf.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(pdf.empty()) << "no PDF from the printer arrived in " << out;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // cups-pdf may still be writing

    EXPECT_GE(PdfPages(pdf), 2);
    const std::vector<PdfLine> lines = PdfLines(pdf);
    ASSERT_EQ(lines.size(), 93u) << pdf;
    EXPECT_EQ(lines[0].Text(), "Название Игра «Ворлен»");
    EXPECT_EQ(lines[1].Text(), "Номер ЦОР 00357");
    EXPECT_EQ(lines[2].Text(), "Ученик Иван");
    // The empty line between header and rows.
    EXPECT_GT(lines[3].y - lines[2].y, 1.5 * (lines[2].y - lines[1].y));
    for (int i = 0; i < 90; ++i) {
        const PdfLine& line = lines[3 + i];
        EXPECT_EQ(line.Text(), "Строка " + std::to_string(i) + " " + std::to_string(i));
        // The value in the second column, right of the page's middle.
        EXPECT_GT(line.words.back().x, line.words.front().x + 200);
    }
    EXPECT_EQ(lines.back().page, PdfPages(pdf) - 1);
    std::filesystem::remove(pdf);
}

}  // namespace

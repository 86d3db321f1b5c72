// A pupil's results printed through the printer dialog on a real CUPS queue, a PDF printer made
// by tools/test-printer.sh (make test runs it); the pages that cups-pdf writes into ~/PDF are
// read back with pdftotext.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
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

// Characters (not bytes) before `bytes` in a UTF-8 line: the column pdftotext laid it out at.
std::size_t Column(const std::string& line, std::size_t bytes) {
    std::size_t column = 0;
    for (std::size_t i = 0; i < bytes && i < line.size(); ++i)
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
    return column;
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
    // cups-pdf writes the file in place: wait until it reads as a whole document.
    for (int i = 0; i < 100 && PdfPages(pdf) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));

    EXPECT_GE(PdfPages(pdf), 2);
    // The queue's PostScript-to-PDF step (ghostscript) moves glyphs of one line a little up or
    // down, so the lines are read as pdftotext lays out the page, form feeds between pages.
    std::vector<std::string> lines;
    {
        std::istringstream in(RunCommand("pdftotext -layout '" + pdf + "' - 2>/dev/null"));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] == '\f') line.erase(0, 1);
            lines.push_back(line);
        }
    }
    ASSERT_GE(lines.size(), 94u) << pdf;
    EXPECT_EQ(lines[0].rfind("Название", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("Ворлен"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("Номер ЦОР", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Ученик", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find("Иван"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "");
    // Every row, in order, its value in the second column; only page ends may add empty lines.
    std::size_t at = 4;
    const std::size_t valueColumn = Column(lines[2], lines[2].find("Иван"));
    for (int i = 0; i < 90; ++i) {
        while (at < lines.size() && lines[at].empty()) ++at;
        ASSERT_LT(at, lines.size()) << "row " << i << " is missing";
        const std::string caption = "Строка " + std::to_string(i);
        EXPECT_EQ(lines[at].rfind(caption, 0), 0u) << lines[at];
        const std::size_t value = lines[at].find_first_not_of(' ', caption.size());
        EXPECT_EQ(lines[at].substr(value == std::string::npos ? 0 : value), std::to_string(i)) << lines[at];
        EXPECT_EQ(Column(lines[at], value), valueColumn) << lines[at];
        ++at;
    }
    std::filesystem::remove(pdf);
}

}  // namespace

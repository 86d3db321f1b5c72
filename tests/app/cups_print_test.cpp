// A pupil's results printed through the printer dialog on a real CUPS queue, a PDF printer made
// by tools/test-printer.sh (make test runs it); the pages that cups-pdf writes into ~/PDF are
// read back with pdftotext.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "platform/printing.h"
#include "tests/app/app_harness.h"
#include "tests/support/pdf_text.h"
#include "tests/support/scratch_folder.h"
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

// An environment variable set for a while, then put back as it was.
class Setting {
   public:
    Setting(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) kept_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~Setting() {
        if (kept_)
            setenv(name_, kept_->c_str(), 1);
        else
            unsetenv(name_);
    }

   private:
    const char* name_;
    std::optional<std::string> kept_;
};

struct CupsPrint : AppHarness {
    std::string out;  // where cups-pdf puts this user's jobs
    std::set<std::string> before;
    // The printers the dialog lists when a test names them, else CUPS's.
    std::optional<platform::Printers::List> printers;

    AppOptions Options() override {
        AppOptions options = AppHarness::Options();
        options.printers = [this] { return printers ? *printers : platform::Printers::Get(); };
        return options;
    }

    void SetUp() override {
        AppHarness::SetUp();
        const platform::Printers::List printers = platform::Printers::Get();
        const bool queueThere =
            std::find(printers.names.begin(), printers.names.end(), std::wstring(kQueue)) != printers.names.end();
        ASSERT_TRUE(queueThere) << "CUPS does not list the test printer VorlenTestPDF: run tools/test-printer.sh "
                                   "as root (it needs cups and printer-driver-cups-pdf) before this test";
        const char* home = std::getenv("HOME");
        ASSERT_NE(home, nullptr);
        out = std::string(home) + "/PDF";
        before = PdfsIn(out);
    }

    // The results screen's Print, `queue` chosen in the dialog and its Print clicked.
    void PrintOn(const std::wstring& queue = kQueue) {
        app->ShowResults();
        Pump();
        app->ShowPrintDialog();
        Pump();
        IMSelectPrinterDialog* dialog = app->PrintDialog();
        ASSERT_NE(dialog, nullptr);
        for (IMStaticText* line : dialog->List()->Items())
            if (line->GetText() == queue) dialog->List()->Select(line);
        ASSERT_NE(dialog->List()->Selected(), nullptr);
        const RECT print = dialog->PrintButton()->GetRect();
        Click({220 + (print.left + print.right) / 2, 125 + (print.top + print.bottom) / 2});
        EXPECT_EQ(app->PrintDialog(), nullptr);
    }

    // The job's PDF once cups-pdf has written it whole; empty when none came.
    std::string ArrivedPdf() {
        std::string pdf;
        for (int i = 0; i < 300 && pdf.empty(); ++i) {
            for (const std::string& name : PdfsIn(out))
                if (!before.count(name)) pdf = name;
            if (pdf.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        // cups-pdf writes the file in place: wait until it reads as a whole document.
        for (int i = 0; !pdf.empty() && i < 100 && PdfPages(pdf) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return pdf;
    }
};

// Every text comes back from the PDF as it was printed: the header's values, the guillemets of
// the title and the digits of the start time too.
TEST_F(CupsPrint, PupilsResultsComeOutOfAPdfPrinter) {
    app->SetInfo(L"00357", L"Игра «Ворлен»", L"");
    app->OpenResultsBook(L"Иван");
    app->SetPupilName(L"Иван");
    app->AddReportRow(L"Время начала работы с упражнением", L"10-December-2026 05:09", L"String");
    // More rows than one page holds.
    for (int i = 0; i < 90; ++i) app->AddReportRow(L"Строка " + std::to_wstring(i), std::to_wstring(i), L"Number");
    PrintOn();
    const std::string pdf = ArrivedPdf();
    ASSERT_FALSE(pdf.empty()) << "no PDF from the printer arrived in " << out;

    EXPECT_GE(PdfPages(pdf), 2);
    // The queue's PostScript-to-PDF step (ghostscript) moves glyphs of one line a little up or
    // down, so the lines are read as pdftotext lays out the page, form feeds between pages.
    std::vector<std::string> lines;
    std::vector<int> pageOf;
    {
        std::istringstream in(RunCommand("pdftotext -layout '" + pdf + "' - 2>/dev/null"));
        int page = 0;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] == '\f') line.erase(0, 1), ++page;
            lines.push_back(line);
            pageOf.push_back(page);
        }
    }
    ASSERT_GE(lines.size(), 95u) << pdf;
    // A caption, spaces, its value, nothing else.
    const auto split = [](const std::string& line) {
        const std::size_t gap = line.find("  ");
        const std::size_t value = line.find_first_not_of(' ', gap);
        if (gap == std::string::npos || value == std::string::npos)
            return std::pair<std::string, std::string>{line, ""};
        return std::pair<std::string, std::string>{line.substr(0, gap), line.substr(value)};
    };
    using Cells = std::pair<std::string, std::string>;
    EXPECT_EQ(split(lines[0]), (Cells{"Название", "Игра «Ворлен»"})) << lines[0];
    EXPECT_EQ(split(lines[1]), (Cells{"Номер ЦОР", "00357"})) << lines[1];
    EXPECT_EQ(split(lines[2]), (Cells{"Ученик", "Иван"})) << lines[2];
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(split(lines[4]), (Cells{"Время начала работы с упражнением", "10-December-2026 05:09"})) << lines[4];
    // Every row, in order, its value in the second column; only page ends may add empty lines.
    // pdftotext lays out each page's columns on their own.
    std::size_t at = 5;
    std::size_t valueColumn = Column(lines[2], lines[2].find("Иван"));
    for (int i = 0; i < 90; ++i) {
        while (at < lines.size() && lines[at].empty()) ++at;
        ASSERT_LT(at, lines.size()) << "row " << i << " is missing";
        if (pageOf[at] != pageOf[at - 1])
            valueColumn = Column(lines[at], lines[at].find_first_not_of(' ', lines[at].find("  ")));
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

// A TMPDIR that names no folder is no reason to lose the printout, nor the program.
TEST_F(CupsPrint, PrintsWhenTheTemporaryFolderIsMissing) {
    app->SetInfo(L"00357", L"Игра «Ворлен»", L"");
    app->OpenResultsBook(L"Иван");
    app->SetPupilName(L"Иван");
    app->AddReportRow(L"Строка", L"1", L"Number");
    {
        const Setting tmpdir("TMPDIR", "/nonexistent/vorlen-tmp");
        PrintOn();
    }
    const std::string pdf = ArrivedPdf();
    ASSERT_FALSE(pdf.empty()) << "no PDF from the printer arrived in " << out;
    EXPECT_NE(RunCommand("pdftotext '" + pdf + "' - 2>/dev/null").find("Ученик"), std::string::npos);
    std::filesystem::remove(pdf);
}

// A printer that went away between the list and the click is named as not found, and the
// results screen stays.
TEST_F(CupsPrint, APrinterCupsCannotFindIsSaidSo) {
    printers = platform::Printers::List{{L"Ушедший"}, L""};
    app->OpenResultsBook(L"Иван");
    ::testing::internal::CaptureStderr();
    PrintOn(L"Ушедший");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("\"Ушедший\" was not found"), std::string::npos) << said;
    EXPECT_EQ(said.find("no printer was chosen"), std::string::npos) << said;
}

// A default printer that is an instance of a queue (lpoptions -d queue/instance) makes its queue
// the default one, listed once.
TEST(CupsPrinters, ADefaultInstanceMakesItsQueueTheDefault) {
    ScratchFolder home;
    std::filesystem::create_directories(home / ".cups");
    std::ofstream(home / ".cups/lpoptions") << "Dest VorlenTestPDF/teacher\nDefault VorlenTestPDF/teacher\n";
    // CUPS reads HOME once per thread.
    platform::Printers::List list;
    {
        const Setting user("HOME", home.Path());
        std::thread([&] { list = platform::Printers::Get(); }).join();
    }
    EXPECT_EQ(std::count(list.names.begin(), list.names.end(), std::wstring(kQueue)), 1);
    EXPECT_EQ(list.defaultName, kQueue);
}

}  // namespace

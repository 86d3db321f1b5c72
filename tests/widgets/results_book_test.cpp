// The results workbook: what a pass writes, how a pupil finds their worksheet again, how it is
// saved, and the files it must survive (damaged, unreadable, hostile).
#include "widgets/results_book.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "platform/text.h"
#include "tests/support/scratch_folder.h"

namespace {

using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

struct Row {
    std::wstring caption, value, type;
};

// One pass of the exercise, seven rows, as the exercise writes them.
std::vector<Row> PassRows(int pass) {
    return {{L"Дата", L"09.12.2026", L"String"},
            {L"Время", L"15:44", L"String"},
            {L"Эпизод 1: ошибок", std::to_wstring(pass), L"Number"},
            {L"Эпизод 2: ошибок", L"0", L"Number"},
            {L"Эпизод 3: ошибок", L"2", L"Number"},
            {L"Эпизод 4: ошибок", L"1", L"Number"},
            {L"Время выполнения, с", L"125.5", L"Number"}};
}

void WritePass(ResultsBook& book, int pass) {
    for (const Row& row : PassRows(pass)) book.AddRow(row.caption, row.value, row.type);
    book.Finish();
}

Rows PassPairs(std::initializer_list<int> passes) {
    Rows rows;
    for (int pass : passes) {
        for (const Row& row : PassRows(pass)) rows.emplace_back(row.caption, row.value);
        rows.emplace_back();
    }
    return rows;
}

std::string Utf8(const std::wstring& s) { return platform::text::ToUtf8(s); }

std::string Escaped(const std::wstring& text) {
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// A worksheet exactly as the file holds it after the given passes.
std::string WorksheetXml(const std::wstring& name, std::initializer_list<int> passes) {
    std::string xml = "<Worksheet ss:Name=\"" + Escaped(name) +
                      "\"><Table><Column ss:AutoFitWidth=\"0\" ss:Width=\"240\"/>"
                      "<Column ss:AutoFitWidth=\"0\" ss:Width=\"96\"/>";
    for (int pass : passes) {
        for (const Row& row : PassRows(pass)) {
            xml += "<Row><Cell><Data ss:Type=\"String\">" + Escaped(row.caption) +
                   "</Data></Cell><Cell><Data ss:Type=\"" + Utf8(row.type) + "\">" + Escaped(row.value) +
                   "</Data></Cell></Row>";
        }
        xml += "<Row/>";
    }
    return xml + "</Table></Worksheet>";
}

const std::string kSeparator = "\t\t\t\t\t\t\t ";

// The template from the document properties to the end of the styles, separators included.
std::string TemplateBody() {
    const char* pieces[] = {
        R"(<DocumentProperties xmlns="urn:schemas-microsoft-com:office:office">)",
        R"(<Version>11.6360</Version>)",
        R"(</DocumentProperties>)",
        R"(<ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel">)",
        R"(<WindowHeight>10005</WindowHeight>)",
        R"(<WindowWidth>10005</WindowWidth>)",
        R"(<WindowTopX>120</WindowTopX>)",
        R"(<WindowTopY>135</WindowTopY>)",
        R"(<ProtectStructure>False</ProtectStructure>)",
        R"(<ProtectWindows>False</ProtectWindows>)",
        R"(</ExcelWorkbook>)",
        R"(<Styles>)",
        R"(<Style ss:ID="Default" ss:Name="Normal">)",
        R"(<Alignment ss:Vertical="Bottom"/>)",
        R"(<Borders/>)",
        R"(<Font ss:FontName="Arial Cyr" x:CharSet="204"/>)",
        R"(<Interior/>)",
        R"(<NumberFormat/>)",
        R"(<Protection/>)",
        R"(</Style>)",
        R"(<Style ss:ID="s21">)",
        R"(<NumberFormat ss:Format="Short Date"/>)",
        R"(</Style>)",
        R"(<Style ss:ID="s22">)",
        R"(<NumberFormat ss:Format="Short Time"/>)",
        R"(</Style>)",
        R"(</Styles>)",
    };
    std::string body;
    for (const char* piece : pieces) body += (body.empty() ? "" : kSeparator) + piece;
    return body;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// "results.xls.damaged-" and a time stamp, YYYYMMDD-HHMMSS.
bool IsAsideName(const std::string& name) {
    const std::string prefix = "results.xls.damaged-";
    if (name.size() != prefix.size() + 15 || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        bool dash = i == prefix.size() + 8;
        if (dash ? name[i] != '-' : !std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

// The file without the marks that name each pass (comments spreadsheet programs ignore).
std::string WithoutPassMarks(std::string text) {
    for (auto at = text.find("<!--vorlen pass "); at != std::string::npos; at = text.find("<!--vorlen pass ", at))
        text.erase(at, text.find("-->", at) + 3 - at);
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A book for one pupil with the given passes, saved at `path`.
void SavePasses(const std::wstring& path, const std::wstring& pupil, std::initializer_list<int> passes) {
    ResultsBook book(path, pupil);
    for (int pass : passes) WritePass(book, pass);
    ASSERT_TRUE(book.Save());
}

}  // namespace

// ============================================================================================
// What a pass writes
// ============================================================================================

TEST(ResultsBook, FirstPassHoldsTheTemplateAndTheTwoColumnWorksheet) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    ResultsBook book(path, L"Иван");
    EXPECT_EQ(book.SheetName(), L"Иван");
    EXPECT_TRUE(book.Rows().empty());
    WritePass(book, 1);
    EXPECT_EQ(book.Rows(), PassPairs({1}));
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(book.GetFileName(), path);

    const std::string text = WithoutPassMarks(ReadBytes(folder / "results.xls"));
    EXPECT_EQ(text.rfind(R"(<?xml version="1.0" encoding="UTF-8")", 0), 0u) << text.substr(0, 80);
    EXPECT_EQ(Count(text, R"(<?mso-application progid="Excel.Sheet"?>)"), 1u);
    const std::string start = text.substr(text.find("<Workbook "), text.find('>', text.find("<Workbook ")));
    for (const char* ns :
         {R"(xmlns="urn:schemas-microsoft-com:office:spreadsheet")",
          R"(xmlns:o="urn:schemas-microsoft-com:office:office")", R"(xmlns:x="urn:schemas-microsoft-com:office:excel")",
          R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet")",
          R"(xmlns:html="http://www.w3.org/TR/REC-html40")"})
        EXPECT_NE(start.find(ns), std::string::npos) << ns;
    // The template's separators stay as they were, and the worksheet comes last.
    EXPECT_TRUE(EndsWith(text, TemplateBody() + kSeparator + WorksheetXml(L"Иван", {1}) + "</Workbook>")) << text;
}

TEST(ResultsBook, SecondPassOfTheSamePupilGoesIntoTheSameTable) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    SavePasses(path, L"Иван", {1});

    ResultsBook book(path, L"Иван");
    EXPECT_EQ(book.Rows(), PassPairs({1}));
    WritePass(book, 2);
    ASSERT_TRUE(book.Save());

    const std::string text = WithoutPassMarks(ReadBytes(folder / "results.xls"));
    EXPECT_EQ(Count(text, "<Worksheet"), 1u);
    EXPECT_EQ(Count(text, "<Table"), 1u);
    EXPECT_EQ(Count(text, "<Column"), 2u);
    EXPECT_TRUE(EndsWith(text, WorksheetXml(L"Иван", {1, 2}) + "</Workbook>"));
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), PassPairs({1, 2}));
}

TEST(ResultsBook, ASecondPupilGetsTheNextWorksheetAndOnlyTheirOwnRows) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    SavePasses(path, L"Иван", {1});
    {
        ResultsBook book(path, L"Пётр");
        EXPECT_TRUE(book.Rows().empty());
        WritePass(book, 5);
        EXPECT_EQ(book.Rows(), PassPairs({5}));
        ASSERT_TRUE(book.Save());
    }
    SavePasses(path, L"Иван", {2});

    const std::string text = WithoutPassMarks(ReadBytes(folder / "results.xls"));
    EXPECT_TRUE(
        EndsWith(text, kSeparator + WorksheetXml(L"Иван", {1, 2}) + WorksheetXml(L"Пётр", {5}) + "</Workbook>"));
    EXPECT_EQ(ResultsBook(path, L"Пётр").Rows(), PassPairs({5}));
}

TEST(ResultsBook, APupilTypedInAnotherCaseContinuesTheirWorksheet) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    SavePasses(path, L"Иван Ёлкин", {1});
    SavePasses(path, L"Ivan", {1});
    {
        ResultsBook book(path, L"  ИВАН ёлкин ");
        EXPECT_EQ(book.SheetName(), L"Иван Ёлкин");  // the worksheet keeps its first spelling
        EXPECT_EQ(book.Rows(), PassPairs({1}));
        WritePass(book, 2);
        ASSERT_TRUE(book.Save());
    }
    SavePasses(path, L"IVAN", {2});
    SavePasses(path, L"Иван Елкин", {3});  // Е is not Ё: another pupil

    const std::string text = WithoutPassMarks(ReadBytes(folder / "results.xls"));
    EXPECT_EQ(Count(text, "<Worksheet"), 3u);
    EXPECT_TRUE(EndsWith(text, WorksheetXml(L"Иван Ёлкин", {1, 2}) + WorksheetXml(L"Ivan", {1, 2}) +
                                   WorksheetXml(L"Иван Елкин", {3}) + "</Workbook>"));
}

TEST(ResultsBook, TextsKeepUnicodeButNotQuotationMarksOrControls) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    {
        ResultsBook book(path, L"Маша \"Ромашка\" К.");
        EXPECT_EQ(book.SheetName(), L"Маша 'Ромашка' К.");
        book.AddRow(L"Сказал \"да\"\tи\x07 ушёл", L"«ёлка» & <ель> 🎄 \"x\"\r\n", L"String");
        book.AddRow(std::wstring(L"bad ") + wchar_t(0xD800) + wchar_t(0x110000) + L"\uFFFF\x1B!", L"1", L"Number");
        ASSERT_TRUE(book.Save());
    }
    const Rows expected = {{L"Сказал 'да' и ушёл", L"«ёлка» & <ель> 🎄 'x'  "}, {L"bad !", L"1"}};
    ResultsBook reread(path, L"маша 'ромашка' к.");
    EXPECT_EQ(reread.Rows(), expected);
    const std::string text = ReadBytes(folder / "results.xls");
    EXPECT_EQ(text.find('"', text.find("<Worksheet ss:Name=\"") + 20), text.find("\"><Table>"));
    EXPECT_NE(text.find("&amp; &lt;ель&gt;"), std::string::npos);
}

TEST(ResultsBook, NumberCellsHoldOnlyNumbers) {
    ScratchFolder folder;
    ResultsBook book(folder.Wide("results.xls"), L"Иван");
    ::testing::internal::CaptureStderr();
    book.AddRow(L"a", L" 12 ", L"Number");
    book.AddRow(L"b", L"три", L"Number");
    book.AddRow(L"c", L"4", L"Date");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(said, "\n"), 2u) << said;
    ASSERT_TRUE(book.Save());
    const std::string text = ReadBytes(folder / "results.xls");
    EXPECT_NE(text.find(R"(<Data ss:Type="Number">12</Data>)"), std::string::npos);
    EXPECT_NE(text.find(R"(<Data ss:Type="String">три</Data>)"), std::string::npos);
    EXPECT_NE(text.find(R"(<Data ss:Type="String">4</Data>)"), std::string::npos);
}

// ============================================================================================
// Saving
// ============================================================================================

TEST(ResultsBook, SavingElsewhereKeepsTheOwnPath) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    ResultsBook book(path, L"Иван");
    WritePass(book, 1);
    ASSERT_TRUE(book.Save(folder.Wide("copy.xls")));
    EXPECT_EQ(book.GetFileName(), path);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"copy.xls"});
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(ReadBytes(folder / "results.xls"), ReadBytes(folder / "copy.xls"));
}

// The book's own file typed another way in the save-as box is its own file: an ordinary save,
// under the lock, that never adds a pass twice. Checking whether a typed name holds a
// workbook reads only the file's beginning, however large the file.
TEST(ResultsBook, AnotherSpellingOfTheOwnFileIsAnOrdinarySave) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "class");
    const std::wstring path = folder.Wide("class/results.xls");
    ResultsBook book(path, L"Иван");
    WritePass(book, 1);
    ASSERT_TRUE(book.Save());
    std::filesystem::create_symlink(folder / "class/results.xls", folder / "link.xls");
    const std::string spellings[] = {"class/./results.xls", "class/../class/results.xls", "link.xls", "hard.xls"};
    int pass = 1;
    for (const std::string& spelling : spellings) {
        SCOPED_TRACE(spelling);
        // A hard link names the file only until a save replaces it.
        if (spelling == "hard.xls") std::filesystem::create_hard_link(folder / "class/results.xls", folder / spelling);
        EXPECT_TRUE(book.IsOwnFile(folder.Wide(spelling)));
        WritePass(book, ++pass);
        ASSERT_TRUE(book.Save(folder.Wide(spelling)));
        ASSERT_TRUE(book.Save());
        std::vector<int> passes(static_cast<std::size_t>(pass));
        for (int k = 0; k < pass; ++k) passes[static_cast<std::size_t>(k)] = k + 1;
        Rows expected;
        for (int k : passes) {
            Rows one = PassPairs({k});
            expected.insert(expected.end(), one.begin(), one.end());
        }
        EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), expected);
    }
    EXPECT_FALSE(book.IsOwnFile(folder.Wide("class/other.xls")));

    for (const auto& [head, isWorkbook] :
         {std::pair<std::string, bool>{ReadBytes(folder / "class/results.xls"), true}, {"%PDF-1.7\n", false}}) {
        {
            std::ofstream big(folder / "big.xls", std::ios::binary | std::ios::trunc);
            big.write(head.data(), static_cast<std::streamsize>(std::min<std::size_t>(head.size(), 4096)));
        }
        std::filesystem::resize_file(folder / "big.xls", std::uintmax_t(8) << 30);  // sparse: 8 GiB
        EXPECT_EQ(MayWriteWorkbookAt(folder.Wide("big.xls")), isWorkbook);
    }
}

// What a merge splices into the file is exactly what the XML library writes for the same
// workbook: a copy of the file with a DOCTYPE, which only the library reads, ends byte for byte
// like the file itself after the same passes, names that need escaping included.
TEST(ResultsBook, AMergeWritesWhatTheXmlLibraryWould) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("a.xls");
    SavePasses(path, L"Иван", {1, 2});
    SavePasses(path, L"Маша & <Ко> \"Ромашка\"", {1});
    SavePasses(path, L"Пётр", {3});
    std::string text = ReadBytes(folder / "a.xls");
    text.insert(text.find("<Workbook"), "<!DOCTYPE Workbook>");
    WriteBytes(folder / "b.xls", text);

    const std::vector<workbook::Pass> passes = {
        {"pass-1", L"пётр", {{L"Время", L"15:44", L"String"}, {L"a < b & c > d", L"", L"String"}, {}}},
        {"pass-2", L"Новая > ученица & Ко", {{L"Эпизод 1: ошибок", L"2", L"Number"}, {}}},
        {"pass-3", L"маша & <ко> 'ромашка'", {{L"Время", L"09:00", L"String"}, {}}}};
    ASSERT_TRUE(MergePassesInto(folder / "a.xls", passes, 1000).ok());
    ASSERT_TRUE(MergePassesInto(folder / "b.xls", passes, 1000).ok());
    EXPECT_EQ(ReadBytes(folder / "a.xls"), ReadBytes(folder / "b.xls"));
    // And once more: nothing is added twice.
    const std::string once = ReadBytes(folder / "a.xls");
    ASSERT_TRUE(MergePassesInto(folder / "a.xls", passes, 1000).ok());
    EXPECT_EQ(ReadBytes(folder / "a.xls"), once);
    EXPECT_EQ(ResultsBook(path, L"Пётр").Rows(), (Rows{PassPairs({3})[0],
                                                       PassPairs({3})[1],
                                                       PassPairs({3})[2],
                                                       PassPairs({3})[3],
                                                       PassPairs({3})[4],
                                                       PassPairs({3})[5],
                                                       PassPairs({3})[6],
                                                       PassPairs({3})[7],
                                                       {L"Время", L"15:44"},
                                                       {L"a < b & c > d", L""},
                                                       {}}));
}

TEST(ResultsBook, TwoSavesInARowBothComplete) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    ResultsBook book(path, L"Иван");
    WritePass(book, 1);
    ASSERT_TRUE(book.Save());
    WritePass(book, 2);
    ASSERT_TRUE(book.Save());
    // No temporary files left; the lock file beside the workbook is hidden.
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{".results.xls.lock", "results.xls"}));
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), PassPairs({1, 2}));
}

// A book saves without reading the file again only while the file is the one it read or
// wrote. A save by another program after it opened, or a program that rewrote the file in its
// place at the same length, is never written over.
TEST(ResultsBook, SavesAfterOpeningMergeWhatOthersSavedMeanwhile) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    SavePasses(path, L"Иван", {1});

    ResultsBook ivan(path, L"Иван");
    ResultsBook petr(path, L"Пётр");
    WritePass(petr, 1);
    ASSERT_TRUE(petr.Save());
    WritePass(ivan, 2);
    ASSERT_TRUE(ivan.Save());
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), PassPairs({1, 2}));
    EXPECT_EQ(ResultsBook(path, L"Пётр").Rows(), PassPairs({1}));

    // In place, same inode, same length: the pass number 1 of Пётр's sheet becomes 7.
    ResultsBook anna(path, L"Анна");
    std::string text = ReadBytes(folder / "results.xls");
    const std::string sheet = "ss:Name=\"Пётр\"";
    const std::size_t at = text.find(">1<", text.find(sheet));
    ASSERT_NE(at, std::string::npos);
    text[at + 1] = '7';
    {
        std::ofstream inPlace(folder / "results.xls", std::ios::binary | std::ios::in | std::ios::out);
        inPlace.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // File times move in steps of the kernel's tick, and the edit may fall in the same tick as
    // the last save: the editor's save is dated a second later, as a person's would be.
    std::filesystem::last_write_time(
        folder / "results.xls", std::filesystem::last_write_time(folder / "results.xls") + std::chrono::seconds(1));
    WritePass(anna, 1);
    ASSERT_TRUE(anna.Save());
    EXPECT_EQ(ResultsBook(path, L"Пётр").Rows(), PassPairs({7})) << "the rewritten file was saved over";
    EXPECT_EQ(ResultsBook(path, L"Анна").Rows(), PassPairs({1}));
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), PassPairs({1, 2}));
}

TEST(ResultsBook, AMissingFolderIsMadeOnSave) {
    ScratchFolder folder;
    ResultsBook book(folder.Wide("results.xls"), L"Иван");
    WritePass(book, 1);
    ASSERT_TRUE(book.Save(folder.Wide("gone/deeper/results.xls")));
    EXPECT_EQ(ResultsBook(folder.Wide("gone/deeper/results.xls"), L"Иван").Rows(), PassPairs({1}));
}

TEST(ResultsBook, AFailedSaveSaysWhichFileAndWhyAndLeavesTheOldFile) {
    ScratchFolder folder(true);
    const std::wstring path = folder.Wide("results.xls");
    ResultsBook book(path, L"Иван");
    WritePass(book, 1);

    // A "folder" that is a file cannot be made into one.
    WriteBytes(folder / "plain", "not a folder");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(book.Save(folder.Wide("plain/results.xls")));
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Count(said, "\n"), 1u) << said;
    EXPECT_NE(said.find(folder / "plain/results.xls"), std::string::npos) << said;
    EXPECT_NE(said.find("Not a directory"), std::string::npos) << said;
    EXPECT_EQ(ReadBytes(folder / "plain"), "not a folder");

    // A read-only folder with an earlier workbook in it, and a read-only workbook in a writable
    // folder: both stay as they were.
    mkdir((folder / "locked").c_str(), 0777);
    mkdir((folder / "open").c_str(), 0777);
    SavePasses(folder.Wide("locked/results.xls"), L"Иван", {7});
    SavePasses(folder.Wide("open/results.xls"), L"Иван", {7});
    const std::string before = ReadBytes(folder / "locked/results.xls");
    const std::string openBefore = ReadBytes(folder / "open/results.xls");
    chmod((folder / "locked/results.xls").c_str(), 0666);
    chmod((folder / "locked").c_str(), 0555);
    chmod((folder / "open/results.xls").c_str(), 0444);
    std::string failure = AsUnprivilegedUser([&]() -> std::string {
        for (const char* name : {"locked/results.xls", "open/results.xls"}) {
            ResultsBook locked(folder.Wide(name), L"Иван");
            WritePass(locked, 8);
            if (locked.Save()) return std::string("saved over ") + name;
        }
        return "";
    });
    EXPECT_EQ(failure, "");
    EXPECT_EQ(ReadBytes(folder / "locked/results.xls"), before);
    EXPECT_EQ(ReadBytes(folder / "open/results.xls"), openBefore);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"locked", "open", "plain"}));
}

TEST(ResultsBook, PermissionsOfAnExistingFileAreKeptAndANewOneFollowsTheUmask) {
    ScratchFolder folder;
    mode_t previous = umask(002);
    SavePasses(folder.Wide("new.xls"), L"Иван", {1});
    umask(previous);
    EXPECT_EQ(ModeOf(folder / "new.xls"), 0664u);

    chmod((folder / "new.xls").c_str(), 0640);
    SavePasses(folder.Wide("new.xls"), L"Иван", {2});
    EXPECT_EQ(ModeOf(folder / "new.xls"), 0640u);
}

// ============================================================================================
// Files it must survive
// ============================================================================================

TEST(ResultsBook, AFileThatIsNotAWorkbookIsMovedAsideAndNeverOverwritten) {
    ScratchFolder folder;
    SavePasses(folder.Wide("good.xls"), L"Иван", {1});
    const std::string good = ReadBytes(folder / "good.xls");
    const std::pair<const char*, std::string> kinds[] = {
        {"not XML", "Дата;Время\n09.12;15:44\n"},
        {"truncated", good.substr(0, good.size() / 2)},
        {"empty", ""},
        {"another root", R"(<?xml version="1.0"?><html><body/></html>)"},
        {"binary", std::string("\x00\xFF\xFE<W\x01", 6)},
        // A version the parser reads but the document it builds refuses.
        {"broken version", R"(<?xml version="1.0>"?><Workbook/>)"},
        // Well-formed XML 1.1 with a control character no workbook writer can write back.
        {"XML 1.1",
         "<?xml version=\"1.1\"?><Workbook><Worksheet ss:Name=\"Иван\"><Table><Row><Cell>"
         "<Data ss:Type=\"String\">&#x1;</Data></Cell></Row></Table></Worksheet></Workbook>"},
    };
    for (const auto& [kind, bytes] : kinds) {
        SCOPED_TRACE(kind);
        ScratchFolder here;
        const std::wstring path = here.Wide("results.xls");
        WriteBytes(here / "results.xls", bytes);

        // Nothing happens to it until a pass is saved.
        ResultsBook book(path, L"Иван");
        EXPECT_EQ(here.Names(), std::vector<std::string>{"results.xls"});
        WritePass(book, 2);
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(book.Save());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(Count(said, "\n"), 1u) << said;
        EXPECT_NE(said.find(here / "results.xls.damaged-"), std::string::npos) << said;

        const std::vector<std::string> names = here.Names();
        ASSERT_EQ(names.size(), 3u);
        EXPECT_TRUE(IsAsideName(names[2])) << names[2];
        EXPECT_EQ(ReadBytes(here / names[2]), bytes);
        EXPECT_NE(ReadBytes(here / "results.xls").find(TemplateBody()), std::string::npos);
        EXPECT_EQ(book.Rows(), PassPairs({2}));
    }
}

TEST(ResultsBook, TwoDamagedFilesInOneSecondAreBothKept) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    for (const char* bytes : {"first", "second"}) {
        WriteBytes(folder / "results.xls", bytes);
        ::testing::internal::CaptureStderr();
        ResultsBook book(path, L"Иван");
        WritePass(book, 1);
        EXPECT_TRUE(book.Save());
        ::testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> names = folder.Names();
    ASSERT_EQ(names.size(), 4u);  // the lock, the workbook and the two set aside
    std::string contents = ReadBytes(folder / names[2]) + ReadBytes(folder / names[3]);
    EXPECT_TRUE(contents == "firstsecond" || contents == "secondfirst") << contents;
}

TEST(ResultsBook, AnUnreadableFileIsNeitherMovedNorSavedOver) {
    ScratchFolder folder(true);
    // A folder where the workbook should be.
    mkdir((folder / "folder.xls").c_str(), 0777);
    {
        ::testing::internal::CaptureStderr();
        ResultsBook book(folder.Wide("folder.xls"), L"Иван");
        WritePass(book, 1);
        EXPECT_FALSE(book.Save());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(Count(said, "\n"), 1u) << said;
        EXPECT_NE(said.find("left as it is"), std::string::npos) << said;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.xls"));

    // A file this user may write to but not read, in a folder they may write to: nothing but
    // the book's own caution keeps a save from replacing it.
    SavePasses(folder.Wide("results.xls"), L"Пётр", {1});
    const std::string before = ReadBytes(folder / "results.xls");
    chmod((folder / "results.xls").c_str(), 0222);
    std::string failure = AsUnprivilegedUser([&]() -> std::string {
        ResultsBook book(folder.Wide("results.xls"), L"Иван");
        if (!book.Rows().empty()) return "rows came from an unreadable file";
        WritePass(book, 1);
        if (book.Save()) return "saved over an unreadable file";
        if (book.Save(folder.Wide("./results.xls"))) return "saved over an unreadable file by another name";
        if (!book.Save(folder.Wide("elsewhere.xls"))) return "could not save to another file";
        return "";
    });
    EXPECT_EQ(failure, "");
    chmod((folder / "results.xls").c_str(), 0644);
    EXPECT_EQ(ReadBytes(folder / "results.xls"), before);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{".folder.xls.lock", ".results.xls.lock", "elsewhere.xls",
                                                        "folder.xls", "results.xls"}));
}

TEST(ResultsBook, ExternalEntitiesAndDtdsReadNothingOutsideTheFile) {
    ScratchFolder folder;
    WriteBytes(folder / "secret.txt", "SECRET-FROM-FILE");
    WriteBytes(folder / "outside.dtd", R"(<!ENTITY fromDtd "SECRET-FROM-DTD">)");
    WriteBytes(folder / "param.dtd", R"(<!ENTITY fromParameter "SECRET-FROM-PARAMETER">)");
    const std::wstring path = folder.Wide("results.xls");
    SavePasses(path, L"Иван", {1});

    std::string text = ReadBytes(folder / "results.xls");
    const std::string url = "file://" + folder.Path();
    const std::string doctype = "<!DOCTYPE Workbook SYSTEM \"" + url + "/outside.dtd\" [<!ENTITY secret SYSTEM \"" +
                                url + "/secret.txt\"><!ENTITY % parameter SYSTEM \"" + url +
                                "/param.dtd\">%parameter;]>";
    text.insert(text.find("<?mso-application"), doctype);
    text.replace(text.find(">Дата<"), 10, ">&secret;&fromDtd;&fromParameter;<");
    WriteBytes(folder / "results.xls", text);

    {
        ResultsBook book(path, L"Иван");
        Rows rows = book.Rows();
        ASSERT_EQ(rows.size(), 8u);  // the workbook itself is read
        EXPECT_EQ(rows[0].first, L"");
        WritePass(book, 2);
        ASSERT_TRUE(book.Save());
    }
    const std::string saved = ReadBytes(folder / "results.xls");
    EXPECT_EQ(saved.find("SECRET"), std::string::npos);
    EXPECT_EQ(saved.find("DOCTYPE"), std::string::npos);
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows().size(), 16u);
}

TEST(ResultsBook, EntityExpansionStaysBounded) {
    // The "billion laughs" (a thousand million copies from nested entities) and a quadratic
    // blow-up (one 100 000-character entity used 20 000 times): either would take gigabytes.
    std::string laughs = R"(<?xml version="1.0"?><!DOCTYPE Workbook [<!ENTITY lol0 "lol">)";
    for (int i = 1; i <= 9; ++i) {
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) laughs += "&lol" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += R"(]><Workbook><Worksheet ss:Name="Иван"><Table><Row><Cell><Data ss:Type="String">&lol9;)"
              R"(</Data></Cell></Row></Table></Worksheet></Workbook>)";
    std::string quadratic = R"(<?xml version="1.0"?><!DOCTYPE Workbook [<!ENTITY big ")" + std::string(100000, 'x') +
                            R"(">]><Workbook><Worksheet ss:Name="Иван"><Table><Row><Cell><Data ss:Type="String">)";
    for (int i = 0; i < 20000; ++i) quadratic += "&big;";
    quadratic += "</Data></Cell></Row></Table></Worksheet></Workbook>";

    for (const std::string& bytes : {laughs, quadratic}) {
        ScratchFolder folder;
        WriteBytes(folder / "results.xls", bytes);
        auto start = std::chrono::steady_clock::now();
        ResultsBook book(folder.Wide("results.xls"), L"Иван");
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(book.Rows().empty());
        WritePass(book, 1);
        EXPECT_TRUE(book.Save());
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_NE(said.find("entity expansions"), std::string::npos) << said;
        ASSERT_EQ(folder.Names().size(), 3u);  // moved aside, whole
        EXPECT_EQ(ReadBytes(folder / folder.Names()[2]), bytes);
    }
}

TEST(ResultsBook, WorkbooksFromElsewhereAreContinued) {
    // Written by another program: a worksheet without a table, rows with one or three cells,
    // rich text in a cell, a sheet name that our rules would have mended.
    ScratchFolder folder;
    WriteBytes(
        folder / "results.xls",
        R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet")"
        R"( xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">)"
        R"(<Worksheet ss:Name="Лист: 1"><Table><Row><Cell><Data ss:Type="String">один</Data></Cell></Row>)"
        R"(<Row><Cell><Data ss:Type="String">a<B>b</B></Data></Cell><Cell><Data ss:Type="Number">2</Data></Cell>)"
        R"(<Cell><Data ss:Type="Number">3</Data></Cell></Row></Table></Worksheet>)"
        R"(<Worksheet ss:Name="Иван"><WorksheetOptions/></Worksheet></Workbook>)");
    EXPECT_EQ(ResultsBook(folder.Wide("results.xls"), L"лист/ 1").Rows(), (Rows{{L"один", L""}, {L"ab", L"2"}}));
    {
        ResultsBook book(folder.Wide("results.xls"), L"Иван");
        WritePass(book, 1);
        ASSERT_TRUE(book.Save());
    }
    const std::string text = WithoutPassMarks(ReadBytes(folder / "results.xls"));
    EXPECT_NE(text.find(WorksheetXml(L"Иван", {1}).substr(0, 200)), std::string::npos);
    EXPECT_NE(text.find("</Table><WorksheetOptions/></Worksheet>"), std::string::npos) << text;
    EXPECT_EQ(ResultsBook(folder.Wide("results.xls"), L"Иван").Rows(), PassPairs({1}));
}

// ============================================================================================
// The XML library and the results folder
// ============================================================================================

TEST(ResultsBook, SeveralBooksMayLiveAtOnce) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    auto first = std::make_unique<ResultsBook>(path, L"Иван");
    WritePass(*first, 1);
    ASSERT_TRUE(first->Save());
    // The next pupil's book opens before the first one goes, as the exercise replaces them.
    auto second = std::make_unique<ResultsBook>(path, L"Пётр");
    first.reset();
    WritePass(*second, 1);
    ASSERT_TRUE(second->Save());
    second.reset();
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(), PassPairs({1}));
    EXPECT_EQ(ResultsBook(path, L"Пётр").Rows(), PassPairs({1}));
}

class ResultsFolderTest : public ::testing::Test {
   protected:
    void SetUp() override {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        saved_ = xdg ? std::optional<std::string>(xdg) : std::nullopt;
    }
    void TearDown() override {
        if (saved_)
            setenv("XDG_DATA_HOME", saved_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        unsetenv("VORLEN_RESULTS_FOLDER");
    }
    std::optional<std::string> saved_;
    ScratchFolder folder_;
};

TEST_F(ResultsFolderTest, MadeUnderTheUsersDataFolderWhenMissing) {
    setenv("XDG_DATA_HOME", (folder_ / "data/deeper").c_str(), 1);
    if (platform::Folders::SharedData() == L"/var/lib")
        GTEST_SKIP() << "this machine has a writable /var/lib/ZEDK, which comes before the user's folder";
    EXPECT_EQ(ResultsFolder(), folder_.Wide("data/deeper/ZEDK/"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "data/deeper/ZEDK"));
    EXPECT_EQ(ResultsFolder(), folder_.Wide("data/deeper/ZEDK/"));  // and found again

    WriteBytes(folder_ / "file", "");
    setenv("XDG_DATA_HOME", (folder_ / "file/data").c_str(), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ResultsFolder(), L"");
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(folder_ / "file"), std::string::npos);
}

TEST_F(ResultsFolderTest, AnAdministratorsFolderComesFirstWhenItIsAnAbsolutePath) {
    setenv("VORLEN_RESULTS_FOLDER", (folder_ / "класс 3Б/").c_str(), 1);
    EXPECT_EQ(ResultsFolder(), folder_.Wide("класс 3Б/"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "класс 3Б"));

    // A relative path is said and ignored: the usual folder again.
    setenv("VORLEN_RESULTS_FOLDER", "results", 1);
    setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    ::testing::internal::CaptureStderr();
    const std::wstring usual = ResultsFolder();
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("not an absolute path"), std::string::npos);
    EXPECT_TRUE(usual == folder_.Wide("data/ZEDK/") || usual == L"/var/lib/ZEDK/") << platform::text::ToUtf8(usual);
}

// The command line's folder wins over the administrator's, and stays the folder even when it
// cannot be made (a share not mounted): the rows wait for it instead of going elsewhere.
TEST_F(ResultsFolderTest, TheCommandLinesFolderComesFirstAndStaysTheFolderWhenItCannotBeMade) {
    setenv("VORLEN_RESULTS_FOLDER", (folder_ / "admin").c_str(), 1);
    EXPECT_EQ(ResultsFolder(folder_.Wide("teacher//")), folder_.Wide("teacher/"));
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "teacher"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / "admin"));

    WriteBytes(folder_ / "file", "");
    for (const std::string chosen : {"file/results", ""}) {
        if (chosen.empty()) setenv("VORLEN_RESULTS_FOLDER", (folder_ / "file/results").c_str(), 1);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(ResultsFolder(chosen.empty() ? L"" : folder_.Wide(chosen)), folder_.Wide("file/results/"));
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(folder_ / "file"), std::string::npos);
    }
}

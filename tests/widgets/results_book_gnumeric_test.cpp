// Workbooks with several pupils and passes, read back by a real spreadsheet program: Gnumeric's
// ssconvert turns each worksheet into a CSV file named after the sheet, and every sheet name,
// caption and value must arrive, numbers as numbers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/scratch_folder.h"
#include "widgets/results_book.h"

namespace {

struct Field {
    std::string text;
    bool quoted = false;
};
using CsvRow = std::vector<Field>;

// RFC 4180 as ssconvert writes it: commas, double quotes around fields that need them, doubled
// quotes inside.
std::vector<CsvRow> ParseCsv(const std::string& csv) {
    std::vector<CsvRow> rows;
    CsvRow row;
    Field field;
    bool inQuotes = false, any = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        char c = csv[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
                field.text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.text += c;
            }
        } else if (c == '"') {
            inQuotes = field.quoted = any = true;
        } else if (c == ',') {
            row.push_back(field);
            field = Field();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < csv.size() && csv[i + 1] == '\n') ++i;
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field = Field();
            any = false;
        } else {
            field.text += c;
            any = true;
        }
    }
    if (any || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

struct Cell {
    std::wstring value, type, shownAs;  // shownAs: how the spreadsheet shows the value
};
struct PassRow {
    std::wstring caption, shownCaption;
    Cell cell;
};

// One pass; the values vary with `pass` so that passes can be told apart.
std::vector<PassRow> Pass(int pass) {
    const std::wstring n = std::to_wstring(pass);
    return {
        {L"Дата", L"Дата", {L"09.12.2026", L"String", L"09.12.2026"}},
        {L"Ошибок в эпизоде «Хлеб»", L"Ошибок в эпизоде «Хлеб»", {L"00" + n, L"Number", n}},  // a number: no zeros
        {L"Код, \"как есть\"", L"Код, 'как есть'", {L"00" + n, L"String", L"00" + n}},        // a text: kept
        {L"Время выполнения, с", L"Время выполнения, с", {n + L"2.50", L"Number", n + L"2.5"}},
        {L"Сумма & <итог>", L"Сумма & <итог>", {n + L"e3", L"Number", n + L"000"}},
        {L"Разница", L"Разница", {L"-" + n, L"Number", L"-" + n}},
        {L"Оценка", L"Оценка", {L"отлично; без ошибок", L"String", L"отлично; без ошибок"}},
    };
}

std::string Utf8(const std::wstring& s) { return platform::text::ToUtf8(s); }

}  // namespace

TEST(ResultsBookInGnumeric, EverySheetCaptionAndValueArrivesAndNumbersAsNumbers) {
    const std::string ssconvert = FindProgram("ssconvert");
    if (ssconvert.empty()) GTEST_SKIP() << "ssconvert (Debian package gnumeric) is not installed";

    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    // Typed names in the order the pupils came, with the passes each wrote; later spellings of
    // a name continue the first one's sheet.
    const std::vector<std::pair<std::wstring, int>> sessions = {
        {L"Иван Петров", 1},
        {L"Маша \"Ромашка\" К.", 1},
        {L"иван петров", 2},
        {L"a:b/c?[d]", 1},
        {L"", 1},
        {L"ЁЛКИН", 1},
        {L"Ёлкин", 2},
        {L"ИВАН ПЕТРОВ", 3},
        {std::wstring(40, L'Щ'), 1},
        {L"Ivan", 4},
    };
    for (const auto& [typed, pass] : sessions) {
        ResultsBook book(path, typed);
        for (const PassRow& row : Pass(pass)) book.AddRow(row.caption, row.cell.value, row.cell.type);
        book.Finish();
        ASSERT_TRUE(book.Save());
    }
    const std::vector<std::pair<std::wstring, std::vector<int>>> expected = {
        {L"Иван Петров", {1, 2, 3}}, {L"Маша 'Ромашка' К.", {1}},   {L"a_b_c__d_", {1}}, {L"Ученик", {1}},
        {L"ЁЛКИН", {1, 2}},          {std::wstring(31, L'Щ'), {1}}, {L"Ivan", {4}},
    };

    mkdir((folder / "home").c_str(), 0700);
    mkdir((folder / "csv").c_str(), 0700);
    const std::string command = "cd '" + folder.Path() + "' && HOME='" + folder.Path() + "/home' XDG_CONFIG_HOME='" +
                                folder.Path() + "/home' LC_ALL=C.UTF-8 '" + ssconvert +
                                "' --export-type=Gnumeric_stf:stf_csv -S results.xls 'csv/%n-%s.csv' > log.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadBytes(folder / "log.txt");

    std::map<int, std::pair<std::string, std::string>> sheets;  // number -> (name, CSV)
    for (const auto& entry : std::filesystem::directory_iterator(folder / "csv")) {
        std::string file = entry.path().filename();
        std::size_t dash = file.find('-');
        ASSERT_NE(dash, std::string::npos) << file;
        ASSERT_GE(file.size(), dash + 5) << file;
        sheets[std::stoi(file.substr(0, dash))] = {file.substr(dash + 1, file.size() - dash - 5),
                                                   ReadBytes(entry.path())};
    }
    ASSERT_EQ(sheets.size(), expected.size()) << ReadBytes(folder / "log.txt");

    for (std::size_t s = 0; s < expected.size(); ++s) {
        const auto& [name, passes] = expected[s];
        SCOPED_TRACE(Utf8(name));
        EXPECT_EQ(sheets[static_cast<int>(s)].first, Utf8(name));
        const std::vector<CsvRow> rows = ParseCsv(sheets[static_cast<int>(s)].second);
        // Each pass's rows, then a blank row; the last blank row ends the sheet and is not written.
        std::size_t r = 0;
        for (std::size_t p = 0; p < passes.size(); ++p) {
            for (const PassRow& want : Pass(passes[p])) {
                ASSERT_LT(r, rows.size());
                const CsvRow& got = rows[r++];
                ASSERT_EQ(got.size(), 2u);
                EXPECT_EQ(got[0].text, Utf8(want.shownCaption));
                EXPECT_EQ(got[1].text, Utf8(want.cell.shownAs));
                if (want.cell.type == L"Number") {
                    EXPECT_FALSE(got[1].quoted) << got[1].text;
                    EXPECT_DOUBLE_EQ(std::stod(got[1].text), std::stod(Utf8(want.cell.value)));
                }
            }
            if (p + 1 < passes.size()) {
                ASSERT_LT(r, rows.size());
                EXPECT_EQ(rows[r].size(), 2u);
                EXPECT_EQ(rows[r][0].text + rows[r][1].text, "");
                ++r;
            }
        }
        EXPECT_EQ(r, rows.size());
    }
}

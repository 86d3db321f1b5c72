// Workbooks with several pupils and passes, read back by a real spreadsheet program: Gnumeric's
// ssconvert turns each worksheet into a CSV file named after the sheet, and every sheet name,
// caption and value must arrive, numbers as numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/spreadsheet.h"
#include "widgets/results_book.h"

namespace {

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

    std::string error;
    const std::vector<spreadsheet::Sheet> sheets = spreadsheet::ReadWithSsconvert(platform::text::ToUtf8(path), &error);
    if (spreadsheet::FindProgram("ssconvert").empty()) GTEST_SKIP() << error;
    ASSERT_EQ(sheets.size(), expected.size()) << error;

    for (std::size_t s = 0; s < expected.size(); ++s) {
        const auto& [name, passes] = expected[s];
        SCOPED_TRACE(Utf8(name));
        EXPECT_EQ(sheets[s].name, Utf8(name));
        const std::vector<spreadsheet::CsvRow>& rows = sheets[s].rows;
        // Each pass's rows, then a blank row; the last blank row ends the sheet and is not written.
        std::size_t r = 0;
        for (std::size_t p = 0; p < passes.size(); ++p) {
            for (const PassRow& want : Pass(passes[p])) {
                ASSERT_LT(r, rows.size());
                const spreadsheet::CsvRow& got = rows[r++];
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

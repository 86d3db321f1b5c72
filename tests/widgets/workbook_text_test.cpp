// What may go into a sheet name or a cell, and when two names belong to the same pupil.
#include "widgets/workbook_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "widgets/results_book.h"

namespace {

std::string Utf8(const std::wstring& s) { return platform::text::ToUtf8(s); }

std::wstring Repeat(const std::wstring& s, int times) {
    std::wstring out;
    for (int i = 0; i < times; ++i) out += s;
    return out;
}

}  // namespace

TEST(SheetNames, CharactersThatSpreadsheetProgramsRejectAreMended) {
    struct Case {
        std::wstring typed, expected;
    };
    const Case cases[] = {
        {L"Иван Петров", L"Иван Петров"},
        {L"a:b\\c/d?e*f[g]h", L"a_b_c_d_e_f_g_h"},
        {L"Иван\tПетров\r\nСидоров", L"Иван Петров  Сидоров"},
        {L"Ив\x01\x1F\x7F\x85\x9Fан", L"Ив ан"},  // NEL is a line break; the rest are dropped
        {L"Маша \"Ромашка\" К.", L"Маша 'Ромашка' К."},
        {L"Маша \"Ромашка\"", L"Маша 'Ромашка"},  // a quote at the end became an apostrophe there
        {L"\"Маша\"", L"Маша"},
        {L"  ' Иван ''  ", L"Иван"},
        {L"\u00A0Иван\u3000", L"Иван"},
        {L"О'Брайен", L"О'Брайен"},  // only the ends lose apostrophes
        {std::wstring(L"Ив") + wchar_t(0xD800) + wchar_t(0x110000) + L"\uFFFEан", L"Иван"},
        {L"Пётр 🔔", L"Пётр 🔔"},
        {L"", L"Ученик"},
        {L"   ", L"Ученик"},
        {L"''", L"Ученик"},
        {L"\x01\t\x02", L"Ученик"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8(CleanSheetName(c.typed)), Utf8(c.expected)) << Utf8(c.typed);
}

TEST(SheetNames, CutToThirtyOneCharactersWithoutBreakingOneApart) {
    const std::wstring thirty = Repeat(L"Ж", 30);
    // Characters, not bytes: 31 Cyrillic letters are 62 bytes of UTF-8 and stay whole.
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 40)), Repeat(L"Ж", 31));
    // A character outside the BMP counts twice, as Excel counts it, and is never halved.
    EXPECT_EQ(CleanSheetName(thirty + L"🔔"), thirty);
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 29) + L"🔔"), Repeat(L"Ж", 29) + L"🔔");
    // A letter and its combining mark (Й typed as И + breve) stay together or go together.
    EXPECT_EQ(CleanSheetName(thirty + L"И\u0306"), thirty);
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 29) + L"И\u0306"), Repeat(L"Ж", 29) + L"И\u0306");
    // Joined emoji and flags are one character each.
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 27) + L"👩\u200D👧"), Repeat(L"Ж", 27));
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 28) + L"🇷🇺"), Repeat(L"Ж", 28));
    // A cut that ends on a space or an apostrophe is trimmed again.
    EXPECT_EQ(CleanSheetName(thirty + L" Петров"), thirty);
    EXPECT_EQ(CleanSheetName(Repeat(L"Ж", 29) + L"' Петров"), Repeat(L"Ж", 29));
}

TEST(SheetNames, LetterCaseFoldsForLatinAndCyrillic) {
    EXPECT_EQ(workbook::FoldCase(L"ИВАН ЁЛКИН Ivan"), L"иван ёлкин ivan");
    EXPECT_EQ(workbook::FoldCase(L"ЇҐЄІЎ ÀÉÎÕÜ ŁŚŻĞ ΣΑΣ"), L"їґєіў àéîõü łśżğ σασ");
    EXPECT_EQ(workbook::FoldCase(L"иван 12 ×÷"), L"иван 12 ×÷");
    // Е and Ё are different letters, not different cases.
    EXPECT_NE(workbook::FoldCase(L"Ёлкин"), workbook::FoldCase(L"Елкин"));
}

TEST(CellTexts, NumbersAreDecimalWithoutSpaces) {
    for (const wchar_t* yes : {L"0", L"12", L"-3.5", L"+.5", L"5.", L"1e3", L"2.5E-4"})
        EXPECT_TRUE(workbook::IsNumber(yes)) << Utf8(yes);
    for (const wchar_t* no : {L"", L"-", L".", L"1e", L"3,5", L" 12", L"12 ", L"0x10", L"inf", L"1.2.3", L"١٢"})
        EXPECT_FALSE(workbook::IsNumber(no)) << Utf8(no);
}

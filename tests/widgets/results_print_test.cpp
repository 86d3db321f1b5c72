// The printout's layout, read back from the PDF a file surface writes: header lines in key
// order, the blank line, two columns, values pushed right by long captions, page breaks.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/printing.h"
#include "tests/support/pdf_text.h"
#include "tests/support/scratch_folder.h"
#include "widgets/results_book.h"

namespace {

constexpr double kPointsPerPixel = 72.0 / platform::PrintSurface::kDotsPerInch;

const std::map<std::wstring, std::wstring> kHeader = {
    {L"Номер ЦОР", L"00357"}, {L"Название", L"Игра «Ворлен»"}, {L"Ученик", L"Иван"}};

struct Layout {
    double margin = 0;  // points
    double step = 0;
    double half = 0;
};

Layout LayoutOf(platform::PrintSurface& s) {
    const platform::PrintTextMetrics m = s.TextMetrics();
    return {m.aveCharWidth * kPointsPerPixel, (m.height + m.externalLeading) * kPointsPerPixel,
            (s.PageWidth() / 2) * kPointsPerPixel};
}

struct ResultsPrint : ::testing::Test {
    ScratchFolder folder;
    std::string pdf = folder / "out.pdf";
    ResultsBook book{folder.Wide("results.xls"), L"Иван"};

    void OnePass() {
        book.AddRow(L"Время начала", L"09.12.2026 10:00:00", L"String");
        book.AddRow(L"Ошибки последовательности", L"1", L"Number");
        book.AddRow(L"Лишние карточки", L"0", L"Number");
        book.AddRow(L"Промахи при захвате", L"2", L"Number");
        book.AddRow(L"Промахи при опускании", L"0", L"Number");
        book.AddRow(L"Повторы инструкции", L"1", L"Number");
        book.AddRow(L"Время выполнения", L"95", L"Number");
        book.Finish();
    }
};

TEST_F(ResultsPrint, OnePassPrintsTheHeaderInKeyOrderThenTwoColumnsOnOnePage) {
    OnePass();
    auto surface = platform::PrintSurface::ToFile(pdf);
    const Layout at = LayoutOf(*surface);
    book.Print(surface.get(), kHeader);

    ASSERT_EQ(PdfPages(pdf), 1);
    const std::vector<PdfLine> lines = PdfLines(pdf);
    ASSERT_EQ(lines.size(), 10u);  // three header lines and seven rows; empty lines print nothing
    EXPECT_EQ(lines[0].Text(), "Название Игра «Ворлен»");
    EXPECT_EQ(lines[1].Text(), "Номер ЦОР 00357");
    EXPECT_EQ(lines[2].Text(), "Ученик Иван");
    EXPECT_EQ(lines[3].Text(), "Время начала 09.12.2026 10:00:00");
    EXPECT_EQ(lines[9].Text(), "Время выполнения 95");

    // One line step apart, with one empty line between the header and the rows.
    EXPECT_NEAR(lines[1].y - lines[0].y, at.step, 1.0);
    EXPECT_NEAR(lines[3].y - lines[2].y, 2 * at.step, 1.0);
    EXPECT_NEAR(lines[9].y - lines[3].y, 6 * at.step, 1.0);
    for (const PdfLine& line : lines) {
        SCOPED_TRACE(line.Text());
        EXPECT_NEAR(line.words.front().x, at.margin, 1.0);
        // The value starts the second column, one margin right of the page's middle.
        const PdfWord* value = nullptr;
        for (const PdfWord& w : line.words)
            if (!value && w.x > at.half) value = &w;
        ASSERT_NE(value, nullptr);
        EXPECT_NEAR(value->x, at.margin + at.half, 1.0);
    }
}

TEST_F(ResultsPrint, EveryEarlierPassOfThePupilIsPrintedToo) {
    OnePass();
    OnePass();
    auto surface = platform::PrintSurface::ToFile(pdf);
    book.Print(surface.get(), kHeader);
    const std::vector<PdfLine> lines = PdfLines(pdf);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[10].Text(), "Время начала 09.12.2026 10:00:00");
}

TEST_F(ResultsPrint, ACaptionWiderThanHalfAPagePushesItsValueRight) {
    const std::wstring caption(36, L'Ж');
    book.AddRow(caption, L"7", L"Number");
    book.AddRow(L"Коротко", L"8", L"Number");
    auto surface = platform::PrintSurface::ToFile(pdf);
    const Layout at = LayoutOf(*surface);
    book.Print(surface.get(), {{L"Ученик", L"Иван"}, {std::wstring(36, L'Щ'), L"значение"}});

    const std::vector<PdfLine> lines = PdfLines(pdf);
    ASSERT_EQ(lines.size(), 4u);
    for (int i : {1, 2}) {
        SCOPED_TRACE(lines[i].Text());
        ASSERT_EQ(lines[i].words.size(), 2u);
        const PdfWord& first = lines[i].words[0];
        ASSERT_GT(first.right, at.half + at.margin);
        EXPECT_NEAR(lines[i].words[1].x, first.right + at.margin, 1.5);
    }
    EXPECT_NEAR(lines[3].words[1].x, at.margin + at.half, 1.0);
}

TEST_F(ResultsPrint, RowsThatReachTheBottomContinueAtTheTopOfANewPage) {
    for (int i = 0; i < 30; ++i) book.AddRow(L"Строка " + std::to_wstring(i), std::to_wstring(i), L"Number");
    // A small page: a few lines each.
    auto surface = platform::PrintSurface::ToFile(pdf, 100.0, 50.0);
    const Layout at = LayoutOf(*surface);
    const double pageHeight = surface->PageHeight() * kPointsPerPixel;
    book.Print(surface.get(), kHeader);

    const int pages = PdfPages(pdf);
    ASSERT_GE(pages, 3);
    const std::vector<PdfLine> lines = PdfLines(pdf);
    ASSERT_EQ(lines.size(), 33u);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(lines[3 + i].Text(), "Строка " + std::to_string(i) + " " + std::to_string(i));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].Text());
        // No line crosses the bottom; a new page starts one step down, as the first did.
        EXPECT_LT(lines[i].y + at.step, pageHeight);
        if (lines[i].page != lines[i - 1].page) {
            EXPECT_EQ(lines[i].page, lines[i - 1].page + 1);
            EXPECT_NEAR(lines[i].y, lines[0].y, 0.5);
            EXPECT_GE(lines[i - 1].y + 2 * at.step, pageHeight - 1.0);
        }
    }
    EXPECT_EQ(lines.back().page, pages - 1);
}

TEST_F(ResultsPrint, NothingIsPrintedWithoutAUsableSurface) {
    OnePass();
    book.Print(nullptr, kHeader);
    // A surface whose output cannot be made: no document starts, no file appears.
    const std::string nowhere = folder / "missing/out.pdf";
    auto surface = platform::PrintSurface::ToFile(nowhere);
    book.Print(surface.get(), kHeader);
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    // Drawing outside a page is misuse: said and ignored.
    ::testing::internal::CaptureStderr();
    surface->TextOut(10, 10, "x");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("printing: text outside a page"), std::string::npos) << said;
    const platform::Result<void> ended = surface->EndDoc();
    EXPECT_FALSE(ended.ok());
    EXPECT_EQ(ended.why(), "end of a document that was not started");
}

TEST(Printers, UnknownPrinterGivesNoSurface) {
    EXPECT_TRUE(platform::PrintSurface::ForPrinter(L"no-such-printer-here").Is(platform::ErrorKind::Missing));
    EXPECT_TRUE(platform::PrintSurface::ForPrinter(L"").Is(platform::ErrorKind::Missing));
}

}  // namespace

// The printer dialog and the save-as dialog on a hidden window.
#include "platform/printing.h"
#include "tests/widgets/widget_harness.h"
#include "widgets/save_as_dialog.h"
#include "widgets/select_printer_dialog.h"

namespace {

using widgettest::WidgetTest;

struct PrinterDialog : WidgetTest {
    std::vector<std::wstring> Lines(IMSelectPrinterDialog* d) {
        std::vector<std::wstring> lines;
        for (IMStaticText* line : d->List()->Items()) lines.push_back(line->GetText());
        return lines;
    }
};

TEST_F(PrinterDialog, ListsPrintersInTheirOrderWithTheDefaultSelected) {
    auto* dialog = &window->Add<IMSelectPrinterDialog>();
    dialog->ListPrinters(platform::Printers::List{{L"A", L"B", L"C"}, L"B"});
    Settle();
    EXPECT_EQ(Lines(dialog), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    ASSERT_NE(dialog->List()->Selected(), nullptr);
    EXPECT_EQ(dialog->List()->Selected()->GetText(), L"B");
    EXPECT_EQ(dialog->GetRect().left, 220);
    EXPECT_EQ(dialog->GetRect().bottom, 375);
    SaveScreenshot("printer_dialog_widget.png");
}

TEST_F(PrinterDialog, NothingSelectedGivesNoSurface) {
    // No printers at all; and a default that is not among the listed ones (a printer reached
    // only through a connection) selects nothing either.
    for (const platform::Printers::List& list :
         {platform::Printers::List{}, platform::Printers::List{{L"A", L"C"}, L"B"},
          platform::Printers::List{{L"A"}, L""}}) {
        auto* dialog = &window->Add<IMSelectPrinterDialog>();
        dialog->ListPrinters(list);
        Settle();
        EXPECT_EQ(Lines(dialog), list.names);
        EXPECT_EQ(dialog->List()->Selected(), nullptr);
        EXPECT_EQ(dialog->CreatePrinterDC(), nullptr);
        dialog->Close();
        Settle();
    }
}

TEST_F(PrinterDialog, CloseClosesIt) {
    auto* dialog = &window->Add<IMSelectPrinterDialog>();
    dialog->ListPrinters(platform::Printers::List{{L"A"}, L"A"});
    bool closed = false;
    dialog->OnClose.connect([&](const IMEvent&) {
        closed = true;
        return 0L;
    });
    Settle();
    const RECT r = dialog->CloseButton()->GetRect();
    Press(220 + r.left + 5, 125 + r.top + 5);
    Release(220 + r.left + 5, 125 + r.top + 5);
    Settle();
    EXPECT_TRUE(closed);
}

using SaveAsDialog = WidgetTest;

TEST_F(SaveAsDialog, TheFocusPutsTypingIntoTheFileName) {
    auto* dialog = &window->Add<IMSaveAsDialog>();
    dialog->SetFileName(L"/tmp/a.xls");
    dialog->SetFocus(true);
    Settle();
    Type(L"x");
    EXPECT_EQ(dialog->GetFileName(), L"/tmp/a.xlsx");
    EXPECT_TRUE(dialog->Message()->IsHidden());
    dialog->SetMessage(L"Не удалось сохранить файл.");
    Settle();
    EXPECT_FALSE(dialog->Message()->IsHidden());
    const RECT m = dialog->Message()->GetRect();
    // Between the name and the buttons, inside the frame.
    EXPECT_GE(m.top, 48);
    EXPECT_LE(m.bottom, 79);
    EXPECT_LE(m.right, 359);
    dialog->SetMessage(L"");
    EXPECT_TRUE(dialog->Message()->IsHidden());
}

}  // namespace

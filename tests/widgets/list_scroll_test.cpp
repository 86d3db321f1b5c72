// The list and the scroll bar: line placement and the selection band, stepping, clamping,
// auto-repeat on the clock, dragging the slider, and how both look on screen.
#include <vector>

#include "tests/widgets/widget_harness.h"
#include "widgets/edit_bar.h"
#include "widgets/list.h"
#include "widgets/scroll.h"

using widgettest::WidgetTest;

namespace {

struct ScrollTest : WidgetTest {
    void SetUp() override {
        WidgetTest::SetUp();
        // The start screen's bar: 14 x 240 beside a description 1000 pixels tall.
        const RECT r{500, 100, 514, 340};
        bar = &screen->Add<IMScroll>(&r);
        bar->SetRange(0, 1000);
        bar->SetPage(236);
        bar->OnPosition.connect([this](const IMEvent& e, int v) {
            EXPECT_EQ(e.sender, bar);
            positions.push_back(v);
            return 0L;
        });
        window->NativeWindow()->SimulatePointer(true, POINT{400, 300});
        Settle();
    }
    // The middle of a part in window coordinates.
    POINT Middle(IMControl* part) {
        const RECT p = part->GetRect();
        return {500 + (p.left + p.right) / 2, 100 + (p.top + p.bottom) / 2};
    }

    IMScroll* bar = nullptr;
    std::vector<int> positions;
};

}  // namespace

TEST_F(WidgetTest, ListLinesStackAndTheBandCoversTheClickedLine) {
    auto* list = &screen->Add<IMList>();
    list->SetRect(RECT{200, 150, 500, 300});
    IMStaticText* first = list->AddItem(L"Принтер в классе");
    IMStaticText* second = list->AddItem(L"PDF");
    IMStaticText* third = list->AddItem(L"Учительская");
    Settle();
    const int h = first->GetHeight();
    ASSERT_GT(h, 0);
    EXPECT_EQ(second->GetRect().top, h);
    EXPECT_EQ(third->GetRect().top, 2 * h);
    EXPECT_EQ(list->Panel()->GetRect().left, 200);
    EXPECT_TRUE(EqualRect(list->ItemsBox()->GetRect(), RECT{1, 1, 299, 149}));
    EXPECT_TRUE(list->SelectionBand()->IsHidden());

    // The box starts one pixel inside the panel, the panel where the list stands.
    const POINT onSecond{200 + 1 + 5, 150 + 1 + h + h / 2};
    Press(onSecond.x, onSecond.y);
    Release(onSecond.x, onSecond.y);
    EXPECT_EQ(list->Selected(), second);
    EXPECT_TRUE(EqualRect(list->SelectionBand()->GetRect(), RECT{0, h, 298, 2 * h + 1}));
    EXPECT_FALSE(list->SelectionBand()->IsHidden());

    list->Select(nullptr);
    EXPECT_TRUE(list->SelectionBand()->IsHidden());

    // Closing the list takes its panel along.
    list->Close();
    Settle();
    EXPECT_EQ(screen->LiveChildCount(), 0u);
}

// The panel and the caret are siblings of the list and of the edit, not their children: when
// one goes first, closed on its own, the list and the edit carry on without it.
TEST_F(WidgetTest, AListAndAnEditCarryOnWhenTheirSiblingPartsHaveGone) {
    auto* list = &screen->Add<IMList>();
    list->SetRect(RECT{200, 150, 500, 300});
    list->AddItem(L"PDF");
    auto* edit = &screen->Add<IMTextEdit>();
    Settle();
    list->Panel()->Close();
    edit->CaretPicture()->Close();
    Settle();
    EXPECT_EQ(list->AddItem(L"Учительская"), nullptr);
    EXPECT_TRUE(list->Items().empty());
    list->SetRect(RECT{0, 0, 100, 100});
    EXPECT_EQ(edit->CaretPicture(), nullptr);
    edit->SetFocus(true);
    edit->SetText(L"ab");
    edit->SetCaret(1);
    list->Close();
    edit->Close();
    Settle();
    EXPECT_EQ(screen->LiveChildCount(), 0u);
}

TEST_F(ScrollTest, ArrowsPageAreasAndTheValueLimits) {
    EXPECT_EQ(bar->Value(), 0);
    // W = 14, track 212: the slider is 212 * 236 / 1000 = 50 tall below the up arrow.
    EXPECT_TRUE(EqualRect(bar->Slider()->GetRect(), RECT{0, 14, 14, 64}));

    const POINT down = Middle(bar->DownButton());
    Press(down.x, down.y);
    Release(down.x, down.y);
    EXPECT_EQ(bar->Value(), 23);
    const POINT pageDown = Middle(bar->PageDownArea());
    Press(pageDown.x, pageDown.y);
    Release(pageDown.x, pageDown.y);
    EXPECT_EQ(bar->Value(), 259);
    EXPECT_EQ(positions, (std::vector<int>{23, 259}));
    EXPECT_EQ(bar->Slider()->GetRect().top, 14 + 212 * 259 / 1000);
    EXPECT_FALSE(bar->IsRepeating());

    // Past the end: the value stops at maximum - page, and the same value says nothing.
    bar->SetValue(5000);
    EXPECT_EQ(bar->Value(), 764);
    positions.clear();
    bar->SetValue(764);
    EXPECT_TRUE(positions.empty());
    EXPECT_LE(bar->Slider()->GetRect().bottom, 240 - 14);
    bar->SetValue(-3);
    EXPECT_EQ(bar->Value(), 0);
    const POINT up = Middle(bar->UpButton());
    Press(up.x, up.y);
    Release(up.x, up.y);
    EXPECT_EQ(bar->Value(), 0);

    // A shorter range pulls the value back without a notification.
    bar->SetValue(700);
    positions.clear();
    bar->SetRange(0, 500);
    EXPECT_EQ(bar->Value(), 264);
    bar->SetPage(400);
    EXPECT_EQ(bar->Value(), 100);
    EXPECT_TRUE(positions.empty());
}

TEST_F(ScrollTest, HoldingAnArrowRepeatsAfterHalfASecondUntilThePointerLeaves) {
    const POINT down = Middle(bar->DownButton());
    Press(down.x, down.y);
    EXPECT_EQ(positions.size(), 1u);  // one step at once
    RunFor(430);
    EXPECT_EQ(positions.size(), 1u);
    RunFor(570);  // one second held: the repeat at 500 ms, then one every 50 ms
    EXPECT_EQ(positions.size(), 12u);
    for (std::size_t i = 0; i < positions.size(); ++i) EXPECT_EQ(positions[i], 23 * static_cast<int>(i + 1));

    Move(100, 100, MK_LBUTTON);  // off the arrow
    EXPECT_FALSE(bar->IsRepeating());
    const std::size_t held = positions.size();
    RunFor(300);
    EXPECT_EQ(positions.size(), held);
    Release(100, 100);
    EXPECT_EQ(window->Timers().Count(), 0u);
}

TEST_F(ScrollTest, TheDraggedSliderStopsAtTheTrackEndsAndAnyReleaseEndsTheDrag) {
    POINT grip = Middle(bar->Slider());
    Press(grip.x, grip.y);
    ASSERT_TRUE(bar->IsDragging());
    Move(grip.x, grip.y + 40, MK_LBUTTON);
    EXPECT_EQ(bar->Slider()->GetRect().top, 14 + 40);
    EXPECT_EQ(bar->Value(), 189);  // 1000 * 40 / 212, rounded

    // Far past the bottom: the slider rests on the down arrow, the value at its largest.
    Move(grip.x, 590, MK_LBUTTON);
    EXPECT_EQ(bar->Slider()->GetRect().bottom, 240 - 14);
    EXPECT_EQ(bar->Value(), 764);
    // And past the top.
    Move(grip.x + 200, 2, MK_LBUTTON);
    EXPECT_EQ(bar->Slider()->GetRect().top, 14);
    EXPECT_EQ(bar->Value(), 0);

    // Released far from the bar: the drag is over and the pointer moves nothing.
    Move(grip.x, grip.y + 60, MK_LBUTTON);
    Release(700, 500);
    EXPECT_FALSE(bar->IsDragging());
    const int value = bar->Value();
    Move(grip.x, grip.y + 120);
    EXPECT_EQ(bar->Value(), value);

    // The pointer leaving the window ends a drag too.
    grip = Middle(bar->Slider());
    Press(grip.x, grip.y);
    ASSERT_TRUE(bar->IsDragging());
    window->NativeWindow()->SimulatePointer(false);
    window->PumpOnce();
    EXPECT_FALSE(bar->IsDragging());
}

TEST_F(WidgetTest, AnEditBarAndAListWithAScrollBarOnScreen) {
    CreatePicture(screen, 0, 0, L"DefaultBackGround", 0, 0xFFFFFFFF);
    auto* edit = &screen->Add<IMEditBar>();
    edit->SetRect(RECT{135, 460, 655, 480});
    Settle();
    edit->SetFocus(true);
    Type(L"Иванова Маша, 2 «Б» класс");

    auto* list = &screen->Add<IMList>();
    list->SetRect(RECT{200, 150, 480, 300});
    for (const wchar_t* name : {L"Принтер в классе", L"Учительская", L"PDF", L"Библиотека"}) list->AddItem(name);
    const RECT r{480, 150, 496, 300};
    auto* scroll = &screen->Add<IMScroll>(&r);
    scroll->SetRange(0, 400);
    scroll->SetPage(150);
    scroll->SetValue(80);
    const RECT below{200, 300, 480, 316};
    auto* sideways = &screen->Add<IMScroll>(&below, IMScroll::Orientation::Horizontal);
    sideways->SetValue(50);
    Settle();
    // 16 high, arrows at both ends, the slider 248 * 10 / 100 wide at 16 + 248 * 50 / 100.
    EXPECT_TRUE(EqualRect(sideways->Slider()->GetRect(), RECT{140, 0, 164, 16}));
    EXPECT_TRUE(EqualRect(sideways->DownButton()->GetRect(), RECT{264, 0, 280, 16}));
    list->Select(list->Items()[1]);
    Settle();
    SaveScreenshot("widgets_test.png");

    // The frames are black, the boxes white, the band a faint blue over white.
    EXPECT_EQ(PixelAt(135, 470), 0xFF000000u);
    EXPECT_EQ(PixelAt(654, 470), 0xFF000000u);
    EXPECT_EQ(PixelAt(650, 470), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(200, 200), 0xFF000000u);
    const RECT band = list->SelectionBand()->GetRect();
    const DWORD tinted = PixelAt(200 + 1 + band.right - 2, 150 + 1 + band.top + 1);
    EXPECT_LT((tinted >> 16) & 0xFF, 0xF0u);
    EXPECT_EQ(tinted & 0xFF, 0xFFu);
}

#include "gui/dialog.h"

#include <gtest/gtest.h>

#include <boost/bind/bind.hpp>
#include <string>
#include <vector>

namespace {

// A rectangle control that counts its instances and logs what happens to it.
class Box : public IMViewControl<IMEmptyView> {
   public:
    Box(IMContainer* parent, RECT r, int layer, std::string name, std::vector<std::string>* log)
        : IMViewControl<IMEmptyView>(parent, layer), name(std::move(name)), log(log) {
        SetRect(r);
        ++alive;
    }
    ~Box() override { --alive; }
    int MouseEnter(const IMMouseEvent& e) override {
        log->push_back("enter " + name);
        return IMViewControl::MouseEnter(e);
    }
    int MouseLeave(const IMMouseEvent& e) override {
        log->push_back("leave " + name);
        return IMViewControl::MouseLeave(e);
    }
    int DrawSelf() override {
        log->push_back("draw " + name);
        return IMViewControl::DrawSelf();
    }

    std::string name;
    std::vector<std::string>* log;
    static inline int alive = 0;
};

IMMouseEvent Move(int x, int y) { return IMMouseEvent(nullptr, WM_MOUSEMOVE, 0, 0, x, y); }
IMMouseEvent Press(int x, int y) { return IMMouseEvent(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, 0, x, y); }
IMMouseEvent Release(int x, int y) { return IMMouseEvent(nullptr, WM_LBUTTONUP, 0, 0, x, y); }
void Pass(IMDialog& d) { d.Update(IMEvent(&d, EV_UPDATE)); }

struct DialogTest : ::testing::Test {
    DialogTest() { Box::alive = 0; }
    ~DialogTest() override { EXPECT_EQ(Box::alive, 0) << "children leaked"; }
    RECT screen{0, 0, 800, 600};
    std::vector<std::string> log;
};

}  // namespace

TEST_F(DialogTest, LayersDecideDrawingAndHittingOrder) {
    IMDialog root(nullptr, &screen, 0);
    new Box(&root, {100, 100, 300, 300}, 5, "high", &log);
    new Box(&root, {0, 0, 200, 200}, 1, "first", &log);
    new Box(&root, {50, 50, 250, 250}, 1, "second", &log);
    Pass(root);
    EXPECT_EQ(root.LiveChildCount(), 3u);

    root.Draw(IMEvent(&root, EV_DRAW));
    EXPECT_EQ(log, (std::vector<std::string>{"draw first", "draw second", "draw high"}));
    log.clear();

    root.MouseMove(Move(60, 60));    // first and second overlap: the later one is on top
    root.MouseMove(Move(150, 150));  // all three: the higher layer wins whatever the order
    EXPECT_EQ(log, (std::vector<std::string>{"enter second", "enter high", "leave second"}));
    EXPECT_EQ(root.HoverChild()->IsMouseOver(), true);
}

TEST_F(DialogTest, ChildrenJoinAndLeaveOnlyAtUpdate) {
    IMDialog root(nullptr, &screen, 0);
    auto* button = new Box(&root, {0, 0, 100, 100}, 0, "button", &log);
    Pass(root);
    Box* created = nullptr;
    button->OnClick.connect([&](const IMMouseEvent&) {
        created = new Box(&root, {0, 0, 100, 100}, 9, "created", &log);
        button->Close();
        return 0L;
    });
    root.MouseMove(Move(10, 10));
    root.MouseButton(Press(10, 10));
    root.MouseButton(Release(10, 10));
    ASSERT_NE(created, nullptr);

    // Before the next pass the new control is neither hit nor drawn; the closed one is still hit.
    log.clear();
    root.MouseMove(Move(11, 11));
    root.Draw(IMEvent(&root, EV_DRAW));
    EXPECT_EQ(root.HoverChild(), button);
    EXPECT_EQ(log, (std::vector<std::string>{"draw button"}));
    EXPECT_TRUE(button->OnClick.empty());
    EXPECT_EQ(root.PendingDeleteCount(), 1u);

    Pass(root);  // the closed one is deleted first thing, the new one joins under the pointer
    EXPECT_EQ(Box::alive, 1);
    EXPECT_EQ(root.HoverChild(), created);

    // Closing a child that never joined deletes it at once.
    auto* fleeting = new Box(&root, {0, 0, 1, 1}, 0, "fleeting", &log);
    fleeting->Close();
    EXPECT_EQ(Box::alive, 1);
}

TEST_F(DialogTest, FocusClimbsToTheRootAndButtonsDoNotTakeIt) {
    IMDialog root(nullptr, &screen, 0);
    const RECT panelRect{100, 100, 400, 400};
    auto* panel = new IMDialog(&root, &panelRect, 0);
    auto* edit = new Box(panel, {10, 10, 110, 110}, 0, "edit", &log);
    edit->SetFocusable(true);
    new Box(&root, {500, 500, 600, 600}, 0, "button", &log);
    Pass(root);
    Pass(*panel);

    root.MouseMove(Move(150, 150));  // over the edit, inside the panel
    root.MouseButton(Press(150, 150));
    EXPECT_TRUE(edit->HasFocus());
    EXPECT_TRUE(panel->HasFocus());
    EXPECT_TRUE(root.HasFocus());
    EXPECT_EQ(root.FocusChild(), panel);
    EXPECT_EQ(panel->FocusChild(), edit);

    root.MouseMove(Move(550, 550));  // the button is not focusable
    root.MouseButton(Press(550, 550));
    EXPECT_TRUE(edit->HasFocus());

    // Keys go down the chain of focused containers.
    int keys = 0;
    edit->OnKey.connect([&](const IMKeyboardEvent&) {
        ++keys;
        return 0L;
    });
    root.Key(IMKeyboardEvent(nullptr, WM_CHAR, L'ф', 0));
    EXPECT_EQ(keys, 1);

    // Deleting the focused edit clears the focus.
    edit->Close();
    Pass(*panel);
    EXPECT_EQ(panel->FocusChild(), nullptr);
    root.CloseTree(IMEvent(&root, EV_UPDATE));
    Pass(root);
}

TEST_F(DialogTest, NeighboursGetEnterBeforeLeaveAndLeavingTheWindowReachesTheLeaf) {
    IMDialog root(nullptr, &screen, 0);
    const RECT panelRect{0, 0, 400, 400};
    auto* panel = new IMDialog(&root, &panelRect, 0);
    new Box(panel, {0, 0, 100, 100}, 0, "left", &log);
    new Box(panel, {100, 0, 200, 100}, 0, "right", &log);
    Pass(root);
    Pass(*panel);
    root.MouseMove(Move(50, 50));
    root.MouseMove(Move(150, 50));
    EXPECT_EQ(log, (std::vector<std::string>{"enter left", "enter right", "leave left"}));
    log.clear();
    root.MouseLeave(IMMouseEvent(nullptr, MSG_MOUSELEAVE, 0, 0, -1, -1));
    EXPECT_EQ(log, (std::vector<std::string>{"leave right"}));
    EXPECT_EQ(panel->HoverChild(), nullptr);
    EXPECT_FALSE(panel->IsMouseOver());
}

// Under a still pointer, hover follows what comes and goes: a screen's button gets its enter
// as it joins, a panel moved under the pointer passes it on to its own child, and closing the
// panel gives it back. No move is needed for any of it.
TEST_F(DialogTest, HoverFollowsControlsThatComeGoAndMoveUnderAStillPointer) {
    IMDialog root(nullptr, &screen, 0);
    root.MouseMove(Move(50, 50));
    auto* screenDialog = new IMDialog(&root, &screen, 0);
    auto* button = new Box(screenDialog, {20, 20, 120, 120}, 0, "button", &log);
    const RECT away{400, 400, 600, 600};
    auto* panel = new IMDialog(screenDialog, &away, 1);
    new Box(panel, {10, 10, 60, 60}, 0, "inner", &log);
    Pass(root);
    Pass(*screenDialog);
    Pass(*panel);
    EXPECT_EQ(log, (std::vector<std::string>{"enter button"}));
    EXPECT_TRUE(button->IsMouseOver());

    panel->SetPosition(30, 30);  // the pointer is now at (20, 20) in the panel
    EXPECT_EQ(log, (std::vector<std::string>{"enter button", "enter inner", "leave button"}));
    panel->SetPosition(-20, -20);  // still over the panel, at (70, 70): past the inner box
    EXPECT_EQ(log.back(), "leave inner");
    EXPECT_EQ(panel->HoverChild(), nullptr);
    panel->Close();  // once it is gone, the button is under the pointer again
    Pass(*screenDialog);
    EXPECT_EQ(log.back(), "enter button");
    EXPECT_EQ(screenDialog->HoverChild(), button);
}

TEST_F(DialogTest, SetLayerMovesOnlyLiveChildren) {
    IMDialog root(nullptr, &screen, 0);
    auto* card = new Box(&root, {0, 0, 10, 10}, 2, "card", &log);
    root.SetLayer(card, 3);  // still pending: stays
    EXPECT_EQ(root.LayerOf(card), 0);
    Pass(root);
    EXPECT_EQ(root.LayerOf(card), 2);
    root.SetLayer(card, 2);
    EXPECT_EQ(root.LayerOf(card), 2);
    root.SetLayer(card, 3);
    EXPECT_EQ(root.LayerOf(card), 3);
    EXPECT_EQ(root.LiveChildCount(), 1u);
    new Box(&root, {0, 0, 10, 10}, 2, "other", &log);
    Pass(root);
    root.MouseMove(Move(5, 5));
    EXPECT_EQ(root.HoverChild(), card);  // layer 3 beats the newer child on layer 2
}

TEST_F(DialogTest, ClosingAScreenDisposesEveryDescendantFirst) {
    auto* root = new IMDialog(nullptr, &screen, 0);
    auto* screenDialog = new IMDialog(root, &screen, 0);
    auto* a = new Box(screenDialog, {0, 0, 10, 10}, 0, "a", &log);
    Pass(*root);
    Pass(*screenDialog);
    std::vector<std::string> order;
    a->OnClose.connect([&](const IMEvent&) {
        order.push_back("a");
        return 0L;
    });
    screenDialog->OnClose.connect([&](const IMEvent&) {
        order.push_back("screen");
        return 0L;
    });
    screenDialog->Close();
    EXPECT_EQ(order, (std::vector<std::string>{"screen"}));  // children are disposed, not closed
    EXPECT_TRUE(a->IsDisposed());
    EXPECT_EQ(screenDialog->PendingDeleteCount(), 1u);
    Pass(*root);
    EXPECT_EQ(root->LiveChildCount(), 0u);
    delete root;
}

TEST_F(DialogTest, AChildClosedBeforeJoiningTakesItsFocusWithIt) {
    IMDialog root(nullptr, &screen, 0);
    auto* edit = new Box(&root, {10, 10, 110, 110}, 0, "edit", &log);
    edit->SetFocusable(true);
    edit->SetFocus(true);  // a screen focusing its edit bar as it builds it
    EXPECT_EQ(root.FocusChild(), edit);

    edit->Close();  // before the next update: deleted at once
    EXPECT_EQ(Box::alive, 0);
    EXPECT_EQ(root.FocusChild(), nullptr);
    // The next key must not reach the deleted child (the sanitized run would see it).
    root.Key(IMKeyboardEvent(&root, WM_KEYDOWN, 'A', 0));
    Pass(root);
}

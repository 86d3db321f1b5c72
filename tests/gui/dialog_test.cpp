#include "gui/dialog.h"

#include <gtest/gtest.h>

#include <boost/bind/bind.hpp>
#include <memory>
#include <string>
#include <vector>

#include "gui/control_ref.h"

namespace {

// A rectangle control that counts its instances and logs what happens to it.
class Box : public IMViewControl<IMEmptyView> {
   public:
    Box(IMParent parent, RECT r, int layer, std::string name, std::vector<std::string>* log)
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

// Places a sibling over itself as it is made, as the list does with its panel.
class WithSibling : public Box {
   public:
    WithSibling(IMParent parent, RECT r, std::vector<std::string>* log) : Box(parent, r, 0, "maker", log) {
        parent.Get()->Add<Box>(r, 0, "sibling", log);
    }
};

// Closes another child of its parent as it goes.
class Closer : public Box {
   public:
    using Box::Box;
    ~Closer() override {
        if (Box* p = partner.Get()) p->Close();
    }
    ControlRef<Box> partner;
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
    root.Add<Box>(RECT{100, 100, 300, 300}, 5, "high", &log);
    root.Add<Box>(RECT{0, 0, 200, 200}, 1, "first", &log);
    root.Add<Box>(RECT{50, 50, 250, 250}, 1, "second", &log);
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
    auto* button = &root.Add<Box>(RECT{0, 0, 100, 100}, 0, "button", &log);
    Pass(root);
    Box* created = nullptr;
    button->OnClick.connect([&](const IMMouseEvent&) {
        created = &root.Add<Box>(RECT{0, 0, 100, 100}, 9, "created", &log);
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

    // A child closed before it joined never joins, and goes at the same next pass.
    auto* fleeting = &root.Add<Box>(RECT{0, 0, 1, 1}, 0, "fleeting", &log);
    fleeting->Close();
    EXPECT_EQ(Box::alive, 2);
    Pass(root);
    EXPECT_EQ(Box::alive, 1);
    EXPECT_EQ(root.LiveChildCount(), 1u);
}

TEST_F(DialogTest, FocusClimbsToTheRootAndButtonsDoNotTakeIt) {
    IMDialog root(nullptr, &screen, 0);
    const RECT panelRect{100, 100, 400, 400};
    auto* panel = &root.Add<IMDialog>(&panelRect, 0);
    auto* edit = &panel->Add<Box>(RECT{10, 10, 110, 110}, 0, "edit", &log);
    edit->SetFocusable(true);
    root.Add<Box>(RECT{500, 500, 600, 600}, 0, "button", &log);
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
    auto* panel = &root.Add<IMDialog>(&panelRect, 0);
    panel->Add<Box>(RECT{0, 0, 100, 100}, 0, "left", &log);
    panel->Add<Box>(RECT{100, 0, 200, 100}, 0, "right", &log);
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
    auto* screenDialog = &root.Add<IMDialog>(&screen, 0);
    auto* button = &screenDialog->Add<Box>(RECT{20, 20, 120, 120}, 0, "button", &log);
    const RECT away{400, 400, 600, 600};
    auto* panel = &screenDialog->Add<IMDialog>(&away, 1);
    panel->Add<Box>(RECT{10, 10, 60, 60}, 0, "inner", &log);
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
    auto* card = &root.Add<Box>(RECT{0, 0, 10, 10}, 2, "card", &log);
    root.SetLayer(card, 3);  // still pending: stays
    EXPECT_EQ(root.LayerOf(card), 0);
    Pass(root);
    EXPECT_EQ(root.LayerOf(card), 2);
    root.SetLayer(card, 2);
    EXPECT_EQ(root.LayerOf(card), 2);
    root.SetLayer(card, 3);
    EXPECT_EQ(root.LayerOf(card), 3);
    EXPECT_EQ(root.LiveChildCount(), 1u);
    root.Add<Box>(RECT{0, 0, 10, 10}, 2, "other", &log);
    Pass(root);
    root.MouseMove(Move(5, 5));
    EXPECT_EQ(root.HoverChild(), card);  // layer 3 beats the newer child on layer 2
}

TEST_F(DialogTest, ClosingAScreenDisposesEveryDescendantFirst) {
    auto root = std::make_unique<IMDialog>(nullptr, &screen, 0);
    auto* screenDialog = &root->Add<IMDialog>(&screen, 0);
    auto* a = &screenDialog->Add<Box>(RECT{0, 0, 10, 10}, 0, "a", &log);
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
}

TEST_F(DialogTest, AChildClosedBeforeJoiningTakesItsFocusWithIt) {
    IMDialog root(nullptr, &screen, 0);
    auto* edit = &root.Add<Box>(RECT{10, 10, 110, 110}, 0, "edit", &log);
    edit->SetFocusable(true);
    edit->SetFocus(true);  // a screen focusing its edit bar as it builds it
    EXPECT_EQ(root.FocusChild(), edit);

    edit->Close();  // before the next update: it loses the focus at once, and goes at the update
    EXPECT_EQ(root.FocusChild(), nullptr);
    EXPECT_EQ(Box::alive, 1);
    // The next key must not reach the closed child.
    int keys = 0;
    edit->OnKey.connect([&](const IMKeyboardEvent&) {
        ++keys;
        return 0L;
    });
    root.Key(IMKeyboardEvent(&root, WM_KEYDOWN, 'A', 0));
    EXPECT_EQ(keys, 0);
    Pass(root);
    EXPECT_EQ(Box::alive, 0);
    EXPECT_EQ(root.LiveChildCount(), 0u);
}

// [SECTION] Ownership: one release point, handles that empty

TEST_F(DialogTest, AHandleEmptiesWhenTheParentReleasesTheControlNotBefore) {
    IMDialog root(nullptr, &screen, 0);
    Box& box = root.Add<Box>(RECT{0, 0, 10, 10}, 0, "box", &log);
    const ControlRef<Box> handle = &box;
    const ControlRef<IMControl> asControl = handle;
    Pass(root);
    box.Close();
    ASSERT_EQ(handle.Get(), &box);  // closed, but there until the update
    Pass(root);
    EXPECT_FALSE(handle || asControl);
    EXPECT_EQ(Box::alive, 0);
}

// Handlers may close the control being dispatched to, and others, during input or the update:
// the dispatch runs to its end over controls that are still there (the sanitized run checks).
TEST_F(DialogTest, ControlsClosedWhileTheParentDispatchesStayValidUntilTheUpdate) {
    IMDialog root(nullptr, &screen, 0);
    Box& button = root.Add<Box>(RECT{0, 0, 100, 100}, 0, "button", &log);
    Box& neighbour = root.Add<Box>(RECT{200, 0, 300, 100}, 0, "neighbour", &log);
    Box& last = root.Add<Box>(RECT{200, 0, 300, 100}, 0, "last", &log);
    Pass(root);
    button.OnMouseButton.connect([&](const IMMouseEvent&) {
        neighbour.Close();
        button.Close();
        return 0L;
    });
    root.MouseMove(Move(10, 10));
    root.MouseButton(Press(10, 10));
    EXPECT_TRUE(button.IsPressed());  // set after the handlers ran
    EXPECT_EQ(root.PendingDeleteCount(), 2u);
    Pass(root);
    EXPECT_EQ(root.HoverChild(), nullptr);
    EXPECT_EQ(Box::alive, 1);

    Box& closing = root.Add<Box>(RECT{0, 0, 10, 10}, 0, "closing", &log);
    Pass(root);
    closing.OnUpdate.connect([&](const IMEvent&) { return closing.Close(); });
    int updates = 0;
    last.OnUpdate.connect([&](const IMEvent&) { return ++updates; });
    root.SetLayer(&last, 1);  // updated after the one that closes itself
    Pass(root);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(Box::alive, 1);  // gone at the end of that same update
}

TEST_F(DialogTest, ASiblingMadeInAConstructorJoinsAfterItsMaker) {
    IMDialog root(nullptr, &screen, 0);
    root.Add<WithSibling>(RECT{0, 0, 50, 50}, &log);
    Pass(root);
    root.Draw(IMEvent(&root, EV_DRAW));
    EXPECT_EQ(log, (std::vector<std::string>{"draw maker", "draw sibling"}));
    root.MouseMove(Move(10, 10));
    EXPECT_EQ(log.back(), "enter sibling");  // the later one covers the maker
}

// Closing a screen releases its whole tree, whatever state its parts were in: live, joining,
// focused, hovered. The fixture counts the boxes; the leak checker of the sanitized run the rest.
TEST_F(DialogTest, ClosingAScreenReleasesItsWholeTree) {
    IMDialog root(nullptr, &screen, 0);
    IMDialog& page = root.Add<IMDialog>(&screen, 0);
    IMDialog& panel = page.Add<IMDialog>(&screen, 0);
    Box& edit = panel.Add<Box>(RECT{10, 10, 110, 110}, 0, "edit", &log);
    edit.SetFocusable(true);
    for (IMDialog* d : {&root, &page, &panel}) Pass(*d);
    root.MouseMove(Move(50, 50));
    root.MouseButton(Press(50, 50));
    ASSERT_TRUE(edit.HasFocus());
    panel.Add<Box>(RECT{0, 0, 10, 10}, 0, "joining", &log);
    const ControlRef<Box> watched = &edit;
    page.Close();
    Pass(root);
    EXPECT_FALSE(watched);
    EXPECT_EQ(root.FocusChild(), nullptr);
    EXPECT_EQ(Box::alive, 0);
}

// A destructor that closes a sibling, at an update and at the container's own end: each child
// goes exactly once, and a handle to one already gone is simply empty.
TEST_F(DialogTest, AChildThatClosesAnotherAsItGoesLeavesNothingBehind) {
    IMDialog root(nullptr, &screen, 0);
    Closer& closer = root.Add<Closer>(RECT{0, 0, 10, 10}, 0, "closer", &log);
    closer.partner = &root.Add<Box>(RECT{0, 0, 10, 10}, 0, "partner", &log);
    Pass(root);
    closer.Close();
    Pass(root);
    EXPECT_EQ(Box::alive, 0);
    for (int order = 0; order < 2; ++order) {
        IMDialog end(nullptr, &screen, 0);
        Box& early = end.Add<Box>(RECT{0, 0, 10, 10}, 0, "early", &log);
        Closer& late = end.Add<Closer>(RECT{0, 0, 10, 10}, 0, "late", &log);
        late.partner = order == 0 ? &early : &end.Add<Box>(RECT{0, 0, 10, 10}, 0, "after", &log);
        Pass(end);
    }
}

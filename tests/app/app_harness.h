// The application on a hidden window for tests: the real loop, the program's own pictures and
// sounds on the silent output, a clock the test drives, workbooks in a folder of the test's own,
// and the pupil's mouse and keys as window messages. Screenshots go to build/screenshots/.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <memory>
#include <string>

#include "app/app.h"
#include "app/vorlen_dlg.h"
#include "engine/resource_manager.h"
#include "gui/engine_link.h"
#include "gui/window.h"
#include "platform/text.h"
#include "tests/support/driven_clock.h"
#include "tests/support/driven_loop.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sdl_input.h"
#include "widgets/results_book.h"

using namespace exercise;

constexpr POINT kCardMiddle{kCardWidth / 2, kCardHeight / 2};
constexpr POINT kBellMiddle{BellPosition.x + 48, BellPosition.y + 48};

// "05-June-2008 14:07"
bool LooksLikeStartTime(const std::wstring& s) {
    int day = 0, year = 0, hour = 0, minute = 0;
    wchar_t month[32] = {};
    return s.size() >= 16 && s[2] == L'-' && s[s.size() - 3] == L':' &&
           std::swscanf(s.c_str(), L"%2d-%31l[A-Za-z]-%4d %2d:%2d", &day, month, &year, &hour, &minute) == 5;
}

bool IsWholeNumber(const std::wstring& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](wchar_t c) { return std::iswdigit(c); });
}

// The middle of a skin picture placed with its corner at (x, y).
POINT PictureMiddle(const wchar_t* picture, int x, int y) {
    const unsigned slot = engine_link::LoadTexture(picture);
    const RECT size = engine_link::TextureImageRect(slot);
    engine_link::ReleaseTexture(slot);
    return {x + size.right / 2, y + size.bottom / 2};
}

POINT Middle(IMControl* c) {
    const RECT r = c->GetRect();
    return {r.left + kCardMiddle.x, r.top + kCardMiddle.y};
}

class AppHarness : public ::testing::Test {
   protected:
    void SetUp() override {
        Launch();
        ASSERT_NE(app, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        EndProgram();
        EXPECT_EQ(IMAppBase::Current(), nullptr);
        EXPECT_EQ(GetResourceManager(), nullptr);
    }

    // What the tests' application is made with: a hidden window, the test's own folders.
    virtual AppOptions Options() {
        AppOptions options;
        options.hiddenWindow = true;
        options.resultsFolder = results.Wide("");
        options.journalFolder = journal.Path();
        options.clock = &clock;
        return options;
    }
    // The application made (again) as the program makes it, with `options`.
    void Launch(const AppOptions& options) {
        owned = App::Make(kAppTitle, options);
        app = owned.get();
        window = app ? app->Window() : nullptr;
        engine = GetResourceManager();
    }
    void Launch() { Launch(Options()); }
    // The end of the program as main ends it: the rows written, the window closed, the
    // application object gone.
    void EndProgram() {
        if (owned) owned->Shutdown();
        owned.reset();
        app = nullptr;
        window = nullptr;
        engine = nullptr;
    }

    // Runs the real loop until `done` or `clockMs` of clock time have passed.
    template <class Done>
    bool RunUntil(Done done, DWORD clockMs = 60'000) {
        return drivenloop::RunUntil(*window, clock, done, clockMs);
    }
    void RunFor(DWORD clockMs) { drivenloop::RunFor(*window, clock, clockMs); }
    // Clock milliseconds, as the program's timers count them.
    DWORD NowMs() { return clock.Milliseconds(); }
    void Pump() {
        window->PumpOnce();
        window->PumpOnce();
    }

    void Move(POINT p, WPARAM keys = 0) { window->WindowProc(WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y)); }
    void Click(POINT p) {
        Move(p);
        window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        Pump();
    }
    void Drag(POINT from, POINT to) {
        Move(from);
        window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        Move({(from.x + to.x) / 2, (from.y + to.y) / 2}, MK_LBUTTON);
        Move(to, MK_LBUTTON);
        window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        Pump();
    }
    // A drag through SDL's own queue, as a hand makes it.
    void DragThroughSdl(POINT from, POINT to) {
        sdlinput::Motion(from.x, from.y);
        sdlinput::Button(true, from.x, from.y);
        sdlinput::Motion(to.x, to.y, SDL_BUTTON_LMASK);
        sdlinput::Button(false, to.x, to.y);
        Pump();
    }
    void Key(WPARAM vk) {
        window->WindowProc(WM_KEYDOWN, vk, 0);
        window->WindowProc(WM_KEYUP, vk, 0);
        Pump();
    }
    // Types text as the keyboard layout delivers it: one WM_CHAR per UTF-16 unit.
    void Type(const std::wstring& text) {
        for (char16_t u : platform::text::ToUtf16(text)) window->WindowProc(WM_CHAR, static_cast<WPARAM>(u), 0);
        Pump();
    }
    // From the start screen (shown when it is not yet) into the exercise: the name typed,
    // Enter, the instruction skipped with Esc.
    void StartPass(const std::wstring& pupil) {
        if (!app->StartScreen()) app->ShowStartScreen();
        Pump();
        ASSERT_NE(app->NameBar(), nullptr);
        Type(pupil);
        Key(VK_RETURN);
        ASSERT_NE(app->InstructionOverlay(), nullptr);
        Key(VK_ESCAPE);
        Pump();
        ASSERT_NE(app->ExerciseDialog(), nullptr);
    }
    // Drags a card so that its corner lands on the slot's corner.
    void PutInSlot(VorlenDlg* board, int cardNumber, int slot) {
        IMControl* card = board->CardPicture(cardNumber);
        ASSERT_NE(card, nullptr);
        const POINT s = SlotPositions[slot - 1];
        Drag(Middle(card), {s.x + kCardMiddle.x, s.y + kCardMiddle.y});
        const RECT r = card->GetRect();
        EXPECT_EQ(r.left, s.x);
        EXPECT_EQ(r.top, s.y);
    }
    void Solve(VorlenDlg* board) {
        for (int k = 1; k <= kStageCount; ++k) PutInSlot(board, k, k);
        Click(BellSpot(board));
    }
    // Where a pupil rings the bell: its middle, or, when a card pushed out of a slot fell on it
    // (pushed cards land at random in the lower part of the board), a part no card covers.
    POINT BellSpot(VorlenDlg* board) {
        const auto covered = [&](POINT p) {
            for (int n = kExtraCardNumber; n <= kStageCount; ++n)
                if (IMControl* card = board->CardPicture(n); card && card->HitTest(p.x, p.y)) return true;
            return false;
        };
        if (!covered(kBellMiddle)) return kBellMiddle;
        const RECT bell = board->Bell()->GetRect();
        for (int y = bell.top; y < bell.bottom; y += 4)
            for (int x = bell.left; x < bell.right; x += 4)
                if (board->Bell()->HitTest(x, y) && !covered({x, y})) return {x, y};
        ADD_FAILURE() << "cards cover the whole bell";
        return kBellMiddle;
    }
    VorlenDlg* Board(int episode) const { return app->Episodes().Board(episode); }
    int Episode() const { return app->Episodes().Index(); }
    bool IsPlaying(int sound) {
        const std::optional<DWORD> id = engine->FindSound(ResourceName(sound));
        return id && engine->Find(*id)->State() == StreamState::Playing;
    }
    // The board of an episode once it is the one shown.
    VorlenDlg* WaitForBoard(int episode) {
        RunUntil([&] { return Board(episode) && !Board(episode)->IsHidden(); });
        return Board(episode);
    }
    void Screenshot(const std::string& name) {
        std::filesystem::create_directories("screenshots");
        GetResourceManager()->Device()->WritePng("screenshots/" + name + ".png",
                                                 GetResourceManager()->Device()->ReadBackBuffer(), 800, 600);
    }
    // Clicks a button of the exit menu by its picture's place in the panel.
    POINT MenuButtonMiddle(const wchar_t* picture, int top) {
        return PictureMiddle(picture, (800 - 136) / 2 + 10, (600 - 200) / 2 + top);
    }
    void ClickMenuButton(const wchar_t* picture, int top) { Click(MenuButtonMiddle(picture, top)); }

    DrivenClock clock;  // first: the application runs on it to the end
    ScratchFolder results;
    ScratchFolder journal;
    std::unique_ptr<App> owned;
    App* app = nullptr;
    IMWindow* window = nullptr;
    IMResourceManager* engine = nullptr;
};

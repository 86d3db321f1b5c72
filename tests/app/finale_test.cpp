// The end of a pass and the credits on a hidden window: the praise overlay (its pair, its
// place, its film and its length) and the credits page opened by Ctrl+I from any screen.
// Screenshots go to build/screenshots/.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "app/praise.h"
#include "tests/app/app_harness.h"

namespace {

TEST(PraisePair, SpreadsTheDesignRangeAndStaysInsideForAnyRand) {
    EXPECT_EQ(praise::PairIndex(32767), 4);
    EXPECT_EQ(praise::PairIndex(6553), 0);
    EXPECT_EQ(praise::PairIndex(6554), 1);
    EXPECT_EQ(praise::PairIndex(0), 0);
    // glibc's rand() reaches 2^31 - 1; the pair must still be one of the five.
    for (long long r :
         {32768LL, 65535LL, 1234567LL, static_cast<long long>(RAND_MAX), static_cast<long long>(INT_MAX)}) {
        const int k = praise::PairIndex(static_cast<int>(r));
        EXPECT_GE(k, 0) << r;
        EXPECT_LT(k, praise::kPairCount) << r;
    }
    EXPECT_EQ(praise::PairIndex(32768 + 32767), 4);
}

using Finale = AppHarness;

template <class Pixels>
DWORD PixelAt(const Pixels& pixels, int x, int y) {
    return pixels[static_cast<std::size_t>(y) * 800 + x] & 0xFFFFFF;
}

// The middle of the credits' Exit button.
POINT ExitMiddle() {
    const unsigned slot = engine_link::LoadTexture(L"ExitButton");
    const RECT size = engine_link::TextureImageRect(slot);
    engine_link::ReleaseTexture(slot);
    return {755 + size.right / 2, 22 + size.bottom / 2};
}

// Outside the exercise only the overlay closes, 26 frame times after it opened.
TEST_F(Finale, PraiseShowsTheCloudAndTheFilmThenClosesWhenTheFilmEnds) {
    const std::size_t texturesBefore = engine->TextureCount();
    const DWORD start = NowMs();
    app->ShowPraiseAt(praise::kCloudCorner.x, praise::kCloudCorner.y);
    IMDialog* overlay = app->PraiseOverlay();
    ASSERT_NE(overlay, nullptr);
    Pump();
    // The word of praise is one of the five.
    int spoken = 0;
    for (const praise::Pair& p : praise::kPairs) spoken += engine->FindSound(p.sound).has_value();
    EXPECT_EQ(spoken, 1);

    ASSERT_TRUE(RunUntil([&] { return NowMs() - start > 1000; }));
    Screenshot("praise_mid_film");
    // The cloud's corner area is the cloud; the film covers its window (320 x 200 at 230, 176).
    DWORD cloudWindow = 0;  // the cloud's own colour where the film plays
    ASSERT_TRUE(engine->ReadBackupPixel(engine->FindTexture(L"oblako_png"), 253, 176, &cloudWindow));
    cloudWindow &= 0xFFFFFF;
    const auto pixels = engine->Device()->ReadBackBuffer();
    int cloudPixels = 0;
    for (int y = 180; y < 370; y += 10)
        for (int x = 235; x < 545; x += 10) cloudPixels += PixelAt(pixels, x, y) == cloudWindow;
    EXPECT_EQ(cloudPixels, 0) << "the film plays above the cloud";
    EXPECT_EQ(PixelAt(pixels, 200, 200), 0xFFFFFFu) << "the white cloud around the film";

    ASSERT_TRUE(RunUntil([&] { return app->PraiseOverlay() == nullptr; }));

    // Once more without stopping to look: the film's 26 frame times.
    app->ShowPraiseAt(praise::kCloudCorner.x, praise::kCloudCorner.y);
    const DWORD again = NowMs();  // the film starts as the call returns
    ASSERT_TRUE(RunUntil([&] { return app->PraiseOverlay() == nullptr; }));
    const DWORD took = NowMs() - again;
    // Not before the film's end, and within the loop passes of a millisecond that follow it.
    EXPECT_GE(took, 2166u);
    EXPECT_LE(took, 2166u + 5u);
    Pump();
    Pump();
    // The overlay's pictures and both film textures are gone with it (the praise sounds stay).
    EXPECT_EQ(engine->TextureCount(), texturesBefore);
}

// The praise overlay's exit picture closes it early; nothing else closes.
TEST_F(Finale, PraiseWithExitPictureClosesOnClick) {
    app->ShowPraise();
    ASSERT_NE(app->PraiseOverlay(), nullptr);
    Pump();
    Click({760, 30});
    Pump();
    EXPECT_EQ(app->PraiseOverlay(), nullptr);
}

int CursorCount(IMWindow* w) { return w->NativeWindow()->CursorCount(); }

TEST_F(Finale, CtrlIOpensTheCreditsOnceAndExitRestoresTheCursor) {
    app->ShowStartScreen();
    Pump();
    SDL_SetModState(KMOD_NONE);
    Key(0x49);
    EXPECT_EQ(app->Credits(), nullptr) << "I alone is a letter, not the credits";

    window->NativeWindow()->ShowCursor(false);  // a screen that hid the cursor
    window->NativeWindow()->ShowCursor(false);
    const int cursor = CursorCount(window);
    SDL_SetModState(KMOD_LCTRL);
    Key(0x49);
    IMDialog* credits = app->Credits();
    ASSERT_NE(credits, nullptr);
    EXPECT_GE(CursorCount(window), 0) << "the cursor shows over the credits";
    Pump();
    EXPECT_EQ(window->LayerOf(credits), 9999);
    const RECT r = credits->GetRect();
    EXPECT_EQ(r.right - r.left, 800);
    EXPECT_EQ(r.bottom - r.top, 600);

    // The key again, in either layout, while open: nothing more.
    Key(0xD8);
    Key(0x69);
    EXPECT_EQ(app->Credits(), credits);
    const int openCount = CursorCount(window);
    SDL_SetModState(KMOD_NONE);
    Screenshot("credits");

    Click(ExitMiddle());
    Pump();
    EXPECT_EQ(app->Credits(), nullptr);
    EXPECT_EQ(CursorCount(window), cursor);
    EXPECT_NE(app->StartScreen(), nullptr) << "the screen below stays";
    EXPECT_GT(openCount, cursor);

    // The Cyrillic letter in lower case opens them too.
    SDL_SetModState(KMOD_RCTRL);
    Key(0xF8);
    EXPECT_NE(app->Credits(), nullptr);
    SDL_SetModState(KMOD_NONE);
    app->Credits()->Close();
    Pump();
    EXPECT_EQ(CursorCount(window), cursor);
}

// During the exercise, above the board and above an F1 instruction.
TEST_F(Finale, CreditsOpenAboveTheExerciseAndTheInstruction) {
    StartPass(L"");
    Key(VK_F1);
    ASSERT_TRUE(app->InstructionShown());
    SDL_SetModState(KMOD_LCTRL);
    Key(0x49);  // also closes the instruction, as any key does
    SDL_SetModState(KMOD_NONE);
    ASSERT_NE(app->Credits(), nullptr);
    EXPECT_NE(app->ExerciseDialog(), nullptr);
    Key(VK_F1);  // the instruction again, under the credits
    EXPECT_TRUE(app->InstructionShown());
    EXPECT_NE(app->Credits(), nullptr);
    app->Credits()->Close();
    Pump();
    EXPECT_EQ(app->Credits(), nullptr);
}

}  // namespace

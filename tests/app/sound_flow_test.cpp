// The program's own sounds through the whole chain: a playback thread posts its notifications
// to the window's queue, the window procedure hands them to the sound system, and the label
// time rides on the window's timers. The test drives the clock.
#include <gtest/gtest.h>

#include "engine/resource_manager.h"
#include "gui/window.h"
#include "tests/support/driven_loop.h"

TEST(SoundFlow, TheFailureSoundEndsAndTheInstructionReachesItsLabel) {
    DrivenClock clock;
    std::unique_ptr<IMWindow> owner = CreateMainWindow(L"sound", RECT{0, 0, 800, 600}, true, true, clock);
    IMWindow* window = owner.get();
    ASSERT_NE(window, nullptr);
    IMResourceManager* engine = GetResourceManager();

    // The failure sound (about 3.7 s) ends, and its end comes back as a signal.
    const auto failureSound = engine->CreateSound(L"145");
    ASSERT_TRUE(failureSound) << failureSound.why();
    const DWORD failure = *failureSound;
    int ended = 0;
    engine->ConnectEnded(failure, [&](DWORD id) {
        EXPECT_EQ(id, failure);
        ++ended;
        return 0L;
    });
    ASSERT_TRUE(engine->Play(failure));
    const DWORD failureStart = clock.Milliseconds();
    drivenloop::RunUntil(
        *window, clock, [&] { return ended > 0; }, 10'000);
    EXPECT_EQ(ended, 1);
    // Its 3.7 s, then the half of the buffer that holds its last sample and a poll.
    EXPECT_GE(clock.Milliseconds() - failureStart, 3700u);
    EXPECT_LE(clock.Milliseconds() - failureStart, 4500u);

    // The instruction's label falls at 22.7 s, before its end at about 24 s.
    const auto instructionSound = engine->CreateSound(L"137");
    ASSERT_TRUE(instructionSound) << instructionSound.why();
    const DWORD instruction = *instructionSound;
    DWORD labelAt = 0;
    bool instructionEnded = false;
    engine->ConnectLabel(instruction, [&](DWORD, DWORD time) {
        labelAt = time;
        EXPECT_FALSE(instructionEnded);
        return 0L;
    });
    engine->ConnectEnded(instruction, [&](DWORD) {
        instructionEnded = true;
        return 0L;
    });
    ASSERT_TRUE(engine->Play(instruction));
    const DWORD instructionStart = clock.Milliseconds();
    drivenloop::RunUntil(
        *window, clock, [&] { return instructionEnded; }, 40'000);
    EXPECT_EQ(labelAt, 22700u);
    EXPECT_GE(clock.Milliseconds() - instructionStart, 24'000u);
    EXPECT_LE(clock.Milliseconds() - instructionStart, 25'000u);
    EXPECT_TRUE(instructionEnded);
    EXPECT_EQ(window->Timers().Count(), 0u);  // the label's timer is gone once the sound ended

    // A name that is no sound gives no stream, and playing it does nothing.
    EXPECT_TRUE(engine->CreateSound(L"no such sound.ogg").Is(platform::ErrorKind::Missing));
    EXPECT_FALSE(engine->Play(0));
}

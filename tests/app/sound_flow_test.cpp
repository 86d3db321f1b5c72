// The program's own sounds through the whole chain: a playback thread posts its notifications
// to the window's queue, the window procedure hands them to the sound system, and the label
// time rides on the window's timers. Time runs faster here than in real life.
#include <gtest/gtest.h>

#include "engine/resource_manager.h"
#include "gui/window.h"
#include "platform/clock.h"

namespace {

struct ClockSpeed {
    explicit ClockSpeed(double scale) { platform::Clock::SetScale(scale); }
    ~ClockSpeed() { platform::Clock::SetScale(1.0); }
};

// Runs the real loop until `done` or `clockMs` of clock time have passed.
template <class Done>
void RunUntil(IMWindow* window, Done done, DWORD clockMs) {
    const DWORD start = platform::Clock::Milliseconds();
    while (!done() && platform::Clock::Milliseconds() - start < clockMs) {
        ASSERT_TRUE(window->PumpOnce());
        const std::int64_t wait = window->IdleWaitMicroseconds();
        window->NativeWindow()->WaitForEvents(platform::MainQueue(),
                                              wait < 0 ? 2000 : std::min<std::int64_t>(wait, 2000));
    }
}

}  // namespace

TEST(SoundFlow, TheFailureSoundEndsAndTheInstructionReachesItsLabel) {
    ClockSpeed fast(20.0);
    std::unique_ptr<IMWindow> owner = CreateMainWindow(L"sound", RECT{0, 0, 800, 600}, true, true);
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
    RunUntil(
        window, [&] { return ended > 0; }, 10'000);
    EXPECT_EQ(ended, 1);

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
    RunUntil(
        window, [&] { return instructionEnded; }, 40'000);
    EXPECT_EQ(labelAt, 22700u);
    EXPECT_TRUE(instructionEnded);
    EXPECT_EQ(window->Timers().Count(), 0u);  // the label's timer is gone once the sound ended

    // A name that is no sound gives no stream, and playing it does nothing.
    EXPECT_TRUE(engine->CreateSound(L"no such sound.ogg").Is(platform::ErrorKind::Missing));
    EXPECT_FALSE(engine->Play(0));
}

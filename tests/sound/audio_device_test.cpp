#include "platform/audio_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/audio_mixer.h"
#include "tests/support/driven_clock.h"

using platform::AudioDevice;
using platform::AudioOutput;
using platform::ErrorKind;
using platform::SoundBuffer;

namespace {

// A buffer the test needs; null (and the test fails) when the device refuses it.
std::unique_ptr<SoundBuffer> Buffer(AudioDevice& device, const platform::PcmFormat& format, DWORD bytes) {
    auto buffer = device.CreateBuffer(format, bytes);
    EXPECT_TRUE(buffer) << buffer.why();
    return buffer ? std::move(buffer).value() : nullptr;
}

}  // namespace

// The silent output consumes a playing buffer at the buffer's own rate in clock time, and
// a stopped buffer not at all.
TEST(AudioDevice, SilentOutputKeepsTheBufferRate) {
    DrivenClock clock;
    auto device = AudioDevice::Open(AudioOutput::Silent, clock);
    ASSERT_TRUE(device->IsSilent());
    auto buffer = Buffer(*device, {1, 22050}, 44100 * 4);  // 4 s: no wrap in this test
    ASSERT_TRUE(buffer);
    EXPECT_EQ(device->BufferCount(), 1u);

    EXPECT_EQ(buffer->PlayCursor(), 0u);
    buffer->Play();
    clock.AdvanceMs(240);  // twelve of the output's steps of 20 ms
    // Mixed step by step as the time passed; the cursor may run ahead by what the rate
    // converter took in advance.
    const DWORD early = buffer->PlayCursor();
    EXPECT_NEAR(early, 10584.0, 44100 * 0.05);
    clock.AdvanceMs(750);
    buffer->Stop();  // counts the time since the last step too
    const DWORD cursor = buffer->PlayCursor();
    EXPECT_NEAR(cursor, 43659.0, 44100 * 0.05);  // 44,100 bytes a second
    EXPECT_EQ(cursor % 2, 0u);

    clock.AdvanceMs(200);
    EXPECT_EQ(buffer->PlayCursor(), cursor);
    buffer.reset();
    EXPECT_EQ(device->BufferCount(), 0u);
}

TEST(AudioDevice, LockRulesAndLoss) {
    auto device = AudioDevice::Open(AudioOutput::Silent);
    EXPECT_FALSE(device->CreateBuffer({2, 44100}, 0));
    EXPECT_FALSE(device->CreateBuffer({2, 44100}, 1001));  // not whole frames
    EXPECT_FALSE(device->CreateBuffer({0, 44100}, 1000));
    EXPECT_FALSE(device->CreateBuffer({9, 44100}, 1800));
    EXPECT_FALSE(device->CreateBuffer({2, 384001}, 4000));
    EXPECT_FALSE(device->CreateBuffer({2, 44100}, AudioDevice::kMaxBufferBytes + 4));
    EXPECT_EQ(device->BufferCount(), 0u);
    auto buffer = Buffer(*device, {2, 44100}, 4000);
    ASSERT_TRUE(buffer);

    EXPECT_TRUE(buffer->Lock(3000, 2000).Is(ErrorKind::Failed));  // past the end
    EXPECT_TRUE(buffer->Lock(4000, 4).Is(ErrorKind::Failed));
    auto region = buffer->Lock(2000, 2000);
    ASSERT_TRUE(region);
    EXPECT_EQ(region->size(), 2000u);
    EXPECT_TRUE(buffer->Lock(0, 100).Is(ErrorKind::Failed));  // one region at a time
    std::memset(region->data(), 0x11, region->size());
    EXPECT_TRUE(buffer->Unlock(*region));
    EXPECT_TRUE(buffer->Unlock(*region).Is(ErrorKind::Failed));  // nothing is locked
    std::uint8_t elsewhere[16] = {};
    ASSERT_TRUE(buffer->Lock(0, 16));
    EXPECT_TRUE(buffer->Unlock(elsewhere).Is(ErrorKind::Failed));  // not the buffer's memory
    auto again = buffer->Lock(0, 16);
    ASSERT_TRUE(again) << "a refused unlock still ends the lock";
    EXPECT_TRUE(buffer->Unlock(*again));

    EXPECT_TRUE(buffer->SetPosition(1003));
    EXPECT_EQ(buffer->PlayCursor(), 1000u);  // whole frames
    EXPECT_TRUE(buffer->SetPosition(4000).Is(ErrorKind::Failed));
    EXPECT_EQ(buffer->PlayCursor(), 1000u);

    // Lost while locked: what was written is gone, and the unlock says so.
    region = buffer->Lock(0, 100);
    ASSERT_TRUE(region);
    buffer->SimulateLoss();
    EXPECT_TRUE(buffer->Unlock(*region).Is(ErrorKind::Lost));
    EXPECT_TRUE(buffer->Lock(0, 100).Is(ErrorKind::Lost));
    buffer->Restore();
    region = buffer->Lock(2000, 2000);
    ASSERT_TRUE(region);
    EXPECT_EQ((*region)[0], 0);  // restored memory is silence
    EXPECT_TRUE(buffer->Unlock(*region));
}

// Buffers are mixed: two tones add up, a stopped buffer adds nothing, the output is clipped
// both ways, and a lost buffer plays silence while its cursor moves on. Driven frame by frame
// through the mixer both drivers share, so no clock is involved.
TEST(AudioDevice, MixesPlayingBuffers) {
    platform::Mixer mixer({2, 44100});
    auto buffer = [&](std::int16_t value) {
        auto b = mixer.Add({2, 44100}, 17640);
        EXPECT_TRUE(b) << b.why();
        std::shared_ptr<platform::BufferState> state = b ? *b : nullptr;
        if (state) std::fill_n(reinterpret_cast<std::int16_t*>(state->data.data()), state->data.size() / 2, value);
        return state;
    };
    auto play = [](const std::shared_ptr<platform::BufferState>& b, bool on) {
        std::lock_guard<std::mutex> guard(b->lock);
        b->playing = on;
    };
    // Every sample of the next `frames` frames; 0x7fff7fff when they differ.
    std::vector<std::int16_t> out;
    auto mix = [&](int frames) {
        out.assign(static_cast<std::size_t>(frames) * 2, 0);
        mixer.Mix(out.data(), frames);
        const bool same = std::all_of(out.begin(), out.end(), [&](std::int16_t s) { return s == out[0]; });
        return same ? int{out[0]} : 0x7fff7fff;
    };
    const auto a = buffer(1000), b = buffer(2000), c = buffer(30000), low = buffer(-30000), lower = buffer(-3000);
    ASSERT_TRUE(a && b && c && low && lower);
    EXPECT_EQ(mixer.BufferCount(), 5u);

    EXPECT_EQ(mix(256), 0);  // nothing plays
    play(a, true);
    play(b, true);
    EXPECT_EQ(mix(512), 3000);
    play(c, true);
    EXPECT_EQ(mix(512), 32767);
    play(a, false);
    play(b, false);
    play(c, false);
    play(low, true);
    play(lower, true);
    EXPECT_EQ(mix(512), -32768);
    play(lower, false);
    EXPECT_EQ(mix(100), -30000);

    const DWORD before = low->cursor;
    low->lost = true;
    low->DropConverted();
    EXPECT_EQ(mix(441), 0);
    EXPECT_GE(low->cursor, before + 441 * 4) << "a lost buffer still plays on";
    EXPECT_EQ(mixer.FramesMixed(), 256u + 512 + 512 + 512 + 100 + 441);

    mixer.Remove(low.get());
    EXPECT_EQ(mixer.BufferCount(), 4u);
}

namespace {

// Polls until `done` holds; false after five seconds. For states that follow an action on
// another thread; what is checked is the state, not how soon it came.
template <class Done>
bool Eventually(Done done) {
    for (int i = 0; i < 5000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

DWORD Cursor(const SoundBuffer& b) { return b.PlayCursor(); }

}  // namespace

// With nothing playing the output sleeps and mixes nothing; the first buffer that plays wakes
// it, and it sleeps again once the last one has stopped or gone. Both outputs: the silent one
// and SDL's device (its dummy driver under CTest).
TEST(AudioDevice, SleepsWhileNothingPlays) {
    for (AudioOutput kind : {AudioOutput::Silent, AudioOutput::Driver}) {
        SCOPED_TRACE(kind == AudioOutput::Silent ? "silent output" : "SDL output");
        auto device = AudioDevice::Open(kind);
        ASSERT_EQ(device->IsSilent(), kind == AudioOutput::Silent) << "SDL_AUDIODRIVER=dummy opens";
        auto a = Buffer(*device, {2, 44100}, 17640);
        auto b = Buffer(*device, {1, 22050}, 4410);
        ASSERT_TRUE(a && b);
        ASSERT_TRUE(Eventually([&] { return device->IsSleeping(); }));
        const std::uint64_t asleep = device->FramesMixed();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(device->FramesMixed(), asleep);

        a->Play();
        EXPECT_FALSE(device->IsSleeping());
        EXPECT_TRUE(Eventually([&] { return device->FramesMixed() > asleep && Cursor(*a) > 0; }));
        b->Play();
        a->Stop();
        EXPECT_EQ(device->PlayingBufferCount(), 1u);
        const DWORD at = Cursor(*b);
        EXPECT_TRUE(Eventually([&] { return Cursor(*b) != at; }));  // one still plays: awake
        EXPECT_FALSE(device->IsSleeping());
        b->Stop();
        EXPECT_TRUE(Eventually([&] { return device->IsSleeping(); }));

        // A buffer destroyed while it plays no longer keeps the output awake.
        a->Play();
        a.reset();
        EXPECT_EQ(device->PlayingBufferCount(), 0u);
        EXPECT_TRUE(Eventually([&] { return device->IsSleeping(); }));
    }
}

// A paused SDL device still runs its thread; once nothing has played for a while the output
// lets the card go, and the next sound takes it again and is heard. A removal while the card
// is let go still falls back to the silent output.
TEST(AudioDevice, LetsTheSoundCardGoWhenIdleAndTakesItBackToPlay) {
    auto device = AudioDevice::Open(AudioOutput::Driver);
    ASSERT_FALSE(device->IsSilent()) << "SDL_AUDIODRIVER=dummy opens";
    auto buffer = Buffer(*device, {2, 44100}, 176400);
    ASSERT_TRUE(buffer);
    EXPECT_TRUE(device->HoldsSoundCard());
    ASSERT_TRUE(Eventually([&] { return !device->HoldsSoundCard(); }));
    EXPECT_TRUE(device->IsSleeping());
    EXPECT_FALSE(device->IsSilent());

    for (int round = 0; round < 2; ++round) {
        const std::uint64_t mixed = device->FramesMixed();
        buffer->Play();
        EXPECT_TRUE(device->HoldsSoundCard());
        EXPECT_TRUE(Eventually([&] { return device->FramesMixed() > mixed; }));
        // A quick restart keeps the card.
        buffer->Stop();
        buffer->Play();
        EXPECT_TRUE(device->HoldsSoundCard());
        buffer->Stop();
        ASSERT_TRUE(Eventually([&] { return !device->HoldsSoundCard(); }));
    }

    device->SimulateRemoval();
    EXPECT_TRUE(device->IsSilent());
    buffer->Play();
    EXPECT_FALSE(device->HoldsSoundCard());
    EXPECT_TRUE(Eventually([&] { return Cursor(*buffer) > 0; }));
}

// After the sound card has gone the silent output stands in for it, sleeping while nothing
// plays and waking when a buffer starts. (A sound playing at the removal still ends: see
// SoundPlayback.SoundCardRemovedMidSoundStillEnds.)
TEST(AudioDevice, RemovedSoundCardFallsBackToTheSilentOutput) {
    auto device = AudioDevice::Open(AudioOutput::Driver);
    ASSERT_FALSE(device->IsSilent()) << "SDL_AUDIODRIVER=dummy opens";
    auto buffer = Buffer(*device, {2, 44100}, 176400);
    ASSERT_TRUE(buffer);
    device->SimulateRemoval();
    device->SimulateRemoval();  // told twice: nothing more happens
    EXPECT_TRUE(device->IsSilent());
    EXPECT_TRUE(Eventually([&] { return device->IsSleeping(); }));
    buffer->Play();
    EXPECT_TRUE(Eventually([&] { return Cursor(*buffer) > 0; }));
}

// SDL's dummy driver is no sound card: the default output stands the silent driver in without a
// word, while a driver that cannot be had at all is said once. A buffer that outlives its
// device goes silent and still answers.
TEST(AudioDevice, ChoosesItsDriverAndOutlivesIt) {
    testing::internal::CaptureStderr();
    DrivenClock clock;
    auto quiet = AudioDevice::Open(AudioOutput::Default, clock);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(quiet->IsSilent());
    EXPECT_FALSE(quiet->HoldsSoundCard());
    quiet->SimulateRemoval();  // no card: nothing happens
    EXPECT_TRUE(quiet->IsSilent());

    auto buffer = Buffer(*quiet, {2, 44100}, 4000);
    ASSERT_TRUE(buffer);
    buffer->Play();
    EXPECT_EQ(quiet->PlayingBufferCount(), 1u);
    quiet.reset();
    buffer->Stop();
    buffer->Play();
    const DWORD at = buffer->PlayCursor();
    clock.AdvanceMs(30);
    EXPECT_EQ(buffer->PlayCursor(), at) << "nothing mixes once the device is gone";
    auto region = buffer->Lock(0, 4000);
    ASSERT_TRUE(region);
    EXPECT_TRUE(buffer->Unlock(*region));
    buffer.reset();

    const char* old = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = old ? old : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    auto none = AudioDevice::Open(AudioOutput::Driver);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(none->IsSilent());
    EXPECT_NE(said.find("sounds play silently"), std::string::npos) << said;
    if (old)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

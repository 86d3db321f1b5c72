#include "platform/audio_device.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/clock.h"

using platform::AudioDevice;
using platform::AudioOutput;
using platform::AudioResult;
using platform::Clock;
using platform::SoundBuffer;

// The silent output consumes a playing buffer at the buffer's own rate in clock time, and
// a stopped buffer not at all.
TEST(AudioDevice, SilentOutputKeepsTheBufferRate) {
    Clock::SetScale(4.0);
    auto device = AudioDevice::Open(AudioOutput::Silent);
    ASSERT_TRUE(device->IsSilent());
    auto buffer = device->CreateBuffer({1, 22050}, 44100 * 4);  // 4 s: no wrap in this test
    ASSERT_TRUE(buffer);
    EXPECT_EQ(device->BufferCount(), 1u);

    DWORD cursor = 1;
    ASSERT_EQ(buffer->GetPlayCursor(&cursor), AudioResult::Ok);
    EXPECT_EQ(cursor, 0u);
    const DWORD start = Clock::Milliseconds();
    buffer->Play();
    Clock::Sleep(1000);
    buffer->Stop();
    const DWORD elapsed = Clock::Milliseconds() - start;
    buffer->GetPlayCursor(&cursor);
    EXPECT_NEAR(cursor, elapsed * 44.1, 44100 * 0.08);  // 44,100 bytes a second
    EXPECT_EQ(cursor % 2, 0u);

    Clock::Sleep(200);
    DWORD still = 0;
    buffer->GetPlayCursor(&still);
    EXPECT_EQ(still, cursor);
    Clock::SetScale(1.0);
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
    auto buffer = device->CreateBuffer({2, 44100}, 4000);
    ASSERT_TRUE(buffer);

    void* region = nullptr;
    EXPECT_EQ(buffer->Lock(3000, 2000, &region), AudioResult::Failed);  // past the end
    EXPECT_EQ(buffer->Lock(4000, 4, &region), AudioResult::Failed);
    ASSERT_EQ(buffer->Lock(2000, 2000, &region), AudioResult::Ok);
    void* second = nullptr;
    EXPECT_EQ(buffer->Lock(0, 100, &second), AudioResult::Failed);  // one region at a time
    std::memset(region, 0x11, 2000);
    EXPECT_EQ(buffer->Unlock(region, 2000), AudioResult::Ok);
    EXPECT_EQ(buffer->Unlock(region, 2000), AudioResult::Failed);

    EXPECT_EQ(buffer->SetPosition(1003), AudioResult::Ok);
    DWORD cursor = 0;
    buffer->GetPlayCursor(&cursor);
    EXPECT_EQ(cursor, 1000u);  // whole frames
    EXPECT_EQ(buffer->SetPosition(4000), AudioResult::Failed);

    buffer->SimulateLoss();
    EXPECT_EQ(buffer->Lock(0, 100, &region), AudioResult::BufferLost);
    EXPECT_EQ(buffer->Restore(), AudioResult::Ok);
    ASSERT_EQ(buffer->Lock(2000, 2000, &region), AudioResult::Ok);
    EXPECT_EQ(static_cast<unsigned char*>(region)[0], 0);  // restored memory is silence
    buffer->Unlock(region, 2000);
}

// Buffers are mixed: two tones add up, a stopped buffer adds nothing, and the output is clipped.
TEST(AudioDevice, MixesPlayingBuffers) {
    auto device = AudioDevice::Open(AudioOutput::Silent);
    auto fill = [](SoundBuffer& b, std::int16_t value) {
        void* region = nullptr;
        ASSERT_EQ(b.Lock(0, b.Size(), &region), AudioResult::Ok);
        auto* s = static_cast<std::int16_t*>(region);
        for (DWORD i = 0; i < b.Size() / 2; ++i) s[i] = value;
        b.Unlock(region, b.Size());
    };
    auto a = device->CreateBuffer({2, 44100}, 17640);
    auto b = device->CreateBuffer({2, 44100}, 17640);
    auto c = device->CreateBuffer({2, 44100}, 17640);
    fill(*a, 1000);
    fill(*b, 2000);
    fill(*c, 30000);
    device->StartCapture();
    a->Play();
    b->Play();
    Clock::Sleep(60);
    c->Play();
    Clock::Sleep(60);
    a->Stop();
    b->Stop();
    c->Stop();
    const auto capture = device->TakeCapture();
    bool sawSum = false, sawClip = false;
    for (std::int16_t s : capture) {
        EXPECT_TRUE(s == 0 || s == 3000 || s == 32767 || s == 1000 || s == 2000) << s;
        sawSum |= s == 3000;
        sawClip |= s == 32767;
    }
    EXPECT_TRUE(sawSum);
    EXPECT_TRUE(sawClip);
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

DWORD Cursor(const SoundBuffer& b) {
    DWORD cursor = 0;
    b.GetPlayCursor(&cursor);
    return cursor;
}

}  // namespace

// With nothing playing the output sleeps and mixes nothing; the first buffer that plays wakes
// it, and it sleeps again once the last one has stopped or gone. Both outputs: the silent one
// and SDL's device (its dummy driver under CTest).
TEST(AudioDevice, SleepsWhileNothingPlays) {
    for (AudioOutput kind : {AudioOutput::Silent, AudioOutput::Driver}) {
        SCOPED_TRACE(kind == AudioOutput::Silent ? "silent output" : "SDL output");
        auto device = AudioDevice::Open(kind);
        ASSERT_EQ(device->IsSilent(), kind == AudioOutput::Silent) << "SDL_AUDIODRIVER=dummy opens";
        auto a = device->CreateBuffer({2, 44100}, 17640);
        auto b = device->CreateBuffer({1, 22050}, 4410);
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
    auto buffer = device->CreateBuffer({2, 44100}, 176400);
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
    auto buffer = device->CreateBuffer({2, 44100}, 176400);
    ASSERT_TRUE(buffer);
    device->SimulateRemoval();
    device->SimulateRemoval();  // told twice: nothing more happens
    EXPECT_TRUE(device->IsSilent());
    EXPECT_TRUE(Eventually([&] { return device->IsSleeping(); }));
    buffer->Play();
    EXPECT_TRUE(Eventually([&] { return Cursor(*buffer) > 0; }));
}

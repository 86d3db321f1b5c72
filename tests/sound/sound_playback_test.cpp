// Playback through the silent output with the clock running faster than real time. Timing
// bounds are in clock milliseconds and generous: they catch a wrong end rule, not jitter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "tests/sound/sound_harness.h"

namespace {

// The stream's id; 0, which names no stream, when it cannot be made (and the test fails).
DWORD FromMemory(SoundHarness& h, const std::wstring& name, const std::vector<unsigned char>& bytes) {
    const auto id = h.system.CreateSoundFromMemory(name, bytes.data(), static_cast<DWORD>(bytes.size()));
    EXPECT_TRUE(id) << id.why();
    return id.value_or(0);
}

// First and last output frame with sound in it (stereo capture); {-1, -1} when all silent.
std::pair<long, long> SoundSpan(const std::vector<std::int16_t>& capture, long from = 0) {
    long first = -1, last = -1;
    for (long f = from; f < static_cast<long>(capture.size() / 2); ++f) {
        if (capture[2 * f] != 0 || capture[2 * f + 1] != 0) {
            if (first < 0) first = f;
            last = f;
        }
    }
    return {first, last};
}

// Plays `id` to its natural end while capturing; returns the capture and the clock time from
// Play to the ended notification.
std::vector<std::int16_t> PlayToEnd(SoundHarness& h, DWORD id, DWORD* endedAfterMs = nullptr) {
    bool ended = false;
    DWORD endedAt = 0;
    h.system.ConnectEnded(id, [&](DWORD) {
        ended = true;
        endedAt = h.clock.Milliseconds();
        return 0L;
    });
    h.system.Output()->StartCapture();
    const DWORD start = h.clock.Milliseconds();
    EXPECT_TRUE(h.system.Play(id));
    EXPECT_TRUE(h.RunUntil([&] { return ended; }, 60000));
    if (endedAfterMs) *endedAfterMs = endedAt - start;
    return h.system.Output()->TakeCapture();
}

}  // namespace

// Every frame a source delivers reaches the output once: a resource sound loses its tail,
// the same image from memory does not (counted in the mixed output).
TEST(SoundPlayback, FramesReachingTheOutput) {
    SoundHarness h;
    const auto stereo = EncodeTone({2, 44100, 30000, 441.0, 0.5});
    const auto mono = EncodeTone({1, 22050, 15000, 441.0, 0.5});
    h.system.SetResources({h.Lookup({{137, &stereo}, {138, &mono}}), {}});
    struct Case {
        DWORD id;
        long expectedOutputFrames;
    };
    const Case cases[] = {
        {h.system.CreateSound(L"137").value_or(0), 30000 - 3528},
        {FromMemory(h, L"stereo", stereo), 30000},
        {h.system.CreateSound(L"138").value_or(0), (15000 - 882) * 2},  // 22.05 kHz doubles at the output
        {FromMemory(h, L"mono", mono), 15000 * 2},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.id, 0u);
        const auto capture = PlayToEnd(h, c.id);
        const auto [first, last] = SoundSpan(capture);
        ASSERT_GE(first, 0) << "stream " << c.id;
        EXPECT_NEAR(last - first + 1, c.expectedOutputFrames, 40) << "stream " << c.id;
    }
}

// A known tone comes out at the output's rate with its frequency and length intact.
TEST(SoundPlayback, CapturedToneKeepsFrequencyAndLength) {
    SoundHarness h;
    const auto tone = EncodeTone({1, 22050, 22050, 1000.0, 0.6});
    const auto capture = PlayToEnd(h, FromMemory(h, L"tone", tone));
    const auto format = h.system.Output()->OutputFormat();
    EXPECT_TRUE(platform::WriteWav("sound_tone_capture.wav", capture, format));

    const auto [first, last] = SoundSpan(capture);
    ASSERT_GE(first, 0);
    EXPECT_NEAR((last - first + 1) / static_cast<double>(format.rate), 1.0, 0.002);
    int rising = 0;
    for (long f = first + 1; f <= last; ++f) rising += capture[2 * (f - 1)] < 0 && capture[2 * f] >= 0;
    EXPECT_NEAR(rising / ((last - first + 1) / static_cast<double>(format.rate)), 1000.0, 5.0);
    // Both output channels carry the mono source.
    EXPECT_EQ(capture[2 * (first + 100)], capture[2 * (first + 100) + 1]);
}

TEST(SoundPlayback, EndTiming) {
    SoundHarness h;
    const auto shortTone = EncodeTone({2, 44100, 13230, 441.0, 0.5});  // 0.3 s
    const auto longTone = EncodeTone({1, 22050, 50715, 441.0, 0.5});   // 2.3 s
    DWORD shortMs = 0, longMs = 0;
    PlayToEnd(h, FromMemory(h, L"short", shortTone), &shortMs);
    PlayToEnd(h, FromMemory(h, L"long", longTone), &longMs);
    // Shorter than half a buffer: one more half of silence, so about a second.
    EXPECT_GE(shortMs, 960u);
    EXPECT_LE(shortMs, 1200u);
    // Longer: the half holding the last sample ends at 2.5 s; the stop follows within a poll.
    EXPECT_GE(longMs, 2460u);
    EXPECT_LE(longMs, 2700u);
}

// Play of a playing stream and Stop of a stopped one post nothing; Stop returns after the
// thread ended, and the ended slots run only when its message is dispatched, and only those
// connected before that playback ended.
TEST(SoundPlayback, PlayAndStopTwice) {
    SoundHarness h;
    const auto tone = EncodeTone({2, 44100, 88200, 441.0, 0.5});
    const DWORD id = FromMemory(h, L"two", tone);
    int ended = 0, started = 0;
    h.system.ConnectEnded(id, [&](DWORD) {
        ++ended;
        return 0L;
    });
    h.system.Find(id)->ConnectStarted([&](DWORD) {
        ++started;
        return 0L;
    });
    const auto& m = h.system.Messages();

    EXPECT_TRUE(h.system.Play(id));
    EXPECT_TRUE(h.system.Play(id));  // true: the id names a stream
    EXPECT_FALSE(h.system.Find(id)->Play());
    h.RunFor(100);
    EXPECT_EQ(h.Count(m.play), 1);
    EXPECT_EQ(started, 1);

    EXPECT_TRUE(h.system.Stop(id));
    EXPECT_EQ(h.system.Find(id)->State(), StreamState::Stopped);
    EXPECT_EQ(ended, 0);
    EXPECT_FALSE(h.system.Find(id)->Stop());
    EXPECT_TRUE(h.system.Stop(id));
    h.RunFor(100);
    EXPECT_EQ(h.Count(m.pause), 1);
    EXPECT_EQ(ended, 1);

    // An end belongs to its playback: a slot connected after a Stop, while that end is still
    // on its way, hears only the end of the next playback (here as the only slot, as when a
    // screen asks for the sound again and connects afresh).
    EXPECT_TRUE(h.system.Play(id));
    EXPECT_TRUE(h.system.Stop(id));
    EXPECT_EQ(FromMemory(h, L"two", tone), id);
    int later = 0;
    h.system.ConnectEnded(id, [&](DWORD) { return long(++later); });
    EXPECT_TRUE(h.system.Play(id));
    h.Pump();
    EXPECT_EQ(later, 0);
    EXPECT_TRUE(h.system.Stop(id));
    h.Pump();
    EXPECT_EQ(later, 1);
    EXPECT_EQ(ended, 1);
}

// A Stop that comes right after Play wins however the playback thread is scheduled: once Stop
// returns the buffer is silent, and every playback has posted its one ended notification.
TEST(SoundPlayback, StopRightAfterPlayWins) {
    SoundHarness h;
    const auto tone = EncodeTone({2, 44100, 88200, 441.0, 0.5});
    const DWORD id = FromMemory(h, L"quick", tone);
    int ended = 0;
    h.system.ConnectEnded(id, [&](DWORD) {
        ++ended;
        return 0L;
    });
    constexpr int kRounds = 200;
    int leftPlaying = 0, endedLate = 0;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(h.system.Play(id));
        ASSERT_TRUE(h.system.Stop(id));
        leftPlaying += h.system.Output()->PlayingBufferCount() != 0;
        h.Pump();
        endedLate += ended != i + 1;
    }
    EXPECT_EQ(leftPlaying, 0) << "rounds whose buffer kept looping after Stop";
    EXPECT_EQ(endedLate, 0) << "rounds whose ended notification was not posted by Stop";
    h.RunFor(200);
    EXPECT_EQ(ended, kRounds);
    const auto& m = h.system.Messages();
    std::vector<UINT> order;
    for (const SeenMessage& s : h.seen)
        if (s.message == m.play || s.message == m.pause) order.push_back(s.message);
    ASSERT_EQ(order.size(), 2u * kRounds);
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(order[2 * i], m.play);
        EXPECT_EQ(order[2 * i + 1], m.pause);
    }
}

// After Stop the next Play starts again from the first sample.
TEST(SoundPlayback, StopThenPlayRestartsFromTheFirstSample) {
    SoundHarness h;
    const auto tone = EncodeTone({2, 44100, 88200, 441.0, 0.5});
    const DWORD id = FromMemory(h, L"restart", tone);
    platform::AudioDevice* out = h.system.Output();
    out->StartCapture();
    const std::uint64_t atStart = out->FramesMixed();
    h.system.Play(id);
    h.RunFor(300);
    h.system.Stop(id);
    h.RunFor(150);
    // The output sleeps between the playbacks, so the second begins after what was mixed so far.
    const auto secondFrom = static_cast<long>(out->FramesMixed() - atStart);
    h.system.Play(id);
    h.RunFor(300);
    h.system.Stop(id);
    const auto capture = out->TakeCapture();

    const auto [first, last] = SoundSpan(capture);
    ASSERT_GE(first, 0);
    ASSERT_GT(secondFrom, first + 2000);
    const long second = SoundSpan(capture, secondFrom).first;
    ASSERT_GE(second, secondFrom);
    for (long i = 0; i < 2000; ++i) ASSERT_EQ(capture[2 * (first + i)], capture[2 * (second + i)]) << "frame " << i;
}

// Labels: a label that had not fired is scheduled again by the next Play; it fires once, at
// its time from the start of playback; a fired label is gone.
TEST(SoundPlayback, LabelsAreRescheduledAndFireOnce) {
    SoundHarness h;
    const auto tone = EncodeTone({1, 22050, 22050 * 24, 300.0, 0.3});
    const DWORD id = FromMemory(h, L"instruction", tone);
    std::vector<DWORD> firedAt;
    h.system.ConnectLabel(id, [&](DWORD got, DWORD t) {
        EXPECT_EQ(got, id);
        EXPECT_EQ(t, CSoundSystem::kLabelTime);
        firedAt.push_back(h.clock.Milliseconds());
        return 0L;
    });
    bool ended = false;
    h.system.ConnectEnded(id, [&](DWORD) {
        ended = true;
        return 0L;
    });
    CSoundStream* s = h.system.Find(id);

    h.system.Play(id);
    EXPECT_EQ(h.timers.Count(), 1u);
    h.RunFor(1000);
    h.system.Stop(id);
    EXPECT_EQ(h.timers.Count(), 0u);
    EXPECT_EQ(s->LabelTimes(), std::vector<DWORD>{CSoundSystem::kLabelTime});
    h.RunUntil([&] { return h.Count(h.system.Messages().pause) == 1; }, 1000);
    ended = false;

    const DWORD start = h.clock.Milliseconds();
    h.system.Play(id);
    EXPECT_EQ(h.timers.Count(), 1u);
    ASSERT_TRUE(h.RunUntil([&] { return ended; }, 30000));
    ASSERT_EQ(firedAt.size(), 1u);
    EXPECT_EQ(firedAt[0] - start, 22700u);
    EXPECT_TRUE(s->LabelTimes().empty());
    EXPECT_EQ(h.timers.Count(), 0u);

    h.system.Play(id);  // nothing left to schedule
    EXPECT_EQ(h.timers.Count(), 0u);
    // A label asked for while the sound plays leaves that playback alone; a stopped stream
    // takes it for the next one.
    EXPECT_TRUE(h.system.ConnectLabel(id, [](DWORD, DWORD) { return 0L; }).connected());
    EXPECT_TRUE(s->LabelTimes().empty());
    h.system.Stop(id);
    EXPECT_EQ(firedAt.size(), 1u);
    h.system.ConnectLabel(id, [](DWORD, DWORD) { return 0L; });
    EXPECT_EQ(s->LabelTimes(), std::vector<DWORD>{CSoundSystem::kLabelTime});
}

// A label later than the end never fires, and its timer goes with the playback.
TEST(SoundPlayback, LabelAfterTheEndNeverFires) {
    SoundHarness h;
    const auto tone = EncodeTone({2, 44100, 22050, 441.0, 0.5});
    const DWORD id = FromMemory(h, L"short", tone);
    int labels = 0;
    h.system.ConnectLabel(id, [&](DWORD, DWORD) {
        ++labels;
        return 0L;
    });
    PlayToEnd(h, id);
    h.Pump();
    EXPECT_EQ(h.timers.Count(), 0u);
    EXPECT_EQ(h.system.Find(id)->ScheduledLabelTimers(), 0u);
    h.RunFor(2000);
    EXPECT_EQ(labels, 0);
    // Not having fired, it is scheduled again by the next playback.
    EXPECT_EQ(h.system.Find(id)->LabelTimes(), std::vector<DWORD>{CSoundSystem::kLabelTime});
}

// Slots may start the sound again; the ended notification of the old playback always comes
// before the started notification of the new one.
TEST(SoundPlayback, EndedSlotMayPlayAgain) {
    SoundHarness h;
    const auto tone = EncodeTone({2, 44100, 4410, 441.0, 0.5});
    const DWORD id = FromMemory(h, L"again", tone);
    int ended = 0;
    h.system.ConnectEnded(id, [&](DWORD) {
        if (++ended < 3) h.system.Play(id);
        return 0L;
    });
    h.system.Play(id);
    ASSERT_TRUE(h.RunUntil([&] { return ended == 3; }, 10000));
    const auto& m = h.system.Messages();
    std::vector<UINT> order;
    for (const SeenMessage& s : h.seen)
        if (s.message == m.play || s.message == m.pause) order.push_back(s.message);
    EXPECT_EQ(order, (std::vector<UINT>{m.play, m.pause, m.play, m.pause, m.play, m.pause}));
}

// Destroying the system while sounds play ends their threads at once, as Stop does: it does
// not wait for the sounds to end, every thread has posted its ended notification by the time
// the destructor returns, and nothing is posted afterwards.
TEST(SoundPlayback, DestroyWhilePlaying) {
    const auto tone = EncodeTone({1, 22050, 22050 * 10, 441.0, 0.5});
    auto h = std::make_unique<SoundHarness>();
    const DWORD a = FromMemory(*h, L"a", tone);
    const DWORD b = FromMemory(*h, L"b", tone);
    ASSERT_TRUE(h->system.Play(a));
    ASSERT_TRUE(h->system.Play(b));
    h->RunFor(300);
    ASSERT_EQ(h->system.Find(a)->State(), StreamState::Playing);
    ASSERT_EQ(h->system.Find(b)->State(), StreamState::Playing);
    const UINT pause = h->system.Messages().pause;

    // The sounds had more than 9 s to go, and the clock stands still: a destructor that
    // waited for them would never return.
    h.reset();

    std::vector<WPARAM> ended;
    int others = 0;
    platform::Message m;
    while (platform::MainQueue().Take(&m)) {
        if (m.message == pause)
            ended.push_back(m.wParam);
        else
            ++others;
    }
    std::sort(ended.begin(), ended.end());
    EXPECT_EQ(ended, (std::vector<WPARAM>{a, b}));
    EXPECT_EQ(others, 0);
    EXPECT_TRUE(platform::MainQueue().Empty()) << "a playback thread outlived its system";
}

// A sound card that goes away mid-sound (a USB headset unplugged) does not leave the sound
// hanging: it ends, and its ended notification arrives, as the silent output takes over.
TEST(SoundPlayback, SoundCardRemovedMidSoundStillEnds) {
    SoundHarness h(platform::AudioOutput::Driver);
    ASSERT_FALSE(h.system.Output()->IsSilent()) << "SDL_AUDIODRIVER=dummy opens";
    const auto tone = EncodeTone({2, 44100, 66150, 441.0, 0.5});  // 1.5 s
    const DWORD id = FromMemory(h, L"unplugged", tone);
    bool ended = false;
    h.system.ConnectEnded(id, [&](DWORD) {
        ended = true;
        return 0L;
    });
    ASSERT_TRUE(h.system.Play(id));
    h.RunFor(200);
    h.system.Output()->SimulateRemoval();
    EXPECT_TRUE(h.system.Output()->IsSilent());
    EXPECT_TRUE(h.RunUntil([&] { return ended; }, 20000));
    EXPECT_EQ(h.system.Find(id)->State(), StreamState::Stopped);
}

// With no sound card at all (SDL's dummy driver, or no usable driver) sounds still end.
TEST(SoundPlayback, NoSoundCardStillEnds) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = old ? old : "";
    for (const char* driver : {"dummy", "no-such-driver"}) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        SoundHarness h(platform::AudioOutput::Default);
        EXPECT_TRUE(h.system.Output()->IsSilent()) << driver;
        const auto tone = EncodeTone({2, 44100, 4410, 441.0, 0.5});
        DWORD after = 0;
        PlayToEnd(h, FromMemory(h, L"x", tone), &after);
        EXPECT_GE(after, 900u) << driver;
    }
    if (old)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/sound/sound_harness.h"

namespace {
struct Tones {
    std::vector<unsigned char> stereo = EncodeTone({2, 44100, 8000, 440.0, 0.5});
    std::vector<unsigned char> mono = EncodeTone({1, 22050, 8000, 440.0, 0.5});
};
Tones& SharedTones() {
    static Tones tones;
    return tones;
}
}  // namespace

TEST(SoundSystem, IdsAndSharingByName) {
    SoundHarness h;
    Tones& t = SharedTones();
    h.system.SetResources({h.Lookup({{137, &t.stereo}, {138, &t.mono}}), {}});

    EXPECT_EQ(h.system.CreateSound(L"137"), 1u);
    EXPECT_EQ(h.system.CreateSound(L"138"), 2u);
    EXPECT_EQ(h.system.CreateSound(L"137"), 1u);
    // The same bytes under another name are another stream.
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem", t.stereo.data(), static_cast<DWORD>(t.stereo.size())), 3u);
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem", nullptr, 0), 3u);  // shared: not opened again

    // Failures hand out 0, record nothing and use up no id.
    EXPECT_EQ(h.system.CreateSound(L"139"), 0u);
    EXPECT_EQ(h.system.CreateSound(L"12abc"), 0u);  // not a number: a (missing) file
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"bad", "nonsense", 8), 0u);
    EXPECT_EQ(h.system.StreamCount(), 3u);
    EXPECT_EQ(h.system.SourceCount(), 3u);
    EXPECT_EQ(h.system.CreateSound(L"138"), 2u);
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem2", t.mono.data(), static_cast<DWORD>(t.mono.size())), 4u);

    EXPECT_FALSE(h.system.Play(0));
    EXPECT_FALSE(h.system.Stop(0));
    EXPECT_FALSE(h.system.Play(99));
    EXPECT_FALSE(h.system.ConnectEnded(0, [](DWORD) { return 0L; }).connected());
    EXPECT_FALSE(h.system.ConnectLabel(99, [](DWORD, DWORD) { return 0L; }).connected());
    EXPECT_TRUE(platform::MainQueue().Empty());
}

// Numbered sounds come only from the resources the system was given: the test environment
// names the source tree, and the program must not find its sounds there by itself.
TEST(SoundSystem, NumberedSoundsComeOnlyFromTheGivenResources) {
    const std::string folder = SoundHarness::SourceTreeSoundFolder();
    ASSERT_FALSE(folder.empty());
    SoundHarness h;
    EXPECT_EQ(h.system.CreateSound(L"137"), 0u);
    h.system.SetResources({FileResourceLookup(folder), {}});
    const DWORD id = h.system.CreateSound(L"137");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(h.system.Find(id)->Source()->Origin(), SoundOrigin::ProgramResource);
    // Every numbered sound the program ships opens, in a format the output plays.
    int shipped = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (file.path().extension() != ".ogg") continue;
        ++shipped;
        EXPECT_NE(h.system.CreateSound(file.path().stem().wstring()), 0u) << file.path();
    }
    EXPECT_GE(shipped, 10);
}

TEST(SoundSystem, BufferSizesFollowTheFormat) {
    Tones& t = SharedTones();
    const auto largest = WithHeaderFormat(t.mono, 8, 384000);
    const auto overflowing = WithHeaderFormat(t.mono, 2, 2147483647);
    SoundHarness h;
    const DWORD stereo = h.system.CreateSoundFromMemory(L"s", t.stereo.data(), static_cast<DWORD>(t.stereo.size()));
    const DWORD mono = h.system.CreateSoundFromMemory(L"m", t.mono.data(), static_cast<DWORD>(t.mono.size()));
    EXPECT_EQ(h.system.Find(stereo)->BufferBytes(), 176400u);
    EXPECT_EQ(h.system.Find(stereo)->HalfBytes(), 88200u);
    EXPECT_EQ(h.system.Find(mono)->BufferBytes(), 44100u);
    EXPECT_EQ(h.system.Find(mono)->HalfBytes(), 22050u);

    // 11025 Hz mono has an odd number of bytes per second: halves are kept to whole frames.
    const auto odd = EncodeTone({1, 11025, 4000, 440.0, 0.5});
    const DWORD oddId = h.system.CreateSoundFromMemory(L"o", odd.data(), static_cast<DWORD>(odd.size()));
    EXPECT_EQ(h.system.Find(oddId)->HalfBytes(), 11024u);
    EXPECT_EQ(h.system.Find(oddId)->BufferBytes(), 22048u);

    // The largest playable format still gets its second of sound; a header whose rate once
    // overflowed the bytes per second gets no stream.
    const DWORD big = h.system.CreateSoundFromMemory(L"l", largest.data(), static_cast<DWORD>(largest.size()));
    ASSERT_NE(big, 0u);
    EXPECT_EQ(h.system.Find(big)->BufferBytes(), 8u * 2 * 384000);
    EXPECT_TRUE(h.system.Find(big)->HasBuffer());
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"x", overflowing.data(), static_cast<DWORD>(overflowing.size())), 0u);
}

// A repeated CreateSound clears the ended slots but keeps the label slots.
TEST(SoundSystem, RepeatedCreateClearsEndedSlotsOnly) {
    SoundHarness h;
    Tones& t = SharedTones();
    const DWORD id = h.system.CreateSoundFromMemory(L"x", t.mono.data(), static_cast<DWORD>(t.mono.size()));
    int ended = 0, labels = 0, endedAfter = 0;
    h.system.ConnectEnded(id, [&](DWORD got) {
        EXPECT_EQ(got, id);
        ++ended;
        return 0L;
    });
    h.system.ConnectLabel(id, [&](DWORD got, DWORD time) {
        EXPECT_EQ(got, id);
        EXPECT_EQ(time, CSoundSystem::kLabelTime);
        ++labels;
        return 0L;
    });
    h.system.ConnectLabel(id, [&](DWORD, DWORD) {
        ++labels;
        return 0L;
    });  // same time, listed once
    EXPECT_EQ(h.system.Find(id)->labelTimes, std::vector<DWORD>{CSoundSystem::kLabelTime});

    const auto& m = h.system.Messages();
    h.system.DispatchSoundMessage(m.pause, id, 1);  // the end of a first playback
    EXPECT_EQ(ended, 1);

    EXPECT_EQ(h.system.CreateSoundFromMemory(L"x", nullptr, 0), id);
    h.system.ConnectEnded(id, [&](DWORD) {
        ++endedAfter;
        return 0L;
    });
    EXPECT_TRUE(h.system.DispatchSoundMessage(m.pause, id, 1));
    EXPECT_TRUE(h.system.DispatchSoundMessage(m.label, id, CSoundSystem::kLabelTime));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(endedAfter, 1);
    EXPECT_EQ(labels, 2);

    // Messages naming no stream or no label time change nothing; others are not ours.
    EXPECT_TRUE(h.system.DispatchSoundMessage(m.label, 42, CSoundSystem::kLabelTime));
    EXPECT_TRUE(h.system.DispatchSoundMessage(m.label, id, 1000));
    EXPECT_TRUE(h.system.DispatchSoundMessage(m.play, 42, 0));
    EXPECT_FALSE(h.system.DispatchSoundMessage(WM_NULL, id, 0));
    EXPECT_FALSE(h.system.DispatchSoundMessage(WM_LBUTTONDOWN, id, 0));
    EXPECT_EQ(labels, 2);
    EXPECT_EQ(endedAfter, 1);
}

TEST(SoundSystem, MessagesAreRegisteredByName) {
    CSoundSystem system;
    const auto& m = system.Messages();
    EXPECT_EQ(m.play, platform::RegisterMessage(L"WM_IM_ONSOUNDPLAY"));
    EXPECT_EQ(m.pause, platform::RegisterMessage(L"WM_IM_ONSOUNDPOUSE"));
    EXPECT_EQ(m.stop, platform::RegisterMessage(L"WM_IM_ONSOUNDSTOP"));
    EXPECT_EQ(m.label, platform::RegisterMessage(L"WM_IM_ONLABEL"));
    EXPECT_GE(m.play, 0xC000u);
    EXPECT_NE(m.removeLabelTimers, 0u);
}

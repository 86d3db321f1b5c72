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

    EXPECT_EQ(h.system.CreateSound(L"137").value_or(0), 1u);
    EXPECT_EQ(h.system.CreateSound(L"138").value_or(0), 2u);
    EXPECT_EQ(h.system.CreateSound(L"137").value_or(0), 1u);
    // The same bytes under another name are another stream.
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem", t.stereo.data(), static_cast<DWORD>(t.stereo.size())).value_or(0),
              3u);
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem", nullptr, 0).value_or(0), 3u);  // shared: not opened again
    EXPECT_EQ(h.system.FindSound(L"mem"), std::optional<DWORD>(3));
    EXPECT_EQ(h.system.FindSound(L"never made"), std::nullopt);

    // Failures hand out no id, say why, record nothing and use up no id.
    EXPECT_TRUE(h.system.CreateSound(L"139").Is(platform::ErrorKind::Missing));
    EXPECT_TRUE(h.system.CreateSound(L"12abc").Is(platform::ErrorKind::Missing));  // not a number: a file
    const auto bad = h.system.CreateSoundFromMemory(L"bad", "nonsense", 8);
    EXPECT_TRUE(bad.Is(platform::ErrorKind::Damaged));
    EXPECT_NE(bad.why().find("not an Ogg Vorbis"), std::string::npos) << bad.why();
    EXPECT_EQ(h.system.FindSound(L"bad"), std::nullopt);
    EXPECT_EQ(h.system.StreamCount(), 3u);
    EXPECT_EQ(h.system.SourceCount(), 3u);
    EXPECT_EQ(h.system.CreateSound(L"138").value_or(0), 2u);
    EXPECT_EQ(h.system.CreateSoundFromMemory(L"mem2", t.mono.data(), static_cast<DWORD>(t.mono.size())).value_or(0),
              4u);

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
    EXPECT_FALSE(h.system.CreateSound(L"137"));
    h.system.SetResources({FileResourceLookup(folder), {}});
    const DWORD id = h.system.CreateSound(L"137").value_or(0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(h.system.Find(id)->Source()->Origin(), SoundOrigin::ProgramResource);
    // Every numbered sound the program ships opens, in a format the output plays.
    int shipped = 0;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        if (file.path().extension() != ".ogg") continue;
        ++shipped;
        EXPECT_TRUE(h.system.CreateSound(file.path().stem().wstring())) << file.path();
    }
    EXPECT_GE(shipped, 10);
}

// A name that is wholly a decimal integer (sign allowed) that fits an int is a resource number;
// anything else, spaces and hexadecimal included, is a file path.
TEST(SoundSystem, WhichNamesAreResourceNumbers) {
    Tones& t = SharedTones();
    std::vector<int> asked;
    SoundHarness h;
    h.system.SetResources({[&](int number) -> std::span<const std::byte> {
                               asked.push_back(number);
                               return {reinterpret_cast<const std::byte*>(t.mono.data()), t.mono.size()};
                           },
                           {}});
    for (const wchar_t* name : {L"137", L"+138", L"0139", L"-5", L"2147483647", L"-2147483648"})
        EXPECT_TRUE(h.system.CreateSound(name)) << name;
    EXPECT_EQ(asked, (std::vector<int>{137, 138, 139, -5, 2147483647, -2147483647 - 1}));
    for (const wchar_t* name : {L" 137", L"137 ", L"+", L"-", L"", L"2147483648", L"-2147483649", L"1e3", L"0x10"})
        EXPECT_TRUE(h.system.CreateSound(name).Is(platform::ErrorKind::Missing)) << name;  // no such file
    EXPECT_EQ(asked.size(), 6u);
}

TEST(SoundSystem, BufferSizesFollowTheFormat) {
    Tones& t = SharedTones();
    const auto largest = WithHeaderFormat(t.mono, 8, 384000);
    const auto overflowing = WithHeaderFormat(t.mono, 2, 2147483647);
    SoundHarness h;
    const DWORD stereo =
        h.system.CreateSoundFromMemory(L"s", t.stereo.data(), static_cast<DWORD>(t.stereo.size())).value_or(0);
    const DWORD mono =
        h.system.CreateSoundFromMemory(L"m", t.mono.data(), static_cast<DWORD>(t.mono.size())).value_or(0);
    EXPECT_EQ(h.system.Find(stereo)->BufferBytes(), 176400u);
    EXPECT_EQ(h.system.Find(stereo)->HalfBytes(), 88200u);
    EXPECT_EQ(h.system.Find(mono)->BufferBytes(), 44100u);
    EXPECT_EQ(h.system.Find(mono)->HalfBytes(), 22050u);

    // 11025 Hz mono has an odd number of bytes per second: halves are kept to whole frames.
    const auto odd = EncodeTone({1, 11025, 4000, 440.0, 0.5});
    const DWORD oddId = h.system.CreateSoundFromMemory(L"o", odd.data(), static_cast<DWORD>(odd.size())).value_or(0);
    EXPECT_EQ(h.system.Find(oddId)->HalfBytes(), 11024u);
    EXPECT_EQ(h.system.Find(oddId)->BufferBytes(), 22048u);

    // The largest playable format still gets its second of sound; a header whose rate once
    // overflowed the bytes per second gets no stream.
    const DWORD big =
        h.system.CreateSoundFromMemory(L"l", largest.data(), static_cast<DWORD>(largest.size())).value_or(0);
    ASSERT_NE(big, 0u);
    EXPECT_EQ(h.system.Find(big)->BufferBytes(), 8u * 2 * 384000);
    EXPECT_TRUE(h.system.Find(big)->HasBuffer());
    EXPECT_FALSE(h.system.CreateSoundFromMemory(L"x", overflowing.data(), static_cast<DWORD>(overflowing.size())));
}

// A repeated CreateSound clears the ended slots but keeps the label slots.
TEST(SoundSystem, RepeatedCreateClearsEndedSlotsOnly) {
    SoundHarness h;
    Tones& t = SharedTones();
    const DWORD id = h.system.CreateSoundFromMemory(L"x", t.mono.data(), static_cast<DWORD>(t.mono.size())).value_or(0);
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
    EXPECT_EQ(h.system.Find(id)->LabelTimes(), std::vector<DWORD>{CSoundSystem::kLabelTime});

    const auto& m = h.system.Messages();
    h.system.DispatchSoundMessage(m.pause, id, 1);  // the end of a first playback
    EXPECT_EQ(ended, 1);

    EXPECT_EQ(h.system.CreateSoundFromMemory(L"x", nullptr, 0).value_or(0), id);
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

#include "sound/sound_source.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/sound/test_tone.h"

namespace {

SoundResourceLookup Only(int number, const std::vector<unsigned char>& bytes) {
    return [number, &bytes](int n) -> std::span<const std::byte> {
        if (n != number) return {};
        return {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()};
    };
}

// Reads the whole source in odd-sized steps and returns the frames delivered.
std::int64_t ReadAllFrames(CSoundSource& source) {
    std::vector<char> chunk(10001);
    std::int64_t bytes = 0;
    for (;;) {
        const DWORD n = source.ReadPcm(chunk.data(), static_cast<DWORD>(chunk.size()));
        EXPECT_EQ(n % source.FrameBytes(), 0u);
        if (n == 0) break;
        bytes += n;
    }
    return bytes / source.FrameBytes();
}

}  // namespace

// A resource sound loses ⌊channels × rate × 0.04⌋ frames of its tail; the same image from
// memory plays every frame. ReadPcm never goes past the end, whatever it is asked for.
TEST(SoundSource, ResourceTailIsShortenedMemoryIsNot) {
    struct Case {
        int channels, rate;
        std::int64_t frames, tail;
    };
    for (Case c : {Case{2, 44100, 30000, 3528}, Case{1, 22050, 12345, 882}}) {
        const auto tone = EncodeTone({c.channels, c.rate, c.frames, 440.0, 0.5});
        SoundResourceModules modules{Only(137, tone), {}};

        CSoundSource resource;
        ASSERT_TRUE(resource.OpenResource(137, modules));
        EXPECT_EQ(resource.Origin(), SoundOrigin::ProgramResource);
        EXPECT_EQ(resource.Channels(), c.channels);
        EXPECT_EQ(resource.Rate(), c.rate);
        EXPECT_EQ(resource.FrameBytes(), c.channels * 2);
        EXPECT_EQ(resource.TotalFrames(), c.frames);
        EXPECT_EQ(ReadAllFrames(resource), c.frames - c.tail);
        std::vector<char> one(8);
        EXPECT_EQ(resource.ReadPcm(one.data(), 8), 0u);  // stays at the end

        ASSERT_TRUE(resource.Rewind());
        EXPECT_EQ(ReadAllFrames(resource), c.frames - c.tail);  // a second playback is whole

        CSoundSource memory;
        ASSERT_TRUE(memory.OpenMemory(tone.data(), static_cast<DWORD>(tone.size())));
        EXPECT_EQ(memory.EndFrame(), c.frames);
        EXPECT_EQ(ReadAllFrames(memory), c.frames);
    }
}

// A sound shorter than the tail is kept whole rather than cut to nothing.
TEST(SoundSource, ResourceShorterThanTheTailIsKeptWhole) {
    const auto tone = EncodeTone({2, 44100, 2000, 440.0, 0.5});
    CSoundSource s;
    ASSERT_TRUE(s.OpenResource(5, {Only(5, tone), {}}));
    EXPECT_EQ(s.EndFrame(), 2000u);
}

TEST(SoundSource, CompanionModuleIsTheFallback) {
    const auto own = EncodeTone({1, 22050, 4000, 440.0, 0.5});
    const auto other = EncodeTone({2, 44100, 9000, 440.0, 0.5});
    SoundResourceModules modules{Only(137, own), Only(200, other)};

    CSoundSource mine, fallback, nowhere;
    ASSERT_TRUE(mine.OpenResource(137, modules));
    EXPECT_EQ(mine.Origin(), SoundOrigin::ProgramResource);
    ASSERT_TRUE(fallback.OpenResource(200, modules));
    EXPECT_EQ(fallback.Origin(), SoundOrigin::CompanionResource);
    EXPECT_EQ(fallback.Channels(), 2);
    EXPECT_FALSE(nowhere.OpenResource(201, modules));
    EXPECT_FALSE(nowhere.IsOpen());
    EXPECT_FALSE(nowhere.OpenResource(137, {}));  // no modules at all
}

// Broken and foreign data fails to open and never reads outside its block.
TEST(SoundSource, BadDataFailsToOpen) {
    const auto tone = EncodeTone({2, 44100, 20000, 440.0, 0.5});
    const std::vector<unsigned char> text(5000, 'x');
    CSoundSource a, b, c, d;
    EXPECT_TRUE(a.OpenMemory(text.data(), static_cast<DWORD>(text.size())).Is(platform::ErrorKind::Damaged));
    EXPECT_FALSE(b.OpenMemory(tone.data(), 40));  // cut inside the first header
    EXPECT_FALSE(c.OpenMemory(nullptr, 100));
    EXPECT_FALSE(d.OpenMemory(tone.data(), 0));

    // Cut in the middle of the audio: opens, and decodes only what is there.
    std::vector<unsigned char> half(tone.begin(), tone.begin() + static_cast<long>(tone.size() / 2));
    CSoundSource cut;
    if (cut.OpenMemory(half.data(), static_cast<DWORD>(half.size()))) {
        EXPECT_LT(ReadAllFrames(cut), 20000);
    }
}

TEST(SoundSource, FileAndFileLookup) {
    const auto tone = EncodeTone({1, 22050, 5000, 440.0, 0.5});
    const std::string dir = "sound_test_files";
    ASSERT_TRUE(WriteFile(dir + "/150.ogg", tone));

    CSoundSource file;
    ASSERT_TRUE(file.OpenFile(L"sound_test_files/150.ogg"));
    EXPECT_EQ(file.Origin(), SoundOrigin::File);
    EXPECT_EQ(ReadAllFrames(file), 5000);  // files are not shortened
    file.Close();
    EXPECT_FALSE(file.IsOpen());

    CSoundSource missing;
    EXPECT_TRUE(missing.OpenFile(L"sound_test_files/none.ogg").Is(platform::ErrorKind::Missing));

    SoundResourceModules modules{FileResourceLookup(dir), {}};
    CSoundSource byNumber;
    ASSERT_TRUE(byNumber.OpenResource(150, modules));
    EXPECT_EQ(ReadAllFrames(byNumber), 5000 - 882);
    CSoundSource absent;
    EXPECT_TRUE(absent.OpenResource(151, modules).Is(platform::ErrorKind::Missing));
}

// A header may claim any channel count and rate. The source opens what the output can play,
// up to and including the bounds, and refuses the rest saying why, before any size is derived
// from the claim.
TEST(SoundSource, HeaderFormatsBeyondTheOutputAreRefused) {
    const auto mono = EncodeTone({1, 22050, 4000, 440.0, 0.5});
    struct Case {
        int channels;
        std::uint32_t rate;
        const char* refusal;  // null: opens
    };
    const Case cases[] = {
        {1, 1000, nullptr},
        {1, 384000, nullptr},
        {8, 22050, nullptr},
        {1, 999, "999 Hz"},
        {1, 384001, "384001 Hz"},
        {1, 2147483647, "2147483647 Hz"},  // once overflowed the bytes per second
        {1, 4294967295u, "4294967295 Hz"},
        {9, 22050, "9 channels"},
        {255, 22050, "255 channels"},
    };
    for (const Case& c : cases) {
        const auto image = WithHeaderFormat(mono, c.channels, c.rate);
        ASSERT_FALSE(image.empty());
        CSoundSource s;
        const platform::Result<void> opened = s.OpenMemory(image.data(), static_cast<DWORD>(image.size()));
        const std::string said = opened.why();
        if (!c.refusal) {
            ASSERT_TRUE(opened) << c.channels << " channels at " << c.rate << " Hz: " << said;
            EXPECT_EQ(s.Channels(), c.channels);
            EXPECT_EQ(s.Rate(), static_cast<int>(c.rate));
        } else {
            EXPECT_TRUE(opened.Is(platform::ErrorKind::Damaged)) << c.channels << " channels at " << c.rate << " Hz";
            EXPECT_FALSE(s.IsOpen());
            EXPECT_NE(said.find(c.refusal), std::string::npos) << said;
        }
    }
}

// Truncated and hostile bytes given to the decoders never crash and never read outside the
// input. Built with AddressSanitizer (label "asan"): every input lives in a heap block of
// exactly its own size, so a read past its end is reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/image_decoder.h"
#include "engine_test_support.h"

using namespace enginetest;

namespace {

class TruncationTest : public EngineTest {
   protected:
    int Decode(const std::vector<std::uint8_t>& source, std::size_t length) {
        std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[length ? length : 1]);
        std::copy_n(source.begin(), length, exact.get());
        std::span<const std::uint8_t> bytes(exact.get(), length);
        TextureAllocator allocate = [this](int w, int h) {
            return engine->AllocateTexture(w, h, platform::PixelFormat::A8R8G8B8);
        };
        int ok = DecodePng(bytes, allocate).ok() ? 1 : 0;
        if (!ok) ok = DecodeJpeg(bytes, allocate).ok() ? 2 : 0;
        return ok;
    }
    void EveryLength(const std::vector<std::uint8_t>& file, int expectWhole) {
        testing::internal::CaptureStderr();
        int succeeded = 0;
        for (std::size_t n = 0; n < file.size(); ++n) succeeded += Decode(file, n) != 0;
        int whole = Decode(file, file.size());
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(whole, expectWhole);
        EXPECT_LT(succeeded, static_cast<int>(file.size()));
        EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    }
};

}  // namespace

TEST_F(TruncationTest, PngCutAtEveryLength) {
    EveryLength(EncodePng(Pattern(40, 30, 0xC0), 40, 30), 1);
    // An interlaced 16-bit picture with alpha takes libpng through its most involved paths.
    const std::filesystem::path interlaced = std::filesystem::path(VORLEN_PNGSUITE_DIR) / "basi6a16.png";
    const platform::Result<std::vector<std::uint8_t>> bytes = ReadWholeFile(interlaced.string());
    ASSERT_TRUE(bytes.ok()) << bytes.why();
    EveryLength(*bytes, 1);
}

TEST_F(TruncationTest, JpegCutAtEveryLength) { EveryLength(EncodeJpeg(Pattern(48, 32), 48, 32), 2); }

TEST_F(TruncationTest, HostileBytesFailCleanly) {
    std::mt19937 random(20240601);
    const std::vector<std::uint8_t> png = EncodePng(Pattern(24, 24, 0x80), 24, 24);
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(Pattern(24, 24), 24, 24);
    testing::internal::CaptureStderr();
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes = round % 2 ? png : jpeg;
        for (int flips = 0; flips < 1 + round % 6; ++flips)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        Decode(bytes, bytes.size());
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

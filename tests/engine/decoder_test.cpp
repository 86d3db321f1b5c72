// The PNG and JPEG decoders: the transformations, a real-world corpus compared with libpng's
// own simplified reader, damaged files and hostile bytes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "engine/image_decoder.h"
#include "engine_test_support.h"

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

class DecoderTest : public EngineTest {
   protected:
    TextureAllocator Allocator() {
        return [this](int w, int h) { return engine->AllocateTexture(w, h, platform::PixelFormat::A8R8G8B8); };
    }
    // The decoded picture into `image`, or an empty one when decoding failed.
    static bool Into(platform::Result<DecodedImage> decoded, DecodedImage* image) {
        *image = decoded ? std::move(decoded).value() : DecodedImage{};
        return decoded.ok();
    }
    // The decoded picture's pixels as ARGB rows of its own width.
    static Pixels Read(DecodedImage& image) {
        Pixels out(static_cast<std::size_t>(image.width * image.height));
        std::uint8_t* bits = nullptr;
        int pitch = 0;
        if (!image.texture->Lock(&bits, &pitch)) return {};
        for (int y = 0; y < image.height; ++y)
            std::memcpy(&out[static_cast<std::size_t>(y * image.width)], bits + y * pitch,
                        static_cast<std::size_t>(image.width) * 4);
        image.texture->Unlock();
        return out;
    }
};

const fs::path kPngSuite = VORLEN_PNGSUITE_DIR;

std::vector<std::uint8_t> Bytes(const fs::path& p) { return ReadWholeFile(p.string()).value_or({}); }

void PutBigEndian(std::vector<std::uint8_t>* bytes, std::size_t at, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        (*bytes)[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (count - 1 - i)));
}

// The PNG with another size in its header and the header's checksum made right again, so that
// nothing but the size can be objected to. The header chunk follows the 8-byte signature:
// length, "IHDR", width, height, five more bytes, then the CRC of type and data.
std::vector<std::uint8_t> WithPngSize(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height) {
    PutBigEndian(&png, 16, width, 4);
    PutBigEndian(&png, 20, height, 4);
    PutBigEndian(&png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)), 4);
    return png;
}

// The JPEG with another size in its baseline frame header (FF C0: length, precision, height,
// width), found by walking the segments from the start-of-image marker.
std::vector<std::uint8_t> WithJpegSize(std::vector<std::uint8_t> jpeg, std::uint16_t width, std::uint16_t height) {
    std::size_t at = 2;
    while (at + 9 <= jpeg.size() && jpeg[at] == 0xFF) {
        if (jpeg[at + 1] == 0xC0) {
            PutBigEndian(&jpeg, at + 5, height, 2);
            PutBigEndian(&jpeg, at + 7, width, 2);
            return jpeg;
        }
        at += 2 + (std::size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
    }
    ADD_FAILURE() << "no baseline frame header";
    return jpeg;
}

}  // namespace

TEST_F(DecoderTest, LargeRgbPictureFillsTheTopLeftOfAPowerOfTwoTextureOpaque) {
    auto png = EncodePng(Pattern(800, 600), 800, 600, PNG_FORMAT_RGB);
    DecodedImage image;
    ASSERT_TRUE(Into(DecodePng(png, Allocator()), &image));
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 600);
    EXPECT_EQ(image.texture->Width(), 1024);
    EXPECT_EQ(image.texture->Height(), 1024);
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    ASSERT_TRUE(image.texture->Lock(&bits, &pitch));
    int opaque = 0, untouched = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) opaque += bits[y * pitch + 4 * x + 3] == 0xFF;
    for (int y = 600; y < 1024; y += 17) untouched += bits[y * pitch + 3] == 0;
    image.texture->Unlock();
    EXPECT_EQ(opaque, 800 * 600);
    EXPECT_EQ(untouched, (1024 - 600 + 16) / 17);
    EXPECT_TRUE(Pattern(800, 600) == Read(image));
}

TEST_F(DecoderTest, GreyWithAlphaGivesGreyColourAndItsOwnAlpha) {
    Pixels grey(16 * 4);
    for (int i = 0; i < 64; ++i)
        grey[static_cast<std::size_t>(i)] = (DWORD(i * 4) << 24) | 0x00505050u | (DWORD(i) << 8);
    DecodedImage image;
    ASSERT_TRUE(Into(DecodePng(EncodePng(grey, 16, 4, PNG_FORMAT_GA), Allocator()), &image));
    Pixels got = Read(image);
    for (int i = 0; i < 64; ++i) {
        DWORD p = got[static_cast<std::size_t>(i)];
        EXPECT_EQ(p >> 24, DWORD(i * 4));
        EXPECT_EQ((p >> 16) & 0xFF, (p >> 8) & 0xFF);
        EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF);
    }
}

TEST_F(DecoderTest, ColourAndGreyJpegsAreOpaque) {
    for (int components : {3, 1}) {
        DecodedImage image;
        ASSERT_TRUE(Into(DecodeJpeg(EncodeJpeg(Solid(40, 30, 0xFF2080C0), 40, 30, components), Allocator()), &image));
        EXPECT_EQ(image.width, 40);
        EXPECT_EQ(image.height, 30);
        Pixels got = Read(image);
        for (DWORD p : got) ASSERT_EQ(p >> 24, 0xFFu);
        DWORD expect = components == 3 ? 0xFF2080C0u : 0xFF808080u;
        EXPECT_LE(ChannelDistance(got[615], expect), 4) << components;
    }
}

TEST_F(DecoderTest, BytesThatAreNeitherPngNorJpegFailWithAMessageAndTheProgramGoesOn) {
    const std::vector<std::uint8_t> junk = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', 0xFF, 0xD8};
    DecodedImage image;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Into(DecodePng(junk, Allocator()), &image));
    EXPECT_FALSE(Into(DecodeJpeg(junk, Allocator()), &image));
    EXPECT_FALSE(Into(DecodeJpeg({}, Allocator()), &image));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("libjpeg error: "), std::string::npos) << err;
    EXPECT_EQ(image.texture, nullptr);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

// A full device is no damage in the picture: both decoders pass the allocator's own error up, so
// that the engine makes room and tries again, and keep nothing they made.
TEST_F(DecoderTest, AFullDeviceIsPassedUpAsItsOwnErrorNotAsDamage) {
    const TextureAllocator full = [](int, int) -> platform::Result<std::unique_ptr<platform::Texture>> {
        return platform::Error::Of(platform::ErrorKind::OutOfMemory, "out of texture memory");
    };
    const platform::Result<DecodedImage> png = DecodePng(EncodePng(Solid(8, 8, 0xFF102030), 8, 8), full);
    EXPECT_TRUE(png.Is(platform::ErrorKind::OutOfMemory)) << png.why();
    const platform::Result<DecodedImage> jpeg = DecodeJpeg(EncodeJpeg(Solid(8, 8, 0xFF102030), 8, 8, 3), full);
    EXPECT_TRUE(jpeg.Is(platform::ErrorKind::OutOfMemory)) << jpeg.why();
    testing::internal::CaptureStderr();
    const std::vector<std::uint8_t> junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
    EXPECT_TRUE(DecodePng(junk, Allocator()).Is(platform::ErrorKind::Damaged));
    EXPECT_TRUE(DecodeJpeg(junk, Allocator()).Is(platform::ErrorKind::Damaged));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

TEST_F(DecoderTest, DamagedPngReportsOneLibpngLineAndIsThenTriedAsJpeg) {
    auto png = EncodePng(Pattern(64, 64), 64, 64);
    for (std::size_t i = 60; i < png.size() - 20; ++i) png[i] ^= 0x5A;  // spoil the compressed data
    testing::internal::CaptureStderr();
    DWORD slot = engine->RegisterTexture(L"damaged", png);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(slot, IMResourceManager::kNoTexture);
    auto first = err.find("libpng error: ");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("libpng error: ", first + 1), std::string::npos) << err;
    EXPECT_NE(err.find("libjpeg error: ", first), std::string::npos) << err;
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    EXPECT_EQ(engine->TextureCount(), 0u);
}

// A side of kMaxPictureSide is taken and one pixel more is refused, and a header announcing a
// picture far beyond the limit is refused before any texture is asked for. The checks look for
// the size message, so a file refused for some other reason does not pass.
TEST_F(DecoderTest, PngLargerThanTheSideLimitIsRefusedForItsSize) {
    constexpr int kCap = kMaxPictureSide;
    for (auto [w, h] : {std::pair{kCap, 1}, std::pair{1, kCap}}) {
        DecodedImage image;
        EXPECT_TRUE(Into(DecodePng(EncodePng(Pattern(w, h), w, h), Allocator()), &image)) << w << "x" << h;
        EXPECT_EQ(image.width, w);
    }
    std::vector<std::vector<std::uint8_t>> tooLarge = {
        EncodePng(Pattern(kCap + 1, 1), kCap + 1, 1),
        EncodePng(Pattern(1, kCap + 1), 1, kCap + 1),
        WithPngSize(EncodePng(Pattern(24, 24), 24, 24), 65536, 24),
        WithPngSize(EncodePng(Pattern(24, 24), 24, 24), 24, 0x7FFFFFFF),
    };
    for (std::size_t i = 0; i < tooLarge.size(); ++i) {
        DecodedImage image;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Into(DecodePng(tooLarge[i], Allocator()), &image)) << i;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("exceeds user limit"), std::string::npos) << i << ": " << err;
        EXPECT_EQ(err.find("CRC"), std::string::npos) << i << ": " << err;
        EXPECT_EQ(image.texture, nullptr);
    }
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

// A chunk whose length says more than the whole file holds fails the picture without libpng
// setting aside a buffer of that length (1.6 GB for a broken 124-byte file the fuzzer made).
TEST_F(DecoderTest, PngChunkLongerThanTheFileIsRefusedUnread) {
    std::vector<std::uint8_t> png = EncodePng(Pattern(24, 24), 24, 24);
    const std::size_t afterHeader = 8 + 4 + 4 + 13 + 4;
    std::vector<std::uint8_t> text = {0x60, 0x00, 0x00, 0x00, 't', 'E', 'X', 't', 'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
    png.insert(png.begin() + static_cast<std::ptrdiff_t>(afterHeader), text.begin(), text.end());
    DecodedImage image;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Into(DecodePng(png, Allocator()), &image));
    const std::string err = testing::internal::GetCapturedStderr();
    getrusage(RUSAGE_SELF, &after);
    EXPECT_NE(err.find("libpng error: "), std::string::npos) << err;
    EXPECT_EQ(image.texture, nullptr);
    // The process's peak memory, in KiB: libpng filled the 1.6 GB buffer before refusing it.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "the chunk's length was allocated";
}

TEST_F(DecoderTest, JpegLargerThanTheSideLimitIsRefusedForItsSize) {
    constexpr int kCap = kMaxPictureSide;
    for (auto [w, h] : {std::pair{kCap, 1}, std::pair{1, kCap}}) {
        DecodedImage image;
        EXPECT_TRUE(Into(DecodeJpeg(EncodeJpeg(Pattern(w, h), w, h), Allocator()), &image)) << w << "x" << h;
        EXPECT_EQ(image.width, w);
    }
    std::vector<std::vector<std::uint8_t>> tooLarge = {
        EncodeJpeg(Pattern(kCap + 1, 1), kCap + 1, 1),
        EncodeJpeg(Pattern(1, kCap + 1), 1, kCap + 1),
        // 65500 is the largest side a JPEG can declare: 16 GiB of texture if it were believed.
        WithJpegSize(EncodeJpeg(Pattern(16, 16), 16, 16), 65500, 65500),
    };
    for (std::size_t i = 0; i < tooLarge.size(); ++i) {
        DecodedImage image;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(Into(DecodeJpeg(tooLarge[i], Allocator()), &image)) << i;
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("is too large"), std::string::npos) << i << ": " << err;
        EXPECT_EQ(image.texture, nullptr);
    }
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

// The size read from a PNG's header alone is the size the decoder gives, for every picture of
// the suite (interlaced, every depth and layout); a header that is cut short, is not first,
// or states a side outside 1 .. kMaxPictureSide gives no size.
TEST_F(DecoderTest, PngHeaderSizeIsTheDecodedSize) {
    const fs::path suite = kPngSuite;
    ASSERT_TRUE(fs::is_directory(suite)) << "the PNG suite belongs at " << suite;
    int checked = 0;
    for (const auto& item : fs::directory_iterator(suite)) {
        const std::string name = item.path().filename().string();
        if (item.path().extension() != ".png" || name[0] == 'x') continue;
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> bytes = Bytes(item.path());
        int w = 0, h = 0;
        ASSERT_TRUE(ReadPngSize(bytes, &w, &h));
        DecodedImage image;
        ASSERT_TRUE(Into(DecodePng(bytes, Allocator()), &image));
        EXPECT_EQ(w, image.width);
        EXPECT_EQ(h, image.height);
        ++checked;
    }
    EXPECT_GT(checked, 100);

    const std::vector<std::uint8_t> png = EncodePng(Pattern(24, 16), 24, 16);
    std::vector<std::uint8_t> renamed = png;
    renamed[12] = 'X';  // a chunk other than the header first
    const std::vector<std::vector<std::uint8_t>> refused = {
        std::vector<std::uint8_t>(png.begin(), png.begin() + 32),
        renamed,
        WithPngSize(png, 0, 16),
        WithPngSize(png, 24, 0),
        WithPngSize(png, kMaxPictureSide + 1, 16),
        WithPngSize(png, 24, 0x80000000u),
        EncodeJpeg(Pattern(24, 16), 24, 16),
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        int w = -1, h = -1;
        EXPECT_FALSE(ReadPngSize(refused[i], &w, &h)) << i;
    }
    int w = 0, h = 0;
    EXPECT_TRUE(ReadPngSize(std::span(png).first(33), &w, &h));
    EXPECT_EQ(w, 24);
    EXPECT_EQ(h, 16);
    EXPECT_TRUE(ReadPngSize(WithPngSize(png, kMaxPictureSide, 1), &w, &h));
    EXPECT_EQ(w, kMaxPictureSide);
}

// Every picture of the PNG suite decodes to the pixels libpng's simplified reader gives, and
// every deliberately broken one fails without taking the program down.
TEST_F(DecoderTest, PngSuiteMatchesAnIndependentDecoderAndBrokenFilesFail) {
    const fs::path suite = kPngSuite;
    ASSERT_TRUE(fs::is_directory(suite)) << "the PNG suite belongs at " << suite;
    int decoded = 0, rejected = 0;
    for (const auto& item : fs::directory_iterator(suite)) {
        const std::string name = item.path().filename().string();
        if (item.path().extension() != ".png" || name == "PngSuite.png") continue;
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> bytes = Bytes(item.path());
        DecodedImage image;
        testing::internal::CaptureStderr();
        bool ok = Into(DecodePng(bytes, Allocator()), &image);
        testing::internal::GetCapturedStderr();
        if (name[0] == 'x') {
            EXPECT_FALSE(ok);
            EXPECT_EQ(image.texture, nullptr);
            ++rejected;
            continue;
        }
        ASSERT_TRUE(ok);
        ++decoded;

        // The simplified reader garbles interlaced 16-bit pictures (libpng 1.6.39); those are
        // compared with their non-interlaced twins, which hold the same picture.
        std::vector<std::uint8_t> refBytes = bytes;
        if (name.find("16") != std::string::npos && name[3] == 'i') refBytes = Bytes(suite / ("basn" + name.substr(4)));
        png_image ref{};
        ref.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&ref, refBytes.data(), refBytes.size()));
        ref.format = PNG_FORMAT_BGRA;
        Pixels expect(PNG_IMAGE_SIZE(ref) / 4);
        ASSERT_TRUE(png_image_finish_read(&ref, nullptr, expect.data(), 0, nullptr));
        ASSERT_EQ(image.width, static_cast<int>(ref.width));
        ASSERT_EQ(image.height, static_cast<int>(ref.height));
        const Pixels got = Read(image);

        // Exact for 8-bit pictures in the display's gamma. The simplified reader rounds 16-bit
        // channels where we cut them, and corrects other gammas to sRGB where we correct them
        // to a 2.2 power curve, so those get a tolerance; alpha is never corrected.
        const bool sixteen = name.find("16") != std::string::npos;
        const bool gamma = name[0] == 'g';
        int worst = 0, worstAlpha = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            worst = std::max(worst, ChannelDistance(got[i], expect[i]));
            worstAlpha = std::max(worstAlpha, std::abs(int(got[i] >> 24) - int(expect[i] >> 24)));
        }
        EXPECT_LE(worstAlpha, sixteen ? 1 : 0);
        EXPECT_LE(worst, gamma ? 12 : sixteen ? 1 : 0);
    }
    EXPECT_GT(decoded, 100);
    EXPECT_GT(rejected, 10);
}

TEST_F(DecoderTest, PngSuiteEdgeCasesKeepTheirAlpha) {
    const fs::path suite = kPngSuite;
    ASSERT_TRUE(fs::is_directory(suite)) << "the PNG suite belongs at " << suite;
    auto decode = [&](const char* file) {
        DecodedImage image;
        EXPECT_TRUE(Into(DecodePng(Bytes(suite / file), Allocator()), &image)) << file;
        return image.texture ? Read(image) : Pixels{};
    };
    // 16-bit RGBA: alpha survives the cut to 8 bits (the picture's alpha is a gradient).
    Pixels rgba16 = decode("basn6a16.png");
    ASSERT_FALSE(rgba16.empty());
    std::set<DWORD> alphas;
    for (DWORD p : rgba16) alphas.insert(p >> 24);
    EXPECT_GT(alphas.size(), 10u);
    EXPECT_TRUE(alphas.count(0));
    // A palette with a transparency chunk: the chunk's entries become per-pixel alpha.
    Pixels palette = decode("tbbn3p08.png");
    ASSERT_FALSE(palette.empty());
    int transparent = 0, opaque = 0;
    for (DWORD p : palette) (p >> 24) == 0 ? ++transparent : (p >> 24) == 0xFF ? ++opaque : 0;
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, 0);
    // Without a transparency chunk a palette picture is opaque.
    for (DWORD p : decode("basn3p08.png")) ASSERT_EQ(p >> 24, 0xFFu);
}

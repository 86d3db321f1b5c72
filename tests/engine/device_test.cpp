// The device half of the engine, checked on pixels read back from the software renderer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "engine/resource_manager.h"
#include "engine_test_support.h"
#include "platform/resource_module.h"

using namespace enginetest;

namespace {
constexpr float kPi = 3.14159265358979f;

// Every pixel of the w x h picture, drawn at (x, y), compared with the source.
int CountMismatches(const Pixels& frame, const Pixels& picture, int w, int h, int x0, int y0) {
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (At(frame, x0 + x, y0 + y) != picture[static_cast<std::size_t>(y * w + x)]) ++bad;
    return bad;
}
}  // namespace

TEST_F(EngineTest, PictureLandsTexelForPixelAtItsOriginAndPowerOfTwoTexture) {
    const Pixels card = Pattern(156, 179);
    DWORD slot = Register(L"card", card, 156, 179);
    const IMTextureEntry* e = engine->GetTextureEntry(slot);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->textureWidth, 256);
    EXPECT_EQ(e->textureHeight, 256);
    EXPECT_EQ(e->image.right, 156);
    EXPECT_EQ(e->image.bottom, 179);
    EXPECT_EQ(engine->GetTexturePitch(slot), 256 * 4);

    engine->BeginFrame();
    engine->SetOrigin(30, 40);
    engine->DrawTexture(slot, RECT{10, 20, 166, 199}, nullptr, 0xFFFFFFFF, 0.0f);
    engine->SetOrigin(0, 0);
    Pixels frame = Frame();
    EXPECT_EQ(CountMismatches(frame, card, 156, 179, 40, 60), 0);
    EXPECT_EQ(At(frame, 39, 60), 0xFF000000u);  // nothing spills left of the picture
    EXPECT_EQ(At(frame, 196, 60), 0xFF000000u);
    Save("engine_card_at_origin");

    // A source rectangle picks that part of the picture.
    engine->BeginFrame();
    RECT src{20, 30, 60, 50};
    engine->DrawTexture(slot, RECT{0, 0, 40, 20}, &src, 0xFFFFFFFF, 0.0f);
    frame = Frame();
    EXPECT_EQ(At(frame, 0, 0), card[30 * 156 + 20]);
    EXPECT_EQ(At(frame, 39, 19), card[49 * 156 + 59]);
}

TEST_F(EngineTest, ColourModulatesAndAlphaBlendsOverTheBackBuffer) {
    DWORD white = Register(L"white", Solid(8, 8, 0xFFFFFFFF), 8, 8);
    DWORD halfRed = Register(L"halfred", Solid(8, 8, 0x80FF0000), 8, 8);
    engine->BeginFrame();
    engine->DrawTexture(white, RECT{0, 0, 8, 8}, nullptr, 0xFF408020, 0.0f);    // tint
    engine->DrawTexture(white, RECT{10, 0, 18, 8}, nullptr, 0x80FFFFFF, 0.0f);  // faded over black
    engine->DrawTexture(white, RECT{20, 0, 28, 8}, nullptr, 0xFF0000FF, 0.0f);
    engine->DrawTexture(halfRed, RECT{20, 0, 28, 8}, nullptr, 0xFFFFFFFF, 0.0f);  // half red over blue
    engine->DrawTexture(white, RECT{30, 0, 38, 8}, nullptr, 0x00FFFFFF, 0.0f);    // invisible
    Pixels frame = Frame();
    EXPECT_LE(ChannelDistance(At(frame, 3, 3) | 0xFF000000u, 0xFF408020), 1);
    EXPECT_LE(ChannelDistance(At(frame, 13, 3) | 0xFF000000u, 0xFF808080), 2);
    EXPECT_LE(ChannelDistance(At(frame, 23, 3) | 0xFF000000u, 0xFF80007F), 2);
    EXPECT_EQ(At(frame, 33, 3) & 0x00FFFFFFu, 0u);
}

TEST_F(EngineTest, ClipAndEmptyDestinationsLimitDrawing) {
    DWORD slot = Register(L"white", Solid(4, 4, 0xFFFFFFFF), 4, 4);
    engine->BeginFrame();
    EXPECT_EQ(engine->GetClip().right, 800);
    EXPECT_EQ(engine->GetClip().bottom, 600);
    engine->SetClip(RECT{100, 100, 200, 150});
    engine->DrawTexture(slot, RECT{0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0.0f);
    engine->DrawTexture(slot, RECT{0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0.3f);
    RECT clip = engine->GetClip();
    EXPECT_EQ(clip.left, 100);
    EXPECT_EQ(clip.bottom, 150);
    engine->SetClip(RECT{0, 0, 800, 600});
    Pixels frame = Frame();
    EXPECT_EQ(At(frame, 100, 100), 0xFFFFFFFFu);
    EXPECT_EQ(At(frame, 199, 149), 0xFFFFFFFFu);
    EXPECT_EQ(At(frame, 99, 100), 0xFF000000u);
    EXPECT_EQ(At(frame, 200, 120), 0xFF000000u);
    EXPECT_EQ(At(frame, 150, 150), 0xFF000000u);

    // Zero or negative width or height draws nothing, whatever the angle.
    engine->BeginFrame();
    for (float angle : {0.0f, 1.0f})
        for (RECT r : {RECT{10, 10, 10, 50}, RECT{10, 10, 50, 10}, RECT{50, 10, 10, 50}, RECT{10, 50, 50, 10}})
            engine->DrawTexture(slot, r, nullptr, 0xFFFFFFFF, angle);
    frame = Frame();
    for (DWORD p : frame) ASSERT_EQ(p, 0xFF000000u);
}

TEST_F(EngineTest, RotationTurnsClockwiseAboutTheCentreFromTheTexturesCorner) {
    // Four quadrants: red top-left, green top-right, blue bottom-right, white bottom-left.
    Pixels quad(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            quad[static_cast<std::size_t>(y * 64 + x)] =
                y < 32 ? (x < 32 ? 0xFFFF0000u : 0xFF00FF00u) : (x < 32 ? 0xFFFFFFFFu : 0xFF0000FFu);
    DWORD slot = Register(L"quadrants", quad, 64, 64);
    engine->BeginFrame();
    engine->DrawTexture(slot, RECT{100, 100, 164, 164}, nullptr, 0xFFFFFFFF, kPi / 2);
    Pixels frame = Frame();
    // A quarter turn clockwise: top-left goes to top-right, and so on.
    EXPECT_EQ(At(frame, 148, 116), 0xFFFF0000u);
    EXPECT_EQ(At(frame, 148, 148), 0xFF00FF00u);
    EXPECT_EQ(At(frame, 116, 148), 0xFF0000FFu);
    EXPECT_EQ(At(frame, 116, 116), 0xFFFFFFFFu);

    // With a source that does not start at 0, a rotated quad still shows the source's size
    // from the texture's top-left corner: all red here, although the source is the green part.
    engine->BeginFrame();
    RECT green{32, 0, 64, 32};
    engine->DrawTexture(slot, RECT{300, 300, 332, 332}, &green, 0xFFFFFFFF, 2 * kPi);
    frame = Frame();
    EXPECT_EQ(At(frame, 316, 316), 0xFFFF0000u);
}

// A picture drawn smaller than its size averages neighbouring texels; at its size or larger
// every pixel shows one texel. A one-pixel checkerboard makes the difference plain: shrunk it
// turns grey, otherwise it stays black and white.
TEST_F(EngineTest, ShrunkPicturesAreFilteredAndOthersKeepTheirTexels) {
    Pixels board(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            board[static_cast<std::size_t>(y * 64 + x)] = (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000;
    DWORD slot = Register(L"board", board, 64, 64);
    auto isGrey = [](DWORD p) { return std::abs(int(p & 0xFF) - 0x80) <= 0x18; };
    auto isBlackOrWhite = [](DWORD p) { return p == 0xFF000000u || p == 0xFFFFFFFFu; };
    // Pixels of the square [x0, x0 + side) that are `what`, over its inner part (a rotated
    // quad's edges mix with the background whatever the filter).
    auto count = [](const Pixels& frame, int x0, int y0, int side, auto what) {
        int n = 0;
        for (int y = y0 + side / 4; y < y0 + side * 3 / 4; ++y)
            for (int x = x0 + side / 4; x < x0 + side * 3 / 4; ++x) n += what(At(frame, x, y));
        return n;
    };
    const int inner = 16 * 16;

    engine->BeginFrame();
    engine->DrawTexture(slot, RECT{0, 0, 32, 32}, nullptr, 0xFFFFFFFF, 0.0f);        // half size
    engine->DrawTexture(slot, RECT{100, 0, 164, 16}, nullptr, 0xFFFFFFFF, 0.0f);     // half height only
    engine->DrawTexture(slot, RECT{200, 0, 232, 32}, nullptr, 0xFFFFFFFF, 0.3f);     // half size, turned
    engine->DrawTexture(slot, RECT{300, 0, 364, 64}, nullptr, 0xFFFFFFFF, 0.0f);     // its own size
    engine->DrawTexture(slot, RECT{400, 0, 528, 128}, nullptr, 0xFFFFFFFF, 0.0f);    // twice its size
    engine->DrawTexture(slot, RECT{600, 100, 728, 228}, nullptr, 0xFFFFFFFF, 0.3f);  // twice, turned
    const Pixels frame = Frame();
    Save("engine_shrunk_checkerboard");

    EXPECT_EQ(count(frame, 0, 0, 32, isGrey), inner) << std::hex << At(frame, 10, 10);
    int greyRows = 0;
    for (int x = 100; x < 164; ++x) greyRows += isGrey(At(frame, x, 8));
    EXPECT_EQ(greyRows, 64);
    EXPECT_EQ(count(frame, 200, 0, 32, isGrey), inner) << std::hex << At(frame, 216, 16);
    EXPECT_EQ(count(frame, 300, 0, 64, isBlackOrWhite), 32 * 32);
    EXPECT_EQ(CountMismatches(frame, board, 64, 64, 300, 0), 0);
    EXPECT_EQ(count(frame, 400, 0, 128, isBlackOrWhite), 64 * 64);
    EXPECT_EQ(At(frame, 400, 0), At(frame, 401, 1));  // each texel covers 2 x 2 pixels
    EXPECT_EQ(count(frame, 600, 100, 128, isBlackOrWhite), 64 * 64);

    // Shrunk and turned, a picture still blends by its alpha and takes the draw's colour.
    DWORD halfRed = Register(L"halfred", Solid(32, 32, 0x80FF0000), 32, 32);
    DWORD white = Register(L"white", Solid(32, 32, 0xFFFFFFFF), 32, 32);
    engine->BeginFrame();
    engine->DrawTexture(white, RECT{0, 0, 16, 16}, nullptr, 0xFF0000FF, 0.3f);
    engine->DrawTexture(halfRed, RECT{0, 0, 16, 16}, nullptr, 0xFFFFFFFF, 0.3f);
    engine->DrawTexture(white, RECT{100, 0, 116, 16}, nullptr, 0xFF408020, 0.3f);
    const Pixels tinted = Frame();
    EXPECT_LE(ChannelDistance(At(tinted, 8, 8) | 0xFF000000u, 0xFF80007F), 2) << std::hex << At(tinted, 8, 8);
    EXPECT_LE(ChannelDistance(At(tinted, 108, 8) | 0xFF000000u, 0xFF408020), 1) << std::hex << At(tinted, 108, 8);
}

TEST_F(EngineTest, PicturesReturnIdenticalAfterLossAndReset) {
    DWORD a = Register(L"a", Pattern(100, 80), 100, 80);
    DWORD b = Register(L"b", Pattern(30, 30, 0x90), 30, 30);
    auto draw = [&] {
        engine->BeginFrame();
        engine->DrawTexture(a, RECT{0, 0, 100, 80}, nullptr, 0xFFFFFFFF, 0.0f);
        engine->DrawTexture(b, RECT{50, 40, 80, 70}, nullptr, 0xFFFFFFFF, 0.0f);
        engine->DrawTexture(a, RECT{200, 200, 300, 280}, nullptr, 0xFFFFFFFF, 0.7f);
        return Frame();
    };
    const Pixels before = draw();
    EXPECT_FALSE(engine->IsDeviceLost());

    engine->Device()->SimulateLoss();
    EXPECT_TRUE(engine->IsDeviceLost());
    // A failed re-creation leaves the device lost; the flag stays latched until one succeeds.
    engine->Device()->FailNextRecreations(1);
    EXPECT_FALSE(engine->ResetDevice());
    EXPECT_TRUE(engine->IsDeviceLost());
    EXPECT_EQ(engine->GetTextureEntry(a)->texture, nullptr);
    EXPECT_TRUE(engine->ResetDevice());
    EXPECT_FALSE(engine->IsDeviceLost());
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);  // they come back lazily
    const Pixels after = draw();
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 2);
    EXPECT_TRUE(before == after);
}

TEST_F(EngineTest, VideoTexturesStayOpaqueAfterTheyAreRestored) {
    DWORD film = engine->CreateBlankTexture(L"film", 32, 16, platform::PixelFormat::X8R8G8B8);
    ASSERT_NE(film, IMResourceManager::kNoTexture);
    DWORD alpha = 1;
    ASSERT_TRUE(engine->ReadBackupPixel(film, 0, 0, &alpha));
    EXPECT_EQ(alpha >> 24, 0u);  // the backup is transparent black: clicks pass through
    auto frame = [&](BYTE* bits, int pitch, int height) {
        EXPECT_EQ(height, 16);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 32; ++x) {
                BYTE* p = bits + y * pitch + 4 * x;
                p[0] = 0x30;
                p[1] = 0x60;
                p[2] = 0x90;
                p[3] = 0;  // blue, green, red, unused
            }
    };
    for (int round = 0; round < 2; ++round) {
        engine->FillTexture(film, frame);
        engine->BeginFrame();
        engine->DrawTexture(film, RECT{0, 0, 32, 16}, nullptr, 0xFFFFFFFF, 0.0f);
        EXPECT_EQ(At(Frame(), 5, 5), 0xFF906030u) << "round " << round;
        engine->Device()->SimulateLoss();
        ASSERT_TRUE(engine->IsDeviceLost());
        ASSERT_TRUE(engine->ResetDevice());
    }
}

TEST(EngineLife, InitRegistersTheSkinAndShutdownPrintsTheFrameRate) {
    ASSERT_TRUE(platform::ResourceModule::Program().FindName(std::wstring_view(L"DefaultBackGround")))
        << "data/skin/DefaultBackGround.png is missing";
    setenv("VORLEN_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitEngine(true).ok());
    IMResourceManager* engine = GetResourceManager();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->BackBufferWidth, 800);
    EXPECT_EQ(engine->BackBufferHeight, 600);
    DWORD background = engine->FindTexture(L"DefaultBackGround");
    EXPECT_NE(background, engine->SlotCount()) << "the background does not decode";
    engine->BeginFrame();
    engine->DrawTexture(background, RECT{0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0.0f);
    engine->EndFrame();
    const Pixels frame = engine->Device()->ReadBackBuffer();
    engine->Device()->WritePng("engine_default_background.png", frame, 800, 600);
    EXPECT_EQ(engine->FrameCount(), 1u);
    // Light grey with a darker band over the top.
    EXPECT_EQ(At(frame, 400, 300), 0xFFE5E6E6u);
    EXPECT_EQ(At(frame, 400, 10), 0xFFD8D9D9u);
    ShutdownEngine();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetResourceManager(), nullptr);
    EXPECT_NE(err.find("FPS: "), std::string::npos) << err;
    unsetenv("VORLEN_DEBUG");
}

TEST(EngineLife, ShutdownRightAfterStartReportsZeroFramesPerSecond) {
    setenv("VORLEN_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitEngine(true).ok());
    ShutdownEngine();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("FPS: 0\n"), std::string::npos) << err;

    // Without the debug switch the frame rate stays out of the pupil's session log.
    unsetenv("VORLEN_DEBUG");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitEngine(true).ok());
    ShutdownEngine();
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("FPS: "), std::string::npos) << err;
}

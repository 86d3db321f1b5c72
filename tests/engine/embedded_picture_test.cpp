// Pictures registered from bytes that outlive the engine (the skin and the numbered pictures in the
// program's data): the size is there at once, the pixels only once someone needs them, and a
// dropped texture is decoded again instead of being restored from a backup.
#include <gtest/gtest.h>

#include "engine/image_decoder.h"
#include "engine/resource_manager.h"
#include "engine/skin.h"
#include "engine_test_support.h"
#include "platform/resource_module.h"

using namespace enginetest;

namespace {

// The w x h pixels at (x, y) of the back buffer.
Pixels Region(const Pixels& frame, int x0, int y0, int w, int h) {
    Pixels out;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) out.push_back(At(frame, x, y));
    return out;
}

// Draws the slot's whole picture at (0, 0) on a black back buffer and reads it back.
Pixels Drawn(IMResourceManager& engine, DWORD slot) {
    const IMTextureEntry* e = engine.GetTextureEntry(slot);
    const RECT image = e ? e->image : RECT{0, 0, 1, 1};
    engine.BeginFrame();
    engine.DrawTexture(slot, image, nullptr, 0xFFFFFFFF, 0.0f);
    return Region(engine.Device()->ReadBackBuffer(), 0, 0, image.right, image.bottom);
}

}  // namespace

TEST_F(EngineTest, AnEmbeddedPictureHasItsSizeAtOnceAndDrawsAsTheDecodedOneWhenUsed) {
    // Half-transparent, so that the pixels compared went through blending.
    const std::vector<std::uint8_t> png = EncodePng(Pattern(100, 60, 0x90), 100, 60);
    const DWORD eager = engine->RegisterTexture(L"eager", png);
    const DWORD lazy = engine->RegisterEmbeddedTexture(L"lazy", png);
    EXPECT_EQ(engine->RegisterEmbeddedTexture(L"lazy", png), lazy);
    const IMTextureEntry* e = engine->GetTextureEntry(lazy);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->refs, 2);
    EXPECT_EQ(e->image.right, 100);
    EXPECT_EQ(e->image.bottom, 60);
    EXPECT_EQ(e->textureWidth, 128);
    EXPECT_EQ(e->textureHeight, 64);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 1);

    EXPECT_EQ(Drawn(*engine, lazy), Drawn(*engine, eager));
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 2);
    EXPECT_TRUE(e->backup.empty());
    // Pixel reads see the picture, and the zero texels right of it, as from a backup.
    for (auto [x, y] : {std::pair{0, 0}, std::pair{37, 21}, std::pair{99, 59}, std::pair{127, 63}}) {
        DWORD fromBackup = 1, fromTexture = 2;
        EXPECT_TRUE(engine->ReadBackupPixel(eager, x, y, &fromBackup));
        EXPECT_TRUE(engine->ReadBackupPixel(lazy, x, y, &fromTexture));
        EXPECT_EQ(fromTexture, fromBackup) << x << "," << y;
    }
    DWORD outside = 0;
    EXPECT_FALSE(engine->ReadBackupPixel(lazy, 128, 0, &outside));
    engine->ReleaseTexture(lazy);
    engine->ReleaseTexture(lazy);
    engine->ReleaseTexture(eager);
    EXPECT_EQ(engine->TextureCount(), 0u);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

TEST_F(EngineTest, AnEmbeddedPictureIsDecodedAgainAfterEvictionAndLoss) {
    const Pixels picture = Pattern(64, 64);
    const std::vector<std::uint8_t> png = EncodePng(picture, 64, 64);
    // Room for three 64 x 64 textures; the embedded picture holds the lowest slot.
    engine->Device()->SetTextureMemoryBudget(3 * 64 * 64 * 4);
    const DWORD lazy = engine->RegisterEmbeddedTexture(L"lazy", png);
    const DWORD b = Register(L"b", Solid(64, 64, 0xFF00FF00), 64, 64);
    Register(L"c", Solid(64, 64, 0xFF0000FF), 64, 64);
    EXPECT_EQ(Drawn(*engine, lazy), picture);
    ASSERT_NE(Register(L"d", Solid(64, 64, 0xFFFFFFFF), 64, 64), IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->GetTextureEntry(lazy)->texture, nullptr);  // the lowest number went first
    // A pixel read decodes it again, which evicts the next lowest other slot.
    DWORD argb = 0;
    EXPECT_TRUE(engine->ReadBackupPixel(lazy, 5, 7, &argb));
    EXPECT_EQ(argb, picture[7 * 64 + 5]);
    EXPECT_EQ(engine->GetTextureEntry(b)->texture, nullptr);

    engine->Device()->SimulateLoss();
    ASSERT_TRUE(engine->IsDeviceLost());
    ASSERT_TRUE(engine->ResetDevice());
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    EXPECT_EQ(Drawn(*engine, lazy), picture);
}

TEST_F(EngineTest, TheProgramsNumberedPicturesWaitUntilDrawnAndComeBackWithoutABackup) {
    const DWORD card = engine->LoadTexture(L"102");
    const IMTextureEntry* e = engine->GetTextureEntry(card);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->image.right, 156);
    EXPECT_EQ(e->image.bottom, 179);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);

    const auto bytes = platform::ResourceModule::Program().FindNumber(102);
    ASSERT_TRUE(bytes);
    const DWORD eager = engine->RegisterTexture(L"eager 102", *bytes);
    const Pixels want = Drawn(*engine, eager);
    EXPECT_EQ(Drawn(*engine, card), want);
    EXPECT_TRUE(e->backup.empty());
    engine->Device()->SimulateLoss();
    ASSERT_TRUE(engine->IsDeviceLost());
    ASSERT_TRUE(engine->ResetDevice());
    EXPECT_EQ(Drawn(*engine, card), want);
}

// Bytes without a PNG header are decoded at registration. With no room at all an embedded
// picture is not made, but its bytes are kept: once there is room it draws. Bytes that turn out
// not to decode are reported once and then left alone.
TEST_F(EngineTest, EmbeddedBytesThatCannotBeDecodedLaterAreDecodedAtOnceRetriedOrReportedOnce) {
    const DWORD photo = engine->RegisterEmbeddedTexture(L"photo", EncodeJpeg(Solid(16, 8, 0xFF808080), 16, 8));
    ASSERT_NE(photo, IMResourceManager::kNoTexture);
    EXPECT_FALSE(engine->GetTextureEntry(photo)->backup.empty());
    engine->ReleaseTexture(photo);

    const std::vector<std::uint8_t> png = EncodePng(Solid(64, 64, 0xFFFF0000), 64, 64);
    const DWORD red = engine->RegisterEmbeddedTexture(L"red", png);
    engine->Device()->SetTextureMemoryBudget(32 * 32 * 4);
    testing::internal::CaptureStderr();
    EXPECT_EQ(At(Drawn(*engine, red), 10, 10, 64), 0xFF000000u);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("out of texture memory"), std::string::npos) << err;
    engine->Device()->SetTextureMemoryBudget(0);
    EXPECT_EQ(At(Drawn(*engine, red), 10, 10, 64), 0xFFFF0000u);

    // An intact header over a body cut short: registered by its size, failing when first used.
    const std::vector<std::uint8_t> cut(png.begin(), png.begin() + 45);
    const DWORD broken = engine->RegisterEmbeddedTexture(L"broken", cut);
    ASSERT_NE(broken, IMResourceManager::kNoTexture);
    testing::internal::CaptureStderr();
    EXPECT_EQ(At(Drawn(*engine, broken), 10, 10, 64), 0xFF000000u);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("libpng error: "), std::string::npos) << err;
    EXPECT_NE(err.find("\"broken\""), std::string::npos) << err;
    testing::internal::CaptureStderr();
    EXPECT_EQ(At(Drawn(*engine, broken), 10, 10, 64), 0xFF000000u);
    DWORD argb = 0;
    EXPECT_FALSE(engine->ReadBackupPixel(broken, 0, 0, &argb));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(EngineSkin, TheSkinDecodesNothingUntilAPictureIsUsed) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitEngine(true).ok());
    IMResourceManager* engine = GetResourceManager();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->TextureCount(), kSkinNames.size());
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    // Buttons take the size of their picture before anything is drawn.
    const IMTextureEntry* print = engine->GetTextureEntry(engine->FindTexture(L"PrintButton"));
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->image.right, 84);
    EXPECT_EQ(print->image.bottom, 47);
    const IMTextureEntry* background = engine->GetTextureEntry(engine->FindTexture(L"DefaultBackGround"));
    EXPECT_EQ(background->textureWidth, 1024);
    EXPECT_EQ(background->textureHeight, 1024);

    // Drawn, a skin picture shows exactly what decoding its bytes at once shows.
    const auto bytes = platform::ResourceModule::Program().FindName(std::wstring_view(L"PrintButton"));
    ASSERT_TRUE(bytes);
    const DWORD eager = engine->RegisterTexture(L"eager PrintButton", *bytes);
    const Pixels want = Drawn(*engine, eager);
    EXPECT_EQ(Drawn(*engine, engine->FindTexture(L"PrintButton")), want);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 2);
    engine->ReleaseTexture(eager);
    ShutdownEngine();
    testing::internal::GetCapturedStderr();
}

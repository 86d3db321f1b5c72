// The texture registry: names, reference counts, slot reuse, resource numbers, the companion
// module, files, eviction under video-memory exhaustion and the skin.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/image_decoder.h"
#include "engine/resource_manager.h"
#include "engine/skin.h"
#include "engine_test_support.h"
#include "platform/resource_module.h"
#include "platform/text.h"

using namespace enginetest;
namespace fs = std::filesystem;

namespace {
DWORD DrawnPixel(IMResourceManager& engine, DWORD slot) {
    engine.BeginFrame();
    engine.DrawTexture(slot, RECT{0, 0, 2, 2}, nullptr, 0xFFFFFFFF, 0.0f);
    return At(engine.Device()->ReadBackBuffer(), 1, 1);
}
}  // namespace

TEST_F(EngineTest, SameNameSharesASlotAndTheLastReleaseFreesItForReuse) {
    DWORD first = engine->LoadTexture(L"101");
    ASSERT_NE(first, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->LoadTexture(L"101"), first);
    EXPECT_EQ(engine->GetTextureEntry(first)->refs, 2);
    EXPECT_EQ(engine->AddTextureRef(first), first);
    DWORD other = Register(L"other", Solid(4, 4, 0xFF00FF00), 4, 4);
    engine->ReleaseTexture(first);
    engine->ReleaseTexture(first);
    EXPECT_EQ(engine->FindTexture(L"101"), first);
    engine->ReleaseTexture(first);
    EXPECT_EQ(engine->FindTexture(L"101"), engine->SlotCount());
    EXPECT_EQ(engine->GetTextureEntry(first), nullptr);
    // Free and unknown slots are ignored; the slot count never shrinks.
    engine->ReleaseTexture(first);
    engine->ReleaseTexture(engine->SlotCount() + 5);
    engine->ReleaseTextureByName(L"never registered");
    EXPECT_EQ(engine->AddTextureRef(first), engine->SlotCount());
    EXPECT_EQ(engine->SlotCount(), 2u);
    // The most recently freed number is taken first.
    DWORD next = Register(L"next", Solid(4, 4, 0xFF0000FF), 4, 4);
    EXPECT_EQ(next, first);
    engine->ReleaseTexture(next);
    engine->ReleaseTexture(other);
    EXPECT_EQ(engine->TextureCount(), 0u);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
}

TEST_F(EngineTest, ResourceNumbersAreReadAsWholeDecimalIntegers) {
    ASSERT_TRUE(platform::ResourceModule::Program().FindNumber(101)) << "data/rc/101.png is missing";
    DWORD plain = engine->LoadTexture(L"101");
    DWORD padded = engine->LoadTexture(L"0101");
    DWORD sign = engine->LoadTexture(L"+101");
    EXPECT_NE(plain, IMResourceManager::kNoTexture);
    EXPECT_NE(plain, padded);  // same picture, different names
    EXPECT_NE(padded, sign);
    EXPECT_EQ(engine->GetTextureEntry(plain)->image.right, engine->GetTextureEntry(padded)->image.right);
    // With spaces, two signs, a sign after the digits, or beyond an int's range it is not a number
    // but a (missing) file; 4294967397 would otherwise wrap round to 101.
    testing::internal::CaptureStderr();
    for (const wchar_t* name : {L" 101", L"+-101", L"101-", L"++101", L"4294967397", L"101.0"})
        EXPECT_EQ(engine->LoadTexture(name), IMResourceManager::kNoTexture) << platform::text::ToUtf8(name);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(engine->TextureCount(), 3u);
}

TEST_F(EngineTest, ARegisteredNameIsFoundWithoutLookingAnywhereElse) {
    // "9001" exists in the companion module and "no/such/file" nowhere: registration wins.
    DWORD slot = Register(L"9001", Solid(4, 4, 0xFF112233), 4, 4);
    EXPECT_EQ(engine->LoadTexture(L"9001"), slot);
    DWORD file = Register(L"no/such/file.png", Solid(4, 4, 0xFF445566), 4, 4);
    EXPECT_EQ(engine->LoadTexture(L"no/such/file.png"), file);
    EXPECT_EQ(DrawnPixel(*engine, slot), 0xFF112233u);
}

TEST_F(EngineTest, TheCompanionModuleIsConsultedOnlyForNumbersTheProgramLacks) {
    auto companion = platform::ResourceModule::OpenCompanion();
    ASSERT_TRUE(companion.ok()) << "the test companion module should sit beside the test";
    ASSERT_TRUE((*companion)->FindNumber(9001));
    EXPECT_FALSE(platform::ResourceModule::Program().FindNumber(9001));
    DWORD fromModule = engine->LoadTexture(L"9001");
    ASSERT_NE(fromModule, IMResourceManager::kNoTexture);
    EXPECT_EQ(DrawnPixel(*engine, fromModule), 0xFF00FFFFu);  // the module's cyan picture
    // The module's 101 is an 8 x 8 magenta square; the program's own picture must win.
    ASSERT_TRUE(platform::ResourceModule::Program().FindNumber(101)) << "data/rc/101.png is missing";
    DWORD own = engine->LoadTexture(L"101");
    ASSERT_NE(own, IMResourceManager::kNoTexture);
    EXPECT_NE(engine->GetTextureEntry(own)->image.right, 8);
}

TEST_F(EngineTest, FilesLoadByPathAndUnresolvedNamesGiveASlotThatDrawsNothing) {
    const std::string path = "engine_registry_test_picture.png";
    auto png = EncodePng(Solid(6, 5, 0xFFAA5500), 6, 5);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    DWORD slot = engine->LoadTexture(std::wstring(path.begin(), path.end()));
    ASSERT_NE(slot, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->GetTextureEntry(slot)->image.right, 6);
    std::remove(path.c_str());

    testing::internal::CaptureStderr();
    DWORD nothing = engine->LoadTexture(L"/nonexistent/picture.png");
    DWORD missingNumber = engine->LoadTexture(L"31999");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(nothing, IMResourceManager::kNoTexture);
    EXPECT_EQ(missingNumber, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->TextureCount(), 1u);
    EXPECT_EQ(DrawnPixel(*engine, nothing), 0xFF000000u);
    engine->ReleaseTexture(nothing);
    engine->ReleaseTexture(nothing);
    EXPECT_EQ(engine->TextureCount(), 1u);
    // A later slot is not hit by a stale release of the unresolved value.
    DWORD later = Register(L"later", Solid(2, 2, 0xFFFFFFFF), 2, 2);
    engine->ReleaseTexture(nothing);
    EXPECT_NE(engine->GetTextureEntry(later), nullptr);
}

// Only the device running out of memory is a reason to drop other pictures. A path that is no
// readable picture file fails alone, says why, and every other picture stays on the device.
TEST_F(EngineTest, PathsThatAreNoReadableFileFailAloneWithoutEvictingOtherPictures) {
    DWORD a = Register(L"a", Solid(64, 64, 0xFFFF0000), 64, 64);
    DWORD b = Register(L"b", Solid(64, 64, 0xFF00FF00), 64, 64);
    const fs::path folder = "engine_registry_test_folder";
    const fs::path file = "engine_registry_test_file.png";
    const fs::path big = "engine_registry_test_big.png";
    fs::create_directory(folder);
    auto png = EncodePng(Solid(4, 4, 0xFF0000FF), 4, 4);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    std::ofstream(big, std::ios::binary).put(0);
    fs::resize_file(big, kMaxPictureFileBytes + 1);  // sparse: no disk is used
    struct Case {
        fs::path path;
        const char* why;
    };
    // A folder opens like a file and claims an enormous size; /dev/zero never ends.
    for (const Case& c : {Case{folder, "it is a folder"}, Case{fs::absolute(folder), "it is a folder"},
                          Case{"/dev/zero", "not a plain file"}, Case{file / "inner.png", "cannot open"},
                          Case{big, "too large for a picture file"}, Case{"no_such_picture.png", "cannot open"}}) {
        SCOPED_TRACE(c.path.string());
        testing::internal::CaptureStderr();
        DWORD slot = engine->LoadTexture(c.path.wstring());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(slot, IMResourceManager::kNoTexture);
        EXPECT_NE(err.find(c.why), std::string::npos) << err;
        EXPECT_EQ(err.find("out of texture memory"), std::string::npos) << err;
        EXPECT_NE(engine->GetTextureEntry(a)->texture, nullptr);
        EXPECT_NE(engine->GetTextureEntry(b)->texture, nullptr);
        EXPECT_EQ(engine->Device()->LiveTextureCount(), 2);
    }
    EXPECT_EQ(engine->TextureCount(), 2u);
    // The readable file next to them loads.
    DWORD readable = engine->LoadTexture(file.wstring());
    EXPECT_NE(readable, IMResourceManager::kNoTexture);
    fs::remove(folder);
    fs::remove(file);
    fs::remove(big);
}

TEST_F(EngineTest, ExhaustedVideoMemoryEvictsTheLowestOtherSlotAndFailsWhenNothingIsLeft) {
    // Room for three 64 x 64 textures.
    engine->Device()->SetTextureMemoryBudget(3 * 64 * 64 * 4);
    DWORD a = Register(L"a", Solid(64, 64, 0xFFFF0000), 64, 64);
    DWORD b = Register(L"b", Solid(64, 64, 0xFF00FF00), 64, 64);
    DWORD c = Register(L"c", Solid(64, 64, 0xFF0000FF), 64, 64);
    DWORD d = Register(L"d", Solid(64, 64, 0xFFFFFFFF), 64, 64);
    ASSERT_NE(d, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->GetTextureEntry(a)->texture, nullptr);  // the lowest number went first
    EXPECT_NE(engine->GetTextureEntry(b)->texture, nullptr);
    EXPECT_NE(engine->GetTextureEntry(c)->texture, nullptr);
    // Drawing the evicted picture restores it, evicting the next lowest other slot.
    EXPECT_EQ(DrawnPixel(*engine, a), 0xFFFF0000u);
    EXPECT_EQ(engine->GetTextureEntry(b)->texture, nullptr);
    EXPECT_NE(engine->GetTextureEntry(d)->texture, nullptr);

    // A picture larger than all the memory there is: everything else is dropped, then the
    // attempt ends cleanly instead of looping.
    testing::internal::CaptureStderr();
    DWORD huge = Register(L"huge", Solid(256, 256, 0xFF808080), 256, 256);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(huge, IMResourceManager::kNoTexture);
    EXPECT_NE(err.find("out of texture memory"), std::string::npos) << err;
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    EXPECT_EQ(engine->FindTexture(L"huge"), engine->SlotCount());
    // Every picture still comes back from its backup.
    EXPECT_EQ(DrawnPixel(*engine, b), 0xFF00FF00u);
    EXPECT_EQ(DrawnPixel(*engine, c), 0xFF0000FFu);
}

// Every way of asking for a texture of a given size holds to the decoders' side limit. Sizes
// beyond it are refused with a message before anything is allocated (above 2^30 the rounding to
// a power of two would overflow), and no other picture is dropped to make room for them.
TEST_F(EngineTest, SidesOutsideOneToTheLimitAreRefusedWherever) {
    constexpr int kCap = kMaxPictureSide;
    DWORD keep = Register(L"keep", Solid(8, 8, 0xFF123456), 8, 8);
    const std::string because = "must be 1 to " + std::to_string(kCap);

    for (int side : {0, -1, kCap + 1, (1 << 30) + 1, INT_MAX}) {
        SCOPED_TRACE(side);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(engine->AllocateTexture(side, 1, platform::PixelFormat::A8R8G8B8).ok());
        EXPECT_FALSE(engine->AllocateTexture(1, side, platform::PixelFormat::A8R8G8B8).ok());
        EXPECT_EQ(engine->CreateBlankTexture(L"wide", side, 1, platform::PixelFormat::A8R8G8B8),
                  IMResourceManager::kNoTexture);
        EXPECT_EQ(engine->CreateBlankTexture(L"tall", 1, side, platform::PixelFormat::X8R8G8B8),
                  IMResourceManager::kNoTexture);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(because), std::string::npos) << err;
        EXPECT_NE(err.find("\"tall\""), std::string::npos) << err;
    }
    // A glyph's rectangle may be as wide as two ints apart; a zero side becomes 1 instead.
    for (RECT r : {RECT{0, 0, -1, 16}, RECT{0, 0, 8, -1}, RECT{0, 0, kCap + 1, 1}, RECT{0, 0, 1, (1 << 30) + 1},
                   RECT{0, 0, INT_MAX, 1}, RECT{INT_MIN, 0, INT_MAX, 1}, RECT{0, INT_MIN, 1, INT_MAX}}) {
        SCOPED_TRACE(testing::Message() << r.left << "," << r.top << "," << r.right << "," << r.bottom);
        testing::internal::CaptureStderr();
        DWORD slot = engine->CreateGlyphTexture(L"glyph", L'A', &r, 0xFF000000, 16, L"Arial", false, false, false, 0);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(slot, IMResourceManager::kNoTexture);
        EXPECT_NE(err.find(because), std::string::npos) << err;
    }
    EXPECT_EQ(engine->TextureCount(), 1u);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 1);
    EXPECT_NE(engine->GetTextureEntry(keep)->texture, nullptr);

    // The limit itself is taken, and a glyph's zero side becomes one pixel.
    const DWORD wide = engine->CreateBlankTexture(L"wide", kCap, 1, platform::PixelFormat::A8R8G8B8);
    const DWORD tall = engine->CreateBlankTexture(L"tall", 1, kCap, platform::PixelFormat::A8R8G8B8);
    ASSERT_NE(wide, IMResourceManager::kNoTexture);
    ASSERT_NE(tall, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->GetTextureEntry(wide)->textureWidth, kCap);
    EXPECT_EQ(engine->GetTextureEntry(tall)->textureHeight, kCap);
    RECT flat{0, 0, 0, 0};
    const DWORD glyph =
        engine->CreateGlyphTexture(L"glyph", L'A', &flat, 0xFF000000, 16, L"Arial", false, false, false, 0);
    ASSERT_NE(glyph, IMResourceManager::kNoTexture);
    EXPECT_EQ(engine->GetTextureEntry(glyph)->image.right, 1);
    EXPECT_EQ(engine->GetTextureEntry(glyph)->image.bottom, 1);
    RECT limit{0, 0, kCap, 2};
    EXPECT_NE(engine->CreateGlyphTexture(L"long glyph", L'A', &limit, 0xFF000000, 16, L"Arial", false, false, false, 0),
              IMResourceManager::kNoTexture);
}

TEST(EngineSkin, TheSkinIsRegisteredInTableOrderAndReleasedAtShutdown) {
    // Every skin picture is part of the program: a missing one fails here, not later on screen.
    const auto& program = platform::ResourceModule::Program();
    for (const wchar_t* name : kSkinNames)
        ASSERT_TRUE(program.FindName(std::wstring_view(name))) << "data/skin is missing " << name;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(InitEngine(true).ok());
    IMResourceManager* engine = GetResourceManager();
    for (DWORD i = 0; i < kSkinNames.size(); ++i) EXPECT_EQ(engine->FindTexture(kSkinNames[i]), i) << kSkinNames[i];
    EXPECT_EQ(engine->TextureCount(), kSkinNames.size());
    // The selection mask is a 1 x 1 picture with alpha 28, as the hit test reads it.
    DWORD mask = engine->FindTexture(L"SelectionMask");
    DWORD pixel = 0;
    EXPECT_TRUE(engine->ReadBackupPixel(mask, 0, 0, &pixel));
    EXPECT_EQ(pixel >> 24, 28u);
    DWORD extra = engine->LoadTexture(L"DefaultBackGround");  // a screen's own reference
    EXPECT_NE(extra, IMResourceManager::kNoTexture);
    for (const wchar_t* name : kSkinNames) engine->ReleaseTextureByName(name);
    EXPECT_EQ(engine->TextureCount(), 1u);
    engine->ReleaseTexture(extra);
    EXPECT_EQ(engine->TextureCount(), 0u);
    EXPECT_EQ(engine->Device()->LiveTextureCount(), 0);
    ShutdownEngine();
    testing::internal::GetCapturedStderr();
}

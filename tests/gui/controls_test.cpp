// Pictures and buttons on a real engine with a hidden window: state pictures, pixel-exact
// hits, transparency, rotation, and what reaches the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "gui/window.h"

namespace {

// Registers a w x h picture of one colour under `name`; with `roundCorners` the four corner
// regions (outside a circle touching the sides) are transparent.
void MakePicture(const std::wstring& name, int w, int h, DWORD argb, bool roundCorners = false) {
    IMResourceManager* engine = GetResourceManager();
    DWORD slot = engine->CreateBlankTexture(name, w, h, platform::PixelFormat::A8R8G8B8);
    ASSERT_NE(slot, IMResourceManager::kNoTexture);
    engine->FillTexture(slot, [&](BYTE* bits, int pitch, int rows) {
        for (int y = 0; y < rows; ++y) {
            auto* row = reinterpret_cast<DWORD*>(bits + y * pitch);
            for (int x = 0; x < w; ++x) {
                const double dx = x + 0.5 - w / 2.0, dy = y + 0.5 - h / 2.0;
                const bool outside = roundCorners && dx * dx + dy * dy > (w / 2.0) * (w / 2.0);
                row[x] = outside ? 0 : argb;
            }
        }
    });
    engine->BackupTexture(slot);
}

DWORD PixelAt(int x, int y) {
    auto pixels = GetResourceManager()->Device()->ReadBackBuffer();
    return pixels[y * 800 + x];
}

struct ControlsTest : ::testing::Test {
    void SetUp() override {
        windowOwner = CreateMainWindow(L"controls", RECT{0, 0, 800, 600}, true, true);
        window = windowOwner.get();
        ASSERT_NE(window, nullptr);
        MakePicture(L"Btn", 60, 40, 0xFF2080C0);
        MakePicture(L"BtnNuv", 60, 40, 0xFF40A0E0);
        MakePicture(L"BtnKlick", 60, 40, 0xFF105070);
        MakePicture(L"Round", 96, 96, 0xFFE0C020, true);
        MakePicture(L"Floor", 800, 600, 0xFF808080);
        screen = CreateDialog(window, 0, 0, 800, 600, 0);
    }
    void TearDown() override { windowOwner.reset(); }
    void Pass() { window->PumpOnce(); }
    void Move(int x, int y) { window->WindowProc(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    void Press(int x, int y) { window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Release(int x, int y) { window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    std::wstring Shown(IMButton* b) { return GetResourceManager()->GetTextureEntry(b->Slot())->name; }

    std::unique_ptr<IMWindow> windowOwner;
    IMWindow* window = nullptr;
    IMDialog* screen = nullptr;
};

}  // namespace

TEST_F(ControlsTest, ButtonsShowTheirStatesFromOnePictureSet) {
    IMButton* full = CreateButton(screen, 100, 100, L"Btn", L"Btn", L"BtnNuv", L"BtnKlick", 0);
    IMButton* plain = CreateButton(screen, 300, 100, L"Btn", L"", L"", L"", 0);
    int clicks = 0;
    full->OnClick.connect([&](const IMMouseEvent&) {
        ++clicks;
        return 0L;
    });
    EXPECT_TRUE(EqualRect(full->GetRect(), RECT{100, 100, 160, 140}));
    Pass();
    Pass();

    Move(120, 120);
    EXPECT_EQ(Shown(full), L"BtnNuv");
    Press(120, 120);
    EXPECT_EQ(Shown(full), L"BtnKlick");
    Release(120, 120);
    EXPECT_EQ(Shown(full), L"BtnNuv");
    EXPECT_EQ(clicks, 1);
    Move(10, 10);
    EXPECT_EQ(Shown(full), L"Btn");

    // A button with only a normal picture shows it in every state.
    Move(320, 120);
    Press(320, 120);
    EXPECT_EQ(Shown(plain), L"Btn");

    // Disabled: no signals, but the pointer is still tracked.
    Release(320, 120);
    full->Disable();
    Move(120, 120);
    EXPECT_TRUE(full->IsMouseOver());
    Press(120, 120);
    Release(120, 120);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Shown(full), L"Btn");

    // Hidden under the pointer: the picture stays, and the button is neither drawn nor hit.
    full->Enable();
    Move(121, 121);
    EXPECT_EQ(Shown(full), L"BtnNuv");
    full->Hide();
    EXPECT_EQ(Shown(full), L"BtnNuv");
    EXPECT_FALSE(full->HitTest(120, 120));
    Pass();
    EXPECT_EQ(PixelAt(120, 120), 0xFF000000u);
}

TEST_F(ControlsTest, TransparentPixelsPassClicksToWhatLiesBelow) {
    IMPicture* floor = CreatePicture(screen, 0, 0, L"Floor", 0, 0xFFFFFFFF);
    IMButton* bell = CreateButton(screen, 200, 200, L"Round", L"", L"", L"", 1);
    int floorClicks = 0, bellClicks = 0;
    floor->OnClick.connect([&](const IMMouseEvent&) {
        ++floorClicks;
        return 0L;
    });
    bell->OnClick.connect([&](const IMMouseEvent&) {
        ++bellClicks;
        return 0L;
    });
    Pass();
    Pass();

    Move(202, 202);  // a transparent corner of the round picture
    Press(202, 202);
    Release(202, 202);
    Move(248, 248);  // its middle
    Press(248, 248);
    Release(248, 248);
    EXPECT_EQ(floorClicks, 1);
    EXPECT_EQ(bellClicks, 1);

    // Drawn: the floor shows through the corner; the middle is the bell's colour.
    Pass();
    EXPECT_EQ(PixelAt(201, 201), 0xFF808080u);
    EXPECT_EQ(PixelAt(248, 248), 0xFFE0C020u);
    std::filesystem::create_directories("screenshots");  // the tests run inside build/
    GetResourceManager()->Device()->WritePng("screenshots/controls_test.png",
                                             GetResourceManager()->Device()->ReadBackBuffer(), 800, 600);
}

TEST_F(ControlsTest, ColourAlphaAndRotationDecideWhatIsHit) {
    IMPicture* faded = CreatePicture(screen, 0, 0, L"Btn", 0, 0x80FFFFFF);
    EXPECT_FALSE(faded->HitTest(10, 10));  // half transparent: never clicked at the default threshold
    faded->alphaThreshold = 0;
    EXPECT_TRUE(faded->HitTest(10, 10));

    // A 100 x 50 picture drawn into 200 x 100: (11, 11) maps to texel (0, 0).
    MakePicture(L"Wide", 100, 50, 0xFF000000);
    IMPicture* wide = CreatePicture(screen, 10, 10, L"Wide", 0, 0xFFFFFFFF);
    wide->SetRect(RECT{10, 10, 210, 110});
    EXPECT_TRUE(wide->HitTest(11, 11));
    EXPECT_TRUE(wide->HitTest(209, 109));
    EXPECT_FALSE(wide->HitTest(210, 109));

    // Turned by a quarter: a point inside the upright rectangle but outside the turned one misses.
    MakePicture(L"Bar", 100, 20, 0xFF000000);
    IMPicture* bar = CreatePicture(screen, 300, 300, L"Bar", 0, 0xFFFFFFFF);
    bar->angle = static_cast<float>(M_PI / 2);
    EXPECT_FALSE(bar->HitTest(305, 310));  // left end of the upright bar
    EXPECT_TRUE(bar->HitTest(350, 270));   // above the centre, on the turned bar
    EXPECT_TRUE(bar->HitTest(350, 310));   // the centre itself

    // SetPicture takes the new picture's size and moves the control to (0, 0).
    wide->SetPicture(L"Btn");
    EXPECT_TRUE(EqualRect(wide->GetRect(), RECT{0, 0, 60, 40}));

    // The same name again changes nothing: no reference moves and nothing becomes dirty.
    DWORD slot = wide->Slot();
    int refs = GetResourceManager()->GetTextureEntry(slot)->refs;
    wide->SetDirty(false);
    wide->SetTexture(L"Btn");
    EXPECT_EQ(GetResourceManager()->GetTextureEntry(slot)->refs, refs);
    EXPECT_FALSE(wide->IsDirty());
}

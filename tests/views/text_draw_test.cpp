// Drawing texts through the engine: the start screen's texts over the background, read back
// from the back buffer and saved as text_screenshot.png in the build folder for review.
#include <gtest/gtest.h>

#include "tests/views/start_screen_texts.h"
#include "tests/views/text_test_support.h"
#include "views/text_view.h"

using namespace texttest;

namespace {

const ::testing::Environment* const kEngine = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

struct Text {
    IMTextView view;
    Text(int x, int y, const std::wstring& text, int size, bool bold) {
        view.SetTextColour(kScreenColour);
        view.SetFontHeight(size);
        view.SetBold(bold);
        view.SetText(text);
        const RECT extent = view.GetSourceRect();
        view.SetRect(RECT{x, y, x + extent.right, y + extent.bottom});
    }
};

bool IsInk(DWORD argb) { return ((argb >> 16) & 0xFF) < 0x60 && (argb & 0xFF) < 0x80; }

int InkInRows(const std::vector<DWORD>& frame, int left, int right, int top, int bottom) {
    int ink = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) ink += IsInk(frame[static_cast<std::size_t>(y) * 800 + x]);
    return ink;
}

}  // namespace

TEST(TextDrawing, StartScreenTextsAndTheDescriptionBox) {
    IMResourceManager& engine = Engine();
    const DWORD background = engine.LoadTexture(L"DefaultBackGround");
    ASSERT_NE(background, IMResourceManager::kNoTexture) << "data/skin/DefaultBackGround.png is missing";
    Text caption(0, 10, L"зедкарный ресурс", 14, false);
    caption.view.SetPosition((800 - caption.view.GetWidth()) / 2, 10);
    Text course(0, 35, L"Курс Ларсима", 18, true);
    course.view.SetPosition((800 - course.view.GetWidth()) / 2, 35);
    Text numberLabel(30, 115, L"Номер ЦОР:", 18, true);
    Text number(135, 115, L"00357", 18, false);
    Text nameLabel(30, 152, L"Название:", 18, true);
    Text name(135, 152, L"Игра «Ворлен»", 18, false);
    Text descriptionLabel(30, 188, L"Описание:", 18, true);
    Text keys(180, 520, L"- пропустить инструкцию;", 16, false);

    IMTextView description;
    description.SetTextColour(kScreenColour);
    description.SetFontHeight(18);
    description.SetRect(RECT{119, 187, 119 + kDescriptionWidth, 187 + 415});
    description.SetWordWrap(true);
    description.SetText(kDescription);
    const int height = description.GetSourceRect().bottom;
    EXPECT_GT(description.LineStarts().size(), 4u);
    EXPECT_LE(description.GetSourceRect().right, kDescriptionWidth);
    EXPECT_GT(height, 80);

    auto drawAll = [&](const RECT& descriptionClip) {
        engine.BeginFrame();
        engine.DrawTexture(background, RECT{0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0);
        for (Text* t : {&caption, &course, &numberLabel, &number, &nameLabel, &name, &descriptionLabel, &keys})
            t->view.Draw();
        engine.SetClip(descriptionClip);
        description.Draw();
        engine.SetClip(RECT{0, 0, 800, 600});
        return engine.Device()->ReadBackBuffer();
    };

    std::vector<DWORD> frame = drawAll(RECT{119, 187, 712, 423});
    platform::GraphicsDevice::WritePng("text_screenshot.png", frame, 800, 600);
    EXPECT_GT(InkInRows(frame, 300, 500, 10, 26), 20) << "caption";
    EXPECT_GT(InkInRows(frame, 119, 712, 187, 187 + height), 1000) << "description";
    EXPECT_EQ(InkInRows(frame, 119, 712, 187 + height + 2, 423), 0);
    EXPECT_EQ(InkInRows(frame, 0, 800, 560, 600), 0);
    EXPECT_FALSE(description.IsDirty());
    EXPECT_TRUE(EqualRect(engine.GetClip(), RECT{0, 0, 800, 600}));
    EXPECT_EQ(engine.GetOrigin(), (POINT{0, 0}));

    // Scrolled up by a line and clipped to two lines: the first line is gone, the second is
    // at the top, and nothing below the clip is touched.
    const int lineTop = description.GetCharRect(description.LineStarts()[1]).top;
    description.SetRect(RECT{119, 187 - lineTop, 119 + kDescriptionWidth, 187 - lineTop + 415});
    frame = drawAll(RECT{119, 187, 712, 187 + 2 * lineTop});
    EXPECT_GT(InkInRows(frame, 119, 712, 187, 187 + lineTop), 100);
    EXPECT_EQ(InkInRows(frame, 119, 712, 187 + 2 * lineTop, 423), 0);

    // A view entirely outside the clip draws nothing and is clean afterwards.
    description.SetRect(RECT{119, 500, 712, 900});
    description.SetDirty(true);
    frame = drawAll(RECT{119, 187, 712, 423});
    EXPECT_EQ(InkInRows(frame, 119, 712, 187, 423), 0);
    EXPECT_FALSE(description.IsDirty());
    engine.ReleaseTexture(background);
}

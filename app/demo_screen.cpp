#include "app/demo_screen.h"

#include <boost/bind/bind.hpp>

#include "app/exercise_rules.h"
#include "engine/resource_manager.h"
#include "gui/creation.h"
#include "gui/window.h"
#include "views/static_text.h"

IMDialog* ShowDemoScreen(IMWindow* window) {
    using namespace exercise;
    IMDialog* screen = CreateDialog(window, 0, 0, 800, 600, 0);

    const Episode& episode = kEpisodes[0];
    CreatePicture(screen, 0, 0, ResourceName(BoardPicture(episode.base)), 0, 0xFFFFFFFF);
    // The stage cards lie in their slots, the extra card below; each on the cards' layer.
    for (int k = 1; k <= kStageCount; ++k) {
        const POINT slot = SlotPositions[k - 1];
        CreatePicture(screen, slot.x, slot.y, ResourceName(CardPicture(episode.base, k)), 2, 0xFFFFFFFF);
    }
    const POINT below = StartPositions[2];
    CreatePicture(screen, below.x, below.y, ResourceName(CardPicture(episode.base, kExtraCardNumber)), 2, 0xFFFFFFFF);
    const std::wstring bell = ResourceName(BellPicture(episode.base));
    IMButton* bellButton =
        CreateButton(screen, BellPosition.x, BellPosition.y, bell, bell, ResourceName(BellHoverPicture(episode.base)),
                     ResourceName(BellPressedPicture(episode.base)), 1);

    CreateButton(screen, 520, 470, L"PrintButton", L"PrintButton", L"PrintButtonNuv", L"PrintButtonKlick", 1);
    CreateButton(screen, 520, 530, L"RetryButton", L"RetryButton", L"RetryButtonNuv", L"RetryButtonKlick", 1);
    // The texts of the exercise's screens: one colour, the Arial face, sizes 14 to 25.
    constexpr DWORD kScreenColour = 0xFF072134;
    IMStaticText* title = CreateText(screen, 40, 316, L"Что было сначала, а что потом?", 1);
    title->SetTextColour(kScreenColour);
    title->SetFontHeight(25);
    title->SetBold(true);
    title->SetRect(title->GetSourceRect());
    title->SetPosition(40, 316);
    // A longer text wraps at the width of its rectangle.
    IMStaticText* hint = CreateText(screen, 40, 356, L"", 1);
    hint->SetRect(RECT{40, 356, 300, 356});
    hint->SetWordWrap(true);
    hint->SetTextColour(kScreenColour);
    hint->SetFontHeight(18);
    hint->SetText(L"Перетащи картинки в клетки по порядку, лишнюю оставь внизу и позвони в колокольчик.");
    const RECT extent = hint->GetSourceRect();
    hint->SetRect(RECT{40, 356, 40 + extent.right, 356 + extent.bottom});

    IMButton* exit = CreateButton(screen, 755, 8, L"ExitButton", L"", L"", L"", 5);
    exit->OnClick.connect(boost::bind(&IMControl::Close, window));

    // The spoken instruction greets the pupil; the bell answers with the episode's praise word
    // and stays disabled while it sounds, as on the boards of the exercise.
    if (IMResourceManager* engine = GetResourceManager()) {
        engine->Play(engine->CreateSound(ResourceName(kInstructionSound)));
        const DWORD praise = engine->CreateSound(ResourceName(episode.praiseSound));
        if (praise != 0) {
            engine->ConnectEnded(praise, boost::bind(&IMControl::Enable, bellButton));
            bellButton->OnClick.connect([engine, praise, bellButton](const IMMouseEvent&) {
                if (engine->Play(praise)) bellButton->Disable();
                return 0L;
            });
        }
    }
    return screen;
}

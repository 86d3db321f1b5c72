#include "app/exercise_rules.h"

#include <algorithm>
#include <cstdlib>

#include "gui/control.h"

namespace exercise {

std::wstring ResourceName(int number) { return std::to_wstring(number); }

Card MakeCard(IMControl* picture, int cardNumber) {
    bool extra = cardNumber == kExtraCardNumber;
    return Card{picture, extra, extra};
}

int RandomFreeIndex::Next(int count) {
    if (count <= 0) return 0;
    auto isDrawn = [this](int r) { return std::find(drawn_.begin(), drawn_.end(), r) != drawn_.end(); };
    bool everyIndexDrawn = true;
    for (int i = 0; i < count && everyIndexDrawn; ++i) everyIndexDrawn = isDrawn(i);
    if (everyIndexDrawn) drawn_.clear();
    int r = std::rand() % count;
    while (isDrawn(r)) r = std::rand() % count;
    drawn_.push_back(r);
    return r;
}

void MoveTo(IMControl* control, int x, int y) {
    RECT r = control->GetRect();
    control->SetRect(RECT{x, y, x + r.Width(), y + r.Height()});
}

namespace {

Card* FindCard(std::vector<Card>& cards, IMControl* picture) {
    auto it = std::find_if(cards.begin(), cards.end(), [picture](const Card& c) { return c.picture == picture; });
    return it == cards.end() ? nullptr : &*it;
}

// A random coordinate that keeps a card of `size` inside [low, high). An area smaller than
// the card leaves it at the low edge instead of dividing by zero.
int RandomInside(int low, int high, int size) {
    int span = high - low - size;
    return span > 0 ? std::rand() % span + low : low;
}

}  // namespace

DropOutcome DropCard(std::vector<Card>& cards, IMControl* picture, int cardNumber, POINT mouse, POINT grab,
                     const RECT& dropArea, ExerciseCounters& counters) {
    DropOutcome outcome;
    Card* card = FindCard(cards, picture);
    if (card) card->inPlace = false;

    const int cornerX = mouse.x - grab.x;
    const int cornerY = mouse.y - grab.y;
    for (int k = 1; k <= kStageCount; ++k) {
        const POINT slot = SlotPositions[k - 1];
        if (std::abs(cornerX - slot.x) >= SnapRadius || std::abs(cornerY - slot.y) >= SnapRadius) continue;

        outcome.slot = k;
        for (Card& other : cards) {
            if (other.picture == picture) continue;
            RECT r = other.picture->GetRect();
            if (r.left != slot.x || r.top != slot.y) continue;
            int x = RandomInside(dropArea.left, dropArea.right, r.Width());
            int y = RandomInside(dropArea.top, dropArea.bottom, r.Height());
            MoveTo(other.picture, x, y);
            other.inPlace = other.isExtra;
            outcome.pushedOut = other.picture;
            break;
        }
        if (card && cardNumber == k) card->inPlace = true;
        MoveTo(picture, slot.x, slot.y);
    }

    if (card && card->isExtra && outcome.slot == 0) card->inPlace = true;
    if (outcome.slot == 0) ++counters.dropMiss;
    return outcome;
}

Judgement JudgeBoard(const std::vector<Card>& cards, ExerciseCounters& counters) {
    if (std::all_of(cards.begin(), cards.end(), [](const Card& c) { return c.inPlace; })) return Judgement::Solved;
    auto extra = std::find_if(cards.begin(), cards.end(), [](const Card& c) { return c.isExtra; });
    if (extra != cards.end() && !extra->inPlace) {
        ++counters.wrongExtra;
        return Judgement::WrongExtra;
    }
    ++counters.wrongSequence;
    return Judgement::WrongSequence;
}

}  // namespace exercise

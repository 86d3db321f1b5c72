#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

#include "app/exercise_rules.h"
#include "tests/support/plain_control.h"

using namespace exercise;

void PrintTo(const POINT& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

namespace {

// A board's cards as the board dialog keeps them: stage card 4, 3, 2, 1, then the extra card.
struct Board {
    Board() {
        for (int n = 0; n < kCardCount; ++n) {
            POINT p = StartPositions[n];
            pictures[n] = std::make_unique<PlainControl>(nullptr, RECT{p.x, p.y, p.x + kCardWidth, p.y + kCardHeight});
            cards.insert(cards.begin(), MakeCard(pictures[n].get(), n));
        }
    }
    IMControl* Picture(int cardNumber) { return pictures[cardNumber].get(); }
    Card& CardOf(int cardNumber) {
        return *std::find_if(cards.begin(), cards.end(),
                             [&](const Card& c) { return c.picture == Picture(cardNumber); });
    }
    POINT Corner(int cardNumber) {
        RECT r = Picture(cardNumber)->GetRect();
        return {r.left, r.top};
    }
    // Releases a card grabbed at its corner with the corner at (x, y).
    DropOutcome Drop(int cardNumber, int x, int y) {
        return DropCard(cards, Picture(cardNumber), cardNumber, {x, y}, {0, 0}, DropArea, counters);
    }
    DropOutcome DropOnSlot(int cardNumber, int slot) {
        return Drop(cardNumber, SlotPositions[slot - 1].x, SlotPositions[slot - 1].y);
    }

    std::unique_ptr<PlainControl> pictures[kCardCount];
    std::vector<Card> cards;
    ExerciseCounters counters;
};

}  // namespace

TEST(Rules, EpisodesDeriveEveryPictureFromTheirBase) {
    EXPECT_EQ(kEpisodes[0].base, 128);
    EXPECT_EQ(CardPicture(128, 1), 129);
    EXPECT_EQ(CardPicture(128, 4), 132);
    EXPECT_EQ(CardPicture(128, kExtraCardNumber), 133);
    EXPECT_EQ(BellPressedPicture(119), 127);
    EXPECT_EQ(ResourceName(CardPicture(101, 2)), L"103");

    // Together the episodes use every picture number from 101 to 136 exactly once.
    std::set<int> numbers;
    for (const Episode& e : kEpisodes)
        for (int offset = 0; offset <= 8; ++offset) EXPECT_TRUE(numbers.insert(e.base + offset).second);
    EXPECT_EQ(*numbers.begin(), 101);
    EXPECT_EQ(*numbers.rbegin(), 136);
}

TEST(Rules, SnapsWithinSeventyNinePixelsButNotAtEighty) {
    for (int slot = 1; slot <= 4; ++slot) {
        const POINT s = SlotPositions[slot - 1];
        for (int dx : {-79, 0, 79}) {
            for (int dy : {-79, 0, 79}) {
                Board b;
                DropOutcome o = b.Drop(slot, s.x + dx, s.y + dy);
                EXPECT_EQ(o.slot, slot) << "dx " << dx << " dy " << dy;
                EXPECT_EQ(b.Corner(slot), s);  // lands exactly on the slot
                EXPECT_TRUE(b.CardOf(slot).inPlace);
                EXPECT_EQ(b.counters.dropMiss, 0);
            }
        }
        for (POINT d : {POINT{80, 0}, POINT{-80, 0}, POINT{0, 80}, POINT{0, -80}, POINT{80, 79}}) {
            Board b;
            const POINT before = b.Corner(slot);
            DropOutcome o = b.Drop(slot, s.x + d.x, s.y + d.y);
            EXPECT_EQ(o.slot, 0) << "dx " << d.x << " dy " << d.y;
            EXPECT_EQ(b.Corner(slot), before);  // a missed card is left where the drag put it
            EXPECT_FALSE(b.CardOf(slot).inPlace);
            EXPECT_EQ(b.counters.dropMiss, 1);
        }
    }
}

TEST(Rules, TheGrabOffsetDecidesWhereTheCornerLands) {
    Board b;
    // Grabbed 100 pixels right of and 50 below its corner, released at slot 3 + that offset.
    DropOutcome o = DropCard(b.cards, b.Picture(3), 3, {411 + 100 + 70, 55 + 50}, {100, 50}, DropArea, b.counters);
    EXPECT_EQ(o.slot, 3);
    EXPECT_EQ(b.Corner(3), (POINT{411, 55}));
}

TEST(Rules, PushOutMovesTheOtherCardIntoTheDropAreaAndFixesItsFlag) {
    std::srand(7);
    for (int round = 0; round < 50; ++round) {
        Board b;
        b.DropOnSlot(2, 2);
        ASSERT_TRUE(b.CardOf(2).inPlace);

        DropOutcome o = b.DropOnSlot(3, 2);  // the wrong card takes slot 2
        EXPECT_EQ(o.slot, 2);
        EXPECT_EQ(o.pushedOut, b.Picture(2));
        EXPECT_EQ(b.Corner(3), SlotPositions[1]);
        EXPECT_FALSE(b.CardOf(3).inPlace);
        EXPECT_FALSE(b.CardOf(2).inPlace);  // the board cannot be solved with an empty slot
        POINT p = b.Corner(2);
        EXPECT_GE(p.x, 20);
        EXPECT_LE(p.x, 623);
        EXPECT_GE(p.y, 300);
        EXPECT_LE(p.y, 380);

        // The extra card pushed out of a slot is where it belongs again.
        b.DropOnSlot(kExtraCardNumber, 4);
        EXPECT_FALSE(b.CardOf(kExtraCardNumber).inPlace);
        o = b.DropOnSlot(4, 4);
        EXPECT_EQ(o.pushedOut, b.Picture(kExtraCardNumber));
        EXPECT_TRUE(b.CardOf(kExtraCardNumber).inPlace);
        EXPECT_TRUE(b.CardOf(4).inPlace);
        EXPECT_EQ(b.counters.dropMiss, 0);
    }
}

TEST(Rules, ACardDroppedBackOnItsOwnSlotIsInPlaceAgain) {
    Board b;
    b.DropOnSlot(1, 1);
    b.Drop(1, 300, 400);  // dragged out into empty space: a miss that clears the flag
    EXPECT_FALSE(b.CardOf(1).inPlace);
    EXPECT_EQ(b.counters.dropMiss, 1);

    b.DropOnSlot(1, 1);
    EXPECT_TRUE(b.CardOf(1).inPlace);
    // Released again where it already lies: it does not push itself out.
    DropOutcome o = b.DropOnSlot(1, 1);
    EXPECT_EQ(o.pushedOut, nullptr);
    EXPECT_TRUE(b.CardOf(1).inPlace);
}

TEST(Rules, JudgementNamesExactlyOneMistake) {
    {  // An untouched board is a wrong sequence.
        Board b;
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::WrongSequence);
        EXPECT_EQ(b.counters.wrongSequence, 1);
        EXPECT_EQ(b.counters.wrongExtra, 0);
    }
    {  // Solved: every stage card on its own slot, the extra card below.
        Board b;
        for (int k = 1; k <= 4; ++k) b.DropOnSlot(k, k);
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::Solved);
        EXPECT_EQ(b.counters.wrongSequence + b.counters.wrongExtra, 0);
    }
    {  // The extra card in a slot is a wrong extra, even when the four stage cards are right.
        Board b;
        for (Card& c : b.cards) c.inPlace = !c.isExtra;
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::WrongExtra);
        EXPECT_EQ(b.counters.wrongExtra, 1);
        EXPECT_EQ(b.counters.wrongSequence, 0);
    }
    {  // ... and the same through real drops: the extra card takes slot 1 from its owner.
        Board b;
        for (int k = 1; k <= 4; ++k) b.DropOnSlot(k, k);
        b.DropOnSlot(kExtraCardNumber, 1);
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::WrongExtra);
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::WrongExtra);  // cards are not moved
        EXPECT_EQ(b.counters.wrongExtra, 2);
    }
    {  // Two stage cards swapped.
        Board b;
        b.DropOnSlot(1, 2);
        b.DropOnSlot(2, 1);
        b.DropOnSlot(3, 3);
        b.DropOnSlot(4, 4);
        EXPECT_EQ(JudgeBoard(b.cards, b.counters), Judgement::WrongSequence);
    }
}

TEST(Rules, MissedDropsCountIncludingTheExtraCard) {
    Board b;
    b.Drop(2, 300, 450);
    b.Drop(3, 700, 500);
    EXPECT_EQ(b.counters.dropMiss, 2);

    b.Drop(kExtraCardNumber, 100, 420);
    EXPECT_EQ(b.counters.dropMiss, 3);
    EXPECT_TRUE(b.CardOf(kExtraCardNumber).inPlace);

    // From a slot back to empty space, the extra card is in place again.
    b.DropOnSlot(kExtraCardNumber, 3);
    EXPECT_FALSE(b.CardOf(kExtraCardNumber).inPlace);
    b.Drop(kExtraCardNumber, 100, 420);
    EXPECT_TRUE(b.CardOf(kExtraCardNumber).inPlace);
    EXPECT_EQ(b.counters.dropMiss, 4);
}

TEST(Rules, EveryBoardPermutationCoversTheFivePositionsOnce) {
    RandomFreeIndex index;
    for (unsigned seed = 0; seed < 200; ++seed) {
        std::srand(seed);
        std::set<int> drawn;
        for (int card = 0; card < kCardCount; ++card) {
            int r = index.Next(kCardCount);
            ASSERT_GE(r, 0);
            ASSERT_LT(r, kCardCount);
            drawn.insert(r);
            std::srand(seed);  // reseeding with the same value must not stall the draw
        }
        EXPECT_EQ(drawn.size(), 5u) << "seed " << seed;
        index.Clear();
    }
    // Forgetting to clear between boards starts a new round rather than looping forever.
    for (int i = 0; i < 5; ++i) index.Next(5);
    int sixth = index.Next(5);
    EXPECT_GE(sixth, 0);
    EXPECT_LT(sixth, 5);
}

// The rules of the exercise, free of any drawing: which pictures and sounds make up each
// episode, where the slots and the start positions of the cards are, how a dropped card snaps
// into a slot or pushes another one out, how the bell judges a board, and what the four
// mistake counters count. The board dialog applies these to its card pictures.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/win_types.h"

class IMControl;

namespace exercise {

// One episode is described by its base resource number b:
//   b            board background with the four numbered slots (800 x 600)
//   b + 1 .. 4   the stage cards in their correct order: card b + k belongs in slot k
//   b + 5        the extra card that does not belong
//   b + 6, 7, 8  the bell button: normal (also disabled), hover, pressed
struct Episode {
    int base;
    int praiseSound;  // played when the board is solved
    int narration;    // played after the praise; its end moves on to the next board
};

// In the order they are played: bread, chair, dress, jam.
inline constexpr std::array<Episode, 4> kEpisodes = {{
    {128, 148, 139},
    {101, 146, 140},
    {110, 147, 141},
    {119, 148, 142},
}};
inline constexpr int kEpisodeCount = static_cast<int>(kEpisodes.size());

inline constexpr int kExtraCardNumber = 0;  // card numbers 1..4 are the stage cards
inline constexpr int kStageCount = 4;
inline constexpr int kCardCount = 5;

constexpr int BoardPicture(int base) { return base; }
constexpr int CardPicture(int base, int cardNumber) {
    return cardNumber == kExtraCardNumber ? base + 5 : base + cardNumber;
}
constexpr int BellPicture(int base) { return base + 6; }
constexpr int BellHoverPicture(int base) { return base + 7; }
constexpr int BellPressedPicture(int base) { return base + 8; }

// Sounds by resource number.
inline constexpr int kInstructionSound = 137;
inline constexpr int kSecondEpisodeOpening = 143;  // played when the chair episode begins
inline constexpr int kFailureSound = 145;

// Resources are named by the decimal text of their number ("128").
std::wstring ResourceName(int number);

// Board geometry, in board pixels.
inline constexpr int kCardWidth = 156;
inline constexpr int kCardHeight = 179;
inline constexpr std::array<POINT, 4> SlotPositions = {{{55, 54}, {233, 54}, {411, 55}, {589, 55}}};
inline constexpr std::array<POINT, 5> StartPositions = {{{31, 355}, {210, 303}, {319, 391}, {426, 267}, {610, 281}}};
inline constexpr RECT DropArea = {20, 300, 780, 560};
inline constexpr int SnapRadius = 80;
inline constexpr POINT BellPosition = {695, 495};
inline constexpr RECT BoardRect = {0, 0, 800, 600};

struct Card {
    IMControl* picture = nullptr;
    // Where it belongs: a stage card exactly on its own slot, the extra card outside every slot.
    bool inPlace = false;
    bool isExtra = false;
};

// A new card: the extra card starts in place, the stage cards do not.
Card MakeCard(IMControl* picture, int cardNumber);

// The mistakes a pupil makes during one pass through the exercise, shared by the four boards.
struct ExerciseCounters {
    int wrongSequence = 0;  // the bell judged a board wrong with the extra card out of the slots
    int wrongExtra = 0;     // the bell judged a board wrong with the extra card in a slot
    int grabMiss = 0;       // a click on the board that missed every card and the bell
    int dropMiss = 0;       // a card released with its corner outside every slot's snap radius
};

// Draws distinct random indexes with the C library's rand(): r = rand() % count, drawn again
// while r was drawn before. Clear() forgets the drawn indexes (between boards). When every
// index of the range has been drawn, a further draw starts a new round instead of looping.
class RandomFreeIndex {
   public:
    int Next(int count);
    void Clear() { drawn_.clear(); }

   private:
    std::vector<int> drawn_;
};

// The result of dropping a card.
struct DropOutcome {
    int slot = 0;                    // 1..4 where the card snapped, 0 when it missed every slot
    IMControl* pushedOut = nullptr;  // the card that had to leave that slot, if any
};

// Applies the dropping rule to the card shown by `picture` (card number 0 for the extra card,
// 1..4 for the stage cards) released with the mouse at `mouse`, grabbed `grab` pixels from
// its corner. A snapped card moves exactly onto the slot; a card already lying there moves to
// a random place in `dropArea`; a card that misses stays where the mouse left it and counts a
// drop miss. Updates the inPlace flags of both cards.
DropOutcome DropCard(std::vector<Card>& cards, IMControl* picture, int cardNumber, POINT mouse, POINT grab,
                     const RECT& dropArea, ExerciseCounters& counters);

enum class Judgement { Solved, WrongSequence, WrongExtra };

// The bell: solved when every card is in place; otherwise counts one wrong sequence or one
// wrong extra, depending on whether the extra card lies in a slot. Cards are not moved.
Judgement JudgeBoard(const std::vector<Card>& cards, ExerciseCounters& counters);

// Moves a control so that its corner is at (x, y), keeping its size.
void MoveTo(IMControl* control, int x, int y);

}  // namespace exercise

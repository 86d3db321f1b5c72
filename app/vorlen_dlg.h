// One board of the exercise: the background with its four numbered slots, the bell and five
// picture cards. The pupil drags cards with the mouse; a released card snaps into a slot within
// the snap radius or stays where it was dropped; the bell judges the board. The rules come from
// exercise_rules.h; this dialog turns mouse events into them.
//
// Layers: the background on 0, the bell on 1, cards on 2, the card being dragged on 3.
//
//   drag state:  idle --press on a card--> dragging --release--> idle (drop rule applied)
//   bell:        enabled --wrong--> disabled while the failure sound plays --its end--> enabled
//                enabled --solved--> disabled for good, cards no longer react, praise plays
//
// The four boards of one exercise and the sounds that lead from one to the next (praise, then
// narration, then the next board) are the application's episode chain, which the boards report
// to: see BuildBoards and EpisodeChain. GUI thread only.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/exercise_rules.h"
#include "gui/button.h"
#include "gui/dialog.h"
#include "gui/picture.h"

class EpisodeChain;

class VorlenDlg : public IMDialog {
   public:
    VorlenDlg(IMParent parent, const RECT& rect);
    ~VorlenDlg() override;

    // The board picture at (0, 0) on the base layer.
    IMPicture* AddBackground(const std::wstring& name);
    // The bell at its place on layer 1; a second call does nothing and returns the first bell.
    IMButton* AddBell(const std::wstring& normal, const std::wstring& disabled, const std::wstring& hover,
                      const std::wstring& pressed);
    // A card (number 0 the extra card, 1..4 the stage cards) with its corner at (x, y).
    IMPicture* AddCard(int x, int y, const std::wstring& name, int cardNumber);

    long OnCardMouse(const IMMouseEvent& e, int cardNumber);
    long OnBoardMouseMove(const IMMouseEvent& e);
    long OnBell(const IMMouseEvent& e);

    void SetCounters(exercise::ExerciseCounters* counters) { counters_ = counters; }
    // The chain the board reports its solving to and leaves when it is deleted; it outlives
    // the board. Without one, a solved board plays nothing further.
    void SetChain(EpisodeChain* chain) { chain_ = chain; }
    void SetDropArea(const RECT& area) { dropArea_ = area; }

    const std::vector<exercise::Card>& Cards() const { return cards_; }
    IMButton* Bell() const { return bell_; }
    IMControl* Dragged() const { return dragged_; }
    // The card control of a card number, or null.
    IMControl* CardPicture(int cardNumber) const;

   private:
    // The cards, the dragged card and the bell are the board's own children, which it never
    // closes one by one: plain pointers, good as long as the board is.
    std::array<POINT, 4> slots_;
    std::vector<exercise::Card> cards_;  // newest first
    std::vector<int> cardNumbers_;       // beside cards_, same order
    std::vector<IMConnection> cardConnections_;
    IMControl* dragged_ = nullptr;
    POINT grab_{0, 0};
    RECT dropArea_;
    int baseLayer_ = 0;
    int cardCount_ = 0;
    IMButton* bell_ = nullptr;
    IMConnection bellConnection_;
    exercise::ExerciseCounters* counters_ = nullptr;
    EpisodeChain* chain_ = nullptr;
};

// Builds the four boards of the exercise into `dialog`: bread, chair, dress and jam, each with
// its own random card positions. The first episode's board is shown, the others wait hidden.
// `chain` starts again from the first episode with these boards.
void BuildBoards(IMDialog* dialog, exercise::ExerciseCounters* counters, EpisodeChain* chain);

// The episode chain of the running exercise: a solved board's praise word, its closing
// narration, then the next board, and after the last board's narration the exercise's end.
// The application object owns it; it outlives the boards it holds, which leave it as they go.
class EpisodeChain {
   public:
    // `finished` runs when the last board's narration has ended.
    explicit EpisodeChain(std::function<void()> finished);
    // Stops.
    ~EpisodeChain();
    EpisodeChain(const EpisodeChain&) = delete;
    EpisodeChain& operator=(const EpisodeChain&) = delete;

    // The episode being played, 0..3.
    int Index() const { return index_; }
    // The board of an episode, while the exercise dialog lives.
    VorlenDlg* Board(int episode) const;
    // The boards of a new exercise, in episode order.
    void Begin(const std::array<VorlenDlg*, 4>& boards) { boards_ = boards; }
    // A board that is deleted leaves the chain.
    void Forget(VorlenDlg* board);
    // A solved board: plays the episode's praise, and after it the narration.
    void Praise();
    // Stops every sound of the chain and forgets the boards: the exercise dialog is closing.
    void Stop();
    // Sets the episode back to the first.
    void Reset() { index_ = 0; }
    // Seeds the random generator for one more deal. Boards are built within one millisecond,
    // and a generator seeded again and again with the same tick count repeats itself: every
    // board would deal its cards exactly alike. Each seeding therefore adds the number of
    // seedings so far.
    void SeedForDeal();

   private:
    void Narrate();
    void Advance();
    template <class Next>
    void PlayThen(int sound, Next next);

    std::function<void()> finished_;
    std::array<VorlenDlg*, 4> boards_{};
    int index_ = 0;
    std::vector<IMConnection> connections_;  // ended slots of the chain's sounds
    unsigned seedings_ = 0;
};

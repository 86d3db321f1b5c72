// The program's application object: the exercise "Игра «Ворлен»". It registers the exercise
// screen, keeps the pupil's mistake counters that the four boards share, and closes a pass with
// its statistics rows.
#pragma once

#include "app/exercise_rules.h"
#include "app/im_app.h"
#include "app/vorlen_dlg.h"

class App : public IMApp<App> {
   public:
    App();
    // Shuts down first: the boards leave the episode chain while it still exists.
    ~App() override;

    void RegisterScreens() override;
    // The demonstration: the first board with its cards while the spoken instruction plays,
    // the bell blinking at the moment the speech names it, then the keyboard prompt.
    void ShowInstruction(IMDialog* overlay) override;
    // The speech ended or the overlay closes, whichever comes first: the keyboard prompt (not
    // in an overlay that is closing) and the pointer again.
    void EndOfInstruction(IMDialog* overlay, bool closing);

    // The builder of the exercise screen: counters back to 0, four fresh boards.
    void BuildExercise(IMDialog* dialog);
    // The fourth board is solved: the praise, the episode back to the first, the counters'
    // rows.
    void FinishExercise();

    const exercise::ExerciseCounters& Counters() const { return counters_; }
    const EpisodeChain& Episodes() const { return episodes_; }
    IMDialog* ExerciseDialog() const { return exerciseDialog_.Get(); }
    IMDialog* InstructionDialog() const { return instructionDialog_.Get(); }
    bool PromptShown() const { return promptShown_; }

   private:
    exercise::ExerciseCounters counters_;
    EpisodeChain episodes_{[this] { FinishExercise(); }};
    ControlRef<IMDialog> exerciseDialog_;
    ControlRef<IMDialog> instructionDialog_;
    bool promptShown_ = false;
    // The speech's notifications and the prompt's Space key, for the running demonstration.
    IMConnection speechEnded_;
    IMConnection speechLabel_;
    IMConnection spaceKey_;

    void ShowEndPrompt(IMDialog* overlay);
};

// The window caption, which also names the results file.
inline const std::wstring kAppTitle = L"00357 Игра «Ворлен»";

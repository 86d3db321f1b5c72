// The program's application object: the exercise "Игра «Ворлен»". It registers the exercise
// screen, keeps the pupil's mistake counters that the four boards share, and closes a pass with
// its statistics rows.
#pragma once

#include "app/exercise_rules.h"
#include "app/im_app.h"

class App : public IMApp<App> {
   public:
    App();
    ~App() override;

    void RegisterScreens() override;

    // The builder of the exercise screen: counters back to 0, four fresh boards.
    void BuildExercise(IMDialog* dialog);
    // The fourth board is solved: the praise, the episode back to the first, the counters'
    // rows.
    void FinishExercise();

    const exercise::ExerciseCounters& Counters() const { return counters_; }
    IMDialog* ExerciseDialog() const { return exerciseDialog_; }

   private:
    exercise::ExerciseCounters counters_;
    IMDialog* exerciseDialog_ = nullptr;
};

// The window caption, which also names the results file.
inline const std::wstring kAppTitle = L"00357 Игра «Ворлен»";

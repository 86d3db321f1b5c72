// The program's entry point. The window and the screens arrive in later stages; for now the
// program says what it is and which parts are in place.
#include <cstdio>

#include "app/exercise_rules.h"

int main() {
    std::printf("Игра «Ворлен»: an exercise for primary-school pupils.\n");
    std::printf("Ready: the rules of the %d episodes, events and controls. The window comes next.\n",
                exercise::kEpisodeCount);
    return 0;
}

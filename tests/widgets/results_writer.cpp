// One program of a classroom saving into the shared results file, for the tests: it keeps one
// book for its own pupil ("Ученик <n>") and one for the pupil every program shares ("Общий"),
// and in each round appends a row "<n>-<round>" to both and saves both, after a random pause.
// A save that cannot get the lock is simply tried again next round, its rows kept; the last
// round saves until both saves succeed.
//
//   results_writer FILE N ROUNDS START   (START: where the random pauses begin)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "platform/text.h"
#include "widgets/results_book.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: results_writer FILE N ROUNDS START\n");
        return 2;
    }
    const std::wstring file = platform::text::FromUtf8(argv[1]);
    const int n = std::atoi(argv[2]);
    const int rounds = std::atoi(argv[3]);
    std::mt19937 random(static_cast<unsigned>(std::atoi(argv[4])));
    ResultsBook own(file, L"Ученик " + std::to_wstring(n));
    ResultsBook shared(file, L"Общий");
    for (int round = 0; round < rounds; ++round) {
        const std::wstring value = std::to_wstring(n) + L"-" + std::to_wstring(round);
        own.AddRow(L"Проход", value, L"String");
        shared.AddRow(L"Проход", value, L"String");
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 15));
        const bool last = round + 1 == rounds;
        while (!own.Save() && last) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (!shared.Save() && last) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

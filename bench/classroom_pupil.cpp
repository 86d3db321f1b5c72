// One computer of a classroom at the end of a lesson, for bench/classroom_bench.py: the program
// on a hidden window with the shared results folder, a pupil's name typed and Enter pressed (the
// start of a pass is timed: Enter to the instruction's first frame), the instruction skipped and
// a pass's rows added. Then it waits for the lesson's end, a line on standard input, and ends
// through the program's own exit path: the pass handed over (timed: what the GUI thread waits
// for saving), the window closed, the main loop left and the program shut down, which waits for
// the pass to reach the workbook.
//
//   bench_classroom_pupil RESULTS_FOLDER JOURNAL_FOLDER N
//       prints "start_ms X", "ready", then after the line "hand_over_ms X" and "exit_ms X"
//   bench_classroom_pupil --make-workbook RESULTS_FOLDER PUPILS PASSES
//       writes the program's workbook there with PUPILS pupils of PASSES passes each
//   bench_classroom_pupil --time-merges RESULTS_FOLDER
//       merges five passes into that workbook one at a time: "merge_ms X", "merge_worst_ms X"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/report_rows.h"
#include "gui/window.h"
#include "platform/text.h"
#include "widgets/results_book.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The rows a pass of the program writes, with the program's own captions.
std::vector<workbook::Row> PassRows(int pass) {
    const std::wstring count = std::to_wstring(pass % 3);
    return {{report::kStartTime, L"09-December-2026 15:44", report::kString},
            {report::kWrongSequence, count, report::kNumber},
            {report::kWrongExtra, count, report::kNumber},
            {report::kGrabMiss, count, report::kNumber},
            {report::kDropMiss, count, report::kNumber},
            {report::kExtraInstructions, L"0", report::kNumber},
            {report::kTotalTime, L"125", report::kNumber},
            {}};
}

int MakeWorkbook(const std::string& folder, int pupils, int passes) {
    std::vector<workbook::Pass> all;
    for (int pupil = 0; pupil < pupils; ++pupil)
        for (int pass = 1; pass <= passes; ++pass)
            all.push_back({workbook::NewPassId(), L"Ученик номер " + std::to_wstring(pupil), PassRows(pass)});
    const std::string file = folder + "/" + platform::text::ToUtf8(kAppTitle) + ".xls";
    const platform::Result<void> merged = MergePassesInto(file, all, 1000);
    if (!merged) std::fprintf(stderr, "bench_classroom_pupil: %s\n", merged.why().c_str());
    return merged ? 0 : 1;
}

// One pass merged into the workbook (lock, read, splice, atomic replace with its flushes), five
// times: the median and the worst, in milliseconds.
int TimeMerges(const std::string& folder) {
    const std::string file = folder + "/" + platform::text::ToUtf8(kAppTitle) + ".xls";
    std::vector<double> times;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const platform::Result<void> merged =
            MergePassesInto(file, {{workbook::NewPassId(), L"Ученик номер 1000", PassRows(round)}}, 1000);
        times.push_back(Since(start));
        if (!merged) return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("merge_ms %.3f\nmerge_worst_ms %.3f\n", times[times.size() / 2], times.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--make-workbook") == 0)
        return MakeWorkbook(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 3 && std::strcmp(argv[1], "--time-merges") == 0) return TimeMerges(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_classroom_pupil RESULTS_FOLDER JOURNAL_FOLDER N\n");
        return 2;
    }
    AppOptions options;
    options.hiddenWindow = true;
    options.resultsFolder = platform::text::FromUtf8(std::string(argv[1]) + "/");
    options.journalFolder = argv[2];
    const std::unique_ptr<App> owned = App::Make(kAppTitle, options);
    App* app = owned.get();
    if (!app || !app->Window()) return 1;
    IMWindow* window = app->Window();
    app->ShowStartScreen();
    for (int i = 0; i < 3; ++i) window->PumpOnce();

    const std::wstring n = platform::text::FromUtf8(argv[3]);
    for (wchar_t c : L"Класс " + n) window->WindowProc(WM_CHAR, c, 0);
    window->PumpOnce();
    const auto enter = std::chrono::steady_clock::now();
    window->WindowProc(WM_KEYDOWN, VK_RETURN, 0);
    window->PumpOnce();
    const double startMs = Since(enter);
    if (!app->InstructionOverlay()) {
        std::fprintf(stderr, "bench_classroom_pupil: Enter did not start the instruction\n");
        return 1;
    }
    window->WindowProc(WM_KEYDOWN, VK_ESCAPE, 0);
    for (int i = 0; i < 3; ++i) window->PumpOnce();
    for (const workbook::Row& row : PassRows(1)) {
        if (row.type.empty())
            app->Workbook()->Finish();
        else
            app->AddReportRow(row.caption, row.type == report::kString ? row.value + L" " + n : row.value, row.type);
    }
    std::printf("start_ms %.3f\nready\n", startMs);
    std::fflush(stdout);

    std::string line;
    std::getline(std::cin, line);
    const auto end = std::chrono::steady_clock::now();
    app->SaveResults();
    const double handOverMs = Since(end);
    window->WindowProc(WM_CLOSE, 0, 0);
    RunMessageLoop(window);
    app->Shutdown();
    std::printf("hand_over_ms %.3f\nexit_ms %.3f\n", handOverMs, Since(end));
    return 0;
}

// What the main loop costs: CPU time on a still screen, how late timers fire, and how long a
// dragged picture takes from the mouse move to the drawn frame. Runs on a hidden window
// (SDL_VIDEODRIVER=offscreen unless a display is wanted).
//
//   bench_main_loop [--summary FILE]   FILE gets the figures as "key value" lines
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "app/exercise_rules.h"
#include "gui/creation.h"
#include "gui/window.h"
#include "platform/clock.h"

using platform::Clock;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Ms(std::int64_t microseconds) { return microseconds / 1000.0; }

struct Spread {
    double median = 0, p95 = 0;
};

Spread Percentiles(const char* what, std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    std::printf("%-34s n=%zu  median %.3f ms  p95 %.3f ms  max %.3f ms\n", what, v.size(), v[v.size() / 2],
                v[v.size() * 95 / 100], v.back());
    return {v[v.size() / 2], v[v.size() * 95 / 100]};
}

// The first board as a pupil finds it: the board picture, five cards and the bell.
void ShowBoard(IMWindow* window) {
    using namespace exercise;
    IMDialog* screen = CreateDialog(window, 0, 0, 800, 600, 0);
    const Episode& episode = kEpisodes[0];
    CreatePicture(screen, 0, 0, ResourceName(BoardPicture(episode.base)), 0, 0xFFFFFFFF);
    for (int k = 0; k < kCardCount; ++k) {
        const POINT p = StartPositions[static_cast<std::size_t>(k)];
        CreatePicture(screen, p.x, p.y, ResourceName(CardPicture(episode.base, k)), 2, 0xFFFFFFFF);
    }
    const std::wstring bell = ResourceName(BellPicture(episode.base));
    CreateButton(screen, BellPosition.x, BellPosition.y, bell, bell, ResourceName(BellHoverPicture(episode.base)),
                 ResourceName(BellPressedPicture(episode.base)), 1);
}

}  // namespace

int main(int argc, char** argv) {
    const char* summaryPath = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--summary") == 0) summaryPath = argv[i + 1];
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::unique_ptr<IMWindow> owner = CreateMainWindow(L"bench", RECT{0, 0, 800, 600}, true, true);
    IMWindow* window = owner.get();
    if (!window) return 1;
    ShowBoard(window);

    // 1. A still screen with one 500 ms timer, for 10 seconds of the real loop.
    std::vector<double> lateness;
    std::int64_t expected = Clock::Real().Now() + 500'000;
    unsigned tick = window->AddTimer(500);
    window->ConnectTimer(tick, [&](const IMEvent&) {
        const std::int64_t now = Clock::Real().Now();
        lateness.push_back(Ms(now - expected));
        expected = now + 500'000;
        return 0L;
    });
    unsigned stop = window->AddTimer(10'000);
    window->ConnectTimer(stop, [&](const IMEvent&) {
        platform::MainQueue().Post(WM_QUIT, 0, 0);
        return 0L;
    });
    for (int i = 0; i < 3; ++i) window->PumpOnce();  // first frame drawn before measuring
    const double cpuBefore = CpuSeconds();
    const std::int64_t wallBefore = Clock::Real().Now();
    RunMessageLoop(window);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = Ms(Clock::Real().Now() - wallBefore) / 1000.0;
    window->RemoveTimer(tick);
    window->RemoveTimer(stop);
    std::printf("still screen: %.3f s of CPU in %.1f s = %.3f %% of one core (aim: at most 0.5 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    const Spread late = Percentiles("timer lateness (aim: within 1 ms)", lateness);

    // 2. Drag: a mouse move posted by another thread moves a picture; time until the frame
    //    with the picture at its new place has been drawn and presented.
    IMPicture* card = CreatePicture(window, 100, 100, L"129", 10, 0xFFFFFFFF);
    bool moved = false;
    window->OnMouseMove.connect([&](const IMMouseEvent& e) {
        card->SetPosition(e.x, e.y);
        moved = true;
        return 0L;
    });
    std::vector<double> drag;
    std::atomic<std::int64_t> posted{0};  // 0: nothing outstanding; -1: about to post; else when
    int moves = 0;
    for (int i = 0; i < 3; ++i) window->PumpOnce();
    unsigned watch = window->AddTimer(0);
    window->ConnectTimer(watch, [&](const IMEvent&) {
        // Timers run after the pass's frame, so a move handled in this pass has been presented.
        const std::int64_t sent = posted.load();
        if (sent > 0 && moved && !window->IsDirty()) {
            drag.push_back(Ms(Clock::Real().Now() - sent));
            posted = 0;
            moved = false;
        }
        if (posted.load() == 0) {
            if (++moves > 200) {
                platform::MainQueue().Post(WM_QUIT, 0, 0);
                return 0L;
            }
            posted = -1;
            std::thread([&posted, x = 100 + moves % 300] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                posted = Clock::Real().Now();
                platform::MainQueue().Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 200));
            }).detach();
        }
        return 0L;
    });
    RunMessageLoop(window);
    const Spread step = Percentiles("drag step, post to presented frame", drag);
    owner.reset();
    if (summaryPath) {
        std::FILE* out = std::fopen(summaryPath, "w");
        if (!out) return 1;
        std::fprintf(out, "still_cpu_pct %.4f\ntimer_late_median_ms %.3f\ntimer_late_p95_ms %.3f\n", 100.0 * cpu / wall,
                     late.median, late.p95);
        std::fprintf(out, "drag_median_ms %.3f\ndrag_p95_ms %.3f\n", step.median, step.p95);
        std::fclose(out);
    }
    return 0;
}

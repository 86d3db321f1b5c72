// What the main loop costs: CPU time on a still screen, how late timers fire, and how long a
// dragged picture takes from the mouse move to the drawn frame. Runs on a hidden window
// (SDL_VIDEODRIVER=offscreen unless a display is wanted).
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "app/demo_screen.h"
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

double Ms(std::int64_t counterTicks) { return counterTicks * 1000.0 / Clock::Frequency(); }

void Percentiles(const char* what, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    std::printf("%-34s n=%zu  median %.3f ms  p95 %.3f ms  max %.3f ms\n", what, v.size(), v[v.size() / 2],
                v[v.size() * 95 / 100], v.back());
}

}  // namespace

int main() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    IMWindow* window = CreateMainWindow(L"bench", RECT{0, 0, 800, 600}, true, true);
    if (!window) return 1;
    ShowDemoScreen(window);

    // 1. A still screen with one 500 ms timer, for 10 seconds of the real loop.
    std::vector<double> lateness;
    std::int64_t expected = Clock::Counter() + Clock::Frequency() / 2;
    unsigned tick = window->AddTimer(500);
    window->ConnectTimer(tick, [&](const IMEvent&) {
        const std::int64_t now = Clock::Counter();
        lateness.push_back(Ms(now - expected));
        expected = now + Clock::Frequency() / 2;
        return 0L;
    });
    unsigned stop = window->AddTimer(10'000);
    window->ConnectTimer(stop, [&](const IMEvent&) {
        platform::MainQueue().Post(WM_QUIT, 0, 0);
        return 0L;
    });
    for (int i = 0; i < 3; ++i) window->PumpOnce();  // first frame drawn before measuring
    const double cpuBefore = CpuSeconds();
    const std::int64_t wallBefore = Clock::Counter();
    RunMessageLoop(window);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = Ms(Clock::Counter() - wallBefore) / 1000.0;
    window->RemoveTimer(tick);
    window->RemoveTimer(stop);
    std::printf("still screen: %.3f s of CPU in %.1f s = %.3f %% of one core (aim: at most 0.5 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    Percentiles("timer lateness (aim: within 1 ms)", lateness);

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
            drag.push_back(Ms(Clock::Counter() - sent));
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
                posted = Clock::Counter();
                platform::MainQueue().Post(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, 200));
            }).detach();
        }
        return 0L;
    });
    RunMessageLoop(window);
    Percentiles("drag step, post to presented frame", drag);
    delete window;
    return 0;
}

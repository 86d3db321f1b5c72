// One whole pass of the real program, driven as the scenario tests drive it (the pupil's keys,
// drags and clicks as window messages): the name typed, Enter, the instruction skipped with Esc,
// the four boards solved, the praise film, the results screen. It reports the peak resident
// memory of the process over the pass (VmHWM) and the frame time while a card is dragged on the
// first board. The clock runs fast so that narrations and films take seconds, not minutes; what
// they load and decode is the same.
//
//   bench_pass [--summary FILE]   FILE gets the figures as "key value" lines
//
// The window is the program's own: full screen on the display SDL finds (run it under Xvfb with
// SDL_VIDEODRIVER=x11 for a real one), or hidden on SDL's offscreen driver, which is the default.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/vorlen_dlg.h"
#include "gui/window.h"
#include "platform/font_face.h"
#include "platform/text.h"
#include "tests/support/driven_loop.h"

using namespace exercise;

namespace {

// Kibibytes of a "VmHWM:" or "VmRSS:" line of /proc/self/status.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n);
    return -1;
}

class Pupil {
   public:
    Pupil(App* app, DrivenClock& clock) : app_(app), window_(app->Window()), clock_(clock) {}

    // Runs the real loop until `done` or `clockMs` of clock time have passed; the clock jumps
    // over the time the pupil would spend listening and watching.
    template <class Done>
    bool RunUntil(Done done, DWORD clockMs = 120'000) {
        return drivenloop::RunUntil(*window_, clock_, done, clockMs);
    }
    void Pump() {
        window_->PumpOnce();
        window_->PumpOnce();
    }
    void Move(POINT p, WPARAM keys = 0) { window_->WindowProc(WM_MOUSEMOVE, keys, MAKELPARAM(p.x, p.y)); }
    void Press(POINT p) {
        Move(p);
        window_->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }
    void Release(POINT p) {
        window_->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        Pump();
    }
    void Click(POINT p) {
        Press(p);
        Release(p);
    }
    void Drag(POINT from, POINT to) {
        Press(from);
        Move({(from.x + to.x) / 2, (from.y + to.y) / 2}, MK_LBUTTON);
        Move(to, MK_LBUTTON);
        Release(to);
    }
    void Key(WPARAM vk) {
        window_->WindowProc(WM_KEYDOWN, vk, 0);
        window_->WindowProc(WM_KEYUP, vk, 0);
        Pump();
    }
    void Type(const std::wstring& text) {
        for (wchar_t c : text) window_->WindowProc(WM_CHAR, static_cast<WPARAM>(c), 0);
        Pump();
    }
    static POINT Middle(IMControl* c) {
        const RECT r = c->GetRect();
        return {r.left + kCardWidth / 2, r.top + kCardHeight / 2};
    }
    VorlenDlg* WaitForBoard(int episode) {
        const EpisodeChain& chain = app_->Episodes();
        RunUntil([&] { return chain.Board(episode) && !chain.Board(episode)->IsHidden(); });
        return chain.Board(episode);
    }
    bool Solve(VorlenDlg* board) {
        if (!board) return false;
        for (int k = 1; k <= kStageCount; ++k) {
            IMControl* card = board->CardPicture(k);
            if (!card) return false;
            const POINT slot = SlotPositions[static_cast<std::size_t>(k - 1)];
            Drag(Middle(card), {slot.x + kCardWidth / 2, slot.y + kCardHeight / 2});
            if (card->GetRect().left != slot.x || card->GetRect().top != slot.y) {
                std::fprintf(stderr, "bench_pass: card %d did not land in its slot\n", k);
                return false;
            }
        }
        Click({BellPosition.x + 48, BellPosition.y + 48});
        return true;
    }

    // A card held and moved across the board in small steps: each step is one mouse message
    // and the frame that shows the card at its new place, presented to the window.
    std::vector<double> DragFrames(VorlenDlg* board, int steps) {
        std::vector<double> ms;
        IMControl* card = board->CardPicture(kExtraCardNumber);
        if (!card) return ms;
        const POINT from = Middle(card);
        Press(from);
        Pump();
        for (int i = 1; i <= steps; ++i) {
            const POINT p{from.x + (i % 60) * 4 - 120, from.y - (i % 20)};
            const auto start = std::chrono::steady_clock::now();
            Move(p, MK_LBUTTON);
            window_->PumpOnce();
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        Move(from, MK_LBUTTON);  // back where it was, so that it covers no other card
        Release(from);
        return ms;
    }

   private:
    App* app_;
    IMWindow* window_;
    DrivenClock& clock_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* summaryPath = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--summary") == 0) summaryPath = argv[i + 1];
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const bool hidden = std::strcmp(std::getenv("SDL_VIDEODRIVER"), "offscreen") == 0;

    // The workbook goes into a folder of the bench's own, never into the machine's results.
    std::string folder = std::filesystem::temp_directory_path().string() + "/vorlen-pass-bench-XXXXXX";
    if (!mkdtemp(folder.data())) {
        std::fprintf(stderr, "bench_pass: cannot create %s\n", folder.c_str());
        return 1;
    }
    platform::PrepareFontLookup();
    DrivenClock clock;
    AppOptions options;
    options.clock = &clock;
    options.hiddenWindow = hidden;
    options.resultsFolder = platform::text::FromUtf8(folder + "/");
    options.journalFolder = folder + "/journal";  // not the user's
    std::unique_ptr<App> owned = App::Make(kAppTitle, options);
    App* app = owned.get();
    long atStart = -1;
    std::vector<double> drag;
    bool finished = false;
    if (app && app->Window()) {
        Pupil pupil(app, clock);
        app->ShowStartScreen();
        pupil.Pump();
        atStart = StatusKiB("VmRSS:");
        pupil.Type(L"Ученик");
        pupil.Key(VK_RETURN);
        pupil.RunUntil([&] { return app->InstructionOverlay() != nullptr; }, 2000);
        pupil.Key(VK_ESCAPE);
        pupil.Pump();
        VorlenDlg* first = pupil.WaitForBoard(0);
        if (first) drag = pupil.DragFrames(first, 120);
        bool solved = pupil.Solve(first);
        for (int episode = 1; solved && episode < kEpisodeCount; ++episode)
            solved = pupil.Solve(pupil.WaitForBoard(episode));
        finished = solved && pupil.RunUntil([&] { return app->ResultsScreen() != nullptr; });
        pupil.Pump();
    }
    const long peak = StatusKiB("VmHWM:");
    const long atEnd = StatusKiB("VmRSS:");
    owned.reset();
    std::filesystem::remove_all(folder);
    if (!finished) {
        std::fprintf(stderr, "bench_pass: the pass did not reach the results screen\n");
        return 1;
    }

    std::printf("whole pass (%s window, driven clock)\n", hidden ? "hidden offscreen" : "full-screen");
    std::printf("  resident at the start screen    %7.1f MiB\n", atStart / 1024.0);
    std::printf("  resident at the results screen  %7.1f MiB\n", atEnd / 1024.0);
    std::printf("  peak resident (VmHWM)           %7.1f MiB (aim < 80 MiB)\n", peak / 1024.0);
    std::printf("  drag step on a board, median    %7.2f ms (of %zu steps, worst %.2f ms; aim 16.7 ms)\n", Median(drag),
                drag.size(), drag.empty() ? 0.0 : *std::max_element(drag.begin(), drag.end()));
    if (summaryPath) {
        std::FILE* out = std::fopen(summaryPath, "w");
        if (!out) return 1;
        std::fprintf(out, "peak_rss_mib %.1f\nstart_rss_mib %.1f\nend_rss_mib %.1f\nboard_drag_ms %.3f\n",
                     peak / 1024.0, atStart / 1024.0, atEnd / 1024.0, Median(drag));
        std::fclose(out);
    }
    return 0;
}

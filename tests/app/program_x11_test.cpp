// The program itself on a real X display (an 800 x 600 Xvfb of its own, no window manager), as
// a pupil meets it: its start screen must look as it does headless, a name typed on the X
// keyboard, Start clicked with the X mouse, the instruction skipped, a card dragged, and Alt+F4
// ends it cleanly with the pupil's workbook written. A display that goes away under it (the
// session ended) still leaves the pupil's rows written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/exercise_rules.h"
#include "app/report_rows.h"
#include "engine/resource_manager.h"
#include "gui/engine_link.h"
#include "gui/window.h"
#include "platform/graphics_device.h"
#include "platform/text.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_screen.h"
#include "widgets/results_book.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
using Picture = std::vector<DWORD>;

// The start screen as the headless tests draw it, in this process on SDL's offscreen driver,
// and where its Start button is.
Picture HeadlessStartScreen(POINT* startButton) {
    const char* display = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = display ? display : "";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // Workbooks and the results journal in a folder of the test's own: never the user's journal,
    // whose waiting passes the results thread would otherwise take up.
    ScratchFolder folders;
    AppOptions options;
    options.hiddenWindow = true;
    options.resultsFolder = folders.Wide("");
    options.journalFolder = folders / "journal";
    std::unique_ptr<App> app = App::Make(kAppTitle, options);
    Picture pixels;
    if (app && app->Window()) {
        app->ShowStartScreen();
        for (int i = 0; i < 3; ++i) app->Window()->PumpOnce();
        pixels = GetResourceManager()->Device()->ReadBackBuffer();
        const unsigned slot = engine_link::LoadTexture(L"StartPopStartButton");
        const RECT size = engine_link::TextureImageRect(slot);
        engine_link::ReleaseTexture(slot);
        *startButton = {690 + size.right / 2, 450 + size.bottom / 2};
    }
    app.reset();
    setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    return pixels;
}

Picture GrabScreen() {
    const std::vector<std::uint32_t> grabbed = xscreen::Grab(kWidth, kHeight);
    return Picture(grabbed.begin(), grabbed.end());
}

int Channel(DWORD c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// Pixels of `a` and `b` inside `r` whose colours differ by more than a rounding step.
std::size_t Differing(const Picture& a, const Picture& b, RECT r = {0, 0, kWidth, kHeight}) {
    constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;
    if (a.size() != kPixels || b.size() != kPixels)  // a grab that failed: every pixel differs
        return static_cast<std::size_t>(r.right - r.left) * static_cast<std::size_t>(r.bottom - r.top);
    std::size_t n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const DWORD p = a[static_cast<std::size_t>(y) * kWidth + x],
                        q = b[static_cast<std::size_t>(y) * kWidth + x];
            for (int shift : {0, 8, 16})
                if (std::abs(Channel(p, shift) - Channel(q, shift)) > 6) {
                    ++n;
                    break;
                }
        }
    return n;
}

void Save(const std::string& name, const Picture& pixels) {
    std::filesystem::create_directories("screenshots");
    platform::GraphicsDevice::WritePng("screenshots/" + name + ".png", pixels, kWidth, kHeight);
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The program runs at its own pace (far slower under a sanitizer on a busy machine), so the test
// watches the screen instead of guessing: grabs it until `ready` holds, for at most `seconds`,
// and returns the last grab.
template <class Ready>
Picture WaitForScreen(Ready ready, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    Picture grab = GrabScreen();
    while ((grab.empty() || !ready(grab)) && std::chrono::steady_clock::now() < end) {
        Sleep(100);
        grab = GrabScreen();
    }
    return grab;
}

// A screen unlike `before` that then stays as it is for a second (the new screen is drawn and
// nothing on it moves any more), within `seconds`.
Picture WaitForStillScreenAfter(const Picture& before, int seconds) {
    Picture last = before;
    auto stillSince = std::chrono::steady_clock::now();
    bool changed = false;
    return WaitForScreen(
        [&](const Picture& grab) {
            const auto now = std::chrono::steady_clock::now();
            changed = changed || Differing(grab, before) > 2000;
            if (Differing(grab, last) > 0) stillSince = now;
            last = grab;
            return changed && now - stillSince >= std::chrono::seconds(1);
        },
        seconds);
}

int XDoTool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()); }

// The start screen once the program reads input as it comes: the caret's blink shows its loop
// is idle. (xdotool types a letter the keymap lacks by mapping it onto a spare key for that one
// press, so a press read late, after the next letter's mapping, comes out as the wrong letter.)
Picture WaitForCaretBlink(const Picture& start) {
    return WaitForScreen(
        [&](const Picture& grab) {
            const std::size_t changed = Differing(grab, start);
            return changed > 0 && changed < 100;
        },
        10);
}

// An X server of the test's own (800 x 600 unless `screen` says otherwise), which the test may
// take away, made the display of this process (and so of the program, xdotool and the grabs)
// while it lives.
class OwnXServer {
   public:
    explicit OwnXServer(const char* screen = "800x600x24") {
        const char* display = std::getenv("DISPLAY");
        saved_ = display ? display : "";
        for (int n = 140; n < 180 && pid_ < 0; ++n) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (access(socket.c_str(), F_OK) == 0 ||
                access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0)
                continue;
            const std::string name = ":" + std::to_string(n);
            const pid_t pid = fork();
            if (pid == 0) {
                const int null = open("/dev/null", O_WRONLY);
                dup2(null, 1);
                dup2(null, 2);
                execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
                       static_cast<char*>(nullptr));
                _exit(127);
            }
            if (pid < 0) return;
            for (int i = 0; i < 200 && access(socket.c_str(), F_OK) != 0; ++i) {
                if (waitpid(pid, nullptr, WNOHANG) == pid) break;  // it could not start there
                Sleep(50);
            }
            if (access(socket.c_str(), F_OK) == 0) {
                pid_ = pid;
                setenv("DISPLAY", name.c_str(), 1);
            } else {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    ~OwnXServer() {
        End();
        setenv("DISPLAY", saved_.c_str(), 1);
    }
    bool Started() const { return pid_ > 0; }
    // The server ends, as it does when a desktop session closes.
    void End() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

   private:
    pid_t pid_ = -1;
    std::string saved_;
};

// The program, started the way a desktop starts it (or with `options`), with its standard output
// read for the moment its first frame reached the display.
class Program {
   public:
    Program(const std::string& resultsFolder, const std::string& errorLog, std::vector<std::string> options = {}) {
        std::vector<char*> argv{const_cast<char*>(VORLEN_PROGRAM)};
        for (std::string& option : options) argv.push_back(option.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            const int err = open(errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) dup2(err, 2);
            close(out[0]);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            // The probe says when the first frame is out; a sanitized program lets it load first.
            setenv("LD_PRELOAD", VORLEN_FIRST_FRAME_PROBE, 1);
            const char* asan = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
            setenv("VORLEN_RESULTS_FOLDER", resultsFolder.c_str(), 1);
            // The results journal too stays inside the test's folder.
            setenv("XDG_DATA_HOME", (resultsFolder + "/.data").c_str(), 1);
            execv(VORLEN_PROGRAM, argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    bool Started() const { return pid_ > 0; }

    // True once the program said its first frame is shown, within `seconds`.
    bool WaitForFirstFrame(int seconds) {
        std::string said;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) return false;
            said.append(buffer, static_cast<std::size_t>(n));
            if (said.find("first frame at ") != std::string::npos) return true;
        }
        return false;
    }
    // The exit status once the program ended within `seconds`, else -1.
    int WaitForExit(int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            Sleep(50);
        }
        return -1;
    }

   private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
};

}  // namespace

TEST(ProgramOnX, LooksAsHeadlessTakesRealInputAndEndsCleanlyOnAltF4) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (this test runs under tools/with-xvfb.sh)";
    POINT startButton{};
    const Picture headless = HeadlessStartScreen(&startButton);
    ASSERT_EQ(headless.size(), static_cast<std::size_t>(kWidth) * kHeight);
    Save("x11_start_screen_headless", headless);

    ScratchFolder results;
    Program program(results.Path(), results / "stderr.txt");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForFirstFrame(60)) << ReadBytes(results / "stderr.txt");

    // The same start screen; only the caret may blink between the two.
    const Picture start = WaitForScreen([&](const Picture& grab) { return Differing(grab, headless) < 400; }, 10);
    ASSERT_EQ(start.size(), headless.size()) << "the display is not 800 x 600";
    Save("x11_start_screen", start);
    EXPECT_LT(Differing(start, headless), 400u) << "see build/screenshots/x11_start_screen*.png";

    // A name on the X keyboard, Start with the X mouse, Esc through the instruction.
    EXPECT_GT(Differing(WaitForCaretBlink(start), start), 0u) << "the caret does not blink";
    ASSERT_EQ(XDoTool("search --name '^00357 ' windowfocus --sync"), 0);
    ASSERT_EQ(XDoTool("type --delay 60 'Маша'"), 0);
    // Letters in the name bar; the caret alone changes about 15 pixels.
    const Picture named = WaitForScreen([&](const Picture& grab) { return Differing(grab, start) > 100; }, 10);
    Save("x11_start_screen_named", named);
    EXPECT_GT(Differing(named, start), 100u) << "the typed name is not on the screen";
    ASSERT_EQ(XDoTool("mousemove " + std::to_string(startButton.x) + " " + std::to_string(startButton.y) + " click 1"),
              0);
    const Picture instruction =
        WaitForScreen([&](const Picture& grab) { return Differing(grab, named) > 100'000; }, 30);
    ASSERT_GT(Differing(instruction, named), 100'000u) << "Start did not open the instruction";
    ASSERT_EQ(XDoTool("key Escape"), 0);

    // The first board: a card from its start place dragged into the first slot.
    const Picture board = WaitForStillScreenAfter(instruction, 30);
    Save("x11_first_board", board);
    const POINT from{exercise::StartPositions[0].x + exercise::kCardWidth / 2,
                     exercise::StartPositions[0].y + exercise::kCardHeight / 2};
    const POINT slot = exercise::SlotPositions[0];
    const POINT to{slot.x + exercise::kCardWidth / 2, slot.y + exercise::kCardHeight / 2};
    ASSERT_EQ(XDoTool("mousemove " + std::to_string(from.x) + " " + std::to_string(from.y) + " mousedown 1"), 0);
    Sleep(100);
    ASSERT_EQ(XDoTool("mousemove " + std::to_string((from.x + to.x) / 2) + " " + std::to_string((from.y + to.y) / 2)),
              0);
    Sleep(100);
    ASSERT_EQ(XDoTool("mousemove " + std::to_string(to.x) + " " + std::to_string(to.y) + " mouseup 1"), 0);
    const RECT startPlace{from.x - 40, from.y - 40, from.x + 40, from.y + 40};
    const RECT slotPlace{to.x - 40, to.y - 40, to.x + 40, to.y + 40};
    const Picture dragged =
        WaitForScreen([&](const Picture& grab) { return Differing(grab, board, slotPlace) > 2000; }, 15);
    Save("x11_card_in_first_slot", dragged);
    EXPECT_GT(Differing(dragged, board, slotPlace), 2000u) << "no card arrived in the first slot";
    EXPECT_GT(Differing(dragged, board, startPlace), 2000u) << "the card did not leave its place";

    // Alt+F4: a clean end, with the pupil's workbook and her sheet.
    ASSERT_EQ(XDoTool("key alt+F4"), 0);
    EXPECT_EQ(program.WaitForExit(30), 0) << ReadBytes(results / "stderr.txt");
    const std::string workbook = results / (platform::text::ToUtf8(kAppTitle) + ".xls");
    ASSERT_TRUE(std::filesystem::exists(workbook)) << ReadBytes(results / "stderr.txt");
    ResultsBook book(platform::text::FromUtf8(workbook), L"Маша");
    EXPECT_EQ(book.SheetName(), L"Маша");
    EXPECT_FALSE(book.Rows().empty()) << ReadBytes(workbook) << ReadBytes(results / "stderr.txt");
}

// The desktop session ends under the program (the X server goes away): Xlib ends the process
// there and then, with no quit event, and the pupil's rows are written first.
TEST(ProgramOnX, KeepsThePupilsRowsWhenTheDisplayGoesAway) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (this test runs under tools/with-xvfb.sh)";
    OwnXServer x;
    ASSERT_TRUE(x.Started()) << "no Xvfb of the test's own";
    ScratchFolder results;
    Program program(results.Path(), results / "stderr.txt");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForFirstFrame(60)) << ReadBytes(results / "stderr.txt");
    WaitForCaretBlink(GrabScreen());
    ASSERT_EQ(XDoTool("search --name '^00357 ' windowfocus --sync"), 0);
    ASSERT_EQ(XDoTool("type --delay 60 'Vasya'"), 0);
    const Picture named = GrabScreen();
    ASSERT_EQ(XDoTool("key Return"), 0);
    const Picture instruction =
        WaitForScreen([&](const Picture& grab) { return Differing(grab, named) > 100'000; }, 30);
    ASSERT_EQ(XDoTool("key Escape"), 0);
    const Picture board = WaitForStillScreenAfter(instruction, 30);
    Save("x11_board_before_the_display_went_away", board);

    x.End();
    EXPECT_NE(program.WaitForExit(30), -1) << "the program outlived its display";
    const std::string said = ReadBytes(results / "stderr.txt");
    EXPECT_NE(said.find("the display went away"), std::string::npos) << said;
    const std::string workbook = results / (platform::text::ToUtf8(kAppTitle) + ".xls");
    ASSERT_TRUE(std::filesystem::exists(workbook)) << said;
    ResultsBook book(platform::text::FromUtf8(workbook), L"Vasya");
    EXPECT_EQ(book.SheetName(), L"Vasya");
    ASSERT_FALSE(book.Rows().empty()) << ReadBytes(workbook);
    EXPECT_EQ(book.Rows().front().first, report::kStartTime);
}

// --window, as a teacher previews the exercise on a desktop larger than the picture: an ordinary
// 800 x 600 window that a window manager may resize, and the picture kept whole and in shape in
// whatever size the window is given.
TEST(ProgramOnX, TheWindowOptionOpensAnOrdinaryWindowThatKeepsThePicturesShape) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (this test runs under tools/with-xvfb.sh)";
    OwnXServer x("1024x768x24");
    ASSERT_TRUE(x.Started()) << "no Xvfb of the test's own";
    ScratchFolder results;
    Program program(results.Path(), results / "stderr.txt", {"--window"});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitForFirstFrame(60)) << ReadBytes(results / "stderr.txt");

    const xscreen::WindowState opened = xscreen::FindWindow("00357 ");
    ASSERT_TRUE(opened.found);
    EXPECT_EQ(opened.width, kWidth);
    EXPECT_EQ(opened.height, kHeight);
    EXPECT_TRUE(opened.resizable);

    // At the screen's corner the window is what GrabScreen reads.
    ASSERT_EQ(XDoTool("search --name '^00357 ' windowmove --sync %1 0 0"), 0);
    const Picture black(static_cast<std::size_t>(kWidth) * kHeight, 0xFF000000);
    const Picture start = WaitForScreen([&](const Picture& grab) { return Differing(grab, black) > 100'000; }, 15);
    ASSERT_GT(Differing(start, black), 100'000u) << "the start screen is not in the window";

    // 1000 x 600: the picture at its own size in the middle, a black bar of 100 pixels each side.
    constexpr int kWide = 1000, kBar = 100;
    ASSERT_EQ(XDoTool("search --name '^00357 ' windowsize --sync %1 " + std::to_string(kWide) + " 600"), 0);
    auto grabWide = [] { return xscreen::Grab(kWide, kHeight); };
    auto middle = [](const std::vector<std::uint32_t>& wide) {
        Picture part;
        for (std::size_t row = 0; row < kHeight && wide.size() == std::size_t{kWide} * kHeight; ++row)
            part.insert(part.end(), wide.begin() + row * kWide + kBar, wide.begin() + row * kWide + kBar + kWidth);
        return part;
    };
    std::vector<std::uint32_t> wide = grabWide();
    for (int i = 0; i < 150 && Differing(middle(wide), start) >= 400; ++i) {
        Sleep(100);
        wide = grabWide();
    }
    Save("x11_window_option", start);
    Save("x11_window_option_widened", middle(wide));
    EXPECT_LT(Differing(middle(wide), start), 400u) << "see build/screenshots/x11_window_option*.png";
    ASSERT_EQ(wide.size(), std::size_t{kWide} * kHeight);
    std::size_t notBlack = 0;
    for (std::size_t row = 0; row < kHeight; ++row)
        for (std::size_t column : {0, kBar / 2, kBar - 1, kBar + kWidth, kWide - kBar / 2, kWide - 1})
            notBlack += (wide[row * kWide + column] & 0xFFFFFF) != 0;
    EXPECT_EQ(notBlack, 0u) << "the bars beside the picture are not black";

    ASSERT_EQ(XDoTool("search --name '^00357 ' windowfocus --sync"), 0);
    ASSERT_EQ(XDoTool("key alt+F4"), 0);
    EXPECT_EQ(program.WaitForExit(30), 0) << ReadBytes(results / "stderr.txt");
}

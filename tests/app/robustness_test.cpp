// The program on machines and with pupils it was not made on: no sound device, no font called
// "Arial" or no fonts at all, and names that are very long or unusual. Each ends in a pass that
// works and a workbook that holds it. What a process sets only once (fonts, the sound driver)
// is tried in a child process of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "platform/debug.h"
#include "platform/text.h"
#include "tests/app/app_harness.h"
#include "widgets/edit_bar.h"
#include "widgets/list.h"
#include "widgets/select_printer_dialog.h"

namespace {

// Checks inside a child process: the first failure, as text.
#define CHECK_OR_SAY(condition, what)  \
    do {                               \
        if (!(condition)) return what; \
    } while (false)

// A fontconfig setup with the system's rules (its family aliases) that knows only the fonts in
// `folder`, as on a desktop where no metric-compatible face for Arial is installed.
void WriteFontConfig(const std::string& path, const std::string& folder, const std::string& cache) {
    std::ofstream out(path);
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
        << "  <dir>" << folder << "</dir>\n"
        << "  <include ignore_missing=\"yes\">/etc/fonts/conf.d</include>\n"
        << "  <cachedir>" << cache << "</cachedir>\n</fontconfig>\n";
}

// The program in a child: a hidden window, workbooks and journal in `results`.
AppOptions TestOptions(const ScratchFolder& results, DrivenClock& clock) {
    AppOptions options;
    options.clock = &clock;
    options.hiddenWindow = true;
    options.resultsFolder = results.Wide("");
    options.journalFolder = results / ".journal";
    return options;
}

// Dark pixels (text) in a rectangle of the back buffer.
std::size_t InkIn(RECT r) {
    const auto pixels = GetResourceManager()->Device()->ReadBackBuffer();
    std::size_t ink = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const DWORD c = pixels[static_cast<std::size_t>(y) * 800 + x];
            if (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 3 * 100) ++ink;
        }
    return ink;
}

// The labels on the left of the start screen ("Номер ЦОР:", "Название:", "Описание:") and the
// description beside them.
constexpr RECT kLabels = {30, 110, 115, 210};
constexpr RECT kDescription = {119, 188, 720, 298};

// A pass in the child: the program with its hidden window, the start screen, a name, the
// exercise (instruction skipped), its end, and the workbook saved at the end of the program.
// `expectText`: whether the start screen's labels must show; `atResults` runs on the results
// screen.
std::string PassInChild(const ScratchFolder& results, const std::string& screenshot, bool expectText,
                        const std::function<std::string(App*)>& atResults = nullptr) {
    DrivenClock clock;
    const std::unique_ptr<App> owned = App::Make(kAppTitle, TestOptions(results, clock));
    App* app = owned.get();
    CHECK_OR_SAY(app && app->Window(), "the program did not start");
    app->ShowStartScreen();
    for (int i = 0; i < 3; ++i) app->Window()->PumpOnce();
    std::filesystem::create_directories("screenshots");
    auto* device = GetResourceManager()->Device();
    device->WritePng("screenshots/" + screenshot + ".png", device->ReadBackBuffer(), 800, 600);
    if (expectText) {
        CHECK_OR_SAY(InkIn(kLabels) > 200, "the start screen's labels are not drawn");
        CHECK_OR_SAY(InkIn(kDescription) > 3000,
                     "the description is not drawn at its size: " + std::to_string(InkIn(kDescription)));
    }
    CHECK_OR_SAY(app->NameBar(), "no name bar");
    for (wchar_t c : std::wstring(L"Оля")) app->Window()->WindowProc(WM_CHAR, c, 0);
    app->Window()->WindowProc(WM_KEYDOWN, VK_RETURN, 0);
    app->Window()->PumpOnce();
    CHECK_OR_SAY(app->InstructionOverlay(), "Enter did not start the instruction");
    app->Window()->WindowProc(WM_KEYDOWN, VK_ESCAPE, 0);
    app->Window()->PumpOnce();
    CHECK_OR_SAY(app->ExerciseDialog(), "Esc did not start the exercise");
    app->ExerciseDialog()->Close();
    app->Window()->PumpOnce();
    CHECK_OR_SAY(app->ResultsScreen(), "no results screen");
    if (atResults) {
        const std::string failed = atResults(app);
        if (!failed.empty()) return failed;
    }
    app->Shutdown();
    ResultsBook book(results.Wide("") + kAppTitle + L".xls", L"Оля");
    CHECK_OR_SAY(book.Rows().size() == 4, "the pass is not in the workbook");  // cut short: no counters
    return "";
}

}  // namespace

// Without a font called "Arial" fontconfig's nearest face draws the texts; without any font at
// all the screens still work, the texts are missing and that is said once per face.
TEST(Robustness, FontsOtherThanArialOrNoneAtAll) {
    ScratchFolder folder;
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu";
    if (!std::filesystem::is_directory(dejavu)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
    std::filesystem::create_directories(folder / "no-fonts");
    WriteFontConfig(folder / "dejavu.conf", dejavu, folder / "cache");
    WriteFontConfig(folder / "none.conf", folder / "no-fonts", folder / "cache");

    const std::string dejavuOnly = InChildProcess([&]() -> std::string {
        setenv("FONTCONFIG_FILE", (folder / "dejavu.conf").c_str(), 1);
        ScratchFolder results;
        return PassInChild(results, "fonts_dejavu_only", true);
    });
    EXPECT_EQ(dejavuOnly, "");

    const std::string said = folder / "stderr.txt";
    const std::string noFonts = InChildProcess([&]() -> std::string {
        setenv("FONTCONFIG_FILE", (folder / "none.conf").c_str(), 1);
        std::freopen(said.c_str(), "w", stderr);
        ScratchFolder results;
        return PassInChild(results, "fonts_none", false);
    });
    EXPECT_EQ(noFonts, "");
    const std::string words = ReadBytes(said);
    EXPECT_NE(words.find("fonts: no font found for \"Arial\""), std::string::npos) << words;
}

// A machine whose CUPS cannot be reached (not installed, not running): the printer dialog is
// empty, its Print closes it and the program goes on, having said why.
TEST(Robustness, NoPrinterReachable) {
    ScratchFolder folder;
    const std::string said = folder / "stderr.txt";
    const std::string outcome = InChildProcess([&]() -> std::string {
        setenv("CUPS_SERVER", (folder / "no-cups.sock").c_str(), 1);
        std::freopen(said.c_str(), "w", stderr);
        ScratchFolder results;
        return PassInChild(results, "no_printer", true, [](App* app) -> std::string {
            IMWindow* window = app->Window();
            auto click = [&](POINT p) {
                window->WindowProc(WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
                window->WindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
                window->WindowProc(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
                window->PumpOnce();
            };
            click(PictureMiddle(L"PrintButton", 30, 490));
            CHECK_OR_SAY(app->PrintDialog(), "Print did not open the printer dialog");
            CHECK_OR_SAY(app->PrintDialog()->List()->Items().empty(), "printers listed without CUPS");
            click(PictureMiddle(L"PrintButton", 220 + 30, 125 + 179));
            CHECK_OR_SAY(!app->PrintDialog(), "the dialog's Print did not close it");
            CHECK_OR_SAY(app->ResultsScreen(), "the results screen went away");
            return "";
        });
    });
    EXPECT_EQ(outcome, "");
    EXPECT_NE(ReadBytes(said).find("print"), std::string::npos) << ReadBytes(said);
}

// A machine without a sound device: the program plays on its silent output, so the spoken
// instruction still ends with its prompt and the exercise goes on.
TEST(Robustness, NoSoundDevice) {
    const std::string outcome = InChildProcess([]() -> std::string {
        setenv("SDL_AUDIODRIVER", "no-such-device", 1);
        ScratchFolder results;
        DrivenClock clock;
        const std::unique_ptr<App> owned = App::Make(kAppTitle, TestOptions(results, clock));
        App* app = owned.get();
        CHECK_OR_SAY(app && app->Window(), "the program did not start without sound");
        IMWindow* window = app->Window();
        app->ShowStartScreen();
        window->PumpOnce();
        for (wchar_t c : std::wstring(L"Оля")) window->WindowProc(WM_CHAR, c, 0);
        window->WindowProc(WM_KEYDOWN, VK_RETURN, 0);
        window->PumpOnce();
        drivenloop::RunUntil(
            *window, clock, [&] { return app->PromptShown(); }, 60'000);
        CHECK_OR_SAY(app->PromptShown(), "the instruction's speech never ended");
        window->WindowProc(WM_KEYDOWN, VK_SPACE, 0);
        window->PumpOnce();
        CHECK_OR_SAY(app->ExerciseDialog(), "Space did not start the exercise");
        app->Shutdown();
        return std::string();
    });
    EXPECT_EQ(outcome, "");
}

// Names as pupils and teachers type them: hundreds of characters, letters outside the
// Basic Multilingual Plane, right-to-left text, combining marks, characters file systems and
// spreadsheets forbid. The start screen keeps the caret in view, the results screen shows the
// name, and the workbook finds the pupil again by the same typed name.
class Names : public AppHarness {};

TEST_F(Names, LongAndUnusualNamesMakeAPassAndFindTheirSheetAgain) {
    const std::wstring names[] = {
        std::wstring(400, L'Ж') + L" конец", L"Zoë 🦔 Ёжикова 𝔄", L"שרה כהן", L"Е\u0308лка a\u0301",
        L"../../etc/passwd: [Маша]*?",
    };
    for (const std::wstring& name : names) {
        SCOPED_TRACE(platform::text::ToUtf8(name));
        StartPass(name);
        app->ExerciseDialog()->Close();
        Pump();
        ASSERT_NE(app->ResultsScreen(), nullptr);
        Pump();
        if (name.size() > 100) Screenshot("results_screen_long_name");
        ASSERT_TRUE(app->SaveResults());
        Click(PictureMiddle(L"RetryButton", 535, 490));
        ASSERT_NE(app->StartScreen(), nullptr);
    }

    ASSERT_TRUE(app->FinishSaving(std::chrono::seconds(30), false));
    // Nothing but the workbook (and its lock) came into the folder: no name became a path.
    for (const std::string& file : results.Names())
        EXPECT_TRUE(file == platform::text::ToUtf8(kAppTitle) + ".xls" || file.front() == '.') << file;
    const std::wstring path = results.Wide("") + kAppTitle + L".xls";
    for (const std::wstring& name : names) {
        SCOPED_TRACE(platform::text::ToUtf8(name));
        ResultsBook book(path, name);
        EXPECT_EQ(book.Rows().size(), 4u);  // a pass cut short: no counters
        EXPECT_LE(book.SheetName().size(), 31u);
    }
}

// The program's entry point: the command line read, then the application object with its
// window (full screen, or an ordinary window with --window), the start screen, the main loop,
// and at the end the pupil's results written and the window closed.
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"
#include "gui/window.h"
#include "platform/font_face.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    // Before anything touches a display: --help and --version answer without one.
    std::error_code noCurrentFolder;
    const std::filesystem::path currentFolder = std::filesystem::current_path(noCurrentFolder);
    const CommandLine line =
        ParseCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), currentFolder);
    if (const int status = AnswerCommandLine(line); status >= 0) return status;
    AppOptions options;
    options.windowed = line.windowed;
    options.resultsFolder = platform::text::FromUtf8(line.resultsFolder);

    // Fontconfig reads its caches while SDL opens the window.
    platform::PrepareFontLookup();
    std::unique_ptr<App> app = App::Make(kAppTitle, options);
    if (!app || !app->Window()) return 1;  // the reason is already on standard error
    app->ShowStartScreen();
    RunMessageLoop(app->Window());
    app->Shutdown();
    return 0;
}

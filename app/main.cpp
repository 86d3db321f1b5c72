// The program's entry point: the command line read, then the application object with its
// window (full screen, or an ordinary window with --window), the start screen, the main loop,
// and at the end the pupil's results written and the window closed.
#include <filesystem>
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
    if (!line.resultsFolder.empty()) IMAppBase::UseResultsFolder(platform::text::FromUtf8(line.resultsFolder));

    // Fontconfig reads its caches while SDL opens the window.
    platform::PrepareFontLookup();
    App* app = App::Instance(kAppTitle, line.windowed);
    if (!app->Window()) {  // the reason is already on standard error
        IMAppBase::Shutdown();
        return 1;
    }
    app->ShowStartScreen();
    RunMessageLoop(app->Window());
    IMAppBase::Shutdown();
    return 0;
}

// The program's command line, as a school's administrator or a teacher uses it. It is read
// before anything else happens, so that --help and --version need no display:
//
//   -h, --help                  the usage on standard output, exit 0
//   -V, --version               "vorlen <version>" on standard output, exit 0
//   --window                    an ordinary 800 x 600 window instead of the full screen
//   --results-folder DIR        the workbook's folder, over VORLEN_RESULTS_FOLDER
//   --results-folder=DIR        (a relative DIR is taken from the current folder)
//   --                          the end of the options
//   anything else               one line naming it and the usage on standard error, exit 2
//
// The arguments are read in order: the first --help, --version or mistake decides, and what
// follows it is not read. Short options may be grouped (-hV). The program takes no operands.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };

    Action action = Action::Run;
    bool windowed = false;
    // Absolute; empty when the option was not given.
    std::string resultsFolder;
    // Refuse: the line that names what was wrong (without the program's name).
    std::string mistake;
};

// Reads `arguments` (argv without the program's name); a relative results folder is joined to
// `currentFolder` (empty: the current folder is not known, and a relative one is refused).
CommandLine ParseCommandLine(const std::vector<std::string>& arguments, const std::filesystem::path& currentFolder);

// The usage, in Russian, ending in a newline.
std::string UsageText();
// "vorlen <version>\n".
std::string VersionText();

// What main does with a command line that ends the program before it starts: prints the usage,
// the version or the mistake and returns the exit status (0, or 2 for a mistake, or 1 when
// standard output could not be written); -1 for Action::Run.
int AnswerCommandLine(const CommandLine& line);

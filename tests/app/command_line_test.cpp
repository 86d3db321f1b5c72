// The command line as an administrator and a teacher use it: what each option means, and the
// program itself answering --help, --version and a mistake on a machine without a display.
#include "app/command_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace {

using Action = CommandLine::Action;

CommandLine Parse(const std::vector<std::string>& arguments, const std::string& current = "/home/teacher") {
    return ParseCommandLine(arguments, current);
}

struct Answer {
    int status = -1;
    std::string out, err;
};

// The built program run with `arguments` and no display at all, its outputs kept.
Answer RunProgram(const std::vector<std::string>& arguments, const std::string& stdoutFile = "") {
    ScratchFolder folder;
    const std::string out = stdoutFile.empty() ? folder / "out" : stdoutFile, err = folder / "err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(o, 1);
        dup2(e, 2);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) unsetenv(name);
        // A program that starts looks into its results journal: this folder's, not the user's.
        setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(VORLEN_PROGRAM)};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VORLEN_PROGRAM, argv.data());
        _exit(127);
    }
    Answer answer;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) answer.status = WEXITSTATUS(status);
    if (stdoutFile.empty()) answer.out = ReadBytes(out);
    answer.err = ReadBytes(err);
    return answer;
}

}  // namespace

TEST(CommandLine, WindowAndResultsFolderInEitherSpellingWithARelativeFolderMadeAbsolute) {
    CommandLine line = Parse({});
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_FALSE(line.windowed);
    EXPECT_EQ(line.resultsFolder, "");

    line = Parse({"--window", "--results-folder", "класс 3Б"});
    EXPECT_EQ(line.action, Action::Run);
    EXPECT_TRUE(line.windowed);
    EXPECT_EQ(line.resultsFolder, "/home/teacher/класс 3Б");

    EXPECT_EQ(Parse({"--results-folder=/srv/results/"}).resultsFolder, "/srv/results/");
    EXPECT_EQ(Parse({"--results-folder=../shared"}).resultsFolder, "/home/teacher/../shared");
    // The last one counts, and a folder may look like an option.
    EXPECT_EQ(Parse({"--results-folder", "/a", "--results-folder", "--window"}).resultsFolder,
              "/home/teacher/--window");
    EXPECT_EQ(Parse({"--", "--window"}).action, Action::Refuse);
}

TEST(CommandLine, TheFirstHelpVersionOrMistakeDecides) {
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string mistake;
    };
    const std::vector<Case> cases = {
        {{"-h"}, Action::ShowHelp, ""},
        {{"--window", "--help", "--bogus"}, Action::ShowHelp, ""},
        {{"-V"}, Action::ShowVersion, ""},
        {{"-Vh"}, Action::ShowVersion, ""},
        {{"--version", "-h"}, Action::ShowVersion, ""},
        {{"--bogus", "--help"}, Action::Refuse, "неизвестный параметр «--bogus»"},
        {{"-x"}, Action::Refuse, "неизвестный параметр «-x»"},
        {{"-xh"}, Action::Refuse, "неизвестный параметр «-xh»"},
        {{"--Window"}, Action::Refuse, "неизвестный параметр «--Window»"},
        {{"--win"}, Action::Refuse, "неизвестный параметр «--win»"},
        {{"--window=yes"}, Action::Refuse, "параметр «--window» указывается без значения"},
        {{"--help=1"}, Action::Refuse, "параметр «--help» указывается без значения"},
        {{"Маша"}, Action::Refuse, "лишний аргумент «Маша»"},
        {{"-"}, Action::Refuse, "лишний аргумент «-»"},
        {{"--", "-h"}, Action::Refuse, "лишний аргумент «-h»"},
        {{"--results-folder"}, Action::Refuse, "параметру «--results-folder» нужно имя папки"},
        {{"--results-folder="}, Action::Refuse, "параметру «--results-folder» нужно имя папки"},
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.action, c.action) << c.arguments.front();
        EXPECT_EQ(line.mistake, c.mistake) << c.arguments.front();
    }
    // A relative folder needs the current one.
    const CommandLine lost = Parse({"--results-folder", "results"}, "");
    EXPECT_EQ(lost.action, Action::Refuse);
    EXPECT_NE(lost.mistake.find("«results»"), std::string::npos) << lost.mistake;
    EXPECT_EQ(Parse({"--results-folder", "/srv/results"}, "").resultsFolder, "/srv/results");
}

TEST(ProgramCommandLine, AnswersHelpVersionAndMistakesWithoutADisplay) {
    for (const char* help : {"--help", "-h"}) {
        const Answer answer = RunProgram({help});
        EXPECT_EQ(answer.status, 0) << help;
        EXPECT_EQ(answer.out, UsageText()) << help;
        EXPECT_EQ(answer.err, "") << help;
    }
    EXPECT_NE(UsageText().find("--results-folder"), std::string::npos);
    for (const char* version : {"--version", "-V"}) {
        const Answer answer = RunProgram({version});
        EXPECT_EQ(answer.status, 0) << version;
        EXPECT_EQ(answer.out, "vorlen " VORLEN_PROJECT_VERSION "\n") << version;
        EXPECT_EQ(answer.err, "") << version;
    }

    const Answer mistake = RunProgram({"--window", "--bogus"});
    EXPECT_EQ(mistake.status, 2);
    EXPECT_EQ(mistake.out, "");
    EXPECT_EQ(mistake.err, "vorlen: неизвестный параметр «--bogus»\n" + UsageText());

    // Nothing to answer: the program starts, and without a display it says why and ends.
    const Answer start = RunProgram({"--window"});
    EXPECT_EQ(start.status, 1);
    EXPECT_NE(start.err.find("no display"), std::string::npos) << start.err;

    // An answer that cannot be written is not a success.
    EXPECT_EQ(RunProgram({"--version"}, "/dev/full").status, 1);
}

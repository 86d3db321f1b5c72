#include "app/command_line.h"

#include <cstdio>
#include <string_view>
#include <utility>

#ifndef VORLEN_VERSION
#error "VORLEN_VERSION comes from the project's version in CMakeLists.txt"
#endif

namespace {

constexpr std::string_view kResultsFolder = "--results-folder";

std::string Quoted(std::string_view what) { return "«" + std::string(what) + "»"; }

CommandLine Refused(std::string mistake) {
    CommandLine line;
    line.action = CommandLine::Action::Refuse;
    line.mistake = std::move(mistake);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments, const std::filesystem::path& currentFolder) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-')
            return Refused("лишний аргумент " + Quoted(argument));
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument[1] != '-') {
            // Both short options end the program, so in a group (-hV) the first one decides.
            if (argument[1] == 'h' || argument[1] == 'V') {
                line.action = argument[1] == 'h' ? CommandLine::Action::ShowHelp : CommandLine::Action::ShowVersion;
                return line;
            }
            return Refused("неизвестный параметр " + Quoted(argument));
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool valueGiven = equals != std::string::npos;
        if (name == "--help" || name == "--version" || name == "--window") {
            if (valueGiven) return Refused("параметр " + Quoted(name) + " указывается без значения");
            if (name == "--window") {
                line.windowed = true;
                continue;
            }
            line.action = name == "--help" ? CommandLine::Action::ShowHelp : CommandLine::Action::ShowVersion;
            return line;
        }
        if (name == kResultsFolder) {
            std::string folder;
            if (valueGiven)
                folder = argument.substr(equals + 1);
            else if (i + 1 < arguments.size())
                folder = arguments[++i];
            if (folder.empty()) return Refused("параметру " + Quoted(kResultsFolder) + " нужно имя папки");
            std::filesystem::path path(folder);
            if (path.is_relative()) {
                if (currentFolder.empty()) return Refused("не удалось узнать текущую папку для " + Quoted(folder));
                path = currentFolder / path;
            }
            line.resultsFolder = path.string();
            continue;
        }
        return Refused("неизвестный параметр " + Quoted(argument));
    }
    return line;
}

std::string UsageText() {
    return "Использование: vorlen [ПАРАМЕТР]...\n"
           "Игра «Ворлен»: упражнение для младших школьников. Без параметров игра\n"
           "открывается во весь экран.\n"
           "\n"
           "  -h, --help                  показать эту справку и выйти\n"
           "  -V, --version               показать версию и выйти\n"
           "      --window                открыть игру в обычном окне 800 × 600\n"
           "      --results-folder ПАПКА  хранить результаты в ПАПКЕ (вместо переменной\n"
           "                              VORLEN_RESULTS_FOLDER); относительный путь\n"
           "                              отсчитывается от текущей папки\n"
           "\n"
           "Подробнее: man vorlen\n";
}

std::string VersionText() { return std::string("vorlen ") + VORLEN_VERSION + "\n"; }

int AnswerCommandLine(const CommandLine& line) {
    switch (line.action) {
        case CommandLine::Action::Run:
            return -1;
        case CommandLine::Action::Refuse:
            std::fputs(("vorlen: " + line.mistake + "\n" + UsageText()).c_str(), stderr);
            return 2;
        case CommandLine::Action::ShowHelp:
        case CommandLine::Action::ShowVersion:
            break;
    }
    const std::string text = line.action == CommandLine::Action::ShowHelp ? UsageText() : VersionText();
    // `vorlen --version > /dev/full` must not report success.
    const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    return written ? 0 : 1;
}

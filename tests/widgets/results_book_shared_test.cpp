// A classroom's results in one file: several programs (real processes) save into one workbook
// at random moments, one of them killed in the middle of its saves, and nobody's rows are lost,
// doubled or reordered. The file stays readable by a real spreadsheet program.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/scratch_folder.h"
#include "widgets/results_book.h"

extern char** environ;

namespace {

pid_t StartWriter(const std::string& file, int n, int rounds) {
    const std::string program = RESULTS_WRITER;
    std::vector<std::string> args = {program, file, std::to_string(n), std::to_string(rounds),
                                     std::to_string(n * 7919)};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

// The values of a sheet's rows, grouped by the program that wrote them ("3-17" -> 3), in the
// order they stand in the file.
std::map<int, std::vector<int>> RoundsByWriter(const std::wstring& file, const std::wstring& pupil) {
    std::map<int, std::vector<int>> rounds;
    for (const auto& [caption, value] : ResultsBook(file, pupil).Rows()) {
        const auto dash = value.find(L'-');
        EXPECT_EQ(caption, L"Проход");
        EXPECT_NE(dash, std::wstring::npos) << platform::text::ToUtf8(value);
        if (dash == std::wstring::npos) continue;
        rounds[std::stoi(value.substr(0, dash))].push_back(std::stoi(value.substr(dash + 1)));
    }
    return rounds;
}

std::vector<int> Sequence(int count) {
    std::vector<int> s;
    for (int i = 0; i < count; ++i) s.push_back(i);
    return s;
}

void SaveTogether(const std::string& folder) {
    constexpr int kWriters = 8;
    constexpr int kRounds = 50;
    const std::string file = folder + "/results.xls";
    const std::wstring wide = platform::text::FromUtf8(file);
    std::vector<pid_t> writers;
    for (int n = 0; n < kWriters; ++n) writers.push_back(StartWriter(file, n, kRounds));
    // One more, killed at a random moment in the middle of its saves.
    const pid_t victim = StartWriter(file, kWriters, 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    kill(victim, SIGKILL);
    WaitFor(victim);
    for (pid_t pid : writers) {
        ASSERT_GT(pid, 0);
        const int status = WaitFor(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed: " << status;
    }

    const auto shared = RoundsByWriter(wide, L"Общий");
    for (int n = 0; n < kWriters; ++n) {
        SCOPED_TRACE("writer " + std::to_string(n));
        const auto own = RoundsByWriter(wide, L"Ученик " + std::to_wstring(n));
        ASSERT_EQ(own.size(), 1u);
        EXPECT_EQ(own.begin()->second, Sequence(kRounds));
        ASSERT_TRUE(shared.count(n));
        EXPECT_EQ(shared.at(n), Sequence(kRounds));
    }
    // What the killed program had saved is whole and in order: its first rounds, nothing else.
    const auto killed = RoundsByWriter(wide, L"Ученик " + std::to_wstring(kWriters));
    if (!killed.empty()) {
        const auto& rounds = killed.begin()->second;
        EXPECT_EQ(rounds, Sequence(static_cast<int>(rounds.size())));
    }

    const char* ssconvert = "/usr/bin/ssconvert";
    if (access(ssconvert, X_OK) == 0) {
        // Gnumeric's converter reads the merged file and writes every sheet out again.
        const std::string command = "cd '" + folder + "' && HOME='" + folder + "' XDG_CONFIG_HOME='" + folder +
                                    "' LC_ALL=C.UTF-8 '" + ssconvert +
                                    "' --export-type=Gnumeric_stf:stf_csv -S results.xls 'sheet-%n.csv' > log.txt 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << ReadBytes(folder + "/log.txt");
        int sheets = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().rfind("sheet-", 0) == 0) ++sheets;
        EXPECT_GE(sheets, kWriters + 1);  // every program's own sheet and the shared one
    }
}

}  // namespace

// A lock file left behind never blocks; a lock held by another program that does not let go
// makes the save give up after a few seconds with its rows kept, and the next save, once the
// holder has died, writes them.
TEST(SharedResults, ALockHeldElsewhereDelaysTheRowsAndLosesNone) {
    ScratchFolder folder;
    const std::wstring path = folder.Wide("results.xls");
    WriteBytes(folder / ".results.xls.lock", "left by a program that crashed");
    ResultsBook book(path, L"Иван");
    book.AddRow(L"Проход", L"1", L"Number");
    ASSERT_TRUE(book.Save());

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        auto lock = platform::files::FileLock::Acquire(folder / ".results.xls.lock", 1000);
        (void)!write(ready[1], lock ? "y" : "n", 1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    book.AddRow(L"Проход", L"2", L"Number");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(book.Save());
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("kept for the next save"), std::string::npos) << said;
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows().size(), 1u);

    kill(holder, SIGKILL);  // the system frees a dead program's lock
    WaitFor(holder);
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(ResultsBook(path, L"Иван").Rows(),
              (std::vector<std::pair<std::wstring, std::wstring>>{{L"Проход", L"1"}, {L"Проход", L"2"}}));
}

TEST(SharedResults, EightProgramsSavingIntoOneFileLoseNothing) { SaveTogether(ScratchFolder().Path()); }

// The same on a network file system, where one is mounted for the test (an NFS export mounted
// over loopback, say): VORLEN_NFS_FOLDER names a writable folder on it.
TEST(SharedResults, OnANetworkFolder) {
    const char* folder = std::getenv("VORLEN_NFS_FOLDER");
    if (!folder || !*folder)
        GTEST_SKIP() << "no network folder: set VORLEN_NFS_FOLDER to a writable folder on an NFS or SMB mount";
    SaveTogether(folder);
}

// A classroom's pass on its way: into the journal on this computer, then into the shared
// workbook on the results thread, whatever the share does meanwhile. Also run under
// ThreadSanitizer (`make tsan`).
#include "widgets/results_forwarder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/scratch_folder.h"
#include "widgets/results_book.h"

namespace {

using namespace std::chrono_literals;
using Rows = std::vector<std::pair<std::wstring, std::wstring>>;

workbook::Pass APass(const std::wstring& pupil, const std::wstring& value) {
    return {workbook::NewPassId(), pupil, {{L"Проход", value, L"String"}, {}}};
}

std::vector<std::string> JournalFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    return names;
}

// Another computer's program in the middle of a long save: it holds the workbook's lock until
// it is told to let go.
class LockHolder {
   public:
    explicit LockHolder(const std::string& lockFile) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            auto lock = platform::files::FileLock::Acquire(lockFile, 1000);
            (void)!write(ready[1], lock ? "y" : "n", 1);
            char c;
            (void)!read(release_[0], &c, 1);
            _exit(0);
        }
        char answer = 'n';
        (void)!read(ready[0], &answer, 1);
        held_ = answer == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~LockHolder() { Release(); }
    bool Held() const { return held_; }
    void Release() {
        if (pid_ <= 0) return;
        (void)!write(release_[1], "x", 1);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

   private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
    bool held_ = false;
};

}  // namespace

// The lesson ends while another program holds the lock past the end's bound: the pass waits in
// the journal, and the next start writes it.
TEST(ResultsForwarder, APassOutlivesALockHeldPastTheEndAndArrivesAtTheNextStart) {
    ScratchFolder share;
    ScratchFolder home;
    const std::wstring book = share.Wide("results.xls");
    const std::string journal = home / "journal";
    LockHolder holder(share / ".results.xls.lock");
    ASSERT_TRUE(holder.Held());
    ::testing::internal::CaptureStderr();
    {
        ResultsForwarder forwarder{ResultsJournal(journal)};
        forwarder.Hand(book, APass(L"Иван", L"1"));
        EXPECT_FALSE(forwarder.WaitUntilMerged(300ms));
    }
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(JournalFiles(journal).size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(share / "results.xls"));

    holder.Release();
    ResultsForwarder next{ResultsJournal(journal)};
    ASSERT_TRUE(next.WaitUntilMerged(30s, true));
    EXPECT_EQ(ResultsBook(book, L"Иван").Rows(), (Rows{{L"Проход", L"1"}, {}}));
    EXPECT_TRUE(JournalFiles(journal).empty());
}

// A network folder that is not mounted for a while: nothing is written under its mount point,
// the pass is tried again and arrives once the folder is back.
TEST(ResultsForwarder, AShareThatGoesAwayAndComesBackGetsThePass) {
    ScratchFolder root;
    ScratchFolder home;
    std::filesystem::create_directory(root / "share");
    const std::wstring book = root.Wide("share/results.xls");
    std::filesystem::rename(root / "share", root / "share-away");

    ResultsForwarder forwarder{ResultsJournal(home / "journal")};
    ::testing::internal::CaptureStderr();
    forwarder.Hand(book, APass(L"Иван", L"1"));
    EXPECT_FALSE(forwarder.WaitUntilMerged(300ms));
    EXPECT_FALSE(std::filesystem::exists(root / "share"));
    std::filesystem::rename(root / "share-away", root / "share");
    ASSERT_TRUE(forwarder.WaitUntilMerged(30s));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("share is not there"), std::string::npos) << said;
    EXPECT_EQ(ResultsBook(book, L"Иван").Rows(), (Rows{{L"Проход", L"1"}, {}}));
    EXPECT_TRUE(JournalFiles(home / "journal").empty());
}

// A program killed between its merge and the journal's update leaves an entry the workbook
// already holds: the next start recognises it and adds nothing. A journal file that is not an
// entry is set aside, not merged and not lost.
TEST(ResultsForwarder, APassAlreadyMergedIsNotAddedAgain) {
    ScratchFolder share;
    ScratchFolder home;
    const std::string file = share / "results.xls";
    const workbook::Pass pass = APass(L"Иван", L"1");
    ASSERT_TRUE(MergePassesInto(file, {pass}, 1000).ok());
    const ResultsJournal journal(home / "journal");
    const platform::Result<void> written = journal.Write({file, pass});
    ASSERT_TRUE(written.ok()) << written.why();
    WriteBytes(home / "journal/torn.pass", "vorlen results journal 1\npass\ttorn\nrow\tcut sh");

    ::testing::internal::CaptureStderr();
    ResultsForwarder next{ResultsJournal(journal)};
    ASSERT_TRUE(next.WaitUntilMerged(30s, true));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("torn.pass is not a pass"), std::string::npos) << said;
    EXPECT_EQ(ResultsBook(platform::text::FromUtf8(file), L"Иван").Rows(), (Rows{{L"Проход", L"1"}, {}}));
    EXPECT_EQ(JournalFiles(home / "journal"), std::vector<std::string>{"torn.pass.damaged"});
}

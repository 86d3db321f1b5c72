// Whole-file reading and atomic replacement, and the shared data folder.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/folders.h"
#include "platform/text.h"
#include "tests/support/scratch_folder.h"

namespace files = platform::files;

TEST(Files, ReadAllTellsMissingFromUnreadableAndNeverWaitsOnAFifo) {
    ScratchFolder folder;
    WriteBytes(folder / "a", std::string("x\0y", 3));
    platform::Result<std::string> read = files::ReadAll(folder / "a");
    ASSERT_TRUE(read.ok()) << read.why();
    EXPECT_EQ(*read, std::string("x\0y", 3));

    EXPECT_TRUE(files::ReadAll(folder / "none").Is(platform::ErrorKind::Missing));
    read = files::ReadAll(folder.Path());
    EXPECT_TRUE(read.Is(platform::ErrorKind::Failed));
    EXPECT_NE(read.why().find("is a folder"), std::string::npos) << read.why();

    // Opening a FIFO for reading would wait for a writer that never comes.
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_TRUE(files::ReadAll(folder / "fifo").Is(platform::ErrorKind::Failed));
}

TEST(Files, ReplaceKeepsModeAndLinksAndLeavesNoTemporaryFiles) {
    ScratchFolder folder;
    const std::string file = folder / "book.xls";
    ASSERT_TRUE(files::Replace(file, "one").ok());
    EXPECT_EQ(ReadBytes(file), "one");

    chmod(file.c_str(), 0604);
    ASSERT_TRUE(files::Replace(file, "two").ok());
    EXPECT_EQ(ReadBytes(file), "two");
    EXPECT_EQ(ModeOf(file), 0604u);

    // Through a link: the file it points to changes, the link stays a link.
    ASSERT_EQ(symlink("book.xls", (folder / "link.xls").c_str()), 0);
    ASSERT_TRUE(files::Replace(folder / "link.xls", "three").ok());
    EXPECT_EQ(ReadBytes(file), "three");
    struct stat info {};
    ASSERT_EQ(lstat((folder / "link.xls").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));

    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"book.xls", "link.xls"}));
}

// A program killed at any moment of its saves: the file is always one whole version, and what
// the killed saves left behind is cleared by a later save once it is old, not while it may be
// another program's save in progress.
TEST(Files, AKilledSaveLeavesAWholeFileAndItsDebrisIsClearedLater) {
    ScratchFolder folder;
    const std::string file = folder / "book.xls";
    const std::string a(4 << 20, 'a'), b(4 << 20, 'b');
    ASSERT_TRUE(files::Replace(file, a).ok());
    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) (void)files::Replace(file, i % 2 ? a : b);
        }
        usleep(static_cast<useconds_t>(3000 + 7000 * round));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = ReadBytes(file);
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }

    std::vector<std::string> debris;
    for (const std::string& name : folder.Names())
        if (name != "book.xls") debris.push_back(name);
    WriteBytes(folder / "book.xls.tmp-99999-0", "a save in progress elsewhere");
    WriteBytes(folder / "other.xls.tmp-1-0", "another file's");
    debris.push_back("other.xls.tmp-1-0");
    const timeval twoHoursAgo[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
    for (const std::string& name : debris) {
        EXPECT_NE(name.find(".xls.tmp-"), std::string::npos) << name;
        utimes((folder / name).c_str(), twoHoursAgo);
    }
    ASSERT_TRUE(files::Replace(file, "after").ok());
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"book.xls", "book.xls.tmp-99999-0", "other.xls.tmp-1-0"}));
}

TEST(Files, NewFilesGetTheUmasksPermissionsButAllWritableInASharedFolder) {
    ScratchFolder folder;
    mode_t previous = umask(027);
    ASSERT_TRUE(files::Replace(folder / "a", "a").ok());
    umask(002);
    ASSERT_TRUE(files::Replace(folder / "b", "b").ok());
    umask(previous);
    EXPECT_EQ(ModeOf(folder / "a"), 0640u);
    EXPECT_EQ(ModeOf(folder / "b"), 0664u);

    // In a folder every user may write into (a classroom's shared results folder), the file and
    // the lock beside it are made writable by all, so that the next user's program can save.
    ScratchFolder shared(true);
    previous = umask(022);
    ASSERT_TRUE(files::Replace(shared / "results.xls", "x").ok());
    platform::Result<files::FileLock> lock = files::FileLock::Acquire(shared / ".results.xls.lock", 100);
    EXPECT_TRUE(lock.ok()) << lock.why();
    umask(previous);
    EXPECT_EQ(ModeOf(shared / "results.xls"), 0666u);
    EXPECT_EQ(ModeOf(shared / ".results.xls.lock"), 0666u);
}

TEST(Files, AFailedReplaceLeavesTheOldFileAndNoDebris) {
    ScratchFolder folder;
    platform::Result<void> outcome = files::Replace(folder / "missing/book.xls", "x");
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.why().find(folder / "missing"), std::string::npos) << outcome.why();

    // Not regular files: a folder and a FIFO are never replaced.
    mkdir((folder / "dir").c_str(), 0700);
    EXPECT_FALSE(files::Replace(folder / "dir", "x").ok());
    mkfifo((folder / "fifo").c_str(), 0600);
    EXPECT_FALSE(files::Replace(folder / "fifo", "x").ok());

    // A name so long that the temporary file beside it cannot be made: the file stays whole.
    const std::string longName = folder / std::string(250, 'n');
    WriteBytes(longName, "old");
    EXPECT_FALSE(files::Replace(longName, "new").ok());
    EXPECT_EQ(ReadBytes(longName), "old");

    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"dir", "fifo", std::string(250, 'n')}));
}

TEST(Files, ReadOnlyFilesAndFoldersAreNotReplaced) {
    ScratchFolder folder(true);
    const std::string readOnlyFile = folder / "read-only.xls";
    WriteBytes(readOnlyFile, "old");
    chmod(readOnlyFile.c_str(), 0444);
    mkdir((folder / "locked").c_str(), 0777);
    WriteBytes(folder / "locked/book.xls", "old");
    chmod((folder / "locked/book.xls").c_str(), 0666);
    chmod((folder / "locked").c_str(), 0555);

    std::string failure = AsUnprivilegedUser([&]() -> std::string {
        if (files::Replace(readOnlyFile, "new").ok()) return "a read-only file was replaced";
        if (files::Replace(folder / "locked/book.xls", "new").ok()) return "a file in a read-only folder was replaced";
        if (files::Replace(folder / "locked/new.xls", "new").ok()) return "a file was made in a read-only folder";
        return "";
    });
    EXPECT_EQ(failure, "");
    EXPECT_EQ(ReadBytes(readOnlyFile), "old");
    EXPECT_EQ(ReadBytes(folder / "locked/book.xls"), "old");
}

TEST(Files, MoveAsideNeverReplacesAnything) {
    ScratchFolder folder;
    WriteBytes(folder / "a", "first");
    EXPECT_EQ(files::MoveAside(folder / "a", ".old").value_or(""), folder / "a.old");
    WriteBytes(folder / "a", "second");
    EXPECT_EQ(files::MoveAside(folder / "a", ".old").value_or(""), folder / "a.old-2");
    EXPECT_EQ(ReadBytes(folder / "a.old"), "first");
    EXPECT_EQ(ReadBytes(folder / "a.old-2"), "second");

    platform::Result<std::string> gone = files::MoveAside(folder / "a", ".old");
    EXPECT_FALSE(gone.ok());
    EXPECT_NE(gone.why().find(folder / "a"), std::string::npos) << gone.why();
}

// HOME and XDG_DATA_HOME as the test sets them, put back afterwards.
class SharedDataFolder : public ::testing::Test {
   protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
    ScratchFolder folder_{true};  // reachable by AsUnprivilegedUser's user
};

TEST_F(SharedDataFolder, MachineFolderWhenItsZedkIsWritableElseTheUsersDataFolder) {
    const std::string machine = folder_ / "var-lib";
    mkdir(machine.c_str(), 0755);
    setenv("XDG_DATA_HOME", (folder_ / "xdg").c_str(), 1);
    setenv("HOME", (folder_ / "home").c_str(), 1);

    EXPECT_EQ(platform::Folders::SharedData(machine), folder_.Wide("xdg"));  // no ZEDK there
    mkdir((machine + "/ZEDK").c_str(), 0777);
    EXPECT_EQ(platform::Folders::SharedData(machine), folder_.Wide("var-lib"));
    chmod((machine + "/ZEDK").c_str(), 0555);
    std::string failure = AsUnprivilegedUser([&]() -> std::string {
        return platform::Folders::SharedData(machine) == folder_.Wide("xdg") ? "" : "a read-only ZEDK was chosen";
    });
    chmod((machine + "/ZEDK").c_str(), 0777);
    EXPECT_EQ(failure, "");

    // XDG_DATA_HOME only counts as an absolute path; then HOME decides.
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::Folders::SharedData(machine + "/none"), folder_.Wide("home/.local/share"));
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(platform::Folders::SharedData(machine + "/none"), folder_.Wide("home/.local/share"));
    setenv("XDG_DATA_HOME", (folder_ / "xdg/").c_str(), 1);
    EXPECT_EQ(platform::Folders::SharedData(machine + "/none"), folder_.Wide("xdg"));
}

TEST_F(SharedDataFolder, CreateMakesEveryMissingFolderOnTheWay) {
    EXPECT_TRUE(platform::Folders::Create(folder_.Wide("a/b/c")).ok());
    EXPECT_TRUE(std::filesystem::is_directory(folder_ / "a/b/c"));
    EXPECT_EQ(ModeOf(folder_ / "a/b"), 0700u);
    EXPECT_TRUE(platform::Folders::Create(folder_.Wide("a/b/c")).ok());  // already there

    WriteBytes(folder_ / "file", "");
    const platform::Result<void> below = platform::Folders::Create(folder_.Wide("file/below"));
    EXPECT_FALSE(below.ok());
    EXPECT_NE(below.why().find(folder_ / "file"), std::string::npos) << below.why();
}

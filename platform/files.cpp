#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace platform::files {
namespace {

// Closes a descriptor when it goes out of scope, unless it was closed by hand first.
class Descriptor {
   public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor over; this object no longer closes it.
    void Release() { fd_ = -1; }
    // close() reports the last write error on some file systems (NFS), so its result counts.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

   private:
    int fd_;
};

std::string Folder(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder that every user may write into (a classroom's shared results folder): what is made
// there is made writable by every user too, whatever this user's umask, so that the programs
// of the other users can go on saving into it.
bool SharedWithEveryone(const std::string& folder) {
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && (info.st_mode & S_IWOTH) != 0;
}

std::string Because(const std::string& what, int errnum) { return what + ": " + ErrorText(errnum); }

bool WriteAll(int fd, const std::vector<std::string_view>& pieces) {
    for (std::string_view bytes : pieces) {
        while (!bytes.empty()) {
            ssize_t n = write(fd, bytes.data(), bytes.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    return true;
}

// Moves without replacing: renameat2's RENAME_NOREPLACE, or on file systems without it a hard
// link (which never replaces either) and the removal of the old name.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) != 0) {
        int saved = errno;
        unlink(to.c_str());
        errno = saved;
        return false;
    }
    return true;
}

// What a save killed on its way (a crash, a power cut, a pupil pulling the plug) left beside
// `path`: its temporary files, once they are older than any save takes. Another program's save
// in progress (maybe on another computer sharing the folder) is younger and stays.
void RemoveStaleTemporaries(const std::string& path) {
    constexpr time_t kStaleAfterSeconds = 60 * 60;
    const std::string folder = Folder(path);
    const std::size_t slash = path.rfind('/');
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp-";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
        if (now - info.st_mtime > kStaleAfterSeconds) unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

}  // namespace

std::string ErrorText(int errnum) {
    char buffer[256];
    return strerror_r(errnum, buffer, sizeof buffer);  // the GNU form returns the text
}

Result<std::string> ReadAll(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        if (errno == ENOENT) return Error::Of(ErrorKind::Missing, "there is no " + path);
        return Error::Failed(Because("cannot open " + path, errno));
    }
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return Error::Failed(path + (S_ISDIR(info.st_mode) ? " is a folder" : " is not a regular file"));
    // Straight into the result, a little more than the file's size so that the end is seen
    // without another round; a file that grows meanwhile is read to its new end.
    std::string bytes;
    std::size_t length = 0;
    std::size_t wanted = std::min<std::size_t>(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0, limit);
    bytes.resize(std::min(limit, wanted + 1));
    while (length < limit) {
        if (length == bytes.size()) bytes.resize(std::min(limit, 2 * length + 65536));
        ssize_t n = read(fd.get(), bytes.data() + length, bytes.size() - length);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return Error::Failed(Because("cannot read " + path, errno));
        }
        length += static_cast<std::size_t>(n);
    }
    bytes.resize(length);
    return bytes;
}

Result<void> Replace(const std::string& path, std::string_view bytes) {
    return Replace(path, std::vector<std::string_view>{bytes});
}

Result<void> Replace(const std::string& requested, const std::vector<std::string_view>& pieces) {
    if (requested.empty() || requested.back() == '/') return Error::Failed("\"" + requested + "\" is not a file name");

    std::string path = requested;
    struct stat old {};
    bool existed = lstat(path.c_str(), &old) == 0;
    if (existed && S_ISLNK(old.st_mode)) {
        char target[PATH_MAX];
        if (!realpath(requested.c_str(), target))
            return Error::Failed(Because("cannot follow the link " + path, errno));
        path = target;
        existed = stat(path.c_str(), &old) == 0;
    }
    if (existed && !S_ISREG(old.st_mode)) return Error::Failed(path + " is not a regular file");
    // Renaming over a file needs only the folder's permission; a file this user may not write
    // to stays as it is, as it would if it were written in place.
    if (existed && access(path.c_str(), W_OK) != 0) return Error::Failed(Because(path + " is read-only", errno));

    const std::string folder = Folder(path);
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int raw = -1;
    for (int attempt = 0; attempt < 100 && raw < 0; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        // 0666 here lets the umask decide a new file's permissions, as for any other file.
        raw = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (raw < 0 && errno != EEXIST) break;
    }
    if (raw < 0) return Error::Failed(Because("cannot create a file in " + folder, errno));
    Descriptor fd(raw);

    auto fail = [&](const std::string& what) {
        Error error = Error::Failed(Because(what, errno));
        unlink(temporary.c_str());
        return Result<void>(std::move(error));
    };
    if (!existed && SharedWithEveryone(folder)) {
        if (fchmod(fd.get(), 0666) != 0) return fail("cannot set the permissions of " + temporary);
    }
    if (existed) {
        if (fchmod(fd.get(), old.st_mode & 07777) != 0) return fail("cannot set the permissions of " + temporary);
        // Only root may give a file away; a group we belong to may be kept. Neither is worth
        // failing the save for.
        bool kept =
            fchown(fd.get(), old.st_uid, old.st_gid) == 0 || fchown(fd.get(), static_cast<uid_t>(-1), old.st_gid) == 0;
        (void)kept;
    }
    if (!WriteAll(fd.get(), pieces)) return fail("cannot write " + temporary);
    if (fsync(fd.get()) != 0) return fail("cannot flush " + temporary + " to the disk");
    if (!fd.Close()) return fail("cannot write " + temporary);
    if (rename(temporary.c_str(), path.c_str()) != 0) return fail("cannot rename " + temporary + " to " + path);

    // The new name reaches the disk with the folder. The file itself is whole by now, so a
    // folder that cannot be flushed (some file systems refuse) does not undo the save.
    Descriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) fsync(dir.get());
    RemoveStaleTemporaries(path);
    return {};
}

Result<std::string> MoveAside(const std::string& path, const std::string& suffix) {
    for (int n = 1; n <= 1000; ++n) {
        std::string target = path + suffix;
        if (n > 1) target.append(1, '-').append(std::to_string(n));
        if (RenameNoReplace(path, target)) return target;
        if (errno != EEXIST) return Error::Failed(Because("cannot rename " + path + " to " + target, errno));
    }
    return Error::Failed("cannot rename " + path + ": every name for it is taken");
}

std::optional<FileId> IdOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

std::optional<FileVersion> VersionOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileVersion{FileId{info.st_dev, info.st_ino}, info.st_size,
                       static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

Result<FileLock> FileLock::Acquire(const std::string& lockPath, int timeoutMs) {
    Descriptor fd(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (fd.get() < 0) return Error::Failed(Because("cannot open the lock file " + lockPath, errno));
    // Only its owner can widen it; for everyone else it already is as its owner made it.
    if (SharedWithEveryone(Folder(lockPath))) (void)fchmod(fd.get(), 0666);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;  // the whole file, whatever its length
        if (fcntl(fd.get(), F_SETLK, &lock) == 0) break;
        const int error = errno;
        if (error != EACCES && error != EAGAIN && error != EINTR)
            return Error::Failed(Because("cannot lock " + lockPath, error));
        if (std::chrono::steady_clock::now() >= deadline)
            return Error::Of(ErrorKind::Busy,
                             "another program has held " + lockPath + " for " + std::to_string(timeoutMs) + " ms");
        // Polled rather than waited for with F_SETLKW, so that the wait has an end on every
        // file system.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FileLock held(fd.get());
    fd.Release();
    return held;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace platform::files

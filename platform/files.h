// Whole-file reading and writing for documents the program keeps (the results workbook).
//
// Paths are in the system's file-name encoding (UTF-8). None of these functions prints
// anything: each says what went wrong in its result (platform/result.h), a short phrase such as
// "cannot create a file in /srv/x: Permission denied" that names the file or folder concerned,
// so that the caller can report it in one line together with what it was doing. GUI thread or
// any other; they keep no state.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform::files {

// Reads the regular file at `path`, whole or its first `limit` bytes. Never blocks on a FIFO
// or a device. ErrorKind::Missing when nothing has that name; Failed when something is there
// but cannot be read (permissions, a folder, a device).
Result<std::string> ReadAll(const std::string& path, std::size_t limit = SIZE_MAX);

// Replaces the file at `path` with `bytes` so that, whatever happens on the way (a full disk,
// a crash, a power cut), `path` holds either the whole old file or the whole new one: the bytes
// go into a temporary file in the same folder, which is flushed to the disk and then renamed
// into place, and the folder is flushed after it. An existing file keeps its permission bits
// (and its group where the system lets us keep it); a new one gets 0666 less the umask, or 0666
// in a folder that every user may write into (a classroom's shared folder), so that other
// users' programs can go on saving into it. A link
// is followed, so the file it points to is replaced and the link stays. Fails, leaving
// everything as it was, when the folder is missing or not writable, when the existing file is
// read-only for this user or is not a regular file, or when writing fails. A successful save
// also removes the temporary files that saves killed on their way left there over an hour ago.
Result<void> Replace(const std::string& path, std::string_view bytes);
// The same with the new file's bytes given as pieces, written one after the other.
Result<void> Replace(const std::string& path, const std::vector<std::string_view>& pieces);

// Renames the file at `path` to `path + suffix`, or to `path + suffix + "-2"`, "-3" ... when
// that name is taken, never replacing anything. Returns the new name.
Result<std::string> MoveAside(const std::string& path, const std::string& suffix);

// Identifies a file independently of the name it is reached by.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};
// The file at `path` (links followed), or nothing when there is none or it cannot be reached.
std::optional<FileId> IdOf(const std::string& path);

// Which version of a file is at a path: a replacement (a new file renamed into place) or any
// write changes it.
struct FileVersion {
    FileId id;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileVersion&) const = default;
};
std::optional<FileVersion> VersionOf(const std::string& path);

// An exclusive lock that programs on several machines agree on: a POSIX record lock (fcntl) on
// a small file beside the document, which works on local disks and on the network file
// systems schools mount (NFS, SMB/CIFS), where flock may not. The system drops the lock when
// the holder's descriptor closes, its process ends or is killed, so a crashed program never
// leaves it held; the lock file itself stays and never blocks anyone. Move-only.
class FileLock {
   public:
    // Waits up to `timeoutMs` for the lock on `lockPath` (created as Replace creates files, when
    // missing). ErrorKind::Busy when another program still holds it by then; Failed when the
    // lock file cannot be opened or locked.
    static Result<FileLock> Acquire(const std::string& lockPath, int timeoutMs);
    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();  // releases the lock

   private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// strerror's text for an errno value, safe beside other threads.
std::string ErrorText(int errnum);

}  // namespace platform::files

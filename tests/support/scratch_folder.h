// Files for tests that read and write them: a folder of the test's own, removed with its
// contents when the test ends, and a way to run part of a test as a user without privileges,
// so that permission checks still hold when the suite runs as root.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

class ScratchFolder {
   public:
    // `sharedWithEveryone`: made under /tmp with mode 0777, so that AsUnprivilegedUser's user
    // can reach it and create files in it even when the tests run as root.
    explicit ScratchFolder(bool sharedWithEveryone = false) {
        std::string base = sharedWithEveryone ? std::string("/tmp") : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/vorlen-test-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder in " + base);
        path_ = pattern;
        if (sharedWithEveryone) chmod(path_.c_str(), 0777);
    }
    ~ScratchFolder() {
        // Tests take permissions away; give them back so that everything can be removed.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0700);
        }
        chmod(path_.c_str(), 0700);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }
    std::wstring Wide(std::string_view name) const { return platform::text::FromUtf8(*this / name); }

    // The names in the folder (not below it), sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

   private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline unsigned ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFFFFFu;
}

// Runs `body` in a child process of its own and returns what it returned: an empty string when
// everything held, else what did not. For what a process can set only once (fonts, the sound
// driver, its user). The child ends with _exit: the parent's gtest state and leak check stay
// the parent's.
inline std::string InChildProcess(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) return "cannot make a pipe";
    pid_t child = fork();
    if (child < 0) return "cannot fork";
    if (child == 0) {
        close(channel[0]);
        const std::string outcome = body();
        ssize_t written = write(channel[1], outcome.data(), outcome.size());
        (void)written;
        _exit(0);
    }
    close(channel[1]);
    std::string outcome;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        outcome.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "the child process ended abnormally" + (outcome.empty() ? "" : ": " + outcome);
    return outcome;
}

// Runs `body` as a user to whom the permission bits apply: directly when the tests do not run
// as root, else in a child process that has become "nobody" (65534). `body` returns an empty
// string when everything held, else what did not; so does AsUnprivilegedUser.
inline std::string AsUnprivilegedUser(const std::function<std::string()>& body) {
    if (geteuid() != 0) return body();
    return InChildProcess([&]() -> std::string {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return "cannot become nobody";
        return body();
    });
}

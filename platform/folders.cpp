#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr const char* kMachineFolder = "/var/lib";
constexpr const char* kSharedSubfolder = "/ZEDK";

bool IsWritableFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && access(path.c_str(), W_OK | X_OK) == 0;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    // getpwuid_r with a buffer of the size the system suggests; the static getpwuid is not
    // safe beside other threads.
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::wstring Folders::SharedData() { return SharedData(kMachineFolder); }

std::wstring Folders::SharedData(const std::string& machineFolder) {
    if (IsWritableFolder(machineFolder + kSharedSubfolder))
        return text::FromUtf8(WithoutTrailingSlashes(machineFolder));
    // The XDG rules say a relative XDG_DATA_HOME is invalid and is to be ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return text::FromUtf8(WithoutTrailingSlashes(xdg));
    std::string home = HomeFolder();
    if (home.empty()) return {};
    return text::FromUtf8(WithoutTrailingSlashes(home) + "/.local/share");
}

Result<void> Folders::Create(const std::wstring& path, unsigned mode) {
    std::string target = text::ToUtf8(path);
    if (target.empty()) return Error::Failed("no folder name");
    // Each folder on the way down, so that a missing ~/.local/share is made as well.
    for (std::size_t slash = target.find('/', 1);; slash = target.find('/', slash + 1)) {
        std::string part = target.substr(0, slash);
        if (mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            return Error::Failed("cannot create the folder " + part + ": " + files::ErrorText(errno));
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (stat(target.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return Error::Failed(target + " is not a folder");
    return {};
}

}  // namespace platform

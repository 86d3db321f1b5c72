#include "platform/debug.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace platform::Debug {
namespace {
std::mutex& OutputLock() {
    static std::mutex lock;
    return lock;
}
}  // namespace

void Print(std::string_view utf8Line) {
    std::string line = "vorlen: ";
    line.append(utf8Line);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    std::lock_guard<std::mutex> guard(OutputLock());
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void Print(std::wstring_view line) { Print(text::ToUtf8(line)); }

bool TraceEnabled() {
    const char* v = std::getenv("VORLEN_DEBUG");
    return v && *v && std::string_view(v) != "0";
}

void Trace(std::string_view utf8Line) {
    if (TraceEnabled()) Print(utf8Line);
}

void Trace(std::wstring_view line) {
    if (TraceEnabled()) Print(line);
}

void VerifyFailed(const char* condition, const char* message, const char* file, int line) {
    Print(std::string("internal error: ") + message + " (" + condition + ") at " + file + ":" + std::to_string(line));
    std::abort();
}

}  // namespace platform::Debug

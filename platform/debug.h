// Diagnostics: one line on standard error per report, prefixed with the program's name, and
// VORLEN_VERIFY for invariants that only a bug can break (it reports the message with its place
// and aborts). How the program fails and who reports what is written once, in
// platform/result.h.
#pragma once

#include <string_view>

namespace platform::Debug {

// Warnings and errors, always printed. Thread-safe; lines from different threads never
// interleave.
void Print(std::string_view utf8Line);
void Print(std::wstring_view line);

// Developer's trace lines (frame rate, sounds starting and stopping): printed only when the
// environment variable VORLEN_DEBUG is set to something other than "0", so a pupil's terminal
// or session log holds only what went wrong. Thread-safe.
void Trace(std::string_view utf8Line);
void Trace(std::wstring_view line);
bool TraceEnabled();

[[noreturn]] void VerifyFailed(const char* condition, const char* message, const char* file, int line);

}  // namespace platform::Debug

#define VORLEN_VERIFY(condition, message)                                                           \
    do {                                                                                            \
        if (!(condition)) ::platform::Debug::VerifyFailed(#condition, message, __FILE__, __LINE__); \
    } while (0)

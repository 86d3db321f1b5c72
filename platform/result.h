// How the program fails: one small result type for every call that can fail.
//
// The policy, in one place:
// - At an edge where an operation can fail (a file, a decoder, a device, the workbook, a
//   printer), the call returns a `Result<T>`: the value, or an `Error` that says what failed in
//   a short phrase naming the file, device or data concerned. The caller adds what it was doing
//   and reports it with Debug::Print (one line), then carries on. The edge itself prints nothing
//   unless it is the only one who can say it.
// - `Error::kind` is there only for the few cases a caller acts on differently (a missing file
//   starts a new workbook, a busy lock is tried again, a lost buffer is restored, a full
//   texture memory evicts, a damaged workbook is set aside); everything else is
//   `ErrorKind::Failed`.
// - Exceptions are caught where a library throws them (the XML library, the C++ library's
//   allocation of a size that hostile data chose) and turned into an Error at that edge. No
//   exception is thrown to be caught by our own code, and none is used as a branch.
// - A function that cannot fail returns nothing; a bool is a question's answer, never a
//   success flag; no sentinel value (0, null, -1) stands for a failure.
// - Misuse by a caller that the program can survive is reported and ignored.
// - Invariants that only a bug can break are checked with VORLEN_VERIFY (platform/debug.h),
//   which reports the message with its place and aborts.
//
// Usage:
//   Result<std::string> ReadName(const std::string& path);
//   Result<void> Save(...) {
//       VORLEN_TRY_ASSIGN(name, ReadName(path));   // returns the error to our caller
//       if (name.empty()) return Error::Failed("no name in " + path);
//       return {};
//   }
//
// A Result is a value type; it may move between threads like any value.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "platform/debug.h"

namespace platform {

// The causes a caller may act on. Anything else is Failed.
enum class ErrorKind {
    Failed,       // the operation did not happen; `why` says what went wrong
    Missing,      // nothing by that name (a file, a printer, a resource)
    Busy,         // held by another program for now; the same call may succeed later
    Lost,         // a device's memory is gone (a lost sound buffer); restore, then retry
    OutOfMemory,  // no room in a device's memory (video memory, a texture budget): free some, retry
    Damaged,      // the data is not what it claims to be (not a workbook, a broken picture)
};

struct [[nodiscard]] Error {
    ErrorKind kind = ErrorKind::Failed;
    std::string why;

    static Error Failed(std::string why) { return {ErrorKind::Failed, std::move(why)}; }
    static Error Of(ErrorKind kind, std::string why) { return {kind, std::move(why)}; }
    bool Is(ErrorKind k) const { return kind == k; }
};

// A value of type T, or the Error that kept it from being made.
template <class T>
class [[nodiscard]] Result {
   public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}      // NOLINT: implicit on purpose
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // The value; only when ok().
    T& value() & { return Checked(), std::get<0>(state_); }
    const T& value() const& { return Checked(), std::get<0>(state_); }
    T&& value() && { return Checked(), std::get<0>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // The error; only when !ok().
    const Error& error() const& {
        VORLEN_VERIFY(!ok(), "Result::error() on a result that holds a value");
        return std::get<1>(state_);
    }
    Error&& error() && {
        VORLEN_VERIFY(!ok(), "Result::error() on a result that holds a value");
        return std::get<1>(std::move(state_));
    }
    bool Is(ErrorKind kind) const { return !ok() && std::get<1>(state_).kind == kind; }
    // The reason, or "" when there is a value.
    const std::string& why() const {
        static const std::string kNone;
        return ok() ? kNone : std::get<1>(state_).why;
    }

    T value_or(T fallback) const& { return ok() ? std::get<0>(state_) : std::move(fallback); }

   private:
    void Checked() const { VORLEN_VERIFY(ok(), "Result::value() on a failed result"); }
    std::variant<T, Error> state_;
};

// Success with nothing to carry, or the Error.
template <>
class [[nodiscard]] Result<void> {
   public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}  // NOLINT: implicit on purpose

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const& {
        VORLEN_VERIFY(failed_, "Result::error() on a result that succeeded");
        return error_;
    }
    Error&& error() && {
        VORLEN_VERIFY(failed_, "Result::error() on a result that succeeded");
        return std::move(error_);
    }
    bool Is(ErrorKind kind) const { return failed_ && error_.kind == kind; }
    const std::string& why() const { return error_.why; }

   private:
    Error error_;
    bool failed_ = false;
};

}  // namespace platform

// Passes a failed result up to the caller; the caller's own return type must be a Result.
#define VORLEN_TRY(expr)                                                            \
    do {                                                                            \
        auto&& vorlen_try_result_ = (expr);                                         \
        if (!vorlen_try_result_.ok()) return std::move(vorlen_try_result_).error(); \
    } while (0)

// Declares `name` holding the value of a result, or passes its error up.
#define VORLEN_TRY_ASSIGN(name, expr)                                   \
    auto name##_result_ = (expr);                                       \
    if (!name##_result_.ok()) return std::move(name##_result_).error(); \
    auto name = std::move(name##_result_).value()

// Time as the program reads it. A Clock is handed to whatever measures or waits on time (the
// window's timers, films, the sound playback threads, the silent audio output) when it is made;
// nothing reads the time of day behind its back.
//
// The program runs on Clock::Real(): microseconds since the process began, waits on the
// system's monotonic clock. Tests run on a DrivenClock (tests/support/driven_clock.h), whose
// time moves only when the test moves it: a sound of 22 seconds ends exactly 22 seconds of clock
// time after it began, however loaded the machine, and in a few milliseconds of real time.
//
// Every wait that may end because time passes goes through WaitUntil, so that a driven clock
// knows who is waiting for what, and the threads that wait on it are announced (ThreadStarts,
// ThreadEnds). All functions may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>

#include "platform/win_types.h"

namespace platform {

class Clock {
   public:
    // A deadline that never comes.
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    virtual ~Clock() = default;

    // Microseconds since the clock began. Monotonic.
    virtual std::int64_t Now() = 0;

    // Waits on `cv`, whose mutex `guard` holds, until `ready()` (checked under the mutex) or
    // until the clock reads `deadline` (kNever: no deadline). Returns ready(). Whoever makes
    // ready() true notifies `cv`, as with any condition variable.
    virtual bool WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& cv, std::int64_t deadline,
                           const std::function<bool()>& ready) = 0;

    // Said just before starting a thread that will wait on this clock, and by that thread as it
    // ends. A clock that tests drive waits for the new thread's first wait before moving on.
    virtual void ThreadStarts() {}
    virtual void ThreadEnds() {}

    // Milliseconds since the clock began, wrapping like a 32-bit millisecond counter after
    // 49.7 days (the counter of timers and sound labels).
    DWORD Milliseconds() { return static_cast<DWORD>(Now() / 1000); }

    // The system's clock, shared by the whole process.
    static Clock& Real();
};

}  // namespace platform

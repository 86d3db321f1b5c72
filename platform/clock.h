// Time as the program reads it: a high-resolution counter with its frequency, milliseconds
// since the program started, and sleeping.
//
// Tests may run the clock faster than real time (SetScale) so that sounds and films end sooner;
// the program itself never changes the scale. All functions may be called from any thread.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace platform {

class Clock {
   public:
    // Counter ticks; Frequency() of them make one second. Monotonic.
    static std::int64_t Counter();
    static std::int64_t Frequency();

    // Milliseconds since the program started (the counter of timers and labels); wraps
    // like a 32-bit millisecond counter after 49.7 days.
    static DWORD Milliseconds();
    // Same time base, for seeding and for time stamps.
    static DWORD TickCount();

    // Blocks the calling thread for about ms milliseconds of clock time.
    static void Sleep(DWORD ms);

    // Makes clock time pass `scale` times faster than real time from now on (1 = real time).
    // Readings stay continuous across the change. Test harness only.
    static void SetScale(double scale);
    static double Scale();

    // A span of counter ticks in microseconds (or milliseconds), without overflow for any span
    // the counter can hold: a school computer runs all day, and ticks x 1,000,000 does not
    // fit 64 bits after two and a half hours.
    static std::int64_t TicksToMicroseconds(std::int64_t ticks);
    static std::int64_t TicksToMilliseconds(std::int64_t ticks);

    // Converts clock milliseconds into the real time they take, for waits on other primitives.
    static std::int64_t RealMicroseconds(std::int64_t clockMicroseconds);
};

}  // namespace platform

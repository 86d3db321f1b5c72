#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace platform {
namespace {

using steady = std::chrono::steady_clock;

// Clock time = anchorClock + (real - anchorReal) * scale. Changing the scale moves the anchor
// so readings never jump. The three values change together under the mutex; readers take it
// too, which is cheap next to what a reading is used for.
struct ScaledTime {
    std::mutex lock;
    steady::time_point start = steady::now();
    steady::time_point anchorReal = start;
    std::int64_t anchorClockNs = 0;
    double scale = 1.0;

    std::int64_t NowNs() {
        std::lock_guard<std::mutex> guard(lock);
        return NowNsLocked();
    }
    std::int64_t NowNsLocked() const {
        auto realNs = std::chrono::duration_cast<std::chrono::nanoseconds>(steady::now() - anchorReal).count();
        return anchorClockNs + static_cast<std::int64_t>(static_cast<double>(realNs) * scale);
    }
};

ScaledTime& Time() {
    static ScaledTime time;
    return time;
}

}  // namespace

std::int64_t Clock::Counter() { return Time().NowNs(); }

std::int64_t Clock::Frequency() { return 1'000'000'000; }

DWORD Clock::Milliseconds() { return static_cast<DWORD>(Time().NowNs() / 1'000'000); }

DWORD Clock::TickCount() { return Milliseconds(); }

void Clock::Sleep(DWORD ms) {
    std::this_thread::sleep_for(std::chrono::microseconds(RealMicroseconds(std::int64_t{ms} * 1000)));
}

void Clock::SetScale(double scale) {
    if (!(scale > 0.0) || !std::isfinite(scale)) return;
    ScaledTime& t = Time();
    std::lock_guard<std::mutex> guard(t.lock);
    t.anchorClockNs = t.NowNsLocked();
    t.anchorReal = steady::now();
    t.scale = scale;
}

double Clock::Scale() {
    ScaledTime& t = Time();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.scale;
}

namespace {
std::int64_t TicksTo(std::int64_t ticks, std::int64_t unitsPerSecond) {
    const std::int64_t f = Clock::Frequency();
    return ticks / f * unitsPerSecond + ticks % f * unitsPerSecond / f;
}
}  // namespace

std::int64_t Clock::TicksToMicroseconds(std::int64_t ticks) { return TicksTo(ticks, 1'000'000); }
std::int64_t Clock::TicksToMilliseconds(std::int64_t ticks) { return TicksTo(ticks, 1'000); }

std::int64_t Clock::RealMicroseconds(std::int64_t clockMicroseconds) {
    return static_cast<std::int64_t>(static_cast<double>(clockMicroseconds) / Scale());
}

}  // namespace platform

#include "platform/audio_silent_driver.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "platform/clock.h"

namespace platform {

SilentDriver::SilentDriver(Mixer& mixer, Clock& clock) : mixer_(mixer), clock_(clock) {
    clock_.ThreadStarts();
    thread_ = std::thread([this] { Run(); });
}

SilentDriver::~SilentDriver() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

Result<void> SilentDriver::Start() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        mixing_ = true;
    }
    wake_.notify_all();
    return {};
}

void SilentDriver::Rest() {
    std::lock_guard<std::mutex> guard(lock_);
    mixing_ = false;
}

void SilentDriver::CatchUp() {
    std::lock_guard<std::mutex> pace(paceLock_);
    MixDue();
}

bool SilentDriver::IsSleeping() const {
    std::lock_guard<std::mutex> guard(lock_);
    return asleep_;
}

void SilentDriver::Run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            if (!mixing_) {
                {
                    std::lock_guard<std::mutex> pace(paceLock_);
                    counting_ = false;
                }
                asleep_ = true;
                clock_.WaitUntil(guard, wake_, Clock::kNever, [this] { return stopping_ || mixing_; });
                asleep_ = false;
                if (stopping_) break;
            }
            {
                // Counting starts afresh when the first buffer plays.
                std::lock_guard<std::mutex> pace(paceLock_);
                if (!counting_) StartCount();
            }
            if (!WaitForNextPeriod(guard)) break;
        }
        std::lock_guard<std::mutex> pace(paceLock_);
        MixDue();
    }
    clock_.ThreadEnds();
}

// [SECTION] Pace: the only code that reads the clock

bool SilentDriver::WaitForNextPeriod(std::unique_lock<std::mutex>& guard) {
    return !clock_.WaitUntil(guard, wake_, clock_.Now() + kStepMicroseconds, [this] { return stopping_; });
}

void SilentDriver::StartCount() {
    counting_ = true;
    countStart_ = clock_.Now();
    framesDone_ = 0;
}

void SilentDriver::MixDue() {
    if (!counting_) return;
    const std::int64_t rate = mixer_.Output().rate;
    constexpr std::int64_t frequency = 1'000'000;
    const std::int64_t elapsed = clock_.Now() - countStart_;
    const auto due =
        static_cast<std::uint64_t>((elapsed / frequency) * rate + (elapsed % frequency) * rate / frequency);
    std::int16_t sink[1024 * 8];
    const int most = static_cast<int>(std::size(sink)) / std::max(mixer_.Output().channels, 1);
    while (framesDone_ < due) {
        const int step = static_cast<int>(std::min<std::uint64_t>(due - framesDone_, static_cast<std::uint64_t>(most)));
        mixer_.Mix(sink, step);
        framesDone_ += static_cast<std::uint64_t>(step);
    }
}

}  // namespace platform

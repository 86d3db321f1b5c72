#include "platform/audio_silent_driver.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "platform/clock.h"

namespace platform {

SilentDriver::SilentDriver(Mixer& mixer) : mixer_(mixer), thread_([this] { Run(); }) {}

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
                wake_.wait(guard, [this] { return stopping_ || mixing_; });
                asleep_ = false;
                if (stopping_) return;
            }
            {
                // Counting starts afresh when the first buffer plays.
                std::lock_guard<std::mutex> pace(paceLock_);
                if (!counting_) StartCount();
            }
            if (!WaitForNextPeriod(guard)) return;
        }
        std::lock_guard<std::mutex> pace(paceLock_);
        MixDue();
    }
}

// [SECTION] Pace: the only code that reads the clock

bool SilentDriver::WaitForNextPeriod(std::unique_lock<std::mutex>& guard) {
    const auto wait = std::max<std::int64_t>(Clock::RealMicroseconds(kStepMicroseconds), 200);
    return !wake_.wait_for(guard, std::chrono::microseconds(wait), [this] { return stopping_; });
}

void SilentDriver::StartCount() {
    counting_ = true;
    countStart_ = Clock::Counter();
    framesDone_ = 0;
}

void SilentDriver::MixDue() {
    if (!counting_) return;
    const std::int64_t rate = mixer_.Output().rate;
    const std::int64_t frequency = Clock::Frequency();
    const std::int64_t elapsed = Clock::Counter() - countStart_;
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

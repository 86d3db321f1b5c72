#include "platform/clock.h"

#include <chrono>

namespace platform {
namespace {

using steady = std::chrono::steady_clock;

class RealClock final : public Clock {
   public:
    std::int64_t Now() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(steady::now() - start_).count();
    }

    bool WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& cv, std::int64_t deadline,
                   const std::function<bool()>& ready) override {
        // Past about thirty-five years a deadline is as good as none, and adding it to the start
        // would overflow.
        if (deadline == kNever || deadline > (std::int64_t{1} << 50)) {
            cv.wait(guard, ready);
            return true;
        }
        return cv.wait_until(guard, start_ + std::chrono::microseconds(deadline), ready);
    }

   private:
    const steady::time_point start_ = steady::now();
};

}  // namespace

Clock& Clock::Real() {
    static RealClock clock;
    return clock;
}

}  // namespace platform

// The window's repeating timers. A timer fires at the first timer pass at or after each
// interval, again and again until it is removed; late firings are not caught up. A one-shot
// timer removes itself in its handler. Ids start at 1 and are never reused.
//
// GUI thread only: other threads ask the GUI thread (by a posted message) to remove a timer.
#pragma once

#include <boost/function.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/event.h"
#include "core/signal.h"
#include "platform/clock.h"

class IMTimerService {
   public:
    using Slot = boost::function<long(const IMEvent&)>;

    // Timers measured on `clock`, which must outlive the service.
    explicit IMTimerService(platform::Clock& clock = platform::Clock::Real()) : clock_(clock) {}
    platform::Clock& Clock() const { return clock_; }

    // A new timer that first fires `intervalMs` after now. Returns its id, never 0.
    unsigned AddTimer(unsigned intervalMs);
    // Disconnects and forgets the timer; 0 and unknown ids are ignored. Safe inside the timer's
    // own handler.
    int RemoveTimer(unsigned id);
    // Connects a handler (it receives an event with id 0 from `sender` of RunDueTimers); an
    // empty connection for 0 or an unknown id.
    IMConnection ConnectTimer(unsigned id, const Slot& slot);
    template <class F>
    IMConnection ConnectTimer(unsigned id, const F& f) {
        // Taking the bind expression itself keeps the automatic disconnection of slots bound to
        // controls that are destroyed.
        auto it = timers_.find(id);
        if (id == 0 || it == timers_.end()) return IMConnection();
        return it->second->signal.connect(f);
    }

    // Fires every due timer in ascending id order. A timer added by a handler during the pass
    // is not due in that pass, whatever its interval.
    void RunDueTimers(IMControl* sender);

    // Clock microseconds until the earliest timer is due (0 when one is due now), none without
    // timers.
    std::optional<std::int64_t> MicrosecondsToNextDue() const;

    std::size_t Count() const { return timers_.size(); }
    bool Empty() const { return timers_.empty(); }
    void Clear();

   private:
    struct Timer {
        unsigned interval = 0;
        std::int64_t start = 0;  // clock microseconds at creation or last firing
        IMEventSignal signal;
    };

    platform::Clock& clock_;
    unsigned counter_ = 0;
    std::map<unsigned, std::unique_ptr<Timer>> timers_;
    std::vector<std::unique_ptr<Timer>> retired_;  // removed during a pass, freed after it
};

#include "core/timer_service.h"

#include "platform/clock.h"

using platform::Clock;

unsigned IMTimerService::AddTimer(unsigned intervalMs) {
    ++counter_;
    auto timer = std::make_unique<Timer>();
    timer->interval = intervalMs;
    timer->start = Clock::Counter();
    timers_.emplace(counter_, std::move(timer));
    return counter_;
}

int IMTimerService::RemoveTimer(unsigned id) {
    if (id == 0) return 0;
    auto it = timers_.find(id);
    if (it == timers_.end()) return 0;
    it->second->signal.disconnect_all_slots();
    // A handler may remove its own timer while it runs: the record must outlive the emission,
    // so it is parked until the current pass ends.
    retired_.push_back(std::move(it->second));
    timers_.erase(it);
    return 0;
}

IMConnection IMTimerService::ConnectTimer(unsigned id, const Slot& slot) {
    auto it = timers_.find(id);
    if (id == 0 || it == timers_.end()) return IMConnection();
    return it->second->signal.connect(slot);
}

void IMTimerService::RunDueTimers(IMControl* sender) {
    const std::int64_t now = Clock::Counter();
    for (auto it = timers_.begin(); it != timers_.end();) {
        auto next = std::next(it);
        const unsigned id = it->first;
        Timer& t = *it->second;
        // A timer started after `now` (added by a handler during this pass) is never due yet;
        // the truncating division alone would round its small negative age up to 0.
        const std::int64_t elapsed = Clock::TicksToMilliseconds(now - t.start);
        if (t.start <= now && elapsed >= 0 && static_cast<std::uint32_t>(elapsed) >= t.interval) {
            t.start = Clock::Counter();
            Emit(t.signal, IMEvent(sender, EV_NOTIFY));
        }
        // The handler may have removed this timer or others; continue from the first id above
        // the one just handled, which also reaches timers added during the pass.
        next = timers_.upper_bound(id);
        it = next;
    }
    retired_.clear();
}

std::optional<std::int64_t> IMTimerService::MicrosecondsToNextDue() const {
    if (timers_.empty()) return std::nullopt;
    const std::int64_t now = Clock::Counter();
    std::int64_t best = INT64_MAX;
    for (const auto& [id, t] : timers_) {
        const std::int64_t elapsed = Clock::TicksToMicroseconds(std::max<std::int64_t>(now - t->start, 0));
        const std::int64_t left = static_cast<std::int64_t>(t->interval) * 1000 - elapsed;
        best = std::min(best, std::max<std::int64_t>(left, 0));
    }
    return best;
}

void IMTimerService::Clear() {
    for (auto& [id, t] : timers_) t->signal.disconnect_all_slots();
    timers_.clear();
    retired_.clear();
}

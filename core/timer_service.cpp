#include "core/timer_service.h"

unsigned IMTimerService::AddTimer(unsigned intervalMs) {
    ++counter_;
    auto timer = std::make_unique<Timer>();
    timer->interval = intervalMs;
    timer->start = clock_.Now();
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
    const std::int64_t now = clock_.Now();
    // Timers added by a handler during this pass have higher ids and wait for the next pass,
    // even when the clock has not moved since (a clock that tests drive stands still).
    const unsigned lastBefore = counter_;
    for (auto it = timers_.begin(); it != timers_.end() && it->first <= lastBefore;) {
        const unsigned id = it->first;
        Timer& t = *it->second;
        if (now - t.start >= std::int64_t{t.interval} * 1000) {
            t.start = clock_.Now();
            Emit(t.signal, IMEvent(sender, EV_NOTIFY));
        }
        // The handler may have removed this timer or others; continue from the first id above
        // the one just handled.
        it = timers_.upper_bound(id);
    }
    retired_.clear();
}

std::optional<std::int64_t> IMTimerService::MicrosecondsToNextDue() const {
    if (timers_.empty()) return std::nullopt;
    const std::int64_t now = clock_.Now();
    std::int64_t best = INT64_MAX;
    for (const auto& [id, t] : timers_) {
        const std::int64_t elapsed = std::max<std::int64_t>(now - t->start, 0);
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

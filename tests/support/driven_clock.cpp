#include "tests/support/driven_clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

std::int64_t DrivenClock::Now() {
    std::lock_guard<std::mutex> guard(lock_);
    return now_;
}

bool DrivenClock::WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& cv, std::int64_t deadline,
                            const std::function<bool()>& ready) {
    while (!ready()) {
        {
            std::lock_guard<std::mutex> clock(lock_);
            if (now_ >= deadline) break;
            RecordLocked() = Waiter{&cv, guard.mutex(), &ready, deadline, true};
        }
        changed_.notify_all();
        // A notification that comes between the line above and this wait is lost; AdvanceTo
        // repeats its own until the thread has woken.
        cv.wait(guard);
        std::lock_guard<std::mutex> clock(lock_);
        RecordLocked() = Waiter{};
    }
    {
        // Running from here until the thread waits again or ends.
        std::lock_guard<std::mutex> clock(lock_);
        RecordLocked() = Waiter{};
    }
    return ready();
}

void DrivenClock::ThreadStarts() {
    std::lock_guard<std::mutex> guard(lock_);
    ++starting_;
}

void DrivenClock::ThreadEnds() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        // A thread that ends without ever waiting was still counted as starting.
        if (threads_.erase(std::this_thread::get_id()) == 0 && starting_ > 0) --starting_;
    }
    changed_.notify_all();
}

// Under lock_: the calling thread's record, made at its first wait.
DrivenClock::Waiter& DrivenClock::RecordLocked() {
    auto [it, made] = threads_.try_emplace(std::this_thread::get_id());
    if (made && starting_ > 0) --starting_;
    return it->second;
}

std::int64_t DrivenClock::NextDeadline() {
    std::unique_lock<std::mutex> guard(lock_);
    SettleLocked(guard);
    std::int64_t next = kNever;
    for (const auto& [id, w] : threads_)
        if (w.waiting) next = std::min(next, w.deadline);
    return next;
}

bool DrivenClock::SettledLocked() const {
    if (starting_ > 0) return false;
    const std::thread::id self = std::this_thread::get_id();
    for (const auto& [id, w] : threads_) {
        if (id == self) continue;
        if (!w.waiting || w.deadline <= now_) return false;
        // The waiter's own mutex guards what it waits for. Taken the other way round from the
        // waiter's order, so only tried: a mutex someone holds means something is under way.
        if (!w.mutex->try_lock()) return false;
        const bool ready = (*w.ready)();
        w.mutex->unlock();
        if (ready) return false;
    }
    return true;
}

void DrivenClock::SettleLocked(std::unique_lock<std::mutex>& guard) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!SettledLocked()) {
        for (const auto& [id, w] : threads_)
            if (w.waiting && w.deadline <= now_) w.cv->notify_all();
        changed_.wait_for(guard, std::chrono::milliseconds(1));
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr,
                         "DrivenClock: at %lld us a thread neither waits again nor ends (%d announced, not "
                         "started); the test hangs\n",
                         static_cast<long long>(now_), starting_);
            std::abort();
        }
    }
}

void DrivenClock::AdvanceTo(std::int64_t time) {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        // Every thread woken so far (by the clock, or by whoever notified it) must be back in
        // a wait before time moves on.
        SettleLocked(guard);
        if (now_ >= time) return;
        std::int64_t next = time;
        for (const auto& [id, w] : threads_)
            if (w.waiting) next = std::min(next, w.deadline);
        now_ = std::max(now_, next);
    }
}

// A clock whose time moves only when the test moves it. Threads that wait on it (the sound
// playback threads, the silent output) sleep until the test brings the clock to their deadline;
// Advance then wakes them one deadline at a time, earliest first, and returns only once every
// thread the clock knows has come back to a wait or ended. After Advance the test sees what
// those threads did, as if the time had really passed on an idle machine. A thread that another
// one notified (a sound stopped, a buffer started) counts as running until it waits again, so
// Advance begins only once it has.
//
// A waiting thread's own mutex must not be held by the test while it calls Advance or
// NextDeadline: the clock takes it to look at what the thread waits for.
//
// A thread the clock woke that neither waits again nor ends within a minute of real time is a
// hang: the clock says which deadline it was and aborts, rather than let the suite run on
// until CI gives up on it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

#include "platform/clock.h"

class DrivenClock final : public platform::Clock {
   public:
    // Starts at `start` microseconds: not 0, so that a reading of 0 is not mistaken for "never".
    explicit DrivenClock(std::int64_t start = 1'000'000) : now_(start) {}

    std::int64_t Now() override;
    bool WaitUntil(std::unique_lock<std::mutex>& guard, std::condition_variable& cv, std::int64_t deadline,
                   const std::function<bool()>& ready) override;
    void ThreadStarts() override;
    void ThreadEnds() override;

    // Moves the clock to `time` (never back), stopping at each waiting thread's deadline on the
    // way; returns when the threads have settled at `time`.
    void AdvanceTo(std::int64_t time);
    void Advance(std::int64_t microseconds) { AdvanceTo(Now() + microseconds); }
    void AdvanceMs(std::int64_t ms) { Advance(ms * 1000); }
    // The earliest deadline a thread waits for, once every thread waits; kNever when none does.
    std::int64_t NextDeadline();

   private:
    // What a thread waits for, valid while `waiting`: the pointers reach into its WaitUntil call.
    struct Waiter {
        std::condition_variable* cv = nullptr;
        std::mutex* mutex = nullptr;
        const std::function<bool()>* ready = nullptr;
        std::int64_t deadline = kNever;
        bool waiting = false;
    };

    // Under lock_: every thread waits, for a deadline still to come, and nobody has made what it
    // waits for true meanwhile.
    bool SettledLocked() const;
    Waiter& RecordLocked();
    // Returns once SettledLocked holds; aborts the test after a minute without.
    void SettleLocked(std::unique_lock<std::mutex>& guard);

    std::mutex lock_;  // everything below; taken after a waiter's own mutex, never before
    std::condition_variable changed_;
    std::int64_t now_;
    std::map<std::thread::id, Waiter> threads_;
    int starting_ = 0;  // threads announced that have not yet waited or ended
};

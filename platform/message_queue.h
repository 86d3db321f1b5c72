// The window's message queue: window messages in the order they were posted, from any thread.
// The GUI thread drains it; sound playback threads and the input translation post to it.
// Registered messages give names (such as "WM_IM_ONLABEL") stable ids from 0xC000 up.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

struct Message {
    UINT message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class MessageQueue {
   public:
    // Thread-safe. Wakes a thread blocked in Wait, and calls the waker (which interrupts the
    // window's wait for input) when one is set.
    void Post(const Message& m);
    void Post(UINT message, WPARAM wParam, LPARAM lParam) { Post(Message{message, wParam, lParam}); }
    // For the thread that drains the queue: queues without waking anybody.
    void PostLocal(UINT message, WPARAM wParam, LPARAM lParam);
    void SetWaker(void (*waker)()) { waker_.store(waker); }

    // Takes the oldest message, if any. Thread-safe.
    bool Take(Message* out);
    bool Empty() const;
    std::size_t Size() const;

    // Blocks until a message is queued or `realMicroseconds` of real time have passed;
    // returns whether a message is waiting. A negative timeout waits without limit.
    bool Wait(std::int64_t realMicroseconds);

   private:
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
    std::atomic<void (*)()> waker_{nullptr};
};

// The queue of the program's main window: what other threads post to reach the GUI thread.
MessageQueue& MainQueue();

// The id of a named message, the same for the same name throughout the process, from 0xC000
// up. An empty name gets 0. Thread-safe.
UINT RegisterMessage(std::wstring_view name);

}  // namespace platform

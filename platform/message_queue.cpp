#include "platform/message_queue.h"

#include <chrono>
#include <map>

namespace platform {

void MessageQueue::Post(const Message& m) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.push_back(m);
    }
    arrived_.notify_one();
    if (auto waker = waker_.load()) waker();
}

void MessageQueue::PostLocal(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(Message{message, wParam, lParam});
}

bool MessageQueue::Take(Message* out) {
    std::lock_guard<std::mutex> guard(lock_);
    if (messages_.empty()) return false;
    *out = messages_.front();
    messages_.pop_front();
    return true;
}

bool MessageQueue::Empty() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_.empty();
}

std::size_t MessageQueue::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_.size();
}

bool MessageQueue::Wait(std::int64_t realMicroseconds) {
    std::unique_lock<std::mutex> guard(lock_);
    auto ready = [this] { return !messages_.empty(); };
    if (realMicroseconds < 0) {
        arrived_.wait(guard, ready);
        return true;
    }
    return arrived_.wait_for(guard, std::chrono::microseconds(realMicroseconds), ready);
}

MessageQueue& MainQueue() {
    static MessageQueue queue;
    return queue;
}

UINT RegisterMessage(std::wstring_view name) {
    if (name.empty()) return 0;
    static std::mutex lock;
    static std::map<std::wstring, UINT, std::less<>> ids;
    std::lock_guard<std::mutex> guard(lock);
    auto it = ids.find(name);
    if (it != ids.end()) return it->second;
    UINT id = 0xC000 + static_cast<UINT>(ids.size());
    ids.emplace(std::wstring(name), id);
    return id;
}

}  // namespace platform

// ControlRef<T>: how whoever only watches a control holds it. The control belongs to its parent
// (or, for the window, to whoever made it); the handle reads as null from the moment the owner
// starts to release it, so a watcher never reaches freed memory, however the control ended.
//
// A closed (disposed) control is not gone yet: it stays valid until its parent's next update,
// and so does the handle. Watchers that must not act on a closing control also check
// IsDisposed(). Copies are cheap; the handle never keeps a control alive.
//
// A control's own children, which it outlives by construction, may be kept as plain pointers;
// a handle is for every lifetime that is not nested that way. GUI thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>

template <class T>
class ControlRef {
   public:
    ControlRef() = default;
    ControlRef(std::nullptr_t) {}  // NOLINT: an empty handle is written nullptr
    ControlRef(T* control)         // NOLINT: watching a control is written by naming it
        : control_(control) {
        if (control) life_ = control->LifeToken();
    }
    template <class U>
    requires std::is_convertible_v<U*, T*> ControlRef(
        const ControlRef<U>& other)  // NOLINT: a handle to a derived control watches a base
        : ControlRef(static_cast<T*>(other.Get())) {}

    // The control, or null once it is gone (or when the handle was empty).
    T* Get() const { return life_.expired() ? nullptr : control_; }
    explicit operator bool() const { return Get() != nullptr; }
    void Reset() { *this = ControlRef(); }

    // True when both name the same living control, or both are empty or gone.
    friend bool operator==(const ControlRef& a, const ControlRef& b) { return a.Get() == b.Get(); }
    friend bool operator==(const ControlRef& a, const T* b) { return a.Get() == b; }

   private:
    T* control_ = nullptr;
    std::weak_ptr<const void> life_;
};

// What a control needs from the container that owns it. The dialog container implements it.
// Children are made only by the container's Add, which owns them from the first moment; a
// control asks to be removed, and asks the parent to look again at which child is under the
// pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "platform/win_types.h"

class IMContainer;
class IMControl;
class IMMouseEvent;

// What a control's constructor receives as its parent. Only IMContainer::Add makes one that
// names a container, so a control cannot be made as somebody's child without that parent
// owning it; nullptr stands for no parent (the top-level window, a control a test keeps).
class IMParent {
   public:
    IMParent(std::nullptr_t) {}  // NOLINT: a control without a parent is written with nullptr
    IMContainer* Get() const { return container_; }

   private:
    friend class IMContainer;
    explicit IMParent(IMContainer* container) : container_(container) {}
    IMContainer* container_ = nullptr;
};

class IMContainer {
   public:
    // Makes a T(IMParent(this), args...) and files it under the layer its constructor names;
    // it takes part from the next update on. The container owns it from the first moment;
    // the reference stays valid until the child is disposed and the container's next update
    // has passed (or the container itself goes). Children made while T's constructor runs
    // (a sibling it places beside itself) still come after it within their layer.
    template <class T, class... Args>
    T& Add(Args&&... args) {
        const std::uint64_t order = joinOrder_++;
        auto child = std::make_unique<T>(IMParent(this), std::forward<Args>(args)...);
        T& added = *child;
        Adopt(std::move(child), order);
        return added;
    }
    // Schedules a child for deletion at the container's next update.
    virtual void RemoveChild(IMControl* child) = 0;
    // Re-evaluates which child is under the pointer; e carries local coordinates.
    virtual long UpdateHover(const IMMouseEvent& e) = 0;
    // The last pointer position the container saw, in its own local coordinates.
    virtual POINT LastMousePosition() const = 0;

   protected:
    ~IMContainer() = default;

   private:
    // Takes a child made by Add. `order` counts the calls of Add, so that children of one
    // layer join in the order their making began.
    virtual void Adopt(std::unique_ptr<IMControl> child, std::uint64_t order) = 0;

    std::uint64_t joinOrder_ = 0;
};

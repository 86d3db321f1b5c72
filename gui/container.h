// What a control needs from the container that owns it. The dialog container implements it;
// a control only files itself with its parent, asks to be removed, and asks the parent to
// look again at which child is under the pointer.
#pragma once

#include "platform/win_types.h"

class IMControl;
class IMMouseEvent;

class IMContainer {
   public:
    // Files a newly constructed child under a layer; it takes part from the next update on.
    virtual void AddChild(IMControl* child, int layer) = 0;
    // Schedules a child for deletion at the container's next update.
    virtual void RemoveChild(IMControl* child) = 0;
    // Re-evaluates which child is under the pointer; e carries local coordinates.
    virtual long UpdateHover(const IMMouseEvent& e) = 0;
    // The last pointer position the container saw, in its own local coordinates.
    virtual POINT LastMousePosition() const = 0;

   protected:
    ~IMContainer() = default;
};

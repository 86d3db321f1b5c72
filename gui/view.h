// Views: the drawable half of a control. A view owns the control's rectangle (in the parent
// container's coordinates), the part of its picture that is shown, and a dirty flag.
// Inside an IMViewControl every view operation that changes something reaches the control,
// so the change also invalidates the control and re-evaluates the pointer.
#pragma once

#include "platform/win_types.h"

class IMView {
   public:
    virtual ~IMView() = default;
    // Nothing happens when r equals the current rectangle.
    virtual int SetRect(const RECT& r);
    virtual RECT GetRect();
    virtual int SetSourceRect(const RECT& r);
    virtual RECT GetSourceRect();
    virtual int SetPosition(int x, int y);
    // Moves the view, keeping its size.
    virtual int SetPosition(const POINT& p);
    virtual POINT GetPosition();
    virtual int SetSize(int w, int h);
    virtual int GetHeight();
    virtual int GetWidth();
    virtual int Draw() = 0;
    // p is in the coordinate system of the rectangle.
    virtual bool HitTest(const POINT& p);
    virtual bool IsDirty();
    virtual int SetDirty(bool d);

   protected:
    RECT rect_{};
    RECT sourceRect_{};
    bool dirty_ = false;
};

// The view of containers: draws nothing.
class IMEmptyView : public IMView {
   public:
    int Draw() override {
        dirty_ = false;
        return 0;
    }
};

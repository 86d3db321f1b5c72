// A plain control with a rectangle and nothing else, and a container that records what its
// children ask of it: enough to drive the control base and the rules without a display.
#pragma once

#include <memory>
#include <vector>

#include "gui/control.h"

class PlainControl : public IMControl {
   public:
    explicit PlainControl(IMParent parent = nullptr, RECT rect = {}, int layer = 0)
        : IMControl(parent, layer), rect_(rect) {}

    bool IsDirty() override { return dirty_; }
    int SetDirty(bool dirty) override {
        dirty_ = dirty;
        return IMControl::SetDirty(dirty);
    }
    bool HitTest(int x, int y) override { return PtInRect(rect_, POINT{x, y}); }
    int SetRect(const RECT& r) override {
        rect_ = r;
        return SetDirty(true);
    }
    RECT GetRect() override { return rect_; }
    int DrawSelf() override {
        ++drawn;
        return 0;
    }

    int drawn = 0;

   private:
    RECT rect_;
    bool dirty_ = false;
};

// It owns what it is given and keeps it to its own end: it never releases a removed child.
class RecordingContainer : public IMContainer {
   public:
    void RemoveChild(IMControl* child) override { removed.push_back(child); }
    long UpdateHover(const IMMouseEvent& e) override {
        hoverChecks.push_back(e);
        return 0;
    }
    POINT LastMousePosition() const override { return lastMouse; }

    struct Added {
        IMControl* child;
        int layer;
    };
    std::vector<Added> added;
    std::vector<std::unique_ptr<IMControl>> owned;
    std::vector<IMControl*> removed;
    std::vector<IMMouseEvent> hoverChecks;
    POINT lastMouse{0, 0};

   private:
    void Adopt(std::unique_ptr<IMControl> child, std::uint64_t) override {
        added.push_back({child.get(), child->JoinLayer()});
        owned.push_back(std::move(child));
    }
};

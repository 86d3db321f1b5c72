// IMAnimationBase<V>: the control that plays an animated view in real time. After Play the
// frame number follows the window's clock: n = whole frame times since Play, shown
// frame = first + n mod (last - first + 1); once n passes the played range the film stops and
// OnStop is emitted. The window runs its loop without sleeping while a film plays.
//
//   stopped --Play--> playing --n > last - first--> stopped (OnStop)
//
// A view that fails while it advances (a malformed film) is reported on standard error and hidden;
// the clock runs on, so the film still stops, and OnStop still comes, when its range is over.
//
// GUI thread only. Slots of OnStop may close the control; it is deleted later.
#pragma once

#include <cstdint>
#include <string>

#include "core/event.h"
#include "core/signal.h"
#include "gui/view_control.h"
#include "gui/window.h"
#include "platform/clock.h"
#include "platform/debug.h"

template <class V>
class IMAnimationBase : public IMViewControl<V> {
   public:
    // Frame time in sixtieths of a millisecond: 2400 is 40 ms, 25 frames a second.
    static constexpr int kDefaultFrameTime = 2400;

    explicit IMAnimationBase(IMParent parent) : IMViewControl<V>(parent, 0) {}
    ~IMAnimationBase() override { HoldEveryPass(false); }

    // Plays on the root window's clock (the real one when there is no window).
    void Play() {
        IMWindow* window = this->RootWindow();
        PlayOn(window ? window->Clock() : platform::Clock::Real());
    }
    // Plays on `clock`, which must outlive the playing.
    void PlayOn(platform::Clock& clock) {
        Emit(OnPlay, IMEvent(this, 0));
        Emit(OnFrame, IMEvent(this, 0));
        playing_ = true;
        clock_ = &clock;
        startTime_ = clock_->Now();
        HoldEveryPass(true);
    }
    void Stop() {
        playing_ = false;
        HoldEveryPass(false);
        Emit(OnStop, IMEvent(this, 0));
    }
    bool IsPlaying() const { return playing_; }

    int Tick() override {
        if (!playing_) return 0;
        // Sixtieths of a millisecond.
        const std::int64_t e = (clock_->Now() - startTime_) * 60 / 1000;
        const std::int64_t n = frameTime > 0 ? e / frameTime : 0;
        const std::int64_t first = this->GetFirstFrame();
        const std::int64_t last = this->GetLastFrame();
        // Past the range the film is over, even when the frame due equals the one shown (a
        // film with no frame at all, or a pass late by whole loops of the range).
        if (n > last - first) {
            Stop();
            return 0;
        }
        const std::int64_t count = last - first + 1;
        const int target = static_cast<int>(first + n % count);
        if (target == this->GetFrame()) return 0;
        Emit(OnFrame, IMEvent(this, 0));
        if (platform::Result<void> shown = this->SetFrame(target); !shown) {
            platform::Debug::Print("film: " + shown.why());
            this->Hide();
        }
        this->SetDirty(true);
        return 0;
    }

    int frameTime = kDefaultFrameTime;
    IMEventSignal OnPlay;
    IMEventSignal OnStop;
    IMEventSignal OnFrame;

   private:
    // The window held is remembered: it outlives its tree, and this control may be going when
    // it lets go.
    void HoldEveryPass(bool hold) {
        if (hold == (held_ != nullptr)) return;
        if (hold) {
            held_ = this->RootWindow();
            if (held_) held_->RequestEveryPass(true);
        } else {
            held_->RequestEveryPass(false);
            held_ = nullptr;
        }
    }

    platform::Clock* clock_ = &platform::Clock::Real();
    std::int64_t startTime_ = 0;
    bool playing_ = false;
    IMWindow* held_ = nullptr;  // the window asked for every pass while playing
};

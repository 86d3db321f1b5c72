// The silent driver: an audio output nobody hears. It consumes the playing buffers at their
// real rate in clock time (the platform::Clock it is given), so play cursors advance and sounds
// end on time, on the real clock as on one that tests drive. It stands
// in when no sound card can be opened, for SDL's "dummy" driver (whose pace ignores the program
// clock), and when the card goes away while the program runs.
//
// Pace: the driver owes the mixer every frame of clock time since the first buffer started
// playing. It pays in steps: it waits for the next period (WaitForNextPeriod), then mixes the
// span of clock time that has passed (MixDue). Those two, with StartCount, are the only code
// that reads the clock (the "Pace" section of the .cpp). While nothing plays it waits without
// waking, and the time asleep is owed to nobody: the count starts afresh with the next buffer
// that plays.
//
// Threads: the driver runs one thread of its own from construction to destruction; it mixes
// only there and in CatchUp. Start, Rest and CatchUp come from AudioDevice (under its activity
// lock, see platform/audio_driver.h), CatchUp from whichever thread plays or stops a buffer;
// IsSleeping may be called from any thread. Lock order: the driver's lock, then its pace lock,
// then the mixer's.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/audio_driver.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"

namespace platform {

class SilentDriver final : public AudioDriver {
   public:
    // Starts the driver's thread, asleep until Start. Both must outlive the driver.
    SilentDriver(Mixer& mixer, Clock& clock);
    // Ends the thread; the mixer must outlive the call.
    ~SilentDriver() override;
    SilentDriver(const SilentDriver&) = delete;
    SilentDriver& operator=(const SilentDriver&) = delete;

    // Never fails.
    Result<void> Start() override;
    // The thread notices at its next step and falls asleep; nobody needs it woken for that.
    void Rest() override;
    void CatchUp() override;
    bool IsSleeping() const override;

   private:
    // Clock time mixed at a step: two sound-card periods (512 frames, 11.6 ms each). Nobody
    // hears this output, finer steps only cost wake-ups, and the playback threads read the
    // cursor only when a half of their buffer is due.
    static constexpr std::int64_t kStepMicroseconds = 20'000;

    void Run();
    // [Pace] Sleeps (holding `guard` on lock_) until the next step is due or the driver ends;
    // false when it ends.
    bool WaitForNextPeriod(std::unique_lock<std::mutex>& guard);
    // [Pace] Under paceLock_: mixes every frame of clock time since the count started that is
    // not mixed yet. Does nothing while the count is off.
    void MixDue();
    // [Pace] Under paceLock_: the count starts at this clock reading with nothing mixed.
    void StartCount();

    Mixer& mixer_;
    Clock& clock_;

    mutable std::mutex lock_;  // mixing_, asleep_, stopping_
    std::condition_variable wake_;
    bool mixing_ = false;  // a buffer plays and this driver is the one to mix it
    bool asleep_ = false;  // the thread waits for Start
    bool stopping_ = false;

    std::mutex paceLock_;  // the count below; held while mixing
    bool counting_ = false;
    std::int64_t countStart_ = 0;  // clock microseconds when the count started
    std::uint64_t framesDone_ = 0;

    std::thread thread_;  // started once everything above is ready
};

}  // namespace platform

// The sound card's driver: SDL's audio device, which asks the mixer for frames from its
// callback. It is opened paused and plays while a buffer plays. A paused SDL device still
// wakes its thread to feed the card silence, so the driver closes it half a second after the
// last sound stopped; the next sound that plays opens it again.
//
// When the card goes away (SDL's removal event, a device that cannot be opened again) the
// driver falls silent for good and says so through `onGone`, once; AudioDevice then hands
// over to the silent driver.
//
// Threads:
// - SDL's audio thread runs the callback, under SDL's device lock; it takes the mixer's lock.
// - The driver's own closing thread waits, without waking, for the device to stay idle long
//   enough, and closes it (and opens it again if a sound started meanwhile).
// - SDL's removal event arrives on whichever thread SDL reports it from (its audio thread or
//   its device watcher), holding none of SDL's device locks.
// - Start, Rest and CatchUp come from AudioDevice under its activity lock; the rest may be
//   called from any thread.
// Lock order: AudioDevice's activity lock, the driver's lock, SDL's device lock, the mixer's
// lock. `onGone` is called with none of the driver's locks held.
#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio_device.h"
#include "platform/audio_driver.h"
#include "platform/audio_mixer.h"

namespace platform {

class SoundCardDriver final : public AudioDriver {
   public:
    // Opens SDL's audio output on whichever driver SDL picks, paused. With AudioOutput::Default
    // SDL's "dummy" driver does not count as a card (ErrorKind::Missing: nothing worth saying);
    // with AudioOutput::Driver it does. Fails, saying why, when SDL has no output to open.
    static Result<std::unique_ptr<SoundCardDriver>> Open(Mixer& mixer, AudioOutput output,
                                                         std::function<void()> onGone);
    // Closes the device (returning after SDL's last callback) and ends the closing thread.
    ~SoundCardDriver() override;
    SoundCardDriver(const SoundCardDriver&) = delete;
    SoundCardDriver& operator=(const SoundCardDriver&) = delete;

    // Unpauses the device, opening it again if it was let go. Fails once the card is gone.
    Result<void> Start() override;
    // Pauses the device; the closing thread lets it go if nothing plays for a while.
    void Rest() override;
    // SDL asks for frames as it needs them: nothing is owed.
    void CatchUp() override {}
    bool IsSleeping() const override;

    // True while SDL's device is open (or still closing).
    bool HoldsSoundCard() const;
    // True once the card went away.
    bool IsGone() const { return gone_.load(); }
    // Test hook: the card goes away, as when a USB headset is unplugged. As with a device that
    // is gone, nothing more is mixed through SDL, and SDL's removal event for this device is
    // posted; the driver handles it as it handles a real one.
    void SimulateRemoval();

   private:
    SoundCardDriver(Mixer& mixer, std::function<void()> onGone);
    Result<void> OpenDevice();  // under lock_
    void RunClosing();
    // Marks the card gone, says `why` and tells the device, once.
    void Lose(const std::string& why);
    static void Callback(void* user, Uint8* stream, int len);
    static int WatchEvents(void* user, SDL_Event* event);

    Mixer& mixer_;
    std::function<void()> onGone_;
    SDL_AudioSpec spec_{};
    bool watching_ = false;  // the event watch is installed

    mutable std::mutex lock_;  // everything below but the atomics
    std::condition_variable idle_;
    bool playing_ = false;
    bool closing_ = false;  // the closing thread is closing the device
    bool stopping_ = false;
    std::chrono::steady_clock::time_point idleSince_;
    std::atomic<SDL_AudioDeviceID> device_{0};  // 0 while closed; read by the event watch
    // The card went away: the callback plays silence and the device is never opened again.
    std::atomic<bool> gone_{false};
    // Set by a simulated removal: as SDL does for a device that is gone, nothing more is mixed
    // through the callback.
    std::atomic<bool> dead_{false};
    std::thread closer_;
};

}  // namespace platform

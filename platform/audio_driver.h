// What an audio output driver does for AudioDevice. Two drivers stand side by side:
// - SoundCardDriver (platform/audio_card_driver.h): SDL's audio device, mixing in SDL's
//   callback;
// - SilentDriver (platform/audio_silent_driver.h): an output nobody hears, paced by the
//   program clock, for machines without a sound card, for tests, and for when the card goes
//   away while the program runs.
// Both mix through the one Mixer (platform/audio_mixer.h) the device gives them; neither knows
// of the other. AudioDevice keeps one of them active, counts the playing buffers, and tells
// the active driver when the first one starts and the last one stops.
//
// Thread safety: AudioDevice calls Start, Rest and CatchUp under its own activity lock, so a
// driver sees them one at a time and in order; IsSleeping and HoldsSoundCard may be called
// from any thread. What else a driver runs on, and when, is written in its own header.
#pragma once

#include "platform/result.h"

namespace platform {

class AudioDriver {
   public:
    virtual ~AudioDriver() = default;

    // A first buffer started playing: mix from now on. Fails when the driver can no longer
    // mix (the sound card went away or cannot be opened again); the device then hands over
    // to the silent driver.
    virtual Result<void> Start() = 0;
    // The last playing buffer stopped: the driver may fall asleep.
    virtual void Rest() = 0;
    // Mixes what is owed up to now, before a buffer starts or stops playing, so the time
    // before goes to the buffers that played then. Drivers that mix on demand owe nothing.
    virtual void CatchUp() = 0;
    // True when the driver no longer wakes to mix.
    virtual bool IsSleeping() const = 0;
};

}  // namespace platform

// Audio output: one output device and any number of looping sound buffers, all mixed into it.
//
// A SoundBuffer is a ring of 16-bit PCM bytes in its own format. While it plays, the output
// consumes it from the play cursor onwards, wrapping at the end, until it is stopped; the owner
// refills the parts behind the cursor (Lock, write, Unlock). Every buffer's format is converted
// to the output's rate and channels as it is mixed.
//
// Two drivers stand behind the device, side by side (platform/audio_driver.h):
// - the sound card, through an SDL audio callback (platform/audio_card_driver.h);
// - the silent driver (platform/audio_silent_driver.h), used when no sound card can be opened
//   and for SDL's "dummy" driver. It consumes the buffers at their real rate, paced by the
//   program's platform::Clock, so play cursors advance and sounds end on time, and on a clock
//   that tests drive, at the clock time they would end.
// When the sound card goes away while the program runs (a USB headset unplugged), the silent
// driver takes over, so sounds still end on time. Both mix through one mixer
// (platform/audio_mixer.h), which can record what it mixed (StartCapture / TakeCapture).
//
// While no buffer plays, the output sleeps: the SDL device is paused and the silent driver's
// thread waits without waking. The first buffer that plays wakes it.
//
// Thread safety: every operation may be called from any thread. The output mixes on a thread
// of its own; a buffer's locked region may be written without further locking, as long as the
// writer keeps away from the part the output is about to play (which is what refilling the half
// behind the play cursor does).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/result.h"
#include "platform/win_types.h"

namespace platform {

// 16-bit signed little-endian PCM, interleaved.
struct PcmFormat {
    // What the output can mix. SDL converts up to 8 channels (7.1); 384 kHz is the highest
    // rate recorders use, and below 1 kHz nothing of speech or music is left. Keeping formats
    // inside these bounds also keeps every size derived from them far inside 32 bits.
    static constexpr int kMaxChannels = 8;
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 384000;

    int channels = 2;
    int rate = 44100;

    bool IsPlayable() const {
        return channels >= 1 && channels <= kMaxChannels && rate >= kMinRate && rate <= kMaxRate;
    }
    int BlockAlign() const { return channels * 2; }
    std::int64_t BytesPerSecond() const { return std::int64_t{BlockAlign()} * rate; }
};

// Which output AudioDevice::Open should use.
enum class AudioOutput {
    Default,  // the sound card when one can be opened, else the silent output
    Silent,   // always the silent output
    Driver,   // SDL's output on whichever driver it picks, its "dummy" one included, else the
              // silent output: the sound card's path for tests and benchmarks without a card
};

struct AudioDeviceState;
struct BufferState;

class SoundBuffer {
   public:
    ~SoundBuffer();  // stops the buffer and detaches it from the output
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    const PcmFormat& Format() const;
    DWORD Size() const;

    // Gives write access to `bytes` bytes at `offset` (one region; it must lie inside the
    // buffer). One region may be locked at a time. Fails with ErrorKind::Lost when the buffer's
    // memory is gone (Restore it, then lock again), else with Failed for a region outside the
    // buffer or while another one is locked.
    Result<std::span<std::uint8_t>> Lock(DWORD offset, DWORD bytes);
    // Ends the write. Fails with Lost when the memory went while it was locked (what was
    // written is gone), with Failed when nothing is locked or `region` is not inside the buffer.
    Result<void> Unlock(std::span<std::uint8_t> region);

    // Plays from the cursor in a loop until Stop; the cursor stays where Stop left it.
    void Play();
    void Stop();
    bool IsPlaying() const;

    // The byte offset the output will consume next.
    DWORD PlayCursor() const;
    // Moves the play cursor (rounded down to a whole frame). Fails for a position past the end.
    Result<void> SetPosition(DWORD position);

    // Makes a lost buffer usable again; its contents are silence afterwards.
    void Restore();
    // Test hook: the buffer loses its memory, as a device reset would do.
    void SimulateLoss();

   private:
    friend class AudioDevice;
    SoundBuffer(std::shared_ptr<BufferState> state, std::shared_ptr<AudioDeviceState> device);

    std::shared_ptr<BufferState> state_;
    std::shared_ptr<AudioDeviceState> device_;
};

class AudioDevice {
   public:
    // Never fails: without a usable sound card the silent driver stands in (said once on
    // standard error when a card was looked for and not had). The silent driver keeps pace
    // with `clock`, which must outlive the device.
    static std::unique_ptr<AudioDevice> Open(AudioOutput output = AudioOutput::Default, Clock& clock = Clock::Real());
    ~AudioDevice();  // buffers still alive go silent; they must not outlive the device's users
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // True when the silent driver mixes: no sound card was opened, or it went away.
    bool IsSilent() const;
    // What the output mixes to (16-bit interleaved).
    const PcmFormat& OutputFormat() const;

    // A buffer never holds more than this (a minute of the largest format; sound streams use
    // one second).
    static constexpr DWORD kMaxBufferBytes = 64u << 20;

    // A stopped buffer of `bytes` bytes of silence with its cursor at 0. Fails when the format
    // is not playable, the size is 0, above kMaxBufferBytes or not a whole number of frames, or
    // (ErrorKind::OutOfMemory) the memory cannot be had. A format SDL cannot convert still
    // plays, silently, at its own rate.
    Result<std::unique_ptr<SoundBuffer>> CreateBuffer(const PcmFormat& format, DWORD bytes);
    std::size_t BufferCount() const;
    // How many of them are playing now.
    std::size_t PlayingBufferCount() const;

    // [SECTION] What tests and benchmarks look at

    // True when nothing plays and the output no longer wakes (the SDL device paused, the
    // silent driver waiting for a buffer to play). The silent driver falls asleep at its next
    // step after the last buffer stopped.
    bool IsSleeping() const;
    // True while SDL's device is open. A paused device still wakes to feed the card silence,
    // so it is closed half a second after the last sound stopped; the next sound that
    // plays opens it again.
    bool HoldsSoundCard() const;
    // The sound card goes away, as when a USB headset is unplugged; the card's driver handles
    // it as it handles a real removal. Does nothing without a card.
    void SimulateRemoval();
    // Records every mixed frame from now on (interleaved samples in OutputFormat()).
    void StartCapture();
    // Ends the recording and returns it.
    std::vector<std::int16_t> TakeCapture();
    // Frames mixed since the device opened; the output mixes only while something plays (the
    // silent driver's pace can be checked with it).
    std::uint64_t FramesMixed() const;

   private:
    explicit AudioDevice(std::shared_ptr<AudioDeviceState> state);
    std::shared_ptr<AudioDeviceState> state_;
};

// Writes interleaved 16-bit samples as a WAV file.
Result<void> WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, const PcmFormat& format);

}  // namespace platform

// The part of the audio output that both drivers share: the sound buffers and the mixing of
// every playing one into the output's format. A driver asks for frames (Mix) on a thread of its
// own; the sound card's driver plays them, the silent driver lets them go. Nothing here knows
// which driver asks, or whether any does.
//
// Thread safety: every function may be called from any thread. The mixer's lock guards the
// list of buffers, the capture and the scratch space; each buffer's own lock guards its ring,
// cursor and flags. Lock order: the mixer's lock, then a buffer's.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_device.h"
#include "platform/result.h"
#include "platform/win_types.h"

struct _SDL_AudioStream;  // SDL's format converter; SDL's header stays in the .cpp files

namespace platform {

// One SoundBuffer's ring. `format` and the size of `data` never change; everything else is
// under `lock`.
struct BufferState {
    BufferState() = default;
    ~BufferState();
    BufferState(const BufferState&) = delete;
    BufferState& operator=(const BufferState&) = delete;

    DWORD FrameBytes() const { return static_cast<DWORD>(format.BlockAlign()); }
    void Advance(std::uint64_t bytes) { cursor = static_cast<DWORD>((cursor + bytes) % data.size()); }
    // What the converter still holds belongs to the playback that filled it, not to the next.
    void DropConverted();

    std::mutex lock;
    PcmFormat format;
    std::vector<std::uint8_t> data;
    DWORD cursor = 0;
    bool playing = false;
    bool lost = false;
    bool locked = false;
    // Converts this buffer's format to the output's; null when SDL cannot convert it, and then
    // the buffer is consumed at its own rate without being heard.
    _SDL_AudioStream* convert = nullptr;
    double unheardFraction = 0.0;  // frames owed to the unconverted consumption
};

class Mixer {
   public:
    explicit Mixer(const PcmFormat& output) : output_(output) {}
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    const PcmFormat& Output() const { return output_; }

    // A stopped buffer of `bytes` bytes of silence with its cursor at 0, already in the mix.
    // Fails when the format is not playable, the size is 0, above AudioDevice::kMaxBufferBytes
    // or not a whole number of frames (ErrorKind::Failed), or the memory cannot be had
    // (ErrorKind::OutOfMemory). A format SDL cannot convert still plays, silently, at its own
    // rate (said once on standard error).
    Result<std::shared_ptr<BufferState>> Add(const PcmFormat& format, DWORD bytes);
    void Remove(const BufferState* buffer);
    std::size_t BufferCount() const;

    // Mixes the next `frames` frames of every playing buffer into `out` (interleaved in
    // Output()), clipped, and moves their cursors on by what they gave.
    void Mix(std::int16_t* out, int frames);

    // Records every mixed frame from now on; TakeCapture ends the recording and returns it.
    void StartCapture();
    std::vector<std::int16_t> TakeCapture();
    // Frames mixed since the mixer was made.
    std::uint64_t FramesMixed() const { return framesMixed_.load(std::memory_order_relaxed); }

   private:
    void FeedConverter(BufferState& b, int outputBytesWanted);

    const PcmFormat output_;
    mutable std::mutex lock_;
    std::vector<std::shared_ptr<BufferState>> buffers_;
    bool capturing_ = false;
    std::vector<std::int16_t> capture_;
    std::vector<std::int32_t> accumulator_;
    std::vector<std::uint8_t> scratch_;
    std::vector<std::int16_t> converted_;
    std::atomic<std::uint64_t> framesMixed_{0};
};

}  // namespace platform

#include "platform/audio_mixer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "platform/debug.h"

namespace platform {

// [SECTION] Buffers

BufferState::~BufferState() {
    if (convert) SDL_FreeAudioStream(convert);
}

void BufferState::DropConverted() {
    if (convert) SDL_AudioStreamClear(convert);
}

Result<std::shared_ptr<BufferState>> Mixer::Add(const PcmFormat& format, DWORD bytes) {
    if (!format.IsPlayable())
        return Error::Failed(std::to_string(format.channels) + " channels at " + std::to_string(format.rate) +
                             " Hz cannot be played");
    if (bytes == 0 || bytes > AudioDevice::kMaxBufferBytes || bytes % static_cast<DWORD>(format.BlockAlign()) != 0)
        return Error::Failed("unusable size of " + std::to_string(bytes) + " bytes");
    auto b = std::make_shared<BufferState>();
    b->format = format;
    // The size comes from a sound file's header: up to kMaxBufferBytes, which a small machine
    // may not have to spare.
    try {
        b->data.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        return Error::Of(ErrorKind::OutOfMemory, "no memory for " + std::to_string(bytes) + " bytes");
    }
    b->convert = SDL_NewAudioStream(AUDIO_S16LSB, static_cast<Uint8>(format.channels), format.rate, AUDIO_S16SYS,
                                    static_cast<Uint8>(output_.channels), output_.rate);
    if (!b->convert)
        Debug::Print(std::string("sound buffer: cannot convert its format (") + SDL_GetError() +
                     "); it plays silently");
    std::lock_guard<std::mutex> guard(lock_);
    buffers_.push_back(b);
    return b;
}

void Mixer::Remove(const BufferState* buffer) {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase_if(buffers_, [buffer](const std::shared_ptr<BufferState>& b) { return b.get() == buffer; });
}

std::size_t Mixer::BufferCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return buffers_.size();
}

// [SECTION] Mixing

// Copies source frames from the ring at the cursor into the buffer's converter until it can
// give `outputBytesWanted` bytes. The cursor moves past what the converter took, so it runs
// ahead of what is heard only by the converter's few frames of latency.
void Mixer::FeedConverter(BufferState& b, int outputBytesWanted) {
    const int outFrameBytes = output_.BlockAlign();
    const DWORD frameBytes = b.FrameBytes();
    for (int round = 0; round < 64; ++round) {
        const int available = SDL_AudioStreamAvailable(b.convert);
        if (available >= outputBytesWanted) return;
        const std::int64_t missingFrames = (outputBytesWanted - available + outFrameBytes - 1) / outFrameBytes;
        std::int64_t sourceFrames = missingFrames * b.format.rate / output_.rate + 16;
        sourceFrames = std::min<std::int64_t>(sourceFrames, b.data.size() / frameBytes);
        DWORD bytes = static_cast<DWORD>(sourceFrames) * frameBytes;
        scratch_.resize(bytes);
        if (b.lost) {
            std::fill(scratch_.begin(), scratch_.end(), 0);
            b.Advance(bytes);
        } else {
            DWORD done = 0;
            while (done < bytes) {
                const DWORD part = std::min<DWORD>(bytes - done, static_cast<DWORD>(b.data.size()) - b.cursor);
                std::memcpy(scratch_.data() + done, b.data.data() + b.cursor, part);
                done += part;
                b.Advance(part);
            }
        }
        if (SDL_AudioStreamPut(b.convert, scratch_.data(), static_cast<int>(bytes)) != 0) return;
    }
}

void Mixer::Mix(std::int16_t* out, int frames) {
    std::lock_guard<std::mutex> mixing(lock_);
    const int samples = frames * output_.channels;
    accumulator_.assign(samples, 0);
    converted_.resize(samples);
    for (auto& buffer : buffers_) {
        BufferState& b = *buffer;
        std::lock_guard<std::mutex> guard(b.lock);
        if (!b.playing) continue;
        if (b.convert) {
            const int wanted = samples * 2;
            FeedConverter(b, wanted);
            const int got = SDL_AudioStreamGet(b.convert, converted_.data(), wanted);
            for (int i = 0; i < std::max(got, 0) / 2; ++i) accumulator_[i] += converted_[i];
        } else {
            b.unheardFraction += static_cast<double>(frames) * b.format.rate / output_.rate;
            const auto whole = static_cast<std::uint64_t>(b.unheardFraction);
            b.unheardFraction -= static_cast<double>(whole);
            b.Advance(whole * b.FrameBytes());
        }
    }
    for (int i = 0; i < samples; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(accumulator_[i], -32768, 32767));
    if (capturing_) capture_.insert(capture_.end(), out, out + samples);
    framesMixed_.fetch_add(static_cast<std::uint64_t>(frames), std::memory_order_relaxed);
}

// [SECTION] Capture

void Mixer::StartCapture() {
    std::lock_guard<std::mutex> guard(lock_);
    capture_.clear();
    capturing_ = true;
}

std::vector<std::int16_t> Mixer::TakeCapture() {
    std::lock_guard<std::mutex> guard(lock_);
    capturing_ = false;
    return std::move(capture_);
}

}  // namespace platform

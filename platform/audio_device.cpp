#include "platform/audio_device.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/audio_card_driver.h"
#include "platform/audio_mixer.h"
#include "platform/audio_silent_driver.h"
#include "platform/debug.h"

namespace platform {

// [SECTION] The output: which driver mixes, and whether anything plays

// Shared by the device and its buffers, so a buffer that outlives the device finds it closed
// rather than gone.
struct AudioDeviceState {
    Mixer mixer{PcmFormat{2, 44100}};
    std::unique_ptr<SilentDriver> silent;
    std::unique_ptr<SoundCardDriver> card;  // null when no card was opened

    // Lock order: activity, then whatever the drivers take (platform/audio_driver.h).
    mutable std::mutex activity;
    std::size_t playing = 0;        // buffers playing
    AudioDriver* active = nullptr;  // the card while it lasts, else the silent driver; null once closed

    // Under the activity lock: a buffer started or stopped playing.
    void BufferStarted();
    void BufferStopped();
    // The card went away: the silent driver takes over, from now on.
    void CardGone();
    void HandOverToSilent();  // under the activity lock
};

void AudioDeviceState::BufferStarted() {
    if (playing++ != 0 || !active) return;
    if (Result<void> started = active->Start(); !started) {
        Debug::Print(started.why() + "; sounds play silently");
        HandOverToSilent();
    }
}

void AudioDeviceState::BufferStopped() {
    if (--playing == 0 && active) active->Rest();
}

void AudioDeviceState::CardGone() {
    std::lock_guard<std::mutex> guard(activity);
    if (active == card.get() && card) HandOverToSilent();
}

void AudioDeviceState::HandOverToSilent() {
    if (active == silent.get()) return;
    active->Rest();
    active = silent.get();
    if (playing > 0) static_cast<void>(silent->Start());  // the silent driver never fails
}

// [SECTION] SoundBuffer

SoundBuffer::SoundBuffer(std::shared_ptr<BufferState> state, std::shared_ptr<AudioDeviceState> device)
    : state_(std::move(state)), device_(std::move(device)) {}

SoundBuffer::~SoundBuffer() {
    Stop();
    device_->mixer.Remove(state_.get());
}

const PcmFormat& SoundBuffer::Format() const { return state_->format; }

DWORD SoundBuffer::Size() const { return static_cast<DWORD>(state_->data.size()); }

Result<std::span<std::uint8_t>> SoundBuffer::Lock(DWORD offset, DWORD bytes) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (state_->lost) return Error::Of(ErrorKind::Lost, "the sound buffer's memory is gone");
    const auto size = state_->data.size();
    if (state_->locked) return Error::Failed("the sound buffer is locked already");
    if (bytes == 0 || offset >= size || bytes > size - offset)
        return Error::Failed("no region of " + std::to_string(bytes) + " bytes at " + std::to_string(offset) +
                             " in a sound buffer of " + std::to_string(size));
    state_->locked = true;
    return std::span<std::uint8_t>(state_->data.data() + offset, bytes);
}

Result<void> SoundBuffer::Unlock(std::span<std::uint8_t> region) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (!state_->locked) return Error::Failed("the sound buffer is not locked");
    state_->locked = false;
    if (state_->lost) return Error::Of(ErrorKind::Lost, "the sound buffer's memory went while it was locked");
    const auto* start = state_->data.data();
    if (region.data() < start || region.data() + region.size() > start + state_->data.size())
        return Error::Failed("the region is not inside the sound buffer");
    return {};
}

void SoundBuffer::Play() {
    std::lock_guard<std::mutex> activity(device_->activity);
    // The silent driver mixes in steps; the time since its last step belongs to the buffers
    // that played then, not to this one, which would otherwise start (and end) up to a step
    // early.
    if (device_->active) device_->active->CatchUp();
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (state_->playing) return;
        state_->playing = true;
    }
    device_->BufferStarted();
}

void SoundBuffer::Stop() {
    std::lock_guard<std::mutex> activity(device_->activity);
    // Likewise the time since the silent driver's last step still belongs to this buffer.
    if (device_->active && IsPlaying()) device_->active->CatchUp();
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->DropConverted();
        if (!state_->playing) return;
        state_->playing = false;
    }
    device_->BufferStopped();
}

bool SoundBuffer::IsPlaying() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->playing;
}

DWORD SoundBuffer::PlayCursor() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->cursor;
}

Result<void> SoundBuffer::SetPosition(DWORD position) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (position >= state_->data.size())
        return Error::Failed("position " + std::to_string(position) + " is past the end of the sound buffer");
    state_->cursor = position - position % state_->FrameBytes();
    state_->DropConverted();
    return {};
}

void SoundBuffer::Restore() {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (state_->lost) {
        std::fill(state_->data.begin(), state_->data.end(), 0);
        state_->lost = false;
    }
}

void SoundBuffer::SimulateLoss() {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->lost = true;
}

// [SECTION] AudioDevice

AudioDevice::AudioDevice(std::shared_ptr<AudioDeviceState> state) : state_(std::move(state)) {}

std::unique_ptr<AudioDevice> AudioDevice::Open(AudioOutput output, Clock& clock) {
    auto state = std::make_shared<AudioDeviceState>();
    // Asleep until it has something to mix; with a sound card, until the card goes away.
    state->silent = std::make_unique<SilentDriver>(state->mixer, clock);
    std::unique_ptr<SoundCardDriver> card;
    if (output != AudioOutput::Silent) {
        AudioDeviceState* raw = state.get();
        auto opened = SoundCardDriver::Open(state->mixer, output, [raw] { raw->CardGone(); });
        if (opened)
            card = std::move(opened).value();
        else if (!opened.Is(ErrorKind::Missing))
            Debug::Print(opened.why() + "; sounds play silently");
    }
    {
        // The card may report its removal already.
        std::lock_guard<std::mutex> guard(state->activity);
        state->card = std::move(card);
        state->active = state->card ? static_cast<AudioDriver*>(state->card.get()) : state->silent.get();
        if (state->card && state->card->IsGone()) state->HandOverToSilent();
    }
    return std::unique_ptr<AudioDevice>(new AudioDevice(std::move(state)));
}

AudioDevice::~AudioDevice() {
    std::unique_ptr<SoundCardDriver> card;
    std::unique_ptr<SilentDriver> silent;
    {
        // Buffers that outlive the device no longer reach for a driver, and a removal the card
        // reports while it closes finds nothing to hand over.
        std::lock_guard<std::mutex> guard(state_->activity);
        state_->active = nullptr;
        card = std::move(state_->card);
        silent = std::move(state_->silent);
    }
    card.reset();  // its closing thread may still report the card gone
    silent.reset();
}

bool AudioDevice::IsSilent() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    return !state_->card || state_->active != state_->card.get();
}

bool AudioDevice::IsSleeping() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    return state_->playing == 0 && state_->silent->IsSleeping() && (!state_->card || state_->card->IsSleeping());
}

bool AudioDevice::HoldsSoundCard() const { return state_->card && state_->card->HoldsSoundCard(); }

void AudioDevice::SimulateRemoval() {
    if (state_->card) state_->card->SimulateRemoval();
}

const PcmFormat& AudioDevice::OutputFormat() const { return state_->mixer.Output(); }

Result<std::unique_ptr<SoundBuffer>> AudioDevice::CreateBuffer(const PcmFormat& format, DWORD bytes) {
    VORLEN_TRY_ASSIGN(buffer, state_->mixer.Add(format, bytes));
    return std::unique_ptr<SoundBuffer>(new SoundBuffer(std::move(buffer), state_));
}

std::size_t AudioDevice::BufferCount() const { return state_->mixer.BufferCount(); }

std::size_t AudioDevice::PlayingBufferCount() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    return state_->playing;
}

void AudioDevice::StartCapture() { state_->mixer.StartCapture(); }

std::vector<std::int16_t> AudioDevice::TakeCapture() { return state_->mixer.TakeCapture(); }

std::uint64_t AudioDevice::FramesMixed() const { return state_->mixer.FramesMixed(); }

// [SECTION] WAV writing

Result<void> WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, const PcmFormat& format) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return Error::Failed("cannot write " + path);
    auto put32 = [&](std::uint32_t v) {
        const std::uint8_t b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, f);
    };
    auto put16 = [&](std::uint16_t v) {
        const std::uint8_t b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, f);
    };
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(format.channels));
    put32(static_cast<std::uint32_t>(format.rate));
    put32(static_cast<std::uint32_t>(format.BytesPerSecond()));
    put16(static_cast<std::uint16_t>(format.BlockAlign()));
    put16(16);
    std::fwrite("data", 1, 4, f);
    put32(dataBytes);
    for (std::int16_t s : samples) put16(static_cast<std::uint16_t>(s));
    const bool ok = std::ferror(f) == 0;
    if (std::fclose(f) != 0 || !ok) return Error::Failed("cannot write " + path);
    return {};
}

}  // namespace platform

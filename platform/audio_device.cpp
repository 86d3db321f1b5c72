#include "platform/audio_device.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/debug.h"

namespace platform {

namespace {
// How long SDL's device stays open, paused, after the last sound: the exercise's chains of
// sounds follow each other within milliseconds and keep it.
constexpr std::chrono::milliseconds kIdleClose{500};
// How much clock time the silent output mixes at a time.
constexpr std::int64_t kSilentStepUs = 20'000;
}  // namespace

// [SECTION] Shared state of buffers and the output

struct SoundBufferState {
    std::mutex lock;
    PcmFormat format;
    std::vector<std::uint8_t> data;
    DWORD cursor = 0;
    bool playing = false;
    bool lost = false;
    bool locked = false;
    // Converts this buffer's format to the output's; null when SDL cannot convert it, and then
    // the buffer is consumed at its own rate without being heard.
    SDL_AudioStream* convert = nullptr;
    double silentFraction = 0.0;  // frames owed to the unconverted consumption

    ~SoundBufferState() {
        if (convert) SDL_FreeAudioStream(convert);
    }
    DWORD FrameBytes() const { return static_cast<DWORD>(format.BlockAlign()); }
    void Advance(std::uint64_t bytes) { cursor = static_cast<DWORD>((cursor + bytes) % data.size()); }
};

struct AudioDeviceState {
    std::mutex lock;  // buffers, capture, mixing scratch
    std::vector<std::shared_ptr<SoundBufferState>> buffers;
    PcmFormat output{2, 44100};
    bool capturing = false;
    std::vector<std::int16_t> capture;
    std::vector<std::int32_t> accumulator;
    std::vector<std::uint8_t> scratch;
    std::vector<std::int16_t> converted;
    std::atomic<std::uint64_t> framesMixed{0};
    // The silent output's pace, under `lock` while it counts: the clock reading it counts from
    // and the frames it has mixed since.
    bool silentCounting = false;
    std::int64_t silentStart = 0;
    std::uint64_t silentDone = 0;

    // Whether anything plays and which output mixes it. Lock order: activity, SDL's device lock
    // (taken by SDL_PauseAudioDevice), lock, a buffer's lock; the SDL callback runs under SDL's
    // device lock and takes the last two.
    std::mutex activity;
    std::condition_variable wake;  // the silent output waits on it
    std::size_t playing = 0;       // buffers playing
    bool silentAsleep = false;     // the silent output waits for a buffer to play
    bool stopping = false;
    std::thread silentThread;

    // SDL's output is in use (open, or closed while idle); the device while it is open.
    // Between sounds the device is only paused; after kIdleClose with nothing playing it is
    // closed, because a paused SDL device still wakes its thread to feed the card silence.
    // The next buffer that plays opens it again.
    bool sdlUsed = false;
    std::atomic<SDL_AudioDeviceID> sdlDevice{0};
    SDL_AudioSpec sdlSpec{};
    std::chrono::steady_clock::time_point idleSince;
    bool sdlClosing = false;  // the silent output's thread closes the idle device
    bool sdlAudioInitialised = false;
    // The sound card went away (or the device is closing): the silent output mixes instead.
    // Read by the SDL callback without the activity lock.
    std::atomic<bool> sdlGone{false};
    // Set by a simulated removal: as SDL does for a device that is gone, nothing more is mixed
    // through the callback.
    std::atomic<bool> sdlDeviceDead{false};

    bool SdlMixes() const { return sdlUsed && !sdlGone.load(); }
    bool SilentMixes() const { return !SdlMixes(); }
    // Under the activity lock: SDL's device is open with nothing to play.
    bool SdlIdleOpen() const { return SdlMixes() && sdlDevice != 0 && playing == 0; }
    bool OpenSdlDevice();
    // Under the activity lock: a buffer started or stopped playing.
    void BufferStarted();
    void BufferStopped();
    void SdlOutputGone();

    void Mix(std::int16_t* out, int frames);
    void FeedConverter(SoundBufferState& b, int outputBytesWanted);
    void RunSilentOutput();
    // Under `lock`: the silent output mixes what clock time has passed, if it counts.
    void CatchUpSilentOutput();
};

// [SECTION] Mixing

// Copies source frames from the ring at the cursor into the buffer's converter until it can
// give `outputBytesWanted` bytes. The cursor moves past what the converter took, so it runs
// ahead of what is heard only by the converter's few frames of latency.
void AudioDeviceState::FeedConverter(SoundBufferState& b, int outputBytesWanted) {
    const int outFrameBytes = output.BlockAlign();
    const DWORD frameBytes = b.FrameBytes();
    for (int round = 0; round < 64; ++round) {
        const int available = SDL_AudioStreamAvailable(b.convert);
        if (available >= outputBytesWanted) return;
        const std::int64_t missingFrames = (outputBytesWanted - available + outFrameBytes - 1) / outFrameBytes;
        std::int64_t sourceFrames = missingFrames * b.format.rate / output.rate + 16;
        sourceFrames = std::min<std::int64_t>(sourceFrames, b.data.size() / frameBytes);
        DWORD bytes = static_cast<DWORD>(sourceFrames) * frameBytes;
        scratch.resize(bytes);
        if (b.lost) {
            std::fill(scratch.begin(), scratch.end(), 0);
            b.Advance(bytes);
        } else {
            DWORD done = 0;
            while (done < bytes) {
                const DWORD part = std::min<DWORD>(bytes - done, static_cast<DWORD>(b.data.size()) - b.cursor);
                std::memcpy(scratch.data() + done, b.data.data() + b.cursor, part);
                done += part;
                b.Advance(part);
            }
        }
        if (SDL_AudioStreamPut(b.convert, scratch.data(), static_cast<int>(bytes)) != 0) return;
    }
}

void AudioDeviceState::Mix(std::int16_t* out, int frames) {
    const int samples = frames * output.channels;
    accumulator.assign(samples, 0);
    converted.resize(samples);
    for (auto& buffer : buffers) {
        SoundBufferState& b = *buffer;
        std::lock_guard<std::mutex> guard(b.lock);
        if (!b.playing) continue;
        if (b.convert) {
            const int wanted = samples * 2;
            FeedConverter(b, wanted);
            const int got = SDL_AudioStreamGet(b.convert, converted.data(), wanted);
            for (int i = 0; i < std::max(got, 0) / 2; ++i) accumulator[i] += converted[i];
        } else {
            b.silentFraction += static_cast<double>(frames) * b.format.rate / output.rate;
            const auto whole = static_cast<std::uint64_t>(b.silentFraction);
            b.silentFraction -= static_cast<double>(whole);
            b.Advance(whole * b.FrameBytes());
        }
    }
    for (int i = 0; i < samples; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(accumulator[i], -32768, 32767));
    if (capturing) capture.insert(capture.end(), out, out + samples);
    framesMixed.fetch_add(static_cast<std::uint64_t>(frames), std::memory_order_relaxed);
}

// [SECTION] Sleeping while nothing plays, waking when something does

// Opened paused: it starts with the first buffer that plays.
bool AudioDeviceState::OpenSdlDevice() {
    SDL_AudioSpec have{};
    sdlDevice = SDL_OpenAudioDevice(nullptr, 0, &sdlSpec, &have, 0);
    if (sdlDevice == 0) {
        Debug::Print(std::string("cannot open the sound output (") + SDL_GetError() + "); sounds play silently");
        return false;
    }
    return true;
}

void AudioDeviceState::BufferStarted() {
    if (playing++ != 0) return;
    if (SdlMixes() && sdlDevice == 0) {
        // A device still closing cannot be opened again yet; the thread closing it does that.
        if (sdlClosing) return;
        if (!OpenSdlDevice()) sdlGone = true;  // the silent output takes over
    }
    if (SdlMixes())
        SDL_PauseAudioDevice(sdlDevice, 0);
    else
        wake.notify_all();
}

void AudioDeviceState::BufferStopped() {
    // The silent output notices by itself at its next step.
    if (--playing != 0 || !SdlMixes()) return;
    SDL_PauseAudioDevice(sdlDevice, 1);
    idleSince = std::chrono::steady_clock::now();
    wake.notify_all();  // the silent output's thread closes the device if it stays idle
}

// SDL keeps a removed device's thread going without calling us back, so playing buffers would
// stand still and their sounds never end. The silent output takes over, from now on.
void AudioDeviceState::SdlOutputGone() {
    {
        std::lock_guard<std::mutex> guard(activity);
        if (!sdlUsed || sdlGone) return;
        sdlGone = true;
        if (sdlDevice != 0) SDL_PauseAudioDevice(sdlDevice, 1);
    }
    wake.notify_all();
    Debug::Print("the sound output went away; sounds go on silently");
}

namespace {

void SdlCallback(void* user, Uint8* stream, int len) {
    auto* state = static_cast<AudioDeviceState*>(user);
    if (state->sdlGone || state->sdlDeviceDead) {
        std::memset(stream, 0, static_cast<std::size_t>(len));  // the silent output mixes now
        return;
    }
    std::lock_guard<std::mutex> guard(state->lock);
    state->Mix(reinterpret_cast<std::int16_t*>(stream), len / state->output.BlockAlign());
}

// Runs on whichever thread SDL reports the removal from (its audio thread or its device
// watcher), holding none of SDL's device locks.
int WatchSdlEvents(void* user, SDL_Event* event) {
    auto* state = static_cast<AudioDeviceState*>(user);
    if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture && event->adevice.which == state->sdlDevice)
        state->SdlOutputGone();
    return 1;
}

}  // namespace

// The silent output mixes whatever clock time has passed, in small steps, so buffers are
// consumed exactly at their rate in clock time, whatever the clock's scale. While nothing plays
// it waits, without waking, until a buffer starts; the time asleep is owed to nobody, so the
// pace starts afresh from then.
void AudioDeviceState::RunSilentOutput() {
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(activity);
            if (playing == 0 || !SilentMixes()) {
                {
                    std::lock_guard<std::mutex> counting(lock);
                    silentCounting = false;
                }
                silentAsleep = true;
                const auto mixing = [this] { return stopping || (playing > 0 && SilentMixes()); };
                while (!mixing()) {
                    if (!SdlIdleOpen()) {
                        wake.wait(guard);
                        continue;
                    }
                    const auto due = idleSince + kIdleClose;
                    if (std::chrono::steady_clock::now() < due) {
                        wake.wait_until(guard, due);
                        continue;
                    }
                    // Closing waits for SDL's thread, whose callback takes `lock`; not under
                    // the activity lock, so that a removal reported meanwhile is not held up.
                    const SDL_AudioDeviceID idle = sdlDevice.exchange(0);
                    sdlClosing = true;
                    guard.unlock();
                    SDL_CloseAudioDevice(idle);
                    guard.lock();
                    sdlClosing = false;
                    if (playing > 0 && SdlMixes()) {  // a sound started meanwhile
                        if (OpenSdlDevice())
                            SDL_PauseAudioDevice(sdlDevice, 0);
                        else
                            sdlGone = true;
                    }
                }
                silentAsleep = false;
            }
            {
                // Counting starts afresh when the first buffer plays.
                std::lock_guard<std::mutex> counting(lock);
                if (!silentCounting) {
                    silentCounting = true;
                    silentStart = Clock::Counter();
                    silentDone = 0;
                }
            }
            // Steps of two sound-card periods (512 frames, 11.6 ms each): nobody hears this
            // output, finer steps only cost wake-ups, and the playback threads read the cursor
            // only when a half of their buffer is due.
            const auto wait = std::max<std::int64_t>(Clock::RealMicroseconds(kSilentStepUs), 200);
            if (wake.wait_for(guard, std::chrono::microseconds(wait), [this] { return stopping; })) return;
        }
        std::lock_guard<std::mutex> guard(lock);
        CatchUpSilentOutput();
    }
}

void AudioDeviceState::CatchUpSilentOutput() {
    if (!silentCounting) return;
    const std::int64_t frequency = Clock::Frequency();
    const std::int64_t elapsed = Clock::Counter() - silentStart;
    const auto due = static_cast<std::uint64_t>((elapsed / frequency) * output.rate +
                                                (elapsed % frequency) * output.rate / frequency);
    std::int16_t sink[1024 * 8];
    const int most = static_cast<int>(std::size(sink)) / std::max(output.channels, 1);
    while (silentDone < due) {
        const int step = static_cast<int>(std::min<std::uint64_t>(due - silentDone, static_cast<std::uint64_t>(most)));
        Mix(sink, step);
        silentDone += static_cast<std::uint64_t>(step);
    }
}

// [SECTION] SoundBuffer

SoundBuffer::SoundBuffer(std::shared_ptr<SoundBufferState> state, std::shared_ptr<AudioDeviceState> device)
    : state_(std::move(state)), device_(std::move(device)) {}

SoundBuffer::~SoundBuffer() {
    Stop();
    std::lock_guard<std::mutex> guard(device_->lock);
    auto& list = device_->buffers;
    list.erase(std::remove(list.begin(), list.end(), state_), list.end());
}

const PcmFormat& SoundBuffer::Format() const { return state_->format; }

DWORD SoundBuffer::Size() const { return static_cast<DWORD>(state_->data.size()); }

AudioResult SoundBuffer::Lock(DWORD offset, DWORD bytes, void** region) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (region) *region = nullptr;
    if (state_->lost) return AudioResult::BufferLost;
    const auto size = state_->data.size();
    if (!region || state_->locked || bytes == 0 || offset >= size || bytes > size - offset) return AudioResult::Failed;
    state_->locked = true;
    *region = state_->data.data() + offset;
    return AudioResult::Ok;
}

AudioResult SoundBuffer::Unlock(void* region, DWORD bytes) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (!state_->locked) return AudioResult::Failed;
    state_->locked = false;
    if (state_->lost) return AudioResult::BufferLost;
    const auto* start = state_->data.data();
    const auto* p = static_cast<const std::uint8_t*>(region);
    if (p < start || p + bytes > start + state_->data.size()) return AudioResult::Failed;
    return AudioResult::Ok;
}

AudioResult SoundBuffer::Play() {
    std::lock_guard<std::mutex> activity(device_->activity);
    {
        // The silent output mixes in steps; the time since its last step belongs to the
        // buffers that played then, not to this one, which would otherwise start (and end)
        // up to a step early.
        std::lock_guard<std::mutex> mixing(device_->lock);
        device_->CatchUpSilentOutput();
        std::lock_guard<std::mutex> guard(state_->lock);
        if (state_->playing) return AudioResult::Ok;
        state_->playing = true;
    }
    device_->BufferStarted();
    return AudioResult::Ok;
}

AudioResult SoundBuffer::Stop() {
    std::lock_guard<std::mutex> activity(device_->activity);
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        // What the converter still holds belongs to the stopped playback, not to the next one.
        if (state_->convert) SDL_AudioStreamClear(state_->convert);
        if (!state_->playing) return AudioResult::Ok;
        state_->playing = false;
    }
    device_->BufferStopped();
    return AudioResult::Ok;
}

bool SoundBuffer::IsPlaying() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->playing;
}

AudioResult SoundBuffer::GetPlayCursor(DWORD* cursor) const {
    if (!cursor) return AudioResult::Failed;
    std::lock_guard<std::mutex> guard(state_->lock);
    *cursor = state_->cursor;
    return AudioResult::Ok;
}

AudioResult SoundBuffer::SetPosition(DWORD position) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (position >= state_->data.size()) return AudioResult::Failed;
    state_->cursor = position - position % state_->FrameBytes();
    if (state_->convert) SDL_AudioStreamClear(state_->convert);
    return AudioResult::Ok;
}

AudioResult SoundBuffer::Restore() {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (state_->lost) {
        std::fill(state_->data.begin(), state_->data.end(), 0);
        state_->lost = false;
    }
    return AudioResult::Ok;
}

void SoundBuffer::SimulateLoss() {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->lost = true;
}

// [SECTION] AudioDevice

AudioDevice::AudioDevice(std::shared_ptr<AudioDeviceState> state) : state_(std::move(state)) {}

std::unique_ptr<AudioDevice> AudioDevice::Open(AudioOutput output) {
    auto state = std::make_shared<AudioDeviceState>();
    if (output != AudioOutput::Silent) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            Debug::Print(std::string("no sound output (") + SDL_GetError() + "); sounds play silently");
        } else {
            state->sdlAudioInitialised = true;
            const char* driver = SDL_GetCurrentAudioDriver();
            // SDL's dummy driver paces its callback by the wall clock in whole milliseconds and
            // knows nothing of the program clock; the silent output does the same job exactly.
            if (driver && (output == AudioOutput::Driver || std::strcmp(driver, "dummy") != 0)) {
                SDL_AudioSpec want{};
                want.freq = state->output.rate;
                want.format = AUDIO_S16SYS;
                want.channels = static_cast<Uint8>(state->output.channels);
                want.samples = 512;
                want.callback = SdlCallback;
                want.userdata = state.get();
                state->sdlSpec = want;
                state->sdlUsed = state->OpenSdlDevice();
                state->idleSince = std::chrono::steady_clock::now();
            }
            if (state->sdlDevice == 0) {
                SDL_QuitSubSystem(SDL_INIT_AUDIO);
                state->sdlAudioInitialised = false;
            }
        }
    }
    if (state->sdlUsed) SDL_AddEventWatch(WatchSdlEvents, state.get());
    // Asleep until it has something to mix; with a sound card, until the card goes away.
    AudioDeviceState* raw = state.get();
    state->silentThread = std::thread([raw] { raw->RunSilentOutput(); });
    return std::unique_ptr<AudioDevice>(new AudioDevice(std::move(state)));
}

AudioDevice::~AudioDevice() {
    // The silent output's thread goes first: it may be closing SDL's device.
    {
        std::lock_guard<std::mutex> guard(state_->activity);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    state_->silentThread.join();
    if (state_->sdlUsed) {
        SDL_DelEventWatch(WatchSdlEvents, state_.get());
        SDL_AudioDeviceID open = 0;
        {
            // Buffers that outlive the device no longer reach for it.
            std::lock_guard<std::mutex> guard(state_->activity);
            state_->sdlGone = true;
            open = state_->sdlDevice.exchange(0);
        }
        if (open != 0) SDL_CloseAudioDevice(open);  // returns after the last callback
    }
    if (state_->sdlAudioInitialised) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool AudioDevice::IsSilent() const { return !state_->SdlMixes(); }

bool AudioDevice::IsSleeping() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    const bool sdlAsleep = !state_->SdlMixes() || state_->sdlDevice == 0 ||
                           SDL_GetAudioDeviceStatus(state_->sdlDevice) == SDL_AUDIO_PAUSED;
    return state_->playing == 0 && sdlAsleep && state_->silentAsleep;
}

bool AudioDevice::HoldsSoundCard() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    return state_->sdlDevice != 0 || state_->sdlClosing;
}

void AudioDevice::SimulateRemoval() {
    if (!state_->sdlUsed) return;
    state_->sdlDeviceDead = true;
    if (state_->sdlDevice == 0) {  // closed while idle: nobody would see the event
        state_->SdlOutputGone();
        return;
    }
    SDL_Event event{};
    event.adevice.type = SDL_AUDIODEVICEREMOVED;
    event.adevice.which = state_->sdlDevice;
    event.adevice.iscapture = 0;
    if (SDL_PushEvent(&event) < 0) Debug::Print(std::string("cannot post the removal (") + SDL_GetError() + ")");
}

const PcmFormat& AudioDevice::OutputFormat() const { return state_->output; }

std::unique_ptr<SoundBuffer> AudioDevice::CreateBuffer(const PcmFormat& format, DWORD bytes) {
    if (!format.IsPlayable()) {
        Debug::Print("sound buffer: " + std::to_string(format.channels) + " channels at " +
                     std::to_string(format.rate) + " Hz cannot be played");
        return nullptr;
    }
    if (bytes == 0 || bytes > kMaxBufferBytes || bytes % static_cast<DWORD>(format.BlockAlign()) != 0) {
        Debug::Print("sound buffer: unusable size of " + std::to_string(bytes) + " bytes");
        return nullptr;
    }
    try {
        auto b = std::make_shared<SoundBufferState>();
        b->format = format;
        b->data.assign(bytes, 0);
        b->convert = SDL_NewAudioStream(AUDIO_S16LSB, static_cast<Uint8>(format.channels), format.rate, AUDIO_S16SYS,
                                        static_cast<Uint8>(state_->output.channels), state_->output.rate);
        if (!b->convert)
            Debug::Print(std::string("sound buffer: cannot convert its format (") + SDL_GetError() +
                         "); it plays silently");
        // The handle exists before the output knows the buffer, so a failure in between leaves
        // nothing behind (the handle's destructor takes it off the list).
        std::unique_ptr<SoundBuffer> handle(new SoundBuffer(b, state_));
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->buffers.push_back(std::move(b));
        return handle;
    } catch (const std::bad_alloc&) {
        Debug::Print("sound buffer: no memory for " + std::to_string(bytes) + " bytes");
        return nullptr;
    }
}

std::size_t AudioDevice::BufferCount() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->buffers.size();
}

std::size_t AudioDevice::PlayingBufferCount() const {
    std::lock_guard<std::mutex> guard(state_->activity);
    return state_->playing;
}

void AudioDevice::StartCapture() {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->capture.clear();
    state_->capturing = true;
}

std::vector<std::int16_t> AudioDevice::TakeCapture() {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->capturing = false;
    return std::move(state_->capture);
}

std::uint64_t AudioDevice::FramesMixed() const { return state_->framesMixed.load(std::memory_order_relaxed); }

// [SECTION] WAV writing

bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, const PcmFormat& format) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        Debug::Print("cannot write " + path);
        return false;
    }
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
    if (std::fclose(f) != 0 || !ok) {
        Debug::Print("cannot write " + path);
        return false;
    }
    return true;
}

}  // namespace platform

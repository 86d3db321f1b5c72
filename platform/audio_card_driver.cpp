#include "platform/audio_card_driver.h"

#include <cstring>
#include <string>

#include "platform/debug.h"

namespace platform {

namespace {
// How long SDL's device stays open, paused, after the last sound: the exercise's chains of
// sounds follow each other within milliseconds and keep it.
constexpr std::chrono::milliseconds kIdleClose{500};
}  // namespace

// [SECTION] Opening and closing

SoundCardDriver::SoundCardDriver(Mixer& mixer, std::function<void()> onGone)
    : mixer_(mixer), onGone_(std::move(onGone)) {}

Result<std::unique_ptr<SoundCardDriver>> SoundCardDriver::Open(Mixer& mixer, AudioOutput output,
                                                               std::function<void()> onGone) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return Error::Failed(std::string("no sound output (") + SDL_GetError() + ")");
    const char* driver = SDL_GetCurrentAudioDriver();
    // SDL's dummy driver paces its callback by the wall clock in whole milliseconds and knows
    // nothing of the program clock; the silent driver does the same job exactly.
    if (!driver || (output != AudioOutput::Driver && std::strcmp(driver, "dummy") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return Error::Of(ErrorKind::Missing, "no sound card");
    }
    std::unique_ptr<SoundCardDriver> card(new SoundCardDriver(mixer, std::move(onGone)));
    SDL_AudioSpec& want = card->spec_;
    want.freq = mixer.Output().rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(mixer.Output().channels);
    want.samples = 512;
    want.callback = Callback;
    want.userdata = card.get();
    {
        std::lock_guard<std::mutex> guard(card->lock_);
        if (Result<void> opened = card->OpenDevice(); !opened) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return std::move(opened).error();
        }
        card->idleSince_ = std::chrono::steady_clock::now();
    }
    SDL_AddEventWatch(WatchEvents, card.get());
    card->watching_ = true;
    // Idle until a buffer plays, so the closing thread lets the device go in half a second
    // unless one does.
    card->closer_ = std::thread([raw = card.get()] { raw->RunClosing(); });
    return card;
}

SoundCardDriver::~SoundCardDriver() {
    // The closing thread goes first: it may be closing the device.
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    idle_.notify_all();
    if (closer_.joinable()) closer_.join();
    if (watching_) SDL_DelEventWatch(WatchEvents, this);
    gone_ = true;
    if (const SDL_AudioDeviceID open = device_.exchange(0); open != 0)
        SDL_CloseAudioDevice(open);  // returns after the last callback
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// Opened paused: it starts with the first buffer that plays.
Result<void> SoundCardDriver::OpenDevice() {
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &spec_, &have, 0);
    if (device_ == 0) return Error::Failed(std::string("cannot open the sound output (") + SDL_GetError() + ")");
    return {};
}

// A paused SDL device still wakes its thread to feed the card silence: once nothing has
// played for kIdleClose it is closed.
void SoundCardDriver::RunClosing() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!stopping_) {
        if (playing_ || gone_ || device_ == 0) {
            idle_.wait(guard);
            continue;
        }
        const auto due = idleSince_ + kIdleClose;
        if (std::chrono::steady_clock::now() < due) {
            idle_.wait_until(guard, due);
            continue;
        }
        // Closing waits for SDL's thread, whose callback takes the mixer's lock; not under our
        // lock, so that a Start or a removal meanwhile is not held up.
        const SDL_AudioDeviceID idle = device_.exchange(0);
        closing_ = true;
        guard.unlock();
        SDL_CloseAudioDevice(idle);
        guard.lock();
        closing_ = false;
        if (!playing_ || gone_) continue;
        // A sound started meanwhile: Start left the opening to us.
        if (Result<void> opened = OpenDevice(); opened) {
            SDL_PauseAudioDevice(device_, 0);
        } else {
            guard.unlock();
            Lose(opened.why() + "; sounds play silently");
            guard.lock();
        }
    }
}

// [SECTION] Playing and resting

Result<void> SoundCardDriver::Start() {
    std::lock_guard<std::mutex> guard(lock_);
    if (gone_) return Error::Failed("the sound output went away");
    playing_ = true;
    if (device_ == 0) {
        // A device still closing cannot be opened again yet; the closing thread does that.
        if (closing_) return {};
        if (Result<void> opened = OpenDevice(); !opened) {
            gone_ = true;
            return opened;
        }
    }
    SDL_PauseAudioDevice(device_, 0);
    return {};
}

void SoundCardDriver::Rest() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        playing_ = false;
        if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
        idleSince_ = std::chrono::steady_clock::now();
    }
    idle_.notify_all();
}

bool SoundCardDriver::IsSleeping() const {
    std::lock_guard<std::mutex> guard(lock_);
    return gone_ || device_ == 0 || SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_PAUSED;
}

bool SoundCardDriver::HoldsSoundCard() const {
    std::lock_guard<std::mutex> guard(lock_);
    return device_ != 0 || closing_;
}

// [SECTION] SDL's side

void SoundCardDriver::Callback(void* user, Uint8* stream, int len) {
    auto* card = static_cast<SoundCardDriver*>(user);
    if (card->gone_ || card->dead_) {
        std::memset(stream, 0, static_cast<std::size_t>(len));  // the silent driver mixes now
        return;
    }
    card->mixer_.Mix(reinterpret_cast<std::int16_t*>(stream), len / card->mixer_.Output().BlockAlign());
}

int SoundCardDriver::WatchEvents(void* user, SDL_Event* event) {
    auto* card = static_cast<SoundCardDriver*>(user);
    if (event->type == SDL_AUDIODEVICEREMOVED && !event->adevice.iscapture && event->adevice.which == card->device_)
        card->Lose("the sound output went away; sounds go on silently");
    return 1;
}

// SDL keeps a removed device's thread going without calling us back, so playing buffers would
// stand still and their sounds never end: the silent driver takes over, from now on.
void SoundCardDriver::Lose(const std::string& why) {
    if (gone_.exchange(true)) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
    }
    Debug::Print(why);
    onGone_();
}

void SoundCardDriver::SimulateRemoval() {
    dead_ = true;
    const SDL_AudioDeviceID open = device_;
    if (open == 0) {  // closed while idle: nobody would see the event
        Lose("the sound output went away; sounds go on silently");
        return;
    }
    SDL_Event event{};
    event.adevice.type = SDL_AUDIODEVICEREMOVED;
    event.adevice.which = open;
    event.adevice.iscapture = 0;
    if (SDL_PushEvent(&event) < 0) Debug::Print(std::string("cannot post the removal (") + SDL_GetError() + ")");
}

}  // namespace platform

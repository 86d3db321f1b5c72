#include "sound/sound_stream.h"

#include <algorithm>
#include <boost/signals2/shared_connection_block.hpp>
#include <cstring>

#include "core/timer_service.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/message_queue.h"
#include "sound/sound_source.h"
#include "sound/sound_system.h"

// [SECTION] Wake event

void CSoundStream::WakeEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        set_ = true;
    }
    cv_.notify_one();
}

bool CSoundStream::WakeEvent::Wait(platform::Clock& clock, std::int64_t deadline) {
    std::unique_lock<std::mutex> guard(lock_);
    const bool woken = clock.WaitUntil(guard, cv_, deadline, [this] { return set_; });
    set_ = false;
    return woken;
}

// [SECTION] Construction and destruction

CSoundStream::CSoundStream(CSoundSystem* owner, CSoundSource* source, DWORD id)
    : owner_(owner), source_(source), id_(id) {
    const platform::PcmFormat format{source->Channels(), source->Rate()};
    // kPeriodMs / 1000 × bytes per second / 4: exactly one second of sound.
    const DWORD bytes = static_cast<DWORD>((kPeriodMs / 1000) * static_cast<std::int64_t>(format.BytesPerSecond()) / 4);
    // Halves hold whole frames, so a full half of data is never mistaken for the end of the
    // sound (an odd byte count would leave every read one partial frame short).
    const DWORD frameBytes = static_cast<DWORD>(format.BlockAlign());
    halfBytes_ = bytes / 2 - (bytes / 2) % frameBytes;
    bytesPerSecond_ = static_cast<DWORD>(format.BytesPerSecond());
    bufferBytes_ = halfBytes_ * 2;
    std::string why = "no output";
    if (platform::AudioDevice* device = owner->Output(); device && halfBytes_ > 0) {
        auto buffer = device->CreateBuffer(format, bufferBytes_);
        if (buffer)
            buffer_ = std::move(buffer).value();
        else
            why = buffer.why();
    }
    if (!buffer_) platform::Debug::Print("sound " + std::to_string(id) + ": no buffer (" + why + "); it will not play");
}

CSoundStream::~CSoundStream() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ == StreamState::Playing) endRequested_ = true;
    }
    wake_.Set();
    if (thread_.joinable()) thread_.join();
    RemoveLabelTimers();
}

StreamState CSoundStream::State() const {
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

// [SECTION] Play and Stop (GUI thread)

bool CSoundStream::Play() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ != StreamState::Stopped) return false;
    }
    // The previous playback's thread has left its loop; let it finish posting, so its "pause"
    // always comes before this playback's "play".
    if (thread_.joinable()) thread_.join();
    nextHalf_ = 1;
    platform::Debug::Trace(std::wstring_view(L" звук играет"));
    if (!Prefill()) return false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        state_ = StreamState::Playing;
        ++playback_;
    }
    ScheduleLabelTimers();
    owner_->Clock().ThreadStarts();
    thread_ = std::thread(&CSoundStream::RunPlayback, this);
    platform::MainQueue().Post(owner_->Messages().play, id_, 0);
    return true;
}

bool CSoundStream::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ != StreamState::Playing) return false;
        platform::Debug::Trace(std::wstring_view(L" звук стой"));
        buffer_->Stop();
        endRequested_ = true;
    }
    RemoveLabelTimers();
    wake_.Set();
    thread_.join();  // the thread sets the stopped state and posts before it ends
    return true;
}

// [SECTION] Buffer filling

platform::Result<std::span<std::uint8_t>> CSoundStream::LockHalf(DWORD offset) {
    auto region = buffer_->Lock(offset, halfBytes_);
    if (region.Is(platform::ErrorKind::Lost)) {
        buffer_->Restore();
        region = buffer_->Lock(offset, halfBytes_);
    }
    return region;
}

// Runs while no playback thread exists, so it needs no lock.
bool CSoundStream::Prefill() {
    if (!buffer_) return false;
    static_cast<void>(buffer_->SetPosition(0));  // 0 is inside every buffer
    auto region = LockHalf(firstHalfOffset_);
    if (!region) return false;
    // Every playback starts from the first sample. Our sources are memory and files, which
    // always seek; one that could not would play on from where it was, and end.
    static_cast<void>(source_->Rewind());
    const DWORD n = source_->ReadPcm(region->data(), halfBytes_);
    endCount_ = 0;
    if (n < halfBytes_) std::memset(region->data() + n, 0, halfBytes_ - n);
    static_cast<void>(buffer_->Unlock(*region));  // a loss meanwhile is found by the next fill
    return true;
}

// Playback thread, under the lock.
void CSoundStream::FillHalf(DWORD offset) {
    auto region = LockHalf(offset);
    if (!region) return;  // skipped for this pass
    const DWORD n = source_->ReadPcm(region->data(), halfBytes_);
    if (n != halfBytes_) {
        std::memset(region->data() + n, 0, halfBytes_ - n);
        ++endCount_;
    }
    if (!buffer_->Unlock(*region)) endCount_ = 1;
}

// [SECTION] Playback thread

void CSoundStream::RunPlayback() {
    const CSoundSystem::MessageIds& messages = owner_->Messages();
    platform::Clock& clock = owner_->Clock();
    std::unique_lock<std::mutex> guard(lock_);
    // Stop may already have run (it only needs the lock, not this thread): then the buffer
    // must not start at all, or it would loop on with nobody left to stop it.
    if (!endRequested_) buffer_->Play();
    guard.unlock();
    std::int64_t waitUs = std::int64_t{kShortestWaitMs} * 1000;
    for (;;) {
        // A narration wakes this thread a few times a second instead of fifty: on a machine
        // where every wake-up is dear that was most of what a playing sound cost.
        const bool woken = wake_.Wait(clock, clock.Now() + waitUs);
        guard.lock();
        const DWORD p = buffer_->PlayCursor();
        const bool secondDue = p < halfBytes_ && nextHalf_ == 1;
        const bool firstDue = p > halfBytes_ && nextHalf_ == 0;
        if (secondDue || firstDue) {
            if (endCount_ == kEndAfterEmptyFills) {
                // The half that held the last sample has been played. The timer table
                // belongs to the GUI thread, so its label timers are removed there.
                platform::MainQueue().Post(messages.removeLabelTimers, id_, static_cast<LPARAM>(playback_));
                buffer_->Stop();
                endRequested_ = true;
                endCount_ = 0;
                wake_.Set();
            }
            FillHalf(secondDue ? halfBytes_ : firstHalfOffset_);
            nextHalf_ = secondDue ? 0 : 1;
        }
        waitUs = UntilNextHalfDue(p);
        if (woken && endRequested_) break;  // leave still holding the lock
        guard.unlock();
    }
    // Stop and the end of the data have stopped the buffer already; destruction has not.
    buffer_->Stop();
    endRequested_ = false;
    endCount_ = 0;
    state_ = StreamState::Stopped;
    const DWORD ending = ++endings_;
    guard.unlock();
    platform::Debug::Trace(std::wstring_view(L" звук остановился"));
    platform::MainQueue().Post(messages.pause, id_, static_cast<LPARAM>(ending));
    clock.ThreadEnds();
}

// Clock microseconds until the play cursor, now at `cursor`, enters the half the thread fills
// next, plus a little so that it has surely moved on; within kShortestWaitMs .. kPollMs.
std::int64_t CSoundStream::UntilNextHalfDue(DWORD cursor) const {
    std::int64_t distance = 0;
    if (nextHalf_ == 1 && cursor >= halfBytes_) distance = static_cast<std::int64_t>(bufferBytes_) - cursor;
    if (nextHalf_ == 0 && cursor <= halfBytes_) distance = static_cast<std::int64_t>(halfBytes_) - cursor + 1;
    const std::int64_t us =
        bytesPerSecond_ > 0 ? distance * 1'000'000 / bytesPerSecond_ + 2000 : std::int64_t{kPollMs} * 1000;
    return std::clamp<std::int64_t>(us, std::int64_t{kShortestWaitMs} * 1000, std::int64_t{kPollMs} * 1000);
}

// [SECTION] Ended slots (GUI thread)

DWORD CSoundStream::Endings() const {
    std::lock_guard<std::mutex> guard(lock_);
    return endings_;
}

void CSoundStream::NoteEndedSlot(const IMConnection& c) {
    std::erase_if(endedSlots_, [](const EndedSlot& s) { return !s.connection.connected(); });
    endedSlots_.push_back({c, Endings()});
}

void CSoundStream::EmitEnded(DWORD ending) {
    // Slots connected once this playback had ended are held back for this one emission. (Slots
    // that a slot connects during it are not called by it either.)
    std::vector<boost::signals2::shared_connection_block> later;
    for (const EndedSlot& s : endedSlots_)
        if (s.endingsBefore >= ending && s.connection.connected()) later.emplace_back(s.connection);
    // With every slot held back there is nobody to tell (and nothing for the combiner to return).
    if (ended_.num_slots() > later.size()) Emit(ended_, id_);
}

void CSoundStream::EmitStarted() { Emit(started_, id_); }

void CSoundStream::EmitStopped() { Emit(stopped_, id_); }

// [SECTION] Labels (GUI thread)

void CSoundStream::ScheduleLabelTimers() {
    // Timers of an earlier playback whose removal request is still queued go now.
    RemoveLabelTimers();
    if (labelTimes_.empty()) return;
    IMTimerService* timers = owner_->TimerService();
    if (!timers) {
        platform::Debug::Print("sound " + std::to_string(id_) + ": no window timers; its labels will not fire");
        return;
    }
    labelTimerService_ = timers;
    for (DWORD t : labelTimes_) {
        const unsigned timer = timers->AddTimer(t);
        timers->ConnectTimer(timer, [this, timer, t](const IMEvent&) { return OnLabelTimer(timer, t); });
        labelTimers_.push_back(timer);
    }
}

CSoundStream::LabelSignal& CSoundStream::PrepareLabel(DWORD labelTime) {
    if (State() == StreamState::Stopped &&
        std::find(labelTimes_.begin(), labelTimes_.end(), labelTime) == labelTimes_.end())
        labelTimes_.insert(labelTimes_.begin(), labelTime);
    auto& signal = labelSignals_[labelTime];
    if (!signal) signal = std::make_unique<LabelSignal>();
    return *signal;
}

void CSoundStream::FireLabel(DWORD labelTime) {
    auto it = labelSignals_.find(labelTime);
    if (it != labelSignals_.end() && it->second) Emit(*it->second, id_, labelTime);
}

void CSoundStream::RemoveLabelTimers() {
    if (labelTimerService_)
        for (unsigned timer : labelTimers_) labelTimerService_->RemoveTimer(timer);
    labelTimers_.clear();
}

void CSoundStream::OnLabelRemovalRequest(DWORD playback) {
    // The thread asks as soon as it has decided to end the playback, so the request may be
    // handled while it is still leaving its loop: the playback number alone tells whether the
    // timers are the ones it meant.
    bool current = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        current = playback == playback_;
    }
    if (current) RemoveLabelTimers();
}

long CSoundStream::OnLabelTimer(unsigned timerId, DWORD labelTime) {
    labelTimers_.erase(std::remove(labelTimers_.begin(), labelTimers_.end(), timerId), labelTimers_.end());
    // A timer that comes due after the sound has ended (its removal request not yet handled)
    // did not reach its label: it is dropped and stays scheduled for the next playback.
    bool reached = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        reached = state_ == StreamState::Playing && !endRequested_;
    }
    if (reached) {
        std::erase(labelTimes_, labelTime);
        platform::MainQueue().Post(owner_->Messages().label, id_, static_cast<LPARAM>(labelTime));
    }
    if (labelTimerService_) labelTimerService_->RemoveTimer(timerId);
    return 0;
}

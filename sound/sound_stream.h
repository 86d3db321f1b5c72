// A sound stream plays one source through a looping buffer of one second, refilled half a
// second at a time by a playback thread of its own. The thread sleeps until the play cursor is
// due to cross into the other half (a little after, so that it surely has), never longer than
// kPollMs, and Stop wakes it at once; it then reads the cursor and refills the half just played.
//
// Notifications reach the GUI thread only as posted messages (see CSoundSystem): "play" when
// Play started the stream, "pause" when its playback thread has ended (after Stop and at the
// natural end alike), "label" when a label time of the playback was reached.
//
// An end belongs to its playback. "pause" carries the number of the ending (1 for the first
// playback to end, 2 for the next …), and an ended slot hears an ending only when it was
// connected before that playback ended: a listener connected after a Stop, while the stopped
// playback's "pause" is still on its way, waits for the end of a later playback.
//
// How a playback ends by itself (endCount counts fills in a row that ran out of data):
//
//   fill                         | data read     | endCount | what is heard next
//   -----------------------------+---------------+----------+------------------------------
//   last fill with data          | < half        | 1        | the end of the sound, silence
//   next fill                    | nothing       | 2        | (not heard)
//   next half due, endCount == 2 | —             | stop     | the buffer stops; thread ends
//
// So the buffer stops at the first wake-up after the half holding the last sample was played,
// which the thread times for just after that crossing. The prefill resets endCount, so a sound
// shorter than half a buffer ends about one second after Play.
//
// Threads: every public function belongs to the GUI thread; State and Endings may also be
// called from any other thread (they take the stream's lock). The playback thread touches only
// the buffer, the source and the counters, under the stream's lock, and posts messages. The
// signals, the label times and the label timers are the GUI thread's alone, which is why they
// are reached only through the functions below.
#pragma once

#include <atomic>
#include <boost/function.hpp>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "core/signal.h"
#include "platform/audio_device.h"
#include "platform/clock.h"
#include "platform/win_types.h"

class CSoundSystem;
class CSoundSource;
class IMTimerService;

enum class StreamState { Stopped = 0, Playing = 1 };

class CSoundStream {
   public:
    using NotifySignal = IMSignal<long(DWORD)>;
    using LabelSignal = IMSignal<long(DWORD, DWORD)>;

    static constexpr int kPeriodMs = 4000;  // the buffer holds kPeriodMs / 4 of sound
    // The playback thread sleeps until the play cursor is due to cross into the other half of
    // the buffer (or until it is woken), but never longer than kPollMs, and never shorter than
    // kShortestWaitMs when the cursor moves in coarse steps.
    static constexpr int kPollMs = 250;
    static constexpr int kShortestWaitMs = 4;
    static constexpr int kEndAfterEmptyFills = 2;

    // Creates the stream's buffer on the owner's output. When that fails the stream exists
    // but Play reports failure.
    CSoundStream(CSoundSystem* owner, CSoundSource* source, DWORD id);
    // Ends a running playback (waiting for its thread) and removes its label timers.
    ~CSoundStream();
    CSoundStream(const CSoundStream&) = delete;
    CSoundStream& operator=(const CSoundStream&) = delete;

    // Starts a stopped stream from the first sample, schedules its label timers and posts
    // "play". False (nothing posted) when it is playing already or the buffer cannot be filled.
    bool Play();
    // Stops a playing stream and returns once its thread has ended (the thread has posted
    // "pause" by then); the buffer is silent however soon after Play the call comes. False
    // (nothing posted) when it is stopped.
    bool Stop();

    // A label timer fired: posts "label" once for this playback and forgets the label time.
    long OnLabelTimer(unsigned timerId, DWORD labelTime);
    // Connects an ended slot, which hears the end of the playback going on now or of a later
    // one. Pass a boost::bind of a control's member directly so the slot dies with the control.
    template <class F>
    IMConnection ConnectEnded(const F& slot) {
        IMConnection c = ended_.connect(slot);
        NoteEndedSlot(c);
        return c;
    }
    template <class F>
    IMConnection ConnectStarted(const F& slot) {
        return started_.connect(slot);
    }
    template <class F>
    IMConnection ConnectStopped(const F& slot) {
        return stopped_.connect(slot);
    }
    void DisconnectEndedSlots() { ended_.disconnect_all_slots(); }
    // Calls the ended slots that were connected before ending number `ending` (see above).
    void EmitEnded(DWORD ending);
    void EmitStarted();
    void EmitStopped();
    // How many playbacks have ended so far. Any thread.
    DWORD Endings() const;

    // Adds `labelTime` (ms from the start of playback) to the label times of a stopped stream,
    // once; a playing stream's labels are not changed. Returns the signal of that time, which
    // lives as long as the stream.
    LabelSignal& PrepareLabel(DWORD labelTime);
    // Calls the slots of `labelTime`, if it has any.
    void FireLabel(DWORD labelTime);
    // The label times not yet fired, in the order they are scheduled.
    const std::vector<DWORD>& LabelTimes() const { return labelTimes_; }

    // The playback thread decided to end playback `playback` and asked (by a posted message)
    // for its label timers to go; a later playback's timers are left alone.
    void OnLabelRemovalRequest(DWORD playback);

    // Any thread.
    StreamState State() const;
    // Fixed at construction; any thread.
    DWORD Id() const { return id_; }
    CSoundSource* Source() const { return source_; }
    bool HasBuffer() const { return buffer_ != nullptr; }
    DWORD BufferBytes() const { return bufferBytes_; }
    DWORD HalfBytes() const { return halfBytes_; }
    std::size_t ScheduledLabelTimers() const { return labelTimers_.size(); }

   private:
    // Auto-reset event: one Set wakes one wait, or the next one.
    class WakeEvent {
       public:
        void Set();
        // Until set or until `clock` reads `deadline`; true when it was set.
        bool Wait(platform::Clock& clock, std::int64_t deadline);

       private:
        std::mutex lock_;
        std::condition_variable cv_;
        bool set_ = false;
    };

    void RunPlayback();
    bool Prefill();
    platform::Result<std::span<std::uint8_t>> LockHalf(DWORD offset);
    std::int64_t UntilNextHalfDue(DWORD cursor) const;
    void FillHalf(DWORD offset);
    void NoteEndedSlot(const IMConnection& c);
    void ScheduleLabelTimers();
    void RemoveLabelTimers();

    CSoundSystem* owner_;
    CSoundSource* source_;
    DWORD id_;

    // Under lock_ while a playback thread runs; Play and Prefill touch them only when none does.
    mutable std::mutex lock_;  // state, command, the counters and the buffer work
    StreamState state_ = StreamState::Stopped;
    bool endRequested_ = false;  // the thread is asked to leave at its next wake-up
    int endCount_ = 0;
    int nextHalf_ = 0;    // 1: the second half is due next
    DWORD playback_ = 0;  // counts playbacks, so late requests can tell which one they mean
    DWORD endings_ = 0;   // counts ended playbacks; "pause" carries the new count
    WakeEvent wake_;
    std::thread thread_;

    std::unique_ptr<platform::SoundBuffer> buffer_;  // set at construction; its calls lock themselves
    DWORD bufferBytes_ = 0;
    DWORD firstHalfOffset_ = 0;
    DWORD halfBytes_ = 0;
    DWORD bytesPerSecond_ = 0;

    // GUI thread only.
    NotifySignal started_, ended_, stopped_;
    std::map<DWORD, std::unique_ptr<LabelSignal>> labelSignals_;
    std::vector<DWORD> labelTimes_;  // ms from the start of playback, not yet fired
    struct EndedSlot {
        IMConnection connection;
        DWORD endingsBefore;  // Endings() when it was connected
    };
    std::vector<EndedSlot> endedSlots_;
    std::vector<unsigned> labelTimers_;
    IMTimerService* labelTimerService_ = nullptr;  // the service the current label timers belong to
};

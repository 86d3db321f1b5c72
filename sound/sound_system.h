// The sound system: the program's one owner of audio output. It keeps the sound sources,
// shared by name, hands out streams by id and brings every notification of a playback thread
// back to the GUI thread as a registered window message.
//
// Stream ids are 1, 2, 3 … in order of creation and never reused; a failed creation hands out
// none (its Result says why) and no id names no stream. A name yields one stream for the life
// of the system.
//
// Names: a name that is wholly a decimal integer ("137") is a sound resource number; any other
// name ("12abc", "sounds/bell.ogg") is a file path. For sounds given in memory the name is only
// the key under which the source is shared.
//
// Messages: "WM_IM_ONSOUNDPLAY" (wParam stream id) when Play started a stream,
// "WM_IM_ONSOUNDPOUSE" (wParam stream id, lParam the stream's count of ended playbacks) when a
// playback thread ended, after Stop and at the natural end alike, "WM_IM_ONLABEL" (wParam
// stream id, lParam label time) when a label time was reached; "WM_IM_ONSOUNDSTOP" is
// registered and dispatched but never posted. A fifth, private message carries a playback
// thread's request to remove its label timers on the GUI thread. The window procedure hands
// every message to DispatchSoundMessage before its own handling.
//
// Threads: everything here belongs to the GUI thread. Playback threads only post to
// platform::MainQueue(). Slots run on the GUI thread and may call Play, Stop and CreateSound.
#pragma once

#include <boost/function.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/signal.h"
#include "core/timer_service.h"
#include "platform/audio_device.h"
#include "platform/clock.h"
#include "platform/result.h"
#include "platform/win_types.h"
#include "sound/sound_source.h"
#include "sound/sound_stream.h"

class CSoundSystem {
   public:
    using EndedSlot = boost::function<long(DWORD)>;
    using LabelSlot = boost::function<long(DWORD, DWORD)>;

    // The one label time ConnectLabel schedules, in ms from the start of playback.
    static constexpr DWORD kLabelTime = 22700;

    struct MessageIds {
        UINT play = 0;
        UINT pause = 0;  // a playback thread ended
        UINT stop = 0;
        UINT label = 0;
        UINT removeLabelTimers = 0;  // private: wParam stream id, lParam playback number
    };

    // Registers the messages. No output is opened yet. Playback runs on `clock`, which must
    // outlive the system.
    explicit CSoundSystem(platform::Clock& clock = platform::Clock::Real());
    // Stops every stream (waiting for its thread), then frees streams, sources and the output.
    ~CSoundSystem();
    CSoundSystem(const CSoundSystem&) = delete;
    CSoundSystem& operator=(const CSoundSystem&) = delete;

    // Opens the output. True when a sound card plays; false when the silent output stands in,
    // with which every sound still "plays" for its duration. Calling it again does nothing.
    // Creating a sound before Init opens the default output.
    bool Init(platform::AudioOutput output = platform::AudioOutput::Default);

    // The GUI thread's window timers, which carry the label times. Set by whoever creates the
    // system; may be set or changed later. Without it labels never fire.
    void SetTimerService(IMTimerService* timers) { timers_ = timers; }
    IMTimerService* TimerService() const { return timers_; }

    // Where numbered sounds are found; until it is set, nowhere (the engine sets the program's
    // own resources and its companion module).
    void SetResources(SoundResourceModules modules) { resources_ = std::move(modules); }

    // The id of the stream of `name`: the existing one (its ended slots disconnected, its label
    // slots kept, its state untouched) or a new one. Fails when the sound cannot be opened: not
    // found (ErrorKind::Missing), not Ogg Vorbis or a format the output cannot play (Damaged).
    // The failure is also said on standard error, once, here: every caller carries on without
    // the sound and has nothing to add.
    platform::Result<DWORD> CreateSound(const std::wstring& name);
    // The stream already made for `name`, untouched; none when there is none. Loads nothing.
    std::optional<DWORD> FindSound(const std::wstring& name) const;
    // The same for an Ogg Vorbis file image in memory, which must outlive the system.
    platform::Result<DWORD> CreateSoundFromMemory(const std::wstring& name, const void* data, DWORD size);

    // True when the id names a stream, whatever the stream made of the call (Play of a playing
    // stream and Stop of a stopped one do nothing and post nothing).
    bool Play(DWORD id);
    bool Stop(DWORD id);

    // Connects to the stream's ended notification; an empty connection for an unknown id.
    // The slot hears the end of the playback going on now or of a later one, never the end of
    // a playback that was already over (stopped, or at its end) when it was connected.
    // Pass a boost::bind of a control's member directly so the slot dies with the control.
    template <class F>
    IMConnection ConnectEnded(DWORD id, const F& slot) {
        CSoundStream* s = Find(id);
        return s ? s->ConnectEnded(slot) : IMConnection();
    }
    // Adds the label time kLabelTime to a stopped stream (a playing stream's labels are not
    // changed) and connects to its label notification; an empty connection for an unknown id.
    template <class F>
    IMConnection ConnectLabel(DWORD id, const F& slot) {
        CSoundStream* s = Find(id);
        return s ? s->PrepareLabel(kLabelTime).connect(slot) : IMConnection();
    }
    // Calls the label slots of stream `id` for `labelTime`, if any.
    void FireLabel(DWORD id, DWORD labelTime);

    // Offers a window message to the sound system; true when it was one of its messages.
    bool DispatchSoundMessage(UINT message, WPARAM wParam, LPARAM lParam);

    const MessageIds& Messages() const { return messages_; }
    platform::Clock& Clock() const { return clock_; }
    // The audio output; null before Init (or the first sound).
    platform::AudioDevice* Output() const { return device_.get(); }
    // The stream with that id; null when no stream has it.
    CSoundStream* Find(DWORD id) const;
    std::size_t StreamCount() const { return streams_.size(); }
    std::size_t SourceCount() const { return sources_.size(); }

   private:
    struct SourceEntry {
        std::unique_ptr<CSoundSource> source;
        std::wstring name;
    };

    DWORD Add(std::unique_ptr<CSoundSource> source, const std::wstring& name);
    template <class Open>
    platform::Result<DWORD> Create(const std::wstring& name, const Open& open);

    platform::Clock& clock_;
    std::map<DWORD, std::unique_ptr<CSoundStream>> streams_;
    std::vector<SourceEntry> sources_;
    std::unique_ptr<platform::AudioDevice> device_;
    DWORD lastId_ = 0;
    MessageIds messages_;
    IMTimerService* timers_ = nullptr;
    SoundResourceModules resources_;
};

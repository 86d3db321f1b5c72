#include "sound/sound_system.h"

#include <boost/lexical_cast.hpp>

#include "platform/debug.h"
#include "platform/message_queue.h"

CSoundSystem::CSoundSystem() : resources_(DefaultSoundResources()) {
    // Each name is registered only when the one before it was.
    const wchar_t* names[] = {L"WM_IM_ONSOUNDPLAY", L"WM_IM_ONLABEL", L"WM_IM_ONSOUNDSTOP", L"WM_IM_ONSOUNDPOUSE",
                              L"WM_IM_SOUNDLABELTIMERSDONE"};
    UINT* fields[] = {&messages_.play, &messages_.label, &messages_.stop, &messages_.pause,
                      &messages_.removeLabelTimers};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        *fields[i] = platform::RegisterMessage(names[i]);
        if (*fields[i] == 0) break;
    }
}

CSoundSystem::~CSoundSystem() {
    // Streams first (each ends its thread and frees its buffer), then what they read from,
    // then the output they play on.
    streams_.clear();
    sources_.clear();
    device_.reset();
}

bool CSoundSystem::Init(platform::AudioOutput output) {
    if (!device_) device_ = platform::AudioDevice::Open(output);
    return !device_->IsSilent();
}

// [SECTION] Creating streams

DWORD CSoundSystem::Existing(const std::wstring& name) {
    for (const SourceEntry& entry : sources_) {
        if (entry.name != name) continue;
        for (auto& [id, stream] : streams_) {
            if (stream->Source() != entry.source.get()) continue;
            stream->ended.disconnect_all_slots();
            return id;
        }
    }
    return 0;
}

DWORD CSoundSystem::Add(std::unique_ptr<CSoundSource> source, const std::wstring& name) {
    CSoundSource* raw = source.get();
    sources_.push_back({std::move(source), name});
    const DWORD id = ++lastId_;
    streams_.emplace(id, std::make_unique<CSoundStream>(this, raw, id));
    return id;
}

DWORD CSoundSystem::CreateSound(const std::wstring& name) {
    if (DWORD id = Existing(name)) return id;
    if (!device_) Init();
    auto source = std::make_unique<CSoundSource>();
    bool opened = false;
    try {
        opened = source->OpenResource(boost::lexical_cast<int>(name), resources_);
    } catch (const boost::bad_lexical_cast&) {
        opened = source->OpenFile(name);
    }
    return opened ? Add(std::move(source), name) : 0;
}

DWORD CSoundSystem::CreateSoundFromMemory(const std::wstring& name, const void* data, DWORD size) {
    if (DWORD id = Existing(name)) return id;
    if (!device_) Init();
    auto source = std::make_unique<CSoundSource>();
    if (!source->OpenMemory(data, size)) return 0;
    return Add(std::move(source), name);
}

// [SECTION] Playing

CSoundStream* CSoundSystem::Find(DWORD id) const {
    if (id == 0) return nullptr;
    auto it = streams_.find(id);
    return it == streams_.end() ? nullptr : it->second.get();
}

bool CSoundSystem::Play(DWORD id) {
    CSoundStream* s = Find(id);
    if (!s) return false;
    s->Play();
    return true;
}

bool CSoundSystem::Stop(DWORD id) {
    CSoundStream* s = Find(id);
    if (!s) return false;
    s->Stop();
    return true;
}

CSoundStream::LabelSignal* CSoundSystem::PrepareLabel(DWORD id) {
    CSoundStream* s = Find(id);
    if (!s) return nullptr;
    if (s->State() == StreamState::Stopped &&
        std::find(s->labelTimes.begin(), s->labelTimes.end(), kLabelTime) == s->labelTimes.end())
        s->labelTimes.insert(s->labelTimes.begin(), kLabelTime);
    auto& signal = s->labelSignals[kLabelTime];
    if (!signal) signal = std::make_unique<CSoundStream::LabelSignal>();
    return signal.get();
}

// [SECTION] Notifications (GUI thread)

void CSoundSystem::FireLabel(DWORD id, DWORD labelTime) {
    CSoundStream* s = Find(id);
    if (!s) return;
    auto it = s->labelSignals.find(labelTime);
    if (it != s->labelSignals.end() && it->second) Emit(*it->second, id, labelTime);
}

bool CSoundSystem::DispatchSoundMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // An id that failed to register is 0 and must not capture WM_NULL.
    auto is = [message](UINT id) { return id != 0 && message == id; };
    bool handled = false;
    if (is(messages_.play)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) Emit(s->started, DWORD{wParam});
    }
    if (is(messages_.pause)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) Emit(s->ended, DWORD{wParam});
    }
    if (is(messages_.stop)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) Emit(s->stopped, DWORD{wParam});
    }
    if (is(messages_.label)) {
        handled = true;
        FireLabel(wParam, static_cast<DWORD>(lParam));
    }
    if (is(messages_.removeLabelTimers)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) s->OnLabelRemovalRequest(static_cast<DWORD>(lParam));
    }
    return handled;
}

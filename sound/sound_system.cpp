#include "sound/sound_system.h"

#include <boost/lexical_cast.hpp>
#include <new>

#include "platform/debug.h"
#include "platform/message_queue.h"

CSoundSystem::CSoundSystem() {
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

DWORD CSoundSystem::FindSound(const std::wstring& name) const {
    for (const SourceEntry& entry : sources_) {
        if (entry.name != name) continue;
        for (const auto& [id, stream] : streams_)
            if (stream->Source() == entry.source.get()) return id;
    }
    return 0;
}

DWORD CSoundSystem::Existing(const std::wstring& name) {
    const DWORD id = FindSound(name);
    if (CSoundStream* stream = Find(id)) stream->ended.disconnect_all_slots();
    return id;
}

// Either the source and its stream are both recorded or neither is, so a failure part-way
// leaves no name without a stream behind.
DWORD CSoundSystem::Add(std::unique_ptr<CSoundSource> source, const std::wstring& name) {
    const DWORD id = lastId_ + 1;
    sources_.reserve(sources_.size() + 1);
    auto stream = std::make_unique<CSoundStream>(this, source.get(), id);
    streams_.emplace(id, std::move(stream));
    sources_.push_back({std::move(source), name});  // cannot throw: room was reserved
    lastId_ = id;
    return id;
}

// A create call ends the program on no failure of its own: a sound that does not fit in
// memory is a sound that cannot be opened.
template <class Open>
DWORD CSoundSystem::Create(const std::wstring& name, const Open& open) {
    try {
        if (DWORD id = Existing(name)) return id;
        if (!device_) Init();
        auto source = std::make_unique<CSoundSource>();
        return open(*source) ? Add(std::move(source), name) : 0;
    } catch (const std::bad_alloc&) {
        platform::Debug::Print(L"sound " + name + L": out of memory");
        return 0;
    }
}

DWORD CSoundSystem::CreateSound(const std::wstring& name) {
    return Create(name, [&](CSoundSource& source) {
        try {
            return source.OpenResource(boost::lexical_cast<int>(name), resources_);
        } catch (const boost::bad_lexical_cast&) {
            return source.OpenFile(name);
        }
    });
}

DWORD CSoundSystem::CreateSoundFromMemory(const std::wstring& name, const void* data, DWORD size) {
    return Create(name, [&](CSoundSource& source) { return source.OpenMemory(data, size); });
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
        if (CSoundStream* s = Find(wParam)) s->EmitEnded(static_cast<DWORD>(lParam));
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

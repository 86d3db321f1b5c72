#include "sound/sound_system.h"

#include <climits>

#include "platform/debug.h"
#include "platform/message_queue.h"

CSoundSystem::CSoundSystem(platform::Clock& clock) : clock_(clock) {
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
    if (!device_) device_ = platform::AudioDevice::Open(output, clock_);
    return !device_->IsSilent();
}

// [SECTION] Creating streams

namespace {

// The resource number a name stands for: a name that is wholly a decimal integer, with an
// optional sign, that fits an int.
std::optional<int> ResourceNumber(const std::wstring& name) {
    std::size_t i = name.empty() || (name[0] != L'+' && name[0] != L'-') ? 0 : 1;
    if (i == name.size()) return std::nullopt;
    long long value = 0;
    for (; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') return std::nullopt;
        value = value * 10 + (name[i] - L'0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (name[0] == L'-') value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

std::optional<DWORD> CSoundSystem::FindSound(const std::wstring& name) const {
    for (const SourceEntry& entry : sources_) {
        if (entry.name != name) continue;
        for (const auto& [id, stream] : streams_)
            if (stream->Source() == entry.source.get()) return id;
    }
    return std::nullopt;
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

template <class Open>
platform::Result<DWORD> CSoundSystem::Create(const std::wstring& name, const Open& open) {
    if (std::optional<DWORD> id = FindSound(name)) {
        Find(*id)->DisconnectEndedSlots();
        return *id;
    }
    if (!device_) Init();
    auto source = std::make_unique<CSoundSource>();
    if (platform::Result<void> opened = open(*source); !opened) {
        platform::Debug::Print(opened.why());
        return std::move(opened).error();
    }
    return Add(std::move(source), name);
}

platform::Result<DWORD> CSoundSystem::CreateSound(const std::wstring& name) {
    return Create(name, [&](CSoundSource& source) {
        const std::optional<int> number = ResourceNumber(name);
        return number ? source.OpenResource(*number, resources_) : source.OpenFile(name);
    });
}

platform::Result<DWORD> CSoundSystem::CreateSoundFromMemory(const std::wstring& name, const void* data, DWORD size) {
    return Create(name, [&](CSoundSource& source) { return source.OpenMemory(data, size); });
}

// [SECTION] Playing

CSoundStream* CSoundSystem::Find(DWORD id) const {
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

// [SECTION] Notifications (GUI thread)

void CSoundSystem::FireLabel(DWORD id, DWORD labelTime) {
    if (CSoundStream* s = Find(id)) s->FireLabel(labelTime);
}

bool CSoundSystem::DispatchSoundMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // An id that failed to register is 0 and must not capture WM_NULL.
    auto is = [message](UINT id) { return id != 0 && message == id; };
    bool handled = false;
    if (is(messages_.play)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) s->EmitStarted();
    }
    if (is(messages_.pause)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) s->EmitEnded(static_cast<DWORD>(lParam));
    }
    if (is(messages_.stop)) {
        handled = true;
        if (CSoundStream* s = Find(wParam)) s->EmitStopped();
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

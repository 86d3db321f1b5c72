#include "sound/sound_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio_device.h"
#include "platform/debug.h"
#include "platform/text.h"

using platform::Error;
using platform::Result;

// [SECTION] Resource lookups

SoundResourceLookup FileResourceLookup(std::string directory) {
    struct Cache {
        std::mutex lock;
        std::map<int, std::unique_ptr<std::vector<std::byte>>> files;  // stable addresses
    };
    auto cache = std::make_shared<Cache>();
    return [cache, directory = std::move(directory)](int number) -> std::span<const std::byte> {
        std::lock_guard<std::mutex> guard(cache->lock);
        auto it = cache->files.find(number);
        if (it == cache->files.end()) {
            std::ifstream in(directory + "/" + std::to_string(number) + ".ogg", std::ios::binary);
            std::unique_ptr<std::vector<std::byte>> bytes;
            if (in) {
                std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                bytes = std::make_unique<std::vector<std::byte>>(raw.size());
                std::memcpy(bytes->data(), raw.data(), raw.size());
            }
            it = cache->files.emplace(number, std::move(bytes)).first;
        }
        if (!it->second) return {};
        return {it->second->data(), it->second->size()};
    };
}

// [SECTION] Decoder callbacks

namespace {

// Reads never go past the end of the block, whatever the decoder asks for.
size_t MemoryRead(void* destination, size_t size, size_t count, void* datasource) {
    auto* r = static_cast<CSoundSource::MemoryReader*>(datasource);
    if (size == 0 || r->position >= r->size) return 0;
    const size_t left = r->size - r->position;
    size_t n = (count > SIZE_MAX / size) ? SIZE_MAX : size * count;
    n = std::min(n, left);
    n -= n % size;  // whole items, as fread would
    std::memcpy(destination, r->data + r->position, n);
    r->position += static_cast<DWORD>(n);
    return n / size;
}

int MemorySeek(void* datasource, ogg_int64_t offset, int whence) {
    auto* r = static_cast<CSoundSource::MemoryReader*>(datasource);
    std::int64_t base = 0;
    switch (whence) {
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = r->position;
            break;
        case SEEK_END:
            base = r->size;
            break;
        default:
            return -1;
    }
    const std::int64_t target = base + offset;
    // A position before the start or beyond what a DWORD holds cannot be represented; past the
    // end is allowed and simply reads nothing.
    if (target < 0 || target > std::int64_t{UINT32_MAX}) return -1;
    r->position = static_cast<DWORD>(target);
    return 0;
}

int NoClose(void*) { return 0; }

long MemoryTell(void* datasource) {
    return static_cast<long>(static_cast<CSoundSource::MemoryReader*>(datasource)->position);
}

size_t FileRead(void* destination, size_t size, size_t count, void* datasource) {
    return std::fread(destination, size, count, static_cast<std::FILE*>(datasource));
}

int FileSeek(void* datasource, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<std::FILE*>(datasource), static_cast<off_t>(offset), whence);
}

long FileTell(void* datasource) { return static_cast<long>(ftello(static_cast<std::FILE*>(datasource))); }

const ov_callbacks kMemoryCallbacks = {MemoryRead, MemorySeek, NoClose, MemoryTell};
const ov_callbacks kFileCallbacks = {FileRead, FileSeek, NoClose, FileTell};

}  // namespace

// [SECTION] CSoundSource

CSoundSource::CSoundSource() = default;

CSoundSource::~CSoundSource() { Close(); }

Result<void> CSoundSource::OpenResource(int number, const SoundResourceModules& modules) {
    if (open_) return Error::Failed("the sound is open already");
    std::span<const std::byte> bytes;
    SoundOrigin origin = SoundOrigin::ProgramResource;
    if (modules.program) bytes = modules.program(number);
    if (bytes.empty() && modules.companion) {
        bytes = modules.companion(number);
        origin = SoundOrigin::CompanionResource;
    }
    const std::string what = "sound resource " + std::to_string(number);
    if (bytes.empty()) return Error::Of(platform::ErrorKind::Missing, what + ": not found");
    if (bytes.size() > UINT32_MAX) return Error::Failed(what + ": too large");
    reader_ = {reinterpret_cast<const unsigned char*>(bytes.data()), 0, static_cast<DWORD>(bytes.size())};
    VORLEN_TRY(OpenDecoder(kMemoryCallbacks, &reader_, true, what));
    origin_ = origin;
    return {};
}

Result<void> CSoundSource::OpenMemory(const void* data, DWORD size) {
    if (open_) return Error::Failed("the sound is open already");
    if (!data || size == 0) return Error::Failed("sound in memory: empty block");
    reader_ = {static_cast<const unsigned char*>(data), 0, size};
    VORLEN_TRY(OpenDecoder(kMemoryCallbacks, &reader_, false, "sound in memory"));
    origin_ = SoundOrigin::Memory;
    return {};
}

Result<void> CSoundSource::OpenFile(const std::wstring& path) {
    if (open_) return Error::Failed("the sound is open already");
    const std::string utf8 = platform::text::ToUtf8(path);
    std::FILE* f = std::fopen(utf8.c_str(), "rb");
    if (!f) return Error::Of(platform::ErrorKind::Missing, "sound file " + utf8 + ": cannot open");
    file_ = f;
    if (Result<void> opened = OpenDecoder(kFileCallbacks, file_, false, "sound file " + utf8); !opened) {
        std::fclose(file_);
        file_ = nullptr;
        return opened;
    }
    origin_ = SoundOrigin::File;
    return {};
}

Result<void> CSoundSource::OpenDecoder(const ov_callbacks& callbacks, void* datasource, bool shortenTail,
                                       const std::string& what) {
    if (ov_open_callbacks(datasource, &vorbis_, nullptr, 0, callbacks) != 0)
        return Error::Of(platform::ErrorKind::Damaged, what + ": not an Ogg Vorbis stream");
    const vorbis_info* info = ov_info(&vorbis_, -1);
    const ogg_int64_t total = ov_pcm_total(&vorbis_, -1);
    auto refuse = [&](const std::string& why) -> Result<void> {
        ov_clear(&vorbis_);
        return Error::Of(platform::ErrorKind::Damaged, what + ": " + why);
    };
    if (!info || total < 0 || total > UINT32_MAX) return refuse("unusable Ogg Vorbis stream");
    // The header's numbers are only what the file claims, and buffer sizes are derived from
    // them: anything the output cannot play is refused before a size is computed.
    using platform::PcmFormat;
    if (info->channels < 1 || info->channels > PcmFormat::kMaxChannels)
        return refuse(std::to_string(info->channels) + " channels; the output plays 1 to " +
                      std::to_string(PcmFormat::kMaxChannels));
    if (info->rate < PcmFormat::kMinRate || info->rate > PcmFormat::kMaxRate)
        return refuse(std::to_string(info->rate) + " Hz; the output plays " + std::to_string(PcmFormat::kMinRate) +
                      " to " + std::to_string(PcmFormat::kMaxRate) + " Hz");
    channels_ = info->channels;
    rate_ = static_cast<int>(info->rate);
    // The decoder writes channels × 2 bytes per frame, so that is the frame size for every
    // channel count (not only mono and stereo).
    frameBytes_ = channels_ * 2;
    totalFrames_ = total;
    endFrame_ = static_cast<DWORD>(total);
    if (shortenTail) {
        const auto tail = static_cast<std::int64_t>(static_cast<double>(channels_) * rate_ * 2 * 0.02);
        if (total > tail) endFrame_ = static_cast<DWORD>(total - tail);
    }
    open_ = true;
    return {};
}

DWORD CSoundSource::ReadPcm(void* destination, DWORD byteCount) {
    if (!open_ || !destination) return 0;
    const ogg_int64_t position = ov_pcm_tell(&vorbis_);
    if (position < 0) return 0;
    const std::int64_t room = std::max<std::int64_t>(0, std::int64_t{endFrame_} - position) * frameBytes_;
    std::int64_t wanted = std::min<std::int64_t>(byteCount, room);
    wanted -= wanted % frameBytes_;
    auto* out = static_cast<char*>(destination);
    DWORD done = 0;
    while (done < wanted) {
        int section = 0;
        const int ask = static_cast<int>(std::min<std::int64_t>(wanted - done, INT_MAX));
        const long got = ov_read(&vorbis_, out + done, ask, 0, 2, 1, &section);
        if (got <= 0) break;  // end of data, or a decoding error: the rest stays unwritten
        done += static_cast<DWORD>(got);
    }
    return done;
}

Result<void> CSoundSource::Rewind() {
    if (!open_) return Error::Failed("the sound is not open");
    if (ov_pcm_seek(&vorbis_, 0) != 0) return Error::Failed("the sound cannot go back to its start");
    return {};
}

void CSoundSource::Close() {
    if (open_) ov_clear(&vorbis_);
    open_ = false;
    if (file_) std::fclose(file_);
    file_ = nullptr;
    origin_ = SoundOrigin::None;
    reader_ = {};
}

// The sound source reading an Ogg Vorbis sound from memory, as the praise sounds are read.
// Besides the sanitizers' own checks: an opened sound has a format the output plays, every
// read gives whole frames and no more than asked, and reading never runs past the playable
// end, neither the first time through nor after a rewind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/audio_device.h"
#include "sound/sound_source.h"

namespace {

// PCM taken from one input at most: enough to cross many packets and pages, little enough that
// a short input claiming a long sound stays quick.
constexpr DWORD kMaxPcmBytes = DWORD{1} << 21;
constexpr DWORD kChunkBytes = 4096;

// Reads to the end (or the cap) in chunks; aborts on a read that breaks the contract.
std::int64_t ReadFrames(CSoundSource& source, std::vector<std::uint8_t>& buffer) {
    std::int64_t frames = 0;
    DWORD total = 0;
    while (total < kMaxPcmBytes) {
        const DWORD got = source.ReadPcm(buffer.data(), kChunkBytes);
        if (got > kChunkBytes || got % static_cast<DWORD>(source.FrameBytes()) != 0) std::abort();
        if (got == 0) break;
        frames += got / source.FrameBytes();
        total += got;
    }
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu) return 0;
    CSoundSource source;
    if (!source.OpenMemory(data, static_cast<DWORD>(size))) {
        if (source.IsOpen()) std::abort();
        return 0;
    }
    if (!platform::PcmFormat{source.Channels(), source.Rate()}.IsPlayable() ||
        source.FrameBytes() != source.Channels() * 2 || source.EndFrame() > source.TotalFrames())
        std::abort();
    std::vector<std::uint8_t> buffer(kChunkBytes);
    if (ReadFrames(source, buffer) > source.EndFrame()) std::abort();
    if (source.Rewind() && ReadFrames(source, buffer) > source.EndFrame()) std::abort();
    source.Close();
    if (source.IsOpen() || source.ReadPcm(buffer.data(), kChunkBytes) != 0) std::abort();
    return 0;
}

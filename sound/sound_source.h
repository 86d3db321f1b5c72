// A sound source: one Ogg Vorbis sound, opened from a numbered resource, a memory block or a
// file, and decoded on demand into 16-bit little-endian PCM.
//
// Numbered resources are looked up in the program's own resources first and then in the
// companion resource module. A resource sound loses the last ⌊channels × rate × 0.04⌋ frames
// of its tail (80 ms of a 44.1 kHz stereo sound): the resource sounds carry that much padding.
// Sounds from memory and files play to their last frame.
//
// Threads: opening and closing on the GUI thread. ReadPcm and Rewind may be called from one
// thread at a time (the stream that owns the source makes sure of that).
#pragma once

#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

#include "platform/result.h"
#include "platform/win_types.h"

// The bytes of sound resource `number`, or an empty span when the module does not hold it.
// The bytes must stay valid for as long as the program runs.
using SoundResourceLookup = std::function<std::span<const std::byte>(int number)>;

struct SoundResourceModules {
    SoundResourceLookup program;    // the program's own resources
    SoundResourceLookup companion;  // the companion resource module, for numbers the program lacks
};

// A lookup that reads `<directory>/<number>.ogg` the first time a number is asked for and keeps
// the bytes for the rest of the run. Thread-safe.
SoundResourceLookup FileResourceLookup(std::string directory);

enum class SoundOrigin { None, ProgramResource, CompanionResource, Memory, File };

class CSoundSource {
   public:
    CSoundSource();
    ~CSoundSource();
    CSoundSource(const CSoundSource&) = delete;
    CSoundSource& operator=(const CSoundSource&) = delete;

    // Each fails, saying why, when the sound is not found, is not Ogg Vorbis or has a format
    // the output cannot play; the source then stays closed. A source is opened once.
    platform::Result<void> OpenResource(int number, const SoundResourceModules& modules);
    platform::Result<void> OpenMemory(const void* data, DWORD size);  // the block must outlive the source
    platform::Result<void> OpenFile(const std::wstring& path);

    // Decodes up to byteCount bytes (whole frames) into destination, never past EndFrame().
    // Returns the bytes written: fewer than asked at the end of the sound or on a decoding error.
    DWORD ReadPcm(void* destination, DWORD byteCount);
    // Goes back to the first frame. Fails when the decoder cannot seek.
    platform::Result<void> Rewind();

    void Close();

    bool IsOpen() const { return open_; }
    SoundOrigin Origin() const { return origin_; }
    int Channels() const { return channels_; }
    int Rate() const { return rate_; }
    int FrameBytes() const { return frameBytes_; }
    std::int64_t TotalFrames() const { return totalFrames_; }
    DWORD EndFrame() const { return endFrame_; }  // the playable length in frames

    struct MemoryReader {
        const unsigned char* data = nullptr;
        DWORD position = 0;
        DWORD size = 0;
    };

   private:
    platform::Result<void> OpenDecoder(const ov_callbacks& callbacks, void* datasource, bool shortenTail,
                                       const std::string& what);

    std::FILE* file_ = nullptr;
    SoundOrigin origin_ = SoundOrigin::None;
    MemoryReader reader_;
    int channels_ = 0;
    int rate_ = 0;
    int frameBytes_ = 0;
    std::int64_t totalFrames_ = 0;
    DWORD endFrame_ = 0;
    OggVorbis_File vorbis_{};
    bool open_ = false;
};

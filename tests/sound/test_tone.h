// Test sounds made on the spot: sine tones encoded as Ogg Vorbis file images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Tone {
    int channels = 2;
    int rate = 44100;
    std::int64_t frames = 44100;
    double frequency = 441.0;
    double amplitude = 0.5;
};

// An Ogg Vorbis file image of a cosine tone (every channel the same), exactly tone.frames long.
std::vector<unsigned char> EncodeTone(const Tone& tone);

// The same file image with the channel count and rate in its stream header replaced and the
// page's checksum made good again: formats no encoder would make, as a damaged or hostile file
// may claim them. The rest of the file is left as it was.
std::vector<unsigned char> WithHeaderFormat(std::vector<unsigned char> image, int channels, std::uint32_t rate);

// Writes bytes to a file, creating its folder; false on failure.
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);

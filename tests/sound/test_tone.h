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

// Writes bytes to a file, creating its folder; false on failure.
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes);

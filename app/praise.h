// The praise after the last board: a cloud with a short film inside and a spoken word of
// praise, one of five pairs chosen at random. The film's end closes the praise and then the
// exercise screen under it, which leads to the results.
#pragma once

#include "platform/win_types.h"

namespace praise {

struct Pair {
    const wchar_t* sound;  // the sound's block, also its name in the sound system
    const wchar_t* film;
};
inline constexpr Pair kPairs[] = {{L"bravo_sound", L"bravo_film"},
                                  {L"gotovo_sound", L"gotovo_film"},
                                  {L"molodec_sound", L"molodec_film"},
                                  {L"otlichno_sound", L"otlichno_film"},
                                  {L"ura_sound", L"ura_film"}};
inline constexpr int kPairCount = 5;

inline constexpr POINT kCloudCorner{137, 100};
inline constexpr POINT kFilmOffset{93, 76};  // from the cloud's corner
inline constexpr int kFilmWidth = 320;
inline constexpr int kFilmHeight = 200;
// 83 1/3 ms a frame, in sixtieths of a millisecond: 12 frames a second.
inline constexpr int kFrameTime = 5000;
// Every praise film is 26 frames long; a film that cannot be shown still takes that long.
inline constexpr int kFilmFrames = 26;

// The pair for a value of rand(). The pairs are spread over 0 .. 32767 (32767 -> 4,
// 6553 -> 0, 6554 -> 1); larger values, which glibc's rand() gives, are first brought into
// that range, so the index never leaves 0 .. 4.
inline int PairIndex(int randomValue) {
    const long long r = static_cast<unsigned>(randomValue) % 32768u;
    return static_cast<int>(r * kPairCount / 32768);
}

}  // namespace praise

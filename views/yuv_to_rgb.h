// Y'CbCr 4:2:0 to 32-bit BGRX with the BT.601 coefficients in 6-bit fixed point:
//
//   L     = 74 (Y - 16)
//   red   = clamp ((L + 102 (Cr - 128)) >> 6)
//   green = clamp ((L - 25 (Cb - 128) - 52 (Cr - 128)) >> 6)
//   blue  = clamp ((L + 129 (Cb - 128)) >> 6)
//
// `>>` floors, clamp keeps 0 .. 255. Each output pixel is the bytes blue, green, red, 0. The
// chroma sample of pixel (x, y) is at (y / 2) uvStride + x / 2, whatever the film's subsampling.
// The vectorised kind gives exactly the bytes of the scalar one; the scalar one stays for the
// tests and the benchmark that hold it to that.
#pragma once

#include <cstdint>

namespace yuv {

struct Planes {
    const std::uint8_t* y = nullptr;
    const std::uint8_t* u = nullptr;  // Cb
    const std::uint8_t* v = nullptr;  // Cr
    int yStride = 0;
    int uvStride = 0;
};

struct Bgrx {
    std::uint8_t blue, green, red, unused;
};

inline std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// One pixel by the formula.
inline Bgrx Pixel(int y, int cb, int cr) {
    const int l = 74 * (y - 16);
    return Bgrx{Clamp((l + 129 * (cb - 128)) >> 6), Clamp((l - 25 * (cb - 128) - 52 * (cr - 128)) >> 6),
                Clamp((l + 102 * (cr - 128)) >> 6), 0};
}

enum class Kind { Scalar, Vectorised };

// Converts width x height pixels into `out` (rows `pitch` bytes apart, 4 bytes a pixel).
void Convert(const Planes& in, int width, int height, std::uint8_t* out, int pitch, Kind kind = Kind::Vectorised);

}  // namespace yuv

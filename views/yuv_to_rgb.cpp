#include "views/yuv_to_rgb.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace yuv {
namespace {

void ScalarRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int from, int width,
               std::uint8_t* out) {
    for (int x = from; x < width; ++x) {
        const Bgrx p = Pixel(y[x], u[x / 2], v[x / 2]);
        std::memcpy(out + 4 * x, &p, 4);
    }
}

#if defined(__SSE2__)
// Eight pixels in 16-bit lanes. Every product and every partial sum fits a signed 16-bit lane
// except blue's top end (up to 34069), where the saturating add stops at 32767: both are far
// above 255 x 64 and clamp to 255 alike, so the bytes equal the formula's.
struct Channels {
    __m128i blue, green, red;
};

inline Channels Eight(__m128i y16, __m128i cb16, __m128i cr16) {
    const __m128i l = _mm_mullo_epi16(_mm_sub_epi16(y16, _mm_set1_epi16(16)), _mm_set1_epi16(74));
    const __m128i cb = _mm_sub_epi16(cb16, _mm_set1_epi16(128));
    const __m128i cr = _mm_sub_epi16(cr16, _mm_set1_epi16(128));
    Channels c;
    c.red = _mm_srai_epi16(_mm_adds_epi16(l, _mm_mullo_epi16(cr, _mm_set1_epi16(102))), 6);
    c.green = _mm_srai_epi16(_mm_subs_epi16(_mm_subs_epi16(l, _mm_mullo_epi16(cb, _mm_set1_epi16(25))),
                                            _mm_mullo_epi16(cr, _mm_set1_epi16(52))),
                             6);
    c.blue = _mm_srai_epi16(_mm_adds_epi16(l, _mm_mullo_epi16(cb, _mm_set1_epi16(129))), 6);
    return c;
}

// Sixteen pixels a step; the rest of the row goes through the formula.
void VectorRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int width, std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        // Eight chroma samples, each doubled to cover two pixels.
        const __m128i cb8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
        const __m128i cr8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
        const __m128i cbPairs = _mm_unpacklo_epi8(cb8, cb8);
        const __m128i crPairs = _mm_unpacklo_epi8(cr8, cr8);

        const Channels lo =
            Eight(_mm_unpacklo_epi8(luma, zero), _mm_unpacklo_epi8(cbPairs, zero), _mm_unpacklo_epi8(crPairs, zero));
        const Channels hi =
            Eight(_mm_unpackhi_epi8(luma, zero), _mm_unpackhi_epi8(cbPairs, zero), _mm_unpackhi_epi8(crPairs, zero));
        // Saturating packs clamp to 0 .. 255.
        const __m128i blue = _mm_packus_epi16(lo.blue, hi.blue);
        const __m128i green = _mm_packus_epi16(lo.green, hi.green);
        const __m128i red = _mm_packus_epi16(lo.red, hi.red);

        const __m128i bgLo = _mm_unpacklo_epi8(blue, green);
        const __m128i bgHi = _mm_unpackhi_epi8(blue, green);
        const __m128i r0Lo = _mm_unpacklo_epi8(red, zero);
        const __m128i r0Hi = _mm_unpackhi_epi8(red, zero);
        auto* o = reinterpret_cast<__m128i*>(out + 4 * x);
        _mm_storeu_si128(o + 0, _mm_unpacklo_epi16(bgLo, r0Lo));
        _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(bgLo, r0Lo));
        _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(bgHi, r0Hi));
        _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(bgHi, r0Hi));
    }
    ScalarRow(y, u, v, x, width, out);
}
#endif

}  // namespace

void Convert(const Planes& in, int width, int height, std::uint8_t* out, int pitch, Kind kind) {
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* y = in.y + static_cast<std::ptrdiff_t>(row) * in.yStride;
        const std::uint8_t* u = in.u + static_cast<std::ptrdiff_t>(row / 2) * in.uvStride;
        const std::uint8_t* v = in.v + static_cast<std::ptrdiff_t>(row / 2) * in.uvStride;
        std::uint8_t* line = out + static_cast<std::ptrdiff_t>(row) * pitch;
#if defined(__SSE2__)
        if (kind == Kind::Vectorised) {
            VectorRow(y, u, v, width, line);
            continue;
        }
#endif
        ScalarRow(y, u, v, 0, width, line);
    }
}

}  // namespace yuv

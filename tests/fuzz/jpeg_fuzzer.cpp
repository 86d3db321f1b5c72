// The JPEG decoder on arbitrary bytes. Besides the sanitizers' own checks, a picture that
// decodes must fit in the texture it was given and stay within the largest picture side.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/image_decoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IMResourceManager* engine = fuzz::Engine();
    const TextureAllocator allocate = [engine](int w, int h) {
        return engine->AllocateTexture(w, h, platform::PixelFormat::A8R8G8B8);
    };
    const platform::Result<DecodedImage> decoded = DecodeJpeg(std::span<const std::uint8_t>(data, size), allocate);
    if (!decoded) return 0;
    const DecodedImage& image = *decoded;
    if (!image.texture || image.width < 1 || image.height < 1 || image.width > kMaxPictureSide ||
        image.height > kMaxPictureSide)
        std::abort();
    if (image.texture->Width() < image.width || image.texture->Height() < image.height) std::abort();
    return 0;
}

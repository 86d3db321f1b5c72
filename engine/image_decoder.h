// The two picture decoders: PNG (libpng) and JPEG (libjpeg). Each decodes one complete encoded
// file straight into a texture it obtains from `allocate`, as 32-bit pixels in bytes blue,
// green, red, alpha with straight alpha; row y starts at y x pitch of the locked texture.
// Texels right of and below the picture are left as allocated (zero).
//
// PNG transformations: 16-bit channels are cut to 8; palettes and low-depth grey are expanded;
// a transparency chunk becomes alpha; grey becomes red = green = blue; pictures without alpha
// get alpha 255; a gamma chunk is corrected for a display gamma of 2.2.
// JPEG: colour pictures get alpha 255; grey pictures become grey colour with alpha 255; four
// components are copied as red, green, blue, alpha.
//
// Every read stays inside `bytes`: truncated or hostile input fails (or, for JPEG, ends the
// picture early, as libjpeg does) and never reads past the end. A decoder error writes one line
// on standard error ("libpng error: ..." or "libjpeg error: ..."), which only the library can
// say, and the decode fails with ErrorKind::Damaged. An error of `allocate` (OutOfMemory when the
// device is full) is passed up unchanged, and nothing the decoder made survives it.
//
// GUI thread only (one decode at a time is not required: no state is shared).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/graphics_device.h"
#include "platform/result.h"

struct DecodedImage {
    std::unique_ptr<platform::Texture> texture;
    int width = 0;
    int height = 0;
};

// Returns a texture of at least width x height.
using TextureAllocator = std::function<platform::Result<std::unique_ptr<platform::Texture>>(int width, int height)>;

// Pictures larger than this on either side are refused from their headers: the device takes
// no larger texture. Blank and glyph pictures are held to the same limit.
inline constexpr int kMaxPictureSide = platform::GraphicsDevice::kMaxTextureSide;

platform::Result<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, const TextureAllocator& allocate);
platform::Result<DecodedImage> DecodeJpeg(std::span<const std::uint8_t> bytes, const TextureAllocator& allocate);

// The picture size a PNG's header states, read without decoding anything: true when `bytes`
// start with the PNG signature and a complete header chunk whose sides both lie in
// 1 .. kMaxPictureSide. DecodePng gives a picture of that size or fails. Says nothing on error.
bool ReadPngSize(std::span<const std::uint8_t> bytes, int* width, int* height);

// No PNG or JPEG of a picture the decoders accept comes near this size (the largest raw picture,
// kMaxPictureSide squared at 8 bytes a pixel, is half of it); bigger files are refused unread.
inline constexpr std::uintmax_t kMaxPictureFileBytes = std::uintmax_t{256} << 20;

// Reads a whole regular file of at most kMaxPictureFileBytes. Fails, with a reason that names
// the path, for a folder or any other thing that is not a plain file, a file that is too large,
// and one that cannot be opened or read; nothing is allocated for the refused ones.
platform::Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

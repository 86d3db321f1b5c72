#include "engine/image_decoder.h"

#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>

#include "platform/debug.h"

// Both libraries report fatal errors through a callback that must not return; it jumps back
// to the decoder's recovery point. Everything that must be cleaned up after such a jump lives
// in a heap-held state object created before the recovery point, so no local of the jumping
// frame changes after setjmp, and no C++ frame with destructors lies between the callback and
// the recovery point.

namespace {

// ---------------------------------------------------------------------------------------------
// PNG

struct PngState {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::unique_ptr<platform::Texture> texture;
    std::optional<platform::Error> allocationError;  // what `allocate` said
    bool locked = false;
    std::vector<png_bytep> rows;

    ~PngState() {
        if (locked) texture->Unlock();
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
    auto* s = static_cast<PngState*>(png_get_io_ptr(png));
    if (n > s->size - s->pos) png_error(png, "read past the end of the data");
    std::memcpy(out, s->data + s->pos, n);
    s->pos += n;
}

// libpng sets aside (and fills) a buffer as long as a chunk says it is before it finds the
// data short: a broken length took 1.6 GB and seconds for a 124-byte file, and libpng only
// warns about a length beyond its limit. Its own buffers (a row, the inflate state, one chunk,
// which never outgrows the file) need far less, so a buffer larger than the file and a few
// MiB is refused: the chunk is then skipped, and a file that short fails as damaged.
png_voidp PngMalloc(png_structp png, png_alloc_size_t bytes) {
    const auto* s = static_cast<const PngState*>(png_get_mem_ptr(png));
    const png_alloc_size_t largest = std::max<png_alloc_size_t>(s ? s->size : 0, png_alloc_size_t{4} << 20);
    return bytes <= largest ? std::malloc(bytes) : nullptr;
}

void PngFree(png_structp, png_voidp block) { std::free(block); }

[[noreturn]] void PngError(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    std::fflush(stderr);
    png_longjmp(png, 1);
}

// Asks `allocate` for the picture's texture, keeping it or its error in the state: nothing of the
// call outlives it, so a later jump passes no destructor. Never inlined, so that the result's
// string stays out of the frame that holds the recovery point.
template <class State>
[[gnu::noinline]] bool TakeTexture(State* s, const TextureAllocator& allocate, int width, int height) {
    platform::Result<std::unique_ptr<platform::Texture>> texture = allocate(width, height);
    if (!texture) {
        s->allocationError = std::move(texture).error();
        return false;
    }
    s->texture = std::move(texture).value();
    return true;
}

platform::Error Undecodable(const char* what) { return platform::Error::Of(platform::ErrorKind::Damaged, what); }

// The part of the PNG decode that may jump back; returns through the jump on any libpng error.
bool PngDecodeBody(PngState* s, const TextureAllocator& allocate, DecodedImage* out) {
    png_structp png = s->png;
    png_infop info = s->info;
    png_set_read_fn(png, s, PngRead);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
    const bool hasTransparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    if (depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE && depth <= 8) png_set_expand(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand(png);
    // A transparency chunk on a true-colour or 8-bit grey picture names its transparent
    // colour; it becomes alpha like a palette's chunk does.
    if (hasTransparency) png_set_tRNS_to_alpha(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colour & PNG_COLOR_MASK_ALPHA) == 0 && !hasTransparency) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    double fileGamma = 0;
    if (png_get_gAMA(png, info, &fileGamma) && fileGamma > 0) png_set_gamma(png, 2.2, fileGamma);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4)
        png_error(png, "unexpected row layout after the transformations");

    if (!TakeTexture(s, allocate, static_cast<int>(width), static_cast<int>(height))) return false;
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    if (!s->texture->Lock(&bits, &pitch)) return false;
    s->locked = true;
    if (pitch < static_cast<int>(width) * 4 || s->texture->Height() < static_cast<int>(height))
        png_error(png, "texture smaller than the picture");
    s->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) s->rows[y] = bits + static_cast<std::size_t>(y) * pitch;
    png_read_image(png, s->rows.data());
    png_read_end(png, nullptr);
    s->texture->Unlock();
    s->locked = false;
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    return true;
}

// ---------------------------------------------------------------------------------------------
// JPEG

struct JpegErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf recovery;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    std::fprintf(stderr, "libjpeg error: %s\n", message);
    std::fflush(stderr);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->recovery, 1);
}

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}

// Called only when the data ran out: the picture ends here (libjpeg warns and fills the rest
// of the picture), and nothing beyond the input is ever offered.
boolean JpegFill(j_decompress_ptr cinfo) {
    cinfo->err->msg_code = JWRN_JPEG_EOF;
    (*cinfo->err->emit_message)(reinterpret_cast<j_common_ptr>(cinfo), -1);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void JpegSkip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
        JpegFill(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

struct JpegState {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager error{};
    jpeg_source_mgr source{};
    bool created = false;
    std::unique_ptr<platform::Texture> texture;
    std::optional<platform::Error> allocationError;  // what `allocate` said
    bool locked = false;
    std::vector<JSAMPLE> scanline;

    ~JpegState() {
        if (locked) texture->Unlock();
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

bool JpegDecodeBody(JpegState* s, std::span<const std::uint8_t> bytes, const TextureAllocator& allocate,
                    DecodedImage* out) {
    j_decompress_ptr cinfo = &s->cinfo;
    s->source.init_source = JpegInitSource;
    s->source.fill_input_buffer = JpegFill;
    s->source.skip_input_data = JpegSkip;
    s->source.resync_to_restart = jpeg_resync_to_restart;
    s->source.term_source = JpegTermSource;
    s->source.next_input_byte = bytes.data();
    s->source.bytes_in_buffer = bytes.size();
    cinfo->src = &s->source;

    jpeg_read_header(cinfo, TRUE);
    if (cinfo->image_width > static_cast<JDIMENSION>(kMaxPictureSide) ||
        cinfo->image_height > static_cast<JDIMENSION>(kMaxPictureSide)) {
        std::fprintf(stderr, "libjpeg error: picture of %ux%u is too large\n", cinfo->image_width, cinfo->image_height);
        return false;
    }
    jpeg_start_decompress(cinfo);
    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    const int components = cinfo->output_components;

    if (!TakeTexture(s, allocate, width, height)) return false;
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    if (!s->texture->Lock(&bits, &pitch)) return false;
    s->locked = true;
    if (pitch < width * 4 || s->texture->Height() < height) return false;

    s->scanline.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(components), 0);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = s->scanline.data();
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
        const int y = static_cast<int>(cinfo->output_scanline) - 1;
        std::uint8_t* dst = bits + static_cast<std::size_t>(y) * pitch;
        const JSAMPLE* src = s->scanline.data();
        switch (components) {
            case 3:
                for (int x = 0; x < width; ++x, src += 3, dst += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                    dst[3] = 0xFF;
                }
                break;
            case 4:
                for (int x = 0; x < width; ++x, src += 4, dst += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                    dst[3] = src[3];
                }
                break;
            case 1:
                // A grey picture shows as grey rather than as nothing.
                for (int x = 0; x < width; ++x, ++src, dst += 4) {
                    dst[0] = dst[1] = dst[2] = src[0];
                    dst[3] = 0xFF;
                }
                break;
            default:
                break;
        }
    }
    s->texture->Unlock();
    s->locked = false;
    jpeg_finish_decompress(cinfo);
    out->width = width;
    out->height = height;
    return true;
}

// The decodes under their libraries' recovery points. A function that calls setjmp keeps only
// plain values, so the results (strings and all) are made by their callers.
bool PngDecodeRecovering(PngState* s, const TextureAllocator& allocate, DecodedImage* out) {
    if (setjmp(png_jmpbuf(s->png))) {
        s->rows.clear();
        return false;
    }
    return PngDecodeBody(s, allocate, out);
}

bool JpegDecodeRecovering(JpegState* s, std::span<const std::uint8_t> bytes, const TextureAllocator& allocate,
                          DecodedImage* out) {
    if (setjmp(s->error.recovery)) return false;
    jpeg_create_decompress(&s->cinfo);
    s->created = true;
    return JpegDecodeBody(s, bytes, allocate, out);
}

}  // namespace

platform::Result<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, const TextureAllocator& allocate) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return Undecodable("not a PNG picture");
    const std::unique_ptr<PngState> s = std::make_unique<PngState>();
    s->data = bytes.data();
    s->size = bytes.size();
    s->pos = 8;
    s->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, PngError, nullptr, s.get(), PngMalloc, PngFree);
    if (!s->png) return platform::Error::Failed("libpng cannot start");
    s->info = png_create_info_struct(s->png);
    if (!s->info) return platform::Error::Failed("libpng cannot start");
    DecodedImage out;
    if (!PngDecodeRecovering(s.get(), allocate, &out)) {
        if (s->allocationError) return std::move(*s->allocationError);
        return Undecodable("a damaged PNG picture");
    }
    out.texture = std::move(s->texture);
    return out;
}

bool ReadPngSize(std::span<const std::uint8_t> bytes, int* width, int* height) {
    // Signature, then the header chunk: length 13, "IHDR", width and height big-endian, five
    // bytes of depth and layout, and its CRC, which the decoder checks.
    constexpr std::size_t kHeaderEnd = 8 + 8 + 13 + 4;
    if (bytes.size() < kHeaderEnd || png_sig_cmp(bytes.data(), 0, 8) != 0) return false;
    auto bigEndian = [&](std::size_t at) {
        return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
               std::uint32_t{bytes[at + 3]};
    };
    if (bigEndian(8) != 13 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return false;
    const std::uint32_t w = bigEndian(16), h = bigEndian(20);
    if (w < 1 || h < 1 || w > static_cast<std::uint32_t>(kMaxPictureSide) ||
        h > static_cast<std::uint32_t>(kMaxPictureSide))
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

platform::Result<DecodedImage> DecodeJpeg(std::span<const std::uint8_t> bytes, const TextureAllocator& allocate) {
    if (bytes.empty()) {
        std::fprintf(stderr, "libjpeg error: no data\n");
        return Undecodable("no data");
    }
    const std::unique_ptr<JpegState> s = std::make_unique<JpegState>();
    s->cinfo.err = jpeg_std_error(&s->error.standard);
    s->error.standard.error_exit = JpegErrorExit;
    DecodedImage out;
    if (!JpegDecodeRecovering(s.get(), bytes, allocate, &out)) {
        if (s->allocationError) return std::move(*s->allocationError);
        return Undecodable("a damaged JPEG picture");
    }
    out.texture = std::move(s->texture);
    return out;
}

platform::Result<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
    namespace fs = std::filesystem;
    using platform::Error;
    // Asked first, because a folder opens like a file and claims an enormous size, and a device
    // such as /dev/zero never ends: reading either would only exhaust memory.
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) return Error::Failed("cannot open " + path + ": " + error.message());
    if (fs::is_directory(status)) return Error::Failed("cannot read " + path + ": it is a folder, not a picture file");
    if (!fs::is_regular_file(status)) return Error::Failed("cannot read " + path + ": not a plain file");
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) return Error::Failed("cannot read " + path + ": " + error.message());
    if (size > kMaxPictureFileBytes)
        return Error::Failed("cannot read " + path + ": " + std::to_string(size) +
                             " bytes is too large for a picture file");
    std::ifstream file(path, std::ios::binary);
    if (!file) return Error::Failed("cannot open " + path + ": " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    // The size is the file's to choose, up to kMaxPictureFileBytes: more than a small machine
    // may have to spare.
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return Error::Failed("not enough memory to read " + path);
    }
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return Error::Failed("cannot read " + path);
    return bytes;
}

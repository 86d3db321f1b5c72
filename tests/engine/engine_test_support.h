// Helpers shared by the engine suites: pictures encoded in memory, an engine with a headless
// device, and reading pixels back.
#pragma once

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/resource_manager.h"

namespace enginetest {

// ARGB pixels, row after row.
using Pixels = std::vector<DWORD>;

inline std::vector<std::uint8_t> EncodePng(const Pixels& argb, int w, int h, png_uint_32 format = PNG_FORMAT_BGRA) {
    // Convert ARGB into the requested byte layout through libpng's own converter: write BGRA.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, argb.data(), w * 4, nullptr);
    std::vector<std::uint8_t> out(size);
    if (format != PNG_FORMAT_BGRA) {
        // Other layouts: re-read and write in that layout.
        png_image again{};
        again.version = PNG_IMAGE_VERSION;
        again.width = image.width;
        again.height = image.height;
        again.format = format;
        std::vector<std::uint8_t> converted(PNG_IMAGE_SIZE(again));
        std::size_t channels = PNG_IMAGE_PIXEL_CHANNELS(format);
        for (int i = 0; i < w * h; ++i) {
            DWORD p = argb[static_cast<std::size_t>(i)];
            std::uint8_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF, a = p >> 24;
            std::uint8_t* d = converted.data() + static_cast<std::size_t>(i) * channels;
            if (format == PNG_FORMAT_RGB) {
                d[0] = r;
                d[1] = g;
                d[2] = b;
            } else if (format == PNG_FORMAT_GA) {
                d[0] = g;
                d[1] = a;
            } else if (format == PNG_FORMAT_GRAY) {
                d[0] = g;
            }
        }
        size = 0;
        png_image_write_to_memory(&again, nullptr, &size, 0, converted.data(), 0, nullptr);
        out.resize(size);
        png_image_write_to_memory(&again, out.data(), &size, 0, converted.data(), 0, nullptr);
        return out;
    }
    png_image_write_to_memory(&image, out.data(), &size, 0, argb.data(), w * 4, nullptr);
    return out;
}

// A JPEG of 3 (colour) or 1 (grey) components from ARGB pixels.
inline std::vector<std::uint8_t> EncodeJpeg(const Pixels& argb, int w, int h, int components = 3, int quality = 95) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&c, &mem, &memSize);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(w * components));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            DWORD p = argb[static_cast<std::size_t>(y * w + x)];
            if (components == 3) {
                row[static_cast<std::size_t>(3 * x)] = (p >> 16) & 0xFF;
                row[static_cast<std::size_t>(3 * x + 1)] = (p >> 8) & 0xFF;
                row[static_cast<std::size_t>(3 * x + 2)] = p & 0xFF;
            } else {
                row[static_cast<std::size_t>(x)] = (p >> 8) & 0xFF;
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&c);
    std::free(mem);
    return out;
}

// A picture whose every pixel differs from its neighbours, opaque unless alpha is given.
inline Pixels Pattern(int w, int h, BYTE alpha = 0xFF) {
    Pixels p(static_cast<std::size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[static_cast<std::size_t>(y * w + x)] = (DWORD(alpha) << 24) | (DWORD((x * 7 + y * 3) & 0xFF) << 16) |
                                                     (DWORD((x * 5 + y * 11) & 0xFF) << 8) | DWORD((x ^ y) & 0xFF);
    return p;
}

inline Pixels Solid(int w, int h, DWORD argb) { return Pixels(static_cast<std::size_t>(w * h), argb); }

inline DWORD At(const Pixels& frame, int x, int y, int width = 800) {
    return frame[static_cast<std::size_t>(y * width + x)];
}

inline int ChannelDistance(DWORD a, DWORD b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int d = std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
        worst = std::max(worst, d);
    }
    return worst;
}

// An engine with a headless device of its own (not the process-wide one).
class EngineTest : public ::testing::Test {
   protected:
    void SetUp() override {
        engine = std::make_unique<IMResourceManager>();
        const platform::Result<void> device = engine->CreateDevice(nullptr, true, 800, 600, 75);
        ASSERT_TRUE(device.ok()) << device.why();
    }
    void TearDown() override { engine.reset(); }

    DWORD Register(const std::wstring& name, const Pixels& argb, int w, int h) {
        std::vector<std::uint8_t> png = EncodePng(argb, w, h);
        return engine->RegisterTexture(name, png);
    }
    Pixels Frame() { return engine->Device()->ReadBackBuffer(); }
    // Saves the frame under the build folder so a person can look at it.
    void Save(const std::string& name) { platform::GraphicsDevice::WritePng(name + ".png", Frame(), 800, 600); }

    std::unique_ptr<IMResourceManager> engine;
};

}  // namespace enginetest

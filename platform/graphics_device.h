// The graphics device: everything the engine needs from a Direct3D 9 style device, built on
// SDL2's software renderer.
//
// - Textures hold 32-bit pixels in one of two formats (bytes blue, green, red, alpha; in the
//   X format the fourth byte is ignored and the texture is opaque). Lock gives read/write
//   access to the whole texture with its row pitch; Unlock hands the pixels to the renderer.
// - One primitive: a textured quad of four vertices (top-left, top-right, bottom-right,
//   bottom-left) with per-vertex colour modulation and straight-alpha blending. Vertex
//   positions follow the Direct3D 9 convention: pixel centres sit on integer coordinates, so
//   a quad whose corners are at (x - 0.5, y - 0.5) covers whole pixels.
// - Every quad is drawn into one back buffer of BackBufferWidth x BackBufferHeight pixels;
//   Present copies it once, scaled to fit and letterboxed, to the window.
// - A clip rectangle limits drawing (pretransformed vertices: the clip only clips, it does
//   not move anything).
// - Loss: IsLost reports a lost device (simulated by tests or reported by the window);
//   the owner then destroys every texture and calls Recreate.
// - An optional texture-memory budget makes allocation fail with ErrorKind::OutOfMemory, as a
//   device with little video memory would.
//
// Headless use (tests, benchmarks, screenshots): give no window and the device opens a hidden
// window of its own; with SDL_VIDEODRIVER=offscreen nothing needs a display.
//
// GUI thread only. No SDL type appears in this header: windows are passed as the opaque
// handle platform::Window::NativeHandle() returns.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"
#include "platform/win_types.h"

namespace platform {

// Values are the Direct3D format numbers.
enum class PixelFormat : DWORD { A8R8G8B8 = 21, X8R8G8B8 = 22 };

struct QuadVertex {
    float x = 0, y = 0;         // Direct3D pixel convention (pixel centres on integers)
    DWORD colour = 0xFFFFFFFF;  // ARGB, modulates the texel
    float u = 0, v = 0;         // 0..1 across the whole texture
};

class GraphicsDevice;

class Texture {
   public:
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    PixelFormat Format() const { return format_; }

    // Gives the texture's pixels (Height() rows, `pitch` bytes apart) for reading and writing;
    // they keep what was last written. Fails (false) when the texture is already locked or its
    // device was re-created.
    bool Lock(std::uint8_t** bits, int* pitch);
    // Hands the written pixels to the renderer.
    void Unlock();
    // Reads texel (x, y) as ARGB (for the X format the fourth byte as stored). False outside
    // the texture or when it cannot be locked; nothing is handed back to the renderer.
    bool ReadTexel(int x, int y, DWORD* argb);

    // True when every pixel of rows [top, bottom) columns [left, right) is opaque.
    bool IsOpaque(int left, int top, int right, int bottom) const;

   private:
    friend class GraphicsDevice;
    Texture() = default;

    GraphicsDevice* device_ = nullptr;
    void* sdl_ = nullptr;  // SDL_Texture*, null once the device dropped it
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::A8R8G8B8;
    bool locked_ = false;
    std::uint8_t* lockedBits_ = nullptr;
    int lockedPitch_ = 0;
    std::vector<int> opaqueRun_;  // per row: how many leading pixels are opaque
};

class GraphicsDevice {
   public:
    static constexpr int kBackBufferWidth = 800;
    static constexpr int kBackBufferHeight = 600;
    // The longest texture side CreateTexture takes, as the cards the program was made for took
    // no more; it also keeps every size computation far from integer overflow.
    static constexpr int kMaxTextureSide = 4096;

    // Creates the device for `nativeWindow` (an SDL window handle) or, when it is null, for a
    // hidden window of the device's own with the given size. Fails when the renderer cannot be
    // made.
    static Result<std::unique_ptr<GraphicsDevice>> Create(void* nativeWindow, int ownWindowWidth = 800,
                                                          int ownWindowHeight = 600);
    // Starts SDL's video, and reads a display mode; each fails with SDL's reason.
    static Result<void> StartVideo();
    static Result<void> HasDisplayMode();
    ~GraphicsDevice();
    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    int BackBufferWidth() const { return kBackBufferWidth; }
    int BackBufferHeight() const { return kBackBufferHeight; }

    // Textures. Sides are used as given (the engine rounds them up to powers of two); a side
    // outside 1 .. kMaxTextureSide fails. The new texture's pixels are all zero. ErrorKind::
    // OutOfMemory when the texture-memory budget has no room for it (another texture's release
    // makes room); Failed for anything else, with the reason.
    Result<std::unique_ptr<Texture>> CreateTexture(int width, int height, PixelFormat format);
    // Bytes of texture memory in use, and the budget (0 = none).
    std::size_t TextureMemoryInUse() const { return memoryInUse_; }
    void SetTextureMemoryBudget(std::size_t bytes) { budget_ = bytes; }
    int LiveTextureCount() const { return static_cast<int>(textures_.size()); }

    // Frame.
    void Clear(DWORD argb);
    void SetClip(const RECT& clip);  // intersected with the back buffer
    RECT Clip() const { return clip_; }
    // Draws one quad into the back buffer. A texture that is opaque under the quad, drawn with
    // full colour, is copied without blending. A quad drawn smaller than the texels it shows
    // (either edge shorter on screen) is filtered linearly, as a device's linear minification
    // filter does; drawn at its size or larger it takes the nearest texel.
    void DrawQuad(Texture& texture, const QuadVertex vertices[4]);
    // Copies the back buffer, scaled to fit and centred, to the window and shows it. With the
    // software renderer (whose window keeps what it was last shown) only the part of the
    // picture that changed since the last present is scaled and copied, plus a margin; a frame
    // that changed nothing, the first one, and any after the window was exposed or resized
    // copy it whole.
    void Present();
    // The next Present copies the whole picture, changed or not (as after the window lost its
    // contents, which its Window notes by itself).
    void PresentWholeNext() { wholeNext_ = true; }
    // Tests: what the window shows, rows of `*width` ARGB values (read from the renderer's
    // output); empty when it cannot be read.
    std::vector<DWORD> ReadWindow(int* width, int* height);
    // How many presents copied only a part of the picture.
    int PartialPresentCount() const { return partialPresents_; }

    // Reads the back buffer: kBackBufferHeight rows of kBackBufferWidth ARGB values.
    std::vector<DWORD> ReadBackBuffer();
    // Writes pixels (rows of `width` ARGB values) as a PNG file; false with a line on stderr.
    static bool WritePng(const std::string& path, const std::vector<DWORD>& argb, int width, int height);

    // Loss.
    bool IsLost() const { return lost_; }
    void SimulateLoss() { lost_ = true; }
    // Makes a new renderer for the same window. Every texture must have been destroyed first
    // (a survivor is detached and can no longer be drawn). Fails when the renderer cannot be
    // made; the device then stays lost.
    Result<void> Recreate();
    // Tests: the next `count` Recreate calls fail.
    void FailNextRecreations(int count) { failRecreations_ = count; }

    // The window the device presents to (SDL window handle).
    void* NativeWindow() const { return window_; }

   private:
    friend class Texture;
    GraphicsDevice() = default;
    Result<void> MakeRenderer();
    void DestroyRenderer();
    void Forget(Texture* texture);
    // The part of the back buffer that differs from what was last presented, or nothing when
    // all of it must be copied. Keeps the back buffer's pixels for the next call.
    bool ChangedSinceLastPresent(int outputWidth, int outputHeight, RECT* changed);
    void ReadBackBufferInto(DWORD* pixels);  // kBackBufferWidth x kBackBufferHeight values

    void* window_ = nullptr;  // SDL_Window*
    bool ownWindow_ = false;
    void* renderer_ = nullptr;    // SDL_Renderer*
    void* backBuffer_ = nullptr;  // SDL_Texture* render target
    RECT clip_{0, 0, kBackBufferWidth, kBackBufferHeight};
    bool lost_ = false;
    bool keepsWindowContents_ = false;  // the software renderer: its window keeps the last frame
    bool wholeNext_ = false;            // PresentWholeNext
    std::vector<DWORD> shown_;          // the back buffer as last presented
    std::vector<DWORD> drawn_;          // the back buffer as it is now (reused between frames)
    int shownWidth_ = 0, shownHeight_ = 0;
    int partialPresents_ = 0;
    int failRecreations_ = 0;
    std::size_t budget_ = 0;
    std::size_t memoryInUse_ = 0;
    std::vector<Texture*> textures_;
};

}  // namespace platform

#include "platform/graphics_device.h"

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <utility>

#include "platform/debug.h"
#include "platform/window.h"

namespace platform {
namespace {

SDL_Window* Sdl(void* p) { return static_cast<SDL_Window*>(p); }
SDL_Renderer* Ren(void* p) { return static_cast<SDL_Renderer*>(p); }
SDL_Texture* Tex(void* p) { return static_cast<SDL_Texture*>(p); }

SDL_Color ToSdlColour(DWORD argb) {
    return SDL_Color{static_cast<Uint8>((argb >> 16) & 0xFF), static_cast<Uint8>((argb >> 8) & 0xFF),
                     static_cast<Uint8>(argb & 0xFF), static_cast<Uint8>(argb >> 24)};
}

bool IsWhole(float f) { return std::floor(f) == f; }

// The quad's two triangles, top-left to bottom-right.
const int kFan[6] = {0, 1, 2, 0, 2, 3};

// SDL's software triangles always take the nearest texel. So the texels `shown` of a shrunk
// quad are first scaled, with linear filtering, to the quad's size on screen (`width` along its
// top edge, `height` down its left one), and the quad is drawn from that copy, texel for pixel.
// The texture's u must run along the top edge and v down the left one. False when the copy
// cannot be made. The target is the back buffer again afterwards, but its clip is forgotten.
bool DrawShrunkGeometry(SDL_Renderer* r, SDL_Texture* backBuffer, SDL_Texture* t, const SDL_Rect& shown,
                        SDL_Vertex sv[4], int width, int height, bool opaque) {
    if (shown.w <= 0 || shown.h <= 0 || width <= 0 || height <= 0 || width > GraphicsDevice::kMaxTextureSide ||
        height > GraphicsDevice::kMaxTextureSide)
        return false;
    int tw = 0, th = 0;
    SDL_QueryTexture(t, nullptr, nullptr, &tw, &th);
    SDL_Texture* scaled = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width, height);
    if (!scaled) return false;
    const SDL_BlendMode blend = opaque ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND;
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_NONE);
    SDL_SetRenderTarget(r, scaled);
    const bool copied = SDL_RenderCopy(r, t, &shown, nullptr) == 0;
    SDL_SetRenderTarget(r, backBuffer);
    SDL_SetTextureBlendMode(t, blend);  // for the caller's fallback, should the copy have failed
    if (copied) {
        for (int i = 0; i < 4; ++i) {
            sv[i].tex_coord.x = (sv[i].tex_coord.x * static_cast<float>(tw) - static_cast<float>(shown.x)) /
                                static_cast<float>(shown.w);
            sv[i].tex_coord.y = (sv[i].tex_coord.y * static_cast<float>(th) - static_cast<float>(shown.y)) /
                                static_cast<float>(shown.h);
        }
        SDL_SetTextureBlendMode(scaled, blend);
        SDL_RenderGeometry(r, scaled, sv, 4, kFan, 6);
    }
    SDL_DestroyTexture(scaled);
    return copied;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Texture

Texture::~Texture() {
    if (locked_) Unlock();
    if (sdl_) SDL_DestroyTexture(Tex(sdl_));
    if (device_) device_->Forget(this);
}

bool Texture::Lock(std::uint8_t** bits, int* pitch) {
    if (!sdl_ || locked_) return false;
    void* pixels = nullptr;
    int p = 0;
    if (SDL_LockTexture(Tex(sdl_), nullptr, &pixels, &p) != 0) {
        Debug::Print(std::string("cannot lock a texture: ") + SDL_GetError());
        return false;
    }
    locked_ = true;
    lockedBits_ = static_cast<std::uint8_t*>(pixels);
    lockedPitch_ = p;
    *bits = lockedBits_;
    *pitch = p;
    return true;
}

void Texture::Unlock() {
    if (!locked_) return;
    // Remember which rows are opaque from their start, so that drawing can skip blending.
    opaqueRun_.assign(static_cast<std::size_t>(height_), format_ == PixelFormat::X8R8G8B8 ? width_ : 0);
    if (format_ == PixelFormat::A8R8G8B8) {
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t* row = lockedBits_ + static_cast<std::size_t>(y) * lockedPitch_;
            int x = 0;
            while (x < width_ && row[4 * x + 3] == 0xFF) ++x;
            opaqueRun_[static_cast<std::size_t>(y)] = x;
        }
    }
    SDL_UnlockTexture(Tex(sdl_));
    locked_ = false;
    lockedBits_ = nullptr;
}

bool Texture::ReadTexel(int x, int y, DWORD* argb) {
    if (!sdl_ || locked_ || x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(Tex(sdl_), nullptr, &pixels, &pitch) != 0) return false;
    // Bytes blue, green, red, alpha are one little-endian ARGB value.
    std::memcpy(argb, static_cast<const std::uint8_t*>(pixels) + static_cast<std::size_t>(y) * pitch + 4 * x, 4);
    SDL_UnlockTexture(Tex(sdl_));
    return true;
}

bool Texture::IsOpaque(int left, int top, int right, int bottom) const {
    if (format_ == PixelFormat::X8R8G8B8) return true;
    top = std::max(top, 0);
    bottom = std::min(bottom, static_cast<int>(opaqueRun_.size()));
    if (left >= right || top >= bottom) return false;
    for (int y = top; y < bottom; ++y)
        if (opaqueRun_[static_cast<std::size_t>(y)] < right) return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Device life

Result<void> GraphicsDevice::StartVideo() {
    // The software renderer must not go through an OpenGL window surface: without a GPU that
    // costs three times the start-up time and seven times the memory. A user's own environment
    // setting still wins over this default.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Error::Failed(SDL_GetError());
    return {};
}

Result<void> GraphicsDevice::HasDisplayMode() {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return Error::Failed(SDL_GetError());
    return {};
}

Result<std::unique_ptr<GraphicsDevice>> GraphicsDevice::Create(void* nativeWindow, int ownWindowWidth,
                                                               int ownWindowHeight) {
    VORLEN_TRY(StartVideo());
    std::unique_ptr<GraphicsDevice> device(new GraphicsDevice());
    if (nativeWindow) {
        device->window_ = nativeWindow;
    } else {
        SDL_Window* own = SDL_CreateWindow("vorlen", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, ownWindowWidth,
                                           ownWindowHeight, SDL_WINDOW_HIDDEN);
        if (!own) return Error::Failed(std::string("cannot open a hidden window: ") + SDL_GetError());
        device->window_ = own;
        device->ownWindow_ = true;
    }
    VORLEN_TRY(device->MakeRenderer());
    return device;
}

GraphicsDevice::~GraphicsDevice() {
    for (Texture* t : textures_) {
        if (t->sdl_) SDL_DestroyTexture(Tex(t->sdl_));
        t->sdl_ = nullptr;
        t->device_ = nullptr;
    }
    textures_.clear();
    DestroyRenderer();
    if (ownWindow_ && window_) SDL_DestroyWindow(Sdl(window_));
}

Result<void> GraphicsDevice::MakeRenderer() {
    // The software renderer unless the user named another one through SDL's own setting.
    Uint32 flags = SDL_getenv("SDL_RENDER_DRIVER") ? 0u : static_cast<Uint32>(SDL_RENDERER_SOFTWARE);
    SDL_Renderer* renderer = SDL_CreateRenderer(Sdl(window_), -1, flags);
    if (!renderer) return Error::Failed(std::string("cannot create the renderer: ") + SDL_GetError());
    SDL_Texture* back = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                          kBackBufferWidth, kBackBufferHeight);
    if (!back) {
        Error error = Error::Failed(std::string("cannot create the back buffer: ") + SDL_GetError());
        SDL_DestroyRenderer(renderer);
        return error;
    }
    SDL_SetTextureBlendMode(back, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(back, SDL_ScaleModeLinear);
    SDL_SetRenderTarget(renderer, back);
    renderer_ = renderer;
    backBuffer_ = back;
    SDL_RendererInfo info{};
    keepsWindowContents_ =
        SDL_GetRendererInfo(renderer, &info) == 0 && info.name && std::strcmp(info.name, "software") == 0;
    shown_.clear();
    SetClip(RECT{0, 0, kBackBufferWidth, kBackBufferHeight});
    return {};
}

void GraphicsDevice::DestroyRenderer() {
    if (backBuffer_) SDL_DestroyTexture(Tex(backBuffer_));
    backBuffer_ = nullptr;
    if (renderer_) SDL_DestroyRenderer(Ren(renderer_));
    renderer_ = nullptr;
}

Result<void> GraphicsDevice::Recreate() {
    // Whatever the owner did not destroy can no longer be drawn: the renderer that made it goes.
    for (Texture* t : textures_) {
        if (t->sdl_) SDL_DestroyTexture(Tex(t->sdl_));
        t->sdl_ = nullptr;
        t->device_ = nullptr;
    }
    textures_.clear();
    memoryInUse_ = 0;
    DestroyRenderer();
    if (failRecreations_ > 0) {
        --failRecreations_;
        lost_ = true;
        return Error::Failed("device re-creation refused (test)");
    }
    Result<void> made = MakeRenderer();
    lost_ = !made;
    return made;
}

// ---------------------------------------------------------------------------------------------
// Textures

Result<std::unique_ptr<Texture>> GraphicsDevice::CreateTexture(int width, int height, PixelFormat format) {
    if (!renderer_) return Error::Failed("cannot create a texture: the device has no renderer");
    if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide)
        return Error::Failed("cannot create a texture of " + std::to_string(width) + " x " + std::to_string(height) +
                             ": each side must be 1 to " + std::to_string(kMaxTextureSide));
    std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (budget_ != 0 && memoryInUse_ + bytes > budget_)
        return Error::Of(ErrorKind::OutOfMemory, "out of texture memory");
    Uint32 sdlFormat = format == PixelFormat::X8R8G8B8 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_ARGB8888;
    SDL_Texture* t = SDL_CreateTexture(Ren(renderer_), sdlFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!t) return Error::Failed(std::string("cannot create a texture: ") + SDL_GetError());
    // Magnified pictures keep hard texel edges, as the device's default point filter shows them.
    SDL_SetTextureScaleMode(t, SDL_ScaleModeNearest);
    std::unique_ptr<Texture> texture(new Texture());
    texture->device_ = this;
    texture->sdl_ = t;
    texture->width_ = width;
    texture->height_ = height;
    texture->format_ = format;
    // Start from all-zero pixels whatever the renderer's memory held.
    std::uint8_t* bits = nullptr;
    int pitch = 0;
    if (texture->Lock(&bits, &pitch)) {
        for (int y = 0; y < height; ++y) std::fill_n(bits + static_cast<std::size_t>(y) * pitch, width * 4, 0);
        texture->Unlock();
    }
    memoryInUse_ += bytes;
    textures_.push_back(texture.get());
    return texture;
}

void GraphicsDevice::Forget(Texture* texture) {
    auto it = std::find(textures_.begin(), textures_.end(), texture);
    if (it == textures_.end()) return;
    textures_.erase(it);
    std::size_t bytes = static_cast<std::size_t>(texture->width_) * static_cast<std::size_t>(texture->height_) * 4;
    memoryInUse_ = memoryInUse_ >= bytes ? memoryInUse_ - bytes : 0;
}

// ---------------------------------------------------------------------------------------------
// Frame

void GraphicsDevice::Clear(DWORD argb) {
    if (!renderer_) return;
    SDL_Color c = ToSdlColour(argb);
    SDL_SetRenderDrawColor(Ren(renderer_), c.r, c.g, c.b, c.a);
    SDL_RenderClear(Ren(renderer_));
}

void GraphicsDevice::SetClip(const RECT& clip) {
    RECT whole{0, 0, kBackBufferWidth, kBackBufferHeight};
    if (!IntersectRect(&clip_, clip, whole)) clip_ = RECT{};
    if (!renderer_) return;
    SDL_Rect r{clip_.left, clip_.top, clip_.right - clip_.left, clip_.bottom - clip_.top};
    SDL_RenderSetClipRect(Ren(renderer_), &r);
}

void GraphicsDevice::DrawQuad(Texture& texture, const QuadVertex v[4]) {
    if (!renderer_ || !texture.sdl_ || texture.locked_ || IsRectEmpty(clip_)) return;
    SDL_Texture* t = Tex(texture.sdl_);
    const float tw = static_cast<float>(texture.width_);
    const float th = static_cast<float>(texture.height_);
    const DWORD colour = v[0].colour;
    const bool oneColour = v[1].colour == colour && v[2].colour == colour && v[3].colour == colour;

    // The texels the quad samples, to decide whether it can be copied without blending.
    float uMin = std::min({v[0].u, v[1].u, v[2].u, v[3].u}), uMax = std::max({v[0].u, v[1].u, v[2].u, v[3].u});
    float vMin = std::min({v[0].v, v[1].v, v[2].v, v[3].v}), vMax = std::max({v[0].v, v[1].v, v[2].v, v[3].v});
    int texLeft = static_cast<int>(std::floor(uMin * tw)), texRight = static_cast<int>(std::ceil(uMax * tw));
    int texTop = static_cast<int>(std::floor(vMin * th)), texBottom = static_cast<int>(std::ceil(vMax * th));
    bool opaque = oneColour && (colour >> 24) == 0xFF && texture.IsOpaque(texLeft, texTop, texRight, texBottom);
    SDL_SetTextureBlendMode(t, opaque ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND);

    // Shrunk: an edge of the quad covers fewer pixels than the texels along it. Averaging
    // neighbouring texels then keeps thin lines and fine patterns from breaking up or shimmering;
    // at full size or larger each pixel shows its nearest texel, so magnified pictures keep hard
    // texel edges.
    const float across = std::hypot(v[1].x - v[0].x, v[1].y - v[0].y);
    const float down = std::hypot(v[3].x - v[0].x, v[3].y - v[0].y);
    const bool shrunk = across < std::hypot((v[1].u - v[0].u) * tw, (v[1].v - v[0].v) * th) ||
                        down < std::hypot((v[3].u - v[0].u) * tw, (v[3].v - v[0].v) * th);
    SDL_SetTextureScaleMode(t, shrunk ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);

    // SDL puts pixel centres at half-integers, Direct3D at integers.
    SDL_Vertex sv[4];
    for (int i = 0; i < 4; ++i) {
        sv[i].position = SDL_FPoint{v[i].x + 0.5f, v[i].y + 0.5f};
        sv[i].color = ToSdlColour(v[i].colour);
        sv[i].tex_coord = SDL_FPoint{v[i].u, v[i].v};
    }

    // An upright quad on whole pixels showing whole texels in one colour is a plain copy.
    const bool upright = sv[0].position.y == sv[1].position.y && sv[1].position.x == sv[2].position.x &&
                         sv[2].position.y == sv[3].position.y && sv[3].position.x == sv[0].position.x &&
                         sv[0].position.x < sv[1].position.x && sv[0].position.y < sv[3].position.y &&
                         v[0].v == v[1].v && v[1].u == v[2].u && v[2].v == v[3].v && v[3].u == v[0].u &&
                         v[0].u < v[1].u && v[0].v < v[3].v;
    if (oneColour && upright && IsWhole(sv[0].position.x) && IsWhole(sv[0].position.y) && IsWhole(sv[2].position.x) &&
        IsWhole(sv[2].position.y) && IsWhole(v[0].u * tw) && IsWhole(v[0].v * th) && IsWhole(v[2].u * tw) &&
        IsWhole(v[2].v * th)) {
        SDL_Rect src{static_cast<int>(v[0].u * tw), static_cast<int>(v[0].v * th),
                     static_cast<int>((v[2].u - v[0].u) * tw), static_cast<int>((v[2].v - v[0].v) * th)};
        SDL_Rect dst{static_cast<int>(sv[0].position.x), static_cast<int>(sv[0].position.y),
                     static_cast<int>(sv[2].position.x - sv[0].position.x),
                     static_cast<int>(sv[2].position.y - sv[0].position.y)};
        SDL_Color c = sv[0].color;
        SDL_SetTextureColorMod(t, c.r, c.g, c.b);
        SDL_SetTextureAlphaMod(t, c.a);
        SDL_RenderCopy(Ren(renderer_), t, &src, &dst);
        return;
    }
    SDL_SetTextureColorMod(t, 255, 255, 255);
    SDL_SetTextureAlphaMod(t, 255);
    // The texture's u runs along the top edge and v down the left one, as the engine's quads
    // (upright or rotated) always have them.
    if (shrunk && v[0].v == v[1].v && v[0].u == v[3].u) {
        const int left = std::max(texLeft, 0), top = std::max(texTop, 0);
        const SDL_Rect shown{left, top, std::min(texRight, texture.width_) - left,
                             std::min(texBottom, texture.height_) - top};
        const bool drawn =
            DrawShrunkGeometry(Ren(renderer_), Tex(backBuffer_), t, shown, sv, static_cast<int>(std::lround(across)),
                               static_cast<int>(std::lround(down)), opaque);
        SetClip(clip_);
        if (drawn) return;
    }
    SDL_RenderGeometry(Ren(renderer_), t, sv, 4, kFan, 6);
}

bool GraphicsDevice::ChangedSinceLastPresent(int outputWidth, int outputHeight, RECT* changed) {
    // The window's event pump notes when it lost its contents or changed size.
    Window* owner = Window::FromNativeHandle(window_);
    const bool asked = std::exchange(wholeNext_, false);
    const bool wholeNeeded = (owner && owner->TakeWholeWindowNeeded()) || asked;
    // A renderer whose window does not keep the last frame always gets the whole picture, so
    // its frames are not read back at all.
    if (!keepsWindowContents_) return false;
    const bool sameWindow = outputWidth == shownWidth_ && outputHeight == shownHeight_;
    // Two buffers that take turns, so that no frame allocates (and touches fresh pages).
    std::vector<DWORD>& now = drawn_;
    now.resize(static_cast<std::size_t>(kBackBufferWidth) * kBackBufferHeight);
    ReadBackBufferInto(now.data());
    const bool comparable = !wholeNeeded && sameWindow && shown_.size() == now.size();
    int top = kBackBufferHeight, bottom = 0, left = kBackBufferWidth, right = 0;
    if (comparable) {
        for (int y = 0; y < kBackBufferHeight; ++y) {
            const DWORD* a = &now[static_cast<std::size_t>(y) * kBackBufferWidth];
            const DWORD* b = &shown_[static_cast<std::size_t>(y) * kBackBufferWidth];
            if (std::memcmp(a, b, kBackBufferWidth * sizeof(DWORD)) == 0) continue;
            top = std::min(top, y);
            bottom = y + 1;
            int x0 = 0, x1 = kBackBufferWidth;
            while (a[x0] == b[x0]) ++x0;
            while (a[x1 - 1] == b[x1 - 1]) --x1;
            left = std::min(left, x0);
            right = std::max(right, x1);
        }
    }
    shown_.swap(now);
    shownWidth_ = outputWidth;
    shownHeight_ = outputHeight;
    // Nothing changed: the frame was drawn because the window needs it (shown again, exposed),
    // so all of it goes.
    if (!comparable || top >= bottom) return false;
    *changed = RECT{left, top, right, bottom};
    return true;
}

void GraphicsDevice::Present() {
    if (!renderer_) return;
    SDL_Renderer* r = Ren(renderer_);
    // The window's size, asked with the window as the target: while the back buffer is the
    // target SDL answers with the back buffer's 800 x 600, and the picture would then be copied
    // unscaled into the corner of a larger screen or of a window made larger.
    int w = 0, h = 0;
    SDL_SetRenderTarget(r, nullptr);
    SDL_GetRendererOutputSize(r, &w, &h);
    SDL_SetRenderTarget(r, Tex(backBuffer_));
    RECT changed{};
    const bool partial = ChangedSinceLastPresent(w, h, &changed);
    SDL_SetRenderTarget(r, nullptr);
    SDL_RenderSetClipRect(r, nullptr);
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_Rect dst{0, 0, w, h};
    if (w != kBackBufferWidth || h != kBackBufferHeight) {
        // Fit the back buffer inside the window, keeping its shape; black bars fill the rest.
        double scale = std::min(static_cast<double>(w) / kBackBufferWidth, static_cast<double>(h) / kBackBufferHeight);
        dst.w = static_cast<int>(std::lround(kBackBufferWidth * scale));
        dst.h = static_cast<int>(std::lround(kBackBufferHeight * scale));
        dst.x = (w - dst.w) / 2;
        dst.y = (h - dst.h) / 2;
    }
    // A part is copied on whole periods of the scaling (25 pixels become 32 at 1024 x 768), so
    // that its pixels land exactly where the whole picture's would, with one period of margin
    // around the change: linear filtering at the part's edges sees only unchanged pixels.
    const int periodX = kBackBufferWidth / std::gcd(kBackBufferWidth, dst.w);
    const int periodY = kBackBufferHeight / std::gcd(kBackBufferHeight, dst.h);
    SDL_Rect src{0, 0, kBackBufferWidth, kBackBufferHeight};
    // Scaled, a part's pixels still differ from the whole picture's by up to a tenth of a
    // channel next to the change (SDL filters a part from its own edges): a scaled window gets
    // the whole picture until they match.
    const bool unscaled = dst.w == kBackBufferWidth && dst.h == kBackBufferHeight;
    if (partial && unscaled && periodX <= 100 && periodY <= 100) {
        const int x0 = std::max(0, (changed.left / periodX - 1) * periodX);
        const int x1 = std::min(kBackBufferWidth, ((changed.right + periodX - 1) / periodX + 1) * periodX);
        const int y0 = std::max(0, (changed.top / periodY - 1) * periodY);
        const int y1 = std::min(kBackBufferHeight, ((changed.bottom + periodY - 1) / periodY + 1) * periodY);
        // A large change costs as much either way.
        if ((x1 - x0) * (y1 - y0) * 2 < kBackBufferWidth * kBackBufferHeight) {
            src = SDL_Rect{x0, y0, x1 - x0, y1 - y0};
            ++partialPresents_;
            dst = SDL_Rect{dst.x + x0 * dst.w / kBackBufferWidth, dst.y + y0 * dst.h / kBackBufferHeight,
                           (x1 - x0) * dst.w / kBackBufferWidth, (y1 - y0) * dst.h / kBackBufferHeight};
        }
    }
    if (src.w == kBackBufferWidth && src.h == kBackBufferHeight && (dst.w != w || dst.h != h)) {
        // Only the bars are painted: clearing the whole window first cost a fifth of a present
        // for pixels the picture covers anyway.
        const SDL_Rect bars[4] = {{0, 0, w, dst.y},
                                  {0, dst.y + dst.h, w, h - dst.y - dst.h},
                                  {0, dst.y, dst.x, dst.h},
                                  {dst.x + dst.w, dst.y, w - dst.x - dst.w, dst.h}};
        for (const SDL_Rect& bar : bars)
            if (bar.w > 0 && bar.h > 0) SDL_RenderFillRect(r, &bar);
    }
    SDL_RenderCopy(r, Tex(backBuffer_), &src, &dst);
    SDL_RenderPresent(r);
    SDL_SetRenderTarget(r, Tex(backBuffer_));
    SetClip(clip_);
}

std::vector<DWORD> GraphicsDevice::ReadWindow(int* width, int* height) {
    *width = *height = 0;
    if (!renderer_) return {};
    SDL_Renderer* r = Ren(renderer_);
    SDL_SetRenderTarget(r, nullptr);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(r, &w, &h);
    std::vector<DWORD> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const bool read = SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), w * 4) == 0;
    SDL_SetRenderTarget(r, Tex(backBuffer_));
    SetClip(clip_);
    if (!read) return {};
    *width = w;
    *height = h;
    return pixels;
}

std::vector<DWORD> GraphicsDevice::ReadBackBuffer() {
    std::vector<DWORD> pixels(static_cast<std::size_t>(kBackBufferWidth) * kBackBufferHeight, 0);
    ReadBackBufferInto(pixels.data());
    return pixels;
}

void GraphicsDevice::ReadBackBufferInto(DWORD* pixels) {
    if (!renderer_) return;
    SDL_Renderer* r = Ren(renderer_);
    // Reading covers the whole target, whatever the clip.
    SDL_RenderSetClipRect(r, nullptr);
    if (SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels, kBackBufferWidth * 4) != 0)
        Debug::Print(std::string("cannot read the back buffer: ") + SDL_GetError());
    SetClip(clip_);
}

bool GraphicsDevice::WritePng(const std::string& path, const std::vector<DWORD>& argb, int width, int height) {
    if (width <= 0 || height <= 0 || argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;  // ARGB values in memory on a little-endian machine
    if (!png_image_write_to_file(&image, path.c_str(), 0, argb.data(), width * 4, nullptr)) {
        Debug::Print("cannot write " + path + ": " + image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace platform

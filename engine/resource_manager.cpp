// The device half of the engine: life, device and loss, frame, clip and origin, drawing and
// the low-level texture operations. The registry half is in texture_registry.cpp.
#include "engine/resource_manager.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>
#include <string>

#include "engine/image_decoder.h"
#include "engine/skin.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/resource_module.h"
#include "platform/window.h"

namespace {
// The engine of the process and its owner, from InitEngine to ShutdownEngine: the window starts
// and stops it, and GetResourceManager is how the pictures, fonts and sounds of every control
// reach it, as the Direct3D-style engine interface the controls are written against expects.
std::unique_ptr<IMResourceManager> g_engine;
}  // namespace

// Only for checked sides: above 2^30 the result would not fit an int.
int IMResourceManager::TextureSide(int side) {
    VORLEN_VERIFY(side >= 1 && side <= kMaxPictureSide, "texture side outside the checked range");
    return static_cast<int>(std::bit_ceil(static_cast<unsigned>(side)));
}

IMResourceManager* GetResourceManager() { return g_engine.get(); }

IMResourceManager::IMResourceManager(platform::Clock& clock) : CSoundSystem(clock) {}

IMResourceManager::~IMResourceManager() {
    // Textures go before the device that made them.
    slots_.clear();
    names_.clear();
    freeSlots_.clear();
    device_.reset();
}

// ---------------------------------------------------------------------------------------------
// Engine life

namespace {

// Sounds by number: the program's own resources, then the companion module's.
SoundResourceModules SoundResources() {
    auto asBytes = [](std::optional<platform::ResourceBytes> bytes) {
        return bytes ? std::as_bytes(*bytes) : std::span<const std::byte>{};
    };
    SoundResourceModules modules;
    modules.program = [asBytes](int number) { return asBytes(platform::ResourceModule::Program().FindNumber(number)); };
    modules.companion = [asBytes](int number) {
        // A sound reads its bytes for as long as it plays, so the module stays open once found.
        static const auto module = platform::ResourceModule::OpenCompanion();
        return module ? asBytes((*module)->FindNumber(number)) : std::span<const std::byte>{};
    };
    return modules;
}

}  // namespace

platform::Result<void> InitEngine(bool windowed, platform::Clock& clock, platform::Window* main) {
    if (g_engine) {
        platform::Debug::Print("InitEngine called twice; the running engine is kept");
        return {};
    }
    // Reachable while it starts, as while it runs.
    g_engine = std::make_unique<IMResourceManager>(clock);
    IMResourceManager* engine = g_engine.get();
    engine->startTime_ = clock.Milliseconds();
    engine->frames_ = 0;
    void* window = main ? main->NativeHandle() : nullptr;
    // The sound base starts here, with the main window, before the device; its result is ignored.
    engine->Init();
    engine->SetResources(SoundResources());
    platform::Result<void> device =
        engine->CreateDevice(window, windowed, platform::GraphicsDevice::kBackBufferWidth,
                             platform::GraphicsDevice::kBackBufferHeight, IMResourceManager::kRefreshRate);
    if (!device) {
        g_engine.reset();
        return device;
    }
    engine->RegisterSkin();
    return {};
}

void ShutdownEngine() {
    IMResourceManager* engine = g_engine.get();
    if (!engine) return;
    for (const wchar_t* name : kSkinNames) engine->ReleaseTextureByName(name);
    DWORD elapsed = engine->Clock().Milliseconds() - engine->startTime_;
    // Shutting down within the first millisecond must not divide by zero.
    DWORD fps = elapsed ? engine->frames_ * 1000u / elapsed : 0u;
    platform::Debug::Trace("FPS: " + std::to_string(fps));
    // GetResourceManager() reads null while the engine is destroyed.
    g_engine.reset();
}

// ---------------------------------------------------------------------------------------------
// Device

platform::Result<void> IMResourceManager::CreateDevice(void* nativeWindow, bool windowed, int width, int height,
                                                       int refresh) {
    if (platform::Result<void> video = platform::GraphicsDevice::StartVideo(); !video) {
        platform::Debug::Print("video: " + video.why());
        return platform::Error::Failed("Can't init Direct3D");
    }
    if (platform::Result<void> mode = platform::GraphicsDevice::HasDisplayMode(); !mode) {
        platform::Debug::Print("display mode: " + mode.why());
        return platform::Error::Failed("Can't init DisplayMode");
    }
    window_ = nativeWindow;
    windowed_ = windowed;
    if (!windowed) refreshRate_ = refresh;
    // The back buffer keeps the program's 800 x 600 in both modes; the window scales it.
    (void)width;
    (void)height;
    platform::Result<void> made;
    if (device_) {
        made = device_->Recreate();
    } else if (auto created = platform::GraphicsDevice::Create(nativeWindow)) {
        device_ = std::move(created).value();
    } else {
        made = std::move(created).error();
    }
    if (!made) {
        platform::Debug::Print("cannot create the graphics device: " + made.why());
        return platform::Error::Failed("Не могу создать устройство Direct3D");
    }
    BackBufferWidth = device_->BackBufferWidth();
    BackBufferHeight = device_->BackBufferHeight();
    deviceLost_ = false;
    return {};
}

bool IMResourceManager::IsDeviceLost() {
    if (!deviceLost_) deviceLost_ = !device_ || device_->IsLost();
    return deviceLost_;
}

bool IMResourceManager::ResetDevice() {
    for (DWORD slot = 0; slot < slotCount_; ++slot)
        if (slots_[slot] && slots_[slot]->texture) DropTexture(slot);
    if (deviceLost_) {
        deviceLost_ = !CreateDevice(window_, windowed_, BackBufferWidth, BackBufferHeight, refreshRate_);
    }
    return !deviceLost_;
}

// ---------------------------------------------------------------------------------------------
// Frame, clip and origin

void IMResourceManager::BeginFrame() {
    if (device_) device_->Clear(0xFF000000u);
}

void IMResourceManager::EndFrame() {
    ++frames_;
    if (device_) device_->Present();
}

RECT IMResourceManager::GetClip() const {
    return device_ ? device_->Clip() : RECT{0, 0, BackBufferWidth, BackBufferHeight};
}

void IMResourceManager::SetClip(const RECT& clip) {
    if (device_) device_->SetClip(clip);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void IMResourceManager::DrawTexture(DWORD slot, const RECT& dst, const RECT* src, DWORD colour, float angle) {
    IMTextureEntry* entry = Entry(slot);
    if (!entry || !device_) return;
    if (!entry->texture) RestoreTexture(slot);
    if (!entry->texture) return;
    const RECT source = src ? *src : entry->image;
    if (!(dst.left < dst.right && dst.top < dst.bottom)) return;

    const float tw = static_cast<float>(entry->textureWidth);
    const float th = static_cast<float>(entry->textureHeight);
    const float ox = static_cast<float>(originX_);
    const float oy = static_cast<float>(originY_);
    platform::QuadVertex v[4];
    for (auto& vertex : v) vertex.colour = colour;

    if (angle == 0.0f) {
        // Corners on pixel edges: with Direct3D's pixel centres on integers, the half-pixel
        // shift puts each texel centre on a pixel centre.
        const float left = ox + static_cast<float>(dst.left) - 0.5f;
        const float top = oy + static_cast<float>(dst.top) - 0.5f;
        const float right = ox + static_cast<float>(dst.right) - 0.5f;
        const float bottom = oy + static_cast<float>(dst.bottom) - 0.5f;
        const float u0 = static_cast<float>(source.left) / tw, u1 = static_cast<float>(source.right) / tw;
        const float v0 = static_cast<float>(source.top) / th, v1 = static_cast<float>(source.bottom) / th;
        v[0] = {left, top, colour, u0, v0};
        v[1] = {right, top, colour, u1, v0};
        v[2] = {right, bottom, colour, u1, v1};
        v[3] = {left, bottom, colour, u0, v1};
        if (!(v[0].x < v[2].x && v[0].y < v[2].y)) return;
    } else {
        const float cx = (static_cast<float>(dst.left) + static_cast<float>(dst.right)) * 0.5f;
        const float cy = (static_cast<float>(dst.top) + static_cast<float>(dst.bottom)) * 0.5f;
        const float c = std::cos(angle), s = std::sin(angle);
        const float px[4] = {static_cast<float>(dst.left), static_cast<float>(dst.right), static_cast<float>(dst.right),
                             static_cast<float>(dst.left)};
        const float py[4] = {static_cast<float>(dst.top), static_cast<float>(dst.top), static_cast<float>(dst.bottom),
                             static_cast<float>(dst.bottom)};
        // Each corner's distance to the rotated left and top edges is 0 or the destination's
        // width or height, so the texture coordinates come out as the source's size taken
        // from the texture's top-left corner.
        const float uMax = static_cast<float>(source.right - source.left) / tw;
        const float vMax = static_cast<float>(source.bottom - source.top) / th;
        const float us[4] = {0.0f, uMax, uMax, 0.0f};
        const float vs[4] = {0.0f, 0.0f, vMax, vMax};
        for (int i = 0; i < 4; ++i) {
            const float dx = px[i] - cx, dy = py[i] - cy;
            v[i].x = ox + cx + c * dx - s * dy - 0.5f;
            v[i].y = oy + cy + s * dx + c * dy - 0.5f;
            v[i].u = us[i];
            v[i].v = vs[i];
        }
    }
    device_->DrawQuad(*entry->texture, v);
}

// ---------------------------------------------------------------------------------------------
// Low-level texture operations

platform::Result<std::unique_ptr<platform::Texture>> IMResourceManager::AllocateTexture(int width, int height,
                                                                                        platform::PixelFormat format) {
    if (!device_) return platform::Error::Failed("cannot allocate a texture: there is no device");
    if (!IsPictureSize(width, height)) {
        platform::Error refused = platform::Error::Failed("cannot allocate a texture of " + std::to_string(width) +
                                                          " x " + std::to_string(height) + ": each side must be 1 to " +
                                                          std::to_string(kMaxPictureSide));
        platform::Debug::Print(refused.why);
        return refused;
    }
    auto texture = device_->CreateTexture(TextureSide(width), TextureSide(height), format);
    if (!texture && !texture.Is(platform::ErrorKind::OutOfMemory)) platform::Debug::Print(texture.why());
    return texture;
}

void IMResourceManager::BackupTexture(DWORD slot) {
    IMTextureEntry* entry = Entry(slot);
    if (!entry || !entry->texture) return;
    BYTE* bits = nullptr;
    int pitch = 0;
    if (!entry->texture->Lock(&bits, &pitch)) return;
    const std::size_t bytes = static_cast<std::size_t>(entry->texture->Height()) * static_cast<std::size_t>(pitch);
    entry->backup.assign(bits, bits + bytes);
    entry->backupPitch = pitch;
    entry->texture->Unlock();
}

void IMResourceManager::RestoreTexture(DWORD slot) {
    IMTextureEntry* entry = Entry(slot);
    if (!entry || entry->texture) return;
    if (!entry->encoded.empty()) {
        DecodeEmbedded(entry);
        return;
    }
    if (entry->backup.empty()) return;
    auto allocated = AllocateTexture(entry->textureWidth, entry->textureHeight, entry->format);
    while (allocated.Is(platform::ErrorKind::OutOfMemory)) {
        if (!EvictOne(entry->name)) {
            platform::Debug::Print(L"out of texture memory: cannot restore " + entry->name);
            return;
        }
        allocated = AllocateTexture(entry->textureWidth, entry->textureHeight, entry->format);
    }
    if (!allocated) return;
    std::unique_ptr<platform::Texture> texture = std::move(allocated).value();
    BYTE* bits = nullptr;
    int pitch = 0;
    if (!texture->Lock(&bits, &pitch)) return;
    // Row by row: the new texture's pitch need not match the backup's.
    const std::size_t row = static_cast<std::size_t>(std::min(pitch, entry->backupPitch));
    const int rows = std::min(texture->Height(), entry->textureHeight);
    for (int y = 0; y < rows; ++y) {
        const std::size_t from = static_cast<std::size_t>(y) * static_cast<std::size_t>(entry->backupPitch);
        if (from + row > entry->backup.size()) break;
        std::memcpy(bits + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch), entry->backup.data() + from,
                    row);
    }
    texture->Unlock();
    entry->texture = std::move(texture);
}

void IMResourceManager::DropTexture(DWORD slot) {
    if (IMTextureEntry* entry = Entry(slot)) entry->texture.reset();
}

int IMResourceManager::GetTexturePitch(DWORD slot) {
    RestoreTexture(slot);
    IMTextureEntry* entry = Entry(slot);
    if (!entry || !entry->texture) return 0;
    BYTE* bits = nullptr;
    int pitch = 0;
    if (!entry->texture->Lock(&bits, &pitch)) return 0;
    entry->texture->Unlock();
    return pitch;
}

void IMResourceManager::FillTexture(DWORD slot, const FillFunction& fill) {
    RestoreTexture(slot);
    IMTextureEntry* entry = Entry(slot);
    BYTE* bits = nullptr;
    int pitch = 0;
    if (!entry || !entry->texture || !entry->texture->Lock(&bits, &pitch)) {
        platform::Debug::Print("FillTexture: cannot lock texture slot " + std::to_string(slot));
        return;
    }
    fill(bits, pitch, entry->image.bottom);
    entry->texture->Unlock();
}

bool IMResourceManager::ReadBackupPixel(DWORD slot, int x, int y, DWORD* argb) {
    RestoreTexture(slot);
    IMTextureEntry* entry = Entry(slot);
    if (!entry || x < 0 || y < 0 || x >= entry->textureWidth || y >= entry->textureHeight) return false;
    if (!entry->encoded.empty()) return entry->texture && entry->texture->ReadTexel(x, y, argb);
    const std::size_t at =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(entry->backupPitch) + static_cast<std::size_t>(x) * 4;
    if (at + 4 > entry->backup.size()) return false;
    std::memcpy(argb, entry->backup.data() + at, 4);
    return true;
}

#include "gui/engine_link.h"

#include <vector>

#include "engine/resource_manager.h"
#include "platform/window.h"

// With no engine (controls made in tests without a window, or a picture released after the
// engine stopped) the framework draws nothing: the clip is the whole back buffer and the
// origin its corner, whatever a drawing pass asks for.
namespace engine_link {
namespace {
constexpr RECT kWholeBackBuffer{0, 0, platform::GraphicsDevice::kBackBufferWidth,
                                platform::GraphicsDevice::kBackBufferHeight};
IMResourceManager* Engine() { return GetResourceManager(); }
}  // namespace

bool EngineExists() { return Engine() != nullptr; }

unsigned LoadTexture(const std::wstring& name) {
    return Engine() ? Engine()->LoadTexture(name) : IMResourceManager::kNoTexture;
}

void AddTextureRef(unsigned slot) {
    if (Engine()) Engine()->AddTextureRef(slot);
}

void ReleaseTexture(unsigned slot) {
    if (Engine()) Engine()->ReleaseTexture(slot);
}

RECT TextureImageRect(unsigned slot) {
    const IMTextureEntry* entry = Engine() ? Engine()->GetTextureEntry(slot) : nullptr;
    return entry ? entry->image : RECT{};
}

int TextureAlphaAt(unsigned slot, int u, int v) {
    DWORD argb = 0;
    if (!Engine() || !Engine()->ReadBackupPixel(slot, u, v, &argb)) return -1;
    return static_cast<int>(argb >> 24);
}

void DrawTexture(unsigned slot, const RECT& destination, const RECT* source, DWORD colour, float angle) {
    if (Engine()) Engine()->DrawTexture(slot, destination, source, colour, angle);
}

RECT GetClip() { return Engine() ? Engine()->GetClip() : kWholeBackBuffer; }

void SetClip(const RECT& clip) {
    if (Engine()) Engine()->SetClip(clip);
}

POINT GetOrigin() { return Engine() ? Engine()->GetOrigin() : POINT{0, 0}; }

void SetOrigin(POINT origin) {
    if (Engine()) Engine()->SetOrigin(origin.x, origin.y);
}

POINT BackBufferSize() {
    if (Engine()) return {Engine()->BackBufferWidth, Engine()->BackBufferHeight};
    return {platform::GraphicsDevice::kBackBufferWidth, platform::GraphicsDevice::kBackBufferHeight};
}

void BeginFrame() {
    if (Engine()) Engine()->BeginFrame();
}

void EndFrame() {
    if (Engine()) Engine()->EndFrame();
}

void CountFrame() {
    if (Engine()) Engine()->CountFrame();
}

bool IsDeviceLost() { return Engine() && Engine()->IsDeviceLost(); }

bool ResetDevice() { return !Engine() || Engine()->ResetDevice(); }

platform::Result<void> InitEngine(bool windowed, platform::Clock& clock, platform::Window& window) {
    return ::InitEngine(windowed, clock, &window);
}

void ShutdownEngine() {
    if (Engine()) ::ShutdownEngine();
}

void OfferToSound(UINT message, WPARAM wParam, LPARAM lParam) {
    if (Engine()) Engine()->DispatchSoundMessage(message, wParam, lParam);
}

void SetSoundTimers(IMTimerService* timers) {
    if (Engine()) Engine()->SetTimerService(timers);
}

void SetWindowIcon(platform::Window& window, const std::wstring& name) {
    if (!Engine()) return;
    const unsigned slot = Engine()->LoadTexture(name);
    const RECT image = TextureImageRect(slot);
    const int w = image.right - image.left, h = image.bottom - image.top;
    if (w > 0 && h > 0 && w <= 512 && h <= 512) {
        std::vector<std::uint8_t> bgra(static_cast<std::size_t>(w) * h * 4);
        bool complete = true;
        for (int y = 0; y < h && complete; ++y) {
            for (int x = 0; x < w; ++x) {
                DWORD argb = 0;
                if (!Engine()->ReadBackupPixel(slot, x, y, &argb)) {
                    complete = false;
                    break;
                }
                std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * w + x) * 4];
                p[0] = argb & 0xFF;
                p[1] = (argb >> 8) & 0xFF;
                p[2] = (argb >> 16) & 0xFF;
                p[3] = argb >> 24;
            }
        }
        if (complete) window.SetIcon(bgra.data(), w, h);
    }
    Engine()->ReleaseTexture(slot);
}

}  // namespace engine_link

// Until the engine is linked in, the framework runs as if no engine existed.
#include "gui/engine_link.h"

namespace engine_link {
namespace {
RECT g_clip{0, 0, 800, 600};
POINT g_origin{0, 0};
}  // namespace

bool EngineExists() { return false; }
unsigned LoadTexture(const std::wstring&) { return 0; }
void AddTextureRef(unsigned) {}
void ReleaseTexture(unsigned) {}
RECT TextureImageRect(unsigned) { return {}; }
int TextureAlphaAt(unsigned, int, int) { return -1; }
void DrawTexture(unsigned, const RECT&, const RECT*, DWORD, float) {}
RECT GetClip() { return g_clip; }
void SetClip(const RECT& clip) { g_clip = clip; }
POINT GetOrigin() { return g_origin; }
void SetOrigin(POINT origin) { g_origin = origin; }
POINT BackBufferSize() { return {800, 600}; }
void BeginFrame() {}
void EndFrame() {}
void CountFrame() {}
bool IsDeviceLost() { return false; }
bool ResetDevice() { return true; }
void InitEngine(bool) {}
void ShutdownEngine() {}
void OfferToSound(UINT, WPARAM, LPARAM) {}

}  // namespace engine_link

// What the GUI framework asks of the engine, in one place: pictures by name, drawing, the clip
// and origin, frames, device loss, and the sound system's share of the window's messages.
// Every function is safe to call when no engine exists (a control made in a test without a
// window, or a texture released after shutdown): it then does nothing, reports no picture,
// and a clip and back buffer of 800 x 600.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/result.h"
#include "platform/win_types.h"
#include "platform/window.h"

class IMTimerService;

namespace engine_link {

bool EngineExists();

// Texture slots. LoadTexture gives the caller one reference; an unusable name gives a slot
// that draws nothing and is never hit.
unsigned LoadTexture(const std::wstring& name);
void AddTextureRef(unsigned slot);
void ReleaseTexture(unsigned slot);
// (0, 0, image width, image height); empty for an unusable slot.
RECT TextureImageRect(unsigned slot);
// The alpha (0..255) of the picture's pixel (u, v), or -1 when the slot has no pixels there.
int TextureAlphaAt(unsigned slot, int u, int v);

void DrawTexture(unsigned slot, const RECT& destination, const RECT* source, DWORD colour, float angle);
RECT GetClip();
void SetClip(const RECT& clip);
POINT GetOrigin();
void SetOrigin(POINT origin);
POINT BackBufferSize();

// Frames.
void BeginFrame();
void EndFrame();
// A pass that draws nothing still counts as a frame.
void CountFrame();
bool IsDeviceLost();
bool ResetDevice();

// Starts the engine for the main window, its sounds on `clock` (fails when the device cannot be
// made), and stops it.
platform::Result<void> InitEngine(bool windowed, platform::Clock& clock, platform::Window& window);
void ShutdownEngine();

// Gives the main window the picture `name` (a resource number) as its icon; without the picture
// the window keeps the desktop's default icon.
void SetWindowIcon(platform::Window& window, const std::wstring& name);

// Offers a window message to the sound system first (its stream notifications).
void OfferToSound(UINT message, WPARAM wParam, LPARAM lParam);
// The window timers that carry the sounds' label times.
void SetSoundTimers(IMTimerService* timers);

}  // namespace engine_link

// What the fuzz targets share: the headless drivers and one engine for the whole run.
//
// Every target is one process that runs many inputs, so whatever costs more than an input
// (starting SDL, the engine, the XML library) is done once, from LLVMFuzzerInitialize, and
// kept until the process ends.
#pragma once

#include <cstdlib>

#include "engine/resource_manager.h"

namespace fuzz {

// No display and no sound card, whatever the caller's environment says: a fuzz run never
// opens a window or plays what it decodes.
inline void UseHeadlessDrivers() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// Texture memory the targets' engine may hold: room for the largest picture a decoder accepts
// (4096 x 4096 at 4 bytes a pixel, 64 MB) and a second texture of the same size for the film
// view's two frames. Anything beyond that takes the device's "out of video memory" path.
inline constexpr std::size_t kTextureBudget = std::size_t{160} << 20;

// The engine with a headless device, made on the first call and kept for the whole run.
inline IMResourceManager* Engine() {
    static IMResourceManager* engine = [] {
        UseHeadlessDrivers();
        (void)InitEngine(true);  // checked by what follows
        IMResourceManager* made = GetResourceManager();
        if (!made || !made->Device()) std::abort();
        made->Device()->SetTextureMemoryBudget(kTextureBudget);
        return made;
    }();
    return engine;
}

}  // namespace fuzz

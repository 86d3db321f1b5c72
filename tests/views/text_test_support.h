// Shared by the text suites: the process-wide engine with a headless device (the text view
// reaches the engine through GetResourceManager), and reading a slot's pixels.
#pragma once

#include <gtest/gtest.h>

#include "engine/resource_manager.h"

namespace texttest {

class EngineEnvironment : public ::testing::Environment {
   public:
    void SetUp() override { ASSERT_TRUE(InitEngine(true).ok()); }
    void TearDown() override { ShutdownEngine(); }
};

inline IMResourceManager& Engine() { return *GetResourceManager(); }

// One pixel of a slot's picture as bytes blue, green, red, alpha.
struct Bgra {
    int b = 0, g = 0, r = 0, a = 0;
};

inline Bgra PixelAt(DWORD slot, int x, int y) {
    const IMTextureEntry* e = Engine().GetTextureEntry(slot);
    const BYTE* p = e->backup.data() + static_cast<std::size_t>(y) * e->backupPitch + static_cast<std::size_t>(x) * 4;
    return Bgra{p[0], p[1], p[2], p[3]};
}

inline RECT ImageOf(DWORD slot) {
    const IMTextureEntry* e = Engine().GetTextureEntry(slot);
    return e ? e->image : RECT{};
}

inline int RefsOf(DWORD slot) {
    const IMTextureEntry* e = Engine().GetTextureEntry(slot);
    return e ? e->refs : 0;
}

}  // namespace texttest

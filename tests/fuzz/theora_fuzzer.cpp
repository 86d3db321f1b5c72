// The film view on arbitrary bytes, with the engine's headless device behind it, played as
// the praise animation plays it: frame after frame, then a step back that rewinds. A broken
// film fails a call and leaves the view broken; anything else (a crash, a sanitizer report, an
// exception) is a fault. Once broken, the view must keep taking frame numbers quietly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/fuzz/fuzz_support.h"
#include "views/theora_view.h"

namespace {

// Frames played from one input: enough for several pages of a small film, and a bound on the
// time a film whose frames are all large can take.
constexpr int kFramesPlayed = 24;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::Engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IMResourceManager* engine = fuzz::Engine();
    if (size > 0x7FFFFFFF) return 0;
    const std::size_t texturesBefore = engine->TextureCount();
    {
        IMTheoraView view;
        platform::Result<void> played = view.LoadFromMemory(data, static_cast<int>(size));
        for (int frame = 0; played && frame < kFramesPlayed && frame <= view.GetLastFrame(); ++frame)
            played = view.SetFrame(frame);
        if (played) played = view.SetFrame(1);  // back: rewinds and decodes again from the start
        if (!played) {
            if (!view.IsBroken()) std::abort();
            // A broken view only records frame numbers from now on.
            if (!view.SetFrame(0) || !view.SetFrame(kFramesPlayed)) std::abort();
        }
    }
    // The view gave back both of its textures.
    if (engine->TextureCount() != texturesBefore) std::abort();
    return 0;
}

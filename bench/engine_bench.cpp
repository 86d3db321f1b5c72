// Engine start-up and the cost of one whole frame (the 800 x 600 background plus 40 card-sized
// quads, drawn into the back buffer and presented with one scaled copy), on the software
// renderer with the offscreen video driver unless another is set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/resource_manager.h"
#include "platform/window.h"

namespace {

void Headless() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }

void BM_InitEngine(benchmark::State& state) {
    Headless();
    for (auto _ : state) {
        (void)InitEngine(true);
        benchmark::DoNotOptimize(GetResourceManager()->TextureCount());
        state.PauseTiming();
        state.counters["skin"] = static_cast<double>(GetResourceManager()->TextureCount());
        ShutdownEngine();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InitEngine)->Unit(benchmark::kMillisecond);

void BM_Frame(benchmark::State& state) {
    Headless();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    auto created = platform::Window::Create(L"bench", width, height, platform::WindowMode::Hidden);
    if (!created) {
        state.SkipWithError(created.why().c_str());
        return;
    }
    std::unique_ptr<platform::Window> window = std::move(created).value();
    IMResourceManager engine;
    if (!engine.CreateDevice(window->NativeHandle(), true, 800, 600, 75)) {
        state.SkipWithError("no device");
        return;
    }
    DWORD background = engine.LoadTexture(L"101");  // a board picture: 800 x 600
    std::vector<DWORD> cards;
    // The twenty card pictures (156 x 179): the five after each board's own number.
    for (int board : {128, 101, 110, 119})
        for (int n = board + 1; n <= board + 5; ++n) cards.push_back(engine.LoadTexture(std::to_wstring(n)));
    for (DWORD& c : cards)
        if (c == IMResourceManager::kNoTexture) c = background;
    for (auto _ : state) {
        engine.BeginFrame();
        engine.DrawTexture(background, RECT{0, 0, 800, 600}, nullptr, 0xFFFFFFFF, 0.0f);
        for (int i = 0; i < 40; ++i) {
            const IMTextureEntry* e = engine.GetTextureEntry(cards[static_cast<std::size_t>(i) % cards.size()]);
            int w = e ? e->image.right : 156, h = e ? e->image.bottom : 179;
            int x = (i % 8) * 90, y = (i / 8) * 100;
            engine.DrawTexture(cards[static_cast<std::size_t>(i) % cards.size()], RECT{x, y, x + w, y + h}, nullptr,
                               0xFFFFFFFF, 0.0f);
        }
        engine.EndFrame();
    }
}
BENCHMARK(BM_Frame)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Laying out and drawing the start screen's description (size 18, word-wrapped at 593 pixels)
// from a cold glyph cache (a fresh engine: no fonts, no outlines, no glyph pictures) and from a
// warm one (another view already holds every glyph picture).
#include <benchmark/benchmark.h>

#include "engine/resource_manager.h"
#include "tests/views/start_screen_texts.h"
#include "views/text_view.h"

namespace {

void LayOutAndDraw() {
    IMTextView view;
    view.SetTextColour(texttest::kScreenColour);
    view.SetFontHeight(18);
    view.SetRect(RECT{119, 187, 119 + texttest::kDescriptionWidth, 187 + 415});
    view.SetWordWrap(true);
    view.SetText(texttest::kDescription);
    IMResourceManager* engine = GetResourceManager();
    engine->SetClip(RECT{119, 187, 712, 423});
    view.Draw();
    engine->SetClip(RECT{0, 0, 800, 600});
    benchmark::DoNotOptimize(view.GetSourceRect());
}

void DescriptionColdCache(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        (void)InitEngine(true);
        GetResourceManager()->BeginFrame();
        state.ResumeTiming();
        LayOutAndDraw();
        state.PauseTiming();
        ShutdownEngine();
        state.ResumeTiming();
    }
}
BENCHMARK(DescriptionColdCache)->Unit(benchmark::kMillisecond)->Iterations(20);

void DescriptionWarmCache(benchmark::State& state) {
    (void)InitEngine(true);
    GetResourceManager()->BeginFrame();
    {
        IMTextView holder;  // keeps every glyph picture alive
        holder.SetTextColour(texttest::kScreenColour);
        holder.SetFontHeight(18);
        holder.SetText(texttest::kDescription);
        for (auto _ : state) LayOutAndDraw();
    }
    ShutdownEngine();
}
BENCHMARK(DescriptionWarmCache)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

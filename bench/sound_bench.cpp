// Sound costs: the CPU that the audio output and one playback thread use while the 24 s
// instruction (resource 137) plays, against the output alone as the baseline, and the delay
// from Play to the first sound at the output.
//
//   bench_sound            silent output, clock 6x faster (CPU is counted per second of sound)
//   bench_sound --device   the sound card when there is one, real time
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/timer_service.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "sound/sound_system.h"

using platform::Clock;

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The GUI thread's part: dispatch until `id` has ended.
void WaitForEnd(CSoundSystem& system, IMTimerService& timers, DWORD id) {
    bool ended = false;
    system.ConnectEnded(id, [&](DWORD) {
        ended = true;
        return 0L;
    });
    for (;;) {
        platform::Message m;
        while (platform::MainQueue().Take(&m)) system.DispatchSoundMessage(m.message, m.wParam, m.lParam);
        timers.RunDueTimers(nullptr);
        if (ended) return;
        platform::MainQueue().Wait(-1);  // the loop sleeps until a message arrives
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool device = argc > 1 && std::strcmp(argv[1], "--device") == 0;
    const double scale = device ? 1.0 : 6.0;
    Clock::SetScale(scale);

    IMTimerService timers;
    CSoundSystem system;
    const bool card = system.Init(device ? platform::AudioOutput::Default : platform::AudioOutput::Silent);
    system.SetTimerService(&timers);
    system.SetResources({FileResourceLookup(std::string(VORLEN_BENCH_SOURCE_DIR) + "/data/rc"), {}});
    const DWORD instruction = system.CreateSound(L"137");
    const DWORD click = system.CreateSound(L"146");
    if (!instruction || !click) {
        std::fprintf(stderr, "bench_sound: data/rc/137.ogg and 146.ogg are needed\n");
        return 1;
    }
    const CSoundSource* source = system.Find(instruction)->Source();
    const double seconds = static_cast<double>(source->EndFrame()) / source->Rate();
    std::printf("bench_sound: %s output, clock x%.0f\n", card ? "sound card" : "silent", scale);

    // Baseline: the output alone for as long as the instruction lasts.
    double cpu = CpuSeconds();
    Clock::Sleep(static_cast<DWORD>(seconds * 1000));
    const double baseline = CpuSeconds() - cpu;

    cpu = CpuSeconds();
    system.Play(instruction);
    WaitForEnd(system, timers, instruction);
    const double playing = CpuSeconds() - cpu;

    std::printf("  output alone         %7.3f %% of one core\n", 100.0 * baseline / seconds);
    std::printf("  instruction %4.1f s   %7.3f %% of one core (%.1fx the output alone; aim < 1 %%)\n", seconds,
                100.0 * playing / seconds, baseline > 0 ? playing / baseline : 0.0);

    // Delay from Play to the first sound at the output, in output frames.
    platform::AudioDevice* out = system.Output();
    const int rate = out->OutputFormat().rate;
    std::vector<double> delays, calls;
    for (int i = 0; i < 5; ++i) {
        out->StartCapture();
        const std::uint64_t atStart = out->FramesMixed();
        const std::int64_t before = Clock::Counter();
        const std::uint64_t atPlay = out->FramesMixed();
        system.Play(click);
        calls.push_back(static_cast<double>(Clock::Counter() - before) / 1e6 / scale);  // real ms
        WaitForEnd(system, timers, click);
        const auto capture = out->TakeCapture();
        std::size_t first = 0;
        while (first < capture.size() && capture[first] == 0) ++first;
        const double frames = static_cast<double>(atStart + first / 2) - static_cast<double>(atPlay);
        delays.push_back(1000.0 * frames / rate);
    }
    // The sound's own leading silence is not delay.
    CSoundSource probe;
    probe.OpenResource(146, {FileResourceLookup(std::string(VORLEN_BENCH_SOURCE_DIR) + "/data/rc"), {}});
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(probe.Rate()) * probe.Channels());
    const DWORD got = probe.ReadPcm(pcm.data(), static_cast<DWORD>(pcm.size() * 2));
    std::size_t lead = 0;
    while (lead < got / 2 && pcm[lead] == 0) ++lead;
    const double leadMs = 1000.0 * static_cast<double>(lead / probe.Channels()) / probe.Rate();
    for (double& d : delays) d -= leadMs;
    double worst = 0, worstCall = 0;
    for (double d : delays) worst = std::max(worst, d);
    for (double c : calls) worstCall = std::max(worstCall, c);
    std::printf("  Play to first sound  %7.1f ms at most of 5 (aim < 50 ms on a sound card)\n", worst);
    std::printf("  Play call itself     %7.2f ms at most of 5 (prefill of half a second)\n", worstCall);
    return 0;
}

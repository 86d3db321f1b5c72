// Sound costs: the CPU that the audio output uses with nothing playing (a still screen), the
// CPU of the output and one playback thread while the 24 s instruction (resource 137) plays,
// and the delay from Play to the first sound at the output.
//
//   bench_sound            the silent output (the instruction runs on a clock 6x faster; its
//                          CPU is counted per second of sound)
//   bench_sound --device   the sound card when there is one, real time
//   bench_sound --driver   SDL's output on whichever driver SDL_AUDIODRIVER names, its "dummy"
//                          one included: the sound card's path on a machine without one
//   ... --summary FILE     FILE also gets the figures as "key value" lines
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/timer_service.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "sound/sound_system.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double RealSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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

// Notes when the output's count of mixed frames moves, so a frame's index can be turned into
// the real time at which it had been mixed.
class MixWatch {
   public:
    explicit MixWatch(const platform::AudioDevice& out) : out_(out) {
        thread_ = std::thread([this] {
            std::uint64_t last = out_.FramesMixed();
            while (!stop_) {
                const std::uint64_t now = out_.FramesMixed();
                if (now != last) {
                    std::lock_guard<std::mutex> guard(lock_);
                    marks_.emplace_back(RealSeconds(), now);
                    last = now;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
    }
    ~MixWatch() {
        stop_ = true;
        thread_.join();
    }
    // Real time when frame `index` (counted from the device's start) had been mixed; 0 if not yet.
    double MixedAt(std::uint64_t index) {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto& [time, frames] : marks_)
            if (frames > index) return time;
        return 0.0;
    }

   private:
    const platform::AudioDevice& out_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::pair<double, std::uint64_t>> marks_;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    bool card = false, driver = false;
    const char* summaryPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        card |= std::strcmp(argv[i], "--device") == 0;
        driver |= std::strcmp(argv[i], "--driver") == 0;
        if (std::strcmp(argv[i], "--summary") == 0 && i + 1 < argc) summaryPath = argv[++i];
    }

    IMTimerService timers;
    CSoundSystem system;
    const bool heard = system.Init(card     ? platform::AudioOutput::Default
                                   : driver ? platform::AudioOutput::Driver
                                            : platform::AudioOutput::Silent);
    system.SetTimerService(&timers);
    const SoundResourceModules sounds{FileResourceLookup(std::string(VORLEN_BENCH_SOURCE_DIR) + "/data/rc"), {}};
    system.SetResources(sounds);
    const auto instructionSound = system.CreateSound(L"137");
    const auto clickSound = system.CreateSound(L"146");
    if (!instructionSound || !clickSound) {
        std::fprintf(stderr, "bench_sound: data/rc/137.ogg and 146.ogg are needed\n");
        return 1;
    }
    const DWORD instruction = *instructionSound;
    const DWORD click = *clickSound;
    platform::AudioDevice* out = system.Output();
    std::printf("bench_sound: %s output\n", heard ? "SDL" : "silent");

    // A still screen: the sounds are loaded, nothing plays, for 10 s of real time.
    constexpr double kStillSeconds = 10.0;
    double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kStillSeconds));
    const double still = CpuSeconds() - cpu;
    std::printf("  nothing playing      %7.3f %% of one core over %.0f s (aim < 0.05 %%)\n",
                100.0 * still / kStillSeconds, kStillSeconds);
    // The same once SDL's device has been let go: what a screen left alone costs from then on.
    cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kStillSeconds));
    const double later = CpuSeconds() - cpu;
    std::printf("  ... the next 10 s   %7.3f %% of one core\n", 100.0 * later / kStillSeconds);

    // The instruction played through in real time: CPU per second of sound.
    const CSoundSource* source = system.Find(instruction)->Source();
    const double seconds = static_cast<double>(source->EndFrame()) / source->Rate();
    cpu = CpuSeconds();
    system.Play(instruction);
    WaitForEnd(system, timers, instruction);
    const double playing = CpuSeconds() - cpu;
    std::printf("  instruction %4.1f s   %7.3f %% of one core (aim < 1 %%)\n", seconds, 100.0 * playing / seconds);

    // Delay from Play to the first sound at the output, in real time: when the output had
    // mixed the first frame of the click that is not the click's own leading silence.
    CSoundSource probe;
    if (!probe.OpenResource(146, sounds)) return 1;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(probe.Rate()) * probe.Channels());
    const DWORD got = probe.ReadPcm(pcm.data(), static_cast<DWORD>(pcm.size() * 2));
    std::size_t lead = 0;
    while (lead < got / 2 && pcm[lead] == 0) ++lead;
    const double leadSeconds = static_cast<double>(lead / probe.Channels()) / probe.Rate();
    const int channels = out->OutputFormat().channels;

    // Rounds 300 ms apart find SDL's device paused; rounds 2 s apart find it let go, and Play
    // opens it again.
    constexpr int kRounds = 10;
    constexpr int kColdRounds = 3;
    std::vector<double> delays, calls, coldDelays;
    for (int i = 0; i < kRounds + kColdRounds; ++i) {
        const bool cold = i >= kRounds;
        std::this_thread::sleep_for(std::chrono::milliseconds(cold ? 2000 : 300));  // the output falls asleep
        MixWatch watch(*out);
        out->StartCapture();
        const std::uint64_t atStart = out->FramesMixed();
        const double before = RealSeconds();
        system.Play(click);
        calls.push_back(1000.0 * (RealSeconds() - before));
        WaitForEnd(system, timers, click);
        const auto capture = out->TakeCapture();
        std::size_t first = 0;
        while (first < capture.size() && capture[first] == 0) ++first;
        const double mixedAt = watch.MixedAt(atStart + first / channels);
        if (first == capture.size() || mixedAt == 0.0) {
            std::printf("  Play to first sound: the click was not heard\n");
            return 1;
        }
        (cold ? coldDelays : delays).push_back(1000.0 * (mixedAt - before - leadSeconds));
    }
    std::sort(delays.begin(), delays.end());
    std::sort(calls.begin(), calls.end());
    std::printf("  Play to first sound  %7.1f ms median, %.1f ms at most of %d (aim < 50 ms)\n", delays[kRounds / 2],
                delays.back(), kRounds);
    std::sort(coldDelays.begin(), coldDelays.end());
    std::printf("  ... after 2 s still  %7.1f ms median, %.1f ms at most of %d (the sound card opened again)\n",
                coldDelays[kColdRounds / 2], coldDelays.back(), kColdRounds);
    std::printf("  Play call itself     %7.2f ms median, %.2f ms at most (prefill of half a second)\n",
                calls[kRounds / 2], calls.back());
    bool asleep = false;
    for (int i = 0; i < 100 && !asleep; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        asleep = out->IsSleeping();
    }
    std::printf("  output asleep after  %s\n", asleep ? "yes" : "no");
    if (summaryPath) {
        std::FILE* f = std::fopen(summaryPath, "w");
        if (!f) return 1;
        std::fprintf(f, "output %s\nidle_cpu_pct %.4f\nidle_later_cpu_pct %.4f\ninstruction_cpu_pct %.4f\n",
                     heard ? "sdl" : "silent", 100.0 * still / kStillSeconds, 100.0 * later / kStillSeconds,
                     100.0 * playing / seconds);
        std::fprintf(f, "play_to_sound_ms %.2f\nplay_to_sound_cold_ms %.2f\nplay_call_ms %.3f\nasleep %d\n",
                     delays[kRounds / 2], coldDelays[kColdRounds / 2], calls[kRounds / 2], asleep ? 1 : 0);
        std::fclose(f);
    }
    return 0;
}

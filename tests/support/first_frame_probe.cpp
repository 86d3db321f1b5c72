// Tells from outside the program when its first frame reached the display, for the start-up
// benchmark, the package check and the test that starts the program on a real X server: a
// module they preload (LD_PRELOAD) into the program, or into the bare SDL window the benchmark
// compares it with. It stands in for SDL_RenderPresent: the real one runs, and after the first
// call "first frame at <ns>" goes to standard output, read on the machine-wide monotonic clock
// that the launching process shares. The program itself knows nothing of it.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <ctime>

struct SDL_Renderer;

extern "C" __attribute__((visibility("default"))) void SDL_RenderPresent(SDL_Renderer* renderer) {
    using Present = void (*)(SDL_Renderer*);
    // Looked up on each call: one lookup per frame costs nothing beside a present, and it keeps
    // this module free of state but the one flag below.
    const auto real = reinterpret_cast<Present>(dlsym(RTLD_NEXT, "SDL_RenderPresent"));
    if (real) real(renderer);
    // Dictated by the interposition: SDL's C interface has no place to keep it.
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("first frame at %lld ns\n", static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec);
    std::fflush(stdout);
}

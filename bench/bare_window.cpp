// The floor of the start-up benchmark: a bare SDL window with the software renderer that
// presents one black frame (the probe the benchmark preloads says when). With the argument
// "fullscreen" the window asks for full screen at the desktop's size, as the program does.
#include <SDL2/SDL.h>

#include <cstring>

int main(int argc, char** argv) {
    const bool fullscreen = argc > 1 && std::strcmp(argv[1], "fullscreen") == 0;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    Uint32 flags = fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    SDL_Window* w = SDL_CreateWindow("bare", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 800, 600, flags);
    if (!w) return 1;
    SDL_Renderer* r = SDL_CreateRenderer(w, -1, SDL_RENDERER_SOFTWARE);
    if (!r) return 1;
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    SDL_RenderPresent(r);
    SDL_Event e;
    while (SDL_WaitEvent(&e))
        if (e.type == SDL_QUIT) break;
    SDL_Quit();
    return 0;
}

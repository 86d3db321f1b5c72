// Real SDL events for tests: pushed into SDL's own queue, so they reach the program through the
// window's translation into Windows-numbered messages exactly as a pupil's input does. Test
// code only; the program itself sees SDL only inside platform/.
#pragma once

#include <SDL2/SDL.h>

#include <cstring>

namespace sdlinput {

inline void Motion(int x, int y, Uint32 buttons = 0) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = buttons;
    SDL_PushEvent(&e);
}

inline void Button(bool down, int x, int y, Uint8 button = SDL_BUTTON_LEFT, Uint8 clicks = 1) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = clicks;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
}

inline void Wheel(int notches, int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
#if SDL_VERSION_ATLEAST(2, 26, 0)
    e.wheel.mouseX = x;
    e.wheel.mouseY = y;
#endif
    SDL_PushEvent(&e);
}

inline void Key(bool down, SDL_Scancode sc, Uint16 mods = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    e.key.keysym.mod = mods;
    SDL_PushEvent(&e);
}

inline void Text(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    SDL_PushEvent(&e);
}

inline void Quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

}  // namespace sdlinput

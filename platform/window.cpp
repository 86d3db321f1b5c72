#include "platform/window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/debug.h"
#include "platform/graphics_device.h"
#include "platform/text.h"

namespace platform {
namespace {

// The SDL event type that wakes the loop. SDL registers event types for the whole process, and
// MessageQueue calls its waker, a plain function, from any thread: the id is kept here, once.
std::atomic<Uint32> g_wakeEvent{0};

// The name under which an SDL window carries its Window (SDL_SetWindowData).
constexpr const char* kWindowDataName = "vorlen.window";

SDL_Window* Sdl(void* w) { return static_cast<SDL_Window*>(w); }

// Virtual-key code of a key by its position, so letters do not depend on the keyboard layout.
// 0 for keys Windows has no code for either (the key is then dropped).
WPARAM VirtualKey(const SDL_Keysym& key) {
    const SDL_Scancode sc = key.scancode;
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc == SDL_SCANCODE_0) return '0';
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return VK_F1 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return VK_F13 + (sc - SDL_SCANCODE_F13);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return VK_NUMPAD0 + 1 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
        case SDL_SCANCODE_BACKSPACE:
            return VK_BACK;
        case SDL_SCANCODE_TAB:
            return VK_TAB;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_RETURN2:
        case SDL_SCANCODE_KP_ENTER:
            return VK_RETURN;
        case SDL_SCANCODE_ESCAPE:
            return VK_ESCAPE;
        case SDL_SCANCODE_SPACE:
            return VK_SPACE;
        case SDL_SCANCODE_PAGEUP:
            return VK_PRIOR;
        case SDL_SCANCODE_PAGEDOWN:
            return VK_NEXT;
        case SDL_SCANCODE_END:
            return VK_END;
        case SDL_SCANCODE_HOME:
            return VK_HOME;
        case SDL_SCANCODE_LEFT:
            return VK_LEFT;
        case SDL_SCANCODE_UP:
            return VK_UP;
        case SDL_SCANCODE_RIGHT:
            return VK_RIGHT;
        case SDL_SCANCODE_DOWN:
            return VK_DOWN;
        case SDL_SCANCODE_INSERT:
            return VK_INSERT;
        case SDL_SCANCODE_DELETE:
            return VK_DELETE;
        case SDL_SCANCODE_LSHIFT:
        case SDL_SCANCODE_RSHIFT:
            return VK_SHIFT;
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            return VK_CONTROL;
        case SDL_SCANCODE_LALT:
        case SDL_SCANCODE_RALT:
            return VK_MENU;
        case SDL_SCANCODE_LGUI:
            return VK_LWIN;
        case SDL_SCANCODE_RGUI:
            return VK_RWIN;
        case SDL_SCANCODE_APPLICATION:
            return VK_APPS;
        case SDL_SCANCODE_PAUSE:
            return VK_PAUSE;
        case SDL_SCANCODE_CAPSLOCK:
            return VK_CAPITAL;
        case SDL_SCANCODE_PRINTSCREEN:
            return VK_SNAPSHOT;
        case SDL_SCANCODE_NUMLOCKCLEAR:
            return VK_NUMLOCK;
        case SDL_SCANCODE_SCROLLLOCK:
            return VK_SCROLL;
        // The keypad: digits and operators have codes of their own on Windows.
        case SDL_SCANCODE_KP_0:
            return VK_NUMPAD0;
        case SDL_SCANCODE_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDL_SCANCODE_KP_PLUS:
            return VK_ADD;
        case SDL_SCANCODE_KP_MINUS:
            return VK_SUBTRACT;
        case SDL_SCANCODE_KP_PERIOD:
        case SDL_SCANCODE_KP_COMMA:
            return VK_DECIMAL;
        case SDL_SCANCODE_KP_DIVIDE:
            return VK_DIVIDE;
        // Punctuation by position, as on a US layout (the Russian letters on these keys
        // arrive as text input all the same).
        case SDL_SCANCODE_SEMICOLON:
            return VK_OEM_1;
        case SDL_SCANCODE_EQUALS:
            return VK_OEM_PLUS;
        case SDL_SCANCODE_COMMA:
            return VK_OEM_COMMA;
        case SDL_SCANCODE_MINUS:
            return VK_OEM_MINUS;
        case SDL_SCANCODE_PERIOD:
            return VK_OEM_PERIOD;
        case SDL_SCANCODE_SLASH:
            return VK_OEM_2;
        case SDL_SCANCODE_GRAVE:
            return VK_OEM_3;
        case SDL_SCANCODE_LEFTBRACKET:
            return VK_OEM_4;
        case SDL_SCANCODE_BACKSLASH:
        case SDL_SCANCODE_NONUSHASH:
            return VK_OEM_5;
        case SDL_SCANCODE_RIGHTBRACKET:
            return VK_OEM_6;
        case SDL_SCANCODE_APOSTROPHE:
            return VK_OEM_7;
        case SDL_SCANCODE_NONUSBACKSLASH:
            return VK_OEM_102;
        default:
            return 0;
    }
}

WPARAM ButtonFlags(Uint32 buttons) {
    WPARAM keys = 0;
    if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
    return keys;
}

WPARAM ModifierFlags(Uint16 mods) {
    WPARAM keys = 0;
    if (mods & KMOD_SHIFT) keys |= MK_SHIFT;
    if (mods & KMOD_CTRL) keys |= MK_CONTROL;
    return keys;
}

bool IsHeadlessDriver(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

}  // namespace

Result<std::unique_ptr<Window>> Window::Create(std::wstring_view title, int width, int height, WindowMode mode) {
    // Without a display SDL quietly falls back to its offscreen driver, and the program would
    // run where nobody can see it (a cron job, an SSH session). The headless drivers are for
    // those who ask for them by name, as the tests do.
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    const bool headlessRequested = requested && IsHeadlessDriver(requested);
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const bool displayNamed = (x11 && *x11) || (wayland && *wayland) || (requested && *requested);
    if (!displayNamed)
        return Error::Failed("no display: neither DISPLAY nor WAYLAND_DISPLAY is set; start the program on a desktop");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return Error::Failed(std::string("no display: ") + SDL_GetError());
    if (IsHeadlessDriver(SDL_GetCurrentVideoDriver()) && !headlessRequested) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return Error::Failed("no display: only SDL's headless video driver could start");
    }
    if (g_wakeEvent.load() == 0) {
        Uint32 id = SDL_RegisterEvents(1);
        if (id != static_cast<Uint32>(-1)) g_wakeEvent.store(id);
    }

    Uint32 flags = SDL_WINDOW_ALLOW_HIGHDPI;
    switch (mode) {
        // Full screen is asked for after the first frame (CompleteFullScreen): without a
        // window manager SDL waits for one to answer, and the pupil would look at nothing
        // meanwhile. The window already covers the desktop, so the first frame looks the same.
        case WindowMode::FullScreen:
            break;
        // An ordinary window the user may move and resize; Present letterboxes the picture
        // into whatever size it gets, as it does on a full screen.
        case WindowMode::Windowed:
            flags |= SDL_WINDOW_RESIZABLE;
            break;
        case WindowMode::Hidden:
            flags |= SDL_WINDOW_HIDDEN;
            break;
    }
    std::string utf8Title = text::ToUtf8(title);
    int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, w = width, h = height;
    SDL_DisplayMode desktop{};
    if (mode == WindowMode::FullScreen && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        // Made at the desktop's size and place from the start: without a window manager to
        // honour the full-screen request the window would otherwise stay small.
        x = y = 0;
        w = desktop.w;
        h = desktop.h;
        flags |= SDL_WINDOW_BORDERLESS;
    }
    SDL_Window* sdl = SDL_CreateWindow(utf8Title.c_str(), x, y, w, h, flags);
    if (!sdl) return Error::Failed(std::string("cannot open the window: ") + SDL_GetError());
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) InstallDisplayLostHandler();
    std::unique_ptr<Window> window(new Window());
    window->window_ = sdl;
    SDL_SetWindowData(sdl, kWindowDataName, window.get());
    window->mode_ = mode;
    window->width_ = width;
    window->height_ = height;
    SDL_StartTextInput();
    return window;
}

Window* Window::FromNativeHandle(void* nativeWindow) {
    return nativeWindow ? static_cast<Window*>(SDL_GetWindowData(Sdl(nativeWindow), kWindowDataName)) : nullptr;
}

Window::~Window() {
    if (window_) SDL_DestroyWindow(Sdl(window_));
}

POINT Window::ToLogical(int x, int y) const {
    int w = 0, h = 0;
    SDL_GetWindowSize(Sdl(window_), &w, &h);
    if (w <= 0 || h <= 0 || (w == width_ && h == height_)) return {x, y};
    // The picture is scaled by the same factor in both directions and centred.
    const double scale = std::min(static_cast<double>(w) / width_, static_cast<double>(h) / height_);
    const double left = (w - width_ * scale) / 2.0;
    const double top = (h - height_ * scale) / 2.0;
    // Floor, not truncation: a point in the bar left of the picture is outside it (negative),
    // and a tiny allowance keeps exact pixel boundaries from falling one pixel short.
    auto toLogical = [scale](double v) { return static_cast<LONG>(std::floor(v / scale + 1e-6)); };
    return {toLogical(x - left), toLogical(y - top)};
}

void Window::PumpEvents(MessageQueue& queue) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT:
                queue.PostLocal(WM_CLOSE, 0, 0);
                break;
            case SDL_WINDOWEVENT:
                switch (e.window.event) {
                    case SDL_WINDOWEVENT_CLOSE:
                        queue.PostLocal(WM_CLOSE, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_MINIMIZED:
                        queue.PostLocal(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
                        break;
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_MAXIMIZED:
                        wholeWindowNeeded_ = true;
                        queue.PostLocal(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width_, height_));
                        break;
                    case SDL_WINDOWEVENT_SHOWN:
                        wholeWindowNeeded_ = true;
                        queue.PostLocal(WM_SHOWWINDOW, 1, 0);
                        break;
                    case SDL_WINDOWEVENT_HIDDEN:
                        queue.PostLocal(WM_SHOWWINDOW, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_EXPOSED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        wholeWindowNeeded_ = true;
                        queue.PostLocal(WM_PAINT, 0, 0);
                        break;
                    default:
                        break;
                }
                break;
            // The MK_ flags come from the events themselves, in the order they happened: SDL's
            // current state has already moved on when a press and its release arrive in one
            // pump, and the press would then claim no button was down.
            case SDL_MOUSEMOTION: {
                POINT p = ToLogical(e.motion.x, e.motion.y);
                pointer_ = p;
                buttons_ = e.motion.state;
                queue.PostLocal(WM_MOUSEMOVE, ButtonFlags(buttons_) | ModifierFlags(mods_), MAKELPARAM(p.x, p.y));
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                const bool down = e.type == SDL_MOUSEBUTTONDOWN;
                POINT p = ToLogical(e.button.x, e.button.y);
                pointer_ = p;
                const Uint32 mask = SDL_BUTTON(e.button.button);
                buttons_ = down ? (buttons_ | mask) : (buttons_ & ~mask);
                UINT message = 0;
                switch (e.button.button) {
                    case SDL_BUTTON_LEFT:
                        // Every second press of a run counts as the double click, as on the
                        // desktops the exercise was first written for.
                        message = down ? (e.button.clicks % 2 == 0 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
                        break;
                    case SDL_BUTTON_RIGHT:
                        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
                        break;
                    case SDL_BUTTON_MIDDLE:
                        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
                        break;
                    default:
                        break;
                }
                if (message)
                    queue.PostLocal(message, ButtonFlags(buttons_) | ModifierFlags(mods_), MAKELPARAM(p.x, p.y));
                break;
            }
            case SDL_MOUSEWHEEL: {
                POINT p = pointer_;
#if SDL_VERSION_ATLEAST(2, 26, 0)
                p = ToLogical(e.wheel.mouseX, e.wheel.mouseY);
#endif
                int delta = e.wheel.y * WHEEL_DELTA;
                if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
                if (delta == 0) break;
                const WPARAM keys = ButtonFlags(buttons_) | ModifierFlags(mods_);
                queue.PostLocal(WM_MOUSEWHEEL, MAKEWPARAM(static_cast<int>(keys), delta), MAKELPARAM(p.x, p.y));
                break;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                const bool down = e.type == SDL_KEYDOWN;
                mods_ = e.key.keysym.mod;
                const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
                const WPARAM vk = VirtualKey(e.key.keysym);
                if (vk == 0) break;
                if (down && alt && vk == VK_F4) {  // no window manager may be there to do it
                    queue.PostLocal(WM_CLOSE, 0, 0);
                    break;
                }
                // lParam: repeat count, scan code, previous-state and transition bits.
                DWORD lp = 1 | (static_cast<DWORD>(e.key.keysym.scancode & 0xFF) << 16);
                if (alt) lp |= 1u << 29;
                if (!down || e.key.repeat) lp |= 1u << 30;
                if (!down) lp |= 1u << 31;
                UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
                queue.PostLocal(message, vk, static_cast<LPARAM>(lp));
                if (down && !alt && (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE)) {
                    WPARAM ch = vk == VK_RETURN ? 13 : vk;
                    queue.PostLocal(WM_CHAR, ch, static_cast<LPARAM>(lp));
                }
                break;
            }
            case SDL_TEXTINPUT: {
                std::u16string units = text::ToUtf16(text::FromUtf8(e.text.text));
                for (char16_t u : units) queue.PostLocal(WM_CHAR, u, 1);
                break;
            }
            default:
                break;  // includes our own wake-up events
        }
    }
}

void Window::WaitForEvents(MessageQueue& queue, std::int64_t timeoutUs) {
    if (timeoutUs == 0) return;
    // Drivers without input of their own (offscreen, dummy) have no real wait: SDL would poll
    // every millisecond. Their only events are our own messages, so wait on the queue instead.
    if (IsHeadlessDriver(SDL_GetCurrentVideoDriver())) {
        queue.Wait(timeoutUs < 0 ? -1 : timeoutUs);
        return;
    }
    // Waiting without taking the event leaves it for PumpEvents; posted messages push a
    // wake-up event.
    // SDL counts whole milliseconds: round up so a timer is never woken for early.
    SDL_WaitEventTimeout(
        nullptr, timeoutUs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>((timeoutUs + 999) / 1000, 60'000)));
}

void Window::Wake() {
    Uint32 id = g_wakeEvent.load();
    if (id == 0) return;
    SDL_Event e{};
    e.type = id;
    SDL_PushEvent(&e);
}

void Window::CompleteFullScreen() {
    if (mode_ != WindowMode::FullScreen || fullScreenAsked_) return;
    fullScreenAsked_ = true;
    if (SDL_SetWindowFullscreen(Sdl(window_), SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        Debug::Print(std::string("full screen refused (") + SDL_GetError() +
                     "); the window stays at the desktop's size");
}

void Window::SetIcon(const std::uint8_t* bgra, int width, int height) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(bgra), width, height, 32, width * 4,
                                                        SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    SDL_SetWindowIcon(Sdl(window_), s);
    SDL_FreeSurface(s);
    iconWidth_ = width;
}

RECT Window::ClientRect() const { return RECT{0, 0, width_, height_}; }

POINT Window::ClientToScreen(POINT client) const {
    int x = 0, y = 0;
    SDL_GetWindowPosition(Sdl(window_), &x, &y);
    return {client.x + x, client.y + y};
}

POINT Window::CursorPos() const {
    if (simulated_) return ClientToScreen(simulatedInside_ ? simulatedPos_ : POINT{-1, -1});
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    return ClientToScreen(ToLogical(x, y));
}

bool Window::PointerInside() const {
    if (simulated_) return simulatedInside_;
    return SDL_GetMouseFocus() == Sdl(window_);
}

void Window::SimulatePointer(bool inside, POINT client) {
    simulated_ = true;
    simulatedInside_ = inside;
    simulatedPos_ = client;
}

int Window::ShowCursor(bool show) {
    cursorCount_ += show ? 1 : -1;
    SDL_ShowCursor(cursorCount_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount_;
}

bool Window::IsControlDown() const { return (SDL_GetModState() & KMOD_CTRL) != 0; }

}  // namespace platform

// The program's one window: an SDL window shown full screen (desktop size, with the picture
// scaled and letterboxed from its 800 x 600 logical size) or as an ordinary resizable window
// (800 x 600 at first, scaled the same way), or hidden for tests. SDL input and window events
// are translated into the Windows-numbered messages the control tree understands and posted to
// a message queue:
//
//   SDL                                   message
//   mouse motion                          WM_MOUSEMOVE, MK_ flags, packed logical x/y
//   button press / release                WM_[LRM]BUTTONDOWN / UP; a second left press
//                                         within the double-click time is WM_LBUTTONDBLCLK
//   wheel                                 WM_MOUSEWHEEL, delta (120 per notch) in the high word
//   key down / up                         WM_KEYDOWN / WM_KEYUP (WM_SYSKEY* with Alt) with the
//                                         virtual-key code; letters by position, so the Russian
//                                         layout still gives 'A'..'Z'
//   text input                            WM_CHAR per UTF-16 unit
//   backspace, tab, enter, escape down    WM_CHAR 8, 9, 13, 27 as well
//   minimised / restored                  WM_SIZE SIZE_MINIMIZED / SIZE_RESTORED
//   shown / hidden                        WM_SHOWWINDOW 1 / 0
//   exposed                               WM_PAINT
//   close button, Alt+F4, quit request    WM_CLOSE
//
// GUI thread only, except Wake(), which any thread may call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/message_queue.h"
#include "platform/result.h"
#include "platform/win_types.h"

namespace platform {

enum class WindowMode { FullScreen, Windowed, Hidden };

class Window {
   public:
    // Opens the window with a client area of the given logical size. Fails when SDL's video
    // cannot start or the window cannot be made, and ("no display: ...") when there is no
    // display to show it on: SDL's headless drivers are used only when SDL_VIDEODRIVER names
    // them.
    static Result<std::unique_ptr<Window>> Create(std::wstring_view title, int width, int height, WindowMode mode);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Translates every waiting SDL event into messages on `queue`.
    void PumpEvents(MessageQueue& queue);
    // Waits for input, a Wake() or a message posted to `queue`, at most `timeoutUs`
    // microseconds of real time (negative: no limit).
    void WaitForEvents(MessageQueue& queue, std::int64_t timeoutUs);
    // Ends a WaitForEvents early. Any thread.
    static void Wake();

    // Asks for full screen once the first frame is on the display (full-screen windows only;
    // later calls do nothing).
    void CompleteFullScreen();

    // Sets the window's icon from 32-bit straight-alpha pixels, bytes B, G, R, A.
    void SetIcon(const std::uint8_t* bgra, int width, int height);
    // The width of the icon last set, 0 before.
    int IconWidth() const { return iconWidth_; }

    // The client area in logical pixels: (0, 0, width, height).
    RECT ClientRect() const;
    // Logical client coordinates to "screen" coordinates: the window's position plus the point.
    POINT ClientToScreen(POINT client) const;
    // The pointer in screen coordinates, as ClientToScreen counts them.
    POINT CursorPos() const;
    // True while the pointer is over the client area.
    bool PointerInside() const;
    // Tests only: pretends the pointer is at a client position (or outside, when `inside` is
    // false) for PointerInside and CursorPos, since a hidden window has no real pointer.
    void SimulatePointer(bool inside, POINT client = {});

    // The cursor display counter: the cursor shows while it is 0 or more. Returns the new count.
    int ShowCursor(bool show);
    int CursorCount() const { return cursorCount_; }
    // Whether a Control key is held down now.
    bool IsControlDown() const;

    bool IsFullScreen() const { return mode_ == WindowMode::FullScreen; }
    bool IsHidden() const { return mode_ == WindowMode::Hidden; }
    int LogicalWidth() const { return width_; }
    int LogicalHeight() const { return height_; }

    // For the graphics device only: the SDL_Window behind this window.
    void* NativeHandle() const { return window_; }

    // Runs `keep` on the GUI thread if the connection to the X display breaks (the session
    // ended, the machine is shutting down), just before the process ends, which it then does
    // as before: there is no quit message and no return to the loop. For what must not be lost;
    // the last one set counts, and an empty one clears it.
    static void OnDisplayLost(std::function<void()> keep);

    // True once after the window lost its contents or changed size (seen by PumpEvents): the
    // next present must copy the whole picture. GUI thread.
    bool TakeWholeWindowNeeded() { return std::exchange(wholeWindowNeeded_, false); }
    // The Window whose native handle is `nativeWindow`; null for a window this class did not make.
    static Window* FromNativeHandle(void* nativeWindow);

   private:
    Window() = default;
    // Window pixels to logical client coordinates (undoing the letterbox scaling).
    POINT ToLogical(int x, int y) const;

    void* window_ = nullptr;
    WindowMode mode_ = WindowMode::Windowed;
    int width_ = 0;
    int height_ = 0;
    int cursorCount_ = 0;
    int iconWidth_ = 0;
    bool fullScreenAsked_ = false;
    bool simulated_ = false;
    bool wholeWindowNeeded_ = false;
    bool simulatedInside_ = false;
    POINT simulatedPos_{};
    // Buttons and modifier keys as the events seen so far left them, and the pointer's last
    // logical position: the state each message reports.
    std::uint32_t buttons_ = 0;
    std::uint16_t mods_ = 0;
    POINT pointer_{};
};

// Lets OnDisplayLost's handler hear of a broken X connection (done when a window opens on X).
void InstallDisplayLostHandler();

}  // namespace platform

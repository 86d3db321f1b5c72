#include "gui/window.h"

#include <cmath>

#include "gui/engine_link.h"
#include "platform/debug.h"

IMWindow* IMControl::RootWindow() const {
    const IMControl* top = this;
    while (const IMControl* up = dynamic_cast<const IMControl*>(top->Parent())) top = up;
    return dynamic_cast<IMWindow*>(const_cast<IMControl*>(top));
}

IMWindow::IMWindow(std::unique_ptr<platform::Window> window, platform::Clock& clock)
    : IMDialog(nullptr, nullptr, 0), window_(std::move(window)), timers_(clock) {}

IMWindow::~IMWindow() {
    ReleaseChildren();  // still while the engine exists: their pictures go back to it
    engine_link::ShutdownEngine();
    timers_.Clear();
    window_.reset();
}

int IMWindow::Dispose() {
    platform::MainQueue().PostLocal(WM_QUIT, 0, 0);
    return 0;
}

int IMWindow::Tick() {
    if (!window_) return 0;
    const bool inside = window_->PointerInside();
    const POINT p = window_->CursorPos();
    if (inside && !IsMouseOver()) {
        // The enter speaks in screen coordinates; the tree below wants the client position.
        const POINT origin = window_->ClientToScreen(POINT{0, 0});
        PointerAt(POINT{p.x - origin.x, p.y - origin.y});
        MouseEnter(IMMouseEvent(this, MSG_MOUSEENTER, 0, 0, p.x, p.y));
    } else if (!inside && IsMouseOver())
        MouseLeave(IMMouseEvent(this, MSG_MOUSELEAVE, 0, 0, p.x, p.y));
    return 0;
}

int IMWindow::Render() {
    if (inactive_) return 0;
    if (IsDirty()) {
        engine_link::BeginFrame();
        Draw(IMEvent(this, EV_DRAW));
        engine_link::EndFrame();
        SetDirty(false);
        if (window_) window_->CompleteFullScreen();
    } else {
        engine_link::CountFrame();
    }
    return 0;
}

LRESULT IMWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    engine_link::OfferToSound(message, wParam, lParam);

    switch (message) {
        case WM_DESTROY:
            platform::MainQueue().PostLocal(WM_QUIT, 0, 0);
            break;
        case WM_SIZE:
            inactive_ = wParam == SIZE_MINIMIZED;
            break;
        case WM_PAINT:
            if (!engine_link::IsDeviceLost() || engine_link::ResetDevice()) SetDirty(true);
            break;
        case WM_CLOSE:
            CloseTree(IMEvent(this, EV_UPDATE));
            // What the system does next with a close request: the window is destroyed.
            WindowProc(WM_DESTROY, 0, 0);
            break;
        case WM_SHOWWINDOW:
            inactive_ = wParam == 0;
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            Key(MakeKeyboardEvent(this, message, wParam, lParam));
            break;
        case WM_MOUSEMOVE:
            if (!engine_link::IsDeviceLost()) MouseMove(MakeMouseEvent(this, message, wParam, lParam));
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MOUSEWHEEL:
            MouseButton(MakeMouseEvent(this, message, wParam, lParam));
            break;
        default:
            break;
    }
    return 0;
}

void IMWindow::IdlePass() {
    if (!engine_link::IsDeviceLost()) {
        Update(IMEvent(this, EV_UPDATE));
        Render();
    }
    if (!timers_.Empty()) timers_.RunDueTimers(this);
}

bool IMWindow::PumpOnce() {
    platform::MessageQueue& queue = platform::MainQueue();
    if (window_) window_->PumpEvents(queue);
    platform::Message m;
    while (queue.Take(&m)) {
        if (m.message == WM_QUIT) return false;
        WindowProc(m.message, m.wParam, m.lParam);
    }
    IdlePass();
    return true;
}

std::int64_t IMWindow::IdleWaitMicroseconds() {
    if (!platform::MainQueue().Empty()) return 0;
    if (everyPass_ > 0) return 1000;
    return timers_.MicrosecondsToNextDue().value_or(-1);
}

std::unique_ptr<IMWindow> CreateMainWindow(const std::wstring& title, const RECT& rect, bool windowed, bool hidden,
                                           platform::Clock& clock) {
    using platform::WindowMode;
    const WindowMode mode = hidden ? WindowMode::Hidden : windowed ? WindowMode::Windowed : WindowMode::FullScreen;
    auto created = platform::Window::Create(title, rect.right - rect.left, rect.bottom - rect.top, mode);
    if (!created) {
        platform::Debug::Print(created.why());
        return nullptr;
    }
    std::unique_ptr<platform::Window> window = std::move(created).value();
    platform::MainQueue().SetWaker(&platform::Window::Wake);
    if (platform::Result<void> engine = engine_link::InitEngine(windowed, clock, *window); !engine) {
        platform::Debug::Print("cannot start: " + engine.why());
        return nullptr;  // the window goes, and with it the main window
    }
    engine_link::SetWindowIcon(*window, L"500");
    auto root = std::make_unique<IMWindow>(std::move(window), clock);
    engine_link::SetSoundTimers(&root->Timers());
    return root;
}

int RunMessageLoop(IMWindow* window) {
    while (window->PumpOnce()) {
        const std::int64_t wait = window->IdleWaitMicroseconds();
        if (wait != 0 && window->NativeWindow()) window->NativeWindow()->WaitForEvents(platform::MainQueue(), wait);
    }
    return 0;
}

#include "core/event.h"

std::wstring IMKeyboardEvent::GetCharText() const {
    if (id != static_cast<int>(WM_CHAR)) return {};
    switch (wParam) {
        case 8:
        case 9:
        case 10:
        case 13:
        case 27:
            return {};
        default:
            return std::wstring(1, static_cast<wchar_t>(wParam & 0xFFFF));
    }
}

bool IsKeyboardMessage(UINT m) {
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

bool IsMouseMessage(UINT m) {
    return (m >= WM_MOUSEMOVE && m <= WM_RBUTTONUP) || m == WM_MBUTTONDOWN || m == WM_MBUTTONUP || m == WM_MOUSEWHEEL;
}

IMKeyboardEvent MakeKeyboardEvent(IMControl* sender, UINT message, WPARAM wParam, LPARAM lParam) {
    return IMKeyboardEvent(sender, static_cast<int>(message), wParam, lParam);
}

IMMouseEvent MakeMouseEvent(IMControl* sender, UINT message, WPARAM wParam, LPARAM lParam) {
    return IMMouseEvent(sender, static_cast<int>(message), wParam, 0, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

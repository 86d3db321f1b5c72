// The Windows data vocabulary the program speaks: integer types, rectangles and points,
// window message numbers, virtual-key codes and mouse key-state flags. The numbers are part
// of the program's behaviour (a left press is 513, F1 is 0x70, x and y are packed in lParam),
// so they keep their real values. Only data lives here, never an imitation of the Win32 API.
#pragma once

#include <cstdint>

using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using LONG = std::int32_t;
using WPARAM = std::uint32_t;  // unsigned 32-bit, as the events carry it
using LPARAM = std::int32_t;   // signed 32-bit
using LRESULT = std::int32_t;

struct POINT {
    LONG x = 0;
    LONG y = 0;
    friend bool operator==(const POINT&, const POINT&) = default;
};

// Right and bottom are exclusive.
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
};

// Window messages.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_USER = 0x0400;

// WM_SIZE kinds.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

// Key-state flags of mouse messages.
inline constexpr WPARAM MK_LBUTTON = 0x0001;
inline constexpr WPARAM MK_RBUTTON = 0x0002;
inline constexpr WPARAM MK_SHIFT = 0x0004;
inline constexpr WPARAM MK_CONTROL = 0x0008;
inline constexpr WPARAM MK_MBUTTON = 0x0010;

inline constexpr int WHEEL_DELTA = 120;

// Virtual-key codes. Letters and digits are their upper-case ASCII codes ('A' = 0x41).
inline constexpr WPARAM VK_BACK = 0x08;
inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_SHIFT = 0x10;
inline constexpr WPARAM VK_CONTROL = 0x11;
inline constexpr WPARAM VK_MENU = 0x12;
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_SPACE = 0x20;
inline constexpr WPARAM VK_PRIOR = 0x21;
inline constexpr WPARAM VK_NEXT = 0x22;
inline constexpr WPARAM VK_END = 0x23;
inline constexpr WPARAM VK_HOME = 0x24;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
inline constexpr WPARAM VK_INSERT = 0x2D;
inline constexpr WPARAM VK_DELETE = 0x2E;
inline constexpr WPARAM VK_F1 = 0x70;
inline constexpr WPARAM VK_F2 = 0x71;
inline constexpr WPARAM VK_F3 = 0x72;
inline constexpr WPARAM VK_F4 = 0x73;
inline constexpr WPARAM VK_F5 = 0x74;
inline constexpr WPARAM VK_F6 = 0x75;
inline constexpr WPARAM VK_F7 = 0x76;
inline constexpr WPARAM VK_F8 = 0x77;
inline constexpr WPARAM VK_F9 = 0x78;
inline constexpr WPARAM VK_F10 = 0x79;
inline constexpr WPARAM VK_F11 = 0x7A;
inline constexpr WPARAM VK_F12 = 0x7B;
inline constexpr WPARAM VK_PAUSE = 0x13;
inline constexpr WPARAM VK_CAPITAL = 0x14;
inline constexpr WPARAM VK_SNAPSHOT = 0x2C;
inline constexpr WPARAM VK_LWIN = 0x5B;
inline constexpr WPARAM VK_RWIN = 0x5C;
inline constexpr WPARAM VK_APPS = 0x5D;
inline constexpr WPARAM VK_NUMPAD0 = 0x60;  // ... VK_NUMPAD9 = 0x69
inline constexpr WPARAM VK_MULTIPLY = 0x6A;
inline constexpr WPARAM VK_ADD = 0x6B;
inline constexpr WPARAM VK_SEPARATOR = 0x6C;
inline constexpr WPARAM VK_SUBTRACT = 0x6D;
inline constexpr WPARAM VK_DECIMAL = 0x6E;
inline constexpr WPARAM VK_DIVIDE = 0x6F;
inline constexpr WPARAM VK_F13 = 0x7C;  // ... VK_F24 = 0x87
inline constexpr WPARAM VK_NUMLOCK = 0x90;
inline constexpr WPARAM VK_SCROLL = 0x91;
inline constexpr WPARAM VK_OEM_1 = 0xBA;  // ;: on a US layout
inline constexpr WPARAM VK_OEM_PLUS = 0xBB;
inline constexpr WPARAM VK_OEM_COMMA = 0xBC;
inline constexpr WPARAM VK_OEM_MINUS = 0xBD;
inline constexpr WPARAM VK_OEM_PERIOD = 0xBE;
inline constexpr WPARAM VK_OEM_2 = 0xBF;    // /?
inline constexpr WPARAM VK_OEM_3 = 0xC0;    // `~
inline constexpr WPARAM VK_OEM_4 = 0xDB;    // [{
inline constexpr WPARAM VK_OEM_5 = 0xDC;    // \|
inline constexpr WPARAM VK_OEM_6 = 0xDD;    // ]}
inline constexpr WPARAM VK_OEM_7 = 0xDE;    // '"
inline constexpr WPARAM VK_OEM_102 = 0xE2;  // the extra key beside left Shift

// Word packing as the messages use it.
constexpr WORD LOWORD(DWORD v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>((static_cast<DWORD>(high & 0xFFFF) << 16) | static_cast<DWORD>(low & 0xFFFF));
}
constexpr WPARAM MAKEWPARAM(int low, int high) {
    return static_cast<WPARAM>((static_cast<DWORD>(high & 0xFFFF) << 16) | static_cast<DWORD>(low & 0xFFFF));
}
// Coordinates in lParam are signed 16-bit halves (a pointer left of the window is negative).
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(LOWORD(static_cast<DWORD>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(HIWORD(static_cast<DWORD>(lp))); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM wp) { return static_cast<std::int16_t>(HIWORD(wp)); }

// Rectangle helpers with the Windows rules.
// The point is inside when left <= x < right and top <= y < bottom.
bool PtInRect(const RECT& r, POINT p);
// Stores the intersection and returns true when it is not empty; an empty intersection
// stores the all-zero rectangle and returns false.
bool IntersectRect(RECT* out, const RECT& a, const RECT& b);
// True when all four edges are equal.
bool EqualRect(const RECT& a, const RECT& b);
// True when the rectangle has no area (right <= left or bottom <= top).
bool IsRectEmpty(const RECT& r);
void OffsetRect(RECT* r, int dx, int dy);

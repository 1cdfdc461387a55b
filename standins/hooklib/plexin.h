#pragma once
// The keyboard hook library as its callers see it: "Plexin.dll" exports installhook and removehook
// under these plain names; after installhook the target window receives WM_RECORDED_KEY for every
// key press and release until removehook.
#include <windows.h>

namespace plexin {

constexpr UINT WM_RECORDED_KEY = WM_USER + 10;  // 0x040A

// TRUE: the hook is in place and reports to the window. FALSE: not a window, or the hook could not
// be set (a diagnostic says why); the previous target, if any, keeps its events.
using InstallHookFunction = BOOL(WINAPI*)(HWND target);
// TRUE: a hook was removed. FALSE: there was none (harmless).
using RemoveHookFunction = BOOL(WINAPI*)();

// wParam of WM_RECORDED_KEY: the virtual key in bits 0-7, the scan code in bits 16-23. lParam is
// the low-level hook's event flags (0x80 release, 0x10 injected, 0x01 extended key).
constexpr WPARAM RecordedKeyWord(DWORD virtualKey, DWORD scanCode)
{
    return static_cast<WPARAM>((virtualKey & 0xFF) | ((scanCode & 0xFF) << 16));
}
constexpr DWORD VirtualKeyOf(WPARAM word) { return static_cast<DWORD>(word & 0xFF); }
constexpr DWORD ScanCodeOf(WPARAM word) { return static_cast<DWORD>((word >> 16) & 0xFF); }

} // namespace plexin

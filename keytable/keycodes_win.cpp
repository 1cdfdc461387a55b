#include "keycodes_win.h"

namespace qelt {

unsigned SystemKeyboardLayout::MapKey(unsigned code, unsigned mapType) const
{
    return MapVirtualKeyExW(code, mapType, m_layout);
}

HKL ForegroundKeyboardLayout::Current()
{
    // Without a foreground window the thread id is 0, which GetKeyboardLayout reads as the
    // calling thread: the program's own layout.
    HWND foreground = GetForegroundWindow();
    DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    return GetKeyboardLayout(thread);
}

unsigned ForegroundKeyboardLayout::MapKey(unsigned code, unsigned mapType) const
{
    return MapVirtualKeyExW(code, mapType, Current());
}

const KeyboardLayout& UsEnglishKeyboardLayout()
{
    // Language 0x409 with its own layout 0x409: the handle Windows gives the US-English layout.
    static const SystemKeyboardLayout layout(reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409)));
    return layout;
}

const KeyboardLayout& ForegroundLayout()
{
    static const ForegroundKeyboardLayout layout;
    return layout;
}

} // namespace qelt

#pragma once
// The keyboard layouts the programs convert key codes with.
#include <windows.h>

#include "keycodes.h"

namespace qelt {

// One fixed layout, asked through MapVirtualKeyExW.
class SystemKeyboardLayout final : public KeyboardLayout {
public:
    explicit SystemKeyboardLayout(HKL layout) : m_layout(layout) {}
    unsigned MapKey(unsigned code, unsigned mapType) const override;
    HKL Handle() const { return m_layout; }

private:
    HKL m_layout;
};

// The layout of the thread that owns the foreground window, taken anew at each call, so that a
// key code follows the layout the user is typing with (the editor's conversions).
class ForegroundKeyboardLayout final : public KeyboardLayout {
public:
    unsigned MapKey(unsigned code, unsigned mapType) const override;
    static HKL Current();
};

// The US-English layout (0x409), which the agent's device tables are built with whatever the
// user's layout is.
const KeyboardLayout& UsEnglishKeyboardLayout();
// The editor's layout: the foreground window's.
const KeyboardLayout& ForegroundLayout();

} // namespace qelt

#pragma once
// A top-level test window that passes its messages through a CSkinnedWindow first, the way the
// programs' skinned windows do.
#include <windows.h>

#include "skinned_window.h"

namespace skintest {

class HostWindow {
public:
    // Hidden windows are built as the programs build theirs, before they are shown.
    explicit HostWindow(SkinBehaviour behaviour = {}, bool visible = true);
    ~HostWindow();
    HWND Window() const { return m_hWnd; }
    CSkinnedWindow& Skin() { return m_skin; }
    // Makes the window the active one so mouse tracking may start.
    void Activate() const;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    CSkinnedWindow m_skin;
    HWND m_hWnd = nullptr;
};

// Removes pending messages of the thread so one test's posts do not reach the next.
void DrainMessages();

} // namespace skintest

#pragma once
// One way to give a platform control (BUTTON, LISTBOX, EDIT) behaviour of its own: the control's
// window procedure is replaced and the object kept in the window's user data, so every message
// reaches the object without a lookup. (SetWindowSubclass keeps its data in a window property,
// fetched from the window manager on every message under Wine.)
//
// A control class derives from SubclassedControl, makes its window with CreateControl and takes
// its messages in OnMessage, handing what it does not handle to CallBase. The object owns the
// window. When the window goes first (its parent is destroyed), OnWindowGone runs at
// WM_NCDESTROY and the object is detached; when the object goes first, it is detached and the
// window destroyed, its last messages going to the platform's procedure.
#include <windows.h>

#include "handles.h"

class SubclassedControl {
public:
    SubclassedControl(const SubclassedControl&) = delete;
    SubclassedControl& operator=(const SubclassedControl&) = delete;

    HWND Window() const noexcept { return m_window.Get(); }

    // The control of kind Control attached to window (a live control of this process), or null.
    template <class Control>
    static Control* Attached(HWND window)
    {
        return dynamic_cast<Control*>(AttachedControl(window));
    }

protected:
    SubclassedControl() = default;
    virtual ~SubclassedControl();

    // Makes the child window of the platform class and takes over its procedure. `what` names
    // the control in diagnostics. False, with a diagnostic, when it cannot (no window is left).
    bool CreateControl(const wchar_t* platformClass, DWORD style, const RECT& rect, HWND parent, UINT id,
                       const wchar_t* what);
    // The platform control's own handling.
    LRESULT CallBase(UINT message, WPARAM wParam, LPARAM lParam) const;

    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The window is being destroyed (WM_NCDESTROY); the object is detached right after.
    virtual void OnWindowGone() {}

private:
    static SubclassedControl* AttachedControl(HWND window);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();  // gives the window back its own procedure

    qelt::UniqueWindow m_window;
    WNDPROC m_baseProc = nullptr;  // the platform control's procedure
};

#include "subclassed_control.h"

#include <string>

#include "diag.h"
#include "window_base.h"

SubclassedControl::~SubclassedControl()
{
    // The derived part is gone: the window's last messages go to the platform control.
    HWND window = m_window.Release();
    if (window == nullptr || !IsWindow(window))
        return;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_baseProc));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

bool SubclassedControl::CreateControl(const wchar_t* platformClass, DWORD style, const RECT& rect, HWND parent,
                                      UINT id, const wchar_t* what)
{
    qelt::UniqueWindow window(CreateWindowExW(0, platformClass, L"", style, rect.left, rect.top,
                                              rect.right - rect.left, rect.bottom - rect.top, parent,
                                              reinterpret_cast<HMENU>(UINT_PTR(id)), GetModuleHandleW(nullptr),
                                              nullptr));
    if (!window) {
        const DWORD error = GetLastError();
        qelt::DiagError((L"CreateWindowExW (" + std::wstring(what) + L")").c_str(), error);
        return false;
    }
    SetWindowLongPtrW(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_baseProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassedControl::Procedure)));
    if (m_baseProc == nullptr) {
        const DWORD error = GetLastError();
        qelt::DiagError((L"SetWindowLongPtrW (" + std::wstring(what) + L")").c_str(), error);
        SetWindowLongPtrW(window.Get(), GWLP_USERDATA, 0);
        return false;  // the window goes with its owner here
    }
    m_window = std::move(window);
    return true;
}

LRESULT SubclassedControl::CallBase(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return CallWindowProcW(m_baseProc, m_window.Get(), message, wParam, lParam);
}

void SubclassedControl::Detach()
{
    HWND window = m_window.Release();
    if (window == nullptr)
        return;
    if (m_baseProc != nullptr)
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_baseProc));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

SubclassedControl* SubclassedControl::AttachedControl(HWND window)
{
    return static_cast<SubclassedControl*>(qelt::ObjectBehind(window, &SubclassedControl::Procedure));
}

LRESULT CALLBACK SubclassedControl::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* control = reinterpret_cast<SubclassedControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (control == nullptr || control->m_window.Get() != window) {
        // Not attached (any more): the platform control's own procedure.
        auto base = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
        return CallWindowProcW(base, window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        control->OnWindowGone();
        WNDPROC base = control->m_baseProc;
        control->Detach();
        return CallWindowProcW(base, window, message, wParam, lParam);
    }
    return control->OnMessage(message, wParam, lParam);
}

#include "skin_host_window.h"

#include "controls.h"

namespace skintest {

namespace {
constexpr const wchar_t* kHostClass = L"QeltSkinTestHost";
}

HostWindow::HostWindow(SkinBehaviour behaviour, bool visible) : m_skin(behaviour)
{
    RegisterSkinWindowClass(kHostClass, WindowProc);
    m_hWnd = CreateWindowExW(0, kHostClass, L"skin test", WS_POPUP | (visible ? WS_VISIBLE : 0), 200, 150, 300, 200,
                             nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

HostWindow::~HostWindow()
{
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    DrainMessages();
}

void HostWindow::Activate() const
{
    SetForegroundWindow(m_hWnd);
    SetActiveWindow(m_hWnd);
}

LRESULT CALLBACK HostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host != nullptr) {
        LRESULT result = 0;
        if (host->m_skin.HandleMessage(window, message, wParam, lParam, result))
            return result;
        if (message == WM_NCDESTROY) {
            host->m_hWnd = nullptr;
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void DrainMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace skintest

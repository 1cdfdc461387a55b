#include "window_base.h"

#include <string>
#include <utility>

#include "diag.h"

namespace qelt {

bool RegisterWindowClass(const WindowClassInfo& info, WNDPROC procedure, HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(instance, info.name, &windowClass))
        return true;
    windowClass = WNDCLASSEXW{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = info.icon;
    windowClass.hCursor = info.cursor != nullptr ? info.cursor : LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = info.background;
    windowClass.lpszClassName = info.name;
    if (RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS)
        return true;
    const DWORD error = GetLastError();
    DiagError((L"RegisterClassExW (" + std::wstring(info.name) + L")").c_str(), error);
    return false;
}

WindowBase::~WindowBase()
{
    UniqueWindow owned(std::exchange(m_window, nullptr));
    // The derived part is gone: the window's last messages must not reach it.
    if (owned)
        SetWindowLongPtrW(owned.Get(), GWLP_USERDATA, 0);
}

void* ObjectBehind(HWND window, WNDPROC procedure)
{
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 || process != GetCurrentProcessId() ||
        GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(procedure))
        return nullptr;
    return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

WindowBase* WindowBase::FromHandle(HWND window)
{
    return static_cast<WindowBase*>(ObjectBehind(window, &WindowBase::Procedure));
}

bool WindowBase::CreateWindowOf(const WindowClassInfo& windowClass, const WindowParams& params, HINSTANCE instance)
{
    if (!RegisterWindowClass(windowClass, &WindowBase::Procedure, instance))
        return false;
    const RECT& r = params.rect;
    HWND window = CreateWindowExW(params.exStyle, windowClass.name, params.title, params.style, r.left, r.top,
                                  r.right - r.left, r.bottom - r.top, params.parent, nullptr, instance, this);
    if (window == nullptr) {
        const DWORD error = GetLastError();
        DiagError((L"CreateWindowExW (" + std::wstring(windowClass.name) + L")").c_str(), error);
        m_window = nullptr;  // a window refused in its creation is gone already
        return false;
    }
    return true;
}

void WindowBase::DestroyWindowNow()
{
    // The window stays attached while it is destroyed; WM_NCDESTROY clears it.
    if (m_window != nullptr && !DestroyWindow(m_window))
        DiagLastError(L"DestroyWindow");
}

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self != nullptr) {
            self->m_window = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->m_window != window)
        return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;  // the platform has destroyed it
    }
    return result;
}

int RunMessageLoop()
{
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        if (got == -1) {
            DiagLastError(L"GetMessageW");
            return -1;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LoopEnd RunMessageLoopUntil(const std::function<bool()>& done)
{
    MSG message;
    while (!done()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return LoopEnd::Quit;
        if (got == -1) {
            DiagLastError(L"GetMessageW");
            return LoopEnd::Failed;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return LoopEnd::Done;
}

} // namespace qelt

#include "skin_host_window.h"

namespace skintest {

namespace {
constexpr const wchar_t* kHostClass = L"QeltSkinTestHost";
}

HostWindow::HostWindow(SkinBehaviour behaviour, bool visible) : m_skin(behaviour)
{
    qelt::WindowParams params;
    params.title = L"skin test";
    params.style = WS_POPUP | (visible ? WS_VISIBLE : 0);
    params.rect = RECT{200, 150, 500, 350};
    CreateWindowOf(qelt::WindowClassInfo{kHostClass}, params);
}

HostWindow::~HostWindow()
{
    DestroyWindowNow();
    DrainMessages();
}

void HostWindow::Activate() const
{
    SetForegroundWindow(Window());
    SetActiveWindow(Window());
}

LRESULT HostWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (m_skin.HandleMessage(Window(), message, wParam, lParam, result))
        return result;
    return DefWindowProcW(Window(), message, wParam, lParam);
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

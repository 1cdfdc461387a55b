// QELT_Settings: the settings editor. Until its skinned windows are built, it opens its main
// window as an empty frame under its own title, so the agent and the tests can find it, and it
// stays a single instance the way the editor does.
#include <windows.h>

#include "diag.h"

namespace {

constexpr wchar_t kEditorTitle[] = L"Zorvane Gear QELT Settings";
constexpr wchar_t kEditorClass[] = L"QELT_SettingsMain";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    if (FindWindowW(nullptr, kEditorTitle))
        return 0;  // already running: end silently

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kEditorClass;
    if (!RegisterClassExW(&windowClass)) {
        qelt::DiagLastError(L"RegisterClassExW");
        return 1;
    }
    HWND window = CreateWindowExW(0, kEditorClass, kEditorTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 400, nullptr, nullptr, instance, nullptr);
    if (!window) {
        qelt::DiagLastError(L"CreateWindowExW");
        return 1;
    }
    ShowWindow(window, show);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

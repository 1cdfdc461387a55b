#pragma once
// One way to build a plain (not dialog) window. A class derives from WindowBase, makes its window
// with CreateWindowOf and takes its messages in OnMessage, a plain switch that hands what it does
// not handle to DefWindowProcW. The object receives every message from WM_NCCREATE (the first)
// to WM_NCDESTROY (the last) and owns the window: the window goes with the object.
//
// The base destroys the window after the derived part is gone, so those last messages go to the
// default procedure. A class whose WM_DESTROY does work calls DestroyWindowNow() from its own
// destructor.
#include <windows.h>

#include <functional>

#include "handles.h"

namespace qelt {

// A window class of this program, registered at its first use.
struct WindowClassInfo {
    const wchar_t* name = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;  // null: the arrow
    HBRUSH background = nullptr;
};

// Where and how the window is made.
struct WindowParams {
    const wchar_t* title = L"";
    DWORD style = WS_POPUP;
    DWORD exStyle = 0;
    RECT rect{0, 0, 0, 0};  // left, top, right, bottom (in the parent for a child)
    HWND parent = nullptr;  // HWND_MESSAGE: a message-only window
};

// The object a window of this process keeps in its user data while `procedure` is its window
// procedure; null for any other window (another procedure, another process, none).
void* ObjectBehind(HWND window, WNDPROC procedure);

// Registers `info` with `procedure` unless this process has that class already. False, with a
// diagnostic, when it cannot.
bool RegisterWindowClass(const WindowClassInfo& info, WNDPROC procedure, HINSTANCE instance);

class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    HWND Window() const noexcept { return m_window; }
    // The object attached to window, if window was made by a WindowBase of this process.
    static WindowBase* FromHandle(HWND window);

protected:
    WindowBase() = default;
    virtual ~WindowBase();

    // Registers the class when needed and makes the window. False, with a diagnostic, when it
    // cannot be made (the window then does not exist).
    bool CreateWindowOf(const WindowClassInfo& windowClass, const WindowParams& params,
                        HINSTANCE instance = GetModuleHandleW(nullptr));
    // Destroys the window while the object still takes its messages (WM_DESTROY included).
    void DestroyWindowNow();

    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The window, owned: set at WM_NCCREATE, cleared at WM_NCDESTROY, destroyed with the object.
    HWND m_window = nullptr;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The thread's message loop until WM_QUIT; returns the quit's exit code (-1 when GetMessageW
// failed, with a diagnostic).
int RunMessageLoop();

enum class LoopEnd {
    Done,    // `done` said so
    Quit,    // WM_QUIT came first
    Failed,  // GetMessageW failed (diagnosed)
};
// The thread's message loop until `done` is true after a message, or WM_QUIT.
LoopEnd RunMessageLoopUntil(const std::function<bool()>& done);

} // namespace qelt

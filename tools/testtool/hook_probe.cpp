// `hookprobe`: a low-level keyboard hook that writes down every key event it sees with a
// high-resolution time, so a scenario can tell which keys a program synthesised (injected keys
// carry LLKHF_INJECTED) and a benchmark can measure how long they took to arrive.
#include <windows.h>

#include "commands.h"
#include "output.h"
#include "text.h"
#include "window_base.h"

namespace qelt::testtool {

namespace {

constexpr wchar_t kProbeClass[] = L"QeltHookProbe";
constexpr wchar_t kDefaultTitle[] = L"QELT Hook Probe";

// A low-level hook procedure gets no context pointer: the one log of this process.
LogFile* g_hookLog = nullptr;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_hookLog) {
        long long now = NowMicroseconds();
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        g_hookLog->Line(L"key vk=%ls scan=%ls flags=%ls time=%lu t=%lld", HexValue(key->vkCode).c_str(),
                        HexValue(key->scanCode).c_str(), HexValue(key->flags).c_str(),
                        static_cast<unsigned long>(key->time), now);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ProbeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

class KeyboardHookOwner {
public:
    bool Install()
    {
        m_hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleW(nullptr), 0);
        return m_hook != nullptr;
    }
    ~KeyboardHookOwner()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
    }

private:
    HHOOK m_hook = nullptr;
};

} // namespace

int HookProbeCommand(const Args& args)
{
    Arguments parsed;
    std::wstring error;
    if (!parsed.Parse(args, {L"--log", L"--title"}, {}, error) || !parsed.Positional().empty() ||
        !parsed.Has(L"--log")) {
        PrintError(L"%ls", error.empty() ? L"usage: hookprobe --log FILE [--title TITLE]" : error.c_str());
        return kExitUsage;
    }
    LogFile log;
    if (!log.Open(WindowsPathFromArgument(parsed.Value(L"--log")))) {
        PrintError(L"cannot open log %ls", parsed.Value(L"--log").c_str());
        return kExitFailed;
    }
    g_hookLog = &log;
    KeyboardHookOwner hook;
    if (!hook.Install()) {
        PrintError(L"SetWindowsHookExW(WH_KEYBOARD_LL) failed, error=%lx", GetLastError());
        return kExitFailed;
    }
    // The window exists only once the hook is in place: waiting for its title waits for the hook.
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ProbeProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kProbeClass;
    if (!RegisterClassExW(&windowClass)) {
        PrintError(L"RegisterClassExW failed, error=%lx", GetLastError());
        return kExitFailed;
    }
    std::wstring title = parsed.Value(L"--title", kDefaultTitle);
    HWND window = CreateWindowExW(0, kProbeClass, title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        PrintError(L"CreateWindowExW failed, error=%lx", GetLastError());
        return kExitFailed;
    }
    log.Line(L"ready hwnd=%ls t=%lld", HexValue(reinterpret_cast<uintptr_t>(window)).c_str(), NowMicroseconds());
    PrintLine(L"%ls", HexValue(reinterpret_cast<uintptr_t>(window)).c_str());
    // The hook runs on this thread's message loop.
    RunMessageLoop();
    g_hookLog = nullptr;
    return kExitOk;
}

} // namespace qelt::testtool

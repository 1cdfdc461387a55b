#include "win32_host.h"

#include "agent_protocol.h"
#include "diag.h"
#include "osd_message.h"
#include "skin_files.h"

#include <cwchar>

namespace qelt {
namespace {

constexpr DWORD kOsdStartWaitMs = 2000;        // a fresh display needs a moment for its window
constexpr DWORD kPollMs = 10;
constexpr UINT kEditorSendTimeoutMs = 5000;
constexpr UINT kOsdSendTimeoutMs = 2000;
constexpr int kOsdStartAttempts = 5;
constexpr size_t kTipChars = 127;

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0)
        DiagLastError(L"GetModuleFileNameW");
    return path;
}

} // namespace

HWND WaitForWindowTitle(const wchar_t* title, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = FindWindowW(nullptr, title))
            return window;
        if (GetTickCount64() >= deadline)
            return nullptr;
        Sleep(kPollMs);
    }
}

void Win32Host::KeyTap(uint8_t virtualKey, bool extended)
{
    const DWORD flags = extended ? KEYEVENTF_EXTENDEDKEY : 0;
    keybd_event(virtualKey, 0, flags, 0);
    keybd_event(virtualKey, 0, flags | KEYEVENTF_KEYUP, 0);
}

void Win32Host::StartTimer(unsigned id, unsigned periodMs)
{
    if (SetTimer(m_window, id, periodMs, nullptr) == 0)
        DiagLastError(L"SetTimer");
}

void Win32Host::StopTimer(unsigned id)
{
    KillTimer(m_window, id);  // a timer that is not running is no error here
}

void Win32Host::Pause(unsigned ms)
{
    Sleep(ms);
}

uint64_t Win32Host::NowMs()
{
    return GetTickCount64();
}

void Win32Host::StartProgram(const std::wstring& path)
{
    if (path.empty()) {
        Diag(L"LaunchAPP: the slot has no program\n");
        return;
    }
    Diag(L"LaunchAPP: starting %ls\n", path.c_str());
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        DiagError(L"ShellExecuteW", static_cast<unsigned long>(result));
}

std::optional<unsigned> Win32Host::WindowsMajorVersion()
{
    // RtlGetVersion reports the real version; GetVersionEx is subject to compatibility shims.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                             reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                       : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!query || query(&info) != 0)
        return std::nullopt;
    return info.dwMajorVersion;
}

void Win32Peers::NotifyEditorProfile(int profile)
{
    HWND editor = FindWindowW(nullptr, kEditorWindowTitle);
    if (!editor)
        return;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(editor, WM_PROFILE_CHANGED, static_cast<WPARAM>(profile), PROFILE_CHANGED_RELOAD,
                             SMTO_ABORTIFHUNG, kEditorSendTimeoutMs, &result))
        DiagLastError(L"SendMessageTimeoutW (WM_PROFILE_CHANGED)");
}

void Win32Peers::CloseEditor()
{
    if (HWND editor = FindWindowW(nullptr, kEditorWindowTitle))
        PostMessageW(editor, WM_CLOSE, 0, 0);
}

void Win32Peers::ShowOsd(const std::wstring& text)
{
    HWND display = FindWindowW(nullptr, kOsdWindowTitle);
    for (int attempt = 0; !display && attempt < kOsdStartAttempts; ++attempt) {
        const std::wstring program = ProgramFolder() + kOsdProgramName + L".exe";
        const auto started = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, nullptr, SW_SHOW));
        Diag(L"%ls\n", ModulePath().c_str());
        // Only a display that did start gets time to open its window; otherwise look once more.
        display = started > 32 ? WaitForWindowTitle(kOsdWindowTitle, kOsdStartWaitMs)
                               : FindWindowW(nullptr, kOsdWindowTitle);
    }
    if (!display)
        return;
    OSD_MESSAGE message = MakeOsdMessage(std::u16string_view(
        reinterpret_cast<const char16_t*>(text.c_str()), text.size()));
    COPYDATASTRUCT copy{0, sizeof message, &message};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(display, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                             kOsdSendTimeoutMs, &result))
        DiagLastError(L"SendMessageTimeoutW (WM_COPYDATA)");
}

uintptr_t Win32Peers::FindLoadingWindow()
{
    return reinterpret_cast<uintptr_t>(FindWindowW(nullptr, kLoadingWindowTitle));
}

void Win32Peers::PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam)
{
    if (!PostMessageW(reinterpret_cast<HWND>(window), WM_LOADING_PROGRESS, wParam, lParam))
        DiagLastError(L"PostMessageW (WM_LOADING_PROGRESS)");
}

Win32Tray::Win32Tray(HWND window)
{
    m_record.cbSize = sizeof m_record;
    m_record.hWnd = window;
    m_record.uID = TRAY_ICON_ID;
}

std::wstring Win32Tray::TipText()
{
    return ReadSkinString(L"trayicon1_str.ini", 1);
}

void Win32Tray::Add(const std::wstring& tip)
{
    m_record.cbSize = sizeof m_record;
    m_record.uID = TRAY_ICON_ID;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_record.uCallbackMessage = WM_TRAY_CALLBACK;
    // The small size of the multi-size icon, so the tray shows the 16-pixel drawing unscaled.
    m_record.hIcon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TRAY_ICON_ID),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (!m_record.hIcon)
        DiagLastError(L"LoadImageW (icon 129)");
    const size_t length = tip.size() < kTipChars ? tip.size() : kTipChars;
    wmemcpy(m_record.szTip, tip.c_str(), length);
    m_record.szTip[length] = L'\0';
    // A second add of a shown icon is refused by the shell; that is fine.
    Shell_NotifyIconW(NIM_ADD, &m_record);
    m_shown = true;
}

void Win32Tray::Remove()
{
    Shell_NotifyIconW(NIM_DELETE, &m_record);
    m_shown = false;
}

void Win32Tray::Restore()
{
    if (m_shown && !Shell_NotifyIconW(NIM_ADD, &m_record))
        Diag(L"Tray icon could not be added again after the task bar restarted\n");
}

} // namespace qelt

#include "hid_window.h"

#include "agent_protocol.h"
#include "diag.h"
#include "resource.h"
#include "skin_files.h"

#include <dbt.h>

namespace qelt {
namespace {

constexpr wchar_t kWindowClass[] = L"CHIDDlg";
constexpr int kRegistrationAttempts = 10;
constexpr DWORD kRegistrationRetryMs = 500;
#ifdef QELT_AGENT_NO_START_PAUSE
constexpr DWORD kStartPauseMs = 0;  // measurement build only
#else
constexpr DWORD kStartPauseMs = 2000;  // gives the filter driver time after log-on
#endif
constexpr DWORD kNotifyForThisSession = 0;  // NOTIFY_FOR_THIS_SESSION

using RegisterSessionFn = BOOL(WINAPI*)(HWND, DWORD);
using UnregisterSessionFn = BOOL(WINAPI*)(HWND);

template <typename Fn>
Fn ExportOf(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextW(dialog, ReadSkinString(L"about.ini", 1).c_str());
        SetDlgItemTextW(dialog, IDC_ABOUT_TEXT2, ReadSkinString(L"about.ini", 2).c_str());
        SetDlgItemTextW(dialog, IDC_ABOUT_TEXT1, ReadSkinString(L"about.ini", 3).c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

std::unique_ptr<CHIDDlg> CHIDDlg::Create(HINSTANCE instance)
{
    std::unique_ptr<CHIDDlg> dialog(new CHIDDlg());
    dialog->m_instance = instance;
    WindowClassInfo windowClass{kWindowClass};
    windowClass.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    WindowParams params;
    params.title = kAgentWindowTitle;
    params.rect = RECT{100, 100, 200, 200};
    if (!dialog->CreateWindowOf(windowClass, params, instance))
        return nullptr;
    return dialog;
}

CHIDDlg::~CHIDDlg()
{
    DestroyWindowNow();  // the agent comes down in WM_DESTROY, with everything here still alive
}

LRESULT CHIDDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_DEVICECHANGE:
        m_session->OnDeviceChange();
        return TRUE;
    case WM_TRAY_CALLBACK:
        return OnTrayCallback(wParam, lParam);
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_WTSSESSION_CHANGE:
        m_session->OnSessionChange(static_cast<unsigned>(wParam));
        m_apps->Refresh();  // a lock stops following the front window at once
        return 0;
    case WM_AP_MESSAGE:
        if (wParam == AP_WRITE_DEVICE_STATUS)
            return m_status->WriteForEditor();
        return m_apps->OnProcessAPMessage(wParam, lParam);
    case WM_AGENT_FRONT_WINDOW:
        m_frontWatch->OnHookEvent();
        m_apps->OnFrontChanged();
        return 0;
    case WM_AGENT_KEY_EVENT:
        m_events->ProcessFun(static_cast<uint16_t>(wParam));
        return 0;
    case WM_AGENT_CHECK_DEVICE:
        m_session->OnDeviceSuspect();
        return 0;
    case WM_POWERBROADCAST:
        m_session->OnPowerBroadcast(static_cast<unsigned>(wParam));
        return TRUE;
    case WM_TIMER: {
        const auto id = static_cast<unsigned>(wParam);
        if (id == TIMER_FRONT_WINDOW) {
            if (m_frontWatch->OnPollTick())
                m_apps->OnFrontChanged();
            return 0;
        }
        if (!m_events->OnTimer(id) && !m_requests->OnTimer(id))
            m_session->OnTimer(id);
        break;
    }
    default:
        if (m_taskbarCreated != 0 && message == m_taskbarCreated) {
            m_tray->Restore();
            return 0;
        }
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

bool CHIDDlg::OnCreate()
{
    m_settings = std::make_unique<ConfigSettings>(AgentDataFolder());

    RegisterSessionNotification();

    m_host = std::make_unique<Win32Host>(m_window);
    m_peers = std::make_unique<Win32Peers>();
    m_tray = std::make_unique<Win32Tray>(m_window);
    m_link = MakeDeviceLink(*m_settings);
    m_status = std::make_unique<DeviceStatus>(*m_tray, *m_settings, *m_peers, *m_host);
    m_requests = std::make_unique<RequestHandler>(*m_link, *m_settings, *m_peers, *m_host);
    m_events = std::make_unique<EventActions>(*m_host, *m_peers, *m_settings, *m_status, *m_requests, *m_link);
    m_session = std::make_unique<SessionMonitor>(*m_link, *m_status, *m_host, *m_events, *m_requests);
    m_appRulesStore = std::make_unique<Win32AppRulesStore>(AgentDataFolder());
    m_frontWatch = std::make_unique<Win32FrontWindowWatch>(m_window);
    m_apps = std::make_unique<AppProfiles>(*m_appRulesStore, *m_frontWatch, *m_settings, *m_events, *m_requests,
                                           *m_status, *m_session);
    m_status->OnChange([this] { m_apps->Refresh(); });
    m_events->OnProfileKey([this](int profile) { m_apps->OnProfileKey(profile); });
    m_link->StartReader(m_window);

    SetWindowLongW(m_window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    m_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

    if (kStartPauseMs)
        Sleep(kStartPauseMs);
    m_session->Start();
    m_apps->Start();

    SetWindowTextW(m_window, kAgentWindowTitle);
    KeyNum = ReadSkinKeyboardModel(ProgramFolder());
    m_link->SetKeyNum(KeyNum);
    return true;
}

void CHIDDlg::RegisterSessionNotification()
{
    hWtsLibrary.Reset(LoadLibraryW(L"wtsapi32.dll"));
    if (!hWtsLibrary)
        return;
    auto registerSession = ExportOf<RegisterSessionFn>(hWtsLibrary.Get(), "WTSRegisterSessionNotification");
    if (!registerSession)
        return;
    for (int attempt = 0; attempt < kRegistrationAttempts; ++attempt) {
        if (registerSession(m_window, kNotifyForThisSession))
            return;
        Sleep(kRegistrationRetryMs);
    }
}

void CHIDDlg::UnregisterSessionNotification()
{
    if (!hWtsLibrary)
        return;
    if (auto unregister = ExportOf<UnregisterSessionFn>(hWtsLibrary.Get(), "WTSUnRegisterSessionNotification"))
        unregister(m_window);
    hWtsLibrary.Reset();
}

void CHIDDlg::OnDestroy()
{
    if (m_torndown || !m_link)
        return;
    m_torndown = true;
    m_frontWatch->Stop();
    m_session->ShutDown();
    if (m_exited) {
        // The exit command already closed the device and removed the icon; the files stay as they are.
        m_link->StopReader();
        UnregisterSessionNotification();
        return;
    }
    Diag(L"Close USB Driver!\n");
    if (m_link->IsOpen())
        m_link->Close();
    m_link->StopReader();
    UnregisterSessionNotification();
    if (HWND display = FindWindowW(nullptr, kOsdWindowTitle))
        PostMessageW(display, WM_DESTROY, 0, 0);
    m_status->StartTrayIcon(false);
    PostQuitMessage(0);
}

LRESULT CHIDDlg::OnTrayCallback(WPARAM iconId, LPARAM mouseMessage)
{
    const std::wstring openText = ReadSkinString(L"trayicon_str.ini", 1);
    const std::wstring exitText = ReadSkinString(L"trayicon_str.ini", 3);
    if (mouseMessage == WM_RBUTTONDOWN) {
        Diag(L"Mouse down\n");
        if (iconId == TRAY_ICON_ID) {
            UniqueMenu menu(CreatePopupMenu());
            if (!menu) {
                DiagLastError(L"CreatePopupMenu");
                return 1;
            }
            AppendMenuW(menu.Get(), MF_STRING, IDC_OPEN_EDITOR, openText.c_str());
            AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu.Get(), MF_STRING, IDC_EXIT_AGENT, exitText.c_str());
            POINT cursor{};
            GetCursorPos(&cursor);
            // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
            SetForegroundWindow(m_window);
            TrackPopupMenu(menu.Get(), 0, cursor.x, cursor.y, 0, m_window, nullptr);
            PostMessageW(m_window, WM_NULL, 0, 0);
        }
    } else if (mouseMessage == WM_LBUTTONDBLCLK) {
        OpenEditor();
    }
    return 1;
}

void CHIDDlg::OnCommand(UINT id)
{
    switch (id) {
    case IDC_ABOUT_BOX:
        ShowAboutBox();
        break;
    case IDC_EXIT_AGENT:
        OnExit();
        break;
    case IDC_OPEN_EDITOR:
        OpenEditor();
        break;
    default:
        break;
    }
}

void CHIDDlg::OpenEditor()
{
    if (FindWindowW(nullptr, kEditorWindowTitle))
        return;
    const std::wstring program = ProgramFolder() + kEditorProgramName + L".exe";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, nullptr, program.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        DiagError(L"ShellExecuteW (QELT_Settings)", static_cast<unsigned long>(result));
}

void CHIDDlg::OnExit()
{
    m_frontWatch->Stop();
    m_session->ShutDown();
    Diag(L"Close USB Driver!\n");
    if (m_link->IsOpen())
        m_link->Close();
    m_tray->Remove();
    if (HWND display = FindWindowW(nullptr, kOsdWindowTitle))
        PostMessageW(display, WM_CLOSE, 0, 0);
    if (HWND editor = FindWindowW(nullptr, kEditorWindowTitle))
        PostMessageW(editor, WM_CLOSE, 0, 0);
    m_exited = true;
    PostQuitMessage(0);
}

void CHIDDlg::ShowAboutBox()
{
    if (DialogBoxParamW(m_instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), m_window, AboutProc, 0) == -1)
        DiagLastError(L"DialogBoxParamW (about)");
}

} // namespace qelt

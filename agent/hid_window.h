#pragma once
// CHIDDlg: the agent's hidden window "Func QELT HID". It receives the editor's requests, the tray
// icon's callbacks and menu commands, session and device notifications, the volume timers and the
// key events the reader thread hands over. Creation brings the agent up, destruction takes it down.
#include "agent_core.h"
#include "agent_settings.h"
#include "front_window_win.h"
#include "handles.h"
#include "win32_host.h"
#include "window_base.h"

#include <windows.h>

#include <memory>
#include <string>

namespace qelt {

// Posted by the reader thread for each event word (wParam), so the key event actions run on the
// window thread, in order, with the records, the device handle and the files touched by one thread.
constexpr UINT WM_AGENT_KEY_EVENT = WM_APP + 1;
// Posted by the link, from either thread, when a request or read failed with an error meaning the
// device handle is gone: the window thread checks the device.
constexpr UINT WM_AGENT_CHECK_DEVICE = WM_APP + 2;

// The link as the window drives it: the handlers' seam plus the reader thread.
class AgentDeviceLink : public AgentLink {
public:
    // Starts the reader; each event word is posted to window as WM_AGENT_KEY_EVENT.
    virtual void StartReader(HWND window) = 0;
    virtual void StopReader() = 0;
    virtual void SetKeyNum(int keyNum) = 0;
};
std::unique_ptr<AgentDeviceLink> MakeDeviceLink(ConfigSettings& settings);

class CHIDDlg final : public WindowBase {
public:
    // Creates the hidden window; null when creation failed (diagnosed).
    static std::unique_ptr<CHIDDlg> Create(HINSTANCE instance);
    ~CHIDDlg() override;

private:
    CHIDDlg() = default;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    bool OnCreate();
    void OnDestroy();
    void RegisterSessionNotification();
    void UnregisterSessionNotification();
    LRESULT OnTrayCallback(WPARAM iconId, LPARAM mouseMessage);
    void OnCommand(UINT id);
    void OpenEditor();
    void OnExit();
    void ShowAboutBox();

    HINSTANCE m_instance = nullptr;
    int KeyNum = 103;
    UniqueModule hWtsLibrary;
    UINT m_taskbarCreated = 0;
    bool m_exited = false;
    bool m_torndown = false;

    std::unique_ptr<ConfigSettings> m_settings;
    std::unique_ptr<AgentDeviceLink> m_link;
    std::unique_ptr<Win32Host> m_host;
    std::unique_ptr<Win32Peers> m_peers;
    std::unique_ptr<Win32Tray> m_tray;
    std::unique_ptr<DeviceStatus> m_status;
    std::unique_ptr<EventActions> m_events;
    std::unique_ptr<RequestHandler> m_requests;
    std::unique_ptr<SessionMonitor> m_session;
    std::unique_ptr<Win32AppRulesStore> m_appRulesStore;
    std::unique_ptr<Win32FrontWindowWatch> m_frontWatch;
    std::unique_ptr<AppProfiles> m_apps;
};

} // namespace qelt

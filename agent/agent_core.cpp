#include "agent_core.h"

#include "agent_protocol.h"
#include "diag.h"
#include "profile_records.h"

#include <cwchar>

namespace qelt {
namespace {

// Virtual keys synthesised for the media and volume keys (winuser.h values).
constexpr uint8_t kVkVolumeMute = 0xAD;
constexpr uint8_t kVkVolumeDown = 0xAE;
constexpr uint8_t kVkVolumeUp = 0xAF;
constexpr uint8_t kVkNextTrack = 0xB0;
constexpr uint8_t kVkPrevTrack = 0xB1;
constexpr uint8_t kVkStop = 0xB2;
constexpr uint8_t kVkPlayPause = 0xB3;

constexpr uint16_t kEventRelease = 0x0000;
constexpr uint16_t kEventDevicePresent = 0x00BD;
constexpr uint16_t kEventDeviceAway = 0x00BE;
constexpr uint16_t kEventProfileBase = 0x01F0;  // + profile + 1
constexpr uint16_t kEventLaunchFirst = 0xFD01;
constexpr uint16_t kEventLaunchLast = 0xFD0A;

constexpr unsigned kDevicePresentPauseMs = 1000;
constexpr unsigned kDeviceAwayPauseMs = 2000;
constexpr unsigned kHideIconPauseMs = 100;
constexpr unsigned kReopenPauseMs = 2000;

// Session notification codes (WTS_*).
constexpr unsigned kConsoleConnect = 1;
constexpr unsigned kConsoleDisconnect = 2;
constexpr unsigned kSessionLock = 7;
constexpr unsigned kSessionUnlock = 8;

bool ValidProfileIndex(intptr_t profile) { return profile >= 0 && profile < PROFILE_COUNT; }

// Progress of one job, posted to the editor's download dialog.
class LoadingProgress : public ProgressSink {
public:
    LoadingProgress(PeerWindows& peers, uintptr_t window) : m_peers(peers), m_window(window) {}
    void Percent(int percent) override { m_peers.PostLoadingProgress(m_window, 1, percent); }
    void Done() override { m_peers.PostLoadingProgress(m_window, 0, 0); }

private:
    PeerWindows& m_peers;
    uintptr_t m_window;
};

} // namespace

void DeviceStatus::StartTrayIcon(bool show)
{
    const std::wstring tip = m_tray.TipText();
    if (show) {
        m_tray.Add(tip);
        m_settings.Load();
        Diag(L"show icon and write device existing\n");
        m_settings.SetDeviceStatus(1);
        m_settings.WriteConfig();
    } else {
        Diag(L"Hide icon and write device NULL\n");
        m_tray.Remove();
        m_peers.CloseEditor();
        m_host.Pause(kHideIconPauseMs);
        m_settings.SetDeviceStatus(0);
        m_settings.WriteConfig();
    }
}

void EventActions::ProcessFun(uint16_t word)
{
    Diag(L"ProcessFun(%x)\n", static_cast<unsigned>(word));
    switch (word) {
    case kEventRelease:
        m_host.StopTimer(TIMER_VOLUME_UP);
        m_host.StopTimer(TIMER_VOLUME_DOWN);
        return;
    case kEventDevicePresent:
        m_host.Pause(kDevicePresentPauseMs);
        m_status.StartTrayIcon(true);
        return;
    case kEventDeviceAway:
        m_host.Pause(kDeviceAwayPauseMs);
        m_status.StartTrayIcon(false);
        return;
    case 0xB500:
        Diag(L"Next Track\n");
        m_host.KeyTap(kVkNextTrack, true);
        return;
    case 0xB600:
        Diag(L"Previous Track\n");
        m_host.KeyTap(kVkPrevTrack, true);
        return;
    case 0xB700:
        Diag(L"Stop\n");
        m_host.KeyTap(kVkStop, true);
        return;
    case 0xCD00:
        Diag(L"Windows Media Player \n");
        m_host.KeyTap(kVkPlayPause, true);
        return;
    case 0xE200:
        Diag(L"Mute\n");
        m_host.KeyTap(kVkVolumeMute, false);
        return;
    case 0xE900:
        Diag(L"VolumeCtrl up\n");
        m_host.KeyTap(kVkVolumeUp, false);
        m_host.StartTimer(TIMER_VOLUME_UP, VOLUME_REPEAT_MS);
        return;
    case 0xEA00:
        Diag(L"VolumeCtrl down\n");
        m_host.KeyTap(kVkVolumeDown, false);
        m_host.StartTimer(TIMER_VOLUME_DOWN, VOLUME_REPEAT_MS);
        return;
    default:
        break;
    }
    if (word > kEventProfileBase && word <= kEventProfileBase + 5) {
        ProfileKey(word - kEventProfileBase - 1);
    } else if (word >= kEventLaunchFirst && word <= kEventLaunchLast) {
        Diag(L"LaunchAPP");
        LaunchAPP(word - kEventLaunchFirst);
    }
}

bool EventActions::OnTimer(unsigned id)
{
    if (id == TIMER_VOLUME_UP) {
        m_host.KeyTap(kVkVolumeUp, false);
        return true;
    }
    if (id == TIMER_VOLUME_DOWN) {
        m_host.KeyTap(kVkVolumeDown, false);
        return true;
    }
    return false;
}

void EventActions::ProfileKey(int profile)
{
    // The keyboard's own order of the two writes differs between the first three keys and the last two.
    if (profile <= 2) {
        m_settings.WritePcMode();
        ControlProfile(profile);
    } else {
        ControlProfile(profile);
        m_settings.WritePcMode();
    }
}

void EventActions::ControlProfile(int profile)
{
    Diag(L"ControlProfile(BYTE lParam,int nProfileIndex)");
    Diag(L"control profile.............");
    m_settings.SetCurrentProfile(profile);
    m_settings.WriteConfig();
    m_peers.NotifyEditorProfile(profile);
    wchar_t text[32];
    std::swprintf(text, 32, L"Profile %d", profile + 1);
    m_peers.ShowOsd(text);
}

void EventActions::LaunchAPP(int slot)
{
    const int profile = m_settings.CurrentProfile();
    if (!ValidProfileIndex(profile) || slot < 0 || slot >= BUTTON_COUNT) {
        Diag(L"LaunchAPP: no current profile (%d), slot %d not started\n", profile, slot);
        return;
    }
    m_host.StartProgram(m_settings.AppPathOf(profile, slot));
}

long RequestHandler::OnProcessAPMessage(uintptr_t wParam, intptr_t lParam)
{
    Diag(L"OnProcessAPMessage\n");
    switch (wParam) {
    case AP_RELOAD_SETTINGS:
        m_settings.Load();
        break;
    case AP_DOWNLOAD_PROFILE:
    case AP_RESET_PROFILE:
    case AP_SET_PROFILE:
        if (!ValidProfileIndex(lParam)) {
            Diag(L"OnProcessAPMessage: request %u with profile index %ld ignored\n",
                 static_cast<unsigned>(wParam), static_cast<long>(lParam));
            break;
        }
        if (wParam == AP_SET_PROFILE) {
            m_link.SetCurrentProfile(static_cast<int>(lParam));
            // The editor has already written this profile as current; launch keys follow it.
            m_settings.SetCurrentProfile(static_cast<int>(lParam));
        } else {
            RunJob(static_cast<unsigned>(wParam), static_cast<int>(lParam));
        }
        break;
    default:
        break;
    }
    return 1;
}

void RequestHandler::RunJob(unsigned request, int profile)
{
    const uintptr_t dialog = m_peers.WaitForLoadingWindow();
    if (dialog == 0) {
        Diag(L"OnProcessAPMessage: no \"DLGLoading\" window appeared, request %u for profile %d skipped\n",
             request, profile);
        return;
    }
    LoadingProgress progress(m_peers, dialog);
    if (request == AP_DOWNLOAD_PROFILE)
        m_link.DownloadProfile(profile, progress);
    else
        m_link.ResetProfile(profile, progress);
}

void SessionMonitor::OnSessionChange(unsigned event)
{
    unsigned major = 6;
    if (const auto version = m_host.WindowsMajorVersion())
        major = *version;
    else
        Diag(L"OnSessionChange: Windows version unknown, taken as 6\n");

    if (major < 6) {
        if (event == kConsoleConnect) {
            m_sessionInactive = false;
            if (m_link.Open())
                m_status.StartTrayIcon(true);
        } else if (event == kConsoleDisconnect) {
            CloseForSession();
        }
        return;
    }
    if (event == kConsoleConnect || event == kSessionUnlock) {
        m_host.Pause(kReopenPauseMs);
        m_sessionInactive = false;
        if (m_link.Open()) {
            Diag(L"WTS_CONSOLE_CONNECT:Open USB Success!");
            m_status.StartTrayIcon(true);
        }
    } else if (event == kConsoleDisconnect || event == kSessionLock) {
        CloseForSession();
    }
}

void SessionMonitor::CloseForSession()
{
    m_sessionInactive = true;
    Diag(L"Close USB Driver!\n");
    if (m_link.IsOpen())
        m_link.Close();
    m_status.StartTrayIcon(false);
}

void SessionMonitor::OnDeviceChange()
{
    Diag(L"OnDeviceChange\n");
    if (!m_link.IsOpen() && !m_sessionInactive) {
        Diag(L"Device Change g_hDevice == NULL\n");
        m_host.Pause(kReopenPauseMs);
        if (m_link.Open()) {
            Diag(L"Device Change g_hDevice != NULL OpenUSBDriver()\n");
            m_status.StartTrayIcon(true);
        }
    } else {
        Diag(L"Device Change g_hDevice != NULL\n");
    }
}

} // namespace qelt

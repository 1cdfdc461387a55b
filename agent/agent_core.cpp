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

constexpr unsigned kLoadingWindowWaitMs = 10000;  // the editor creates the dialog before it posts
constexpr unsigned kLoadingWindowPollMs = 10;

// Progress of one job, posted to the editor's download dialog; a keyboard left without the
// profile is told through the display, like a profile switch.
class LoadingProgress : public ProgressSink {
public:
    LoadingProgress(PeerWindows& peers, uintptr_t window, int profile)
        : m_peers(peers), m_window(window), m_profile(profile) {}
    void Percent(int percent) override { m_peers.PostLoadingProgress(m_window, LOADING_STEP, percent); }
    void NotUpdated() override
    {
        wchar_t text[48];
        std::swprintf(text, 48, L"Profile %d not updated", m_profile + 1);
        m_peers.ShowOsd(text);
    }
    void Done() override { m_peers.PostLoadingProgress(m_window, LOADING_DONE, 0); }

private:
    PeerWindows& m_peers;
    uintptr_t m_window;
    int m_profile;
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
    case kEventDeviceAway:
        // The icon follows after the notice's pause; a newer notice replaces one still pending.
        m_noticeShows = word == kEventDevicePresent;
        m_host.StartTimer(TIMER_DEVICE_NOTICE, m_noticeShows ? kDevicePresentPauseMs : kDeviceAwayPauseMs);
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
        Diag(L"LaunchAPP\n");
        LaunchAPP(word - kEventLaunchFirst);
    }
}

bool EventActions::OnTimer(unsigned id)
{
    if (id == TIMER_DEVICE_NOTICE) {
        m_host.StopTimer(TIMER_DEVICE_NOTICE);
        m_status.StartTrayIcon(m_noticeShows);
        return true;
    }
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
    Diag(L"ControlProfile(BYTE lParam,int nProfileIndex)\n");
    Diag(L"control profile.............\n");
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
    // The keyboard may still hold a launch entry the profile has since given another function;
    // the path the file kept for it is no longer the user's choice.
    const uint8_t function = m_settings.FunctionOf(profile, slot);
    if (function != FUN_LAUNCH_APP) {
        Diag(L"LaunchAPP: slot %d of profile %d has function %u, not a program launch; nothing started\n", slot,
             profile, static_cast<unsigned>(function));
        return;
    }
    m_host.StartProgram(m_settings.AppPathOf(profile, slot));
}

long RequestHandler::OnProcessAPMessage(uintptr_t wParam, intptr_t lParam)
{
    Diag(L"OnProcessAPMessage\n");
    switch (wParam) {
    case AP_RELOAD_SETTINGS:
        break;
    case AP_DOWNLOAD_PROFILE:
    case AP_RESET_PROFILE:
    case AP_SET_PROFILE:
        if (!ValidProfileIndex(lParam)) {
            Diag(L"OnProcessAPMessage: request %llu with profile index %lld ignored\n",
                 static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
            return 1;
        }
        break;
    default:
        return 1;
    }
    const Request request{wParam, wParam == AP_RELOAD_SETTINGS ? 0 : lParam};
    if (m_running) {
        for (const Request& waiting : m_waiting) {
            if (waiting == request) {
                Diag(L"OnProcessAPMessage: request %llu for profile %lld is already waiting\n",
                     static_cast<unsigned long long>(request.code), static_cast<long long>(request.profile));
                return 1;
            }
        }
        m_waiting.push_back(request);
        return 1;
    }
    m_running = true;
    m_job = MakeJob(request);
    Run();
    return 1;
}

bool RequestHandler::OnTimer(unsigned id)
{
    if (id != TIMER_JOB_STEP)
        return false;
    m_host.StopTimer(TIMER_JOB_STEP);  // one pause, not a period
    m_pendingPause = 0;
    if (m_running)
        Run();
    return true;
}

void RequestHandler::Run()
{
    for (;;) {
        while (!m_job.Done()) {
            if (const unsigned pause = m_job.RunNext()) {
                m_pendingPause = pause;
                m_host.StartTimer(TIMER_JOB_STEP, pause);
                return;
            }
        }
        if (m_waiting.empty()) {
            m_running = false;
            return;
        }
        const Request next = m_waiting.front();
        m_waiting.pop_front();
        m_job = MakeJob(next);
    }
}

void RequestHandler::FinishForShutDown()
{
    if (!m_running)
        return;
    m_shuttingDown = true;
    m_host.StopTimer(TIMER_JOB_STEP);
    if (m_pendingPause > 0)  // the device is owed the whole pause after a request
        m_host.Pause(m_pendingPause);
    m_pendingPause = 0;
    if (!m_waiting.empty())
        Diag(L"OnProcessAPMessage: shutting down, %u waiting request(s) dropped\n",
             static_cast<unsigned>(m_waiting.size()));
    m_waiting.clear();
    m_job.RunToEnd([this](unsigned ms) { m_host.Pause(ms); });
    m_running = false;
}

Job RequestHandler::MakeJob(const Request& request)
{
    const int profile = static_cast<int>(request.profile);
    Job job;
    switch (request.code) {
    case AP_RELOAD_SETTINGS:
        job.Then([this] {
            m_settings.Load();
            return 0u;
        });
        break;
    case AP_SET_PROFILE:
        job.Then(m_link.SetCurrentProfile(profile));
        job.Then([this, profile] {
            // The editor has already written this profile as current; launch keys follow it.
            m_settings.SetCurrentProfile(profile);
            return 0u;
        });
        break;
    default:
        job.Then(WaitForLoadingWindow(request, m_host.NowMs() + kLoadingWindowWaitMs));
        break;
    }
    return job;
}

Job RequestHandler::WaitForLoadingWindow(const Request& request, uint64_t deadline)
{
    return Job().Then([this, request, deadline] {
        if (const uintptr_t dialog = m_peers.FindLoadingWindow()) {
            m_job.Prepend(RunWithLoadingWindow(request, dialog));
            return 0u;
        }
        if (m_shuttingDown || m_host.NowMs() >= deadline) {
            Diag(L"OnProcessAPMessage: no \"DLGLoading\" window appeared, request %llu for profile %lld skipped\n",
                 static_cast<unsigned long long>(request.code), static_cast<long long>(request.profile));
            return 0u;
        }
        m_job.Prepend(WaitForLoadingWindow(request, deadline));
        return kLoadingWindowPollMs;
    });
}

Job RequestHandler::RunWithLoadingWindow(const Request& request, uintptr_t dialog)
{
    const int profile = static_cast<int>(request.profile);
    auto progress = std::make_shared<LoadingProgress>(m_peers, dialog, profile);
    if (request.code == AP_DOWNLOAD_PROFILE)
        return m_link.DownloadProfile(profile, progress);
    return m_link.ResetProfile(profile, progress);
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
        ScheduleReopen(Reopen::Session);
    } else if (event == kConsoleDisconnect || event == kSessionLock) {
        CloseForSession();
    }
}

void SessionMonitor::CloseForSession()
{
    CancelReopen();  // a lock after an unlock wins, as it would after the unlock's pause
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
        // A burst of notifications makes one attempt, after the pause that follows the last.
        if (m_reopen != Reopen::Session)
            ScheduleReopen(Reopen::DeviceChange);
    } else {
        Diag(L"Device Change g_hDevice != NULL\n");
    }
}

void SessionMonitor::ScheduleReopen(Reopen reason)
{
    m_reopen = reason;
    m_host.StartTimer(TIMER_REOPEN, kReopenPauseMs);
}

void SessionMonitor::CancelReopen()
{
    if (m_reopen == Reopen::None)
        return;
    m_host.StopTimer(TIMER_REOPEN);
    m_reopen = Reopen::None;
}

bool SessionMonitor::OnTimer(unsigned id)
{
    if (id != TIMER_REOPEN)
        return false;
    const Reopen reason = m_reopen;
    CancelReopen();
    if (reason == Reopen::Session) {
        m_sessionInactive = false;
        if (m_link.Open()) {
            Diag(L"WTS_CONSOLE_CONNECT:Open USB Success!\n");
            m_status.StartTrayIcon(true);
        }
    } else if (reason == Reopen::DeviceChange && !m_link.IsOpen() && !m_sessionInactive) {
        if (m_link.Open()) {
            Diag(L"Device Change g_hDevice != NULL OpenUSBDriver()\n");
            m_status.StartTrayIcon(true);
        }
    }
    return true;
}

} // namespace qelt

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
constexpr unsigned kFirstBackoffMs = 4000;   // after the attempt 2 s after the loss
constexpr unsigned kMaxBackoffMs = 60000;
constexpr unsigned kLookAfterNotificationMs = 30000;

// WM_POWERBROADCAST events (PBT_*).
constexpr unsigned kResumeSuspend = 7;
constexpr unsigned kResumeAutomatic = 0x12;

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
    m_shown = show;
    if (m_onChange)
        m_onChange();
}

long DeviceStatus::WriteForEditor()
{
    const int status = m_shown ? 1 : 0;
    Diag(L"The editor asks for the device status: %d\n", status);
    m_settings.WriteDeviceStatus(status);
    return DeviceStatusAnswer(m_shown);
}

void EventActions::ProcessFun(uint16_t word)
{
    Diag(L"ProcessFun(%x)\n", static_cast<unsigned>(word));
    switch (word) {
    case kEventRelease:
        m_host.StopTimer(TIMER_VOLUME_UP);
        m_host.StopTimer(TIMER_VOLUME_DOWN);
        m_volumeUp = m_volumeDown = false;
        return;
    case kEventDevicePresent:
    case kEventDeviceAway:
        if (word == kEventDeviceAway)
            StopVolumeRepeat();  // a keyboard that went away sends no release word
        // The icon follows after the notice's pause; a newer notice replaces one still pending.
        m_noticeShows = word == kEventDevicePresent;
        m_noticePending = true;
        ++m_noticeToken;
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
        StartVolumeRepeat(TIMER_VOLUME_UP);
        return;
    case 0xEA00:
        Diag(L"VolumeCtrl down\n");
        m_host.KeyTap(kVkVolumeDown, false);
        StartVolumeRepeat(TIMER_VOLUME_DOWN);
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
        if (!m_noticePending)
            return true;  // a tick queued before the notice was cancelled
        m_noticePending = false;
        ShowNotice(m_noticeShows);
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

void EventActions::ShowNotice(bool shows)
{
    // A running download ends before the icon and DEVICEPSTATS change under it.
    const unsigned token = m_noticeToken;
    m_requests.AfterRunningJob([this, shows, token] {
        if (token != m_noticeToken)
            return;  // cancelled or replaced while the job ran
        if (!m_link.IsOpen()) {
            Diag(L"ProcessFun: keyboard notice dropped, the device is closed\n");
            return;
        }
        m_status.StartTrayIcon(shows);
    });
}

void EventActions::StartVolumeRepeat(unsigned timer)
{
    // A word read just before the device closed: no release word can follow it.
    if (!m_link.IsOpen())
        return;
    m_host.StartTimer(timer, VOLUME_REPEAT_MS);
    (timer == TIMER_VOLUME_UP ? m_volumeUp : m_volumeDown) = true;
}

void EventActions::StopVolumeRepeat()
{
    if (m_volumeUp)
        m_host.StopTimer(TIMER_VOLUME_UP);
    if (m_volumeDown)
        m_host.StopTimer(TIMER_VOLUME_DOWN);
    m_volumeUp = m_volumeDown = false;
}

void EventActions::StopDeviceActivity()
{
    StopVolumeRepeat();
    if (m_noticePending)
        m_host.StopTimer(TIMER_DEVICE_NOTICE);
    m_noticePending = false;
    ++m_noticeToken;  // a notice waiting for a job is dropped too
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
    if (m_onProfileKey)
        m_onProfileKey(profile);
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

void EventActions::ControlPcMode()
{
    m_settings.SetCurrentProfile(PC_MODE_PROFILE);
    m_settings.WriteConfig();
    m_peers.NotifyEditorProfile(PC_MODE_PROFILE);
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
    if (request.code == AP_SET_PROFILE) {
        // The editor has already written this profile as current: a launch key, a lock or a
        // keyboard notice from now on uses it, not the one before.
        m_settings.SetCurrentProfile(static_cast<int>(request.profile));
    }
    if (m_running) {
        Enqueue(request);
        return 1;
    }
    m_running = true;
    m_job = MakeJob(request);
    Run();
    return 1;
}

void RequestHandler::Enqueue(const Request& request)
{
    if (!m_waiting.empty() && m_waiting.back() == request) {
        Diag(L"OnProcessAPMessage: request %llu for profile %lld is already waiting\n",
             static_cast<unsigned long long>(request.code), static_cast<long long>(request.profile));
        return;
    }
    if (request.code == AP_SET_PROFILE) {
        for (Request& waiting : m_waiting) {
            if (waiting.code == AP_SET_PROFILE) {
                Diag(L"OnProcessAPMessage: set profile %lld replaces set profile %lld still waiting\n",
                     static_cast<long long>(request.profile), static_cast<long long>(waiting.profile));
                waiting = request;
                return;
            }
        }
    }
    m_waiting.push_back(request);
}

void RequestHandler::AfterRunningJob(std::function<void()> action)
{
    if (!m_running) {
        action();
        return;
    }
    m_afterJob.push_back(std::move(action));
}

void RequestHandler::DropWaiting(const wchar_t* why)
{
    if (m_waiting.empty())
        return;
    Diag(L"OnProcessAPMessage: %ls, %u waiting request(s) dropped\n", why, static_cast<unsigned>(m_waiting.size()));
    m_waiting.clear();
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
        m_running = false;
        // What waited for this job (the device closing or opening, a keyboard notice) comes
        // before the next request; an action may drop the requests still waiting.
        while (!m_afterJob.empty()) {
            std::function<void()> action = std::move(m_afterJob.front());
            m_afterJob.pop_front();
            action();
        }
        if (m_waiting.empty())
            return;
        const Request next = m_waiting.front();
        m_waiting.pop_front();
        m_running = true;
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
    if (!m_afterJob.empty())
        Diag(L"OnProcessAPMessage: shutting down, %u action(s) waiting for the job dropped\n",
             static_cast<unsigned>(m_afterJob.size()));
    m_afterJob.clear();
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

void SessionMonitor::Start()
{
    if (m_link.Open()) {
        m_status.StartTrayIcon(true);
        return;
    }
    m_status.StartTrayIcon(false);
    ResetRetries();
    RetryLater();
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
            CancelReopen();
            ResetRetries();
            const unsigned token = m_attemptToken;
            m_requests.AfterRunningJob([this, token] {
                if (token == m_attemptToken)
                    Attempt(Reopen::Session);
            });
        } else if (event == kConsoleDisconnect) {
            CloseForSession();
        }
        return;
    }
    if (event == kConsoleConnect || event == kSessionUnlock) {
        ResetRetries();
        ScheduleReopen(Reopen::Session, kReopenPauseMs);
    } else if (event == kConsoleDisconnect || event == kSessionLock) {
        CloseForSession();
    }
}

void SessionMonitor::CloseForSession()
{
    CancelReopen();  // a lock after an unlock wins, as it would after the unlock's pause
    ResetRetries();
    m_sessionInactive = true;
    m_events.StopDeviceActivity();  // at once: the volume must not climb while a job ends
    m_requests.AfterRunningJob([this] { CloseDevice(L"session locked or disconnected"); });
}

void SessionMonitor::CloseDevice(const wchar_t* why)
{
    m_requests.DropWaiting(why);
    m_events.StopDeviceActivity();  // a notice that arrived while the job ended
    Diag(L"Close USB Driver!\n");
    if (m_link.IsOpen())
        m_link.Close();
    m_status.StartTrayIcon(false);
}

void SessionMonitor::OnDeviceChange()
{
    Diag(L"OnDeviceChange\n");
    if (m_sessionInactive) {
        Diag(L"Device Change g_hDevice != NULL\n");
        return;
    }
    if (m_link.IsOpen()) {
        Diag(L"Device Change g_hDevice != NULL\n");
        RequestCheck();  // the keyboard may be the device that went
        return;
    }
    Diag(L"Device Change g_hDevice == NULL\n");
    LookAgainSoon();
}

void SessionMonitor::OnPowerBroadcast(unsigned event)
{
    if (event != kResumeAutomatic && event != kResumeSuspend)
        return;
    Diag(L"OnPowerBroadcast: resumed (%u)\n", event);
    if (m_sessionInactive)
        return;  // the unlock that follows opens the device
    if (m_link.IsOpen())
        RequestCheck();  // a driver restarted during sleep leaves the handle dead
    else
        LookAgainSoon();
}

void SessionMonitor::OnDeviceSuspect()
{
    if (!m_sessionInactive && m_link.IsOpen())
        RequestCheck();
}

void SessionMonitor::LookAgainSoon()
{
    // A session re-open already waiting keeps its pause.
    if (m_reopen == Reopen::Session)
        return;
    ResetRetries();
    m_lookUntilMs = m_host.NowMs() + kLookAfterNotificationMs;
    ScheduleReopen(Reopen::Retry, kReopenPauseMs);
}

void SessionMonitor::RequestCheck()
{
    if (m_checkQueued)
        return;
    m_checkQueued = true;
    m_requests.AfterRunningJob([this] {
        m_checkQueued = false;
        RunCheck();
    });
}

void SessionMonitor::RunCheck()
{
    if (m_sessionInactive || !m_link.IsOpen())
        return;
    if (m_link.CheckDevice())
        return;
    Diag(L"device check failed: the keyboard's driver is gone, closing the device and looking for it again\n");
    CancelReopen();
    m_events.StopDeviceActivity();
    CloseDevice(L"device gone");
    ResetRetries();
    ScheduleReopen(Reopen::Retry, kReopenPauseMs);
}

void SessionMonitor::Attempt(Reopen reason)
{
    if (reason == Reopen::Session) {
        m_sessionInactive = false;
    } else if (m_sessionInactive || m_link.IsOpen()) {
        return;
    }
    if (m_link.Open()) {
        if (reason == Reopen::Session)
            Diag(L"WTS_CONSOLE_CONNECT:Open USB Success!\n");
        else
            Diag(L"Device Change g_hDevice != NULL OpenUSBDriver()\n");
        ResetRetries();
        m_status.StartTrayIcon(true);
        return;
    }
    RetryLater();
}

void SessionMonitor::RetryLater()
{
    if (m_sessionInactive)
        return;
    if (m_host.NowMs() < m_lookUntilMs) {
        ScheduleReopen(Reopen::Retry, kReopenPauseMs);
        return;
    }
    const unsigned delay = m_backoffMs;
    m_backoffMs = m_backoffMs >= kMaxBackoffMs / 2 ? kMaxBackoffMs : m_backoffMs * 2;
    ScheduleReopen(Reopen::Retry, delay);
}

void SessionMonitor::ResetRetries()
{
    m_backoffMs = kFirstBackoffMs;
    m_lookUntilMs = 0;
}

void SessionMonitor::ScheduleReopen(Reopen reason, unsigned delayMs)
{
    m_reopen = reason;
    ++m_attemptToken;
    m_host.StartTimer(TIMER_REOPEN, delayMs);
}

void SessionMonitor::CancelReopen()
{
    ++m_attemptToken;  // an attempt waiting for a job is dropped too
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
    m_host.StopTimer(TIMER_REOPEN);
    m_reopen = Reopen::None;
    if (reason == Reopen::None)
        return true;
    // The device opens only between jobs.
    const unsigned token = m_attemptToken;
    m_requests.AfterRunningJob([this, reason, token] {
        if (token == m_attemptToken)
            Attempt(reason);
    });
    return true;
}

void SessionMonitor::ShutDown()
{
    CancelReopen();
    m_events.StopDeviceActivity();
    m_requests.FinishForShutDown();
}

void AppProfiles::Start()
{
    m_follower.SetRules(m_store.Read());
    Diag(L"Program profiles: %u rule(s)\n", static_cast<unsigned>(m_follower.Rules().Rules().size()));
    Refresh();
}

long AppProfiles::OnProcessAPMessage(uintptr_t wParam, intptr_t lParam)
{
    if (wParam == AP_RELOAD_APP_PROFILES) {
        ReloadRules();
        return PROTOCOL_ANSWER;
    }
    // The editor restates the current profile when it opens and after Apply: only a set-profile
    // request for another profile is the user's choice.
    const bool choice = wParam == AP_SET_PROFILE && ValidProfileIndex(lParam) && lParam != m_settings.CurrentProfile();
    const long answer = m_requests.OnProcessAPMessage(wParam, lParam);
    if (choice)
        m_follower.OnUserChoice(static_cast<int>(lParam));
    return answer;
}

void AppProfiles::OnProfileKey(int profile)
{
    m_follower.OnUserChoice(profile);
}

void AppProfiles::ReloadRules()
{
    m_follower.SetRules(m_store.Read());
    Diag(L"Program profiles: read again, %u rule(s)\n", static_cast<unsigned>(m_follower.Rules().Rules().size()));
    Refresh();
}

void AppProfiles::OnFrontChanged()
{
    if (m_watching)
        m_follower.OnFrontWindow(m_watch.Query());
}

void AppProfiles::Refresh()
{
    const bool wanted = m_follower.Active() && m_status.Shown() && !m_session.SessionInactive();
    if (wanted == m_watching)
        return;
    m_watching = wanted;
    if (wanted) {
        m_watch.Start();
        OnFrontChanged();
        return;
    }
    m_watch.Stop();
    m_follower.Forget();
}

int AppProfiles::CurrentProfile() const
{
    return m_settings.CurrentProfile();
}

void AppProfiles::SwitchTo(int profile)
{
    if (profile == PC_MODE_PROFILE)
        m_events.ControlPcMode();
    else
        m_events.ControlProfile(profile);
    m_requests.SetProfile(profile);
}

} // namespace qelt

#pragma once
// The agent's behaviour behind its window: device status presentation, key event actions,
// the editor's requests and the session and device notifications.
#include "agent_protocol.h"
#include "agent_seams.h"
#include "app_follower.h"

#include <cstdint>
#include <deque>
#include <functional>

namespace qelt {

// StartTrayIcon: the icon and DEVICEPSTATS follow whether the keyboard is usable.
class DeviceStatus {
public:
    DeviceStatus(TrayIcon& tray, AgentSettings& settings, PeerWindows& peers, AgentHost& host)
        : m_tray(tray), m_settings(settings), m_peers(peers), m_host(host) {}
    void StartTrayIcon(bool show);
    // Whether the keyboard is usable (the icon shows).
    bool Shown() const { return m_shown; }
    // AP_WRITE_DEVICE_STATUS: the editor found no configuration to read the status from. The
    // status goes into Config.config and is the answer (DeviceStatusAnswer), even while a job runs.
    long WriteForEditor();
    // Called after each change of the status.
    void OnChange(std::function<void()> listener) { m_onChange = std::move(listener); }

private:
    TrayIcon& m_tray;
    AgentSettings& m_settings;
    PeerWindows& m_peers;
    AgentHost& m_host;
    bool m_shown = false;
    std::function<void()> m_onChange;
};

class RequestHandler;

// ProcessFun: one event word from the keyboard becomes an action on the host.
class EventActions {
public:
    EventActions(AgentHost& host, PeerWindows& peers, AgentSettings& settings, DeviceStatus& status,
                 RequestHandler& requests, const AgentLink& link)
        : m_host(host), m_peers(peers), m_settings(settings), m_status(status), m_requests(requests), m_link(link)
    {
    }

    void ProcessFun(uint16_t word);
    // A tick of one of the volume repeat timers, or the end of a device notice's pause; false for
    // any other timer.
    bool OnTimer(unsigned id);
    // The device closes or the agent shuts down: no release word will come, so the volume repeat
    // stops, and a keyboard notice still in its pause is dropped.
    void StopDeviceActivity();

    void ControlProfile(int profile);
    // PC mode made current by the agent itself (a return to the user's choice): the configuration
    // and the editor follow as when the editor or qeltctl choose it; the display shows no profile
    // number, there being none, and PC_MODE, which profile keys set to 0 on leaving it, stays.
    void ControlPcMode();
    void LaunchAPP(int slot);
    // Called with the profile of each profile key, after the agent made it current.
    void OnProfileKey(std::function<void(int)> listener) { m_onProfileKey = std::move(listener); }

private:
    void ProfileKey(int profile);
    void StartVolumeRepeat(unsigned timer);
    void StopVolumeRepeat();
    void ShowNotice(bool shows);

    AgentHost& m_host;
    PeerWindows& m_peers;
    AgentSettings& m_settings;
    DeviceStatus& m_status;
    RequestHandler& m_requests;
    const AgentLink& m_link;
    bool m_noticeShows = false;   // the pending device notice: keyboard back (true) or away
    bool m_noticePending = false; // its timer runs
    unsigned m_noticeToken = 0;   // tells a notice waiting for a job from one cancelled since
    bool m_volumeUp = false;      // the repeat timers that run
    bool m_volumeDown = false;
    std::function<void(int)> m_onProfileKey;
};

// OnProcessAPMessage: the editor's requests 0-3, run one at a time in the order they arrive. A
// running job waits between its steps on the window's job timer (TIMER_JOB_STEP), so the window
// goes on answering messages and acting on key events meanwhile. Requests that arrive meanwhile
// wait their turn: one equal to the last one waiting is not added again, and a set-profile request
// replaces a set-profile request still waiting, so the keyboard ends on the profile asked for last.
class RequestHandler {
public:
    RequestHandler(AgentLink& link, AgentSettings& settings, PeerWindows& peers, AgentHost& host)
        : m_link(link), m_settings(settings), m_peers(peers), m_host(host) {}
    long OnProcessAPMessage(uintptr_t wParam, intptr_t lParam);
    // The agent's own set-profile request (the program profiles), under the same order rules.
    void SetProfile(int profile) { OnProcessAPMessage(AP_SET_PROFILE, profile); }
    // The job timer fired: the running job goes on. False for any other timer.
    bool OnTimer(unsigned id);
    // Shut-down: the running job's remaining steps run at once, pausing with the host, so the
    // keyboard is not left with half a profile; a job still waiting for "DLGLoading", the waiting
    // requests and the actions waiting for the job are dropped.
    void FinishForShutDown();
    bool Idle() const { return !m_running; }
    // Runs action at once when no job runs; otherwise right after the running job's last step,
    // before any waiting request starts (actions in the order given). A job that has started thus
    // ends before the device closes or opens under it.
    void AfterRunningJob(std::function<void()> action);
    // Drops the requests that wait, with a diagnostic naming why; their dialogs see no end.
    void DropWaiting(const wchar_t* why);

private:
    struct Request {
        uintptr_t code;
        intptr_t profile;
        bool operator==(const Request& other) const { return code == other.code && profile == other.profile; }
    };
    void Enqueue(const Request& request);
    Job MakeJob(const Request& request);
    Job WaitForLoadingWindow(const Request& request, uint64_t deadline);
    Job RunWithLoadingWindow(const Request& request, uintptr_t dialog);
    // Runs steps until one asks for a pause (the timer is started) or every job has ended.
    void Run();

    AgentLink& m_link;
    AgentSettings& m_settings;
    PeerWindows& m_peers;
    AgentHost& m_host;
    Job m_job;                      // the remaining steps of the running request
    std::deque<Request> m_waiting;  // requests that arrived while one was running
    std::deque<std::function<void()>> m_afterJob;  // actions waiting for the running job's end
    unsigned m_pendingPause = 0;    // the pause the job timer is counting
    bool m_running = false;
    bool m_shuttingDown = false;
};

// The device's life: start, session lock/unlock and console connect/disconnect, device-change
// notifications, resume from sleep and a device found gone. The device opens and closes only
// between jobs (a started job runs to its end first). Pauses before an open attempt run on the
// window's timer (TIMER_REOPEN); a lock or disconnect meanwhile cancels the attempt.
//
// Finding the device again: a device-change notification or a resume while the device is open,
// and a request or read that failed with an error meaning the handle is gone, make the agent check
// the handle with a request that changes nothing on the keyboard. A failed check closes the device
// as a disconnect does and tries again 2 s later, then with back-off (4, 8, ... 60 s) for as long
// as the session is active. A device-change notification while the device is closed gives an
// attempt 2 s later, and, while none succeeds, one every 2 s for 30 s after the last notification.
class SessionMonitor {
public:
    SessionMonitor(AgentLink& link, DeviceStatus& status, AgentHost& host, EventActions& events,
                   RequestHandler& requests)
        : m_link(link), m_status(status), m_host(host), m_events(events), m_requests(requests) {}
    // Start-up: open and hook the device and show the status; without it, keep looking.
    void Start();
    void OnSessionChange(unsigned event);
    void OnDeviceChange();
    // WM_POWERBROADCAST: the resume events check the device or look for it.
    void OnPowerBroadcast(unsigned event);
    // A request or read failed with an error meaning the handle is gone.
    void OnDeviceSuspect();
    // The re-open pause has ended; false for any other timer.
    bool OnTimer(unsigned id);
    // Shut-down, before the device closes: volume repeat stops, no attempt is pending, the
    // running job ends.
    void ShutDown();
    bool SessionInactive() const { return m_sessionInactive; }

private:
    enum class Reopen { None, Session, Retry };
    void CloseForSession();
    // The closing steps: waiting requests dropped, device closed, status hidden.
    void CloseDevice(const wchar_t* why);
    void RequestCheck();
    void RunCheck();
    void Attempt(Reopen reason);
    void LookAgainSoon();  // after a notification while the device is closed
    void RetryLater();     // after a failed attempt
    void ScheduleReopen(Reopen reason, unsigned delayMs);
    void CancelReopen();
    void ResetRetries();

    AgentLink& m_link;
    DeviceStatus& m_status;
    AgentHost& m_host;
    EventActions& m_events;
    RequestHandler& m_requests;
    bool m_sessionInactive = false;
    Reopen m_reopen = Reopen::None;  // the attempt the timer counts down to
    unsigned m_attemptToken = 0;     // tells an attempt waiting for a job from one cancelled since
    bool m_checkQueued = false;
    unsigned m_backoffMs = 0;        // the pause after the next failed attempt
    uint64_t m_lookUntilMs = 0;      // attempts every 2 s until then (after a notification)
};

// The program profiles in the agent: the rules read at start and on AP_RELOAD_APP_PROFILES, the
// front window watched only while there is a rule, the session is active and the keyboard usable
// (Refresh after each change of those), and the follower's switches carried out as a profile
// change (Config.config, the editor, the display) plus a set-profile request to the keyboard.
// The user's choices (profile keys, AP_SET_PROFILE from the editor or qeltctl) reach the follower;
// its own switches do not count as choices.
class AppProfiles final : private ProfileSwitch {
public:
    AppProfiles(AppRulesStore& store, FrontWindowWatch& watch, AgentSettings& settings, EventActions& events,
                RequestHandler& requests, DeviceStatus& status, const SessionMonitor& session)
        : m_store(store), m_watch(watch), m_settings(settings), m_events(events), m_requests(requests),
          m_status(status), m_session(session) {}

    void Start();
    // The editor's and qeltctl's requests: AP_RELOAD_APP_PROFILES reads the rules again; the rest
    // go to the request handler, a set-profile request being the user's choice.
    long OnProcessAPMessage(uintptr_t wParam, intptr_t lParam);
    void OnProfileKey(int profile);
    // The front window may have changed (the hook's event or the poll's tick).
    void OnFrontChanged();
    // The session, the keyboard or the rules changed: the watch starts or stops.
    void Refresh();
    bool Watching() const { return m_watching; }
    const AppFollower& Follower() const { return m_follower; }

private:
    int CurrentProfile() const override;
    void SwitchTo(int profile) override;
    void ReloadRules();

    AppRulesStore& m_store;
    FrontWindowWatch& m_watch;
    AgentSettings& m_settings;
    EventActions& m_events;
    RequestHandler& m_requests;
    DeviceStatus& m_status;
    const SessionMonitor& m_session;
    AppFollower m_follower{*this};
    bool m_watching = false;
};

} // namespace qelt

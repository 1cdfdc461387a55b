#pragma once
// The agent's behaviour behind its window: device status presentation, key event actions,
// the editor's requests and the session and device notifications.
#include "agent_seams.h"

#include <cstdint>
#include <deque>

namespace qelt {

// StartTrayIcon: the icon and DEVICEPSTATS follow whether the keyboard is usable.
class DeviceStatus {
public:
    DeviceStatus(TrayIcon& tray, AgentSettings& settings, PeerWindows& peers, AgentHost& host)
        : m_tray(tray), m_settings(settings), m_peers(peers), m_host(host) {}
    void StartTrayIcon(bool show);

private:
    TrayIcon& m_tray;
    AgentSettings& m_settings;
    PeerWindows& m_peers;
    AgentHost& m_host;
};

// ProcessFun: one event word from the keyboard becomes an action on the host.
class EventActions {
public:
    EventActions(AgentHost& host, PeerWindows& peers, AgentSettings& settings, DeviceStatus& status)
        : m_host(host), m_peers(peers), m_settings(settings), m_status(status) {}

    void ProcessFun(uint16_t word);
    // A tick of one of the volume repeat timers, or the end of a device notice's pause; false for
    // any other timer.
    bool OnTimer(unsigned id);

    void ControlProfile(int profile);
    void LaunchAPP(int slot);

private:
    void ProfileKey(int profile);

    AgentHost& m_host;
    PeerWindows& m_peers;
    AgentSettings& m_settings;
    DeviceStatus& m_status;
    bool m_noticeShows = false;  // the pending device notice: keyboard back (true) or away
};

// OnProcessAPMessage: the editor's requests 0-3, run one at a time in the order they arrive. A
// running job waits between its steps on the window's job timer (TIMER_JOB_STEP), so the window
// goes on answering messages and acting on key events meanwhile; requests that arrive meanwhile
// wait their turn, and one identical to a request already waiting is not added again.
class RequestHandler {
public:
    RequestHandler(AgentLink& link, AgentSettings& settings, PeerWindows& peers, AgentHost& host)
        : m_link(link), m_settings(settings), m_peers(peers), m_host(host) {}
    long OnProcessAPMessage(uintptr_t wParam, intptr_t lParam);
    // The job timer fired: the running job goes on. False for any other timer.
    bool OnTimer(unsigned id);
    // Shut-down: the running job's remaining steps run at once, pausing with the host, so the
    // keyboard is not left with half a profile; a job still waiting for "DLGLoading" and the
    // waiting requests are dropped.
    void FinishForShutDown();
    bool Idle() const { return !m_running; }

private:
    struct Request {
        uintptr_t code;
        intptr_t profile;
        bool operator==(const Request& other) const { return code == other.code && profile == other.profile; }
    };
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
    unsigned m_pendingPause = 0;    // the pause the job timer is counting
    bool m_running = false;
    bool m_shuttingDown = false;
};

// Session lock/unlock, console connect/disconnect and device arrivals. The pause before a re-open
// runs on the window's timer (TIMER_REOPEN); a lock or disconnect meanwhile cancels the re-open.
class SessionMonitor {
public:
    SessionMonitor(AgentLink& link, DeviceStatus& status, AgentHost& host)
        : m_link(link), m_status(status), m_host(host) {}
    void OnSessionChange(unsigned event);
    void OnDeviceChange();
    // The re-open pause has ended; false for any other timer.
    bool OnTimer(unsigned id);
    bool SessionInactive() const { return m_sessionInactive; }

private:
    enum class Reopen { None, Session, DeviceChange };
    void CloseForSession();
    void ScheduleReopen(Reopen reason);
    void CancelReopen();

    AgentLink& m_link;
    DeviceStatus& m_status;
    AgentHost& m_host;
    bool m_sessionInactive = false;
    Reopen m_reopen = Reopen::None;
};

} // namespace qelt

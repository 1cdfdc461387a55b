#pragma once
// The agent's behaviour behind its window: device status presentation, key event actions,
// the editor's requests and the session and device notifications.
#include "agent_seams.h"

#include <cstdint>

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
    // A tick of one of the volume repeat timers; false for any other timer.
    bool OnTimer(unsigned id);

    void ControlProfile(int profile);
    void LaunchAPP(int slot);

private:
    void ProfileKey(int profile);

    AgentHost& m_host;
    PeerWindows& m_peers;
    AgentSettings& m_settings;
    DeviceStatus& m_status;
};

// OnProcessAPMessage: the editor's requests 0-3.
class RequestHandler {
public:
    RequestHandler(AgentLink& link, AgentSettings& settings, PeerWindows& peers)
        : m_link(link), m_settings(settings), m_peers(peers) {}
    long OnProcessAPMessage(uintptr_t wParam, intptr_t lParam);

private:
    void RunJob(unsigned request, int profile);

    AgentLink& m_link;
    AgentSettings& m_settings;
    PeerWindows& m_peers;
};

// Session lock/unlock, console connect/disconnect and device arrivals.
class SessionMonitor {
public:
    SessionMonitor(AgentLink& link, DeviceStatus& status, AgentHost& host)
        : m_link(link), m_status(status), m_host(host) {}
    void OnSessionChange(unsigned event);
    void OnDeviceChange();
    bool SessionInactive() const { return m_sessionInactive; }

private:
    void CloseForSession();

    AgentLink& m_link;
    DeviceStatus& m_status;
    AgentHost& m_host;
    bool m_sessionInactive = false;
};

} // namespace qelt

#pragma once
// The window in front and the program that owns it, for the program profiles.
#include <windows.h>

#include <string>

#include "agent_seams.h"
#include "app_follower.h"
#include "handles.h"

namespace qelt {

// The foreground window's title and its program's full path. For a window of the UWP frame host
// ("ApplicationFrameHost.exe") the program is that of its content window, the app itself.
// Empty when there is no foreground window or its program cannot be asked.
FrontWindow QueryFrontWindow();

// The same for a given window (the foreground window, or one a test names).
FrontWindow DescribeWindow(HWND window);

// Posted to the agent's window by the foreground event hook.
constexpr UINT WM_AGENT_FRONT_WINDOW = WM_APP + 3;

// Watches the front window for the agent's window: an out-of-context EVENT_SYSTEM_FOREGROUND hook
// (its events are posted as WM_AGENT_FRONT_WINDOW) and a poll of GetForegroundWindow on the
// window's TIMER_FRONT_WINDOW. Some platforms install the hook but never deliver its events (Wine),
// so the poll runs every kFastPollMs until a first event proves the hook; then it only looks for
// title changes of the same window (which raise no foreground event) every kTitlePollMs.
class Win32FrontWindowWatch final : public FrontWindowWatch {
public:
    static constexpr UINT kFastPollMs = 150;
    static constexpr UINT kTitlePollMs = 1000;

    explicit Win32FrontWindowWatch(HWND window) : m_window(window) {}
    ~Win32FrontWindowWatch() override { Stop(); }
    void Start() override;
    void Stop() override;
    FrontWindow Query() override;

    // A foreground event arrived: the hook works here.
    void OnHookEvent();
    // The poll's tick: true when the front window or its title changed since the last look.
    bool OnPollTick();

private:
    void StartPoll(UINT periodMs);

    HWND m_window;
    UniqueWinEventHook m_hook;
    bool m_hookProven = false;
    bool m_polling = false;
    HWND m_lastFront = nullptr;
    std::wstring m_lastTitle;
};

} // namespace qelt

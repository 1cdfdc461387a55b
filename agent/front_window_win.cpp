#include "front_window_win.h"

#include <string>

#include "agent_protocol.h"
#include "diag.h"
#include "process_program.h"

namespace qelt {

namespace {

bool IsFrameHost(const std::wstring& program)
{
    const size_t slash = program.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? program : program.substr(slash + 1);
    return CompareStringOrdinal(name.c_str(), -1, L"ApplicationFrameHost.exe", -1, TRUE) == CSTR_EQUAL;
}

struct ContentSearch {
    DWORD hostProcess;
    DWORD contentProcess;
};

// A UWP app's frame belongs to the frame host; its content is a child window of the app's own
// process.
BOOL CALLBACK FindContentChild(HWND child, LPARAM parameter)
{
    auto* search = reinterpret_cast<ContentSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(child, &processId);
    if (processId != 0 && processId != search->hostProcess) {
        search->contentProcess = processId;
        return FALSE;
    }
    return TRUE;
}

std::wstring TitleOf(HWND window)
{
    wchar_t title[512] = L"";
    GetWindowTextW(window, title, 512);  // another process's window: no message is sent
    return title;
}

// Out of context, the hook's events come through this thread's message loop: the agent's window,
// found by its title, acts on them.
void CALLBACK ForegroundEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD)
{
    if (HWND agent = FindWindowW(nullptr, kAgentWindowTitle))
        PostMessageW(agent, WM_AGENT_FRONT_WINDOW, 0, 0);
}

} // namespace

FrontWindow DescribeWindow(HWND window)
{
    FrontWindow front;
    if (window == nullptr)
        return front;
    front.title = TitleOf(window);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    front.program = ProgramOfProcess(processId);
    if (IsFrameHost(front.program)) {
        ContentSearch search{processId, 0};
        EnumChildWindows(window, FindContentChild, reinterpret_cast<LPARAM>(&search));
        if (search.contentProcess != 0)
            front.program = ProgramOfProcess(search.contentProcess);
    }
    return front;
}

FrontWindow QueryFrontWindow()
{
    return DescribeWindow(GetForegroundWindow());
}


void Win32FrontWindowWatch::Start()
{
    if (!m_hook) {
        m_hook.Reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, ForegroundEvent, 0, 0,
                                     WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
        if (!m_hook)
            DiagLastError(L"SetWinEventHook (foreground window)");
    }
    m_lastFront = nullptr;
    m_lastTitle.clear();
    if (m_hookProven) {
        Diag(L"Program profiles: following the front window by its foreground events\n");
        StartPoll(kTitlePollMs);
    } else {
        Diag(L"Program profiles: following the front window by a poll every %u ms until a foreground event arrives\n",
             kFastPollMs);
        StartPoll(kFastPollMs);
    }
}

void Win32FrontWindowWatch::Stop()
{
    m_hook.Reset();
    if (m_polling)
        KillTimer(m_window, TIMER_FRONT_WINDOW);
    m_polling = false;
}

void Win32FrontWindowWatch::StartPoll(UINT periodMs)
{
    if (SetTimer(m_window, TIMER_FRONT_WINDOW, periodMs, nullptr) == 0) {
        DiagLastError(L"SetTimer (front window poll)");
        m_polling = false;
        return;
    }
    m_polling = true;
}

FrontWindow Win32FrontWindowWatch::Query()
{
    m_lastFront = GetForegroundWindow();
    FrontWindow front = DescribeWindow(m_lastFront);
    m_lastTitle = front.title;
    return front;
}

void Win32FrontWindowWatch::OnHookEvent()
{
    if (m_hookProven || !m_hook)
        return;
    m_hookProven = true;
    Diag(L"Program profiles: foreground events arrive, the poll now looks for title changes only\n");
    StartPoll(kTitlePollMs);
}

bool Win32FrontWindowWatch::OnPollTick()
{
    if (!m_polling)
        return false;  // a tick queued before the watch stopped
    HWND front = GetForegroundWindow();
    if (front != m_lastFront)
        return true;
    return front != nullptr && TitleOf(front) != m_lastTitle;
}

} // namespace qelt

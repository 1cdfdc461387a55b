#include "loading_window.h"

#include "agent_channel.h"
#include "diag.h"
#include "download_job.h"

namespace qelt {
namespace {

constexpr wchar_t kClassName[] = L"QeltctlLoading";
// How often the agent's window is looked at: a download keeps the agent busy for seconds, and
// an agent that ends meanwhile should not cost the whole time limit.
constexpr UINT_PTR TIMER_AGENT_ALIVE = 1005;
constexpr unsigned AGENT_ALIVE_MS = 250;

} // namespace

JobOutcome LoadingWindow::Run(ApRequest job, int profile, unsigned silenceLimitMs, ProgressSink onProgress)
{
    m_job = job;
    m_profile = profile;
    m_silenceLimitMs = silenceLimitMs;
    m_onProgress = std::move(onProgress);
    m_ended = false;
    if (!Create())
        return JobOutcome::Failed;

    m_agent = FindAgentWindow();
    if (m_agent == nullptr || !PostAgentRequest(AP_RELOAD_SETTINGS, 0))
        return JobOutcome::AgentGone;
    // The job request follows the reload after the editor's pause, without blocking this thread.
    if (!SetTimer(m_window, TIMER_SECOND_REQUEST, REQUEST_PAUSE_MS, nullptr) ||
        !SetTimer(m_window, TIMER_AGENT_ALIVE, AGENT_ALIVE_MS, nullptr)) {
        DiagLastError(L"SetTimer (loading window)");
        return JobOutcome::Failed;
    }
    if (RunMessageLoopUntil([this] { return m_ended; }) != LoopEnd::Done)
        return JobOutcome::Closed;
    DestroyWindowNow();
    return m_outcome;
}

bool LoadingWindow::Create()
{
    // A hidden top-level window: the agent looks it up by title, which a message-only window
    // would not answer.
    WindowSpec spec;
    spec.title = kLoadingWindowTitle;
    spec.exStyle = WS_EX_TOOLWINDOW;
    return CreateWindowOf(WindowClassSpec{kClassName}, spec);
}

LRESULT LoadingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LOADING_PROGRESS:
        if (wParam == 1) {
            if (lParam >= PROGRESS_MIN && lParam <= PROGRESS_MAX && m_onProgress)
                m_onProgress(int(lParam));
            WatchAgent();  // a sign of life: the time limit starts again
        } else if (wParam == 0) {
            End(JobOutcome::Finished);
        }
        return 1;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_CLOSE:
        End(JobOutcome::Closed);
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void LoadingWindow::OnTimer(UINT_PTR timer)
{
    switch (timer) {
    case TIMER_SECOND_REQUEST:
        KillTimer(m_window, TIMER_SECOND_REQUEST);
        if (!PostAgentRequest(m_job, m_profile)) {
            End(JobOutcome::AgentGone);
            return;
        }
        WatchAgent();
        break;
    case TIMER_AGENT_SILENT:
        End(JobOutcome::NoAnswer);
        break;
    case TIMER_AGENT_ALIVE:
        if (!IsWindow(m_agent))
            End(JobOutcome::AgentGone);
        break;
    default:
        break;
    }
}

void LoadingWindow::WatchAgent()
{
    if (!SetTimer(m_window, TIMER_AGENT_SILENT, m_silenceLimitMs, nullptr))
        DiagLastError(L"SetTimer (agent time limit)");
}

void LoadingWindow::End(JobOutcome outcome)
{
    if (m_ended)
        return;
    m_ended = true;
    m_outcome = outcome;
    KillTimer(m_window, TIMER_SECOND_REQUEST);
    KillTimer(m_window, TIMER_AGENT_SILENT);
    KillTimer(m_window, TIMER_AGENT_ALIVE);
}

} // namespace qelt

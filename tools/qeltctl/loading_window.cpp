#include "loading_window.h"

#include "diag.h"

namespace qelt {
namespace {

constexpr wchar_t kClassName[] = L"QeltctlLoading";

JobOutcome OutcomeOf(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Finished:
        return JobOutcome::Finished;
    case ExchangeOutcome::AgentGone:
        return JobOutcome::AgentGone;
    case ExchangeOutcome::NoAnswer:
        return JobOutcome::NoAnswer;
    case ExchangeOutcome::Abandoned:
        return JobOutcome::Closed;
    case ExchangeOutcome::NoKeyboard:
        break;  // qeltctl checks for the keyboard before it starts
    }
    return JobOutcome::Failed;
}

} // namespace

JobOutcome LoadingWindow::Run(ApRequest job, int profile, unsigned silenceLimitMs, ProgressSink onProgress)
{
    m_onProgress = std::move(onProgress);
    m_ended = false;
    if (!Create())
        return JobOutcome::Failed;
    m_port.emplace(m_window);
    m_exchange.emplace(*m_port, static_cast<ExchangeOwner&>(*this), silenceLimitMs);
    m_exchange->Start(JobRequest{job, profile}, true);
    if (!m_ended && RunMessageLoopUntil([this] { return m_ended; }) != LoopEnd::Done)
        return m_ended ? m_outcome : JobOutcome::Closed;
    DestroyWindowNow();
    return m_outcome;
}

bool LoadingWindow::Create()
{
    // A hidden top-level window: the agent looks it up by title, which a message-only window
    // would not answer.
    WindowParams params;
    params.title = kLoadingWindowTitle;
    params.exStyle = WS_EX_TOOLWINDOW;
    return CreateWindowOf(WindowClassInfo{kClassName}, params);
}

LRESULT LoadingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_exchange)
        return DefWindowProcW(m_window, message, wParam, lParam);
    switch (message) {
    case WM_LOADING_PROGRESS:
        m_exchange->OnProgress(wParam, lParam);
        return PROTOCOL_ANSWER;
    case WM_TIMER:
        m_exchange->OnTimer(unsigned(wParam));
        return 0;
    case WM_CLOSE:
        m_exchange->Abandon();
        return 0;
    default:
        return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

void LoadingWindow::ShowProgress(int barValue, bool percentInRange)
{
    if (percentInRange && m_onProgress)
        m_onProgress(barValue);
}

void LoadingWindow::Ended(ExchangeOutcome outcome)
{
    m_ended = true;
    m_outcome = OutcomeOf(outcome);
}

} // namespace qelt

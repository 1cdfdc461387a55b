#include "download_exchange.h"

#include <cwchar>

#include "diag.h"

namespace qelt {

DownloadExchange::DownloadExchange(ExchangePort& port, ExchangeOwner& owner, unsigned silenceLimitMs)
    : m_port(port), m_owner(owner), m_silenceLimitMs(silenceLimitMs)
{
}

void DownloadExchange::Start(JobRequest job, bool keyboardPresent)
{
    if (m_stage != Stage::Idle)
        return;
    m_job = job;
    if (!keyboardPresent)
        m_owner.WarnNoKeyboard();
    if (!m_port.ConnectAgent()) {
        End(keyboardPresent ? ExchangeOutcome::AgentGone : ExchangeOutcome::NoKeyboard,
            L"the agent's window is missing");
        return;
    }
    Diag(job.request == AP_RESET_PROFILE ? L"Start to reset data!\n" : L"Start to write data!\n");
    if (!m_port.PostToAgent(AP_RELOAD_SETTINGS, 0)) {
        End(keyboardPresent ? ExchangeOutcome::AgentGone : ExchangeOutcome::NoKeyboard,
            L"the agent's window is missing");
        return;
    }
    // The job request follows the reload after a pause, without holding the window's thread.
    m_stage = keyboardPresent ? Stage::Pausing : Stage::PausingWithoutKeyboard;
    m_port.StartTimer(TIMER_SECOND_REQUEST, REQUEST_PAUSE_MS);
    if (keyboardPresent)
        m_port.StartTimer(TIMER_AGENT_ALIVE, AGENT_ALIVE_MS);
}

bool DownloadExchange::OnTimer(unsigned timer)
{
    switch (timer) {
    case TIMER_SECOND_REQUEST:
        m_port.StopTimer(TIMER_SECOND_REQUEST);
        if (m_stage == Stage::Pausing || m_stage == Stage::PausingWithoutKeyboard)
            PostJob();
        return true;
    case TIMER_AGENT_SILENT:
        if (m_stage == Stage::Waiting) {
            wchar_t reason[64];
            std::swprintf(reason, 64, L"no answer from the agent within %u s", m_silenceLimitMs / 1000);
            End(ExchangeOutcome::NoAnswer, reason);
        } else {
            m_port.StopTimer(TIMER_AGENT_SILENT);
        }
        return true;
    case TIMER_AGENT_ALIVE:
        if (m_stage == Stage::Pausing || m_stage == Stage::Waiting) {
            if (!m_port.AgentAlive())
                End(ExchangeOutcome::AgentGone, L"the agent ended before it had finished");
        } else {
            m_port.StopTimer(TIMER_AGENT_ALIVE);
        }
        return true;
    default:
        return false;
    }
}

void DownloadExchange::PostJob()
{
    const bool posted = m_port.PostToAgent(m_job.request, m_job.profile);
    if (m_stage == Stage::PausingWithoutKeyboard) {
        // Nobody waits for the agent's report: the editor knew of no keyboard.
        End(ExchangeOutcome::NoKeyboard, posted ? nullptr : L"the agent's window is missing");
        return;
    }
    if (!posted) {
        End(ExchangeOutcome::AgentGone, L"the agent ended before it had finished");
        return;
    }
    m_stage = Stage::Waiting;
    m_port.StartTimer(TIMER_AGENT_SILENT, m_silenceLimitMs);
}

void DownloadExchange::OnProgress(std::uintptr_t kind, std::intptr_t percent)
{
    if (m_stage == Stage::Ended)
        return;
    if (kind == LOADING_STEP) {
        m_owner.ShowProgress(ProgressBarValue(percent), percent >= PROGRESS_MIN && percent <= PROGRESS_MAX);
        // A sign of life: the time limit starts again.
        if (m_stage == Stage::Pausing || m_stage == Stage::Waiting)
            m_port.StartTimer(TIMER_AGENT_SILENT, m_silenceLimitMs);
    } else if (kind == LOADING_DONE) {
        End(ExchangeOutcome::Finished, nullptr);
    }
}

void DownloadExchange::Abandon()
{
    if (m_stage != Stage::Ended)
        End(ExchangeOutcome::Abandoned, L"its window was closed");
}

void DownloadExchange::End(ExchangeOutcome outcome, const wchar_t* reason)
{
    m_stage = Stage::Ended;
    m_port.StopTimer(TIMER_SECOND_REQUEST);
    m_port.StopTimer(TIMER_AGENT_SILENT);
    m_port.StopTimer(TIMER_AGENT_ALIVE);
    if (reason != nullptr)
        Diag(L"ERROR: download of profile %d ended: %ls\n", m_job.profile, reason);
    m_owner.Ended(outcome);
}

} // namespace qelt

#include "download_exchange_port.h"

#include "agent_channel.h"
#include "diag.h"

namespace qelt {

bool WindowExchangePort::ConnectAgent()
{
    m_agent = FindAgentWindow();
    return m_agent != nullptr;
}

bool WindowExchangePort::AgentAlive()
{
    // The window found at the start: an agent started again meanwhile knows nothing of this job.
    return m_agent != nullptr && IsWindow(m_agent);
}

bool WindowExchangePort::PostToAgent(ApRequest request, int profile)
{
    return PostAgentRequest(request, profile);
}

void WindowExchangePort::StartTimer(unsigned timer, unsigned ms)
{
    if (!SetTimer(m_timerWindow, timer, ms, nullptr))
        DiagLastError(L"SetTimer (download exchange)");
}

void WindowExchangePort::StopTimer(unsigned timer)
{
    // Stopping a timer that is not running is expected here: nothing to report.
    KillTimer(m_timerWindow, timer);
}

} // namespace qelt

#pragma once
// The download exchange's port on Win32: the agent's window found by its title, the exchange's
// timers on the window that runs it.
#include <windows.h>

#include "download_exchange.h"

namespace qelt {

class WindowExchangePort : public ExchangePort {
public:
    explicit WindowExchangePort(HWND timerWindow) : m_timerWindow(timerWindow) {}

    bool ConnectAgent() override;
    bool AgentAlive() override;
    bool PostToAgent(ApRequest request, int profile) override;
    void StartTimer(unsigned timer, unsigned ms) override;
    void StopTimer(unsigned timer) override;

private:
    HWND m_timerWindow;
    HWND m_agent = nullptr;
};

} // namespace qelt

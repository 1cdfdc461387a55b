#pragma once
// qeltctl's own "DLGLoading": a hidden window the agent finds by that title and reports a
// download's or reset's progress to. It runs the download exchange the editor's download dialog
// runs: the reload request, a pause, the job request, then progress until the agent reports the end.
#include <windows.h>

#include <functional>
#include <optional>

#include "agent_protocol.h"
#include "download_exchange.h"
#include "download_exchange_port.h"
#include "window_base.h"

namespace qelt {

enum class JobOutcome {
    Finished,   // the agent reported the end
    AgentGone,  // the agent's window was missing or went away
    NoAnswer,   // nothing from the agent within the time limit
    Closed,     // the window was closed from outside
    Failed,     // the window could not be made
};

class LoadingWindow final : public WindowBase, private ExchangeOwner {
public:
    using ProgressSink = std::function<void(int percent)>;

    LoadingWindow() = default;

    // Runs one job (AP_DOWNLOAD_PROFILE or AP_RESET_PROFILE) for a profile index. The time
    // limit starts with the job request and again with every progress report.
    JobOutcome Run(ApRequest job, int profile, unsigned silenceLimitMs, ProgressSink onProgress);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool Create();

    void WarnNoKeyboard() override {}
    void ShowProgress(int barValue, bool percentInRange) override;
    void Ended(ExchangeOutcome outcome) override;

    ProgressSink m_onProgress;
    std::optional<WindowExchangePort> m_port;
    std::optional<DownloadExchange> m_exchange;
    bool m_ended = false;
    JobOutcome m_outcome = JobOutcome::Failed;
};

} // namespace qelt

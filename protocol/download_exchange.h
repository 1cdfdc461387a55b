#pragma once
// The download exchange between a waiting window ("DLGLoading") and the agent, written once for
// the editor's download dialog and qeltctl: the reload request, a pause, the job request, then
// progress reports until the agent reports the end. Its time limit starts with the job request
// and again with every progress report; the agent's window is looked at every 250 ms, so an agent
// that ends meanwhile does not cost the whole time limit.
//
// No platform calls: the window that runs it supplies the agent and the timers (ExchangePort) and
// hears the outcome (ExchangeOwner), so every order of events is tested natively.
#include <cstdint>

#include "agent_protocol.h"

namespace qelt {

enum DownloadMode : int { DOWNLOAD_WRITE = 1, DOWNLOAD_RESET = 2 };

// The download dialog's own timers: the start, and the job timer the main window starts once it
// has saved the configuration.
constexpr unsigned TIMER_LOADING_START = 500;    // 10 ms after opening: ask the main window to save
constexpr unsigned LOADING_START_MS = 10;
constexpr unsigned TIMER_JOB_DOWNLOAD = 1001;
constexpr unsigned TIMER_JOB_RESET = 1002;
constexpr unsigned JOB_TIMER_MS = 500;

// The exchange's timers, on the window that runs it.
constexpr unsigned TIMER_SECOND_REQUEST = 1003;  // the pause between the reload and the job request
constexpr unsigned REQUEST_PAUSE_MS = 500;
constexpr unsigned TIMER_AGENT_SILENT = 1004;    // way out when the agent never answers
constexpr unsigned AGENT_SILENCE_LIMIT_MS = 20000;
constexpr unsigned TIMER_AGENT_ALIVE = 1005;     // whether the agent's window still exists
constexpr unsigned AGENT_ALIVE_MS = 250;

constexpr int PROGRESS_MIN = 1;
constexpr int PROGRESS_MAX = 100;

inline unsigned JobTimerOf(int mode) { return mode == DOWNLOAD_RESET ? TIMER_JOB_RESET : TIMER_JOB_DOWNLOAD; }
// The request a job timer makes: a download, or a reset.
inline ApRequest RequestOfJobTimer(unsigned timer)
{
    return timer == TIMER_JOB_RESET ? AP_RESET_PROFILE : AP_DOWNLOAD_PROFILE;
}

// The bar's value for a progress report: the percent when it is 1-100, otherwise 1.
inline int ProgressBarValue(std::intptr_t percent)
{
    return percent >= PROGRESS_MIN && percent <= PROGRESS_MAX ? int(percent) : PROGRESS_MIN;
}

// What the agent is asked to do: download or reset one profile.
struct JobRequest {
    ApRequest request = AP_DOWNLOAD_PROFILE;
    int profile = 0;
};

enum class ExchangeOutcome {
    Finished,    // the agent reported the end
    NoKeyboard,  // the editor knew of no keyboard: the requests went out, nothing was waited for
    AgentGone,   // the agent's window was missing or went away
    NoAnswer,    // nothing from the agent within the time limit
    Abandoned,   // the window running the exchange was closed from outside
};

// The agent and the clock, as the window running the exchange reaches them.
class ExchangePort {
public:
    virtual ~ExchangePort() = default;
    // Looks the agent's window up and keeps it; false when it does not exist.
    virtual bool ConnectAgent() = 0;
    // Whether the window ConnectAgent found still exists.
    virtual bool AgentAlive() = 0;
    // WM_AP_MESSAGE (request, profile); false when the agent's window does not exist.
    virtual bool PostToAgent(ApRequest request, int profile) = 0;
    // One timer of the exchange's window; starting a running one starts it again.
    virtual void StartTimer(unsigned timer, unsigned ms) = 0;
    virtual void StopTimer(unsigned timer) = 0;
};

// The window that runs the exchange: what it shows and when it ends.
class ExchangeOwner {
public:
    virtual ~ExchangeOwner() = default;
    // The editor has no keyboard: the owner warns (modally) before the requests go out.
    virtual void WarnNoKeyboard() = 0;
    // A progress report: the bar's value, and whether the agent's percent was within 1-100.
    virtual void ShowProgress(int barValue, bool percentInRange) = 0;
    // Called once; the exchange's timers are stopped by then.
    virtual void Ended(ExchangeOutcome outcome) = 0;
};

class DownloadExchange {
public:
    DownloadExchange(ExchangePort& port, ExchangeOwner& owner, unsigned silenceLimitMs = AGENT_SILENCE_LIMIT_MS);
    DownloadExchange(const DownloadExchange&) = delete;
    DownloadExchange& operator=(const DownloadExchange&) = delete;

    // Asks the agent to reload the configuration, and after the pause to run the job. Without a
    // keyboard the owner warns first and the requests still go out (the agent then finds nobody
    // to report to); the exchange ends once they are posted.
    void Start(JobRequest job, bool keyboardPresent);
    // WM_TIMER; false for a timer that is not the exchange's.
    bool OnTimer(unsigned timer);
    // WM_LOADING_PROGRESS (LOADING_STEP, percent) or (LOADING_DONE, 0). The end is taken even
    // before the job has been requested.
    void OnProgress(std::uintptr_t kind, std::intptr_t percent);
    // The window running the exchange is going away.
    void Abandon();

    bool Ended() const { return m_stage == Stage::Ended; }

private:
    enum class Stage { Idle, Pausing, PausingWithoutKeyboard, Waiting, Ended };

    void PostJob();
    void End(ExchangeOutcome outcome, const wchar_t* reason);

    ExchangePort& m_port;
    ExchangeOwner& m_owner;
    unsigned m_silenceLimitMs;
    JobRequest m_job;
    Stage m_stage = Stage::Idle;
};

} // namespace qelt

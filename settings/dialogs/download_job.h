#pragma once
// The download dialog's job: which request it makes, its timers and how progress moves the bar.
// No platform calls, so the rules are tested on their own.
#include <cstdint>

namespace qelt {

enum DownloadMode : int { DOWNLOAD_WRITE = 1, DOWNLOAD_RESET = 2 };

constexpr unsigned TIMER_LOADING_START = 500;    // 10 ms after opening: ask the main window to save
constexpr unsigned LOADING_START_MS = 10;
constexpr unsigned TIMER_JOB_DOWNLOAD = 1001;    // started by the main window once it has saved
constexpr unsigned TIMER_JOB_RESET = 1002;
constexpr unsigned JOB_TIMER_MS = 500;
constexpr unsigned TIMER_SECOND_REQUEST = 1003;  // the pause between the reload and the job request
constexpr unsigned REQUEST_PAUSE_MS = 500;
constexpr unsigned TIMER_AGENT_SILENT = 1004;    // way out when the agent never answers
constexpr unsigned AGENT_SILENCE_LIMIT_MS = 20000;

constexpr int PROGRESS_MIN = 1;
constexpr int PROGRESS_MAX = 100;

inline unsigned JobTimerOf(int mode) { return mode == DOWNLOAD_RESET ? TIMER_JOB_RESET : TIMER_JOB_DOWNLOAD; }
// WM_AP_MESSAGE request code for a job timer: 1 download, 2 reset.
inline unsigned RequestOfJobTimer(unsigned timer) { return timer == TIMER_JOB_RESET ? 2u : 1u; }

// The bar's value for a progress report: the percent when it is 1-100, otherwise 1.
inline int ProgressBarValue(std::intptr_t percent)
{
    return percent >= PROGRESS_MIN && percent <= PROGRESS_MAX ? int(percent) : PROGRESS_MIN;
}

} // namespace qelt

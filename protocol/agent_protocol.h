#pragma once
// Window titles, message numbers and request codes shared by the agent, the editor and the
// on-screen display. Every exchange starts with a lookup of one of these titles.
#include <cstdint>
#include <optional>

namespace qelt {

inline constexpr wchar_t kAgentMutexName[] = L"MIVO-HIDloader";
inline constexpr wchar_t kAgentWindowTitle[] = L"Func QELT HID";
inline constexpr wchar_t kEditorWindowTitle[] = L"Zorvane Gear QELT Settings";
inline constexpr wchar_t kLoadingWindowTitle[] = L"DLGLoading";
inline constexpr wchar_t kOsdWindowTitle[] = L"MIVO OSD";

inline constexpr wchar_t kEditorProgramName[] = L"QELT_Settings";
inline constexpr wchar_t kOsdProgramName[] = L"QELT_OSD";

} // namespace qelt

// Message numbers (WM_USER is 0x400).
constexpr unsigned WM_TRAY_CALLBACK = 0x7E8;     // shell -> agent: icon id, mouse message
constexpr unsigned WM_PROFILE_CHANGED = 0x7E9;   // agent -> editor: profile index, 1025
constexpr unsigned WM_AP_MESSAGE = 0x7EA;        // editor -> agent: request code, profile index
constexpr unsigned WM_LOADING_PROGRESS = 0x7EB;  // agent -> "DLGLoading": 1 + percent, or 0 + 0
constexpr unsigned WM_MAIN_BLINK = 0x7EC;
constexpr unsigned WM_LOADING_READY = 0x7ED;

// lParam of WM_PROFILE_CHANGED: re-read Config.config and show its profile, or only re-read it.
constexpr unsigned PROFILE_CHANGED_RELOAD = 0x401;     // WM_USER + 1
constexpr unsigned PROFILE_CHANGED_READ_ONLY = 0x402;  // WM_USER + 2

// wParam of WM_LOADING_PROGRESS: a percent in lParam, or the end (lParam 0).
enum LoadingProgress : unsigned {
    LOADING_DONE = 0,
    LOADING_STEP = 1,
};

// Editor-internal messages its main window takes and ignores: the macro editor posts
// WM_MACRO_EDITOR_SHOWN (1 when it opens, 0 when it closes) to its parent.
constexpr unsigned WM_EDITOR_IGNORED = 0x414;
constexpr unsigned WM_MACRO_EDITOR_SHOWN = 0x614;

// What every receiver answers to the messages above; no sender reads it.
constexpr long PROTOCOL_ANSWER = 1;

enum ApRequest : unsigned {
    AP_RELOAD_SETTINGS = 0,
    AP_DOWNLOAD_PROFILE = 1,
    AP_RESET_PROFILE = 2,
    AP_SET_PROFILE = 3,
    AP_RELOAD_APP_PROFILES = 4,  // the program profiles changed: read Programs.config again
    // The editor found no Config.config to read: the agent writes its device status (DEVICEPSTATS)
    // into Config.config, when there is one, and answers it (sent, not posted).
    AP_WRITE_DEVICE_STATUS = 5,
};

// The answer to AP_WRITE_DEVICE_STATUS: this base plus the status, 1 with the keyboard and 0
// without, so that an agent that does not know the request (it answers PROTOCOL_ANSWER) is told
// from one that does.
constexpr long DEVICE_STATUS_ANSWER = 0x100;
inline long DeviceStatusAnswer(bool deviceOpen) { return DEVICE_STATUS_ANSWER + (deviceOpen ? 1 : 0); }
inline std::optional<int> DeviceStatusOfAnswer(long answer)
{
    if (answer == DEVICE_STATUS_ANSWER || answer == DEVICE_STATUS_ANSWER + 1)
        return static_cast<int>(answer - DEVICE_STATUS_ANSWER);
    return std::nullopt;
}

// The agent's tray icon and the commands of its menu.
constexpr unsigned TRAY_ICON_ID = 129;
constexpr unsigned IDC_ABOUT_BOX = 2025;
constexpr unsigned IDC_EXIT_AGENT = 2026;
constexpr unsigned IDC_OPEN_EDITOR = 2027;

// Volume repeat timers of the agent's window (100 ms while a volume key is held).
constexpr unsigned TIMER_VOLUME_UP = 10012;
constexpr unsigned TIMER_VOLUME_DOWN = 10013;
constexpr unsigned VOLUME_REPEAT_MS = 100;

// One-shot timers of the agent's window, so that no pause holds its thread: the pause before the
// next step of the running job, before re-opening the device (session or device change), and
// before acting on the keyboard's away/back notice.
constexpr unsigned TIMER_JOB_STEP = 10014;
constexpr unsigned TIMER_REOPEN = 10015;
constexpr unsigned TIMER_DEVICE_NOTICE = 10016;
// The look at the front window while the program profiles are followed by polling.
constexpr unsigned TIMER_FRONT_WINDOW = 10017;

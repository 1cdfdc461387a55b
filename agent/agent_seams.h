#pragma once
// The small interfaces the agent's handlers work through. Production implements them on Win32
// (win32_host.cpp, and device_link_adapter.cpp for the link); the tests use recording fakes.
#include "app_follower.h"
#include "job.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qelt {

// Where a download or reset reports how far it has come.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Percent(int percent) = 0;
    // A request of the download failed: the keyboard does not hold the profile. Before Done.
    virtual void NotUpdated() = 0;
    virtual void Done() = 0;
};

// The keyboard's filter-driver link as the handlers use it. The sequences come as jobs (job.h):
// whoever runs one waits between its steps.
class AgentLink {
public:
    virtual ~AgentLink() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Asks the open device a request that changes nothing on the keyboard; false when it failed
    // with an error meaning the handle is gone (or the device is closed).
    virtual bool CheckDevice() = 0;
    virtual Job DownloadProfile(int profile, std::shared_ptr<ProgressSink> progress) = 0;
    virtual Job ResetProfile(int profile, std::shared_ptr<ProgressSink> progress) = 0;
    virtual Job SetCurrentProfile(int profile) = 0;
};

// The agent's copy of the configuration and its writes to Config.config.
class AgentSettings {
public:
    virtual ~AgentSettings() = default;
    virtual void Load() = 0;  // Config.config and Profile0-5 into the records
    virtual int CurrentProfile() const = 0;
    virtual void SetCurrentProfile(int profile) = 0;  // the record only
    virtual void SetDeviceStatus(int status) = 0;     // the record only
    // Config.config from the record. Fields the agent never loaded nor set are left as the file has them.
    virtual void WriteConfig() = 0;
    virtual void WritePcMode() = 0;  // CONFIG PC_MODE=0
    // DEVICEPSTATS alone into Config.config when the file is there (the editor's new
    // configuration); the other keys stay as the file has them, and no file is made.
    virtual void WriteDeviceStatus(int status) = 0;
    virtual uint8_t FunctionOf(int profile, int slot) const = 0;  // FunID; 0xFF for no such slot
    virtual std::wstring AppPathOf(int profile, int slot) const = 0;
};

// The other programs' windows, found by title each time.
class PeerWindows {
public:
    virtual ~PeerWindows() = default;
    virtual void NotifyEditorProfile(int profile) = 0;  // WM_PROFILE_CHANGED when the editor runs
    virtual void CloseEditor() = 0;
    virtual void ShowOsd(const std::wstring& text) = 0;  // starts the display when needed
    // The "DLGLoading" window; 0 while it does not exist.
    virtual uintptr_t FindLoadingWindow() = 0;
    virtual void PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam) = 0;
};

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual std::wstring TipText() = 0;  // read anew each time
    virtual void Add(const std::wstring& tip) = 0;
    virtual void Remove() = 0;
};

// The rest of the host: synthesised keys, the window's timers, pauses, a clock and program starts.
class AgentHost {
public:
    virtual ~AgentHost() = default;
    virtual void KeyTap(uint8_t virtualKey, bool extended) = 0;
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    virtual void Pause(unsigned ms) = 0;
    virtual uint64_t NowMs() = 0;  // a millisecond clock for deadlines
    virtual void StartProgram(const std::wstring& path) = 0;
    virtual std::optional<unsigned> WindowsMajorVersion() = 0;
};

// The window in front, for the program profiles: an event hook or a poll on Win32.
class FrontWindowWatch {
public:
    virtual ~FrontWindowWatch() = default;
    // From now on each change of the front window reaches AppProfiles::OnFrontChanged.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual FrontWindow Query() = 0;
};

// Where the program profiles' rules are kept ("Programs.config").
class AppRulesStore {
public:
    virtual ~AppRulesStore() = default;
    virtual AppRules Read() = 0;  // a missing or unreadable file: no rules
};

} // namespace qelt

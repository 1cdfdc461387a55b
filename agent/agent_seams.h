#pragma once
// The small interfaces the agent's handlers work through. Production implements them on Win32
// (hid_window.cpp); the tests use recording fakes.
#include <cstdint>
#include <optional>
#include <string>

namespace qelt {

// Where a download or reset reports how far it has come.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Percent(int percent) = 0;
    virtual void Done() = 0;
};

// The keyboard's filter-driver link as the handlers use it.
class AgentLink {
public:
    virtual ~AgentLink() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual void DownloadProfile(int profile, ProgressSink& progress) = 0;
    virtual void ResetProfile(int profile, ProgressSink& progress) = 0;
    virtual void SetCurrentProfile(int profile) = 0;
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
    virtual std::wstring AppPathOf(int profile, int slot) const = 0;
};

// The other programs' windows, found by title each time.
class PeerWindows {
public:
    virtual ~PeerWindows() = default;
    virtual void NotifyEditorProfile(int profile) = 0;  // WM_PROFILE_CHANGED when the editor runs
    virtual void CloseEditor() = 0;
    virtual void ShowOsd(const std::wstring& text) = 0;  // starts the display when needed
    // The "DLGLoading" window, waited for within a bound; 0 when it did not appear.
    virtual uintptr_t WaitForLoadingWindow() = 0;
    virtual void PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam) = 0;
};

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual std::wstring TipText() = 0;  // read anew each time
    virtual void Add(const std::wstring& tip) = 0;
    virtual void Remove() = 0;
};

// The rest of the host: synthesised keys, the window's timers, pauses and program starts.
class AgentHost {
public:
    virtual ~AgentHost() = default;
    virtual void KeyTap(uint8_t virtualKey, bool extended) = 0;
    virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
    virtual void StopTimer(unsigned id) = 0;
    virtual void Pause(unsigned ms) = 0;
    virtual void StartProgram(const std::wstring& path) = 0;
    virtual std::optional<unsigned> WindowsMajorVersion() = 0;
};

} // namespace qelt

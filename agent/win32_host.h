#pragma once
// The agent's seams on Win32: synthesised keys, timers and program starts; the peer windows
// (editor, download dialog, display); the tray icon.
#include "agent_seams.h"
#include "app_rules_file.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace qelt {

// Polls for a top-level window by title (no class) until it exists or timeoutMs has passed.
HWND WaitForWindowTitle(const wchar_t* title, DWORD timeoutMs);

class Win32Host final : public AgentHost {
public:
    explicit Win32Host(HWND window) : m_window(window) {}
    void KeyTap(uint8_t virtualKey, bool extended) override;
    void StartTimer(unsigned id, unsigned periodMs) override;
    void StopTimer(unsigned id) override;
    void Pause(unsigned ms) override;
    uint64_t NowMs() override;
    void StartProgram(const std::wstring& path) override;
    std::optional<unsigned> WindowsMajorVersion() override;

private:
    HWND m_window;
};

class Win32Peers final : public PeerWindows {
public:
    void NotifyEditorProfile(int profile) override;
    void CloseEditor() override;
    void ShowOsd(const std::wstring& text) override;
    uintptr_t FindLoadingWindow() override;
    void PostLoadingProgress(uintptr_t window, unsigned wParam, long lParam) override;
};

class Win32Tray final : public TrayIcon {
public:
    explicit Win32Tray(HWND window);
    std::wstring TipText() override;
    void Add(const std::wstring& tip) override;
    void Remove() override;
    // After Explorer restarts: the icon again when it was shown.
    void Restore();

private:
    NOTIFYICONDATAW m_record{};  // kept from one call to the next
    bool m_shown = false;
};

// The program profiles' rules file of the data folder.
class Win32AppRulesStore final : public AppRulesStore {
public:
    explicit Win32AppRulesStore(const std::wstring& dataFolder) : m_path(AppRulesFilePath(dataFolder)) {}
    AppRules Read() override { return ReadAppRulesFile(m_path); }

private:
    std::wstring m_path;
};

} // namespace qelt

#pragma once
// The keyboard hook library "Plexin.dll", loaded while the macro editor records. After
// installhook(window) the library sends WM_RECORDED_KEY to that window for every key press and
// release; after removehook() no more events come. Their results are ignored.
#include <windows.h>

#include "handles.h"

// wParam: bits 0-7 virtual key, bits 16-23 scan code. lParam: event flags (0x80: released).
// The receiver answers 1 when it took the event, 0 otherwise.
constexpr UINT WM_RECORDED_KEY = WM_USER + 10;

class CHookLibrary {
public:
    static constexpr const wchar_t* kFileName = L"Plexin.dll";

    CHookLibrary() = default;
    ~CHookLibrary() { Unload(); }
    CHookLibrary(const CHookLibrary&) = delete;
    CHookLibrary& operator=(const CHookLibrary&) = delete;

    // Loads the library and finds its entry points, unless it is loaded already. A library that
    // does not load, or lacks an export, leaves that entry point absent (a diagnostic says which).
    void Load();
    bool Loaded() const { return m_module.Valid(); }
    // Loaded with both entry points: a recording can start and be stopped.
    bool CanRecord() const { return m_pInstallHook != nullptr && m_pRemoveHook != nullptr; }
    // Each does nothing when its entry point is absent.
    void Install(HWND target) const;
    void Remove() const;
    // Removes nothing itself: callers remove the hook first.
    void Unload();

private:
    using InstallHookProc = BOOL(WINAPI*)(HWND);
    using RemoveHookProc = BOOL(WINAPI*)();

    qelt::UniqueModule m_module;
    InstallHookProc m_pInstallHook = nullptr;
    RemoveHookProc m_pRemoveHook = nullptr;
};

#pragma once
// Drives the editor's modal dialogs in a test: the test thread runs a dialog over a host window
// while a second thread finds it, acts on it through messages and checks what it shows.
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "window_base.h"

namespace qelt::testing {

// A plain top-level window that owns the dialogs and keeps the messages 0x400-0x7FFF it gets.
class HostWindow final : public WindowBase {
public:
    HostWindow();
    // Messages as "message:wParam", in arrival order.
    std::vector<std::wstring> Messages() const;
    // From another thread: true once the host has handled `message` (up to timeoutMs).
    bool WaitMessage(UINT message, WPARAM wParam, DWORD timeoutMs = 5000) const;
    // On the host's thread: handles what is queued for the thread.
    static void Pump();

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_messages;
};

// The visible dialog (class #32770) owned by owner, waited for up to timeoutMs; null if none.
HWND WaitOwnedDialog(HWND owner, DWORD timeoutMs = 10000);
// True once no dialog owned by owner is left (up to timeoutMs).
bool WaitNoOwnedDialog(HWND owner, DWORD timeoutMs = 5000);
// Number of visible dialogs owned by owner now.
int OwnedDialogCount(HWND owner);

// The button child of dialog at the rectangle of "BUTTONINFO" entry `key` of the skin file.
HWND SkinButton(HWND dialog, const wchar_t* skinFile, int key);
// A click as the button reports it: sent (returns when handled) or posted (for commands that
// open a dialog of their own).
void Click(HWND dialog, HWND button);
void PostClick(HWND dialog, HWND button);

// Answers the platform's file dialog that owner opens: types path and confirms. False when no
// file dialog appeared or it did not close.
bool ChooseFile(HWND owner, const std::wstring& path);
// The same, for a choice the owner answers with a dialog of its own (a message): that dialog once
// the file dialog is gone, or null when none came within timeoutMs.
HWND ChooseFileThenWaitDialog(HWND owner, const std::wstring& path, DWORD timeoutMs = 10000);

std::vector<std::wstring> ListLines(HWND list);
std::wstring WindowTextOf(HWND window);

// Runs `run` (which shows a modal dialog owned by host) on this thread while `script` acts on
// that dialog from another thread. Whatever the script leaves open is cancelled afterwards, so a
// failing script cannot leave the test waiting. Returns run's result.
INT_PTR RunDriven(HWND host, const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script);

} // namespace qelt::testing

#pragma once
// Plumbing shared by the editor's dialogs: running a template modally with the object that
// handles its messages, and a filter that sees each message of a modal loop before it is
// dispatched (the dialogs' message pre-translation).
#include <windows.h>

#include <functional>

namespace qelt {

// The object behind a dialog: stored from WM_INITDIALOG's parameter, null before it.
template <class Dialog>
Dialog* DialogObject(HWND dialog, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Runs the dialog template `templateId` of this program modally; the procedure finds `object`
// through DialogObject (SkinnedDialog does both for the editor's dialogs). Returns the end code, or -1 when the dialog could not be made.
INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure, void* object);

// Moves a dialog so that it is centred over its owner window (nothing without an owner).
void CentreOverOwner(HWND dialog);

// While it lives, `filter` sees every message the modal loops of this thread are about to
// dispatch for `window` or one of its children (with everyMessage: every message of the loop);
// returning true drops the message. Filters nest: the newest one the message is for decides.
class ModalMessageFilter {
public:
    using Filter = std::function<bool(const MSG&)>;
    ModalMessageFilter(HWND window, Filter filter, bool everyMessage = false);
    ~ModalMessageFilter();
    ModalMessageFilter(const ModalMessageFilter&) = delete;
    ModalMessageFilter& operator=(const ModalMessageFilter&) = delete;

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    bool Covers(HWND target) const
    {
        return m_bEveryMessage || (target != nullptr && (target == m_hWnd || IsChild(m_hWnd, target)));
    }

    HWND m_hWnd;
    bool m_bEveryMessage;
    Filter m_filter;
    HHOOK m_hook = nullptr;
    ModalMessageFilter* m_pOuter = nullptr;
};

// A filter for windows on which the keyboard has no effect.
bool IsKeyPress(const MSG& message);

} // namespace qelt

#include "modal_dialog.h"

#include "diag.h"

namespace qelt {

namespace {
// The innermost filter of this thread: hook procedures carry no context of their own.
thread_local ModalMessageFilter* t_pInnermostFilter = nullptr;
} // namespace

INT_PTR RunModalDialog(int templateId, HWND owner, DLGPROC procedure, void* object)
{
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), owner,
                                           procedure, reinterpret_cast<LPARAM>(object));
    if (result == -1)
        DiagLastError(L"DialogBoxParamW");
    return result;
}

void CentreOverOwner(HWND dialog)
{
    RECT owner{}, self{};
    HWND ownerWindow = GetWindow(dialog, GW_OWNER);
    if (ownerWindow == nullptr || !GetWindowRect(ownerWindow, &owner) || !GetWindowRect(dialog, &self))
        return;
    const int width = self.right - self.left, height = self.bottom - self.top;
    SetWindowPos(dialog, nullptr, owner.left + (owner.right - owner.left - width) / 2,
                 owner.top + (owner.bottom - owner.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

ModalMessageFilter::ModalMessageFilter(HWND window, Filter filter, bool everyMessage)
    : m_hWnd(window), m_bEveryMessage(everyMessage), m_filter(std::move(filter)), m_pOuter(t_pInnermostFilter)
{
    // Dialog loops hand every message to the message-filter hook before they dispatch it. One
    // hook per thread, owned by the outermost filter, serves the nested ones.
    if (m_pOuter == nullptr) {
        m_hook = SetWindowsHookExW(WH_MSGFILTER, HookProc, nullptr, GetCurrentThreadId());
        if (m_hook == nullptr)
            DiagLastError(L"SetWindowsHookExW (WH_MSGFILTER)");
    }
    t_pInnermostFilter = this;
}

ModalMessageFilter::~ModalMessageFilter()
{
    if (m_hook != nullptr)
        UnhookWindowsHookEx(m_hook);
    t_pInnermostFilter = m_pOuter;
}

LRESULT CALLBACK ModalMessageFilter::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && lParam != 0) {
        const MSG& message = *reinterpret_cast<const MSG*>(lParam);
        // The innermost filter that covers the window decides.
        for (ModalMessageFilter* filter = t_pInnermostFilter; filter != nullptr; filter = filter->m_pOuter) {
            if (!filter->Covers(message.hwnd))
                continue;
            if (filter->m_filter && filter->m_filter(message))
                return 1;
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool IsKeyPress(const MSG& message)
{
    return message.message == WM_KEYDOWN;
}

} // namespace qelt

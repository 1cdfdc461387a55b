#include "loading_window.h"

#include "diag.h"

namespace qelt {
namespace {

constexpr wchar_t kClassName[] = L"QeltctlLoading";

JobOutcome OutcomeOf(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Finished:
        return JobOutcome::Finished;
    case ExchangeOutcome::AgentGone:
        return JobOutcome::AgentGone;
    case ExchangeOutcome::NoAnswer:
        return JobOutcome::NoAnswer;
    case ExchangeOutcome::Abandoned:
        return JobOutcome::Closed;
    case ExchangeOutcome::NoKeyboard:
        break;  // qeltctl checks for the keyboard before it starts
    }
    return JobOutcome::Failed;
}

} // namespace

JobOutcome LoadingWindow::Run(ApRequest job, int profile, unsigned silenceLimitMs, ProgressSink onProgress)
{
    m_onProgress = std::move(onProgress);
    m_ended = false;
    if (!Create())
        return JobOutcome::Failed;
    m_port.emplace(m_window.Get());
    m_exchange.emplace(*m_port, static_cast<ExchangeOwner&>(*this), silenceLimitMs);
    m_exchange->Start(JobRequest{job, profile}, true);
    MSG message;
    while (!m_ended) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == -1)
                DiagLastError(L"GetMessageW (loading window)");
            return m_ended ? m_outcome : JobOutcome::Closed;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    m_window.Reset();
    return m_outcome;
}

bool LoadingWindow::Create()
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        DiagLastError(L"RegisterClassExW (loading window)");
        return false;
    }
    // A hidden top-level window: the agent looks it up by title, which a message-only window
    // would not answer.
    m_window.Reset(CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kLoadingWindowTitle, WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), this));
    if (!m_window) {
        DiagLastError(L"CreateWindowExW (loading window)");
        return false;
    }
    return true;
}

LRESULT CALLBACK LoadingWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<LoadingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->m_window.Get() != window)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT LoadingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_exchange)
        return DefWindowProcW(m_window.Get(), message, wParam, lParam);
    switch (message) {
    case WM_LOADING_PROGRESS:
        m_exchange->OnProgress(wParam, lParam);
        return PROTOCOL_ANSWER;
    case WM_TIMER:
        m_exchange->OnTimer(unsigned(wParam));
        return 0;
    case WM_CLOSE:
        m_exchange->Abandon();
        return 0;
    default:
        return DefWindowProcW(m_window.Get(), message, wParam, lParam);
    }
}

void LoadingWindow::ShowProgress(int barValue, bool percentInRange)
{
    if (percentInRange && m_onProgress)
        m_onProgress(barValue);
}

void LoadingWindow::Ended(ExchangeOutcome outcome)
{
    m_ended = true;
    m_outcome = OutcomeOf(outcome);
}

} // namespace qelt

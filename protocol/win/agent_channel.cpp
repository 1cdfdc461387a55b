#include "agent_channel.h"

#include <shellapi.h>

#include "diag.h"

namespace qelt {

HWND FindAgentWindow()
{
    return FindWindowW(nullptr, kAgentWindowTitle);
}

HWND FindEditorWindow()
{
    return FindWindowW(nullptr, kEditorWindowTitle);
}

bool PostAgentRequest(ApRequest request, LPARAM profile)
{
    HWND agent = FindAgentWindow();
    if (agent == nullptr)
        return false;
    if (!PostMessageW(agent, WM_AP_MESSAGE, request, profile)) {
        DiagLastError(L"PostMessageW (WM_AP_MESSAGE)");
        return false;
    }
    return true;
}

bool StartAgent(const std::wstring& programFolder)
{
    // The folder already ends in a backslash; the doubled one is accepted by the platform.
    const std::wstring path = programFolder + L"\\QELT_Core.exe";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        DiagError(L"ShellExecuteW (QELT_Core.exe)", static_cast<unsigned long>(result));
        return false;
    }
    return true;
}

} // namespace qelt

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

std::optional<int> AskAgentDeviceStatus(unsigned timeoutMs)
{
    HWND agent = FindAgentWindow();
    if (agent == nullptr)
        return std::nullopt;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(agent, WM_AP_MESSAGE, AP_WRITE_DEVICE_STATUS, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) ==
        0) {
        DiagLastError(L"SendMessageTimeoutW (AP_WRITE_DEVICE_STATUS)");
        return std::nullopt;
    }
    const std::optional<int> status = DeviceStatusOfAnswer(static_cast<long>(answer));
    if (!status)
        Diag(L"The agent answered %ld to AP_WRITE_DEVICE_STATUS: no device status\n", static_cast<long>(answer));
    return status;
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

#pragma once
// How the editor and qeltctl reach the agent: finding the programs' windows, posting requests and
// starting the agent. A missing window drops the request silently, as every exchange does.
#include <windows.h>

#include <optional>
#include <string>

#include "agent_protocol.h"

namespace qelt {

HWND FindAgentWindow();
HWND FindEditorWindow();
// WM_AP_MESSAGE (request, profile) to the agent; false when its window does not exist.
bool PostAgentRequest(ApRequest request, LPARAM profile);
// AP_WRITE_DEVICE_STATUS sent to the agent: its device status, 1 or 0, written into Config.config;
// nothing when no agent runs or it did not answer within timeoutMs.
std::optional<int> AskAgentDeviceStatus(unsigned timeoutMs);
// Starts "QELT_Core.exe" from the editor's folder (which ends in a backslash).
bool StartAgent(const std::wstring& programFolder);

} // namespace qelt

#pragma once
// The editor's side of the exchange with the agent: finding its window, posting requests and
// starting it. A missing window drops the request silently, as every exchange does.
#include <windows.h>

#include <string>

#include "agent_protocol.h"

namespace qelt {

HWND FindAgentWindow();
// WM_AP_MESSAGE (request, profile) to the agent; false when its window does not exist.
bool PostAgentRequest(ApRequest request, LPARAM profile);
// Starts "QELT_Core.exe" from the editor's folder (which ends in a backslash).
bool StartAgent(const std::wstring& programFolder);

} // namespace qelt

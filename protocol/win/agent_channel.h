#pragma once
// How the editor and qeltctl reach the agent: finding the programs' windows, posting requests and
// starting the agent. A missing window drops the request silently, as every exchange does.
#include <windows.h>

#include <string>

#include "agent_protocol.h"

namespace qelt {

HWND FindAgentWindow();
HWND FindEditorWindow();
// WM_AP_MESSAGE (request, profile) to the agent; false when its window does not exist.
bool PostAgentRequest(ApRequest request, LPARAM profile);
// Starts "QELT_Core.exe" from the editor's folder (which ends in a backslash).
bool StartAgent(const std::wstring& programFolder);

} // namespace qelt

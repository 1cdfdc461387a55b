#pragma once
// Pages opened with the program the user has for them: the maker's web page and the help page
// beside the editor.
#include <windows.h>

#include <string>

namespace qelt {

// "<program folder>\help\index.html".
std::wstring HelpPagePath();

// ShellExecuteW "open" with SW_SHOW; false, with a diagnostic, when the platform refuses.
bool OpenWithShell(HWND owner, const std::wstring& target);

// The help page when it is there; while it is missing a diagnostic says so and nothing opens.
void OpenHelpPage(HWND owner);

} // namespace qelt

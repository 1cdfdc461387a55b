#pragma once
// What the editor tells the user when a part of its installation is missing or damaged: a plain
// message box (a skinned one may be the very part that is damaged) that names the file and says
// what to do. The diagnostics of the failure are written where it is found, as always.
#include <windows.h>

#include <string>

namespace qelt {

// The title of every such message; not the main window's title, so a message shown while the
// editor starts is never taken for a running editor.
inline constexpr wchar_t kInstallProblemTitle[] = L"Zorvane Gear QELT";

// A window (named as the user knows it: "The function menu") cannot open because a file of its
// skin is missing, incomplete or undecodable. programEnds: the editor closes after the message.
std::wstring SkinDamagedText(const std::wstring& windowName, const std::wstring& file, bool programEnds);

// Recording cannot start: the hook library is missing or unusable in folder.
std::wstring HookLibraryMissingText(const std::wstring& libraryName, const std::wstring& folder);

// Shows text with an error icon and OK, modal over owner (null: a window of its own, brought to
// the front), and returns once it is answered.
void ShowInstallProblem(HWND owner, const std::wstring& text);

} // namespace qelt

#pragma once
// What the editor tells the user when its files let it down: a save or an export that did not
// write a file, an import of a file that is no profile, or paths an import could not take. Plain
// message boxes that name the file, the reason and what became of the edits.
#include <windows.h>

#include <string>
#include <vector>

#include "file_replacement.h"

namespace qelt {

inline constexpr wchar_t kSaveFailedTitle[] = L"Settings not saved";
inline constexpr wchar_t kExportTitle[] = L"Export profile";
inline constexpr wchar_t kImportTitle[] = L"Import profile";

std::wstring SaveFailedText(const FileWriteResult& failure);
std::wstring ExportFailedText(const FileWriteResult& failure);
std::wstring ImportRefusedText(const std::wstring& path);
// slots: 0-9, shown as M1-M10.
std::wstring ProgramsDroppedText(const std::wstring& path, const std::vector<int>& slots);

// Modal over owner, with a warning icon and OK.
void ShowFileMessage(HWND owner, const wchar_t* title, const std::wstring& text);

} // namespace qelt

#pragma once
// The platform's file dialogs as the editor asks them: profiles (".Config"), macros (".Macro")
// and programs to launch (".EXE").
#include <windows.h>

#include <string>

namespace qelt {

enum class FileDialogKind { SaveProfile, OpenProfile, SaveMacro, OpenMacro, OpenProgram };

// The chosen path, or empty when the user cancelled.
std::wstring AskFilePath(HWND owner, FileDialogKind kind);

} // namespace qelt

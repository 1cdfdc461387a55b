#pragma once
// The platform's file dialogs as the editor asks them: profiles (".Config"), macros (".Macro")
// and programs to launch (".EXE").
#include <windows.h>

#include <string>

namespace qelt {

enum class FileDialogKind { SaveProfile, OpenProfile, SaveMacro, OpenMacro, OpenProgram };

// The chosen path, or empty when the user cancelled.
std::wstring AskFilePath(HWND owner, FileDialogKind kind);

// A file (not a folder) at path. The dialogs let the user type names that do not exist.
bool FileExists(const std::wstring& path);

// The wait cursor for the life of a file operation.
class WaitCursor {
public:
    WaitCursor() : m_previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

} // namespace qelt

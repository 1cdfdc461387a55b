#include "shell_open.h"

#include <shellapi.h>

#include "diag.h"
#include "file_dialogs.h"
#include "skin_files.h"

namespace qelt {

std::wstring HelpPagePath()
{
    // ProgramFolder() is the folder of the module path, ending in its backslash.
    return ProgramFolder() + L"help\\index.html";
}

bool OpenWithShell(HWND owner, const std::wstring& target)
{
    Diag(L"Opening %ls\n", target.c_str());
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOW));
    if (result > 32)
        return true;
    DiagError(L"ShellExecuteW", static_cast<unsigned long>(result));
    return false;
}

void OpenHelpPage(HWND owner)
{
    const std::wstring page = HelpPagePath();
    if (!FileExists(page)) {
        Diag(L"ERROR: help page %ls is missing\n", page.c_str());
        return;
    }
    OpenWithShell(owner, page);
}

} // namespace qelt

#include "install_problem.h"

#include "diag.h"

namespace qelt {

namespace {
constexpr wchar_t kRepair[] = L"Reinstall Zorvane Gear QELT to repair the installation.";
}

std::wstring SkinDamagedText(const std::wstring& windowName, const std::wstring& file, bool programEnds)
{
    std::wstring text = windowName + L" cannot open because its skin is damaged.\n\n"
                        L"This file is missing, incomplete or cannot be read:\n" + file + L"\n\n" + kRepair;
    if (programEnds)
        text += L"\n\nThe settings editor closes now; your settings are not changed.";
    return text;
}

std::wstring HookLibraryMissingText(const std::wstring& libraryName, const std::wstring& folder)
{
    return L"Recording needs the keyboard hook library " + libraryName +
           L", which is missing or damaged in this folder:\n" + folder + L"\n\n" + kRepair +
           L"\n\nThe macro has not been changed.";
}

void ShowInstallProblem(HWND owner, const std::wstring& text)
{
    const UINT style = MB_OK | MB_ICONERROR | (owner == nullptr ? MB_SETFOREGROUND : 0);
    if (MessageBoxW(owner, text.c_str(), kInstallProblemTitle, style) == 0)
        DiagLastError(L"MessageBoxW");
}

} // namespace qelt

#include "file_messages.h"

#include "diag.h"

namespace qelt {

namespace {
constexpr wchar_t kFreeTheFile[] =
    L"Make sure the file can be written (it is not read-only, not a folder, and the disk has room), then try again.";
}

std::wstring SaveFailedText(const FileWriteResult& failure)
{
    return L"Your settings could not be saved. This file was not written:\n" + failure.Describe() +
           L"\n\nNothing was sent to the keyboard; your changes are still in the editor.\n\n" + kFreeTheFile;
}

std::wstring ExportFailedText(const FileWriteResult& failure)
{
    return L"The profile was not exported. This file was not written:\n" + failure.Describe() + L"\n\n" + kFreeTheFile;
}

std::wstring ImportRefusedText(const std::wstring& path)
{
    return L"This file holds no profile, so nothing was imported:\n" + path +
           L"\n\nChoose a \".Config\" file exported by the settings editor. The profile in the editor is unchanged.";
}

std::wstring ProgramsDroppedText(const std::wstring& path, const std::vector<int>& slots)
{
    std::wstring names;
    for (const int slot : slots)
        names += (names.empty() ? L"M" : L", M") + std::to_wstring(slot + 1);
    return L"The profile was imported from\n" + path + L"\n\nbut the program path of " + names +
           L" is longer than 259 characters, which Windows cannot start. " +
           (slots.size() == 1 ? L"That key has" : L"Those keys have") +
           L" no program now: choose the program again.";
}

void ShowFileMessage(HWND owner, const wchar_t* title, const std::wstring& text)
{
    if (MessageBoxW(owner, text.c_str(), title, MB_OK | MB_ICONWARNING) == 0)
        DiagLastError(L"MessageBoxW");
}

} // namespace qelt

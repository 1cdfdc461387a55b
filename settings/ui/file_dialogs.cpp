#include "file_dialogs.h"

#include <commdlg.h>

#include <vector>

#include "diag.h"

namespace qelt {

namespace {

struct DialogLook {
    bool bSave;
    const wchar_t* szFilter;  // pairs of NUL-terminated texts, ending in an empty one
    const wchar_t* szDefaultExtension;
    const wchar_t* szInitialName;
    DWORD dwFlags;
};

// Saving a profile may create a new file (only overwriting an existing one asks first).
const DialogLook& LookOf(FileDialogKind kind)
{
    static const DialogLook kSaveProfile{true, L"Configure File(*.Config)\0*.Config\0", L"Config", L"*.Config",
                                         OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT};
    static const DialogLook kOpenProfile{false, L"Configure File(*.Config)\0*.Config\0", L"Config", L"*.Config",
                                         OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT};
    static const DialogLook kSaveMacro{true, L"Macro Configure File(*.Macro)\0*.Macro\0", L"Macro", L"*.Macro",
                                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT};
    static const DialogLook kOpenMacro{false, L"Macro Configure File(*.Macro)\0*.Macro\0", L"Macro", L"*.Macro",
                                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT};
    static const DialogLook kOpenProgram{false, L"Exe files(*.EXE)\0*.EXE\0", L"EXE", L"", 0};
    switch (kind) {
    case FileDialogKind::SaveProfile: return kSaveProfile;
    case FileDialogKind::OpenProfile: return kOpenProfile;
    case FileDialogKind::SaveMacro: return kSaveMacro;
    case FileDialogKind::OpenMacro: return kOpenMacro;
    case FileDialogKind::OpenProgram: default: return kOpenProgram;
    }
}

} // namespace

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring AskFilePath(HWND owner, FileDialogKind kind)
{
    const DialogLook& look = LookOf(kind);
    std::vector<wchar_t> file(MAX_PATH, L'\0');
    wcsncpy(file.data(), look.szInitialName, MAX_PATH - 1);

    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = look.szFilter;
    request.lpstrFile = file.data();
    request.nMaxFile = DWORD(file.size());
    request.lpstrDefExt = look.szDefaultExtension;
    // The dialogs leave the current directory alone: files the programs name relative to it (the
    // configuration files when the data folder cannot be had) must not follow the user's browsing.
    request.Flags = look.dwFlags | OFN_EXPLORER | OFN_NOCHANGEDIR;
    const BOOL chosen = look.bSave ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (!chosen) {
        if (const DWORD error = CommDlgExtendedError())
            DiagError(look.bSave ? L"GetSaveFileNameW" : L"GetOpenFileNameW", error);
        return {};
    }
    return file.data();
}

} // namespace qelt

#include "data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "diag.h"

namespace qelt {
namespace {

std::wstring FolderOrCurrentDirectory(const std::wstring& dataFolder)
{
    if (!dataFolder.empty())
        return dataFolder;
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH) {
        DiagLastError(L"GetCurrentDirectoryW");
        return L".\\";
    }
    std::wstring folder(current, length);
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

} // namespace

bool ShellAppDataFolder::Query(std::wstring& folder) const
{
    wchar_t path[MAX_PATH];
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path);
    if (FAILED(result)) {
        DiagError(L"SHGetFolderPathW", static_cast<unsigned long>(result));
        return false;
    }
    folder = path;
    return true;
}

std::wstring DataFolder(const AppDataFolderSource& source)
{
    std::wstring appData;
    wchar_t folder[kDataFolderCapacity] = L"";
    if (source.Query(appData)) {
        const int written = std::swprintf(folder, kDataFolderCapacity, L"%ls\\Mivo\\", appData.c_str());
        if (written < 0 || written >= kDataFolderCapacity) {
            Diag(L"Data folder under %ls is too long, using the current directory\n", appData.c_str());
            folder[0] = L'\0';
        }
    }
    // The folder as one diagnostic line, then a line break of its own.
    Diag(L"%ls", folder);
    Diag(L"\n");
    return folder;
}

std::wstring DataFolder()
{
    static const std::wstring folder = FixedDataFolder(DataFolder(ShellAppDataFolder()));
    return folder;
}

std::wstring FixedDataFolder(const std::wstring& dataFolder)
{
    return FolderOrCurrentDirectory(dataFolder);
}

std::wstring ConfigFilePath(const std::wstring& dataFolder)
{
    return FolderOrCurrentDirectory(dataFolder) + L"Config.config";
}

std::wstring ProfileFilePath(const std::wstring& dataFolder, int profile)
{
    wchar_t name[32];
    std::swprintf(name, 32, L"Profile%d", profile);
    return FolderOrCurrentDirectory(dataFolder) + name;
}

} // namespace qelt

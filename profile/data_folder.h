#pragma once
// The per-user folder that holds the configuration files.
#include <string>

namespace qelt {

// Where the per-user application-data folder comes from. Production asks the shell; tests can
// make the question fail.
class AppDataFolderSource {
public:
    virtual ~AppDataFolderSource() = default;
    // The folder without a trailing backslash, or false when it cannot be had.
    virtual bool Query(std::wstring& folder) const = 0;
};

// SHGetFolderPathW(CSIDL_APPDATA | CSIDL_FLAG_CREATE).
class ShellAppDataFolder final : public AppDataFolderSource {
public:
    bool Query(std::wstring& folder) const override;
};

constexpr int kDataFolderCapacity = 260;

// "<application data>\Mivo\", or empty when the application-data folder cannot be had (the files
// are then taken from the current directory). Writes the folder as a diagnostic line, so callers
// need not.
std::wstring DataFolder(const AppDataFolderSource& source);
std::wstring DataFolder();

// Full path of a configuration file: in the data folder, or in the current directory when the
// data folder is empty (a bare name would be taken from the Windows folder by the private-profile
// functions).
std::wstring ConfigFilePath(const std::wstring& dataFolder);
std::wstring ProfileFilePath(const std::wstring& dataFolder, int profile);

} // namespace qelt

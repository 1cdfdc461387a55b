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

// The program's data folder, from the shell, fixed at the first call for the rest of the run:
// when the shell cannot give it, the current directory of that moment (a file dialog that moves
// the current directory later must not move the files).
std::wstring DataFolder();

// The folder the configuration files of a data folder are in: the data folder itself, or the
// current directory now when it is empty. Keep the result: the current directory can change.
std::wstring FixedDataFolder(const std::wstring& dataFolder);

// Full path of a configuration file: in the data folder, or in the current directory when the
// data folder is empty (a bare name would be taken from the Windows folder by the private-profile
// functions).
std::wstring ConfigFilePath(const std::wstring& dataFolder);
std::wstring ProfileFilePath(const std::wstring& dataFolder, int profile);

} // namespace qelt

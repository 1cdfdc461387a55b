#pragma once
// The configuration files of one data folder (Config.config and Profile0-Profile5) and the
// sequences both programs load and save them with. The editor and the agent share these; their
// differences follow from the ProgramRole.
#include <string>

#include "file_replacement.h"
#include "profile_ops.h"
#include "profile_records.h"

namespace qelt {

// Every file is written whole or not at all (FileReplacement). The saves say whether every file
// was written, or else the first that was not and why: a caller must not go on (send a profile
// to the keyboard, drop the edits) as if the files held what they do not.
class ConfigStore {
public:
    // An empty data folder stands for the current directory as it is now; later changes of the
    // current directory do not move the files.
    ConfigStore(std::wstring dataFolder, ProgramRole role);

    const std::wstring& DataFolderPath() const { return m_dataFolder; }
    const std::wstring& ConfigPath() const { return m_configPath; }
    std::wstring ProfilePath(int profile) const;
    bool ConfigExists() const;

    // Loads the image: the editor's start-up load (after ZeroImageForLoad) or the agent's
    // settings load. With Config.config present every file is read. Without it, a data folder
    // that can be created gets a new configuration and its Config.config. Otherwise the editor
    // keeps its image and the agent reads the (missing) files, so every field takes its default.
    void Load(KB_CONFIG& keyboard, ProfileArray& profiles) const;

    // Writes Config.config and all six profile files, creating the data folder when needed. A
    // file that cannot be written does not keep the others from being written.
    FileWriteResult SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;

    // After another profile was selected: Config.config alone when it exists, else everything.
    FileWriteResult SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;

    // Config.config alone, without an existence test.
    void ReadConfig(KB_CONFIG& keyboard) const;
    FileWriteResult WriteConfig(const KB_CONFIG& keyboard) const;

    // One profile from its own file (dropping unapplied edits). The index goes through
    // ClampedProfile.
    void ReloadProfile(int profile, ProfileArray& profiles) const;

    // Profile reset: deletes the profile's file, then resets the record.
    void DeleteAndResetProfile(int profile, ProfileArray& profiles) const;

private:
    void ReadEverything(KB_CONFIG& keyboard, ProfileArray& profiles) const;
    FileWriteResult WriteEverything(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;
    bool CreateDataFolder() const;

    std::wstring m_dataFolder;
    std::wstring m_filesFolder;  // where the files are: the data folder, or the current directory at construction
    ProgramRole m_role;
    std::wstring m_configPath;
};

} // namespace qelt

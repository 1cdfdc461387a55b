#pragma once
// The configuration files of one data folder (Config.config and Profile0-Profile5) and the
// sequences both programs load and save them with. The editor and the agent share these; their
// differences follow from the ProgramRole.
#include <string>

#include "profile_ops.h"
#include "profile_records.h"

namespace qelt {

class ConfigStore {
public:
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

    // Writes Config.config and all six profile files, creating the data folder when needed.
    void SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;

    // After another profile was selected: Config.config alone when it exists, else everything.
    void SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;

    // Config.config alone, without an existence test.
    void ReadConfig(KB_CONFIG& keyboard) const;
    void WriteConfig(const KB_CONFIG& keyboard) const;

    // One profile from its own file (dropping unapplied edits). The index goes through
    // ClampedProfile.
    void ReloadProfile(int profile, ProfileArray& profiles) const;

    // Profile reset: deletes the profile's file, then resets the record.
    void DeleteAndResetProfile(int profile, ProfileArray& profiles) const;

private:
    void ReadEverything(KB_CONFIG& keyboard, ProfileArray& profiles) const;
    void WriteEverything(const KB_CONFIG& keyboard, const ProfileArray& profiles) const;
    bool CreateDataFolder() const;

    std::wstring m_dataFolder;
    ProgramRole m_role;
    std::wstring m_configPath;
};

} // namespace qelt

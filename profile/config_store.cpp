#include "config_store.h"

#include <windows.h>

#include "data_folder.h"
#include "diag.h"
#include "setting_rw.h"

namespace qelt {

ConfigStore::ConfigStore(std::wstring dataFolder, ProgramRole role)
    : m_dataFolder(std::move(dataFolder)), m_filesFolder(FixedDataFolder(m_dataFolder)), m_role(role),
      m_configPath(ConfigFilePath(m_filesFolder))
{
}

std::wstring ConfigStore::ProfilePath(int profile) const
{
    return ProfileFilePath(m_filesFolder, profile);
}

bool ConfigStore::ConfigExists() const
{
    return GetFileAttributesW(m_configPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ConfigStore::CreateDataFolder() const
{
    if (CreateDirectoryW(m_dataFolder.c_str(), nullptr))
        return true;
    DiagLastError(L"CreateDirectoryW");
    return false;
}

void ConfigStore::ReadEverything(KB_CONFIG& keyboard, ProfileArray& profiles) const
{
    settingRW::ReadConfigFromFile(m_configPath, keyboard);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        settingRW::ReadProfileFromFile(ProfilePath(p), profiles[p]);
}

FileWriteResult ConfigStore::WriteEverything(const KB_CONFIG& keyboard, const ProfileArray& profiles) const
{
    FileWriteResult result = settingRW::WriteConfigToFile(m_configPath, keyboard);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        result.Merge(settingRW::WriteProfileToFile(ProfilePath(p), profiles[p]));
    return result;
}

void ConfigStore::Load(KB_CONFIG& keyboard, ProfileArray& profiles) const
{
    if (ConfigExists()) {
        Diag(L"Path exsit!\n");
        ReadEverything(keyboard, profiles);
        return;
    }
    if (CreateDataFolder()) {
        InitNewConfiguration(keyboard, profiles, m_role);
        settingRW::WriteConfigToFile(m_configPath, keyboard);
        return;
    }
    // The folder is there but holds no Config.config (or cannot be made).
    if (m_role == ProgramRole::Agent)
        ReadEverything(keyboard, profiles);
}

FileWriteResult ConfigStore::SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) const
{
    if (ConfigExists())
        Diag(L"Path exsit!\n");
    else
        CreateDataFolder();  // it may well exist already; the writes below tell
    return WriteEverything(keyboard, profiles);
}

FileWriteResult ConfigStore::SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) const
{
    if (ConfigExists())
        return settingRW::WriteConfigToFile(m_configPath, keyboard);
    return SaveAll(keyboard, profiles);
}

void ConfigStore::ReadConfig(KB_CONFIG& keyboard) const
{
    settingRW::ReadConfigFromFile(m_configPath, keyboard);
}

FileWriteResult ConfigStore::WriteConfig(const KB_CONFIG& keyboard) const
{
    return settingRW::WriteConfigToFile(m_configPath, keyboard);
}

void ConfigStore::ReloadProfile(int profile, ProfileArray& profiles) const
{
    const int p = ClampedProfile(profile);
    settingRW::ReadProfileFromFile(ProfilePath(p), profiles[p]);
}

void ConfigStore::DeleteAndResetProfile(int profile, ProfileArray& profiles) const
{
    const int p = ClampedProfile(profile);
    const std::wstring path = ProfilePath(p);
    if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        DiagLastError(L"DeleteFileW");
    ResetProfile(profiles[p]);
}

} // namespace qelt

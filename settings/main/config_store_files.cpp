#include "config_store_files.h"

#include "file_dialogs.h"
#include "setting_rw.h"

namespace qelt {

void ConfigStoreFiles::Load(KB_CONFIG& keyboard, ProfileArray& profiles)
{
    m_store.Load(keyboard, profiles);
}

void ConfigStoreFiles::SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles)
{
    m_store.SaveAll(keyboard, profiles);
}

void ConfigStoreFiles::SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles)
{
    m_store.SaveSelection(keyboard, profiles);
}

void ConfigStoreFiles::ReadConfig(KB_CONFIG& keyboard)
{
    m_store.ReadConfig(keyboard);
}

void ConfigStoreFiles::ReloadProfile(int profile, ProfileArray& profiles)
{
    m_store.ReloadProfile(profile, profiles);
}

void ConfigStoreFiles::DeleteAndResetProfile(int profile, ProfileArray& profiles)
{
    m_store.DeleteAndResetProfile(profile, profiles);
}

void ConfigStoreFiles::ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile)
{
    WaitCursor wait;
    settingRW::WriteProfileToFile(path, profile);
}

bool ConfigStoreFiles::ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile)
{
    WaitCursor wait;
    // The file dialog lets the user type a name that does not exist.
    if (!FileExists(path))
        return false;
    settingRW::ReadProfileFromFile(path, profile);
    return true;
}

} // namespace qelt

#include "config_store_files.h"

#include "file_dialogs.h"
#include "setting_rw.h"

namespace qelt {

bool ConfigStoreFiles::Load(KB_CONFIG& keyboard, ProfileArray& profiles)
{
    const bool configurationThere = m_store.ConfigExists();
    m_store.Load(keyboard, profiles);
    return configurationThere;
}

FileWriteResult ConfigStoreFiles::SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles)
{
    return m_store.SaveAll(keyboard, profiles);
}

FileWriteResult ConfigStoreFiles::SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles)
{
    return m_store.SaveSelection(keyboard, profiles);
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

FileWriteResult ConfigStoreFiles::ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile)
{
    WaitCursor wait;
    return settingRW::WriteProfileToFile(path, profile);
}

ProfileImport ConfigStoreFiles::ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile)
{
    WaitCursor wait;
    ProfileImport result;
    // The file dialog lets the user type a name that does not exist.
    if (!FileExists(path)) {
        result.outcome = ProfileImport::Outcome::NoFile;
        return result;
    }
    // Any other file would read as a profile of defaults: every slot without its function.
    if (!settingRW::HoldsProfileContent(path)) {
        result.outcome = ProfileImport::Outcome::NotAProfile;
        return result;
    }
    result.slotsWithoutProgram = settingRW::ReadProfileFromFile(path, profile).overlongPathSlots;
    return result;
}

} // namespace qelt

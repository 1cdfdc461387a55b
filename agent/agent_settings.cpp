#include "agent_settings.h"

#include "config_store.h"
#include "data_folder.h"
#include "diag.h"
#include "setting_rw.h"

#include <windows.h>

#include <cwchar>

namespace qelt {

std::wstring AgentDataFolder()
{
    return DataFolder();
}

ConfigSettings::ConfigSettings(std::wstring dataFolder) : m_dataFolder(std::move(dataFolder)) {}

std::wstring ConfigSettings::ConfigPath() const
{
    return ConfigFilePath(m_dataFolder);
}

void ConfigSettings::Load()
{
    // InitSetting. The device status is the agent's own knowledge, not the file's.
    const int status = Temp_KBConfig.nDeviceStatus;
    ConfigStore(m_dataFolder, ProgramRole::Agent).Load(Temp_KBConfig, profile_config);
    if (m_statusSet)
        Temp_KBConfig.nDeviceStatus = status;
    m_loaded = true;
}

void ConfigSettings::SetCurrentProfile(int profile)
{
    Temp_KBConfig.CurrantProfile = profile;
    m_profileSet = true;
}

void ConfigSettings::SetDeviceStatus(int status)
{
    Temp_KBConfig.nDeviceStatus = status;
    m_statusSet = true;
}

void ConfigSettings::WriteConfig()
{
    if (m_loaded) {
        settingRW::WriteConfigToFile(ConfigPath(), Temp_KBConfig);
        return;
    }
    // Nothing was loaded: write only what the agent itself knows.
    const CSettingRW config(ConfigPath());
    if (m_profileSet)
        config.WriteInt(L"CONFIG", L"CURRENTPROFILE", Temp_KBConfig.CurrantProfile);
    if (m_statusSet)
        config.WriteInt(L"CONFIG", L"DEVICEPSTATS", Temp_KBConfig.nDeviceStatus);
}

void ConfigSettings::WritePcMode()
{
    CSettingRW(ConfigPath()).WriteInt(L"CONFIG", L"PC_MODE", 0);
}

void ConfigSettings::WriteDeviceStatus(int status)
{
    const std::wstring path = ConfigPath();
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Diag(L"No %ls: the device status is not written\n", path.c_str());
        return;
    }
    settingRW::WriteDeviceStatusToFile(path, status);
}

uint8_t ConfigSettings::FunctionOf(int profile, int slot) const
{
    if (profile < 0 || profile >= PROFILE_COUNT || slot < 0 || slot >= BUTTON_COUNT)
        return FUN_NONE;
    return profile_config[profile].TButton[slot].FunID;
}

std::wstring ConfigSettings::AppPathOf(int profile, int slot) const
{
    if (profile < 0 || profile >= PROFILE_COUNT || slot < 0 || slot >= BUTTON_COUNT)
        return L"";
    const wchar_t* path = profile_config[profile].TButton[slot].AppPath;
    return std::wstring(path, wcsnlen(path, APP_PATH_CHARS));
}

} // namespace qelt

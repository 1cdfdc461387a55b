#include "agent_settings.h"

#include "diag.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

namespace qelt {
namespace {

constexpr wchar_t kConfigSection[] = L"CONFIG";

void WriteIntKey(const std::wstring& path, const wchar_t* section, const wchar_t* key, int value)
{
    wchar_t text[256];
    std::swprintf(text, 256, L"%d", value);
    if (!WritePrivateProfileStringW(section, key, text, path.c_str()))
        DiagLastError(L"WritePrivateProfileStringW");
}

int ReadIntKey(const std::wstring& path, const wchar_t* section, const wchar_t* key, int defaultValue)
{
    return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, path.c_str()));
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// MACROGn: a Macro value that is missing or does not decode leaves the steps as they were.
void ReadMacro(const wchar_t* path, int slot, MACRO_DATA& macro)
{
    wchar_t section[32];
    std::swprintf(section, 32, L"MACROG%d", slot);
    macro.RepeatOption = static_cast<uint8_t>(ReadIntKey(path, section, L"RepeatOption", 1));
    GetPrivateProfileStructW(section, L"Macro", macro.Steps, sizeof macro.Steps, path);
    macro.length = static_cast<uint16_t>(ReadIntKey(path, section, L"MacroLength", -1));
}

} // namespace

std::wstring AgentDataFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder)))
        return L"";
    wchar_t dataFolder[MAX_PATH] = {};
    std::swprintf(dataFolder, MAX_PATH, L"%ls\\Mivo\\", folder);
    return dataFolder;
}

ConfigSettings::ConfigSettings(std::wstring dataFolder) : m_dataFolder(std::move(dataFolder)) {}

void ConfigSettings::Load()
{
    const std::wstring config = ConfigPath();
    if (!FileExists(config) && CreateDirectoryW(m_dataFolder.c_str(), nullptr)) {
        // A new configuration: every slot unused, profile 0, light 1.
        const int status = Temp_KBConfig.nDeviceStatus;
        Temp_KBConfig = KB_CONFIG{status, 1, 0};
        for (auto& profile : profile_config) {
            profile = PROFILE_CONFIG{};
            for (auto& button : profile.TButton) {
                button.FunID = UNASSIGNED;
                button.MappingKey = UNASSIGNED;
            }
        }
        m_loaded = true;
        WriteConfig();
        return;
    }
    if (FileExists(config))
        Diag(L"Path exsit!\n");
    Temp_KBConfig.CurrantProfile = ReadIntKey(config, kConfigSection, L"CURRENTPROFILE", -1);
    Temp_KBConfig.nLight = ReadIntKey(config, kConfigSection, L"LIGHT", -1);
    Temp_KBConfig.nDeviceStatus = ReadIntKey(config, kConfigSection, L"DEVICEPSTATS", -1);
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        wchar_t path[MAX_PATH];
        std::swprintf(path, MAX_PATH, L"%lsProfile%d", m_dataFolder.c_str(), p);
        PROFILE_CONFIG& profile = profile_config[p];
        profile.nMacroTotal = ReadIntKey(path, L"Setting", L"MacroLength", 0);
        profile.DiableWinKey = ReadIntKey(path, L"Setting", L"DiableWinKey", 1);
        for (int s = 0; s < BUTTON_COUNT; ++s) {
            wchar_t section[32];
            std::swprintf(section, 32, L"BUTTONCONFIG%d", s);
            BUTTON_CONFIG& button = profile.TButton[s];
            button.FunID = static_cast<uint8_t>(ReadIntKey(path, section, L"FunID", -1));
            button.MappingKey = static_cast<uint8_t>(ReadIntKey(path, section, L"Mappinkey", -1));
            if (button.FunID == FUN_LAUNCH_APP)
                GetPrivateProfileStringW(section, L"APP Path", L"", button.AppPath, APP_PATH_CHARS, path);
            ReadMacro(path, s, button.Macro);
        }
    }
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
    const std::wstring config = ConfigPath();
    if (m_loaded || m_profileSet)
        WriteIntKey(config, kConfigSection, L"CURRENTPROFILE", Temp_KBConfig.CurrantProfile);
    if (m_loaded)
        WriteIntKey(config, kConfigSection, L"LIGHT", Temp_KBConfig.nLight);
    if (m_loaded || m_statusSet)
        WriteIntKey(config, kConfigSection, L"DEVICEPSTATS", Temp_KBConfig.nDeviceStatus);
}

void ConfigSettings::WritePcMode()
{
    WriteIntKey(ConfigPath(), kConfigSection, L"PC_MODE", 0);
}

std::wstring ConfigSettings::AppPathOf(int profile, int slot) const
{
    if (profile < 0 || profile >= PROFILE_COUNT || slot < 0 || slot >= BUTTON_COUNT)
        return L"";
    const wchar_t* path = profile_config[profile].TButton[slot].AppPath;
    return std::wstring(path, wcsnlen(path, APP_PATH_CHARS));
}

} // namespace qelt

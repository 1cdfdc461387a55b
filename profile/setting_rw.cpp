#include "setting_rw.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "diag.h"
#include "setting_section.h"

std::wstring CSettingRW::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const
{
    std::vector<wchar_t> buffer(kStringCapacity, L'\0');
    const DWORD length = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(),
                                                  kStringCapacity, m_path.c_str());
    return std::wstring(buffer.data(), length);
}

bool CSettingRW::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const
{
    if (WritePrivateProfileStringW(section, key, value, m_path.c_str()))
        return true;
    ReportWriteFailure(L"WritePrivateProfileStringW");
    return false;
}

int CSettingRW::ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const
{
    return static_cast<int>(GetPrivateProfileIntW(section, key, defaultValue, m_path.c_str()));
}

bool CSettingRW::WriteInt(const wchar_t* section, const wchar_t* key, int value) const
{
    wchar_t text[kIntCapacity];
    std::swprintf(text, kIntCapacity, L"%d", value);
    return WriteString(section, key, text);
}

bool CSettingRW::ReadStruct(const wchar_t* section, const wchar_t* key, void* destination, unsigned size) const
{
    // Some implementations of the platform call take a value with a stray character or one digit
    // too many; the stored form is exactly two hex digits per byte and two for the checksum.
    const size_t expectedLength = 2 * static_cast<size_t>(size) + 2;
    std::vector<wchar_t> text(expectedLength + 2, L'\0');
    const DWORD length = GetPrivateProfileStringW(section, key, L"", text.data(),
                                                  static_cast<DWORD>(text.size()), m_path.c_str());
    if (length != expectedLength)
        return false;
    for (size_t i = 0; i < expectedLength; ++i)
        if (!std::iswxdigit(text[i]) || text[i] > 0x7F)
            return false;

    // Decode into a separate buffer: a value failing its checksum may have been decoded in part,
    // and the destination must stay as it was.
    std::vector<unsigned char> decoded(size);
    if (!GetPrivateProfileStructW(section, key, decoded.data(), size, m_path.c_str()))
        return false;
    std::memcpy(destination, decoded.data(), size);
    return true;
}

bool CSettingRW::WriteStruct(const wchar_t* section, const wchar_t* key, const void* source, unsigned size) const
{
    // The platform's declaration takes a non-const pointer but only reads the bytes.
    if (WritePrivateProfileStructW(section, key, const_cast<void*>(source), size, m_path.c_str()))
        return true;
    ReportWriteFailure(L"WritePrivateProfileStructW");
    return false;
}

void CSettingRW::ReportWriteFailure(const wchar_t* operation) const
{
    if (m_writeFailureReported)
        return;
    m_writeFailureReported = true;
    qelt::DiagLastError(operation);
    qelt::Diag(L"Cannot write %ls\n", m_path.c_str());
}

namespace settingRW {
namespace {

constexpr wchar_t kConfigSection[] = L"CONFIG";
constexpr wchar_t kSettingSection[] = L"Setting";

std::wstring SlotSection(const wchar_t* prefix, int slot)
{
    wchar_t name[32];
    std::swprintf(name, 32, L"%ls%d", prefix, slot);
    return name;
}

void ReadMacro(const CSettingRW& file, int slot, MACRO_DATA& macro, ReadPath how)
{
    const qelt::SettingSection section(file, SlotSection(L"MACROG", slot), how);
    macro.RepeatOption = static_cast<uint8_t>(section.ReadInt(L"RepeatOption", 1));

    // A value that does not decode leaves the steps as they were; a missing one is no news.
    if (!section.ReadStruct(L"Macro", macro.Steps, sizeof macro.Steps) && !section.ReadString(L"Macro", L"").empty()) {
        qelt::Diag(L"Macro of [%ls] in %ls does not decode, steps kept\n", section.Name().c_str(),
                   file.Path().c_str());
    }
    macro.length = static_cast<uint16_t>(section.ReadInt(L"MacroLength", -1));
}

void WriteMacro(const CSettingRW& file, int slot, const MACRO_DATA& macro)
{
    const std::wstring section = SlotSection(L"MACROG", slot);
    file.WriteInt(section.c_str(), L"RepeatOption", macro.RepeatOption);
    file.WriteStruct(section.c_str(), L"Macro", macro.Steps, sizeof macro.Steps);
    file.WriteInt(section.c_str(), L"MacroLength", macro.length);
}

void ReadButton(const CSettingRW& file, int slot, BUTTON_CONFIG& button, ReadPath how)
{
    const qelt::SettingSection section(file, SlotSection(L"BUTTONCONFIG", slot), how);
    button.FunID = static_cast<uint8_t>(section.ReadInt(L"FunID", -1));
    button.MappingKey = static_cast<uint8_t>(section.ReadInt(L"Mappinkey", -1));
    if (button.FunID == FUN_LAUNCH_APP) {
        const std::wstring appPath = section.ReadString(L"APP Path", L"");
        size_t length = appPath.size();
        if (length >= APP_PATH_CHARS) {
            // The launcher holds 259 characters; an edited file may hold more.
            qelt::Diag(L"APP Path of [%ls] in %ls has %d characters, cut to %d\n", section.Name().c_str(),
                       file.Path().c_str(), static_cast<int>(length), APP_PATH_CHARS - 1);
            length = APP_PATH_CHARS - 1;
        }
        std::wmemcpy(button.AppPath, appPath.data(), length);
        button.AppPath[length] = L'\0';
    }
    ReadMacro(file, slot, button.Macro, how);
}

void WriteButton(const CSettingRW& file, int slot, const BUTTON_CONFIG& button)
{
    const std::wstring section = SlotSection(L"BUTTONCONFIG", slot);
    file.WriteInt(section.c_str(), L"FunID", button.FunID);
    file.WriteInt(section.c_str(), L"Mappinkey", button.MappingKey);
    if (button.FunID == FUN_LAUNCH_APP) {
        // The record may come from anywhere: never read past its 260 characters.
        const std::wstring appPath(button.AppPath, wcsnlen(button.AppPath, APP_PATH_CHARS - 1));
        file.WriteString(section.c_str(), L"APP Path", appPath.c_str());
    }
    WriteMacro(file, slot, button.Macro);
}

} // namespace

void ReadConfigFromFile(const std::wstring& path, KB_CONFIG& keyboard, ReadPath how)
{
    const CSettingRW file(path);
    const qelt::SettingSection section(file, kConfigSection, how);
    keyboard.CurrantProfile = section.ReadInt(L"CURRENTPROFILE", -1);
    keyboard.nLight = section.ReadInt(L"LIGHT", -1);
    keyboard.nDeviceStatus = section.ReadInt(L"DEVICEPSTATS", -1);
}

void WriteConfigToFile(const std::wstring& path, const KB_CONFIG& keyboard)
{
    const CSettingRW file(path);
    file.WriteInt(kConfigSection, L"CURRENTPROFILE", keyboard.CurrantProfile);
    file.WriteInt(kConfigSection, L"LIGHT", keyboard.nLight);
    file.WriteInt(kConfigSection, L"DEVICEPSTATS", keyboard.nDeviceStatus);
}

void ReadProfileFromFile(const std::wstring& path, PROFILE_CONFIG& profile, ReadPath how)
{
    const CSettingRW file(path);
    {
        const qelt::SettingSection section(file, kSettingSection, how);
        profile.nMacroTotal = section.ReadInt(L"MacroLength", 0);
        profile.DiableWinKey = section.ReadInt(L"DiableWinKey", 1);
    }
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        ReadButton(file, slot, profile.TButton[slot], how);
}

void WriteProfileToFile(const std::wstring& path, const PROFILE_CONFIG& profile)
{
    const CSettingRW file(path);
    file.WriteInt(kSettingSection, L"MacroLength", profile.nMacroTotal);
    file.WriteInt(kSettingSection, L"DiableWinKey", profile.DiableWinKey);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        WriteButton(file, slot, profile.TButton[slot]);
}

void ReadButtonFromFile(const std::wstring& path, int slot, BUTTON_CONFIG& button, ReadPath how)
{
    ReadButton(CSettingRW(path), slot, button, how);
}

void WriteButtonToFile(const std::wstring& path, int slot, const BUTTON_CONFIG& button)
{
    WriteButton(CSettingRW(path), slot, button);
}

void ReadMacroFromFile(const std::wstring& path, int slot, MACRO_DATA& macro, ReadPath how)
{
    ReadMacro(CSettingRW(path), slot, macro, how);
}

void WriteMacroToFile(const std::wstring& path, int slot, const MACRO_DATA& macro)
{
    WriteMacro(CSettingRW(path), slot, macro);
}

} // namespace settingRW

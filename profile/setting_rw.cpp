#include "setting_rw.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "diag.h"
#include "handles.h"
#include "setting_section.h"

std::wstring CSettingRW::ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const
{
    std::vector<wchar_t> buffer(kStringCapacity, L'\0');
    const DWORD length = GetPrivateProfileStringW(section, key, defaultValue, buffer.data(),
                                                  kStringCapacity, m_path.c_str());
    return std::wstring(buffer.data(), length);
}

void CSettingRW::MakeUnicodeFileIfMissing() const
{
    if (m_bFileChecked)
        return;
    m_bFileChecked = true;
    // A bare name is the platform's to place (it takes the Windows folder): leave it alone.
    if (m_path.find_first_of(L"\\/") == std::wstring::npos)
        return;
    qelt::UniqueHandle file(CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr));
    if (!file)
        return;  // there already, or not possible: the write itself tells
    static const unsigned char kUtf16LeMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (!WriteFile(file.Get(), kUtf16LeMark, sizeof kUtf16LeMark, &written, nullptr))
        qelt::DiagLastError(L"WriteFile (byte-order mark)");
}

bool CSettingRW::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const
{
    MakeUnicodeFileIfMissing();
    if (WritePrivateProfileStringW(section, key, value, m_path.c_str()))
        return true;
    NoteWriteFailure(L"WritePrivateProfileStringW");
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
    MakeUnicodeFileIfMissing();
    // The platform's declaration takes a non-const pointer but only reads the bytes.
    if (WritePrivateProfileStructW(section, key, const_cast<void*>(source), size, m_path.c_str()))
        return true;
    NoteWriteFailure(L"WritePrivateProfileStructW");
    return false;
}

void CSettingRW::NoteWriteFailure(const wchar_t* operation) const
{
    if (m_nFirstWriteError != 0)
        return;
    const DWORD error = GetLastError();
    // The platform does not always give a code; the write failed all the same.
    m_nFirstWriteError = error != 0 ? error : ERROR_WRITE_FAULT;
    qelt::DiagError(operation, error);
    qelt::Diag(L"Cannot write %ls\n", m_path.c_str());
}

namespace settingRW {
namespace {

constexpr wchar_t kConfigSection[] = L"CONFIG";
constexpr wchar_t kSettingSection[] = L"Setting";
constexpr wchar_t kAppPathKey[] = L"APP Path";
constexpr wchar_t kMacroKey[] = L"Macro";

std::wstring SlotSection(const wchar_t* prefix, int slot)
{
    wchar_t name[32];
    std::swprintf(name, 32, L"%ls%d", prefix, slot);
    return name;
}

bool HasUsablePath(const BUTTON_CONFIG& button)
{
    return button.FunID == FUN_LAUNCH_APP;
}

// The record may come from anywhere: never read past its 260 characters.
std::wstring AppPathOf(const BUTTON_CONFIG& button)
{
    return std::wstring(button.AppPath, wcsnlen(button.AppPath, APP_PATH_CHARS - 1));
}

// Whether the button's file text needs more than the ANSI code page (only a path can).
bool NeedsUnicode(const BUTTON_CONFIG& button)
{
    return HasUsablePath(button) && !qelt::FitsAnsiCodePage(AppPathOf(button));
}

// Writes through a replacement of the file: whole or not at all.
template <typename WriteKeys>
FileWriteResult ReplaceFile(const std::wstring& path, bool needsUnicode, WriteKeys writeKeys)
{
    qelt::FileReplacement replacement(path, needsUnicode);
    if (!replacement.Ready())
        return replacement.Commit(0);
    const CSettingRW work(replacement.WorkPath());
    writeKeys(work);
    const FileWriteResult result = replacement.Commit(work.FirstWriteError());
    if (!result.Ok())
        qelt::Diag(L"Not written: %ls\n", result.Describe().c_str());
    return result;
}

MacroValue ReadMacro(const CSettingRW& file, int slot, MACRO_DATA& macro, ReadPath how)
{
    const qelt::SettingSection section(file, SlotSection(L"MACROG", slot), how);
    macro.RepeatOption = static_cast<uint8_t>(section.ReadInt(L"RepeatOption", 1));

    MACRO_STEP steps[MACRO_MAX_STEPS];
    MacroValue state = MacroValue::Decoded;
    if (!section.ReadStruct(kMacroKey, steps, sizeof steps))
        state = section.ReadString(kMacroKey, L"").empty() ? MacroValue::Missing : MacroValue::Undecodable;
    if (state != MacroValue::Decoded) {
        // Nothing of the record in memory may survive: its steps would play under this length.
        if (state == MacroValue::Undecodable)
            qelt::Diag(L"Macro of [%ls] in %ls does not decode: the slot gets an empty macro\n",
                       section.Name().c_str(), file.Path().c_str());
        std::memset(macro.Steps, 0, sizeof macro.Steps);
        macro.length = 0;
        return state;
    }
    std::memcpy(macro.Steps, steps, sizeof steps);
    macro.length = static_cast<uint16_t>(section.ReadInt(L"MacroLength", -1));
    return state;
}

void WriteMacro(const CSettingRW& file, int slot, const MACRO_DATA& macro)
{
    const std::wstring section = SlotSection(L"MACROG", slot);
    file.WriteInt(section.c_str(), L"RepeatOption", macro.RepeatOption);
    file.WriteStruct(section.c_str(), kMacroKey, macro.Steps, sizeof macro.Steps);
    file.WriteInt(section.c_str(), L"MacroLength", macro.length);
}

ButtonReadReport ReadButton(const CSettingRW& file, int slot, BUTTON_CONFIG& button, ReadPath how)
{
    ButtonReadReport report;
    const qelt::SettingSection section(file, SlotSection(L"BUTTONCONFIG", slot), how);
    button.FunID = static_cast<uint8_t>(section.ReadInt(L"FunID", -1));
    button.MappingKey = static_cast<uint8_t>(section.ReadInt(L"Mappinkey", -1));
    if (HasUsablePath(button)) {
        const std::wstring appPath = section.ReadString(kAppPathKey, L"");
        if (appPath.size() >= APP_PATH_CHARS) {
            // A cut path names another file or none: the slot is left without a program.
            qelt::Diag(L"APP Path of [%ls] in %ls has %d characters, more than %d: the slot gets no program\n",
                       section.Name().c_str(), file.Path().c_str(), static_cast<int>(appPath.size()),
                       APP_PATH_CHARS - 1);
            report.bOverlongPath = true;
            button.AppPath[0] = L'\0';
        } else {
            std::wmemcpy(button.AppPath, appPath.data(), appPath.size());
            button.AppPath[appPath.size()] = L'\0';
        }
    }
    report.macro = ReadMacro(file, slot, button.Macro, how);
    return report;
}

void WriteButton(const CSettingRW& file, int slot, const BUTTON_CONFIG& button)
{
    const std::wstring section = SlotSection(L"BUTTONCONFIG", slot);
    file.WriteInt(section.c_str(), L"FunID", button.FunID);
    file.WriteInt(section.c_str(), L"Mappinkey", button.MappingKey);
    if (HasUsablePath(button))
        file.WriteString(section.c_str(), kAppPathKey, AppPathOf(button).c_str());
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

FileWriteResult WriteConfigToFile(const std::wstring& path, const KB_CONFIG& keyboard)
{
    return ReplaceFile(path, false, [&](const CSettingRW& file) {
        file.WriteInt(kConfigSection, L"CURRENTPROFILE", keyboard.CurrantProfile);
        file.WriteInt(kConfigSection, L"LIGHT", keyboard.nLight);
        file.WriteInt(kConfigSection, L"DEVICEPSTATS", keyboard.nDeviceStatus);
    });
}

FileWriteResult WriteDeviceStatusToFile(const std::wstring& path, int status)
{
    return ReplaceFile(path, false,
                       [&](const CSettingRW& file) { file.WriteInt(kConfigSection, L"DEVICEPSTATS", status); });
}

ProfileReadReport ReadProfileFromFile(const std::wstring& path, PROFILE_CONFIG& profile, ReadPath how)
{
    ProfileReadReport report;
    const CSettingRW file(path);
    {
        const qelt::SettingSection section(file, kSettingSection, how);
        profile.nMacroTotal = section.ReadInt(L"MacroLength", 0);
        profile.DiableWinKey = section.ReadInt(L"DiableWinKey", 1);
    }
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const ButtonReadReport button = ReadButton(file, slot, profile.TButton[slot], how);
        if (button.bOverlongPath)
            report.overlongPathSlots.push_back(slot);
        if (button.macro == MacroValue::Undecodable)
            report.undecodableMacroSlots.push_back(slot);
    }
    return report;
}

FileWriteResult WriteProfileToFile(const std::wstring& path, const PROFILE_CONFIG& profile)
{
    bool needsUnicode = false;
    for (const BUTTON_CONFIG& button : profile.TButton)
        needsUnicode = needsUnicode || NeedsUnicode(button);
    return ReplaceFile(path, needsUnicode, [&](const CSettingRW& file) {
        file.WriteInt(kSettingSection, L"MacroLength", profile.nMacroTotal);
        file.WriteInt(kSettingSection, L"DiableWinKey", profile.DiableWinKey);
        for (int slot = 0; slot < BUTTON_COUNT; ++slot)
            WriteButton(file, slot, profile.TButton[slot]);
    });
}

ButtonReadReport ReadButtonFromFile(const std::wstring& path, int slot, BUTTON_CONFIG& button, ReadPath how)
{
    return ReadButton(CSettingRW(path), slot, button, how);
}

FileWriteResult WriteButtonToFile(const std::wstring& path, int slot, const BUTTON_CONFIG& button)
{
    return ReplaceFile(path, NeedsUnicode(button),
                       [&](const CSettingRW& file) { WriteButton(file, slot, button); });
}

MacroValue ReadMacroFromFile(const std::wstring& path, int slot, MACRO_DATA& macro, ReadPath how)
{
    return ReadMacro(CSettingRW(path), slot, macro, how);
}

FileWriteResult WriteMacroToFile(const std::wstring& path, int slot, const MACRO_DATA& macro)
{
    return ReplaceFile(path, false, [&](const CSettingRW& file) { WriteMacro(file, slot, macro); });
}

bool HoldsProfileContent(const std::wstring& path)
{
    const CSettingRW file(path);
    auto holdsAny = [&](const std::wstring& name, std::initializer_list<const wchar_t*> keys) {
        const qelt::SettingSection section(file, name);
        for (const wchar_t* key : keys)
            if (section.Holds(key))
                return true;
        return false;
    };
    if (holdsAny(kSettingSection, {L"MacroLength", L"DiableWinKey"}))
        return true;
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        if (holdsAny(SlotSection(L"BUTTONCONFIG", slot), {L"FunID", L"Mappinkey", kAppPathKey}) ||
            holdsAny(SlotSection(L"MACROG", slot), {L"RepeatOption", kMacroKey, L"MacroLength"}))
            return true;
    }
    return false;
}

const wchar_t* DescribeMacroFileFault(MacroFileFault fault)
{
    switch (fault) {
    case MacroFileFault::None: return L"";
    case MacroFileFault::NoSection: return L"The file holds no macro (it has no [MACROG0] section).";
    case MacroFileFault::NoMacroValue: return L"The file's macro has no steps (its Macro value is missing).";
    case MacroFileFault::UndecodableMacro:
        return L"The file's macro is damaged: its steps (the Macro value) do not decode.";
    case MacroFileFault::LengthBeyondSteps:
        return L"The file's macro is damaged: its MacroLength counts more steps than the file holds.";
    }
    return L"";
}

FileWriteResult ExportMacroFile(const std::wstring& path, const MACRO_DATA& macro)
{
    return WriteMacroToFile(path, 0, macro);
}

MacroFileFault ImportMacroFile(const std::wstring& path, MACRO_DATA& macro)
{
    const CSettingRW file(path);
    const qelt::SettingSection section(file, SlotSection(L"MACROG", 0));
    MacroFileFault fault = MacroFileFault::None;
    MACRO_DATA read{};
    if (!section.Holds(L"RepeatOption") && !section.Holds(kMacroKey) && !section.Holds(L"MacroLength")) {
        fault = MacroFileFault::NoSection;
    } else if (section.ReadString(kMacroKey, L"").empty()) {
        fault = MacroFileFault::NoMacroValue;
    } else if (!section.ReadStruct(kMacroKey, read.Steps, sizeof read.Steps)) {
        fault = MacroFileFault::UndecodableMacro;
    } else {
        read.RepeatOption = static_cast<uint8_t>(section.ReadInt(L"RepeatOption", 1));
        read.length = static_cast<uint16_t>(section.ReadInt(L"MacroLength", -1));
        if (read.length > StepsHeld(read))
            fault = MacroFileFault::LengthBeyondSteps;
    }
    if (fault != MacroFileFault::None) {
        qelt::Diag(L"Macro file %ls not loaded: %ls\n", path.c_str(), DescribeMacroFileFault(fault));
        return fault;
    }
    macro = read;
    return fault;
}

int StepsHeld(const MACRO_DATA& macro)
{
    int count = 0;
    while (count < MACRO_MAX_STEPS && macro.Steps[count].Code != 0)
        ++count;
    return count;
}

} // namespace settingRW

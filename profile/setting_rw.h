#pragma once
// Access to private-profile (INI) files: the configuration files, exported profiles and macros,
// and the skin description files. Every call opens the file anew; nothing is cached.
#include <string>

#include "profile_records.h"

class CSettingRW {
public:
    static constexpr int kStringCapacity = 4096;  // a value is read up to 4095 characters
    static constexpr int kIntCapacity = 256;

    explicit CSettingRW(std::wstring path) : m_path(std::move(path)) {}

    const std::wstring& Path() const { return m_path; }

    std::wstring ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue) const;
    bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value) const;
    int ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const;
    bool WriteInt(const wchar_t* section, const wchar_t* key, int value) const;
    // The destination is written only when the whole value decodes and its checksum matches.
    bool ReadStruct(const wchar_t* section, const wchar_t* key, void* destination, unsigned size) const;
    bool WriteStruct(const wchar_t* section, const wchar_t* key, const void* source, unsigned size) const;

private:
    // A file that cannot be written fails every key the same way: say so once per accessor.
    void ReportWriteFailure(const wchar_t* operation) const;

    std::wstring m_path;
    mutable bool m_writeFailureReported = false;
};

// The configuration records in their files. A missing key reads as its default; nothing here
// reports an error to the caller (failed platform calls are written as diagnostics).
namespace settingRW {

// How reads reach a file: one platform call per section (qelt::SettingSection), or one per key.
// Both give the same records; the per-key path is the reference the section reads are held to.
enum class ReadPath { Sections, KeyByKey };

void ReadConfigFromFile(const std::wstring& path, KB_CONFIG& keyboard, ReadPath how = ReadPath::Sections);
void WriteConfigToFile(const std::wstring& path, const KB_CONFIG& keyboard);

void ReadProfileFromFile(const std::wstring& path, PROFILE_CONFIG& profile, ReadPath how = ReadPath::Sections);
void WriteProfileToFile(const std::wstring& path, const PROFILE_CONFIG& profile);

// Slot 0-9: sections BUTTONCONFIG<slot> and MACROG<slot>.
void ReadButtonFromFile(const std::wstring& path, int slot, BUTTON_CONFIG& button,
                        ReadPath how = ReadPath::Sections);
void WriteButtonToFile(const std::wstring& path, int slot, const BUTTON_CONFIG& button);

// A Macro value that is missing or does not decode leaves the steps as they were.
void ReadMacroFromFile(const std::wstring& path, int slot, MACRO_DATA& macro, ReadPath how = ReadPath::Sections);
void WriteMacroToFile(const std::wstring& path, int slot, const MACRO_DATA& macro);

// Exported macro files (".Macro") hold one macro in the section of slot 0.
inline void ExportMacroFile(const std::wstring& path, const MACRO_DATA& macro) { WriteMacroToFile(path, 0, macro); }
inline void ImportMacroFile(const std::wstring& path, MACRO_DATA& macro) { ReadMacroFromFile(path, 0, macro); }

} // namespace settingRW

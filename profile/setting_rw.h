#pragma once
// Access to private-profile (INI) files: the configuration files, exported profiles and macros,
// and the skin description files. Every call opens the file anew; nothing is cached.
#include <string>
#include <vector>

#include "file_replacement.h"
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

    // The error code of the first write through this accessor that failed, 0 when none did.
    unsigned long FirstWriteError() const { return m_nFirstWriteError; }

private:
    // A file that cannot be written fails every key the same way: say so once per accessor.
    void NoteWriteFailure(const wchar_t* operation) const;
    // Before the first write: a file that is not there yet is made as a UTF-16 byte-order mark,
    // so the platform writes it in UTF-16 and keeps every character of every value.
    void MakeUnicodeFileIfMissing() const;

    std::wstring m_path;
    mutable unsigned long m_nFirstWriteError = 0;
    mutable bool m_bFileChecked = false;
};

// The configuration records in their files. A missing key reads as its default.
//
// Every write replaces its file whole (qelt::FileReplacement): the file is either as it was or
// holds every key written, never a part. Each write tells whether the file was written, and if
// not which file and why, so that the caller can tell the user and not go on as if it had been.
namespace settingRW {

using qelt::FileWriteResult;

// How reads reach a file: one platform call per section (qelt::SettingSection), or one per key.
// Both give the same records; the per-key path is the reference the section reads are held to.
enum class ReadPath { Sections, KeyByKey };

// What reading a Macro value gave. Without a value that decodes the slot gets an empty macro
// (no steps, length 0): steps of another record must never play under the length of this one.
enum class MacroValue { Decoded, Missing, Undecodable };

// What reading a profile found that the user may have to know about.
struct ProfileReadReport {
    std::vector<int> overlongPathSlots;      // APP Path over 259 characters: the slot has no program
    std::vector<int> undecodableMacroSlots;  // Macro value present but damaged: the slot's macro is empty

    bool Clean() const { return overlongPathSlots.empty() && undecodableMacroSlots.empty(); }
};

struct ButtonReadReport {
    bool bOverlongPath = false;
    MacroValue macro = MacroValue::Missing;
};

void ReadConfigFromFile(const std::wstring& path, KB_CONFIG& keyboard, ReadPath how = ReadPath::Sections);
FileWriteResult WriteConfigToFile(const std::wstring& path, const KB_CONFIG& keyboard);

// CONFIG DEVICEPSTATS alone; the file's other keys stay as they are.
FileWriteResult WriteDeviceStatusToFile(const std::wstring& path, int status);

ProfileReadReport ReadProfileFromFile(const std::wstring& path, PROFILE_CONFIG& profile,
                                      ReadPath how = ReadPath::Sections);
FileWriteResult WriteProfileToFile(const std::wstring& path, const PROFILE_CONFIG& profile);

// Slot 0-9: sections BUTTONCONFIG<slot> and MACROG<slot>.
ButtonReadReport ReadButtonFromFile(const std::wstring& path, int slot, BUTTON_CONFIG& button,
                                    ReadPath how = ReadPath::Sections);
FileWriteResult WriteButtonToFile(const std::wstring& path, int slot, const BUTTON_CONFIG& button);

MacroValue ReadMacroFromFile(const std::wstring& path, int slot, MACRO_DATA& macro, ReadPath how = ReadPath::Sections);
FileWriteResult WriteMacroToFile(const std::wstring& path, int slot, const MACRO_DATA& macro);

// Whether the file holds any key of a profile under its section (Setting, BUTTONCONFIG0-9,
// MACROG0-9): a file that holds none is no exported profile, whatever its name.
bool HoldsProfileContent(const std::wstring& path);

// Exported macro files (".Macro") hold one macro in the section of slot 0.
enum class MacroFileFault {
    None,
    NoSection,          // no MACROG0 section, or one without keys
    NoMacroValue,       // MACROG0 without a Macro value
    UndecodableMacro,   // a Macro value that does not decode (cut, edited, bad checksum)
    LengthBeyondSteps,  // MacroLength counts more steps than the value holds
};
// The text that tells the user why a macro file was not loaded.
const wchar_t* DescribeMacroFileFault(MacroFileFault fault);

FileWriteResult ExportMacroFile(const std::wstring& path, const MACRO_DATA& macro);
// The macro is changed only when the file holds a whole macro (MacroFileFault::None).
MacroFileFault ImportMacroFile(const std::wstring& path, MACRO_DATA& macro);

// Steps of the macro that hold a key or a pause (code not 0) before the first empty one, at most
// 700: how many steps a length can cover.
int StepsHeld(const MACRO_DATA& macro);

} // namespace settingRW

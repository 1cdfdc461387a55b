#pragma once
// Skin description files: the folder of the programs, window files (_skin.ini, main.ini),
// string files (_str.ini) and font files. Description files are only ever read.
#include <memory>
#include <string>
#include <string_view>

#include "button_info.h"

namespace qelt { class SettingSection; }

// Folder of the running executable, ending in a backslash. Recomputed from the module path on
// every call (windows and buttons call it as they load their skin) and kept in one process-wide
// string, which the returned reference names.
const std::wstring& ProgramFolder();

// Section names shared by the description files.
inline constexpr const wchar_t* SKIN_SCREEN = L"SCREEN";
inline constexpr const wchar_t* SKIN_BUTTONINFO = L"BUTTONINFO";
inline constexpr const wchar_t* SKIN_STRING = L"STRING";

// One description file in the skin folder: "<programFolder>Skins\<fileName>". Each section is
// fetched whole on its first read and answered from then on as the per-key read would be (the
// platform opens and parses the whole file on every call, and a window reads most keys of the few
// sections it uses: the main window 189 button entries). Copies share what was fetched; the file
// is only ever read.
class CSkinFile {
public:
    // programFolder ends in a backslash; fileName includes its extension ("menu_skin.ini").
    CSkinFile(const std::wstring& programFolder, std::wstring_view fileName);
    // In ProgramFolder().
    explicit CSkinFile(std::wstring_view fileName);

    const std::wstring& Path() const { return m_path; }
    const std::wstring& Folder() const { return m_programFolder; }

    // Missing file or key: "". At most 4095 characters.
    std::wstring ReadString(const wchar_t* section, const wchar_t* key) const;
    std::wstring ReadString(const wchar_t* section, int key) const;
    // Missing file or key: defaultValue.
    int ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const;
    // A button entry; a missing key gives the all-zero record.
    ButtonInfo ReadButton(const wchar_t* section, int key) const;
    // Full path of the image a key names ("SCREEN" "Main" and the like); empty name: the folder.
    std::wstring ImagePath(const wchar_t* section, const wchar_t* key) const;

private:
    struct Sections;
    const qelt::SettingSection& Section(const wchar_t* name) const;

    std::wstring m_programFolder;
    std::wstring m_path;
    std::shared_ptr<Sections> m_sections;
};

// Text number `number` of a string file (section "STRING"); "" when missing.
std::wstring ReadSkinString(const std::wstring& programFolder, std::wstring_view fileName, int number);
std::wstring ReadSkinString(std::wstring_view fileName, int number);

// Font height of a font file (key "1" of `section`), converted as text; empty or missing gives 0.
int ReadSkinFontHeight(const std::wstring& programFolder, std::wstring_view fileName, const wchar_t* section);

// main.ini values read by several windows and by the agent.
int ReadSkinLanguage(const std::wstring& programFolder);       // "LANG_INFO" "1", default -1
int ReadSkinKeyboardModel(const std::wstring& programFolder);  // "KEY_NUM" "NUM", default 103

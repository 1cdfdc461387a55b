#include "skin_files.h"

#include <windows.h>

#include <vector>

#include "diag.h"
#include "setting_rw.h"
#include "setting_section.h"

namespace {

std::wstring g_szProgramFolder;  // the process-wide copy other code formats paths with

} // namespace

const std::wstring& ProgramFolder()
{
    wchar_t modulePath[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        qelt::DiagLastError(L"GetModuleFileNameW");
    g_szProgramFolder = skinpath::FolderOfModulePath(std::wstring_view(modulePath, length < MAX_PATH ? length : 0));
    return g_szProgramFolder;
}

struct CSkinFile::Sections {
    explicit Sections(const std::wstring& path) : file(path) {}
    CSettingRW file;  // the sections read through it
    std::vector<std::unique_ptr<qelt::SettingSection>> fetched;
};

CSkinFile::CSkinFile(const std::wstring& programFolder, std::wstring_view fileName)
    : m_programFolder(programFolder), m_path(skinpath::DescriptionFile(programFolder, fileName)),
      m_sections(std::make_shared<Sections>(m_path))
{
}

const qelt::SettingSection& CSkinFile::Section(const wchar_t* name) const
{
    for (const auto& section : m_sections->fetched)
        if (CompareStringOrdinal(section->Name().c_str(), -1, name, -1, TRUE) == CSTR_EQUAL)
            return *section;  // section names match regardless of case, as the platform's do
    m_sections->fetched.push_back(std::make_unique<qelt::SettingSection>(m_sections->file, name));
    return *m_sections->fetched.back();
}

CSkinFile::CSkinFile(std::wstring_view fileName) : CSkinFile(ProgramFolder(), fileName) {}

std::wstring CSkinFile::ReadString(const wchar_t* section, const wchar_t* key) const
{
    return Section(section).ReadString(key, L"");
}

std::wstring CSkinFile::ReadString(const wchar_t* section, int key) const
{
    return ReadString(section, std::to_wstring(key).c_str());
}

int CSkinFile::ReadInt(const wchar_t* section, const wchar_t* key, int defaultValue) const
{
    return Section(section).ReadInt(key, defaultValue);
}

ButtonInfo CSkinFile::ReadButton(const wchar_t* section, int key) const
{
    return ParseButtonInfo(ReadString(section, key));
}

std::wstring CSkinFile::ImagePath(const wchar_t* section, const wchar_t* key) const
{
    return skinpath::ImageFile(m_programFolder, ReadString(section, key));
}

std::wstring ReadSkinString(const std::wstring& programFolder, std::wstring_view fileName, int number)
{
    return CSkinFile(programFolder, fileName).ReadString(SKIN_STRING, number);
}

std::wstring ReadSkinString(std::wstring_view fileName, int number)
{
    return ReadSkinString(ProgramFolder(), fileName, number);
}

int ReadSkinFontHeight(const std::wstring& programFolder, std::wstring_view fileName, const wchar_t* section)
{
    return skinpath::TextToInt(CSkinFile(programFolder, fileName).ReadString(section, 1));
}

int ReadSkinLanguage(const std::wstring& programFolder)
{
    return CSkinFile(programFolder, L"main.ini").ReadInt(L"LANG_INFO", L"1", -1);
}

int ReadSkinKeyboardModel(const std::wstring& programFolder)
{
    return CSkinFile(programFolder, L"main.ini").ReadInt(L"KEY_NUM", L"NUM", 103);
}

#pragma once
// The parsed form of one button entry of a skin description file ("BUTTONINFO", "KEYS",
// "BAR_POSITION"): name,left,top,width,height,caption,flag. No platform calls here.
#include <cstdint>
#include <string>
#include <string_view>

constexpr int BUTTON_NAME_CHARS = 40;      // 39 characters and the terminator
constexpr int BUTTON_CAPTION_CHARS = 100;  // 99 characters and the terminator

struct ButtonInfo {
    wchar_t szName[BUTTON_NAME_CHARS];
    int32_t nLeft;
    int32_t nTop;
    int32_t nRight;   // left + width
    int32_t nBottom;  // top + height
    wchar_t szCaption[BUTTON_CAPTION_CHARS];
    bool bSelected;   // "TRUE" occurs anywhere after the first comma
};

// Never fails: what cannot be read stays zero or empty; long names and captions are truncated.
ButtonInfo ParseButtonInfo(std::wstring_view value);

// Skin paths. Description files and images live in one folder beside the programs. The folder is
// always spelled the same way here, so the paths also work where file names are case-sensitive.
namespace skinpath {

inline constexpr const wchar_t* kSkinFolderName = L"Skins";

// "<programFolder>Skins\<fileName>"; programFolder ends in a backslash.
std::wstring DescriptionFile(const std::wstring& programFolder, std::wstring_view fileName);
// "<programFolder>Skins\<relative image name>"; an empty name gives the skin folder itself.
std::wstring ImageFile(const std::wstring& programFolder, std::wstring_view imageName);
// Drive and directory of a full module path, always ending in a backslash (at most 259 chars).
std::wstring FolderOfModulePath(std::wstring_view modulePath);
// Standard text-to-integer conversion of a stored number (white space, sign, digits; else 0).
int32_t TextToInt(std::wstring_view text);

} // namespace skinpath

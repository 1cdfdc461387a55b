#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "diag.h"
#include "profile_samples.h"
#include "setting_rw.h"
#include "setting_section.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;
using settingRW::ReadPath;

namespace {

// A UTF-16LE file with its byte-order mark, as the platform keeps it.
std::string Utf16File(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

std::string HexOf(const unsigned char* bytes, size_t size, bool lowercase = false)
{
    static const char upper[] = "0123456789ABCDEF";
    static const char lower[] = "0123456789abcdef";
    const char* digits = lowercase ? lower : upper;
    std::string text;
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
        sum += bytes[i];
    }
    text += digits[(sum >> 4) & 15];
    text += digits[sum & 15];
    return text;
}

// The Macro value of a full macro, in the form the platform writes it (or with lowercase digits).
std::string MacroText(int seed, bool lowercase = false)
{
    const MACRO_DATA macro = FullMacro(seed);
    return HexOf(reinterpret_cast<const unsigned char*>(macro.Steps), sizeof macro.Steps, lowercase);
}

struct Loaded {
    std::unique_ptr<Image> image;
    std::vector<std::wstring> diagnostics;
};

// Config.config and profile reads of one file into an image where every byte is set.
Loaded LoadFile(const std::wstring& path, ReadPath how)
{
    Loaded loaded{FilledImage(0x5A), {}};
    DiagCapture diag;
    settingRW::ReadConfigFromFile(path, loaded.image->keyboard, how);
    settingRW::ReadProfileFromFile(path, loaded.image->profiles[0], how);
    loaded.diagnostics = diag.Lines();
    return loaded;
}

void ExpectSameRecords(const Loaded& sections, const Loaded& keyByKey)
{
    const KB_CONFIG& a = sections.image->keyboard;
    const KB_CONFIG& b = keyByKey.image->keyboard;
    EXPECT_EQ(a.CurrantProfile, b.CurrantProfile);
    EXPECT_EQ(a.nLight, b.nLight);
    EXPECT_EQ(a.nDeviceStatus, b.nDeviceStatus);
    const PROFILE_CONFIG& p = sections.image->profiles[0];
    const PROFILE_CONFIG& q = keyByKey.image->profiles[0];
    EXPECT_EQ(p.nMacroTotal, q.nMacroTotal);
    EXPECT_EQ(p.DiableWinKey, q.DiableWinKey);
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        SCOPED_TRACE("slot " + std::to_string(s));
        const BUTTON_CONFIG& x = p.TButton[s];
        const BUTTON_CONFIG& y = q.TButton[s];
        EXPECT_EQ(x.FunID, y.FunID);
        EXPECT_EQ(x.MappingKey, y.MappingKey);
        EXPECT_EQ(std::wmemcmp(x.AppPath, y.AppPath, APP_PATH_CHARS), 0) << "AppPath";
        EXPECT_EQ(x.Macro.length, y.Macro.length);
        EXPECT_EQ(x.Macro.RepeatOption, y.Macro.RepeatOption);
        EXPECT_EQ(std::memcmp(x.Macro.Steps, y.Macro.Steps, sizeof x.Macro.Steps), 0) << "Steps";
    }
    EXPECT_EQ(sections.diagnostics, keyByKey.diagnostics);
}

} // namespace

// Files written by the platform's own WritePrivateProfile* calls read back the written values
// through a section, and the same as key by key, in an ANSI file and in a UTF-16 one.
TEST(SettingSection, ReadsWhatThePlatformWrote)
{
    const std::wstring longText(5000, L'w');
    const std::wstring wideText = L"C:\\Programme\\\u00DCbung \u30C4\u30FC\u30EB\\run me.exe";
    unsigned char bytes[300];
    for (size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    const MACRO_DATA macro = FullMacro(5);
    const int integers[] = {0, 1, -1, 255, 65535, 999999999, -999999999, 1000000000, INT_MAX, INT_MIN};

    for (const bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "UTF-16 file" : "new ANSI file");
        TempFolder folder;
        const std::wstring path = folder.File(L"written.ini");
        if (wide)  // the platform keeps writing a file that starts with the byte-order mark in UTF-16
            WriteBytes(path, Utf16File(L"[Other]\r\n"));
        const CSettingRW file(path);
        for (size_t i = 0; i < std::size(integers); ++i)
            ASSERT_TRUE(file.WriteInt(L"Numbers", (L"N" + std::to_wstring(i)).c_str(), integers[i]));
        ASSERT_TRUE(file.WriteString(L"Texts", L"Plain", L"hello world"));
        ASSERT_TRUE(file.WriteString(L"Texts", L"With equals", L"a=b=c"));
        ASSERT_TRUE(file.WriteString(L"Texts", L"Quoted", L"\"in quotes\""));
        ASSERT_TRUE(file.WriteString(L"Texts", L"Long", longText.c_str()));
        ASSERT_TRUE(file.WriteString(L"Texts", L"Empty", L""));
        if (wide) {
            ASSERT_TRUE(file.WriteString(L"Texts", L"Wide", wideText.c_str()));
        }
        ASSERT_TRUE(file.WriteStruct(L"Binary", L"Bytes", bytes, sizeof bytes));
        ASSERT_TRUE(file.WriteStruct(L"Binary", L"Macro", macro.Steps, sizeof macro.Steps));
        if (wide) {
            ASSERT_EQ(ReadBytes(path).substr(0, 2), "\xFF\xFE");
        }

        const SettingSection numbers(file, L"numbers");
        for (size_t i = 0; i < std::size(integers); ++i) {
            const std::wstring key = L"n" + std::to_wstring(i);
            EXPECT_EQ(numbers.ReadInt(key.c_str(), 77), integers[i]) << i;
            EXPECT_EQ(numbers.ReadInt(key.c_str(), 77), file.ReadInt(L"Numbers", key.c_str(), 77)) << i;
        }
        EXPECT_EQ(numbers.ReadInt(L"Missing", 77), 77);

        const SettingSection texts(file, L"Texts");
        EXPECT_EQ(texts.ReadString(L"Plain", L"x"), L"hello world");
        EXPECT_EQ(texts.ReadString(L"with EQUALS", L"x"), L"a=b=c");
        EXPECT_EQ(texts.ReadString(L"Quoted", L"x"), file.ReadString(L"Texts", L"Quoted", L"x"));
        EXPECT_EQ(texts.ReadString(L"Quoted", L"x"), L"in quotes");
        EXPECT_EQ(texts.ReadString(L"Long", L"x"), longText.substr(0, 4095));
        EXPECT_EQ(texts.ReadString(L"Empty", L"x"), file.ReadString(L"Texts", L"Empty", L"x"));
        EXPECT_EQ(texts.ReadString(L"Missing", L"fallback"), L"fallback");
        if (wide) {
            EXPECT_EQ(texts.ReadString(L"Wide", L""), wideText);
        }

        const SettingSection binary(file, L"Binary");
        unsigned char back[sizeof bytes] = {};
        EXPECT_TRUE(binary.ReadStruct(L"Bytes", back, sizeof back));
        EXPECT_EQ(std::memcmp(back, bytes, sizeof bytes), 0);
        EXPECT_FALSE(binary.ReadStruct(L"Bytes", back, sizeof back - 1));  // another size
        EXPECT_FALSE(binary.ReadStruct(L"Missing", back, sizeof back));
        MACRO_DATA read{};
        EXPECT_TRUE(binary.ReadStruct(L"Macro", read.Steps, sizeof read.Steps));
        EXPECT_EQ(std::memcmp(read.Steps, macro.Steps, sizeof read.Steps), 0);

        // A section that is not there, in a file that is.
        EXPECT_EQ(SettingSection(file, L"Nowhere").ReadInt(L"N0", 5), 5);
    }
}

// Whole profiles written by the programs' own writer read the same both ways.
TEST(SettingSection, WrittenProfilesReadTheSameBothWays)
{
    TempFolder folder;
    auto image = FilledImage(0);
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(p);
        FillProfile(image->profiles[p], p);
        const std::wstring path = folder.File((L"Profile" + std::to_wstring(p)).c_str());
        settingRW::WriteConfigToFile(path, KB_CONFIG{1, p, p - 1});
        settingRW::WriteProfileToFile(path, image->profiles[p]);
        const Loaded sections = LoadFile(path, ReadPath::Sections);
        ExpectSameRecords(sections, LoadFile(path, ReadPath::KeyByKey));
        EXPECT_EQ(sections.image->keyboard.CurrantProfile, p - 1);
        EXPECT_EQ(std::memcmp(sections.image->profiles[0].TButton[4].Macro.Steps,
                              image->profiles[p].TButton[4].Macro.Steps, sizeof(MACRO_STEP) * MACRO_MAX_STEPS),
                  0);
    }
}

// Files no program writes but a user or another tool might: the section read gives the same
// records and diagnostics as the per-key read, field by field.
TEST(SettingSection, OddFilesReadAsKeyByKey)
{
    const std::string good = MacroText(3);
    std::string badSum = good;
    badSum[11201] = badSum[11201] == '0' ? '1' : '0';
    const std::string crlf = "\r\n";
    struct Case {
        const char* what;
        std::string content;  // empty with noFile: no file at all
        bool noFile = false;
    };
    const Case cases[] = {
        {"no file", "", true},
        {"empty file", ""},
        {"keys missing",
         "[CONFIG]\r\nLIGHT=3\r\n[Setting]\r\nDiableWinKey=0\r\n[BUTTONCONFIG0]\r\nFunID=32\r\n[MACROG0]\r\nMacroLength=7\r\n"},
        {"integers in odd forms",
         "[CONFIG]\r\nCURRENTPROFILE=-1\r\nLIGHT=12abc\r\nDEVICEPSTATS=\r\n"
         "[Setting]\r\nMacroLength=0x10\r\nDiableWinKey=+5\r\n"
         "[BUTTONCONFIG0]\r\nFunID=007\r\nMappinkey=abc\r\n[MACROG0]\r\nRepeatOption=-0\r\nMacroLength=99999999999\r\n"
         "[BUTTONCONFIG1]\r\nFunID=300\r\nMappinkey=-2147483648\r\n[MACROG1]\r\nRepeatOption=2147483648\r\nMacroLength=70000\r\n"
         "[BUTTONCONFIG2]\r\nFunID=\"16\"\r\nMappinkey='7'\r\nAPP Path=C:\\x.exe\r\n[MACROG2]\r\nRepeatOption= 4\r\nMacroLength=1 2\r\n"},
        {"empty values",
         "[CONFIG]\r\nCURRENTPROFILE=\r\n[Setting]\r\nMacroLength=\r\nDiableWinKey=\r\n"
         "[BUTTONCONFIG0]\r\nFunID=16\r\nMappinkey=\r\nAPP Path=\r\n[MACROG0]\r\nRepeatOption=\r\nMacro=\r\nMacroLength=\r\n"},
        {"Macro values that do not decode",
         "[MACROG0]\r\nMacro=" + good.substr(0, 11200) + crlf + "MacroLength=700\r\n" +
             "[MACROG1]\r\nMacro=" + badSum + crlf + "[MACROG2]\r\nMacro=" + good + "0\r\n" +
             "[MACROG3]\r\nMacro=" + good.substr(0, 10) + "G" + good.substr(11) + crlf +
             "[MACROG4]\r\nMacro=\"" + good + "\"\r\n" + "[MACROG5]\r\nMacro=\"\"\r\n" +
             "[MACROG6]\r\nMacro=" + MacroText(6, true) + crlf + "[MACROG7]\r\nMacro=" + good + crlf},
        {"sections and keys in other letter case",
         "[config]\r\ncurrentprofile=4\r\n[SETTING]\r\nmacrolength=9\r\n[buttonConfig3]\r\nfunid=16\r\nMAPPINKEY=12\r\n"
         "app path=D:\\Tools\\t.exe\r\n[macrog3]\r\nREPEATOPTION=2\r\nmacro=" + good + "\r\nmacroLENGTH=700\r\n"},
        {"duplicate keys: the first wins",
         "[CONFIG]\r\nLIGHT=1\r\nLIGHT=2\r\n[BUTTONCONFIG0]\r\nFunID=16\r\nFunID=3\r\nAPP Path=first\r\nAPP Path=second\r\n"
         "[MACROG0]\r\nMacro=" + badSum + "\r\nMacro=" + good + "\r\nMacroLength=5\r\nMacroLength=6\r\n"
         "[MACROG1]\r\nMacro=" + good + "\r\nMacro=" + badSum + "\r\n"},
        {"duplicate sections",
         "[BUTTONCONFIG0]\r\nFunID=16\r\n[MACROG0]\r\nRepeatOption=3\r\n[BUTTONCONFIG0]\r\nMappinkey=9\r\nAPP Path=p\r\n"
         "[MACROG0]\r\nMacro=" + good + "\r\n"},
        {"spaces, tabs and ^Z around names and values",
         "[CONFIG]\r\n  LIGHT = 4  \r\nCURRENTPROFILE\t=\t2\r\n[BUTTONCONFIG0]\r\n FunID=16\r\nAPP Path =  \"C:\\a b\\c.exe\" \r\n"
         "Mappinkey=5\x1a\r\n[MACROG0]\r\nMacro = " + good + " \r\n"},
        {"lines without '=', comments and empty names",
         "[CONFIG]\r\nLIGHT\r\nLIGHT=6\r\n;CURRENTPROFILE=3\r\n=4\r\nCURRENTPROFILE=2\r\n[BUTTONCONFIG0]\r\nnot a key\r\n"
         "FunID=32\r\n[MACROG0\r\nRepeatOption=9\r\n"},
        // Dotted capital I and the Kelvin sign fold to ASCII letters in some case mappings.
        {"names with letters beyond ASCII",
         Utf16File(L"[BUTTONCONFIG0]\r\nFun\u0130D=5\r\nFunID=6\r\nMappin\u212Aey=9\r\nMappinkey=8\r\n")},
        {"quoted and overlong program paths",
         "[BUTTONCONFIG0]\r\nFunID=16\r\nAPP Path=\"C:\\Program Files\\q.exe\"\r\n"
         "[BUTTONCONFIG1]\r\nFunID=16\r\nAPP Path='C:\\single.exe'\r\n"
         "[BUTTONCONFIG2]\r\nFunID=16\r\nAPP Path=\"unbalanced\r\n"
         "[BUTTONCONFIG3]\r\nFunID=16\r\nAPP Path=C:\\" + std::string(300, 'p') + crlf +
             "[BUTTONCONFIG4]\r\nFunID=16\r\nAPP Path=\"" + std::string(4095, 'q') + "\"\r\n" +
             "[BUTTONCONFIG5]\r\nFunID=16\r\nAPP Path=\"" + std::string(5000, 'r') + "\"\r\n" +
             // More than the first section buffer holds.
             "[BUTTONCONFIG6]\r\nFunID=16\r\nAPP Path=C:\\" + std::string(40000, 's') + "\r\nMappinkey=3\r\n"},
        {"UTF-16 file",
         Utf16File(L"[CONFIG]\r\nCURRENTPROFILE=3\r\n[Setting]\r\nMacroLength=12\r\n[BUTTONCONFIG0]\r\nFunID=16\r\n"
                   L"Mappinkey=44\r\nAPP Path=C:\\\u00DCbung\\\u30C4\u30FC\u30EB.exe\r\n[MACROG0]\r\nRepeatOption=2\r\nMacro=" +
                   std::wstring(good.begin(), good.end()) + L"\r\nMacroLength=700\r\n")},
        {"UTF-8 file with its byte-order mark",
         "\xEF\xBB\xBF[BUTTONCONFIG0]\r\nFunID=16\r\nAPP Path=C:\\\xC3\x9C" "bung.exe\r\nMappinkey=2\r\n"},
        {"bare LF line ends", "[CONFIG]\nLIGHT=8\n[BUTTONCONFIG0]\nFunID=17\nMappinkey=4\n"},
    };
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(path.c_str());
        if (!c.noFile)
            WriteBytes(path, c.content);
        ExpectSameRecords(LoadFile(path, ReadPath::Sections), LoadFile(path, ReadPath::KeyByKey));
    }
}

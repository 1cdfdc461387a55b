#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "diag.h"
#include "profile_samples.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The Macro value the platform writes for the given steps: hex of every byte and the checksum.
std::string MacroValue(const MACRO_STEP (&steps)[MACRO_MAX_STEPS], bool withChecksum = true)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(steps);
    std::string value;
    unsigned sum = 0;
    char digits[3];
    for (size_t i = 0; i < sizeof steps; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        value += digits;
        sum += bytes[i];
    }
    if (withChecksum) {
        std::snprintf(digits, sizeof digits, "%02X", sum & 0xFF);
        value += digits;
    }
    return value;
}

void ExpectSameMacro(const MACRO_DATA& actual, const MACRO_DATA& expected)
{
    EXPECT_EQ(actual.length, expected.length);
    EXPECT_EQ(actual.RepeatOption, expected.RepeatOption);
    EXPECT_EQ(std::memcmp(actual.Steps, expected.Steps, sizeof actual.Steps), 0);
}

} // namespace

TEST(CSettingRW, ValuesRoundTripThroughTheFile)
{
    TempFolder folder;
    const CSettingRW file(folder.File(L"values.ini"));
    EXPECT_TRUE(file.WriteString(L"Sec", L"Text", L"hello world"));
    EXPECT_TRUE(file.WriteInt(L"Sec", L"Negative", -12345));
    const unsigned char bytes[5] = {0x00, 0xAB, 0xFF, 0x10, 0x7E};
    EXPECT_TRUE(file.WriteStruct(L"Sec", L"Bytes", bytes, sizeof bytes));

    EXPECT_EQ(file.ReadString(L"Sec", L"Text", L"x"), L"hello world");
    EXPECT_EQ(file.ReadString(L"Sec", L"Missing", L"fallback"), L"fallback");
    EXPECT_EQ(file.ReadInt(L"sec", L"negative", 0), -12345);  // names match in any case
    EXPECT_EQ(file.ReadInt(L"Sec", L"Missing", 77), 77);
    unsigned char back[5] = {};
    EXPECT_TRUE(file.ReadStruct(L"Sec", L"Bytes", back, sizeof back));
    EXPECT_EQ(std::memcmp(back, bytes, sizeof bytes), 0);
    EXPECT_FALSE(file.ReadStruct(L"Sec", L"Bytes", back, 4));  // wrong size
    EXPECT_FALSE(file.ReadStruct(L"Sec", L"Missing", back, sizeof back));

    const std::string text = ReadBytes(file.Path());
    EXPECT_NE(text.find("Negative=-12345\r\n"), std::string::npos);
    EXPECT_NE(text.find("Bytes=00ABFF107E38\r\n"), std::string::npos);  // byte sum 0x238
}

TEST(CSettingRW, LongStringsAreCutTo4095)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"long.ini");
    WriteBytes(path, "[S]\r\nK=" + std::string(5000, 'x') + "\r\n");
    EXPECT_EQ(CSettingRW(path).ReadString(L"S", L"K", L"").size(), 4095u);
}

TEST(ConfigFile, RoundTripAndDefaults)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Config.config");
    const KB_CONFIG written{1, -7, 5};
    settingRW::WriteConfigToFile(path, written);
    KB_CONFIG read{9, 9, 9};
    settingRW::ReadConfigFromFile(path, read);
    EXPECT_EQ(read.nDeviceStatus, 1);
    EXPECT_EQ(read.nLight, -7);
    EXPECT_EQ(read.CurrantProfile, 5);
    EXPECT_EQ(ReadLines(path), (std::vector<std::string>{"[CONFIG]", "CURRENTPROFILE=5", "LIGHT=-7", "DEVICEPSTATS=1"}));

    // Missing keys read as -1 each.
    WriteBytes(path, "[CONFIG]\r\nLIGHT=3\r\n");
    settingRW::ReadConfigFromFile(path, read);
    EXPECT_EQ(read.CurrantProfile, -1);
    EXPECT_EQ(read.nLight, 3);
    EXPECT_EQ(read.nDeviceStatus, -1);
}

TEST(ProfileFile, FullProfileRoundTrip)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile3");
    auto written = FilledImage(0);
    FillProfile(written->profiles[3], 3);
    settingRW::WriteProfileToFile(path, written->profiles[3]);

    auto read = FilledImage(0x33);
    settingRW::ReadProfileFromFile(path, read->profiles[0]);
    const PROFILE_CONFIG& expected = written->profiles[3];
    const PROFILE_CONFIG& actual = read->profiles[0];
    EXPECT_EQ(actual.nMacroTotal, expected.nMacroTotal);
    EXPECT_EQ(actual.DiableWinKey, expected.DiableWinKey);
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(actual.TButton[s].FunID, expected.TButton[s].FunID);
        EXPECT_EQ(actual.TButton[s].MappingKey, expected.TButton[s].MappingKey);
        if (expected.TButton[s].FunID == FUN_LAUNCH_APP) {
            EXPECT_STREQ(actual.TButton[s].AppPath, expected.TButton[s].AppPath);
        } else {
            EXPECT_EQ(actual.TButton[s].AppPath[0], wchar_t(0x3333));  // not read for other codes
        }
        ExpectSameMacro(actual.TButton[s].Macro, expected.TButton[s].Macro);
    }
}

TEST(ProfileFile, KeyOrderOfAFileWrittenFromNothing)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    auto image = FilledImage(0);
    FillProfile(image->profiles[0], 0);
    settingRW::WriteProfileToFile(path, image->profiles[0]);

    std::vector<std::string> expected = {"[Setting]", "MacroLength=100", "DiableWinKey=0"};
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        const BUTTON_CONFIG& slot = image->profiles[0].TButton[s];
        expected.push_back("[BUTTONCONFIG" + std::to_string(s) + "]");
        expected.push_back("FunID=" + std::to_string(slot.FunID));
        expected.push_back("Mappinkey=" + std::to_string(slot.MappingKey));
        if (slot.FunID == FUN_LAUNCH_APP)
            expected.push_back("APP Path=" + Narrow(slot.AppPath));
        expected.push_back("[MACROG" + std::to_string(s) + "]");
        expected.push_back("RepeatOption=" + std::to_string(slot.Macro.RepeatOption));
        expected.push_back("Macro=" + MacroValue(slot.Macro.Steps));
        expected.push_back("MacroLength=700");
    }
    EXPECT_EQ(ReadLines(path), expected);
}

TEST(ProfileFile, MacroValueIsHexOfTheStepsWithChecksum)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"macro.Macro");
    MACRO_DATA macro{};
    macro.Steps[0] = {0xE0, {}, 1};
    macro.Steps[1] = {MACRO_STEP_DELAY, {}, 0x01020304};
    macro.length = 2;
    macro.RepeatOption = 1;
    settingRW::WriteMacroToFile(path, 0, macro);

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 4u);
    const std::string value = lines[2].substr(std::strlen("Macro="));
    ASSERT_EQ(value.size(), 11202u);
    EXPECT_EQ(value.substr(0, 32), "E000000001000000FF00000004030201");
    EXPECT_EQ(value.find_first_not_of('0', 32), 11200u);
    // 0xE0 + 1 + 0xFF + 1 + 2 + 3 + 4 = 0x1EA
    EXPECT_EQ(value.substr(11200), "EA");
}

TEST(ProfileFile, MissingKeysReadAsDefaults)
{
    TempFolder folder;
    struct Case {
        const char* what;
        const char* content;  // nullptr: no file at all
    };
    const Case cases[] = {
        {"missing file", nullptr},
        {"empty file", ""},
        {"only other sections", "[Other]\r\nFunID=4\r\n[BUTTONCONFIGX]\r\nFunID=4\r\n"},
        {"sections without keys", "[Setting]\r\n[BUTTONCONFIG0]\r\n[MACROG0]\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = folder.File(L"Profile1");
        DeleteFileW(path.c_str());
        if (c.content)
            WriteBytes(path, c.content);
        auto image = FilledImage(0x11);
        PROFILE_CONFIG& profile = image->profiles[1];
        settingRW::ReadProfileFromFile(path, profile);
        EXPECT_EQ(profile.nMacroTotal, 0);
        EXPECT_EQ(profile.DiableWinKey, 1);
        for (const BUTTON_CONFIG& slot : profile.TButton) {
            EXPECT_EQ(slot.FunID, 0xFF);
            EXPECT_EQ(slot.MappingKey, 0xFF);
            EXPECT_EQ(slot.AppPath[0], wchar_t(0x1111));
            EXPECT_EQ(slot.Macro.RepeatOption, 1);
            EXPECT_EQ(slot.Macro.length, 0xFFFF);
            EXPECT_EQ(slot.Macro.Steps[0].Code, 0x11);
            EXPECT_EQ(slot.Macro.Steps[699].Value, 0x11111111);
            EXPECT_EQ(UsableMacroSteps(slot.Macro), 700);
        }
    }
}

// A Macro value that does not decode leaves the steps in memory as they were (after an import:
// the previous profile's), while the other keys are still read.
TEST(ProfileFile, UndecodableMacroValueKeepsTheSteps)
{
    MACRO_DATA stored{};
    stored.Steps[0] = {0x04, {}, 1};
    stored.Steps[1] = {0x04, {}, 0};
    const std::string good = MacroValue(stored.Steps);
    std::string badChecksum = good;
    badChecksum[11201] = badChecksum[11201] == '0' ? '1' : '0';
    std::string notHex = good;
    notHex[10] = 'G';

    struct Case {
        const char* what;
        std::string value;
    };
    const Case cases[] = {
        {"11200 digits, checksum missing", good.substr(0, 11200)},
        {"wrong checksum", badChecksum},
        {"a character that is not a hex digit", notHex},
        {"one digit too many", good + "0"},
        {"empty", ""},
    };
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile2");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, "[MACROG4]\r\nRepeatOption=3\r\nMacro=" + c.value + "\r\nMacroLength=700\r\n");
        MACRO_DATA macro = FullMacro(9);
        const MACRO_DATA before = macro;
        DiagCapture diag;
        settingRW::ReadMacroFromFile(path, 4, macro);
        EXPECT_EQ(std::memcmp(macro.Steps, before.Steps, sizeof macro.Steps), 0);
        EXPECT_EQ(macro.length, 700);
        EXPECT_EQ(macro.RepeatOption, 3);
        EXPECT_EQ(diag.Contains(L"does not decode"), !c.value.empty());
    }
    // The good value is taken.
    WriteBytes(path, "[MACROG4]\r\nMacro=" + good + "\r\nMacroLength=2\r\n");
    MACRO_DATA macro = FullMacro(9);
    settingRW::ReadMacroFromFile(path, 4, macro);
    ExpectSameMacro(macro, MACRO_DATA{2, {{0x04, {}, 1}, {0x04, {}, 0}}, 1});
}

TEST(ProfileFile, IntegersAreCutToTheirFieldWidth)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile4");
    WriteBytes(path,
               "[BUTTONCONFIG0]\r\nFunID=300\r\nMappinkey=-1\r\n"
               "[MACROG0]\r\nRepeatOption=257\r\nMacroLength=1000\r\n"
               "[BUTTONCONFIG1]\r\nFunID=12abc\r\nMappinkey=abc\r\n"
               "[MACROG1]\r\nMacroLength=70000\r\n");
    auto image = FilledImage(0);
    settingRW::ReadProfileFromFile(path, image->profiles[0]);
    const BUTTON_CONFIG* slots = image->profiles[0].TButton;
    EXPECT_EQ(slots[0].FunID, 300 & 0xFF);
    EXPECT_EQ(slots[0].MappingKey, 0xFF);
    EXPECT_EQ(slots[0].Macro.RepeatOption, 1);
    // A length above 700 is kept as read; whoever uses the steps stops at 700.
    EXPECT_EQ(slots[0].Macro.length, 1000);
    EXPECT_EQ(UsableMacroSteps(slots[0].Macro), 700);
    EXPECT_EQ(slots[1].FunID, 12);
    EXPECT_EQ(slots[1].MappingKey, 0);
    EXPECT_EQ(slots[1].Macro.length, 70000 & 0xFFFF);
}

TEST(ProfileFile, AppPathOnlyWithTheLaunchCode)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    auto image = FilledImage(0);
    FillProfile(image->profiles[0], 0);
    BUTTON_CONFIG& slot = image->profiles[0].TButton[2];
    ASSERT_EQ(slot.FunID, FUN_LAUNCH_APP);
    std::wcscpy(slot.AppPath, L"D:\\Games\\launcher.exe");
    settingRW::WriteButtonToFile(path, 2, slot);

    BUTTON_CONFIG read{};
    settingRW::ReadButtonFromFile(path, 2, read);
    EXPECT_STREQ(read.AppPath, L"D:\\Games\\launcher.exe");

    // The slot gets another function: its old line stays in the file and is not read.
    slot.FunID = FUN_MACRO;
    slot.AppPath[0] = L'\0';
    settingRW::WriteButtonToFile(path, 2, slot);
    EXPECT_NE(ReadBytes(path).find("APP Path=D:\\Games\\launcher.exe\r\n"), std::string::npos);
    BUTTON_CONFIG again{};
    std::wcscpy(again.AppPath, L"in memory");
    settingRW::ReadButtonFromFile(path, 2, again);
    EXPECT_EQ(again.FunID, FUN_MACRO);
    EXPECT_STREQ(again.AppPath, L"in memory");
}

TEST(ProfileFile, OverlongAppPathIsCut)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    struct Case {
        size_t length;
        size_t kept;
        bool diagnosed;
    };
    const Case cases[] = {{259, 259, false}, {260, 259, true}, {300, 259, true}, {5000, 259, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string appPath = "C:\\";
        for (size_t i = appPath.size(); i < c.length; ++i)
            appPath += static_cast<char>('a' + i % 26);
        WriteBytes(path, "[BUTTONCONFIG0]\r\nFunID=16\r\nAPP Path=" + appPath + "\r\n");
        BUTTON_CONFIG slot;
        std::memset(&slot, 0x44, sizeof slot);
        DiagCapture diag;
        settingRW::ReadButtonFromFile(path, 0, slot);
        EXPECT_EQ(std::wstring(slot.AppPath), std::wstring(appPath.begin(), appPath.begin() + c.kept));
        EXPECT_EQ(diag.Contains(L"cut to 259"), c.diagnosed);
    }
}

TEST(ProfileFile, UnterminatedAppPathIsWrittenUpTo259Characters)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    BUTTON_CONFIG slot{};
    slot.FunID = FUN_LAUNCH_APP;
    std::fill(std::begin(slot.AppPath), std::end(slot.AppPath), L'p');
    slot.MappingKey = 0x44;  // right after the path in memory
    settingRW::WriteButtonToFile(path, 0, slot);
    EXPECT_NE(ReadBytes(path).find("APP Path=" + std::string(259, 'p') + "\r\n"), std::string::npos);
}

TEST(MacroFile, ExportUsesSectionMacroG0WhicheverSlot)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"mine.Macro");
    auto image = FilledImage(0);
    FillProfile(image->profiles[0], 0);
    const MACRO_DATA& fromSlot7 = image->profiles[0].TButton[7].Macro;
    settingRW::ExportMacroFile(path, fromSlot7);
    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[MACROG0]");
    EXPECT_EQ(lines[1], "RepeatOption=" + std::to_string(fromSlot7.RepeatOption));
    EXPECT_EQ(lines[3], "MacroLength=700");

    MACRO_DATA imported{};
    settingRW::ImportMacroFile(path, imported);
    ExpectSameMacro(imported, fromSlot7);

    // An exported profile holds the slots in their own sections; importing a macro from it reads
    // only MACROG0.
    const std::wstring profilePath = folder.File(L"mine.Config");
    settingRW::WriteProfileToFile(profilePath, image->profiles[0]);
    settingRW::ImportMacroFile(profilePath, imported);
    ExpectSameMacro(imported, image->profiles[0].TButton[0].Macro);
}

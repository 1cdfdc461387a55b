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

    const std::string text = ReadText(file.Path());
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
        EXPECT_TRUE(settingRW::ReadProfileFromFile(path, profile).Clean());
        EXPECT_EQ(profile.nMacroTotal, 0);
        EXPECT_EQ(profile.DiableWinKey, 1);
        for (const BUTTON_CONFIG& slot : profile.TButton) {
            EXPECT_EQ(slot.FunID, 0xFF);
            EXPECT_EQ(slot.MappingKey, 0xFF);
            EXPECT_EQ(slot.AppPath[0], wchar_t(0x1111));
            // Without a Macro value the slot's macro is empty: nothing of the record before.
            EXPECT_EQ(slot.Macro.RepeatOption, 1);
            EXPECT_EQ(slot.Macro.length, 0);
            EXPECT_EQ(slot.Macro.Steps[0].Code, 0);
            EXPECT_EQ(slot.Macro.Steps[699].Value, 0);
            EXPECT_EQ(UsableMacroSteps(slot.Macro), 0);
        }
    }
}

// A Macro value that does not decode gives an empty macro and a diagnostic, and the profile read
// names the slot; the other keys are still read. Steps of the record in memory (after an import:
// the previous profile's) must never play under the file's length.
TEST(ProfileFile, UndecodableMacroValueGivesAnEmptyMacro)
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
        bool undecodable;  // else missing
    };
    const Case cases[] = {
        {"11200 digits, checksum missing", good.substr(0, 11200), true},
        {"cut in the middle", good.substr(0, 5001), true},
        {"wrong checksum", badChecksum, true},
        {"a character that is not a hex digit", notHex, true},
        {"one digit too many", good + "0", true},
        {"empty", "", false},
    };
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile2");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, "[BUTTONCONFIG4]\r\nFunID=32\r\n[MACROG4]\r\nRepeatOption=3\r\nMacro=" + c.value +
                             "\r\nMacroLength=2\r\n");
        auto image = FilledImage(0);
        for (BUTTON_CONFIG& slot : image->profiles[0].TButton)
            slot.Macro = FullMacro(9);
        DiagCapture diag;
        const settingRW::ProfileReadReport report = settingRW::ReadProfileFromFile(path, image->profiles[0]);
        const MACRO_DATA& macro = image->profiles[0].TButton[4].Macro;
        const MACRO_DATA empty{};
        EXPECT_EQ(std::memcmp(macro.Steps, empty.Steps, sizeof macro.Steps), 0);
        EXPECT_EQ(macro.length, 0);
        EXPECT_EQ(macro.RepeatOption, 3);
        EXPECT_EQ(image->profiles[0].TButton[4].FunID, FUN_MACRO);
        EXPECT_EQ(diag.Contains(L"does not decode"), c.undecodable);
        EXPECT_EQ(report.undecodableMacroSlots, c.undecodable ? std::vector<int>{4} : std::vector<int>{});

        MACRO_DATA single = FullMacro(9);
        EXPECT_EQ(settingRW::ReadMacroFromFile(path, 4, single),
                  c.undecodable ? settingRW::MacroValue::Undecodable : settingRW::MacroValue::Missing);
        EXPECT_EQ(single.length, 0);
    }
    // The good value is taken.
    WriteBytes(path, "[MACROG4]\r\nMacro=" + good + "\r\nMacroLength=2\r\n");
    MACRO_DATA macro = FullMacro(9);
    EXPECT_EQ(settingRW::ReadMacroFromFile(path, 4, macro), settingRW::MacroValue::Decoded);
    ExpectSameMacro(macro, MACRO_DATA{2, {{0x04, {}, 1}, {0x04, {}, 0}}, 1});
}

// An import keeps nothing of the profile it replaces: slots without a Macro value (a profile
// written by hand, or cut) come in with empty macros, whatever the slots held before.
TEST(ProfileFile, ImportKeepsNoMacroOfThePreviousProfile)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"partial.Config");
    WriteBytes(path,
               "[Setting]\r\nMacroLength=0\r\n[BUTTONCONFIG0]\r\nFunID=32\r\nMappinkey=4\r\n"
               "[MACROG0]\r\nRepeatOption=2\r\n[BUTTONCONFIG1]\r\nFunID=17\r\nMappinkey=5\r\n");
    auto image = FilledImage(0);
    FillProfile(image->profiles[2], 2);
    EXPECT_TRUE(settingRW::ReadProfileFromFile(path, image->profiles[2]).Clean());
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        SCOPED_TRACE(s);
        const MACRO_DATA& macro = image->profiles[2].TButton[s].Macro;
        EXPECT_EQ(macro.length, 0);
        EXPECT_EQ(macro.Steps[0].Code, 0);
        EXPECT_EQ(macro.Steps[MACRO_MAX_STEPS - 1].Code, 0);
    }
    EXPECT_EQ(image->profiles[2].TButton[0].FunID, FUN_MACRO);
    EXPECT_EQ(image->profiles[2].TButton[0].Macro.RepeatOption, 2);
    EXPECT_EQ(image->profiles[2].TButton[1].FunID, FUN_DISABLE_KEY);
}

TEST(ProfileFile, IntegersAreCutToTheirFieldWidth)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile4");
    const std::string steps = MacroValue(FullMacro(1).Steps);
    WriteBytes(path,
               "[BUTTONCONFIG0]\r\nFunID=300\r\nMappinkey=-1\r\n"
               "[MACROG0]\r\nRepeatOption=257\r\nMacro=" + steps + "\r\nMacroLength=1000\r\n"
               "[BUTTONCONFIG1]\r\nFunID=12abc\r\nMappinkey=abc\r\n"
               "[MACROG1]\r\nMacro=" + steps + "\r\nMacroLength=70000\r\n");
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
    EXPECT_NE(ReadText(path).find("APP Path=D:\\Games\\launcher.exe\r\n"), std::string::npos);
    BUTTON_CONFIG again{};
    std::wcscpy(again.AppPath, L"in memory");
    settingRW::ReadButtonFromFile(path, 2, again);
    EXPECT_EQ(again.FunID, FUN_MACRO);
    EXPECT_STREQ(again.AppPath, L"in memory");
}

// A path over 259 characters is not cut (a cut path names another file, or none): the slot is left
// without a program, and the read says which slot.
TEST(ProfileFile, OverlongAppPathLeavesTheSlotWithoutAProgram)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"Profile0");
    struct Case {
        size_t length;
        bool overlong;
    };
    const Case cases[] = {{259, false}, {260, true}, {300, true}, {5000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string appPath = "C:\\";
        for (size_t i = appPath.size(); i < c.length; ++i)
            appPath += static_cast<char>('a' + i % 26);
        WriteBytes(path, "[BUTTONCONFIG0]\r\nFunID=16\r\nAPP Path=C:\\short.exe\r\n"
                         "[BUTTONCONFIG6]\r\nFunID=16\r\nAPP Path=" + appPath + "\r\n");
        auto image = FilledImage(0x44);
        DiagCapture diag;
        const settingRW::ProfileReadReport report = settingRW::ReadProfileFromFile(path, image->profiles[0]);
        const BUTTON_CONFIG& slot = image->profiles[0].TButton[6];
        EXPECT_EQ(std::wstring(slot.AppPath), c.overlong ? std::wstring() : std::wstring(appPath.begin(), appPath.end()));
        EXPECT_EQ(slot.FunID, FUN_LAUNCH_APP);
        EXPECT_STREQ(image->profiles[0].TButton[0].AppPath, L"C:\\short.exe");
        EXPECT_EQ(report.overlongPathSlots, c.overlong ? std::vector<int>{6} : std::vector<int>{});
        EXPECT_EQ(diag.Contains(L"the slot gets no program"), c.overlong);

        BUTTON_CONFIG single;
        std::memset(&single, 0x44, sizeof single);
        EXPECT_EQ(settingRW::ReadButtonFromFile(path, 6, single).bOverlongPath, c.overlong);
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
    EXPECT_NE(ReadText(path).find("APP Path=" + std::string(259, 'p') + "\r\n"), std::string::npos);
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

// A ".Macro" file is taken only when it holds a whole macro; otherwise the read says why and the
// macro given to it stays exactly as it was.
TEST(MacroFile, ImportRefusesFilesWithoutAWholeMacro)
{
    MACRO_DATA four{};
    four.Steps[0] = {0x04, {}, 1};
    four.Steps[1] = {MACRO_STEP_DELAY, {}, 25};
    four.Steps[2] = {0x04, {}, 0};
    four.Steps[3] = {MACRO_STEP_DELAY, {}, 0};
    const std::string value = MacroValue(four.Steps);
    const std::string fullValue = MacroValue(FullMacro(3).Steps);
    std::string badChecksum = value;
    badChecksum[11201] = badChecksum[11201] == '0' ? '1' : '0';
    using Fault = settingRW::MacroFileFault;

    struct Case {
        const char* what;
        std::string content;
        Fault fault;
        uint16_t length;  // when taken
    };
    const Case cases[] = {
        {"no MACROG0 section", "[MACROG1]\r\nRepeatOption=3\r\nMacro=" + value + "\r\nMacroLength=4\r\n", Fault::NoSection, 0},
        {"MACROG0 without keys", "[MACROG0]\r\n[Other]\r\nA=1\r\n", Fault::NoSection, 0},
        {"an empty file", "", Fault::NoSection, 0},
        {"no Macro value", "[MACROG0]\r\nRepeatOption=3\r\nMacroLength=2\r\n", Fault::NoMacroValue, 0},
        {"an empty Macro value", "[MACROG0]\r\nRepeatOption=3\r\nMacro=\r\nMacroLength=2\r\n", Fault::NoMacroValue, 0},
        {"a Macro value cut short", "[MACROG0]\r\nRepeatOption=3\r\nMacro=" + value.substr(0, 6000) + "\r\nMacroLength=2\r\n",
         Fault::UndecodableMacro, 0},
        {"a wrong checksum", "[MACROG0]\r\nMacro=" + badChecksum + "\r\nMacroLength=2\r\n", Fault::UndecodableMacro, 0},
        {"MacroLength beyond the steps", "[MACROG0]\r\nMacro=" + value + "\r\nMacroLength=5\r\n", Fault::LengthBeyondSteps, 0},
        {"MacroLength missing (0xFFFF)", "[MACROG0]\r\nMacro=" + value + "\r\n", Fault::LengthBeyondSteps, 0},
        {"MacroLength beyond 700 steps", "[MACROG0]\r\nMacro=" + fullValue + "\r\nMacroLength=701\r\n",
         Fault::LengthBeyondSteps, 0},
        {"a whole macro", "[MACROG0]\r\nRepeatOption=3\r\nMacro=" + value + "\r\nMacroLength=4\r\n", Fault::None, 4},
        {"a length shorter than the steps", "[MACROG0]\r\nMacro=" + value + "\r\nMacroLength=2\r\n", Fault::None, 2},
        {"700 steps", "[MACROG0]\r\nMacro=" + fullValue + "\r\nMacroLength=700\r\n", Fault::None, 700},
    };
    TempFolder folder;
    const std::wstring path = folder.File(L"some.Macro");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(path, c.content);
        MACRO_DATA macro = FullMacro(9);
        const MACRO_DATA before = macro;
        DiagCapture diag;
        EXPECT_EQ(settingRW::ImportMacroFile(path, macro), c.fault);
        if (c.fault != Fault::None) {
            EXPECT_EQ(std::memcmp(&macro, &before, sizeof macro), 0) << "the macro changed";
            EXPECT_TRUE(diag.Contains(L"not loaded"));
            EXPECT_NE(std::wstring(settingRW::DescribeMacroFileFault(c.fault)), L"");
        } else {
            EXPECT_EQ(macro.length, c.length);
            EXPECT_EQ(macro.Steps[MACRO_MAX_STEPS - 1].Code, c.length == 700 ? FullMacro(3).Steps[699].Code : 0);
        }
    }
}

// Whether a file is an exported profile at all: it must hold some key of a profile's sections.
TEST(ProfileFile, HoldsProfileContentOnlyWithAProfilesKeys)
{
    TempFolder folder;
    std::string randomBytes(30 * 1024, '\0');
    unsigned seed = 12345;
    for (char& byte : randomBytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    auto image = FilledImage(0);
    FillProfile(image->profiles[0], 0);
    const std::wstring exported = folder.File(L"exported.Config");
    ASSERT_TRUE(settingRW::WriteProfileToFile(exported, image->profiles[0]).Ok());

    struct Case {
        const char* what;
        const char* name;
        std::string content;  // written unless empty name of an existing file
        bool holds;
    };
    const Case cases[] = {
        {"30 KB of random bytes", "random.Config", randomBytes, false},
        {"an empty file", "empty.Config", "", false},
        {"other sections only", "other.Config", "[CONFIG]\r\nLIGHT=1\r\n[BUTTONCONFIG10]\r\nFunID=2\r\n", false},
        {"profile sections with other keys", "keys.Config", "[Setting]\r\nColour=red\r\n[MACROG3]\r\nSpeed=2\r\n", false},
        {"one slot's function", "slot.Config", "[BUTTONCONFIG3]\r\nFunID=2\r\n", true},
        {"one macro length in other letter case", "case.Config", "[macrog9]\r\nmacrolength=3\r\n", true},
        {"the Setting section", "setting.Config", "[Setting]\r\nMacroLength=0\r\n", true},
        {"a key with spaces around its name", "spaced.Config", "[BUTTONCONFIG1]\r\n  APP Path = C:\\x.exe\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = folder.File(std::wstring(c.name, c.name + std::strlen(c.name)).c_str());
        WriteBytes(path, c.content);
        EXPECT_EQ(settingRW::HoldsProfileContent(path), c.holds);
    }
    EXPECT_TRUE(settingRW::HoldsProfileContent(exported)) << "a profile the editor exported";
    EXPECT_FALSE(settingRW::HoldsProfileContent(folder.File(L"missing.Config")));
}

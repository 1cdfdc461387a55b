// ".Macro" files through the editor's Save and Load, with the platform's private-profile
// functions: one section MACROG0 whatever the slot; files whose length passes their steps are
// refused and change nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "macro_recorder.h"
#include "macro_test_support.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

constexpr uint8_t P = MACRO_STEP_DELAY;

void SaveTo(MacroRecorder& recorder, const std::wstring& path)
{
    recorder.Save([&](const MACRO_DATA& macro) { settingRW::ExportMacroFile(path, macro); });
}

// As the editor's Load: the recorder takes the file only when it holds a whole macro.
settingRW::MacroFileFault LoadFrom(MacroRecorder& recorder, const std::wstring& path)
{
    MACRO_DATA loaded{};
    const settingRW::MacroFileFault fault = settingRW::ImportMacroFile(path, loaded);
    if (fault == settingRW::MacroFileFault::None)
        recorder.Load(loaded);
    return fault;
}

// The Macro value as the platform writes it: the 5600 bytes of the steps in upper-case hex, then
// their sum modulo 256.
std::string MacroHex(const std::vector<Step>& steps)
{
    unsigned char bytes[sizeof(MACRO_DATA::Steps)] = {};
    for (size_t i = 0; i < steps.size(); ++i) {
        bytes[i * 8] = steps[i].code;
        for (int b = 0; b < 4; ++b)
            bytes[i * 8 + 4 + size_t(b)] = static_cast<unsigned char>(uint32_t(steps[i].value) >> (8 * b));
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    unsigned sum = 0;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
        sum += byte;
    }
    text += kDigits[(sum >> 4) & 15];
    text += kDigits[sum & 15];
    return text;
}

// A macro file written key by key, as another program or an edit could leave it.
void WriteMacroKeys(const std::wstring& path, const MACRO_DATA& macro, const wchar_t* length)
{
    WritePrivateProfileStringW(L"MACROG0", L"RepeatOption", L"2", path.c_str());
    WritePrivateProfileStructW(L"MACROG0", L"Macro", const_cast<MACRO_STEP*>(macro.Steps), sizeof macro.Steps,
                               path.c_str());
    if (length != nullptr)
        WritePrivateProfileStringW(L"MACROG0", L"MacroLength", length, path.c_str());
}

TEST(MacroFile, SavedFromOneSlotLoadsIntoAnother)
{
    TempFolder folder;
    const std::wstring path = folder.File(L"typed.Macro");
    UsKeyText keys;

    const MACRO_DATA slot6{};
    MacroRecorder fromSlot6(slot6, 0, keys);
    fromSlot6.Open();
    fromSlot6.StartRecording();
    for (const RecordedKey& key : Typed("AB"))
        fromSlot6.TakeKey(key);
    fromSlot6.SetRepeatOption(3);
    SaveTo(fromSlot6, path);

    const std::vector<std::string> lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[MACROG0]");
    EXPECT_EQ(lines[1], "RepeatOption=3");
    EXPECT_EQ(lines[2].rfind("Macro=0400000001000000FF00000019000000", 0), 0u) << "A press, then the 25 ms pause";
    EXPECT_EQ(lines[2].size(), std::string("Macro=").size() + 11202);
    EXPECT_EQ(lines[3], "MacroLength=8");

    // A slot holding another macro takes the file whole.
    const MACRO_DATA slot2 = MacroOf({{0x10, 1}, {P, 25}, {0x10, 0}, {P, 25}, {0x11, 1}, {P, 25}, {0x11, 0},
                                      {P, 25}, {0x12, 1}, {P, 25}, {0x12, 0}, {P, 0}},
                                     12, 1);
    MacroRecorder intoSlot2(slot2, 40, keys);
    intoSlot2.Open();
    ASSERT_EQ(LoadFrom(intoSlot2, path), settingRW::MacroFileFault::None);
    EXPECT_EQ(StepsOf(intoSlot2.Macro(), MACRO_MAX_STEPS), StepsOf(fromSlot6.Macro(), MACRO_MAX_STEPS));
    EXPECT_EQ(intoSlot2.StepCount(), 8);
    EXPECT_EQ(intoSlot2.ShownLength(), 8);
    EXPECT_EQ(intoSlot2.Macro().RepeatOption, 3);
    EXPECT_EQ(intoSlot2.ListLines(), (std::vector<std::wstring>{L"A Press", L"Delay 25 ms", L"A Release", L"Delay 25 ms",
                                                                L"B Press", L"Delay 25 ms", L"B Release", L"Delay 0 ms"}));
    EXPECT_EQ(intoSlot2.RunningTotal(), 40) << "a load keeps the running total";
}

TEST(MacroFile, LengthsBeyondTheStepsAreRefusedAndChangeNothing)
{
    TempFolder folder;
    UsKeyText keys;
    MACRO_DATA full{};
    for (int i = 0; i < MACRO_MAX_STEPS; ++i) {
        full.Steps[i].Code = i % 2 ? P : 0x04;
        full.Steps[i].Value = i % 4 == 0 ? 1 : (i % 2 ? 25 : 0);
    }
    MACRO_DATA short5 = full;
    for (int i = 5; i < MACRO_MAX_STEPS; ++i)
        short5.Steps[i] = MACRO_STEP{};

    struct {
        const char* name;
        const MACRO_DATA& steps;
        const wchar_t* length;  // null: no MacroLength key (read as 0xFFFF)
        bool taken;
        int count;
    } const cases[] = {
        {"MacroLength 5000 over 700 steps", full, L"5000", false, 0},
        {"MacroLength missing over 700 steps", full, nullptr, false, 0},
        {"MacroLength missing over 5 steps", short5, nullptr, false, 0},
        {"MacroLength 65535 over 5 steps", short5, L"65535", false, 0},
        {"MacroLength 6 over 5 steps", short5, L"6", false, 0},
        {"MacroLength 5 over 5 steps", short5, L"5", true, 5},
        {"MacroLength 700 over 700 steps", full, L"700", true, 700},
    };
    const MACRO_DATA typed = MacroOf({{0x10, 1}, {P, 25}, {0x10, 0}, {P, 0}}, 4, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = folder.File((std::wstring(L"case") + std::to_wstring(c.count) +
                                               (c.length ? c.length : L"none") + L".Macro").c_str());
        WriteMacroKeys(path, c.steps, c.length);
        MacroRecorder recorder(typed, 0, keys);
        recorder.Open();
        EXPECT_EQ(LoadFrom(recorder, path) == settingRW::MacroFileFault::None, c.taken);
        if (!c.taken) {
            EXPECT_EQ(StepsOf(recorder.Macro(), MACRO_MAX_STEPS), StepsOf(typed, MACRO_MAX_STEPS));
            EXPECT_EQ(recorder.StepCount(), 4);
            EXPECT_EQ(recorder.ShownLength(), 4);
            EXPECT_EQ(recorder.Macro().RepeatOption, 3);
            continue;
        }
        EXPECT_EQ(recorder.ShownLength(), c.count);

        // Saved again, the file holds what the editor showed.
        const std::wstring again = path + L".again";
        SaveTo(recorder, again);
        EXPECT_EQ(GetPrivateProfileIntW(L"MACROG0", L"MacroLength", -1, again.c_str()), recorder.StepCount());
        EXPECT_EQ(GetPrivateProfileIntW(L"MACROG0", L"RepeatOption", -1, again.c_str()), 2);
    }
}


// A file of the old editor (typed A, B) loaded, B deleted and a pause lengthened, saved: the same
// text the old editor writes for the macro that is left, so either editor loads the other's files.
TEST(MacroFile, EditedFilesKeepTheOldFormat)
{
    TempFolder folder;
    UsKeyText keys;
    const std::wstring oldFile = folder.File(L"old.Macro");
    WriteBytes(oldFile, "[MACROG0]\r\nRepeatOption=2\r\nMacro=" + MacroHex({{0x04, 1}, {P, 25}, {0x04, 0}, {P, 25},
                                                                             {0x05, 1}, {P, 25}, {0x05, 0}, {P, 0}}) +
                            "\r\nMacroLength=8\r\n");
    MacroRecorder recorder(MACRO_DATA{}, 0, keys);
    recorder.Open();
    ASSERT_EQ(LoadFrom(recorder, oldFile), settingRW::MacroFileFault::None);
    ASSERT_TRUE(recorder.DeleteLine(4));
    ASSERT_TRUE(recorder.SetPause(1, 2000));
    const std::wstring saved = folder.File(L"edited.Macro");
    SaveTo(recorder, saved);

    const std::vector<std::string> lines = ReadLines(saved);
    EXPECT_EQ(lines, (std::vector<std::string>{"[MACROG0]", "RepeatOption=2",
                                               "Macro=" + MacroHex({{0x04, 1}, {P, 2000}, {0x04, 0}, {P, 0}}),
                                               "MacroLength=4"}));
}

} // namespace

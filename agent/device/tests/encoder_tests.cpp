// Device table encoding: entries, the three serialised tables, key positions and the block limit.
#include "us_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device_tables.h"
#include "device_test_support.h"
#include "diag.h"
#include "layout_data.h"
#include "us_english_layout.h"

namespace qelt {
namespace {

using test::Key;
using test::PauseMs;

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Zeros(size_t count) { return Bytes(count, 0); }

// Profile records as the agent holds them after loading a new configuration.
class EncoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        profiles = test::MakeUnusedProfiles();
        encoder = std::make_unique<DeviceTableEncoder>(
            test::AsProfileArray(profiles), layout);
    }

    BUTTON_CONFIG& Slot(int profile, int slot) { return profiles[profile].TButton[slot]; }

    void SetMacro(int profile, int slot, std::initializer_list<MACRO_STEP> steps, uint8_t repeat)
    {
        MACRO_DATA& macro = Slot(profile, slot).Macro;
        std::memset(&macro, 0, sizeof(macro));
        int k = 0;
        for (const MACRO_STEP& step : steps)
            macro.Steps[k++] = step;
        macro.length = static_cast<uint16_t>(k);
        macro.RepeatOption = repeat;
    }

    // A recorded macro of `steps` key steps alternating press/release of A.
    void SetLongMacro(int profile, int slot, int steps, uint16_t storedLength)
    {
        BUTTON_CONFIG& button = Slot(profile, slot);
        button.FunID = FUN_MACRO;
        button.MappingKey = static_cast<uint8_t>(59 + slot);
        std::memset(&button.Macro, 0, sizeof(button.Macro));
        for (int k = 0; k < steps; ++k)
            button.Macro.Steps[k] = Key(0x04, (k + 1) % 2);
        button.Macro.length = storedLength;
        button.Macro.RepeatOption = 1;
    }

    test::UsEnglishTestLayout layout;
    std::unique_ptr<PROFILE_CONFIG[]> profiles;
    std::unique_ptr<DeviceTableEncoder> encoder;
};

TEST_F(EncoderTest, WorkedExampleGivesTheDocumentedTables)
{
    Slot(0, 0).FunID = FUN_LAUNCH_APP;
    Slot(0, 0).MappingKey = 59;
    Slot(0, 1).FunID = FUN_MACRO;
    Slot(0, 1).MappingKey = 60;
    SetMacro(0, 1, {Key(0x04, 1), PauseMs(30), Key(0x04, 0)}, 3);

    encoder->FormatKeyMappingData(104, 0);

    const DEVICE_ENTRY& launch = encoder->Entry(0, 0);
    EXPECT_EQ(launch.bEntryType, ENTRY_LAUNCH_APP);
    EXPECT_EQ(launch.bKeyCode, 0x04);
    EXPECT_EQ(launch.bKeyParam, 1);
    EXPECT_EQ(Bytes(launch.Data, launch.Data + launch.wDataLength), (Bytes{0x01, 0xFD}));
    const DEVICE_ENTRY& macro = encoder->Entry(0, 1);
    EXPECT_EQ(macro.bEntryType, ENTRY_MACRO);
    EXPECT_EQ(macro.bKeyCode, 0x16);
    EXPECT_EQ(macro.bKeyParam, 3);
    const Bytes macroData{0x84, 0x04, 0x01, 0x87, 0x00, 0x01, 0x84, 0x04, 0x00, 0x86, 0x00, 0x01, 0x87, 0x00, 0x01};
    EXPECT_EQ(Bytes(macro.Data, macro.Data + macro.wDataLength), macroData);

    EXPECT_EQ(encoder->BuildKeyMapTable(0), Concat({{0x0A, 0x04, 0x01, 0x16, 0x03}, Zeros(16)}));
    EXPECT_EQ(encoder->BuildIndexTable(0),
              Concat({{0x0A, 0x00, 0x37, 0x00, 0x11}, {0x11, 0x00, 0x00, 0x00, 0x02},
                      {0x20, 0x00, 0x02, 0x00, 0x0F}, Zeros(40)}));
    EXPECT_EQ(encoder->BuildMacroDataBlock(0), Concat({{0x01, 0xFD}, macroData}));
}

TEST_F(EncoderTest, UnassignedProfileGivesEmptyTables)
{
    encoder->FormatKeyMappingData(103, 2);
    EXPECT_EQ(encoder->BuildKeyMapTable(2), Concat({{0x0A}, Zeros(20)}));
    EXPECT_EQ(encoder->BuildIndexTable(2), Concat({{0x0A, 0x00, 0x37, 0x00, 0x00}, Zeros(50)}));
    EXPECT_TRUE(encoder->BuildMacroDataBlock(2).empty());
}

// Slots that carry no data keep their key on the device with parameter 0 and no index data.
TEST_F(EncoderTest, FunctionCodesWithoutDataKeepTheirKey)
{
    struct Case {
        uint8_t funId;
        const char* why;
    };
    const Case cases[] = {
        {FUN_DISABLE_KEY, "disabled key"},
        {FUN_NONE, "inconsistent record: key without function"},
        {0x00, "code 0"},
        {0x0A, "code between shortcuts and launch"},
        {0x21, "unknown code above macro"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        Slot(1, 4).FunID = c.funId;
        Slot(1, 4).MappingKey = 59;  // A
        SetMacro(1, 4, {Key(0x04, 1), Key(0x04, 0)}, 5);
        encoder->FormatKeyMappingData(103, 1);

        const Bytes keyMap = encoder->BuildKeyMapTable(1);
        EXPECT_EQ(keyMap[1 + 2 * 4], 0x04);
        EXPECT_EQ(keyMap[2 + 2 * 4], 0x00);
        EXPECT_EQ(encoder->BuildIndexTable(1), Concat({{0x0A, 0x00, 0x37, 0x00, 0x00}, Zeros(50)}));
        EXPECT_TRUE(encoder->BuildMacroDataBlock(1).empty());
        EXPECT_EQ(encoder->Entry(1, 4).wDataLength, 0);
    }
}

TEST_F(EncoderTest, DeviceKeyCodeOfKeyPositions)
{
    struct Case {
        int keyNum;
        uint8_t mappingKey;
        uint8_t expected;
        const char* why;
    };
    const Case cases[] = {
        {103, 59, 0x04, "A on the 103-key board"},
        {104, 59, 0x04, "A on the larger board"},
        {103, 50, 0x31, "backslash stays 0x31 on the 103-key board"},
        {104, 70, 0x32, "backslash becomes 0x32 on the larger board"},
        {103, 0xFF, 0x00, "unassigned"},
        {104, 0xFF, 0x00, "unassigned"},
        {103, 114, 0x00, "beyond the 103-key table"},
        {103, 200, 0x00, "far beyond the 103-key table"},
        {104, 120, 0x00, "beyond the larger table"},
        // Positions without a virtual key take the first table row without one: the non-US backslash.
        {104, 119, 0x64, "final position without a virtual key"},
        {103, 96, 0x64, "103-key position without a virtual key"},
        {104, 29, 0x89, "international key 0x3C"},
        {104, 86, 0x87, "international key 0x99"},
        {104, 99, 0x88, "international key 0x88"},
        {103, 91, 0xE0, "left Ctrl"},
        {103, 98, 0xE4, "right Ctrl is extended"},
        {104, 88, 0x52, "Up arrow is extended"},
        {104, 101, 0xE7, "right Windows key"},
        {103, 0, 0x29, "Escape"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(DeviceKeyCode(c.keyNum, c.mappingKey, layout), c.expected);
    }
}

TEST_F(EncoderTest, KeyPositionTablesDifferOnlyWhereDocumented)
{
    // The larger table is the 103-key table with five more positions, a final empty one, the
    // backslash key moved next to Enter and the right Windows key where the 103-key board has none.
    Bytes reduced(KEYPOS_OTHER, KEYPOS_OTHER + KEYPOS_OTHER_COUNT);
    for (int index : {119, 99, 98, 96, 86, 29})
        reduced.erase(reduced.begin() + index);
    ASSERT_EQ(reduced[69], 0xDC);
    reduced.erase(reduced.begin() + 69);
    reduced.insert(reduced.begin() + 50, 0xDC);
    const Bytes smaller(KEYPOS_103, KEYPOS_103 + KEYPOS_103_COUNT);
    ASSERT_EQ(smaller.size(), reduced.size());
    for (size_t i = 0; i < smaller.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(smaller[i], i == 96 ? 0x00 : reduced[i]);
    }
    EXPECT_EQ(reduced[96], 0x5C);
    EXPECT_EQ(KEYPOS_103[50], 0xDC);
    EXPECT_EQ(KEYPOS_OTHER[70], 0xDC);
    EXPECT_EQ(KEYPOS_103[96], 0x00);
    EXPECT_EQ(KEYPOS_OTHER[101], 0x5C);
}

// A pause entry holds one byte of 25 ms units; a longer pause is sent as several entries, each
// full but the last, so it plays as long as it is.
TEST_F(EncoderTest, PauseUnits)
{
    struct Case {
        int milliseconds;
        Bytes units;  // one pause entry per value
    };
    const Case cases[] = {
        {0, {1}},          {1, {1}},          {24, {1}},         {25, {1}},           {49, {1}},
        {50, {2}},         {75, {3}},         {6375, {255}},     {6399, {255}},       {6400, {255, 1}},
        {6425, {255, 2}},  {6450, {255, 3}},  {10000, {255, 145}}, {12750, {255, 255}}, {12775, {255, 255, 1}},
        {-1, {1}},         {-25, {0xFF}},     {-50, {0xFE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.milliseconds);
        Slot(0, 0).FunID = FUN_MACRO;
        Slot(0, 0).MappingKey = 59;
        SetMacro(0, 0, {PauseMs(c.milliseconds)}, 1);
        encoder->FormatKeyMappingData(103, 0);
        Bytes expected;
        for (uint8_t units : c.units)
            expected.insert(expected.end(), {0x87, 0x00, units});
        expected.insert(expected.end(), {0x86, 0x00, 0x01, 0x87, 0x00, 0x01});
        EXPECT_EQ(encoder->BuildMacroDataBlock(0), expected);
        EXPECT_EQ(encoder->BuildIndexTable(0)[4], expected.size()) << "the index table counts every entry";
    }
}

// Pauses so long that their entries would not fit the data block: the key is sent without a
// function (never a macro cut short), and the other keys keep theirs.
TEST_F(EncoderTest, PausesBeyondTheBlockLeaveTheKeyWithoutFunction)
{
    for (int slot : {0, 1}) {
        Slot(0, slot).FunID = FUN_MACRO;
        Slot(0, slot).MappingKey = static_cast<uint8_t>(59 + slot);
    }
    const int32_t hours = 2 * 3600 * 1000;  // 288000 units: 1130 entries
    SetMacro(0, 0, {Key(0x04, 1), PauseMs(hours), Key(0x04, 0), PauseMs(hours), Key(0x05, 1), PauseMs(hours),
                    Key(0x05, 0)}, 1);
    SetMacro(0, 1, {Key(0x06, 1), PauseMs(10000), Key(0x06, 0)}, 1);
    DiagCapture diag;
    encoder->FormatKeyMappingData(103, 0);

    EXPECT_EQ(encoder->Entry(0, 0).bEntryType, ENTRY_NONE);
    EXPECT_EQ(encoder->Entry(0, 0).wDataLength, 0);
    EXPECT_EQ(encoder->BuildKeyMapTable(0)[2], 0) << "no parameter";
    EXPECT_TRUE(diag.Contains(L"TButton[0] macro needs more than the 8192-byte block"));
    EXPECT_EQ(encoder->BuildMacroDataBlock(0),
              (Bytes{0x84, 0x06, 0x01, 0x87, 0x00, 0xFF, 0x87, 0x00, 0x91, 0x84, 0x06, 0x00, 0x86, 0x00, 0x01, 0x87,
                     0x00, 0x01}));

    // Up to the block's size it is sent whole: 2730 entries of 3 bytes.
    const int32_t fits = (2730 - 2 - 2) * 255 * 25;  // a press, its release, the end marker and its pause
    SetMacro(0, 0, {Key(0x04, 1), PauseMs(fits), Key(0x04, 0)}, 1);
    encoder->FormatKeyMappingData(103, 0);
    EXPECT_EQ(encoder->Entry(0, 0).bEntryType, ENTRY_MACRO);
    EXPECT_EQ(encoder->Entry(0, 0).wDataLength, 2730 * 3);
}

TEST_F(EncoderTest, ShortcutMacroEncodesWithParameterOneAndOneUnitPauses)
{
    Slot(3, 2).FunID = FUN_CTRL_C;
    Slot(3, 2).MappingKey = 59;
    // As the editor stores it; the repeat byte is ignored for shortcuts.
    SetMacro(3, 2, {Key(0xE0, 1), PauseMs(1), Key(0x06, 1), PauseMs(0), Key(0x06, 0), PauseMs(1), Key(0xE0, 0)}, 7);
    encoder->FormatKeyMappingData(103, 3);

    const DEVICE_ENTRY& entry = encoder->Entry(3, 2);
    EXPECT_EQ(entry.bEntryType, ENTRY_MACRO);
    EXPECT_EQ(entry.bKeyParam, 1);
    EXPECT_EQ(entry.wDataLength, 27);
    EXPECT_EQ(encoder->BuildMacroDataBlock(3),
              (Bytes{0x84, 0xE0, 0x01, 0x87, 0x00, 0x01, 0x84, 0x06, 0x01, 0x87, 0x00, 0x01, 0x84, 0x06, 0x00,
                     0x87, 0x00, 0x01, 0x84, 0xE0, 0x00, 0x86, 0x00, 0x01, 0x87, 0x00, 0x01}));
}

TEST_F(EncoderTest, RepeatOptionIsTheMacroParameter)
{
    for (uint8_t repeat : {0, 1, 2, 0xFE, 0xFF}) {
        SCOPED_TRACE(repeat);
        Slot(0, 7).FunID = FUN_MACRO;
        Slot(0, 7).MappingKey = 60;
        SetMacro(0, 7, {Key(0x16, 1)}, repeat);
        encoder->FormatKeyMappingData(103, 0);
        EXPECT_EQ(encoder->BuildKeyMapTable(0)[2 + 2 * 7], repeat);
    }
}

TEST_F(EncoderTest, LaunchSlotsCarryTheirSlotNumber)
{
    Slot(4, 0).FunID = FUN_LAUNCH_APP;
    Slot(4, 0).MappingKey = 59;
    Slot(4, 9).FunID = FUN_LAUNCH_APP;
    Slot(4, 9).MappingKey = 60;
    encoder->FormatKeyMappingData(103, 4);
    EXPECT_EQ(encoder->BuildMacroDataBlock(4), (Bytes{0x01, 0xFD, 0x0A, 0xFD}));
    const Bytes index = encoder->BuildIndexTable(4);
    EXPECT_EQ(Bytes(index.begin() + 5, index.begin() + 10), (Bytes{0x11, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(Bytes(index.begin() + 50, index.end()), (Bytes{0x11, 0x00, 0x02, 0x00, 0x02}));
}

TEST_F(EncoderTest, OffsetsSkipEntriesWithoutData)
{
    Slot(0, 2).FunID = FUN_MACRO;
    Slot(0, 2).MappingKey = 59;
    SetMacro(0, 2, {Key(0x04, 1), Key(0x04, 0)}, 1);  // 4 items, 12 bytes
    Slot(0, 3).FunID = FUN_DISABLE_KEY;
    Slot(0, 3).MappingKey = 60;
    Slot(0, 5).FunID = FUN_LAUNCH_APP;
    Slot(0, 5).MappingKey = 61;
    encoder->FormatKeyMappingData(103, 0);

    const Bytes index = encoder->BuildIndexTable(0);
    EXPECT_EQ(Bytes(index.begin(), index.begin() + 5), (Bytes{0x0A, 0x00, 0x37, 0x00, 14}));
    EXPECT_EQ(Bytes(index.begin() + 15, index.begin() + 20), (Bytes{0x20, 0x00, 0x00, 0x00, 12}));
    EXPECT_EQ(Bytes(index.begin() + 20, index.begin() + 25), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Bytes(index.begin() + 30, index.begin() + 35), (Bytes{0x11, 0x00, 12, 0x00, 0x02}));
}

TEST_F(EncoderTest, MacroLengthIsCappedAtSevenHundredSteps)
{
    struct Case {
        uint16_t storedLength;
        int steps;
        uint16_t bytes;
    };
    const Case cases[] = {{700, 700, 2106}, {701, 700, 2106}, {0xFFFF, 700, 2106}, {699, 699, 2103}, {1, 1, 9}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.storedLength);
        SetLongMacro(0, 0, 700, c.storedLength);
        encoder->FormatKeyMappingData(103, 0);
        EXPECT_EQ(encoder->Entry(0, 0).wDataLength, c.bytes);
        const Bytes block = encoder->BuildMacroDataBlock(0);
        ASSERT_EQ(block.size(), c.bytes);
        if (c.bytes > 0) {
            EXPECT_EQ(Bytes(block.end() - 6, block.end()), (Bytes{0x86, 0x00, 0x01, 0x87, 0x00, 0x01}));
        }
    }
}

// A length of 700 or less is the recorder's own and holds every step, whatever its code; a missing
// MacroLength (read as 0xFFFF) or any other above 700 must not send the unused steps after the
// recorded ones, which end at the first step with code 0.
TEST_F(EncoderTest, MacroLengthUpTo700IsTrustedLongerOnesEndAtTheFirstStepWithoutCode)
{
    const MACRO_STEP none{0, {0, 0, 0}, 0};
    struct Case {
        const char* what;
        std::vector<MACRO_STEP> steps;
        uint16_t storedLength;
        Bytes data;
    };
    const Bytes tail{0x86, 0x00, 0x01, 0x87, 0x00, 0x01};
    const Case cases[] = {
        {"length missing", {Key(0x04, 1), PauseMs(50), Key(0x04, 0)}, 0xFFFF,
         Concat({{0x84, 0x04, 0x01, 0x87, 0x00, 0x02, 0x84, 0x04, 0x00}, tail})},
        {"length 701", {Key(0x04, 1), none, Key(0x04, 0)}, 701, Concat({{0x84, 0x04, 0x01}, tail})},
        {"length shorter than the steps", {Key(0x04, 1), PauseMs(50), Key(0x04, 0)}, 2,
         Concat({{0x84, 0x04, 0x01, 0x87, 0x00, 0x02}, tail})},
        {"step without code inside the length is sent", {Key(0x04, 1), none, Key(0x04, 0)}, 3,
         Concat({{0x84, 0x04, 0x01, 0x84, 0x00, 0x00, 0x84, 0x04, 0x00}, tail})},
        {"the ISO key and the steps after it", {Key(0x04, 1), Key(0x04, 0), Key(0x64, 1), Key(0x64, 0),
                                                 Key(0x05, 1), Key(0x05, 0)}, 6,
         Concat({{0x84, 0x04, 0x01, 0x84, 0x04, 0x00, 0x84, 0x64, 0x01, 0x84, 0x64, 0x00, 0x84, 0x05, 0x01,
                  0x84, 0x05, 0x00}, tail})},
        {"first step without code, length missing", {none, Key(0x04, 1)}, 0xFFFF, {}},
        {"length 0", {Key(0x04, 1)}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BUTTON_CONFIG& button = Slot(0, 0);
        button.FunID = FUN_MACRO;
        button.MappingKey = 59;
        std::memset(&button.Macro, 0, sizeof(button.Macro));
        std::copy(c.steps.begin(), c.steps.end(), button.Macro.Steps);
        button.Macro.length = c.storedLength;
        button.Macro.RepeatOption = 1;
        encoder->FormatKeyMappingData(103, 0);
        EXPECT_EQ(encoder->BuildMacroDataBlock(0), c.data);
        EXPECT_EQ(MacroStepsToSend(button.Macro), c.data.empty() ? 0 : static_cast<int>(c.data.size() / 3) - 2);
    }
}

// The built-in US-English table against the layout data written down from Windows' own US layout:
// every position of both pictures gets the same key code, the ISO key included.
TEST(BuiltInUsLayout, EncodesEveryPositionAsTheUsLayoutDoes)
{
    const testing::LayoutData windowsUs = testing::UsLayout();
    struct Picture {
        int keyNum;
        size_t positions;
    };
    for (const Picture picture : {Picture{103, KEYPOS_103_COUNT}, Picture{104, KEYPOS_OTHER_COUNT}}) {
        for (size_t index = 0; index < picture.positions; ++index) {
            const auto mappingKey = static_cast<uint8_t>(index);
            SCOPED_TRACE(::testing::Message() << "KeyNum " << picture.keyNum << ", position " << index);
            EXPECT_EQ(int(DeviceKeyCode(picture.keyNum, mappingKey, BuiltInUsEnglishLayout())),
                      int(DeviceKeyCode(picture.keyNum, mappingKey, windowsUs)));
        }
    }
}

TEST(BuiltInUsLayout, KeysOfNoteAndTheIsoKey)
{
    struct Case {
        int keyNum;
        uint8_t mappingKey;
        uint8_t expected;
        const char* what;
    };
    const Case cases[] = {
        {103, 75, 0x1D, "Z: the US key, whatever layout the user has"},
        {103, 43, 0x1C, "Y"},
        {103, 104, 0x64, "the ISO key of the 103-key picture"},
        {104, 109, 0x64, "the ISO key of the other picture"},
        {103, 96, 0x64, "Fn keeps the code it always had"},
        {103, 98, 0xE4, "right Ctrl"},
        {103, 31, 0x4A, "Home"},
        {103, 54, 0x5F, "keypad 7"},
        {103, 90, 0x58, "keypad Enter"},
        {103, 70, 0x28, "Enter"},
        {103, 15, 0x48, "Pause"},
        {103, 33, 0x53, "Num Lock"},
        {103, 13, 0x46, "Print Screen"},
        {103, 34, 0x54, "keypad /"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(int(DeviceKeyCode(c.keyNum, c.mappingKey, BuiltInUsEnglishLayout())), int(c.expected));
    }
    // Both ways, as the platform's US layout answers.
    EXPECT_EQ(BuiltInUsEnglishLayout().MapKey(0xE2, 0), 0x56u);
    EXPECT_EQ(BuiltInUsEnglishLayout().MapKey(0x56, 1), 0xE2u);
    EXPECT_EQ(BuiltInUsEnglishLayout().MapKey(0xE01C, 3), 0x0Du);
    EXPECT_EQ(BuiltInUsEnglishLayout().MapKey(0x47, 1), 0x24u);
}

TEST_F(EncoderTest, TenMacrosWithoutLengthAllFitTheBlock)
{
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        SetLongMacro(0, slot, 4, 0xFFFF);
    DiagCapture diagnostics;
    encoder->FormatKeyMappingData(103, 0);
    EXPECT_EQ(encoder->BuildMacroDataBlock(0).size(), 10u * 18u);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        EXPECT_EQ(encoder->Entry(0, slot).bEntryType, ENTRY_MACRO) << slot;
    EXPECT_FALSE(diagnostics.Contains(L"does not fit"));
}

TEST_F(EncoderTest, MacroWithoutStepsIsADataEntryOfLengthZero)
{
    Slot(0, 0).FunID = FUN_MACRO;
    Slot(0, 0).MappingKey = 59;
    SetMacro(0, 0, {}, 2);
    Slot(0, 1).FunID = FUN_LAUNCH_APP;
    Slot(0, 1).MappingKey = 60;
    encoder->FormatKeyMappingData(103, 0);
    const Bytes index = encoder->BuildIndexTable(0);
    EXPECT_EQ(Bytes(index.begin(), index.begin() + 15),
              (Bytes{0x0A, 0x00, 0x37, 0x00, 0x02, 0x20, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(encoder->BuildKeyMapTable(0)[2], 2);
}

TEST_F(EncoderTest, ReencodingReplacesEarlierData)
{
    SetLongMacro(0, 0, 10, 10);
    encoder->FormatKeyMappingData(103, 0);
    ASSERT_EQ(encoder->BuildMacroDataBlock(0).size(), 36u);

    Slot(0, 0).FunID = FUN_NONE;
    Slot(0, 0).MappingKey = UNASSIGNED;
    encoder->FormatKeyMappingData(103, 0);
    EXPECT_EQ(encoder->BuildKeyMapTable(0), Concat({{0x0A}, Zeros(20)}));
    EXPECT_EQ(encoder->BuildIndexTable(0), Concat({{0x0A, 0x00, 0x37, 0x00, 0x00}, Zeros(50)}));
    EXPECT_TRUE(encoder->BuildMacroDataBlock(0).empty());
}

TEST_F(EncoderTest, ProfilesHaveTheirOwnRows)
{
    SetLongMacro(1, 0, 4, 4);
    encoder->FormatKeyMappingData(103, 1);
    encoder->FormatKeyMappingData(103, 2);
    EXPECT_EQ(encoder->BuildMacroDataBlock(1).size(), 18u);
    EXPECT_TRUE(encoder->BuildMacroDataBlock(2).empty());
}

TEST_F(EncoderTest, ClearKeepsTypesAndDataButZeroesTheKeyMapping)
{
    Slot(5, 0).FunID = FUN_LAUNCH_APP;
    Slot(5, 0).MappingKey = 59;
    SetLongMacro(5, 1, 3, 3);
    encoder->FormatKeyMappingData(103, 5);
    const Bytes index = encoder->BuildIndexTable(5);
    const Bytes block = encoder->BuildMacroDataBlock(5);

    encoder->ClearKeyMapEntries(5);
    EXPECT_EQ(encoder->BuildKeyMapTable(5), Concat({{0x0A}, Zeros(20)}));
    EXPECT_EQ(encoder->BuildIndexTable(5), index);
    EXPECT_EQ(encoder->BuildMacroDataBlock(5), block);
    EXPECT_EQ(encoder->Entry(5, 1).bEntryType, ENTRY_MACRO);
}

// The driver's data block holds 8192 bytes: whole entries fit in slot order, the rest go without data,
// and all three tables agree.
TEST_F(EncoderTest, DataBeyondTheBlockCapacityIsDroppedConsistently)
{
    for (int slot = 0; slot < BUTTON_COUNT; ++slot)
        SetLongMacro(0, slot, 700, 700);
    DiagCapture diagnostics;
    encoder->FormatKeyMappingData(103, 0);

    const Bytes block = encoder->BuildMacroDataBlock(0);
    EXPECT_EQ(block.size(), 3u * 2106u);
    const Bytes index = encoder->BuildIndexTable(0);
    EXPECT_EQ(index[3] * 256 + index[4], 3 * 2106);
    const Bytes keyMap = encoder->BuildKeyMapTable(0);
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        SCOPED_TRACE(slot);
        const bool kept = slot < 3;
        const uint8_t* field = &index[5 + 5 * slot];
        EXPECT_EQ(field[0], kept ? ENTRY_MACRO : ENTRY_NONE);
        EXPECT_EQ(field[1] * 256 + field[2], kept ? 2106 * slot : 0);
        EXPECT_EQ(field[3] * 256 + field[4], kept ? 2106 : 0);
        EXPECT_EQ(keyMap[1 + 2 * slot], DeviceKeyCode(103, static_cast<uint8_t>(59 + slot), layout));
        EXPECT_EQ(keyMap[2 + 2 * slot], kept ? 1 : 0);
    }
    EXPECT_TRUE(diagnostics.Contains(L"TButton[3]"));
    EXPECT_TRUE(diagnostics.Contains(L"TButton[9]"));
    EXPECT_FALSE(diagnostics.Contains(L"TButton[2]"));
}

TEST_F(EncoderTest, BlockOfExactlyTheCapacityIsKeptWhole)
{
    Slot(0, 0).FunID = FUN_LAUNCH_APP;  // 2 bytes
    Slot(0, 0).MappingKey = 59;
    for (int slot = 1; slot <= 3; ++slot)
        SetLongMacro(0, slot, 700, 700);  // 3 x 2106
    SetLongMacro(0, 4, 622, 622);         // 1872: total 8192
    Slot(0, 5).FunID = FUN_LAUNCH_APP;    // would make 8194
    Slot(0, 5).MappingKey = 65;
    SetLongMacro(0, 6, 0, 0);             // data entry of length 0 after the cut
    encoder->FormatKeyMappingData(103, 0);

    EXPECT_EQ(encoder->BuildMacroDataBlock(0).size(), MACRO_BLOCK_CAPACITY);
    const Bytes index = encoder->BuildIndexTable(0);
    EXPECT_EQ(index[3] * 256 + index[4], 8192);
    EXPECT_EQ(index[5 + 5 * 4], ENTRY_MACRO);
    EXPECT_EQ(Bytes(index.begin() + 30, index.begin() + 35), Zeros(5));
    EXPECT_EQ(Bytes(index.begin() + 35, index.begin() + 40), Zeros(5));
    EXPECT_EQ(encoder->BuildKeyMapTable(0)[2 + 2 * 5], 0);
}

TEST_F(EncoderTest, ProfileIndexOutsideTheRecordsChangesNothing)
{
    SetLongMacro(0, 0, 4, 4);
    encoder->FormatKeyMappingData(103, 0);
    for (int profile : {-1, 6, 1000}) {
        SCOPED_TRACE(profile);
        encoder->FormatKeyMappingData(103, profile);
        encoder->ClearKeyMapEntries(profile);
        EXPECT_EQ(encoder->BuildKeyMapTable(profile), Concat({{0x0A}, Zeros(20)}));
        EXPECT_EQ(encoder->BuildIndexTable(profile), Concat({{0x0A, 0x00, 0x37, 0x00, 0x00}, Zeros(50)}));
        EXPECT_TRUE(encoder->BuildMacroDataBlock(profile).empty());
    }
    EXPECT_EQ(encoder->BuildMacroDataBlock(0).size(), 18u);
}

} // namespace
} // namespace qelt

// The agent's key positions through the platform's own US-English layout, and the built-in table
// the device tables are made with against it.
#include "keycodes_win.h"

#include <gtest/gtest.h>

#include "device_tables.h"
#include "us_english_layout.h"

namespace qelt {
namespace {

TEST(ProductionLayout, KeyPositionsGiveTheirUsbKeyCodes)
{
    struct Case {
        int keyNum;
        uint8_t mappingKey;
        uint8_t expected;
    };
    const Case cases[] = {
        {103, 0, 0x29},  {103, 59, 0x04},  {103, 60, 0x16},  {103, 50, 0x31}, {104, 70, 0x32},
        {103, 91, 0xE0}, {103, 98, 0xE4},  {103, 99, 0x50},  {103, 86, 0x52}, {103, 94, 0x2C},
        {104, 29, 0x89}, {104, 101, 0xE7}, {103, 0xFF, 0x00}, {104, 120, 0x00},
        {103, 104, 0x64}, {104, 109, 0x64},  // the ISO key left of Z
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyNum << " " << int(c.mappingKey));
        EXPECT_EQ(DeviceKeyCode(c.keyNum, c.mappingKey, UsEnglishKeyboardLayout()), c.expected);
        EXPECT_EQ(DeviceKeyCode(c.keyNum, c.mappingKey, BuiltInUsEnglishLayout()), c.expected);
    }
}

// The built-in table must program exactly the keys the platform's US-English layout did, at every
// position of both pictures. Two keys are answered differently by Wine's US layout than by
// Windows' own, and the table follows Windows there (the layout data written down from Windows,
// keytable/tests/layout_data.h, agrees): Print Screen, which Wine puts on the extended scan code
// 0x37 of keypad * instead of 0x54, and VK_KANJI, which Windows' US layout does not have and Wine
// gives a scan code of its own.
TEST(ProductionLayout, BuiltInTableEncodesEveryPositionAsThePlatformDoes)
{
    struct WindowsOnly {
        uint8_t virtualKey;
        uint8_t keyCode;  // what Windows' US layout gives
    };
    const WindowsOnly windowsOnly[] = {{0x2C, 0x46}, {0x19, 0x00}};
    struct Picture {
        int keyNum;
        const uint8_t* positions;
        size_t count;
    };
    for (const Picture picture : {Picture{103, KEYPOS_103, KEYPOS_103_COUNT}, Picture{104, KEYPOS_OTHER, KEYPOS_OTHER_COUNT}}) {
        for (size_t index = 0; index < picture.count; ++index) {
            const auto mappingKey = static_cast<uint8_t>(index);
            SCOPED_TRACE(testing::Message() << "KeyNum " << picture.keyNum << ", position " << index);
            const int builtIn = DeviceKeyCode(picture.keyNum, mappingKey, BuiltInUsEnglishLayout());
            const WindowsOnly* deviation = nullptr;
            for (const WindowsOnly& key : windowsOnly)
                if (key.virtualKey == picture.positions[index])
                    deviation = &key;
            if (deviation)
                EXPECT_EQ(builtIn, int(deviation->keyCode));
            else
                EXPECT_EQ(builtIn, int(DeviceKeyCode(picture.keyNum, mappingKey, UsEnglishKeyboardLayout())));
        }
    }
}

} // namespace
} // namespace qelt

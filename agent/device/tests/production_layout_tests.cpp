// The agent's key positions through the platform's own US-English layout.
#include "keycodes_win.h"

#include <gtest/gtest.h>

#include "device_tables.h"

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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.keyNum << " " << int(c.mappingKey));
        EXPECT_EQ(DeviceKeyCode(c.keyNum, c.mappingKey, UsEnglishKeyboardLayout()), c.expected);
    }
}

} // namespace
} // namespace qelt

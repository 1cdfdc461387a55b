#include <gtest/gtest.h>

#include <set>
#include <cstdio>
#include <string>

#include "keycodes.h"
#include "layout_data.h"

using qelt::KeyCodeFromVk;
using qelt::VkFromKeyCode;
using qelt::testing::FrenchLayout;
using qelt::testing::GermanLayout;
using qelt::testing::LayoutData;
using qelt::testing::UsLayout;

namespace {

struct VkCase {
    const char* what;
    unsigned vk;
    unsigned expected;
};

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

void ExpectKeyCodes(const LayoutData& layout, std::initializer_list<VkCase> cases)
{
    for (const VkCase& c : cases)
        EXPECT_EQ(Hex(KeyCodeFromVk(c.vk, layout)), Hex(c.expected)) << c.what << " (vk " << Hex(c.vk) << ")";
}

} // namespace

TEST(KeyCodeTable, RowsOfNote)
{
    auto table = qelt::KeyCodeTable();
    ASSERT_EQ(table.size(), 151u);
    std::set<unsigned> codes;
    for (const auto& row : table)
        codes.insert(row.keyCode);
    // 0x35 and 0x39 have a second row for the Japanese keys on their places; every other key
    // code has one.
    EXPECT_EQ(codes.size(), 149u);

    const auto* backslash = qelt::FindKeyCodeRow(0x31);
    const auto* nonUsHash = qelt::FindKeyCodeRow(0x32);
    ASSERT_TRUE(backslash && nonUsHash);
    EXPECT_EQ(backslash->virtualKey, nonUsHash->virtualKey);
    EXPECT_EQ(backslash->scanCode, 0x2B);
    EXPECT_EQ(nonUsHash->scanCode, 0x2B);
    EXPECT_TRUE(backslash < nonUsHash);

    const auto* numLock = qelt::FindKeyCodeRow(0x53);
    const auto* pause = qelt::FindKeyCodeRow(0x48);
    ASSERT_TRUE(numLock && pause);
    EXPECT_EQ(numLock->scanCode, 0x45);
    EXPECT_EQ(pause->scanCode, 0x45);
    EXPECT_TRUE(numLock < pause);

    const unsigned internationalVks[] = {0x99, 0x88, 0x3C, 0x97, 0x98};
    for (unsigned code = 0x87; code <= 0x8B; ++code) {
        const auto* row = qelt::FindKeyCodeRow(static_cast<uint8_t>(code));
        ASSERT_TRUE(row) << Hex(code);
        EXPECT_EQ(row->virtualKey, internationalVks[code - 0x87]) << Hex(code);
        EXPECT_EQ(row->scanCode, 0) << Hex(code);
    }

    const auto* keypadEnter = qelt::FindKeyCodeRow(0x58);
    ASSERT_TRUE(keypadEnter);
    EXPECT_EQ(keypadEnter->prefix, 0xE0);
    EXPECT_EQ(qelt::FindKeyCodeRow(0x28)->prefix, 0);
    EXPECT_EQ(qelt::FindKeyCodeRow(0x00), nullptr);
    EXPECT_EQ(qelt::FindKeyCodeRow(0xFF), nullptr);
}

TEST(KeyCodeFromVk, UsLayout)
{
    ExpectKeyCodes(UsLayout(), {
        {"A", 0x41, 0x04},
        {"Z", 0x5A, 0x1D},
        {"left Ctrl", 0xA2, 0xE0},
        {"right Ctrl", 0xA3, 0xE4},
        {"generic Ctrl takes the left key", 0x11, 0xE0},
        {"generic Shift", 0x10, 0xE1},
        {"right Alt", 0xA5, 0xE6},
        {"Home is extended: second row of scan 0x47", 0x24, 0x4A},
        {"keypad 7 is not: first row of scan 0x47", 0x67, 0x5F},
        {"Insert", 0x2D, 0x49},
        {"keypad 0", 0x60, 0x62},
        {"Clear", 0x0C, 0x9C},
        {"keypad 5", 0x65, 0x5D},
        {"keypad /", 0x6F, 0x54},
        {"slash", 0xBF, 0x38},
        {"backslash takes the first of two rows", 0xDC, 0x31},
        {"left Windows", 0x5B, 0xE3},
        {"keypad Enter by the program's own code", 0x6C, 0x58},
        {"half/full width", 0xF3, 0x35},
        {"its other state", 0xF4, 0x35},
        {"international 0x99", 0x99, 0x87},
        {"international 0x88", 0x88, 0x88},
        {"international 0x3C", 0x3C, 0x89},
        {"international 0x97", 0x97, 0x8A},
        {"international 0x98", 0x98, 0x8B},
        {"F7 (its scan code is also on the half/full-width row)", 0x76, 0x40},
        {"the ISO key left of Z (VK_OEM_102, scan 0x56)", 0xE2, 0x64},
        {"unknown virtual key", 0x07, 0x00},
        {"virtual key 0 names the first row without one (keypad =)", 0x00, 0x67},
    });
}

// Windows maps 0xE01C back to VK_RETURN and 0xE045 to VK_NUMLOCK, and Pause to Num Lock's scan
// code: these keys must still come out as themselves.
TEST(KeyCodeFromVk, KeysSharingScanCodesWithReportedExtendedForms)
{
    ExpectKeyCodes(UsLayout(), {
        {"main Enter, not keypad Enter", 0x0D, 0x28},
        {"Num Lock, not Pause", 0x90, 0x53},
        {"Pause, not Num Lock", 0x13, 0x48},
    });
}

TEST(KeyCodeFromVk, FollowsTheLayout)
{
    ExpectKeyCodes(FrenchLayout(), {
        {"A is on the US Q key", 0x41, 0x14},
        {"Q is on the US A key", 0x51, 0x04},
        {"Z is on the US W key", 0x5A, 0x1A},
        {"M is on the US semicolon key", 0x4D, 0x33},
    });
    ExpectKeyCodes(GermanLayout(), {
        {"Z is on the US Y key", 0x5A, 0x1C},
        {"Y is on the US Z key", 0x59, 0x1D},
        {"caret key (VK_OEM_5) is left of 1", 0xDC, 0x35},
        {"hash key (VK_OEM_2) is on the backslash scan code", 0xBF, 0x31},
        {"Ctrl is where it always is", 0xA2, 0xE0},
    });
}

TEST(VkFromKeyCode, UsLayout)
{
    const LayoutData us = UsLayout();
    const VkCase cases[] = {
        {"keypad 1 directly, not End", 0x59, 0x61},
        {"keypad 7 directly, not Home", 0x5F, 0x67},
        {"keypad . directly, not Delete", 0x63, 0x6E},
        {"Pause directly", 0x48, 0x13},
        {"Num Lock through its scan code", 0x53, 0x90},
        {"A", 0x04, 0x41},
        {"main Enter", 0x28, 0x0D},
        {"keypad Enter has VK_RETURN on Windows", 0x58, 0x0D},
        {"Home", 0x4A, 0x24},
        {"right Ctrl", 0xE4, 0xA3},
        {"keypad /", 0x54, 0x6F},
        {"international key keeps the program's code", 0x87, 0x99},
        {"international key 0x8B", 0x8B, 0x98},
        {"the ISO key", 0x64, 0xE2},
        {"row without scan code", 0x67, 0x00},
        {"code not in the table", 0x00, 0x00},
        {"code not in the table", 0xFF, 0x00},
    };
    for (const VkCase& c : cases)
        EXPECT_EQ(Hex(VkFromKeyCode(static_cast<uint8_t>(c.vk), us)), Hex(c.expected)) << c.what;
}

TEST(VkFromKeyCode, ExtendedKeysTheLayoutDoesNotKnow)
{
    LayoutData noExtended;  // answers nothing for 0xE0 scan codes
    noExtended.Key('A', 0x1E);
    const VkCase cases[] = {
        {"navigation keys fall back to the table", 0x4A, 0x24},
        {"Delete", 0x4C, 0x2E},
        {"Windows keys too", 0xE3, 0x5B},
        {"right Windows", 0xE7, 0x5C},
        {"right Ctrl does not", 0xE4, 0x00},
        {"keypad Enter does not", 0x58, 0x00},
        {"a plain key goes through the layout", 0x04, 0x41},
    };
    for (const VkCase& c : cases)
        EXPECT_EQ(Hex(VkFromKeyCode(static_cast<uint8_t>(c.vk), noExtended)), Hex(c.expected)) << c.what;
}

TEST(VkFromKeyCode, FollowsTheLayout)
{
    EXPECT_EQ(Hex(VkFromKeyCode(0x14, FrenchLayout())), Hex(0x41));
    EXPECT_EQ(Hex(VkFromKeyCode(0x1C, GermanLayout())), Hex(0x5A));
    EXPECT_EQ(Hex(VkFromKeyCode(0x1D, GermanLayout())), Hex(0x59));
}

// Every key with a virtual key of its own comes back to its key code through both conversions.
TEST(KeyCodeConversions, RoundTripOnUsLayout)
{
    const LayoutData us = UsLayout();
    // Key codes that cannot come back: 0x32 shares virtual key and scan code with 0x31, keypad
    // Enter reports VK_RETURN, and right Shift (no prefix) comes back as the generic VK_SHIFT.
    const std::set<unsigned> sharedWithAnother = {0x32, 0x58, 0xE5};
    for (const auto& row : qelt::KeyCodeTable()) {
        if (row.virtualKey == 0 || sharedWithAnother.count(row.keyCode))
            continue;
        const unsigned vk = VkFromKeyCode(row.keyCode, us);
        EXPECT_EQ(Hex(KeyCodeFromVk(vk, us)), Hex(row.keyCode)) << "via vk " << Hex(vk);
    }
}

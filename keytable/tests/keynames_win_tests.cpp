// The editor's key names end to end: table.xml beside the program, the system's layout.
#include <windows.h>

#include <gtest/gtest.h>

#include "keynames.h"

namespace qelt {
namespace {

TEST(EditorKeyNames, ReadTheShippedFileAndTheLayout)
{
    // This program's folder holds a copy of the shipped table.xml.
    EXPECT_EQ(KeyName(0x0D), L"Enter");
    EXPECT_EQ(KeyName(0xA0), L"Left Shift");
    EXPECT_EQ(KeyName(0x2A), L"VK:2a");     // Print: no entry
    EXPECT_EQ(KeyNameOfCode(0x28), L"Enter");
    EXPECT_EQ(KeyNameOfCode(0x59), L"Num 1");
    // Letters come from the layout, in upper case (Caps Lock on) whatever the layout.
    const std::wstring a = KeyName('A');
    ASSERT_EQ(a.size(), 1u);
    EXPECT_TRUE(IsCharUpperW(a[0])) << a;
    EXPECT_EQ(KeyNameOfCode(0x04), KeyName(MapVirtualKeyW(0x1E, 1)));
}

} // namespace
} // namespace qelt

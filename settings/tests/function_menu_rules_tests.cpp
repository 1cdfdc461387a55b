// Where the function menu opens and how it hands the mouse capture to its items.
#include <gtest/gtest.h>

#include "function_menu_rules.h"

using namespace qelt;

TEST(FunctionMenu, OpensBelowTheLabelUnlessTheScreenEndsWithin145Pixels)
{
    const MenuRect label{100, 500, 240, 525};
    const struct {
        int screenHeight;
        int y;
    } cases[] = {
        {525 + 146, 525},        // 146 pixels below: below the label
        {525 + 145, 525 - 161},  // 145 pixels: 161 above the label's bottom edge
        {525 + 500, 525},
        {525, 525 - 161},
    };
    for (const auto& c : cases) {
        const MenuPoint at = MenuPosition(label, c.screenHeight);
        EXPECT_EQ(at.x, 103) << c.screenHeight;
        EXPECT_EQ(at.y, c.y) << c.screenHeight;
    }
}

TEST(FunctionMenu, CaptureGoesToTheItemUnderThePointerAndBackOutside)
{
    EXPECT_EQ(MenuCaptureStep(true, true), CaptureStep::Release);
    EXPECT_EQ(MenuCaptureStep(true, false), CaptureStep::Take);
    EXPECT_EQ(MenuCaptureStep(false, false), CaptureStep::Take);
    EXPECT_EQ(MenuCaptureStep(false, true), CaptureStep::Keep);
}

TEST(FunctionMenu, GapsBetweenItemsAndShrunkEdgesHitNoItem)
{
    std::array<MenuRect, MENU_ITEM_COUNT> items{};
    for (int i = 0; i < MENU_ITEM_COUNT; ++i)
        items[size_t(i)] = ShrunkItem(MenuRect{10, 5 + 22 * i, 150, 5 + 22 * i + 20});
    EXPECT_EQ(MenuItemAt(items, {50, 5}), 0);
    EXPECT_EQ(MenuItemAt(items, {50, 5 + 22 * 12 + 19}), 12);
    EXPECT_EQ(MenuItemAt(items, {50, 26}), -1) << "the 2-pixel gap between items 0 and 1";
    EXPECT_EQ(MenuItemAt(items, {10, 10}), -1) << "the left pixel column was shrunk away";
    EXPECT_EQ(MenuItemAt(items, {11, 10}), 0);
    EXPECT_EQ(MenuItemAt(items, {149, 10}), -1);
    EXPECT_EQ(MenuItemAt(items, {-5, -5}), -1);

    // A skin without items: every click ends the menu with no choice.
    std::array<MenuRect, MENU_ITEM_COUNT> empty{};
    for (MenuRect& item : empty)
        item = ShrunkItem(item);
    EXPECT_EQ(MenuItemAt(empty, {0, 0}), -1);
}

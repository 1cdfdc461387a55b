#pragma once
// The function menu's placement and its mouse-capture hand-over, without the platform: the menu
// keeps the capture while the pointer is outside its items (so a click anywhere else ends it) and
// hands it to the item under the pointer (so the items light up and take clicks).
#include <array>

namespace qelt {

constexpr int MENU_ITEM_COUNT = 13;
constexpr int MENU_ROOM_BELOW = 145;  // more than this below the label: the menu opens below it
constexpr int MENU_OPEN_ABOVE = 161;  // otherwise its top is this far above the label's bottom
constexpr int MENU_X_OFFSET = 3;

struct MenuPoint {
    int x;
    int y;
};
struct MenuRect {
    int left, top, right, bottom;
    bool Contains(MenuPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

// Where the caller asks the menu to open for a label button at labelOnScreen; the menu puts its
// top-left corner at (x - 3, y), lined up with the label's left edge.
inline MenuPoint MenuPosition(const MenuRect& labelOnScreen, int fullScreenClientHeight)
{
    const int y = fullScreenClientHeight - labelOnScreen.bottom > MENU_ROOM_BELOW
                      ? labelOnScreen.bottom
                      : labelOnScreen.bottom - MENU_OPEN_ABOVE;
    return MenuPoint{labelOnScreen.left + MENU_X_OFFSET, y};
}

// The item under a point of the menu's client area, -1 for none (the gaps between items).
inline int MenuItemAt(const std::array<MenuRect, MENU_ITEM_COUNT>& items, MenuPoint point)
{
    for (int i = 0; i < MENU_ITEM_COUNT; ++i) {
        if (items[size_t(i)].Contains(point))
            return i;
    }
    return -1;
}

enum class CaptureStep { Release, Take, Keep };

// What a mouse move the menu receives does with the capture.
inline CaptureStep MenuCaptureStep(bool overItem, bool captured)
{
    if (overItem)
        return captured ? CaptureStep::Release : CaptureStep::Take;
    return captured ? CaptureStep::Keep : CaptureStep::Take;
}

// Item rectangles lose a pixel on the left and on the right, so adjacent items never both match.
inline MenuRect ShrunkItem(MenuRect item)
{
    return MenuRect{item.left + 1, item.top, item.right - 1, item.bottom};
}

} // namespace qelt

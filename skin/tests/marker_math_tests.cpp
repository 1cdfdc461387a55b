#include <gtest/gtest.h>

#include <ostream>

#include "marker_math.h"

namespace {

MarkerRange Bar(int left, int width, int minimum, int maximum, int value)
{
    MarkerRange range;
    range.nLeft = left;
    range.nRight = left + width;
    range.nTop = 0;
    range.nBottom = 8;
    range.nMin = minimum;
    range.nMax = maximum;
    range.nValue = value;
    return range;
}

struct FillCase {
    int width, minimum, maximum, value, filled;
};

void PrintTo(const FillCase& c, std::ostream* out)
{
    *out << "W" << c.width << " range " << c.minimum << ".." << c.maximum << " value " << c.value;
}

class MarkerFillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(MarkerFillTest, FillsProportionallyTruncating)
{
    const FillCase& c = GetParam();
    EXPECT_EQ(MarkerFilledWidth(Bar(30, c.width, c.minimum, c.maximum, c.value)), c.filled);
}

INSTANTIATE_TEST_SUITE_P(Values, MarkerFillTest,
                         ::testing::Values(FillCase{100, 0, 10, 5, 50}, FillCase{100, 0, 10, 0, 0},
                                           FillCase{100, 0, 10, 10, 100}, FillCase{100, 0, 3, 1, 33},
                                           FillCase{7, 0, 100, 99, 6}, FillCase{200, 50, 150, 75, 50},
                                           // Values the owner should not set, and empty bars.
                                           FillCase{100, 0, 10, 20, 100}, FillCase{100, 0, 10, -5, 0},
                                           FillCase{100, 10, 10, 10, 0}, FillCase{0, 0, 10, 5, 0},
                                           FillCase{1000000, 0, 1000000, 999999, 999999}));

// A corrupt skin rectangle spanning more than the int range must not give a negative width.
TEST(MarkerFill, RectanglesBeyondTheIntRangeNeitherWrapNorOverflow)
{
    MarkerRange range;
    range.nLeft = -1999999999;
    range.nRight = 2000000000;
    range.nMin = 0;
    range.nMax = 10;
    range.nValue = 10;
    EXPECT_EQ(MarkerFilledWidth(range), INT32_MAX);
    range.nValue = 5;
    EXPECT_EQ(MarkerFilledWidth(range), 1999999999);

    // Both factors near the 32-bit limit (found by fuzzing): no overflow, the result in range.
    range.nMin = -2147483647;
    range.nMax = 2147483647;
    range.nValue = 2147483000;
    EXPECT_GT(MarkerFilledWidth(range), 0);
    EXPECT_EQ(MarkerValueAt(range, 1999999999), 2147483645);  // truncated toward the minimum
    EXPECT_EQ(MarkerValueAt(range, 0), -1);  // just short of the middle
}

struct DragCase {
    int parentX, value;
};

void PrintTo(const DragCase& c, std::ostream* out) { *out << "x " << c.parentX; }

class MarkerDragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(MarkerDragTest, PointerPositionGivesValueWithinRange)
{
    // Bar at x 40..140 of its parent, range 0..10.
    EXPECT_EQ(MarkerValueAt(Bar(40, 100, 0, 10, 0), GetParam().parentX), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Positions, MarkerDragTest,
                         ::testing::Values(DragCase{40 + 37, 3}, DragCase{40, 0}, DragCase{0, 0},
                                           DragCase{-500, 0}, DragCase{40 + 99, 9}, DragCase{140, 10},
                                           DragCase{900, 10}));

TEST(MarkerValueAt, OffsetRangeAndEmptyBar)
{
    EXPECT_EQ(MarkerValueAt(Bar(0, 50, 100, 200, 0), 25), 150);
    EXPECT_EQ(MarkerValueAt(Bar(0, 0, 100, 200, 0), 25), 100);
    EXPECT_EQ(MarkerValueAt(Bar(0, 50, 5, 5, 0), 25), 5);
}

struct EditCase {
    const wchar_t* text;
    const wchar_t* replacement;  // nullptr: stays
};

void PrintTo(const EditCase& c, std::ostream* out)
{
    *out << '[';
    for (const wchar_t* p = c.text; *p; ++p)
        *out << char(*p);
    *out << ']';
}

class EditCapTest : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditCapTest, CapsLeadingNumberAbove6375)
{
    std::optional<std::wstring> capped = CappedEditText(GetParam().text);
    if (GetParam().replacement == nullptr)
        EXPECT_FALSE(capped.has_value()) << *capped;
    else
        EXPECT_EQ(capped.value_or(L"<none>"), GetParam().replacement);
}

INSTANTIATE_TEST_SUITE_P(Texts, EditCapTest,
                         ::testing::Values(EditCase{L"6376", L"6375"}, EditCase{L"6375", nullptr},
                                           EditCase{L"0123", nullptr}, EditCase{L"99999", L"6375"},
                                           EditCase{L"", nullptr}, EditCase{L"abc", nullptr},
                                           EditCase{L"7000x", L"6375"}, EditCase{L"99999999999999", L"6375"}));

} // namespace

// Painting of the bitmap button on memory surfaces: which state image, caption colour, caption
// place and indicator image each state gives.
#include <gtest/gtest.h>

#include "bitmap_btn.h"
#include "skin_test_support.h"

namespace {

using skintest::MakeBitmap;
using skintest::Surface;

constexpr COLORREF kNormal = RGB(40, 0, 0);
constexpr COLORREF kOver = RGB(0, 40, 0);
constexpr COLORREF kPressed = RGB(0, 0, 40);
constexpr COLORREF kGreyed = RGB(40, 40, 0);
constexpr COLORREF kSelectedText = RGB(0, 250, 120);
constexpr COLORREF kRed = RGB(250, 1, 1);
constexpr COLORREF kGreen = RGB(1, 250, 1);
constexpr COLORREF kBlue = RGB(1, 1, 250);
constexpr COLORREF kOutside = RGB(7, 7, 7);  // what the surface held before painting

class BitmapBtnPaintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gdiplus = new skintest::GdiplusSession;
        folder = new skintest::TempProgramFolder;
        folder->WriteText(L"Skins\\main.ini", "[SCREEN]\r\nRed=ind\\red.bmp\r\nGreen=ind\\green.bmp\r\nBlue=ind\\blue.bmp\r\n");
        folder->WriteSolidBmp(L"Skins\\ind\\red.bmp", 17, 17, kRed);
        folder->WriteSolidBmp(L"Skins\\ind\\green.bmp", 17, 17, kGreen);
        folder->WriteSolidBmp(L"Skins\\ind\\blue.bmp", 17, 17, kBlue);
    }
    static void TearDownTestSuite()
    {
        delete folder;
        delete gdiplus;
    }

    void SetUp() override
    {
        Fill(button.m_bmpNormal, kNormal);
        Fill(button.m_bmpOver, kOver);
        Fill(button.m_bmpPressed, kPressed);
        Fill(button.m_bmpGreyed, kGreyed);
        button.m_crSelectedText = kSelectedText;
        button.LoadIndicators(folder->Path());
    }

    void Fill(SkinBitmap& image, COLORREF colour)
    {
        image.AttachBitmap(MakeBitmap(kWidth, kHeight, [colour](int, int) { return colour; }));
    }

    // Paints into a fresh surface and returns it.
    std::unique_ptr<Surface> Paint(UINT itemState)
    {
        auto surface = std::make_unique<Surface>(kWidth, kHeight, kOutside);
        button.Paint(surface->Dc(), SIZE{kWidth, kHeight}, itemState);
        return surface;
    }

    static constexpr int kWidth = 160;
    static constexpr int kHeight = 50;
    static skintest::GdiplusSession* gdiplus;
    static skintest::TempProgramFolder* folder;
    CBitmapBtn button;
};

skintest::GdiplusSession* BitmapBtnPaintTest::gdiplus = nullptr;
skintest::TempProgramFolder* BitmapBtnPaintTest::folder = nullptr;

struct StateCase {
    const char* label;
    bool selected, hover, greyed;
    UINT itemState;
    COLORREF image;
};

const StateCase kStateCases[] = {
    {"plain", false, false, false, 0, kNormal},
    {"hover", false, true, false, 0, kOver},
    {"greyed", false, false, true, 0, kGreyed},
    {"greyed under the mouse", false, true, true, 0, kOver},
    {"selected and hovered", true, true, false, 0, kPressed},
    {"selected and greyed", true, false, true, 0, kPressed},
    {"pressed", false, false, false, ODS_SELECTED, kPressed},
    {"pressed greyed", false, true, true, ODS_SELECTED, kPressed},
    {"platform-disabled only", false, false, false, ODS_DISABLED, kNormal},
    {"platform-disabled under the mouse", false, true, false, ODS_DISABLED, kOver},
};

TEST_F(BitmapBtnPaintTest, StateImageFollowsFirstMatchingRule)
{
    for (bool withCaption : {false, true})
        for (const StateCase& c : kStateCases) {
            button.m_bSelected = c.selected;
            button.m_bHover = c.hover;
            button.m_bGreyed = c.greyed;
            button.m_strCaption = withCaption ? L"x" : L"";
            auto surface = Paint(c.itemState);
            EXPECT_EQ(surface->Pixel(kWidth - 1, 0), c.image) << c.label << " caption " << withCaption;
            EXPECT_EQ(surface->Pixel(0, kHeight - 1), c.image) << c.label << " caption " << withCaption;
        }
}

TEST_F(BitmapBtnPaintTest, EmptyStateImageDrawsNothing)
{
    button.m_bmpOver.Reset();
    button.m_bHover = true;
    for (const wchar_t* caption : {L"", L"x"}) {
        button.m_strCaption = caption;
        auto surface = Paint(0);
        EXPECT_EQ(surface->Pixel(kWidth - 1, kHeight - 1), kOutside);
    }
}

TEST_F(BitmapBtnPaintTest, CaptionedButtonKeepsWhatTheTargetHadBeyondASmallerImage)
{
    button.m_bmpNormal.AttachBitmap(MakeBitmap(kWidth / 2, kHeight / 2, [](int, int) { return kNormal; }));
    button.m_strCaption = L"x";
    auto surface = Paint(0);
    EXPECT_EQ(surface->Pixel(kWidth / 2 - 1, kHeight / 2 - 1), kNormal);
    EXPECT_EQ(surface->Pixel(kWidth - 1, kHeight - 1), kOutside);
    EXPECT_EQ(surface->Pixel(kWidth - 1, 0), kOutside);
}

struct ColourCase {
    const char* label;
    bool selected, hover, greyed;
    UINT itemState;
    COLORREF text;
    COLORREF image;
};

TEST_F(BitmapBtnPaintTest, CaptionColourLastApplicableRuleWins)
{
    const ColourCase cases[] = {
        {"plain", false, false, false, 0, BTN_TEXT_COLOUR, kNormal},
        {"hover", false, true, false, 0, BTN_TEXT_COLOUR, kOver},
        {"platform-disabled", false, false, false, ODS_DISABLED, BTN_DIM_TEXT_COLOUR, kNormal},
        {"greyed", false, false, true, 0, BTN_DIM_TEXT_COLOUR, kGreyed},
        {"selected and hovered", true, true, false, 0, kSelectedText, kPressed},
        {"selected and disabled", true, false, false, ODS_DISABLED, kSelectedText, kPressed},
    };
    const COLORREF textColours[] = {BTN_TEXT_COLOUR, BTN_DIM_TEXT_COLOUR, kSelectedText};
    button.m_strCaption = L"HHH";
    button.m_nFontHeight = 36;
    for (const ColourCase& c : cases) {
        button.m_bSelected = c.selected;
        button.m_bHover = c.hover;
        button.m_bGreyed = c.greyed;
        auto surface = Paint(c.itemState);
        EXPECT_GT(surface->Count(c.text), 10) << c.label;
        for (COLORREF other : textColours) {
            if (other != c.text) {
                EXPECT_EQ(surface->Count(other), 0) << c.label;
            }
        }
        EXPECT_EQ(surface->Pixel(kWidth - 1, 0), c.image) << c.label;
    }
}

TEST_F(BitmapBtnPaintTest, CaptionPlacedByAlignment)
{
    button.m_strCaption = L"HH";
    button.m_nFontHeight = 24;
    struct PlaceCase {
        int align;
        int minLeft, maxLeft, minRight, maxRight;
    };
    const PlaceCase cases[] = {
        {BTN_ALIGN_LEFT, 5, 9, 6, kWidth / 2},
        {BTN_ALIGN_RIGHT, kWidth / 2, kWidth - 2, kWidth - 6, kWidth - 2},
        {7, kWidth / 2, kWidth - 2, kWidth - 6, kWidth - 2},  // other values: right-aligned too
    };
    for (const PlaceCase& c : cases) {
        button.m_nAlign = c.align;
        auto surface = Paint(0);
        RECT text = surface->BoundsOfOthers(kNormal);
        EXPECT_GE(text.left, c.minLeft) << c.align;
        EXPECT_LE(text.left, c.maxLeft) << c.align;
        EXPECT_GE(text.right, c.minRight) << c.align;
        EXPECT_LE(text.right, c.maxRight) << c.align;
    }
    button.m_nAlign = BTN_ALIGN_CENTRE;
    RECT centred = Paint(0)->BoundsOfOthers(kNormal);
    EXPECT_NEAR((centred.left + centred.right) / 2, kWidth / 2, 3);
    EXPECT_NEAR((centred.top + centred.bottom) / 2, kHeight / 2, 6);
}

TEST_F(BitmapBtnPaintTest, TextRectangleOverridesAlignment)
{
    button.m_strCaption = L"HH";
    button.m_nFontHeight = 20;
    button.m_bUseTextRect = true;
    button.m_rcText = RECT{10, 0, 70, kHeight};
    button.m_nAlign = BTN_ALIGN_CENTRE;
    RECT centred = Paint(0)->BoundsOfOthers(kNormal);
    EXPECT_NEAR((centred.left + centred.right) / 2, 40, 3);

    button.m_nAlign = BTN_ALIGN_RIGHT;
    RECT right = Paint(0)->BoundsOfOthers(kNormal);
    EXPECT_LE(right.right, 70);
    EXPECT_GE(right.right, 64);

    button.m_nAlign = 9;  // a single left-aligned line
    RECT other = Paint(0)->BoundsOfOthers(kNormal);
    EXPECT_GE(other.left, 10);
    EXPECT_LE(other.left, 14);
}

struct IndicatorCase {
    const char* label;
    bool selected, hover, greyed;
    UINT itemState;
    COLORREF indicator;
};

TEST_F(BitmapBtnPaintTest, IndicatorChosenByStateUnderCentredCaption)
{
    const IndicatorCase cases[] = {
        {"plain", false, false, false, 0, kRed},
        {"selected", true, false, false, ODS_SELECTED, kRed},
        {"pressed", false, false, false, ODS_SELECTED, kGreen},
        {"hover", false, true, false, 0, kRed},
        {"hover greyed", false, true, true, 0, kRed},
        {"platform-disabled", false, false, false, ODS_DISABLED, kBlue},
        {"greyed", false, false, true, 0, kBlue},
    };
    button.m_strCaption = L"i";
    button.m_nFontHeight = 10;
    button.m_nAlign = BTN_ALIGN_CENTRE;
    button.m_nIndicatorMode = 1;
    for (const IndicatorCase& c : cases) {
        button.m_bSelected = c.selected;
        button.m_bHover = c.hover;
        button.m_bGreyed = c.greyed;
        auto surface = Paint(c.itemState);
        EXPECT_GT(surface->Count(c.indicator), 17 * 17 / 2) << c.label;
        RECT where = surface->Bounds(c.indicator);
        EXPECT_GE(where.top, 9) << c.label;
        EXPECT_LE(where.bottom, 10 + 17 + 1) << c.label;
        EXPECT_NEAR(where.left, kWidth / 2, 4) << c.label;
        for (COLORREF other : {kRed, kGreen, kBlue}) {
            if (other != c.indicator) {
                EXPECT_EQ(surface->Count(other), 0) << c.label;
            }
        }
    }
}

TEST_F(BitmapBtnPaintTest, NoIndicatorWithoutCentredCaptionOrMode1)
{
    struct NoIndicatorCase {
        const char* label;
        const wchar_t* caption;
        int mode, align;
        bool textRect;
    };
    const NoIndicatorCase cases[] = {
        {"empty caption", L"", 1, BTN_ALIGN_CENTRE, false},
        {"left", L"i", 1, BTN_ALIGN_LEFT, false},
        {"right", L"i", 1, BTN_ALIGN_RIGHT, false},
        {"text rectangle", L"i", 1, BTN_ALIGN_CENTRE, true},
        {"mode 2 chooses but does not draw", L"i", 2, BTN_ALIGN_CENTRE, false},
        {"mode 0", L"i", 0, BTN_ALIGN_CENTRE, false},
    };
    for (const NoIndicatorCase& c : cases) {
        button.m_strCaption = c.caption;
        button.m_nIndicatorMode = c.mode;
        button.m_nAlign = c.align;
        button.m_bUseTextRect = c.textRect;
        button.m_rcText = RECT{0, 0, kWidth, kHeight};
        auto surface = Paint(0);
        EXPECT_EQ(surface->Count(kRed), 0) << c.label;
        if (c.caption[0] == L'\0') {
            EXPECT_EQ(surface->Count(kNormal), kWidth * kHeight) << c.label;  // no text either
        }
    }
}

TEST_F(BitmapBtnPaintTest, MissingIndicatorImageDrawsNothing)
{
    skintest::TempProgramFolder empty;
    button.LoadIndicators(empty.Path());
    button.m_strCaption = L"i";
    button.m_nAlign = BTN_ALIGN_CENTRE;
    button.m_nIndicatorMode = 1;
    auto surface = Paint(0);
    EXPECT_EQ(surface->Pixel(kWidth - 1, kHeight - 1), kNormal);
    EXPECT_EQ(surface->Count(kRed), 0);
}

} // namespace

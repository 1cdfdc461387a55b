#include <gtest/gtest.h>

#include "diag.h"
#include "skin_image.h"
#include "skin_test_support.h"

namespace {

using skintest::MakeBitmap;
using skintest::Surface;
using skintest::TempProgramFolder;

COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    qelt::SelectedObject selected(dc.Get(), bitmap);
    return GetPixel(dc.Get(), x, y);
}

TEST(LoadSkinImage, MissingEmptyOrCorruptFileLeavesEmptyBitmap)
{
    TempProgramFolder folder;
    folder.WriteText(L"Skins\\corrupt.bmp", "BM this is not an image at all");
    folder.WriteText(L"Skins\\empty.bmp", "");
    folder.WriteSolidBmp(L"Skins\\good.bmp", 4, 4, RGB(1, 2, 3));

    for (const wchar_t* name : {L"missing.bmp", L"corrupt.bmp", L"empty.bmp", L""}) {
        SkinBitmap bitmap;
        ASSERT_NE(LoadSkinImage(folder.SkinPath(L"good.bmp"), bitmap).cx, 0);  // held something before
        qelt::DiagCapture diagnostics;
        SIZE size = LoadSkinImage(folder.SkinPath(name), bitmap);
        EXPECT_EQ(size.cx, 0) << name;
        EXPECT_EQ(size.cy, 0) << name;
        EXPECT_TRUE(bitmap.Empty()) << name;
        EXPECT_FALSE(diagnostics.Lines().empty()) << name;
    }
}

TEST(LoadSkinImage, DecodesBitmapWithItsSizeAndPixels)
{
    TempProgramFolder folder;
    folder.WriteBmp(L"Skins\\sub\\two.bmp", 7, 5, [](int x, int y) { return x < 3 ? RGB(200, 10, 10) : RGB(10, 20, 200 + y); });
    SkinBitmap bitmap;
    SIZE size = LoadSkinImage(folder.SkinPath(L"sub\\two.bmp"), bitmap);
    EXPECT_EQ(size.cx, 7);
    EXPECT_EQ(size.cy, 5);
    ASSERT_FALSE(bitmap.Empty());
    EXPECT_EQ(PixelOf(bitmap.Get(), 0, 0), RGB(200, 10, 10));
    EXPECT_EQ(PixelOf(bitmap.Get(), 6, 4), RGB(10, 20, 204));
}

TEST(LoadSkinImage, DecodesGif)
{
    // A 5 x 3 GIF filled with RGB(0, 128, 255).
    const std::vector<unsigned char> gif = {
        0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x05, 0x00, 0x03, 0x00, 0xf0, 0x00, 0x00, 0x00, 0x80,
        0xff, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
        0x00, 0x00, 0x05, 0x00, 0x03, 0x00, 0x00, 0x02, 0x03, 0x84, 0x8f, 0x59, 0x00, 0x3b};
    TempProgramFolder folder;
    folder.WriteBytes(L"Skins\\blue.gif", gif);
    SkinBitmap bitmap;
    SIZE size = LoadSkinImage(folder.SkinPath(L"blue.gif"), bitmap);
    EXPECT_EQ(size.cx, 5);
    EXPECT_EQ(size.cy, 3);
    ASSERT_FALSE(bitmap.Empty());
    EXPECT_EQ(PixelOf(bitmap.Get(), 2, 1), RGB(0, 128, 255));
}

// ------------------------------------------------------------------ RegionFromMask

bool Inside(HRGN region, int x, int y) { return PtInRegion(region, x, y) != FALSE; }

TEST(RegionFromMask, OnlyExactWhiteIsOutside)
{
    const COLORREF white = RGB(255, 255, 255);
    // Columns: 0 white, 1 (255,255,254), 2 (254,255,255), 3 (255,254,255), 4 black, 5 white.
    const COLORREF columns[6] = {white, RGB(255, 255, 254), RGB(254, 255, 255), RGB(255, 254, 255), RGB(0, 0, 0), white};
    qelt::UniqueBitmap mask(MakeBitmap(6, 3, [&](int x, int y) { return y == 1 ? white : columns[x]; }));
    qelt::UniqueRegion region = RegionFromMask(mask.Get());
    ASSERT_TRUE(region);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            bool expected = y != 1 && x >= 1 && x <= 4;
            EXPECT_EQ(Inside(region.Get(), x, y), expected) << x << "," << y;
        }
    RECT box{};
    GetRgnBox(region.Get(), &box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 3);
}

TEST(RegionFromMask, ManyRunsAcrossBatchesFormOneRegion)
{
    // A checkerboard of 300 x 30: 150 runs a row, 4500 runs in all (three batches).
    const int width = 300, height = 30;
    auto colour = [](int x, int y) { return ((x + y) % 2 == 0) ? RGB(10, 10, 10) : RGB(255, 255, 255); };
    qelt::UniqueBitmap mask(MakeBitmap(width, height, colour));
    qelt::UniqueRegion region = RegionFromMask(mask.Get());
    ASSERT_TRUE(region);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            wrong += Inside(region.Get(), x, y) != ((x + y) % 2 == 0);
    EXPECT_EQ(wrong, 0);
    // The last run of the last row, which only the final batch adds.
    EXPECT_TRUE(Inside(region.Get(), width - 1, height - 1));
}

TEST(RegionFromMask, RunReachingRowEndAndWholeRows)
{
    qelt::UniqueBitmap mask(MakeBitmap(4, 2, [](int x, int y) { return (y == 0 || x >= 2) ? RGB(0, 0, 0) : RGB(255, 255, 255); }));
    qelt::UniqueRegion region = RegionFromMask(mask.Get());
    ASSERT_TRUE(region);
    for (int x = 0; x < 4; ++x)
        EXPECT_TRUE(Inside(region.Get(), x, 0));
    EXPECT_FALSE(Inside(region.Get(), 1, 1));
    EXPECT_TRUE(Inside(region.Get(), 3, 1));
    EXPECT_FALSE(Inside(region.Get(), 4, 0));
}

TEST(RegionFromMask, AllWhiteGivesEmptyRegionAndNoBitmapGivesNone)
{
    qelt::UniqueBitmap white(MakeBitmap(8, 8, [](int, int) { return RGB(255, 255, 255); }));
    qelt::UniqueRegion region = RegionFromMask(white.Get());
    ASSERT_TRUE(region);
    RECT box{};
    EXPECT_EQ(GetRgnBox(region.Get(), &box), NULLREGION);
    EXPECT_FALSE(RegionFromMask(nullptr));
}

// ------------------------------------------------------------------ CropStateImage

TEST(CropStateImage, CopiesRectangleOfSource)
{
    SkinBitmap source;
    source.AttachBitmap(MakeBitmap(20, 10, [](int x, int y) { return RGB(x * 10, y * 20, 7); }));
    qelt::WindowDc screen(nullptr);
    SkinBitmap target;
    CropStateImage(target, screen.Get(), source, RECT{5, 2, 12, 6});
    ASSERT_FALSE(target.Empty());
    EXPECT_EQ(target.Size().cx, 7);
    EXPECT_EQ(target.Size().cy, 4);
    EXPECT_EQ(PixelOf(target.Get(), 0, 0), RGB(50, 40, 7));
    EXPECT_EQ(PixelOf(target.Get(), 6, 3), RGB(110, 100, 7));
}

TEST(CropStateImage, EmptySourceLeavesTargetAsItWas)
{
    SkinBitmap target;
    target.AttachBitmap(MakeBitmap(3, 3, [](int, int) { return RGB(9, 9, 9); }));
    HBITMAP before = target.Get();
    SkinBitmap empty;
    qelt::WindowDc screen(nullptr);
    CropStateImage(target, screen.Get(), empty, RECT{0, 0, 2, 2});
    EXPECT_EQ(target.Get(), before);
}

} // namespace

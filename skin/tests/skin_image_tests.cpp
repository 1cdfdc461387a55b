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

// ------------------------------------------------------------------ cut images

namespace cut {

constexpr COLORREF kOutside = RGB(7, 7, 7);  // what a surface held before drawing
constexpr COLORREF kBlack = RGB(0, 0, 0);

COLORREF SourcePixel(int x, int y) { return RGB(x * 10 + 5, y * 20 + 5, 77); }

SkinBitmap Source()  // 20 x 10
{
    SkinBitmap source;
    source.AttachBitmap(MakeBitmap(20, 10, SourcePixel));
    return source;
}

// What pixel (x, y) of a cut at rect shows: the source's where it has one, black elsewhere.
COLORREF Expected(const RECT& rect, int x, int y)
{
    const int sx = rect.left + x, sy = rect.top + y;
    return sx >= 0 && sx < 20 && sy >= 0 && sy < 10 ? SourcePixel(sx, sy) : kBlack;
}

struct CutCase {
    const char* label;
    RECT rect;
};

const CutCase kCutCases[] = {
    {"inside", {5, 2, 12, 6}},
    {"whole source", {0, 0, 20, 10}},
    {"beyond right and bottom", {15, 7, 25, 14}},
    {"beyond left and top", {-3, -2, 4, 3}},
    {"all outside", {30, 30, 34, 33}},
};

TEST(SkinBitmapCut, ShowsItsRectangleOfTheSourceBlackWhereTheSourceEnds)
{
    SkinBitmap source = Source();
    for (const CutCase& c : kCutCases) {
        SkinBitmap image;
        image.ShowRectOf(source, c.rect);
        const int width = c.rect.right - c.rect.left, height = c.rect.bottom - c.rect.top;
        ASSERT_EQ(image.Size().cx, width) << c.label;
        ASSERT_EQ(image.Size().cy, height) << c.label;

        // Drawn, into an area larger than the image: the rest keeps what it had.
        Surface drawn(width + 3, height + 2, kOutside);
        image.CopyTo(drawn.Dc(), SIZE{width + 3, height + 2});
        // Its own bitmap, as Get() gives it for selecting into a DC.
        Surface own(width, height, kOutside);
        {
            qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
            qelt::SelectedObject selected(dc.Get(), image.Get());
            BitBlt(own.Dc(), 0, 0, width, height, dc.Get(), 0, 0, SRCCOPY);
        }
        int wrong = 0;
        for (int y = 0; y < height + 2; ++y)
            for (int x = 0; x < width + 3; ++x) {
                const bool inImage = x < width && y < height;
                wrong += drawn.Pixel(x, y) != (inImage ? Expected(c.rect, x, y) : kOutside);
                if (inImage)
                    wrong += own.Pixel(x, y) != Expected(c.rect, x, y);
            }
        EXPECT_EQ(wrong, 0) << c.label;
    }
}

TEST(SkinBitmapCut, DrawsAtMostTheAreaAsked)
{
    SkinBitmap source = Source();
    SkinBitmap image;
    image.ShowRectOf(source, RECT{2, 1, 12, 9});
    Surface surface(10, 8, kOutside);
    image.CopyTo(surface.Dc(), SIZE{4, 3});
    EXPECT_EQ(surface.BoundsOfOthers(kOutside).right, 4);
    EXPECT_EQ(surface.BoundsOfOthers(kOutside).bottom, 3);
    EXPECT_EQ(surface.Pixel(3, 2), SourcePixel(5, 3));
}

TEST(SkinBitmapCut, CutOfACutEndsWhereTheFirstCutEnds)
{
    SkinBitmap source = Source();
    SkinBitmap first;
    first.ShowRectOf(source, RECT{4, 2, 10, 6});  // 6 x 4
    SkinBitmap second;
    second.ShowRectOf(first, RECT{3, 1, 9, 5});  // reaches 3 columns and 1 row beyond the first
    Surface surface(6, 4, kOutside);
    second.CopyTo(surface.Dc(), SIZE{6, 4});
    EXPECT_EQ(surface.Pixel(0, 0), SourcePixel(7, 3));
    EXPECT_EQ(surface.Pixel(2, 2), SourcePixel(9, 5));
    EXPECT_EQ(surface.Pixel(3, 0), kBlack);  // the source has pixels there, the first cut has not
    EXPECT_EQ(surface.Pixel(0, 3), kBlack);

    first.ShowRectOf(first, RECT{1, 1, 3, 3});  // a cut of itself
    Surface again(2, 2, kOutside);
    first.CopyTo(again.Dc(), SIZE{2, 2});
    EXPECT_EQ(again.Pixel(0, 0), SourcePixel(5, 3));
}

TEST(SkinBitmapCut, OutlivesItsSourceAndNegativeSizeLeavesItEmpty)
{
    SkinBitmap image;
    {
        SkinBitmap source = Source();
        image.ShowRectOf(source, RECT{1, 1, 3, 3});
        source.Reset();
    }
    Surface surface(2, 2, kOutside);
    image.CopyTo(surface.Dc(), SIZE{2, 2});
    EXPECT_EQ(surface.Pixel(1, 1), SourcePixel(2, 2));

    SkinBitmap source = Source();
    for (RECT rect : {RECT{5, 5, 4, 8}, RECT{5, 5, 8, 2}}) {
        SkinBitmap cut;
        cut.ShowRectOf(source, RECT{0, 0, 2, 2});
        qelt::DiagCapture diagnostics;
        cut.ShowRectOf(source, rect);
        EXPECT_TRUE(cut.Empty());
        EXPECT_FALSE(diagnostics.Lines().empty());
    }
}

TEST(CopySkinImage, CopyIsItsOwnToDrawOn)
{
    SkinBitmap source = Source();
    SkinBitmap cut;
    cut.ShowRectOf(source, RECT{0, 0, 4, 4});
    SkinBitmap copy;
    CopySkinImage(copy, source);
    ASSERT_EQ(copy.Size().cx, 20);
    EXPECT_EQ(PixelOf(copy.Get(), 19, 9), SourcePixel(19, 9));
    {
        qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        qelt::SelectedObject selected(dc.Get(), copy.Get());
        RECT all{0, 0, 20, 10};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    EXPECT_EQ(PixelOf(source.Get(), 1, 1), SourcePixel(1, 1));
    Surface surface(4, 4, kOutside);
    cut.CopyTo(surface.Dc(), SIZE{4, 4});
    EXPECT_EQ(surface.Pixel(1, 1), SourcePixel(1, 1));

    SkinBitmap empty;
    CopySkinImage(copy, empty);
    EXPECT_TRUE(copy.Empty());
}

} // namespace cut

TEST(SkinImageReader, OneReaderLoadsImagesOfAnySizeInTurn)
{
    TempProgramFolder folder;
    folder.WriteBmp(L"Skins\\a.bmp", 7, 5, [](int x, int y) { return RGB(x, y, 1); });
    folder.WriteSolidBmp(L"Skins\\b.bmp", 7, 5, RGB(9, 8, 7));
    folder.WriteSolidBmp(L"Skins\\small.bmp", 3, 2, RGB(200, 100, 50));
    folder.WriteText(L"Skins\\corrupt.bmp", "no image format starts like this");
    struct LoadCase {
        const wchar_t* name;
        LONG width, height;
        COLORREF corner;  // pixel (width - 1, height - 1)
    };
    const LoadCase cases[] = {
        {L"a.bmp", 7, 5, RGB(6, 4, 1)},        {L"b.bmp", 7, 5, RGB(9, 8, 7)},
        {L"corrupt.bmp", 0, 0, 0},             {L"small.bmp", 3, 2, RGB(200, 100, 50)},
        {L"missing.bmp", 0, 0, 0},             {L"a.bmp", 7, 5, RGB(6, 4, 1)},
    };
    SkinImageReader reader;
    std::vector<SkinBitmap> images(std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        qelt::DiagCapture quiet;
        SIZE size = reader.Load(folder.SkinPath(cases[i].name), images[i]);
        EXPECT_EQ(size.cx, cases[i].width) << i;
        EXPECT_EQ(size.cy, cases[i].height) << i;
    }
    // Each keeps its own pixels after the reader went on to the next file.
    for (size_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].width == 0) {
            EXPECT_TRUE(images[i].Empty()) << i;
            continue;
        }
        EXPECT_EQ(PixelOf(images[i].Get(), cases[i].width - 1, cases[i].height - 1), cases[i].corner) << i;
    }
}

// ------------------------------------------------------------------ bitmap files read directly

namespace direct {

constexpr COLORREF kOutside = RGB(7, 7, 7);
constexpr int kWidth = 7, kHeight = 5;  // 24-bit rows of 7 pixels carry 3 bytes of padding

COLORREF FilePixel(int x, int y) { return RGB(x * 30 + 1, y * 40 + 2, 200 - x - y); }

struct LayoutCase {
    const char* label;
    int bits;
    bool topDown;
};

const LayoutCase kLayouts[] = {
    {"24-bit bottom-up", 24, false},
    {"24-bit top-down", 24, true},
    {"32-bit bottom-up", 32, false},
    {"32-bit top-down", 32, true},
};

std::wstring LayoutFile(const TempProgramFolder& folder, const LayoutCase& layout, const std::wstring& name,
                        int width, int height, const std::function<COLORREF(int, int)>& colour)
{
    const std::wstring file = name + L"_" + std::to_wstring(layout.bits) + (layout.topDown ? L"_td.bmp" : L"_bu.bmp");
    folder.WriteBytes(L"Skins\\" + file, skintest::BmpFileBytes(width, height, colour, layout.bits, layout.topDown));
    return folder.SkinPath(file);
}

TEST(SkinImageReader, ReadsUncompressedBitmapsOfEveryRowLayoutAtOnceOrWhenFirstDrawn)
{
    TempProgramFolder folder;
    const RECT cutRect{2, 1, 6, 4};
    for (const LayoutCase& c : kLayouts)
        for (bool onFirstUse : {false, true}) {
            const std::wstring path = LayoutFile(folder, c, onFirstUse ? L"later" : L"now", kWidth, kHeight, FilePixel);
            qelt::DiagCapture diagnostics;
            SkinImageReader reader;
            SkinBitmap image;
            const SIZE size = onFirstUse ? reader.LoadOnFirstUse(path, image) : reader.Load(path, image);
            ASSERT_EQ(size.cx, kWidth) << c.label << " on first use " << onFirstUse;
            ASSERT_EQ(size.cy, kHeight) << c.label << " on first use " << onFirstUse;

            // A cut is drawn first: it alone has to bring the pixels in.
            SkinBitmap cut;
            cut.ShowRectOf(image, cutRect);
            Surface part(4, 3, kOutside);
            cut.CopyTo(part.Dc(), SIZE{4, 3});
            Surface whole(kWidth, kHeight, kOutside);
            image.CopyTo(whole.Dc(), SIZE{kWidth, kHeight});
            int wrong = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    wrong += whole.Pixel(x, y) != FilePixel(x, y);
                    wrong += PixelOf(image.Get(), x, y) != FilePixel(x, y);
                    if (x < 4 && y < 3)
                        wrong += part.Pixel(x, y) != FilePixel(x + cutRect.left, y + cutRect.top);
                }
            EXPECT_EQ(wrong, 0) << c.label << " on first use " << onFirstUse;
            EXPECT_TRUE(diagnostics.Lines().empty()) << c.label << " on first use " << onFirstUse;
        }
}

TEST(SkinImageReader, BitmapsWithAColourTableStillGoThroughThePictureDecoder)
{
    // 3 x 2, 8 bits a pixel, two colours: the top row 0 1 0, the bottom row 1 1 0.
    const COLORREF colours[2] = {RGB(10, 20, 30), RGB(250, 128, 3)};
    const BYTE rows[2][4] = {{1, 1, 0, 0}, {0, 1, 0, 0}};  // bottom row first, padded to 4 bytes
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = 3;
    info.biHeight = 2;
    info.biPlanes = 1;
    info.biBitCount = 8;
    info.biCompression = BI_RGB;
    info.biClrUsed = 2;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info) + 2 * sizeof(RGBQUAD);
    file.bfSize = file.bfOffBits + sizeof(rows);
    std::vector<unsigned char> bytes(file.bfSize, 0);
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    for (int i = 0; i < 2; ++i) {
        const RGBQUAD entry{GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
        memcpy(bytes.data() + sizeof(file) + sizeof(info) + i * sizeof(RGBQUAD), &entry, sizeof(entry));
    }
    memcpy(bytes.data() + file.bfOffBits, rows, sizeof(rows));
    TempProgramFolder folder;
    folder.WriteBytes(L"Skins\\paletted.bmp", bytes);

    SkinImageReader reader;
    SkinBitmap image;
    const SIZE size = reader.LoadOnFirstUse(folder.SkinPath(L"paletted.bmp"), image);
    ASSERT_EQ(size.cx, 3);
    ASSERT_EQ(size.cy, 2);
    Surface drawn(3, 2, RGB(7, 7, 7));
    image.CopyTo(drawn.Dc(), SIZE{3, 2});
    EXPECT_EQ(drawn.Pixel(0, 0), colours[0]);
    EXPECT_EQ(drawn.Pixel(1, 0), colours[1]);
    EXPECT_EQ(drawn.Pixel(2, 0), colours[0]);
    EXPECT_EQ(drawn.Pixel(0, 1), colours[1]);
    EXPECT_EQ(drawn.Pixel(2, 1), colours[0]);
}

TEST(RegionFromMask, RowsAlikeMakeOneBandAndEveryMaskLayoutGivesTheSameOutline)
{
    // Rows 0-2: columns 2-7; rows 3-5: columns 0-2 and 5-9; rows 6-8: columns 2-7 again; row 9
    // all white.
    auto inside = [](int x, int y) {
        if (y <= 2 || (y >= 6 && y <= 8))
            return x >= 2 && x <= 7;
        if (y <= 5)
            return x <= 2 || x >= 5;
        return false;
    };
    auto colour = [&inside](int x, int y) { return inside(x, y) ? RGB(0, 0, 0) : RGB(255, 255, 255); };
    auto wrongPixels = [&inside](HRGN region) {
        int wrong = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                wrong += (PtInRegion(region, x, y) != FALSE) != (x < 10 && y < 10 && inside(x, y));
        RECT box{};
        GetRgnBox(region, &box);
        const RECT expectedBox{0, 0, 10, 9};
        return wrong + !EqualRect(&box, &expectedBox);
    };

    // A bitmap of the platform's is copied before it is scanned.
    qelt::UniqueBitmap bitmap(MakeBitmap(10, 10, colour));
    qelt::UniqueRegion fromBitmap = RegionFromMask(bitmap.Get());
    ASSERT_TRUE(fromBitmap);
    EXPECT_EQ(wrongPixels(fromBitmap.Get()), 0) << "platform bitmap";

    // A mask read from a file is scanned where its rows lie, whichever way they are stored.
    TempProgramFolder folder;
    for (const direct::LayoutCase& c : direct::kLayouts) {
        SkinImageReader reader;
        SkinBitmap mask;
        reader.LoadOnFirstUse(direct::LayoutFile(folder, c, L"mask", 10, 10, colour), mask);
        qelt::UniqueRegion region = RegionFromMask(mask);
        ASSERT_TRUE(region) << c.label;
        EXPECT_EQ(wrongPixels(region.Get()), 0) << c.label;
    }
    SkinBitmap empty;
    EXPECT_FALSE(RegionFromMask(empty));
}

} // namespace direct

namespace cut {

TEST(SkinBitmapCut, ItsOwnBitmapIsWhatItDrawsFromOnceMade)
{
    SkinBitmap source = Source();
    SkinBitmap cut, other;
    cut.ShowRectOf(source, RECT{0, 0, 4, 4});
    other.ShowRectOf(source, RECT{0, 0, 4, 4});
    {
        qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        qelt::SelectedObject selected(dc.Get(), cut.Get());
        RECT all{0, 0, 4, 4};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    Surface drawn(4, 4, kOutside);
    cut.CopyTo(drawn.Dc(), SIZE{4, 4});
    EXPECT_EQ(drawn.Pixel(1, 1), RGB(255, 255, 255));
    Surface shared(4, 4, kOutside);
    other.CopyTo(shared.Dc(), SIZE{4, 4});
    EXPECT_EQ(shared.Pixel(1, 1), SourcePixel(1, 1));
}

} // namespace cut

TEST(RegionFromMask, TallMaskReadFromItsFileInBlocksGivesTheSameOutline)
{
    // 40 x 1500: the rows take several blocks to read; bands of 100 rows, whose edges fall inside
    // blocks and across their ends.
    auto colour = [](int x, int y) { return x < 10 + (y / 100) % 20 ? RGB(0, 0, 0) : RGB(255, 255, 255); };
    qelt::UniqueBitmap bitmap(MakeBitmap(40, 1500, colour));
    qelt::UniqueRegion expected = RegionFromMask(bitmap.Get());
    ASSERT_TRUE(expected);
    TempProgramFolder folder;
    for (const direct::LayoutCase& c : direct::kLayouts)
        for (bool onFirstUse : {true, false}) {
            const std::wstring path = direct::LayoutFile(folder, c, onFirstUse ? L"tall_later" : L"tall_now", 40, 1500, colour);
            SkinImageReader reader;
            SkinBitmap mask;
            if (onFirstUse)
                reader.LoadOnFirstUse(path, mask);
            else
                reader.Load(path, mask);
            qelt::UniqueRegion region = RegionFromMask(mask);
            ASSERT_TRUE(region) << c.label;
            EXPECT_TRUE(EqualRgn(region.Get(), expected.Get())) << c.label << " on first use " << onFirstUse;
        }
}

TEST(SkinImageReader, BitmapFilesCutShortAreFoundWhenOpenedAndLoadNothing)
{
    // A damaged copy of a skin image: the header is whole, the pixels stop early. Read as it
    // was, the window showed black where the pixels were missing.
    const auto pixel = [](int x, int y) { return RGB(x * 9, y * 13, 200); };
    struct CutCase {
        const char* label;
        std::vector<unsigned char> bytes;
    };
    const std::vector<unsigned char> bottomUp24 = skintest::BmpFileBytes(30, 20, pixel, 24, false);
    const std::vector<unsigned char> topDown32 = skintest::BmpFileBytes(30, 20, pixel, 32, true);
    std::vector<unsigned char> paletted(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD) + 8);
    {
        // 8 bits a pixel, 16 x 16, announced whole: 256 bytes of rows; only 8 are there.
        BITMAPFILEHEADER file{};
        BITMAPINFOHEADER info{};
        info.biSize = sizeof(info);
        info.biWidth = 16;
        info.biHeight = 16;
        info.biPlanes = 1;
        info.biBitCount = 8;
        info.biClrUsed = 2;
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(info) + 2 * sizeof(RGBQUAD);
        file.bfSize = file.bfOffBits + 256;
        memcpy(paletted.data(), &file, sizeof(file));
        memcpy(paletted.data() + sizeof(file), &info, sizeof(info));
    }
    const CutCase cases[] = {
        {"24 bits, half the file", {bottomUp24.begin(), bottomUp24.begin() + bottomUp24.size() / 2}},
        {"32 bits top-down, one byte short", {topDown32.begin(), topDown32.end() - 1}},
        {"24 bits, headers only", {bottomUp24.begin(), bottomUp24.begin() + 54}},
        {"8 bits with a colour table, rows short", paletted},
    };
    TempProgramFolder folder;
    for (const CutCase& c : cases)
        for (bool onFirstUse : {false, true}) {
            folder.WriteBytes(L"Skins\\cut.bmp", c.bytes);
            qelt::DiagCapture diagnostics;
            SkinImageReader reader;
            SkinBitmap image;
            const std::wstring path = folder.SkinPath(L"cut.bmp");
            const SIZE size = onFirstUse ? reader.LoadOnFirstUse(path, image) : reader.Load(path, image);
            EXPECT_EQ(size.cx, 0) << c.label << " on first use " << onFirstUse;
            EXPECT_EQ(size.cy, 0) << c.label << " on first use " << onFirstUse;
            EXPECT_TRUE(image.Empty()) << c.label << " on first use " << onFirstUse;
            EXPECT_TRUE(diagnostics.Contains(L"cut short")) << c.label << " on first use " << onFirstUse;
        }

    // Bytes after the pixels are no damage: the image loads whole.
    std::vector<unsigned char> padded = bottomUp24;
    padded.resize(padded.size() + 100, 0xEE);
    folder.WriteBytes(L"Skins\\padded.bmp", padded);
    SkinImageReader reader;
    SkinBitmap image;
    const SIZE size = reader.LoadOnFirstUse(folder.SkinPath(L"padded.bmp"), image);
    EXPECT_EQ(size.cx, 30);
    EXPECT_EQ(size.cy, 20);
    EXPECT_EQ(PixelOf(image.Get(), 29, 19), pixel(29, 19));
}

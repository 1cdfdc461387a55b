// The skinned list box, delay field and value bar as real controls (needs a display).
#include <gtest/gtest.h>

#include "controls.h"
#include "skin_host_window.h"
#include "skin_test_support.h"

namespace {

using skintest::HostWindow;
using skintest::MakeBitmap;
using skintest::Surface;

std::wstring TextOf(HWND window)
{
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

TEST(CEditEx, KeyReleaseCapsValueAt6375)
{
    HostWindow host;
    CEditEx edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_NUMBER, RECT{0, 0, 80, 20}, host.Window(), 1001));
    SendMessageW(edit.Window(), EM_LIMITTEXT, 5, 0);
    struct EditCase {
        const wchar_t* typed;
        const wchar_t* after;
    };
    for (EditCase c : {EditCase{L"6376", L"6375"}, EditCase{L"6375", L"6375"}, EditCase{L"0123", L"0123"},
                       EditCase{L"99999", L"6375"}, EditCase{L"", L""}}) {
        SetWindowTextW(edit.Window(), c.typed);
        EXPECT_EQ(TextOf(edit.Window()), c.typed);  // nothing happens before a key is released
        SendMessageW(edit.Window(), WM_KEYUP, '6', 0);
        EXPECT_EQ(TextOf(edit.Window()), c.after) << c.typed;
    }
}

// ------------------------------------------------------------------ value bar

constexpr COLORREF kTrack = RGB(20, 20, 20);
constexpr COLORREF kFill = RGB(200, 100, 0);

class MarkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(marker.Create(kRect, host.Window()));
        SkinBitmap track, fill;
        track.AttachBitmap(MakeBitmap(300, 200, [](int, int) { return kTrack; }));
        fill.AttachBitmap(MakeBitmap(300, 200, [](int, int) { return kFill; }));
        marker.SetImages(track, fill, kRect);
        ReleaseCapture();
    }
    void TearDown() override { ReleaseCapture(); }

    void Send(UINT message, int x) { SendMessageW(marker.Window(), message, MK_LBUTTON, MAKELPARAM(x, 4)); }

    static constexpr RECT kRect{40, 50, 140, 60};  // W = 100
    HostWindow host;
    CDMarker marker;
};

TEST_F(MarkerTest, CreatedWithDefaults)
{
    EXPECT_EQ(marker.m_range.nMin, 0);
    EXPECT_EQ(marker.m_range.nMax, 10);
    EXPECT_EQ(marker.m_range.nValue, 0);
    EXPECT_TRUE(marker.m_bDraggable);
    EXPECT_EQ(GetDlgCtrlID(marker.Window()), 0);
    EXPECT_TRUE(GetWindowLongPtrW(marker.Window(), GWL_STYLE) & WS_TABSTOP);
    RECT rect{};
    GetWindowRect(marker.Window(), &rect);
    MapWindowPoints(nullptr, host.Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.right, 140);
}

TEST_F(MarkerTest, PaintsFilledPartOfBar)
{
    struct PaintCase {
        int value;
        int filled;
    };
    for (PaintCase c : {PaintCase{5, 50}, PaintCase{0, 0}, PaintCase{10, 100}, PaintCase{3, 30}}) {
        marker.m_range.nValue = c.value;
        Surface surface(100, 10, RGB(7, 7, 7));
        marker.Paint(surface.Dc());
        EXPECT_EQ(surface.Count(kFill), c.filled * 10) << c.value;
        EXPECT_EQ(surface.Count(kTrack), (100 - c.filled) * 10) << c.value;
    }
}

TEST_F(MarkerTest, EmptyImagesDrawNothing)
{
    marker.m_bmpTrack.Reset();
    marker.m_bmpFill.Reset();
    marker.m_range.nValue = 5;
    Surface surface(100, 10, RGB(7, 7, 7));
    marker.Paint(surface.Dc());
    EXPECT_EQ(surface.Count(RGB(7, 7, 7)), 1000);
}

TEST_F(MarkerTest, DragSetsValueFromPointer)
{
    Send(WM_LBUTTONDOWN, 10);
    EXPECT_TRUE(marker.m_bDragging);
    EXPECT_EQ(GetCapture(), marker.Window());
    Send(WM_MOUSEMOVE, 77);
    EXPECT_EQ(marker.m_range.nValue, 7);
    Send(WM_LBUTTONUP, 37);
    EXPECT_EQ(marker.m_range.nValue, 3);
    EXPECT_FALSE(marker.m_bDragging);
    EXPECT_NE(GetCapture(), marker.Window());
    Send(WM_MOUSEMOVE, 90);  // no drag any more
    EXPECT_EQ(marker.m_range.nValue, 3);
}

TEST_F(MarkerTest, ReleaseOutsideBarGivesRangeEnds)
{
    struct EndCase {
        int x;
        int value;
    };
    for (EndCase c : {EndCase{-30, 0}, EndCase{250, 10}}) {
        marker.m_range.nValue = 5;
        Send(WM_LBUTTONDOWN, 50);
        Send(WM_LBUTTONUP, c.x);
        EXPECT_EQ(marker.m_range.nValue, c.value) << c.x;
    }
}

TEST_F(MarkerTest, NotDraggableIgnoresMouse)
{
    marker.m_bDraggable = false;
    marker.m_range.nValue = 4;
    Send(WM_LBUTTONDOWN, 90);
    Send(WM_MOUSEMOVE, 90);
    Send(WM_LBUTTONUP, 90);
    EXPECT_EQ(marker.m_range.nValue, 4);
    EXPECT_NE(GetCapture(), marker.Window());
}

TEST_F(MarkerTest, LosingCaptureOrFocusEndsDrag)
{
    Send(WM_LBUTTONDOWN, 10);
    SetCapture(host.Window());
    EXPECT_FALSE(marker.m_bDragging);
    EXPECT_EQ(GetCapture(), host.Window());  // the new holder keeps it
    Send(WM_MOUSEMOVE, 90);
    EXPECT_EQ(marker.m_range.nValue, 0);

    Send(WM_LBUTTONDOWN, 10);
    SendMessageW(marker.Window(), WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(marker.m_bDragging);
}

// ------------------------------------------------------------------ list box

constexpr COLORREF kListFill = RGB(30, 40, 50);
constexpr COLORREF kSelectedFill = RGB(200, 10, 10);

class ListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS,
                                RECT{0, 0, 150, 100}, host.Window(), 1002));
        list.m_crSelectedBackground = kSelectedFill;
        list.SetBackground(kListFill);
        for (const wchar_t* line : {L"Key down A", L"Delay 100 ms", L"Key up A"})
            SendMessageW(list.Window(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    }

    std::unique_ptr<Surface> Draw(UINT itemId, UINT action, UINT state)
    {
        auto surface = std::make_unique<Surface>(150, 14, RGB(7, 7, 7));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.CtlID = 1002;
        item.itemID = itemId;
        item.itemAction = action;
        item.itemState = state;
        item.hwndItem = list.Window();
        item.hDC = surface->Dc();
        item.rcItem = RECT{0, 0, 150, 14};
        LRESULT result = 0;
        EXPECT_TRUE(ReflectToSkinControls(host.Window(), WM_DRAWITEM, 1002, reinterpret_cast<LPARAM>(&item), result));
        return surface;
    }

    HostWindow host;
    CListBoxEx list;
};

TEST_F(ListTest, EveryItemGetsTheItemHeight)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(SendMessageW(list.Window(), LB_GETITEMHEIGHT, WPARAM(i), 0), 14) << i;
}

TEST_F(ListTest, ItemFillByStateAndReason)
{
    struct FillCase {
        const char* label;
        UINT itemId, action, state;
        COLORREF corner;  // the item's far corner, where no text reaches
    };
    const FillCase cases[] = {
        {"selected, drawn whole", 0, ODA_DRAWENTIRE, ODS_SELECTED, kSelectedFill},
        {"selection gained", 0, ODA_SELECT, ODS_SELECTED, kSelectedFill},
        {"selection lost", 0, ODA_SELECT, 0, kListFill},
        {"focus left a selected item", 0, ODA_FOCUS, ODS_SELECTED, kSelectedFill},
        {"plain item drawn whole", 0, ODA_DRAWENTIRE, 0, RGB(7, 7, 7)},
        {"empty list", UINT(-1), ODA_DRAWENTIRE, ODS_SELECTED, RGB(7, 7, 7)},
    };
    for (const FillCase& c : cases) {
        auto surface = Draw(c.itemId, c.action, c.state);
        EXPECT_EQ(surface->Pixel(149, 13), c.corner) << c.label;
    }
    auto empty = Draw(UINT(-1), ODA_DRAWENTIRE, 0);
    EXPECT_EQ(empty->Count(RGB(7, 7, 7)), 150 * 14);
}

TEST_F(ListTest, DrawingSetsHorizontalExtentFromWidestItem)
{
    Draw(0, ODA_DRAWENTIRE, 0);
    LRESULT before = SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0);
    EXPECT_GT(before, 0);
    SendMessageW(list.Window(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"A much longer line than any other one"));
    Draw(0, ODA_DRAWENTIRE, 0);
    const LRESULT longest = SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0);
    EXPECT_GT(longest, before);

    // A narrower item removed leaves the extent; the widest one removed must shrink it again.
    SendMessageW(list.Window(), LB_DELETESTRING, 0, 0);
    Draw(0, ODA_DRAWENTIRE, 0);
    EXPECT_EQ(SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0), longest);
    const LRESULT last = SendMessageW(list.Window(), LB_GETCOUNT, 0, 0) - 1;
    SendMessageW(list.Window(), LB_DELETESTRING, WPARAM(last), 0);
    Draw(0, ODA_DRAWENTIRE, 0);
    EXPECT_EQ(SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0), before);
    SendMessageW(list.Window(), LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L"A much longer line than any other one"));
    Draw(0, ODA_DRAWENTIRE, 0);
    EXPECT_EQ(SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0), longest);
    SendMessageW(list.Window(), LB_RESETCONTENT, 0, 0);
    SendMessageW(list.Window(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"i"));
    Draw(0, ODA_DRAWENTIRE, 0);
    EXPECT_LT(SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0), before);
}

TEST_F(ListTest, HorizontalExtentFollowsTheFontAndReturnsWhenChangedElsewhere)
{
    auto extentAfterDraw = [this] {
        Draw(0, ODA_DRAWENTIRE, 0);
        return SendMessageW(list.Window(), LB_GETHORIZONTALEXTENT, 0, 0);
    };
    const LRESULT systemFont = extentAfterDraw();
    SendMessageW(list.Window(), LB_SETHORIZONTALEXTENT, 5, 0);  // changed behind the list's back
    EXPECT_EQ(extentAfterDraw(), systemFont);

    qelt::UniqueFont large(CreateFontW(40, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, L"AvenirLTStd-Light"));
    SendMessageW(list.Window(), WM_SETFONT, reinterpret_cast<WPARAM>(large.Get()), FALSE);
    EXPECT_GT(extentAfterDraw(), systemFont);
    SendMessageW(list.Window(), WM_SETFONT, 0, FALSE);
    EXPECT_EQ(extentAfterDraw(), systemFont);
}

TEST_F(ListTest, KeyboardDoesNotMoveSelection)
{
    SendMessageW(list.Window(), LB_SETCURSEL, 0, 0);
    SendMessageW(list.Window(), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(list.Window(), WM_KEYUP, VK_DOWN, 0);
    EXPECT_EQ(SendMessageW(list.Window(), LB_GETCURSEL, 0, 0), 0);
}

TEST_F(ListTest, BackgroundBrushFollowsEnabledState)
{
    LRESULT result = 0;
    HDC dc = GetDC(list.Window());
    ASSERT_TRUE(ReflectToSkinControls(host.Window(), WM_CTLCOLORLISTBOX, WPARAM(dc), LPARAM(list.Window()), result));
    LOGBRUSH brush{};
    GetObjectW(reinterpret_cast<HBRUSH>(result), sizeof(brush), &brush);
    EXPECT_EQ(brush.lbColor, kListFill);

    EnableWindow(list.Window(), FALSE);
    ASSERT_TRUE(ReflectToSkinControls(host.Window(), WM_CTLCOLORLISTBOX, WPARAM(dc), LPARAM(list.Window()), result));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(result), GetSysColorBrush(COLOR_INACTIVEBORDER));
    ReleaseDC(list.Window(), dc);
}

TEST_F(ListTest, MeasureItemAnsweredForListById)
{
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_LISTBOX;
    measure.CtlID = 1002;
    measure.itemHeight = 99;
    LRESULT result = 0;
    EXPECT_TRUE(ReflectToSkinControls(host.Window(), WM_MEASUREITEM, 1002, reinterpret_cast<LPARAM>(&measure), result));
    EXPECT_EQ(measure.itemHeight, 14u);
    measure.CtlID = 5;
    EXPECT_FALSE(ReflectToSkinControls(host.Window(), WM_MEASUREITEM, 5, reinterpret_cast<LPARAM>(&measure), result));
}

} // namespace

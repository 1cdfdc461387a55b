// Skinned windows and bitmap buttons as real windows (needs a display: Xvfb in the test run).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "skin_host_window.h"
#include "skin_test_support.h"

namespace {

using skintest::HostWindow;
using skintest::Surface;
using skintest::TempProgramFolder;

constexpr COLORREF kOver = RGB(0, 90, 0);
constexpr COLORREF kDown = RGB(0, 0, 90);
constexpr COLORREF kDisabled = RGB(90, 90, 0);

// Main image: a gradient, so a cut image shows where it was cut from.
COLORREF MainPixel(int x, int y) { return RGB(x, y, 33); }

class SkinnedWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.WriteText(L"Skins\\test_skin.ini",
                         "[SCREEN]\r\nMask=t\\mask.bmp\r\nMain=t\\main.bmp\r\nDown=t\\down.bmp\r\n"
                         "Over=t\\over.bmp\r\nDisabled=t\\disabled.bmp\r\nNotext=t\\notext.bmp\r\n"
                         "[BUTTONINFO]\r\n1=First,10,10,40,20,Tip one,TRUE\r\n2=Second,60,10,40,20,Tip two,FALSE\r\n");
        // The left 5 columns of the mask are white: outside the window.
        folder.WriteBmp(L"Skins\\t\\mask.bmp", 120, 80, [](int x, int) { return x < 5 ? RGB(255, 255, 255) : RGB(0, 0, 0); });
        folder.WriteBmp(L"Skins\\t\\main.bmp", 120, 80, MainPixel);
        folder.WriteSolidBmp(L"Skins\\t\\down.bmp", 120, 80, kDown);
        folder.WriteSolidBmp(L"Skins\\t\\over.bmp", 120, 80, kOver);
        folder.WriteSolidBmp(L"Skins\\t\\disabled.bmp", 110, 70, kDisabled);
        folder.WriteSolidBmp(L"Skins\\t\\notext.bmp", 90, 60, RGB(1, 1, 1));
        folder.WriteText(L"Skins\\main.ini", "[SCREEN]\r\nRed=none.png\r\n");
        ASSERT_NE(host.Window(), nullptr);
    }

    void LoadSkin(bool withNotext = false)
    {
        CSkinFile file(folder.Path(), L"test_skin.ini");
        host.Skin().LoadScreen(host.Window(), file, withNotext);
        first = host.Skin().AddButton(file, SKIN_BUTTONINFO, 1);
        second = host.Skin().AddButton(file, SKIN_BUTTONINFO, 2);
        host.Skin().ApplyRegion();
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
    }

    static RECT WindowRectOf(HWND window)
    {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }

    TempProgramFolder folder;
    HostWindow host;
    CBitmapBtn* first = nullptr;
    CBitmapBtn* second = nullptr;
};

TEST_F(SkinnedWindowTest, WindowMovesToOriginSizedToLastImageLoaded)
{
    struct SizeCase {
        bool withNotext;
        LONG width, height;
    };
    // Disabled is smaller, but Main is loaded again after it; Notext comes last of all.
    for (SizeCase c : {SizeCase{false, 120, 80}, SizeCase{true, 90, 60}}) {
        host.Skin().LoadScreen(host.Window(), CSkinFile(folder.Path(), L"test_skin.ini"), c.withNotext);
        RECT rect = WindowRectOf(host.Window());
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, 0);
        EXPECT_EQ(rect.right - rect.left, c.width) << c.withNotext;
        EXPECT_EQ(rect.bottom - rect.top, c.height) << c.withNotext;
    }
    EXPECT_EQ(host.Skin().m_bmpDisabled.Size().cx, 110);
}

TEST_F(SkinnedWindowTest, ImagesThatDoNotLoadLeaveTheSizeOfTheLastThatDid)
{
    // A Notext image missing or undecodable made a 0 x 0 window that nobody could see or use.
    struct DamageCase {
        const wchar_t* skinFile;
        const char* notextLine;  // the "Notext" entry of the skin
    };
    folder.WriteText(L"Skins\\t\\garbage.bmp", "not an image at all, only words");
    std::vector<unsigned char> cut = skintest::BmpFileBytes(90, 60, [](int, int) { return RGB(1, 1, 1); });
    cut.resize(cut.size() / 2);
    skintest::WriteFileBytes(folder.SkinPath(L"t\\cut.bmp"), cut);
    for (DamageCase c : {DamageCase{L"missing_skin.ini", "Notext=t\\absent.bmp"},
                         DamageCase{L"undecodable_skin.ini", "Notext=t\\garbage.bmp"},
                         DamageCase{L"truncated_skin.ini", "Notext=t\\cut.bmp"},
                         DamageCase{L"no_entry_skin.ini", ""}}) {
        folder.WriteText(std::wstring(L"Skins\\") + c.skinFile,
                         std::string("[SCREEN]\r\nMask=t\\mask.bmp\r\nMain=t\\main.bmp\r\nDown=t\\down.bmp\r\n"
                                     "Over=t\\over.bmp\r\nDisabled=t\\disabled.bmp\r\n") +
                             c.notextLine + "\r\n");
        host.Skin().LoadScreen(host.Window(), CSkinFile(folder.Path(), c.skinFile), true);
        RECT rect = WindowRectOf(host.Window());
        EXPECT_EQ(rect.right - rect.left, 120) << c.skinFile << ": Main's size";
        EXPECT_EQ(rect.bottom - rect.top, 80) << c.skinFile;
        EXPECT_EQ(host.Skin().ClientSize().cx, 120) << c.skinFile;
        EXPECT_TRUE(host.Skin().m_bmpNotext.Empty()) << c.skinFile;
    }
    // Main missing as well: Disabled was the last image that loaded.
    folder.WriteText(L"Skins\\no_main_skin.ini",
                     "[SCREEN]\r\nMain=t\\absent.bmp\r\nDisabled=t\\disabled.bmp\r\nNotext=t\\absent.bmp\r\n");
    host.Skin().LoadScreen(host.Window(), CSkinFile(folder.Path(), L"no_main_skin.ini"), true);
    EXPECT_EQ(host.Skin().ClientSize().cx, 110);
    EXPECT_TRUE(host.Skin().m_bmpBackground.Empty());
}

TEST_F(SkinnedWindowTest, BackgroundIsTheMainImage)
{
    LoadSkin();
    Surface surface(120, 80, RGB(7, 7, 7));
    host.Skin().DrawBackground(surface.Dc());
    EXPECT_EQ(surface.Pixel(0, 0), MainPixel(0, 0));
    EXPECT_EQ(surface.Pixel(119, 79), MainPixel(119, 79));
}

TEST_F(SkinnedWindowTest, RegionComesFromMask)
{
    LoadSkin();
    qelt::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(host.Window(), region.Get()), ERROR);
    EXPECT_FALSE(PtInRegion(region.Get(), 2, 40));
    EXPECT_TRUE(PtInRegion(region.Get(), 5, 40));
    EXPECT_TRUE(PtInRegion(region.Get(), 119, 79));
}

TEST_F(SkinnedWindowTest, MaskIsLetGoOnceTheOutlineIsMadeAndTheOtherImagesStay)
{
    LoadSkin(true);
    EXPECT_TRUE(host.Skin().m_bmpMask.Empty());
    for (const SkinBitmap* image : {&host.Skin().m_bmpMain, &host.Skin().m_bmpDown, &host.Skin().m_bmpOver,
                                    &host.Skin().m_bmpDisabled, &host.Skin().m_bmpNotext, &host.Skin().m_bmpBackground})
        EXPECT_FALSE(image->Empty());
    // The over image is read when a button first shows it.
    second->m_bHover = true;
    Surface surface(40, 20, RGB(7, 7, 7));
    SendMessageW(second->Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    EXPECT_EQ(surface.Pixel(39, 19), kOver);
}

TEST_F(SkinnedWindowTest, MissingSkinLeavesEmptyImagesAndRectangularWindow)
{
    CSkinFile file(folder.Path(), L"absent_skin.ini");
    host.Skin().LoadScreen(host.Window(), file);
    CBitmapBtn* button = host.Skin().AddButton(file, SKIN_BUTTONINFO, 1);
    host.Skin().ApplyRegion();
    EXPECT_TRUE(host.Skin().m_bmpMain.Empty());
    EXPECT_EQ(host.Skin().ClientSize().cx, 0);
    ASSERT_NE(button, nullptr);  // a 0 x 0 button at (0, 0)
    EXPECT_TRUE(button->m_bmpNormal.Empty());
    qelt::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(host.Window(), region.Get()), ERROR);
}

TEST_F(SkinnedWindowTest, ButtonsAreMadeFromEntries)
{
    LoadSkin();
    HWND window = first->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), host.Window());
    EXPECT_EQ(GetDlgCtrlID(window), 0);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & (WS_TABSTOP | WS_BORDER));
    RECT rect = WindowRectOf(window);
    MapWindowPoints(nullptr, host.Window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 10);
    EXPECT_EQ(rect.right, 50);
    EXPECT_EQ(rect.bottom, 30);

    EXPECT_TRUE(first->m_bSelected);
    EXPECT_FALSE(second->m_bSelected);
    EXPECT_EQ(CBitmapBtn::FromHandle(window), first);
    EXPECT_EQ(CBitmapBtn::FromHandle(host.Window()), nullptr);

    // State images cut at the entry's rectangle of the full-window images.
    Surface normal(40, 20);
    {
        qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        qelt::SelectedObject selected(dc.Get(), second->m_bmpNormal.Get());
        BitBlt(normal.Dc(), 0, 0, 40, 20, dc.Get(), 0, 0, SRCCOPY);
    }
    EXPECT_EQ(normal.Pixel(0, 0), MainPixel(60, 10));
    EXPECT_EQ(normal.Pixel(39, 19), MainPixel(99, 29));
    EXPECT_EQ(second->m_bmpOver.Size().cx, 40);

    // Tooltip carries the caption.
    ASSERT_NE(first->Tooltip(), nullptr);
    wchar_t text[100] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window;
    tool.uId = 1;
    tool.lpszText = text;
    SendMessageW(first->Tooltip(), TTM_GETTEXTW, 100, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, L"Tip one");
}

TEST_F(SkinnedWindowTest, OwnerDrawReachesButtonThroughParent)
{
    LoadSkin();
    // The platform button paints by asking its parent (WM_DRAWITEM), which hands the item on.
    Surface surface(40, 20, RGB(7, 7, 7));
    SendMessageW(first->Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    EXPECT_EQ(surface.Pixel(20, 10), kDown);  // selected: the pressed image
    Surface other(40, 20, RGB(7, 7, 7));
    SendMessageW(second->Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(other.Dc()), PRF_CLIENT);
    EXPECT_EQ(other.Pixel(0, 0), MainPixel(60, 10));
}

TEST_F(SkinnedWindowTest, SettersRepaintOnlyOnChange)
{
    LoadSkin();
    HWND window = second->Window();
    auto pendingPaint = [window] { return GetUpdateRect(window, nullptr, FALSE) != FALSE; };
    struct SetterCase {
        const char* label;
        void (CBitmapBtn::*setter)(bool);
    };
    for (SetterCase c : {SetterCase{"selected", &CBitmapBtn::SetSelected}, SetterCase{"greyed", &CBitmapBtn::SetGreyed}}) {
        ValidateRect(window, nullptr);
        (second->*c.setter)(false);  // unchanged
        EXPECT_FALSE(pendingPaint()) << c.label;
        (second->*c.setter)(true);
        EXPECT_TRUE(pendingPaint()) << c.label;
        ValidateRect(window, nullptr);
        (second->*c.setter)(true);
        EXPECT_FALSE(pendingPaint()) << c.label;
    }
    EXPECT_TRUE(second->m_bSelected);
    EXPECT_TRUE(second->m_bGreyed);
    second->SetCaption(L"new");
    EXPECT_FALSE(pendingPaint());
}

TEST_F(SkinnedWindowTest, TooltipTextChangesButToolRectangleStays)
{
    LoadSkin();
    HWND tooltip = first->Tooltip();
    MoveWindow(first->Window(), 10, 10, 70, 25, TRUE);
    first->SetTooltipText(L"Changed");
    EXPECT_EQ(first->Tooltip(), tooltip);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[100] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = first->Window();
    tool.uId = 1;
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_STREQ(text, L"Changed");
    EXPECT_EQ(tool.rect.right, 40);
    EXPECT_EQ(tool.rect.bottom, 20);
}

// Tooltip windows of this thread, made by any button.
int TooltipWindows()
{
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
                ++*reinterpret_cast<int*>(data);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(SkinnedWindowTest, TooltipMadeWhenFirstNeededWithFirstRectangleAndLatestText)
{
    const int before = TooltipWindows();
    LoadSkin();
    EXPECT_EQ(TooltipWindows(), before);  // two buttons with tooltip texts, no tooltip windows yet

    MoveWindow(second->Window(), 60, 10, 70, 25, TRUE);
    second->SetTooltipText(L"Later");
    SendMessageW(second->Window(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(TooltipWindows(), before + 1);
    HWND tooltip = second->Tooltip();
    ASSERT_NE(tooltip, nullptr);
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[100] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = second->Window();
    tool.uId = 1;
    tool.lpszText = text;
    ASSERT_TRUE(SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_STREQ(text, L"Later");
    EXPECT_EQ(tool.rect.right, 40);  // the client rectangle when the first text was set
    EXPECT_EQ(tool.rect.bottom, 20);
}

TEST_F(SkinnedWindowTest, BackgroundIsACopyTheButtonsDoNotShow)
{
    LoadSkin();
    {
        qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
        qelt::SelectedObject selected(dc.Get(), host.Skin().m_bmpBackground.Get());
        RECT all{0, 0, 120, 80};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    Surface surface(40, 20, RGB(7, 7, 7));
    SendMessageW(second->Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    EXPECT_EQ(surface.Pixel(0, 0), MainPixel(60, 10));
    EXPECT_EQ(surface.Pixel(39, 19), MainPixel(99, 29));
}

// Indicator images are decoded by GDI+, which must outlive every button holding one.
class IndicatorWindowTest : public SkinnedWindowTest {
protected:
    static void SetUpTestSuite() { gdiplus = new skintest::GdiplusSession; }
    static void TearDownTestSuite()
    {
        delete gdiplus;
        gdiplus = nullptr;
    }
    static skintest::GdiplusSession* gdiplus;
};

skintest::GdiplusSession* IndicatorWindowTest::gdiplus = nullptr;

TEST_F(IndicatorWindowTest, ButtonsCarryTheIndicatorImagesOfMainIni)
{
    folder.WriteText(L"Skins\\main.ini", "[SCREEN]\r\nRed=t\\down.bmp\r\nGreen=t\\over.bmp\r\nBlue=none.png\r\n");
    LoadSkin();
    for (CBitmapBtn* button : {first, second}) {
        EXPECT_NE(button->m_indicators[0], nullptr);
        EXPECT_NE(button->m_indicators[1], nullptr);
        EXPECT_EQ(button->m_indicators[2], nullptr);
    }
    CBitmapBtn made;
    ASSERT_TRUE(made.Create(host.Window(), RECT{0, 0, 10, 10}, first->m_indicators));
    EXPECT_EQ(made.m_indicators[0], first->m_indicators[0]);
    EXPECT_EQ(made.Tooltip(), nullptr);
}

TEST(BitmapBtnTooltip, CreatedOnFirstMouseMessage)
{
    HostWindow host;
    TempProgramFolder folder;
    CBitmapBtn button;
    ASSERT_TRUE(button.Create(host.Window(), RECT{0, 0, 20, 20}, folder.Path()));
    EXPECT_EQ(button.Tooltip(), nullptr);
    SendMessageW(button.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    HWND tooltip = button.Tooltip();
    ASSERT_NE(tooltip, nullptr);
    DestroyWindow(host.Window());
    EXPECT_FALSE(IsWindow(tooltip));
}

TEST(BitmapBtnWindow, FromHandleKnowsOnlyLiveBitmapButtons)
{
    HostWindow host;
    TempProgramFolder folder;
    auto button = std::make_unique<CBitmapBtn>();
    ASSERT_TRUE(button->Create(host.Window(), RECT{0, 0, 20, 20}, folder.Path()));
    HWND window = button->Window();
    EXPECT_EQ(CBitmapBtn::FromHandle(window), button.get());
    HWND plain = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | BS_OWNERDRAW, 0, 0, 5, 5, host.Window(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(CBitmapBtn::FromHandle(plain), nullptr);

    // Still the platform's button, by class name and in dialog navigation.
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_EQ(lstrcmpiW(className, L"Button"), 0) << className;
    EXPECT_EQ(SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON, LRESULT(DLGC_BUTTON));

    button.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CBitmapBtn::FromHandle(window), nullptr);
}

// ------------------------------------------------------------------ mouse-over tracking

class HoverTest : public SkinnedWindowTest {
protected:
    void SetUp() override
    {
        SkinnedWindowTest::SetUp();
        LoadSkin();
        // Away from the screen origin, where other programs' skinned windows go, and on top, so
        // the window under the cursor is this one.
        SetWindowPos(host.Window(), HWND_TOPMOST, 1100, 850, 0, 0, SWP_NOSIZE);
        host.Activate();
        ASSERT_NE(GetActiveWindow(), nullptr);
        button = second->Window();
        ReleaseCapture();
    }
    void TearDown() override { ReleaseCapture(); }

    void Move(WPARAM keys, int x, int y)
    {
        if (GetActiveWindow() == nullptr)
            host.Activate();  // another program's window may have taken the activation
        SendMessageW(button, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
    }

    HWND button = nullptr;
};

TEST_F(HoverTest, EnteringCapturesLeavingReleases)
{
    Move(0, 5, 5);
    EXPECT_TRUE(second->m_bHover);
    EXPECT_EQ(GetCapture(), button);
    Move(0, 6, 6);  // still over the button
    EXPECT_TRUE(second->m_bHover);
    EXPECT_EQ(GetCapture(), button);
    // Over the first button now (x 10..50 of the window; this button starts at 60).
    Move(0, -30, 5);
    EXPECT_FALSE(second->m_bHover);
    EXPECT_NE(GetCapture(), button);
}

TEST_F(HoverTest, DragFromElsewhereDoesNotLight)
{
    Move(MK_LBUTTON, 5, 5);
    EXPECT_FALSE(second->m_bHover);
    EXPECT_NE(GetCapture(), button);
}

TEST_F(HoverTest, LeavingWithButtonDownKeepsCapture)
{
    Move(0, 5, 5);
    Move(MK_LBUTTON, -30, 5);
    EXPECT_FALSE(second->m_bHover);
    EXPECT_EQ(GetCapture(), button);
}

TEST_F(HoverTest, CaptureEndKeepsHoverUntilCursorLeaves)
{
    Move(0, 5, 5);
    ReleaseCapture();  // as after a click
    EXPECT_TRUE(second->m_bHover);
    Move(0, 5, 5);  // the next move captures again
    EXPECT_EQ(GetCapture(), button);
    EXPECT_TRUE(second->m_bHover);
}

TEST_F(HoverTest, CaptureTakenByAnotherWindowIsLeftWithIt)
{
    Move(0, 5, 5);
    SetCapture(first->Window());
    EXPECT_EQ(GetCapture(), first->Window());
}

TEST_F(HoverTest, FocusLossClearsHover)
{
    Move(0, 5, 5);
    SendMessageW(button, WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(second->m_bHover);
}

TEST_F(HoverTest, HoverShowsOverImage)
{
    Move(0, 5, 5);
    Surface surface(40, 20, RGB(7, 7, 7));
    SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
    EXPECT_EQ(surface.Pixel(20, 10), kOver);
}

// ------------------------------------------------------------------ common window behaviour

TEST(SkinnedWindowBehaviour, BackgroundPressStartsDragAndEraseDrawsNothing)
{
    struct BehaviourCase {
        bool drag;
        bool suppressErase;
    };
    for (BehaviourCase c : {BehaviourCase{true, true}, BehaviourCase{false, false}}) {
        SkinBehaviour behaviour;
        behaviour.bDragByBackground = c.drag;
        behaviour.bSuppressErase = c.suppressErase;
        HostWindow host(behaviour);
        skintest::DrainMessages();
        SendMessageW(host.Window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(17, 23));
        MSG posted{};
        bool found = PeekMessageW(&posted, host.Window(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE) != FALSE;
        EXPECT_EQ(found, c.drag);
        if (found) {
            EXPECT_EQ(posted.wParam, WPARAM(HTCAPTION));
            EXPECT_EQ(posted.lParam, MAKELPARAM(17, 23));
        }

        Surface surface(10, 10, RGB(7, 7, 7));
        LRESULT erased = SendMessageW(host.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.Dc()), 0);
        if (c.suppressErase) {
            EXPECT_EQ(erased, TRUE);
            EXPECT_EQ(surface.Count(RGB(7, 7, 7)), 100);
        }
    }
}

TEST(SkinnedWindowBehaviour, ButtonEraseDrawsNothing)
{
    HostWindow host;
    TempProgramFolder folder;
    CBitmapBtn button;
    ASSERT_TRUE(button.Create(host.Window(), RECT{0, 0, 10, 10}, folder.Path()));
    Surface surface(10, 10, RGB(7, 7, 7));
    EXPECT_EQ(SendMessageW(button.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.Dc()), 0), 0);
    EXPECT_EQ(surface.Count(RGB(7, 7, 7)), 100);
}

} // namespace

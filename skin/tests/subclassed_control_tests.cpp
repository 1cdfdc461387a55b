// The one subclassing scheme of the skin's controls: an object is found only behind its own kind
// of live control, it owns its window, and a window destroyed first (with its parent) leaves the
// object detached. And the skin fonts: one font a look.
#include <gtest/gtest.h>

#include <memory>

#include "bitmap_btn.h"
#include "controls.h"
#include "diag.h"
#include "skin_fonts.h"
#include "skin_host_window.h"

namespace {

using skintest::HostWindow;

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_NUMBER;
constexpr RECT kPlace{0, 0, 60, 40};

} // namespace

TEST(SubclassedControl, FoundOnlyBehindItsOwnKindOfLiveControl)
{
    HostWindow host;
    CListBoxEx list;
    CEditEx edit;
    CBitmapBtn button;
    ASSERT_TRUE(list.Create(kListStyle, kPlace, host.Window(), 1));
    ASSERT_TRUE(edit.Create(kEditStyle, kPlace, host.Window(), 2));
    ASSERT_TRUE(button.Create(host.Window(), kPlace, IndicatorImages{}));

    EXPECT_EQ(CListBoxEx::FromHandle(list.Window()), &list);
    EXPECT_EQ(SubclassedControl::Attached<CEditEx>(edit.Window()), &edit);
    EXPECT_EQ(CBitmapBtn::FromHandle(button.Window()), &button);
    // Another kind behind the window, or no control of ours at all.
    EXPECT_EQ(CListBoxEx::FromHandle(edit.Window()), nullptr);
    EXPECT_EQ(CBitmapBtn::FromHandle(list.Window()), nullptr);
    EXPECT_EQ(CListBoxEx::FromHandle(host.Window()), nullptr);
    EXPECT_EQ(CListBoxEx::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CListBoxEx::FromHandle(GetDesktopWindow()), nullptr);
}

TEST(SubclassedControl, ObjectGoingFirstTakesItsWindowAndLeavesThePlatformControlToIt)
{
    HostWindow host;
    HWND window = nullptr;
    {
        auto list = std::make_unique<CListBoxEx>();
        ASSERT_TRUE(list->Create(kListStyle, kPlace, host.Window(), 1));
        window = list->Window();
        SendMessageW(window, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"line"));
        list.reset();
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(CListBoxEx::FromHandle(window), nullptr);
}

TEST(SubclassedControl, WindowGoingFirstLeavesTheObjectDetached)
{
    auto host = std::make_unique<HostWindow>();
    CListBoxEx list;
    CEditEx edit;
    ASSERT_TRUE(list.Create(kListStyle, kPlace, host->Window(), 1));
    ASSERT_TRUE(edit.Create(kEditStyle, kPlace, host->Window(), 2));
    HWND listWindow = list.Window();
    host.reset();  // the children go with their parent

    EXPECT_FALSE(IsWindow(listWindow));
    EXPECT_EQ(list.Window(), nullptr);
    EXPECT_EQ(edit.Window(), nullptr);
    EXPECT_EQ(CListBoxEx::FromHandle(listWindow), nullptr);
    // The objects end later without touching the windows that are gone.
}

TEST(SubclassedControl, ControlThatCannotBeMadeSaysWhichOne)
{
    qelt::DiagCapture diag;
    CEditEx edit;
    // A child without a parent is refused by the platform.
    EXPECT_FALSE(edit.Create(kEditStyle, kPlace, nullptr, 2));
    EXPECT_EQ(edit.Window(), nullptr);
    EXPECT_TRUE(diag.Contains(L"ERROR: CreateWindowExW (edit) failed, error="));
}

TEST(SkinFonts, EachLookIsMadeOnceAndLooksDiffer)
{
    SkinFonts fonts;
    HFONT caption14 = fonts.Get(skinfont::Caption(14));
    ASSERT_NE(caption14, nullptr);
    EXPECT_EQ(fonts.Get(skinfont::Caption(14)), caption14);
    EXPECT_NE(fonts.Get(skinfont::Caption(13)), caption14);
    EXPECT_NE(fonts.Get(skinfont::kWarningText), fonts.Get(skinfont::kRepeatText)) << "charsets differ";

    LOGFONTW made{};
    ASSERT_NE(GetObjectW(fonts.Get(skinfont::kMacroText), sizeof(made), &made), 0);
    EXPECT_EQ(made.lfHeight, 16);
    EXPECT_EQ(made.lfQuality, CLEARTYPE_QUALITY);
    EXPECT_EQ(made.lfPitchAndFamily, 0x30);
    EXPECT_STREQ(made.lfFaceName, L"AvenirLTStd-Light");
}

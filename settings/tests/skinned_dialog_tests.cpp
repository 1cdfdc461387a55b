// The skinned-dialog base with a small dialog of its own on the warning template and the shipped
// skin: a click reaches the handler registered with its button, everything else the dialog's
// other-command handler, messages are answered one way, the dialog's own drawing lands over the
// background, and a skin that does not load is reported in one place while the dialog still runs.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "diag.h"
#include "dialog_driver.h"
#include "gdiplus_session.h"
#include "resource.h"
#include "skinned_dialog.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

constexpr wchar_t kQuestionSkin[] = L"Warning1_skin.ini";  // buttons 1 and 2
constexpr UINT kAsk = WM_APP + 5;
constexpr LRESULT kAnswer = 0x1234;
constexpr INT_PTR kEndByButton = 11, kEndByCancel = 22;
constexpr POINT kProbePoints[] = {{30, 30}, {100, 60}, {200, 100}, {60, 120}};

struct OtherCommand {
    WORD id;
    WORD code;
    HWND from;
};

class ProbeDialog final : public SkinnedDialog {
public:
    explicit ProbeDialog(const wchar_t* skinFile) : SkinnedDialog(IDD_WARNING, skinFile, SkinBehaviour{true, false, true}) {}
    INT_PTR Run(HWND owner) { return RunModal(owner); }

    std::atomic<int> m_nClicks{0};
    std::atomic<bool> m_bPaintedOverBackground{false};
    std::mutex m_lock;
    std::vector<OtherCommand> m_others;

private:
    void OnSkinLoaded(const CSkinFile& file) override
    {
        AddButton(file, 1, [this] {
            ++m_nClicks;
            End(kEndByButton);
        });
        AddButton(file, 2);  // no handler: its click is an other command
    }
    std::optional<LRESULT> OnMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message == kAsk)
            return kAnswer;
        if (message == WM_CTLCOLORDLG)
            return reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
        return std::nullopt;
    }
    void OnOtherCommand(WORD id, WORD code, HWND from) override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_others.push_back({id, code, from});
        }
        if (from == nullptr && id == IDCANCEL)
            End(kEndByCancel);
    }
    void PaintOver(HDC dc) override
    {
        // The background is already on the picture: the same pixels as the skin's own (and not
        // all black, which a fresh picture would be too).
        UniqueMemoryDc reference(CreateCompatibleDC(dc));
        UniqueBitmap picture(CreateCompatibleBitmap(dc, Skin().ClientSize().cx, Skin().ClientSize().cy));
        if (!reference || !picture)
            return;
        SelectedObject selected(reference.Get(), picture.Get());
        Skin().DrawBackground(reference.Get());
        bool same = true, anyColour = false;
        for (POINT at : kProbePoints) {
            const COLORREF expected = GetPixel(reference.Get(), at.x, at.y);
            same = same && GetPixel(dc, at.x, at.y) == expected;
            anyColour = anyColour || (expected != RGB(0, 0, 0) && expected != CLR_INVALID);
        }
        if (same && anyColour)
            m_bPaintedOverBackground = true;
    }
};

struct SkinnedDialogTest : ::testing::Test {
    GdiplusSession gdiplus;
    HostWindow host;
    DiagCapture diag;

    INT_PTR RunProbe(ProbeDialog& dialog, const std::function<void(HWND)>& script)
    {
        return RunDriven(host.Window(), [&] { return dialog.Run(host.Window()); }, script);
    }
};

} // namespace

TEST_F(SkinnedDialogTest, ClickReachesTheHandlerRegisteredWithItsButton)
{
    ProbeDialog dialog(kQuestionSkin);
    const INT_PTR result = RunProbe(dialog, [&](HWND window) {
        Click(window, SkinButton(window, kQuestionSkin, 1));
        EXPECT_TRUE(WaitNoOwnedDialog(host.Window()));
    });
    EXPECT_EQ(result, kEndByButton);
    EXPECT_EQ(dialog.m_nClicks, 1);
    EXPECT_TRUE(dialog.m_others.empty());
    EXPECT_EQ(dialog.Window(), nullptr) << "forgotten once the dialog is gone";
}

TEST_F(SkinnedDialogTest, OtherClicksAndThePlatformsCommandsReachTheOtherCommandHandler)
{
    ProbeDialog dialog(kQuestionSkin);
    HWND unhandled = nullptr;
    const INT_PTR result = RunProbe(dialog, [&](HWND window) {
        unhandled = SkinButton(window, kQuestionSkin, 2);
        Click(window, unhandled);
        // A notification other than a click from a button with a handler is no click.
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, BN_DOUBLECLICKED),
                     reinterpret_cast<LPARAM>(SkinButton(window, kQuestionSkin, 1)));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitNoOwnedDialog(host.Window()));
    });
    EXPECT_EQ(result, kEndByCancel);
    EXPECT_EQ(dialog.m_nClicks, 0);
    ASSERT_EQ(dialog.m_others.size(), 3u);
    EXPECT_EQ(dialog.m_others[0].from, unhandled);
    EXPECT_EQ(dialog.m_others[0].code, BN_CLICKED);
    EXPECT_EQ(dialog.m_others[1].code, BN_DOUBLECLICKED);
    EXPECT_EQ(dialog.m_others[2].from, nullptr);
    EXPECT_EQ(dialog.m_others[2].id, IDCANCEL);
}

TEST_F(SkinnedDialogTest, MessagesAreAnsweredOneWay)
{
    ProbeDialog dialog(kQuestionSkin);
    RunProbe(dialog, [&](HWND window) {
        EXPECT_EQ(SendMessageW(window, kAsk, 0, 0), kAnswer) << "through the dialog's message result";
        EXPECT_EQ(SendMessageW(window, WM_CTLCOLORDLG, 0, 0), reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)))
            << "a colour message returns its brush itself";
        EXPECT_EQ(SendMessageW(window, kAsk + 1, 0, 0), 0) << "not handled: the platform's answer";
    });
}

TEST_F(SkinnedDialogTest, OwnDrawingLandsOverThePaintedBackground)
{
    ProbeDialog dialog(kQuestionSkin);
    RunProbe(dialog, [&](HWND window) {
        dialog.m_bPaintedOverBackground = false;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const ULONGLONG deadline = GetTickCount64() + 3000;
        while (!dialog.m_bPaintedOverBackground && GetTickCount64() < deadline)
            Sleep(20);
        EXPECT_TRUE(dialog.m_bPaintedOverBackground);
    });
}

TEST_F(SkinnedDialogTest, SkinThatDoesNotLoadIsReportedOnceAndTheDialogStillRuns)
{
    ProbeDialog dialog(L"no_such_skin.ini");
    const INT_PTR result = RunProbe(dialog, [&](HWND window) {
        EXPECT_TRUE(IsWindowVisible(window));
        SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
        EXPECT_TRUE(WaitNoOwnedDialog(host.Window()));
    });
    EXPECT_EQ(result, kEndByCancel);
    int reports = 0;
    for (const std::wstring& line : diag.Lines())
        reports += line.find(L"skin \"no_such_skin.ini\"") != std::wstring::npos ? 1 : 0;
    EXPECT_EQ(reports, 1);
}

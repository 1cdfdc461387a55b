// The skinned-dialog base with a small dialog of its own on the warning template and the shipped
// skin: a click reaches the handler registered with its button, everything else the dialog's
// other-command handler, messages are answered one way, the dialog's own drawing lands over the
// background, and a dialog whose skin does not load never shows: the user is told which file is
// damaged and the dialog ends with its cancel result, none of its own handlers having run.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
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
constexpr INT_PTR kEndByButton = 11, kEndByCancel = 22, kEndBySkinFailure = 33;
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
    std::atomic<int> m_nSkinsLoaded{0};
    std::atomic<bool> m_bPaintedOverBackground{false};
    std::mutex m_lock;
    std::vector<OtherCommand> m_others;

private:
    INT_PTR CancelResult() const override { return kEndBySkinFailure; }
    std::wstring DisplayName() const override { return L"The probe"; }
    void OnSkinLoaded(const CSkinFile& file) override
    {
        ++m_nSkinsLoaded;
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

namespace {

// The dialog window owned by owner that is not shown (a dialog ended in its initialisation).
HWND HiddenOwnedDialog(HWND owner)
{
    struct Search {
        HWND owner;
        HWND found;
    } search{owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t className[16] = L"";
            GetClassNameW(window, className, 16);
            if (GetWindow(window, GW_OWNER) == s->owner && !IsWindowVisible(window) &&
                wcscmp(className, L"#32770") == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The message of a message box: the text of its static control that has one (the icon has none).
std::wstring MessageBoxText(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = L"";
        wchar_t text[2048] = L"";
        GetClassNameW(child, className, 16);
        GetWindowTextW(child, text, 2048);
        if (_wcsicmp(className, L"Static") == 0 && text[0] != L'\0')
            return text;
    }
    return L"";
}

} // namespace

TEST_F(SkinnedDialogTest, SkinThatDoesNotLoadEndsWithTheCancelResultAfterAMessageNamingTheFile)
{
    // It ran as an empty (0 x 0) modal window that the user could neither see nor leave.
    ProbeDialog dialog(L"no_such_skin.ini");
    std::wstring title, text;
    LRESULT answeredMeanwhile = -1;
    const INT_PTR result = RunProbe(dialog, [&](HWND message) {
        // What the driver finds owned by the host is the message, over the hidden dialog.
        wchar_t buffer[256] = L"";
        GetWindowTextW(message, buffer, 256);
        title = buffer;
        text = MessageBoxText(message);
        // The dialog is there, hidden, while the message shows: its own handlers stay out.
        if (HWND hidden = HiddenOwnedDialog(host.Window()))
            answeredMeanwhile = SendMessageW(hidden, kAsk, 0, 0);
        EXPECT_EQ(OwnedDialogCount(host.Window()), 1) << "only the message shows";
        SendMessageW(message, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitNoOwnedDialog(host.Window()));
    });
    EXPECT_EQ(result, kEndBySkinFailure);
    EXPECT_TRUE(dialog.SkinNotLoaded());
    EXPECT_EQ(title, L"Zorvane Gear QELT");
    EXPECT_EQ(text.rfind(L"The probe cannot open because its skin is damaged.", 0), 0u) << text;
    EXPECT_NE(text.find(ProgramFolder() + L"Skins\\no_such_skin.ini"), std::wstring::npos)
        << "names the description file that names no image: " << text;
    EXPECT_NE(text.find(L"Reinstall"), std::wstring::npos) << text;
    EXPECT_EQ(answeredMeanwhile, 0) << "answered by the platform, not the probe";
    EXPECT_EQ(dialog.m_nSkinsLoaded, 0);
    int reports = 0;
    for (const std::wstring& line : diag.Lines())
        reports += line.find(L"skin \"no_such_skin.ini\"") != std::wstring::npos ? 1 : 0;
    EXPECT_EQ(reports, 1) << "the diagnostic stays";
}

// The plain-window base: which messages reach the object, who destroys the window, a window
// refused at creation, and the message loops.
#include "window_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "diag.h"

using namespace qelt;

namespace {

constexpr UINT kPing = WM_APP + 7;

// Writes down the messages of interest it receives and answers kPing.
class JournalWindow final : public WindowBase {
public:
    explicit JournalWindow(std::vector<UINT>& journal, bool refuseCreation = false)
        : m_journal(journal), m_bRefuse(refuseCreation)
    {
    }
    ~JournalWindow() override
    {
        if (m_bDestroyWhileAlive)
            DestroyWindowNow();
    }
    bool Create(const wchar_t* className = L"QeltWindowBaseTest")
    {
        WindowParams params;
        params.title = L"window base test";
        params.rect = RECT{0, 0, 40, 30};
        return CreateWindowOf(WindowClassInfo{className}, params);
    }
    bool m_bDestroyWhileAlive = false;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_NCCREATE:
        case WM_CREATE:
        case WM_DESTROY:
        case WM_NCDESTROY:
        case kPing:
            m_journal.push_back(message);
            break;
        default:
            break;
        }
        if (message == WM_CREATE && m_bRefuse)
            return -1;
        if (message == kPing)
            return 42;
        return DefWindowProcW(m_window, message, wParam, lParam);
    }

    std::vector<UINT>& m_journal;
    bool m_bRefuse;
};

} // namespace

TEST(WindowBase, ObjectTakesTheMessagesFromNcCreateToNcDestroy)
{
    std::vector<UINT> journal;
    JournalWindow window(journal);
    ASSERT_TRUE(window.Create());
    HWND handle = window.Window();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(WindowBase::FromHandle(handle), &window);
    EXPECT_EQ(SendMessageW(handle, kPing, 0, 0), 42);

    DestroyWindow(handle);  // from outside, as WM_CLOSE's default does
    EXPECT_EQ(journal, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, kPing, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(window.Window(), nullptr) << "cleared at WM_NCDESTROY";
    EXPECT_EQ(WindowBase::FromHandle(handle), nullptr);
}

TEST(WindowBase, WindowGoesWithTheObject)
{
    struct Case {
        const char* name;
        bool destroyWhileAlive;
        std::vector<UINT> lastMessages;  // after creation
    };
    const Case cases[] = {
        // The derived part is gone when the base destroys the window: nothing may reach it.
        {"base destroys", false, {}},
        // A class whose WM_DESTROY matters destroys the window in its own destructor.
        {"derived destroys", true, {WM_DESTROY, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<UINT> journal;
        HWND handle = nullptr;
        {
            JournalWindow window(journal);
            ASSERT_TRUE(window.Create());
            window.m_bDestroyWhileAlive = c.destroyWhileAlive;
            handle = window.Window();
            journal.clear();
        }
        EXPECT_FALSE(IsWindow(handle));
        EXPECT_EQ(journal, c.lastMessages);
    }
}

TEST(WindowBase, WindowRefusedAtCreationLeavesNothingAndSaysWhy)
{
    DiagCapture diag;
    std::vector<UINT> journal;
    JournalWindow window(journal, true);
    EXPECT_FALSE(window.Create());
    EXPECT_EQ(window.Window(), nullptr);
    EXPECT_TRUE(diag.Contains(L"ERROR: CreateWindowExW (QeltWindowBaseTest) failed, error="));
}

TEST(WindowBase, TwoObjectsShareTheClassEachWithItsOwnWindow)
{
    std::vector<UINT> first, second;
    JournalWindow a(first), b(second);
    ASSERT_TRUE(a.Create(L"QeltWindowBaseShared"));
    ASSERT_TRUE(b.Create(L"QeltWindowBaseShared"));
    SendMessageW(b.Window(), kPing, 0, 0);
    EXPECT_EQ(std::count(first.begin(), first.end(), kPing), 0);
    EXPECT_EQ(std::count(second.begin(), second.end(), kPing), 1);
}

TEST(MessageLoop, RunsUntilQuitAndGivesItsCode)
{
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(), 7);
}

TEST(MessageLoop, RunsUntilDoneAfterAMessageOrStopsAtQuit)
{
    std::vector<UINT> journal;
    JournalWindow window(journal);
    ASSERT_TRUE(window.Create());
    PostMessageW(window.Window(), kPing, 0, 0);
    PostMessageW(window.Window(), kPing, 0, 0);
    auto pings = [&] { return std::count(journal.begin(), journal.end(), kPing); };
    EXPECT_EQ(RunMessageLoopUntil([&] { return pings() == 1; }), LoopEnd::Done);
    EXPECT_EQ(pings(), 1) << "stops after the message that made it done";

    PostQuitMessage(0);
    EXPECT_EQ(RunMessageLoopUntil([] { return false; }), LoopEnd::Quit);
    EXPECT_EQ(pings(), 2) << "the second ping came before the quit";
}

// Plexin.dll from the program folder, loaded and called the way the macro editor does it, recording
// keys injected with SendInput. A low-level hook of the test's own, set before the library's, runs
// after it in the chain: it shows that every event is passed on, and once it has seen an event the
// library has already posted whatever it was going to post for it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "handles.h"
#include "plexin.h"
#include "plexin_library.h"
#include "window_base.h"

namespace {

using plexin::PlexinLibrary;
using plexin::WM_RECORDED_KEY;

constexpr DWORD kInjected = LLKHF_INJECTED;  // 0x10: every SendInput key carries it
constexpr DWORD kExtended = LLKHF_EXTENDED;  // 0x01
constexpr DWORD kReleased = LLKHF_UP;        // 0x80
constexpr DWORD kDeadlineMs = 10000;

struct KeyEvent {
    WPARAM word;  // virtual key in bits 0-7, scan code in bits 16-23
    DWORD flags;
    bool operator==(const KeyEvent&) const = default;
};

void PrintTo(const KeyEvent& event, std::ostream* out)
{
    *out << "vk=0x" << std::hex << plexin::VirtualKeyOf(event.word) << " scan=0x" << plexin::ScanCodeOf(event.word)
         << " flags=0x" << event.flags << std::dec;
}

struct Key {
    WORD virtualKey;
    bool extended;
};

WORD ScanCodeOf(const Key& key) { return static_cast<WORD>(MapVirtualKeyW(key.virtualKey, MAPVK_VK_TO_VSC)); }

KeyEvent Expected(const Key& key, bool release)
{
    return {plexin::RecordedKeyWord(key.virtualKey, ScanCodeOf(key)),
            kInjected | (key.extended ? kExtended : 0) | (release ? kReleased : 0)};
}

// A press and a release of each key, in order, as SendInput injects them; returns what the library
// should report for them.
std::vector<KeyEvent> PressAndRelease(const std::vector<Key>& keys)
{
    std::vector<INPUT> inputs;
    std::vector<KeyEvent> expected;
    for (const Key& key : keys) {
        for (bool release : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key.virtualKey;
            input.ki.wScan = ScanCodeOf(key);
            input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (release ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
            expected.push_back(Expected(key, release));
        }
    }
    EXPECT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size())
        << "SendInput error " << GetLastError();
    return expected;
}

// Runs this thread's messages (the hooks set on it are called from here) until done() holds or the
// deadline passes. dispatchRecorded false leaves WM_RECORDED_KEY in the queue.
bool PumpUntil(const std::function<bool()>& done, bool dispatchRecorded = true)
{
    const ULONGLONG deadline = GetTickCount64() + kDeadlineMs;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, WM_RECORDED_KEY - 1, PM_REMOVE) ||
               PeekMessageW(&message, nullptr, WM_RECORDED_KEY + 1, 0xFFFFFFFF, PM_REMOVE) ||
               (dispatchRecorded && PeekMessageW(&message, nullptr, WM_RECORDED_KEY, WM_RECORDED_KEY, PM_REMOVE)))
            DispatchMessageW(&message);
    }
    return true;
}

// Dispatches whatever is queued now.
void DrainMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

int PendingRecordedKeys(HWND window)
{
    std::vector<MSG> taken;
    MSG message;
    while (PeekMessageW(&message, window, WM_RECORDED_KEY, WM_RECORDED_KEY, PM_REMOVE))
        taken.push_back(message);
    for (const MSG& put : taken)
        PostMessageW(put.hwnd, put.message, put.wParam, put.lParam);
    return static_cast<int>(taken.size());
}

// A message-only window that keeps every WM_RECORDED_KEY it receives, answering 1 as the editor
// does when it takes an event.
class RecorderWindow final : public qelt::WindowBase {
public:
    RecorderWindow()
    {
        qelt::WindowParams params;
        params.style = 0;
        params.parent = HWND_MESSAGE;
        EXPECT_TRUE(CreateWindowOf(qelt::WindowClassInfo{kClass}, params)) << "CreateWindowExW error " << GetLastError();
    }
    HWND Handle() const { return Window(); }
    const std::vector<KeyEvent>& Events() const { return m_events; }
    void Destroy() { DestroyWindowNow(); }

private:
    static constexpr wchar_t kClass[] = L"PlexinTestRecorder";

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_RECORDED_KEY) {
            m_events.push_back({wParam, static_cast<DWORD>(lParam)});
            return 1;
        }
        return DefWindowProcW(m_window, message, wParam, lParam);
    }

    std::vector<KeyEvent> m_events;
};

// The test's own low-level hook on the thread that creates it (one at a time).
class ProbeHook {
public:
    ProbeHook()
    {
        s_current = this;
        m_hook = SetWindowsHookExW(WH_KEYBOARD_LL, Procedure, GetModuleHandleW(nullptr), 0);
        EXPECT_NE(m_hook, nullptr) << "SetWindowsHookExW error " << GetLastError();
    }
    ~ProbeHook()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
        s_current = nullptr;
    }
    ProbeHook(const ProbeHook&) = delete;
    ProbeHook& operator=(const ProbeHook&) = delete;

    size_t Count() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_events.size();
    }
    std::vector<KeyEvent> Events() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_events;
    }

private:
    static LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HC_ACTION && s_current) {
            const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
            std::lock_guard<std::mutex> guard(s_current->m_lock);
            s_current->m_events.push_back({plexin::RecordedKeyWord(key->vkCode, key->scanCode), key->flags});
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline ProbeHook* s_current = nullptr;
    HHOOK m_hook = nullptr;
    mutable std::mutex m_lock;
    std::vector<KeyEvent> m_events;
};

class PlexinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plexin.Loaded()) << "Plexin.dll with installhook and removehook"; }
    void TearDown() override
    {
        if (plexin.Loaded())
            plexin.removehook();
    }

    // Injects the keys and runs messages until the probe has seen them: whatever the library
    // posts for them is then in the queue (and dispatched when dispatchRecorded).
    std::vector<KeyEvent> Type(const std::vector<Key>& keys, bool dispatchRecorded = true)
    {
        const size_t before = probe.Count();
        std::vector<KeyEvent> expected = PressAndRelease(keys);
        EXPECT_TRUE(PumpUntil([&] { return probe.Count() >= before + expected.size(); }, dispatchRecorded))
            << "the injected keys did not reach the test's own hook";
        if (dispatchRecorded)
            DrainMessages();
        return expected;
    }

    ProbeHook probe;  // set before the library's hook, so it runs after it
    PlexinLibrary plexin;
    RecorderWindow window;
};

const Key kKeyA{'A', false};
const Key kKeyB{'B', false};

TEST_F(PlexinTest, ReportsEveryPressAndReleaseAndPassesItOn)
{
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    const std::vector<KeyEvent> expected = Type({kKeyA, {VK_RIGHT, true}, {VK_RCONTROL, true}});

    ASSERT_EQ(expected[0], (KeyEvent{0x1E0041, 0x10}));  // A press: vk 0x41, scan 0x1E, injected
    ASSERT_EQ(expected[3], (KeyEvent{0x4D0027, 0x91}));  // Right arrow release: extended, up
    EXPECT_EQ(window.Events(), expected);
    EXPECT_EQ(probe.Events(), expected);
}

TEST_F(PlexinTest, NoEventArrivesAfterRemove)
{
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    Type({kKeyA}, false);
    // Posted, not yet taken: removehook drops them like everything after it.
    ASSERT_EQ(PendingRecordedKeys(window.Handle()), 2);

    EXPECT_TRUE(plexin.removehook());
    const std::vector<KeyEvent> typed = Type({kKeyB});
    EXPECT_EQ(probe.Events().back(), typed.back()) << "typing still goes on";
    EXPECT_TRUE(window.Events().empty());
}

TEST_F(PlexinTest, RemoveWithoutHookIsHarmlessAndInstallWorksAgain)
{
    EXPECT_FALSE(plexin.removehook());
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    EXPECT_TRUE(plexin.removehook());
    EXPECT_FALSE(plexin.removehook());
    Type({kKeyA});
    EXPECT_TRUE(window.Events().empty());

    ASSERT_TRUE(plexin.installhook(window.Handle()));
    EXPECT_EQ(window.Events(), Type({kKeyB}));
}

TEST_F(PlexinTest, SecondInstallMovesTheEventsToTheOtherWindow)
{
    RecorderWindow other;
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    const std::vector<KeyEvent> first = Type({kKeyA});
    ASSERT_TRUE(plexin.installhook(other.Handle()));
    const std::vector<KeyEvent> second = Type({kKeyB});

    EXPECT_EQ(window.Events(), first);
    EXPECT_EQ(other.Events(), second) << "each event once: one hook, not two";
}

TEST_F(PlexinTest, InstallForSomethingNotAWindowIsRefusedAndKeepsTheTarget)
{
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    EXPECT_FALSE(plexin.installhook(nullptr));
    RecorderWindow gone;
    const HWND stale = gone.Handle();
    gone.Destroy();
    EXPECT_FALSE(plexin.installhook(stale));

    EXPECT_EQ(window.Events(), Type({kKeyA}));
}

TEST_F(PlexinTest, TargetWindowDestroyedWhileHookedLetsTypingGoOnAndANewInstallWorks)
{
    RecorderWindow doomed;
    ASSERT_TRUE(plexin.installhook(doomed.Handle()));
    doomed.Destroy();
    const std::vector<KeyEvent> typed = Type({kKeyA});
    EXPECT_EQ(probe.Events(), typed);

    ASSERT_TRUE(plexin.installhook(window.Handle()));
    EXPECT_EQ(window.Events(), Type({kKeyB})) << "each event once";
}

// Injects keys from a thread of its own, whose probe hook is set before the library's (so it sees
// each key only after the library has let it go). Shared with that thread, so that a test that
// gives up early leaves it nothing dangling.
struct Typist {
    std::vector<Key> keys;
    qelt::UniqueKernelObject probeReady{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    qelt::UniqueKernelObject go{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::vector<KeyEvent> expected;
    bool typedThrough = false;  // every key got through the hooks within the deadline

    static DWORD WINAPI Main(void* parameter)
    {
        std::unique_ptr<std::shared_ptr<Typist>> owner(static_cast<std::shared_ptr<Typist>*>(parameter));
        Typist& self = **owner;
        ProbeHook probe;
        SetEvent(self.probeReady.Get());
        if (WaitForSingleObject(self.go.Get(), kDeadlineMs) != WAIT_OBJECT_0)
            return 1;
        self.expected = PressAndRelease(self.keys);
        self.typedThrough = PumpUntil([&] { return probe.Count() >= self.expected.size(); });
        return 0;
    }
};

// The target's thread takes no message at all while another thread types: the typing still goes
// through every hook, and no event is lost.
TEST(PlexinBlockedTarget, TypingGoesOnAndNothingIsLost)
{
    PlexinLibrary plexin;
    ASSERT_TRUE(plexin.Loaded());
    RecorderWindow window;
    auto typist = std::make_shared<Typist>();
    typist->keys.assign(10, kKeyA);
    auto* handOver = new std::shared_ptr<Typist>(typist);
    qelt::UniqueKernelObject thread(CreateThread(nullptr, 0, Typist::Main, handOver, 0, nullptr));
    if (!thread)
        delete handOver;
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(typist->probeReady.Get(), kDeadlineMs), WAIT_OBJECT_0);
    ASSERT_TRUE(plexin.installhook(window.Handle()));
    SetEvent(typist->go.Get());

    // Not a message taken on this thread, the target's, until the typist is through.
    ASSERT_EQ(WaitForSingleObject(thread.Get(), 3 * kDeadlineMs), WAIT_OBJECT_0);
    EXPECT_TRUE(typist->typedThrough) << "typing stalled while the target was blocked";
    EXPECT_TRUE(PumpUntil([&] { return window.Events().size() >= typist->expected.size(); }));
    EXPECT_EQ(window.Events(), typist->expected);
    plexin.removehook();
}

} // namespace

// Drives the keyboard filter stand-in as the agent would: installs and starts the driver, opens
// "\\.\MVKBFLTR", hooks a semaphore, sends every request, and checks what `kbsim` reports.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "handles.h"
#include "kbsim_protocol.h"
#include "run_program.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Runs kbsim.exe (built beside the programs) with the given arguments.
using qelt::testing::RunResult;

RunResult Kbsim(const std::wstring& arguments)
{
    return qelt::testing::RunProgram(qelt::testing::DevToolsFolder() + L"kbsim\\kbsim.exe", arguments);
}

std::vector<std::string> Journal()
{
    RunResult r = Kbsim(L"journal");
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    return qelt::testing::SplitLines(r.out);
}

// Value of "name value" in `kbsim state`.
std::string StateValue(const std::string& name)
{
    for (const auto& line : qelt::testing::SplitLines(Kbsim(L"state").out))
        if (line.rfind(name + " ", 0) == 0) return line.substr(name.size() + 1);
    return "<missing " + name + ">";
}

qelt::UniqueHandle OpenFilter()
{
    return qelt::UniqueHandle(CreateFileW(KBF_USER_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
}

// One request; returns 0 on success or the last error. `returned` gets the bytes copied back.
DWORD Request(HANDLE device, DWORD code, Bytes* buffer, DWORD inSize, DWORD outSize, DWORD* returned = nullptr)
{
    DWORD n = 0;
    BOOL ok = DeviceIoControl(device, code, buffer && !buffer->empty() ? buffer->data() : nullptr, inSize,
                              buffer && !buffer->empty() ? buffer->data() : nullptr, outSize, &n, nullptr);
    if (returned) *returned = n;
    return ok ? 0 : GetLastError();
}

DWORD Hook(HANDLE device, HANDLE semaphore)
{
    const DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(semaphore));
    Bytes buffer(4);
    memcpy(buffer.data(), &value, 4);
    return Request(device, KBF_IOCTL_HOOK, &buffer, 4, 0);
}

// Reads one event word after its semaphore signal; the wait has a deadline, never a fixed pause.
bool ReadEvent(HANDLE device, HANDLE semaphore, DWORD* word)
{
    if (WaitForSingleObject(semaphore, 5000) != WAIT_OBJECT_0) return false;
    Bytes buffer(4, 0xAA);
    DWORD returned = 0;
    if (Request(device, KBF_IOCTL_READ_EVENT, &buffer, 4, 4, &returned) != 0 || returned != 4) return false;
    memcpy(word, buffer.data(), 4);
    return true;
}

std::string HexLine(DWORD code, const Bytes& input)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(code));
    std::string line = text;
    for (unsigned char b : input) {
        std::snprintf(text, sizeof text, " %02X", b);
        line += text;
    }
    return line;
}

class DriverEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        RunResult install = Kbsim(L"install");
        ASSERT_EQ(install.exitCode, 0u) << install.err;
        RunResult start = Kbsim(L"start");
        ASSERT_EQ(start.exitCode, 0u) << start.err;
    }
    void TearDown() override
    {
        RunResult uninstall = Kbsim(L"uninstall");
        EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.err;
    }
};

// A client that has opened and hooked the device, as the agent is after start-up.
class HookedClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Kbsim(L"reset").exitCode, 0u);
        device = OpenFilter();
        ASSERT_TRUE(device.Valid()) << GetLastError();
        semaphore.Reset(CreateSemaphoreW(nullptr, 0, 100, nullptr));
        ASSERT_TRUE(semaphore.Valid());
        ASSERT_EQ(Hook(device.Get(), semaphore.Get()), 0u);
        ASSERT_EQ(Kbsim(L"reset").exitCode, 0u);
    }

    qelt::UniqueHandle device;
    qelt::UniqueKernelObject semaphore;
};

Bytes Filled(size_t n, unsigned char seed)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(seed + i * 7);
    return b;
}

Bytes IndexTable()
{
    Bytes t(55, 0);
    t[0] = 0x0A;
    t[2] = 0x37;
    t[4] = 0x11;
    const unsigned char entries[] = {0x11, 0, 0, 0, 2, 0x20, 0, 2, 0, 15};
    memcpy(&t[5], entries, sizeof entries);
    return t;
}

Bytes DataBlock()
{
    return {0x01, 0xFD, 0x84, 0x04, 0x01, 0x87, 0x00, 0x01, 0x84, 0x04, 0x00, 0x86, 0x00, 0x01, 0x87, 0x00, 0x01};
}

Bytes KeymapTable()
{
    Bytes t(21, 0);
    t[0] = 0x0A;
    t[1] = 0x04;
    t[2] = 0x01;
    t[3] = 0x16;
    t[4] = 0x03;
    return t;
}

TEST_F(HookedClient, EveryRequestIsAnsweredAndJournaledWithItsInput)
{
    struct Case {
        const char* what;
        DWORD code;
        Bytes input;
        DWORD outSize;
        DWORD expectedReturned;
    };
    const std::vector<Case> cases = {
        {"profile number", KBF_IOCTL_SET_DRIVER_PROFILEID, {0x02}, 1, 1},
        {"index table", KBF_IOCTL_SEND_INDEXTABLE, IndexTable(), 55, 55},
        {"data block", KBF_IOCTL_SEND_DATA, DataBlock(), 17, 17},
        {"empty data block", KBF_IOCTL_SEND_DATA, {}, 0, 0},
        {"full data block", KBF_IOCTL_SEND_DATA, Filled(8192, 3), 8192, 8192},
        {"key-mapping table", KBF_IOCTL_SEND_KEYMAPTABLE, KeymapTable(), 21, 21},
        {"current profile", KBF_IOCTL_SET_PROFILEID, {0x00}, 0, 0},
        {"unhook", KBF_IOCTL_UNHOOK, {}, 0, 0},
    };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        Bytes buffer = c.input;
        DWORD returned = 99;
        EXPECT_EQ(Request(device.Get(), c.code, &buffer, DWORD(c.input.size()), c.outSize, &returned), 0u) << c.what;
        EXPECT_EQ(returned, c.expectedReturned) << c.what;
        EXPECT_EQ(buffer, c.input) << c.what << ": the same buffer comes back unchanged";
        expected.push_back(HexLine(c.code, c.input));
    }
    EXPECT_EQ(Journal(), expected);
    EXPECT_EQ(Kbsim(L"journal").out.find('\r'), std::string::npos) << "lines end with a plain LF";
    EXPECT_EQ(Kbsim(L"wait journal 8 0").exitCode, 0u);
    EXPECT_EQ(Kbsim(L"wait journal 9 50").exitCode, 1u);
    EXPECT_EQ(StateValue("current_profile"), "0");
    EXPECT_EQ(StateValue("driver_profile"), "2");
    EXPECT_EQ(StateValue("requests SEND_DATA"), "3");
    EXPECT_EQ(StateValue("requests UNHOOK"), "1");
    EXPECT_EQ(StateValue("requests_failed"), "0");

    // The journal starts afresh after a reset.
    ASSERT_EQ(Kbsim(L"reset").exitCode, 0u);
    EXPECT_TRUE(Journal().empty());
}

TEST_F(HookedClient, MalformedRequestsAreRefusedButStillJournaled)
{
    Bytes badIndexHeader = IndexTable();
    badIndexHeader[2] = 0x36;
    Bytes badKeymapHeader = KeymapTable();
    badKeymapHeader[0] = 0x0B;
    Bytes shortIndex = IndexTable();
    shortIndex.pop_back();
    struct Case {
        const char* what;
        DWORD code;
        Bytes input;
        DWORD outSize;
        DWORD error;
    };
    const std::vector<Case> cases = {
        {"hook with 3 bytes", KBF_IOCTL_HOOK, {1, 2, 3}, 0, ERROR_INVALID_PARAMETER},
        {"hook with an output", KBF_IOCTL_HOOK, {1, 0, 0, 0}, 4, ERROR_INVALID_PARAMETER},
        {"unhook with input", KBF_IOCTL_UNHOOK, {1}, 0, ERROR_INVALID_PARAMETER},
        {"read with 2-byte output", KBF_IOCTL_READ_EVENT, {0, 0, 0, 0}, 2, ERROR_INVALID_PARAMETER},
        {"profile number 7", KBF_IOCTL_SET_DRIVER_PROFILEID, {7}, 1, ERROR_INVALID_PARAMETER},
        {"profile number without output", KBF_IOCTL_SET_DRIVER_PROFILEID, {1}, 0, ERROR_INVALID_PARAMETER},
        {"index table of 54 bytes", KBF_IOCTL_SEND_INDEXTABLE, shortIndex, 54, ERROR_INVALID_PARAMETER},
        {"index table with a wrong header", KBF_IOCTL_SEND_INDEXTABLE, badIndexHeader, 55, ERROR_INVALID_PARAMETER},
        {"data block of 8193 bytes", KBF_IOCTL_SEND_DATA, Filled(8193, 1), 8193, ERROR_INVALID_PARAMETER},
        {"data block with a shorter output", KBF_IOCTL_SEND_DATA, Filled(10, 1), 9, ERROR_INVALID_PARAMETER},
        {"key-mapping table of 20 bytes", KBF_IOCTL_SEND_KEYMAPTABLE, Filled(20, 10), 20, ERROR_INVALID_PARAMETER},
        {"key-mapping table with a wrong header", KBF_IOCTL_SEND_KEYMAPTABLE, badKeymapHeader, 21,
         ERROR_INVALID_PARAMETER},
        {"current profile 9", KBF_IOCTL_SET_PROFILEID, {9}, 0, ERROR_INVALID_PARAMETER},
        {"current profile with an output", KBF_IOCTL_SET_PROFILEID, {1}, 1, ERROR_INVALID_PARAMETER},
        {"unknown code", 0x222410, {1, 2}, 2, ERROR_INVALID_FUNCTION},
    };
    const std::string currentBefore = StateValue("current_profile");
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        Bytes buffer = c.input;
        if (buffer.size() < c.outSize) buffer.resize(c.outSize);
        EXPECT_EQ(Request(device.Get(), c.code, &buffer, DWORD(c.input.size()), c.outSize), c.error) << c.what;
        expected.push_back(HexLine(c.code, c.input));
    }
    EXPECT_EQ(Journal(), expected);
    EXPECT_EQ(StateValue("requests_failed"), std::to_string(cases.size()));
    EXPECT_EQ(StateValue("requests unknown"), "1");
    EXPECT_EQ(StateValue("hooked"), "yes") << "a refused hook request leaves the hook alone";
    EXPECT_EQ(StateValue("current_profile"), currentBefore) << "a refused request changes nothing";
}

TEST_F(HookedClient, TablesNeedAProfileNumberFirst)
{
    // Fresh driver state is only guaranteed right after start: restart to get it.
    device.Reset();
    ASSERT_EQ(Kbsim(L"stop").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"start").exitCode, 0u);
    device = OpenFilter();
    ASSERT_TRUE(device.Valid());
    Bytes table = KeymapTable();
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SEND_KEYMAPTABLE, &table, 21, 21), DWORD(ERROR_BAD_COMMAND));
}

TEST_F(HookedClient, InjectedWordsAreSignalledOnceEachAndReadInOrder)
{
    RunResult inject = Kbsim(L"inject 01F3 E900 0000 fd0a");
    ASSERT_EQ(inject.exitCode, 0u) << inject.err;
    RunResult undrained = Kbsim(L"wait drained 50");
    EXPECT_EQ(undrained.exitCode, 1u);
    EXPECT_NE(undrained.err.find("timed out"), std::string::npos) << undrained.err;
    for (DWORD expected : {0x01F3u, 0xE900u, 0x0000u, 0xFD0Au}) {
        DWORD word = 0;
        ASSERT_TRUE(ReadEvent(device.Get(), semaphore.Get(), &word));
        EXPECT_EQ(word, expected);
    }
    EXPECT_EQ(WaitForSingleObject(semaphore.Get(), 0), DWORD(WAIT_TIMEOUT)) << "one signal per word, no more";
    Bytes buffer(4);
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_READ_EVENT, &buffer, 4, 4), DWORD(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(Kbsim(L"wait drained 0").exitCode, 0u);
    EXPECT_EQ(StateValue("events_read"), "4");
    EXPECT_EQ(StateValue("pending_events"), "0");
    EXPECT_EQ(StateValue("hook_process"), std::to_string(GetCurrentProcessId()));
}

// The agent reads events on one thread while its window thread downloads tables on the same handle.
TEST_F(HookedClient, ReaderThreadGetsEveryWordWhileAnotherThreadSendsTables)
{
    std::vector<DWORD> received;
    std::thread reader([&] {
        for (int i = 0; i < 20; ++i) {
            DWORD word = 0;
            if (!ReadEvent(device.Get(), semaphore.Get(), &word)) return;
            received.push_back(word);
        }
    });
    std::wstring words;
    std::vector<DWORD> expected;
    for (DWORD i = 0; i < 20; ++i) {
        wchar_t word[8];
        swprintf(word, 8, L" %04X", 0xFD01 + i);
        words += word;
        expected.push_back(0xFD01 + i);
    }
    const RunResult inject = Kbsim(L"inject" + words);
    int failedSends = 0;
    for (int i = 0; i < 20; ++i) {
        Bytes profile{0x03};
        Bytes table = KeymapTable();
        failedSends += Request(device.Get(), KBF_IOCTL_SET_DRIVER_PROFILEID, &profile, 1, 1) != 0;
        failedSends += Request(device.Get(), KBF_IOCTL_SEND_KEYMAPTABLE, &table, 21, 21) != 0;
    }
    reader.join();
    EXPECT_EQ(inject.exitCode, 0u) << inject.err;
    EXPECT_EQ(failedSends, 0);
    EXPECT_EQ(received, expected);
}

TEST_F(HookedClient, InjectionNeverOverfillsTheSemaphore)
{
    std::wstring hundred;
    for (int i = 0; i < 100; ++i) {
        wchar_t word[8];
        swprintf(word, 8, L" %04X", 0x1000 + i);
        hundred += word;
    }
    ASSERT_EQ(Kbsim(L"inject" + hundred).exitCode, 0u);
    RunResult more = Kbsim(L"inject 00E2");
    EXPECT_NE(more.exitCode, 0u);
    EXPECT_NE(more.err.find("full"), std::string::npos) << more.err;
    for (int i = 0; i < 100; ++i) {
        DWORD word = 0;
        ASSERT_TRUE(ReadEvent(device.Get(), semaphore.Get(), &word)) << i;
        ASSERT_EQ(word, DWORD(0x1000 + i)) << i;
    }
    EXPECT_EQ(WaitForSingleObject(semaphore.Get(), 0), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(StateValue("injects_refused"), "1");
}

TEST_F(HookedClient, HookEndsWithUnhookOrWithTheHookingHandle)
{
    EXPECT_EQ(Kbsim(L"wait hooked 0").exitCode, 0u);
    // Another handle closing leaves the hook in place.
    qelt::UniqueHandle other = OpenFilter();
    ASSERT_TRUE(other.Valid());
    other.Reset();
    EXPECT_EQ(StateValue("hooked"), "yes");

    Bytes none;
    EXPECT_EQ(Kbsim(L"wait unhooked 50").exitCode, 1u);
    ASSERT_EQ(Request(device.Get(), KBF_IOCTL_UNHOOK, &none, 0, 0), 0u);
    EXPECT_EQ(Kbsim(L"wait unhooked 0").exitCode, 0u);
    EXPECT_EQ(StateValue("hooked"), "no");
    RunResult inject = Kbsim(L"inject E200");
    EXPECT_NE(inject.exitCode, 0u);
    EXPECT_NE(inject.err.find("no client"), std::string::npos) << inject.err;

    ASSERT_EQ(Hook(device.Get(), semaphore.Get()), 0u);
    ASSERT_EQ(Kbsim(L"inject E200").exitCode, 0u);
    device.Reset(); // closing drops the hook and its pending words
    EXPECT_EQ(StateValue("hooked"), "no");
    EXPECT_EQ(StateValue("pending_events"), "0");
}

TEST_F(HookedClient, HookRefusesAHandleThatIsNoSemaphore)
{
    qelt::UniqueKernelObject event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(event.Valid());
    EXPECT_EQ(Hook(device.Get(), event.Get()), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(Hook(device.Get(), reinterpret_cast<HANDLE>(0x7FF0)), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(HookedClient, ForcedFailuresGiveTheChosenErrorForTheChosenCount)
{
    ASSERT_EQ(Kbsim(L"fail 222480 1167 2").exitCode, 0u);
    Bytes profile{0x01};
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SET_DRIVER_PROFILEID, &profile, 1, 1), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SET_DRIVER_PROFILEID, &profile, 1, 1), DWORD(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SET_DRIVER_PROFILEID, &profile, 1, 1), 0u);
    EXPECT_EQ(Journal(), std::vector<std::string>(3, "00222480 01"));

    // Every error kbsim offers comes back to the caller as that error.
    for (DWORD error : {1u, 5u, 6u, 8u, 21u, 22u, 31u, 50u, 87u, 121u, 122u, 170u, 995u, 1117u, 1167u, 1450u}) {
        ASSERT_EQ(Kbsim(L"fail 0x2224A4 " + std::to_wstring(error)).exitCode, 0u) << error;
        Bytes table = KeymapTable();
        EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SEND_KEYMAPTABLE, &table, 21, 21), error);
    }
    // A forced hook failure leaves the client unhooked, as a real one would.
    ASSERT_EQ(Kbsim(L"fail 222400 31").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"inject 0000").exitCode, 0u);
    EXPECT_EQ(Hook(device.Get(), semaphore.Get()), DWORD(ERROR_GEN_FAILURE));

    // A rule can be withdrawn; errors kbsim cannot produce are refused clearly.
    ASSERT_EQ(Kbsim(L"fail 222544 87 5").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"fail 222544 0").exitCode, 0u);
    Bytes current{0x03};
    EXPECT_EQ(Request(device.Get(), KBF_IOCTL_SET_PROFILEID, &current, 1, 0), 0u);
    RunResult unsupported = Kbsim(L"fail 222544 9999");
    EXPECT_EQ(unsupported.exitCode, 2u);
    EXPECT_NE(unsupported.err.find("cannot be produced"), std::string::npos) << unsupported.err;
    EXPECT_EQ(Kbsim(L"fail zz 87").exitCode, 2u);
}

TEST_F(HookedClient, ReceivedTablesAreKeptPerProfileNumberAndDecoded)
{
    const struct {
        DWORD code;
        Bytes bytes;
    } sequence[] = {
        {KBF_IOCTL_SET_DRIVER_PROFILEID, {0x01}}, {KBF_IOCTL_SEND_INDEXTABLE, IndexTable()},
        {KBF_IOCTL_SET_DRIVER_PROFILEID, {0x01}}, {KBF_IOCTL_SEND_DATA, DataBlock()},
        {KBF_IOCTL_SET_DRIVER_PROFILEID, {0x01}}, {KBF_IOCTL_SEND_KEYMAPTABLE, KeymapTable()},
        {KBF_IOCTL_SET_DRIVER_PROFILEID, {0x06}}, {KBF_IOCTL_SEND_KEYMAPTABLE, Bytes{0x0A, 0x2C, 0x00}},
    };
    for (const auto& step : sequence) {
        Bytes buffer = step.bytes;
        if (step.code == KBF_IOCTL_SEND_KEYMAPTABLE) buffer.resize(21);
        ASSERT_EQ(Request(device.Get(), step.code, &buffer, DWORD(buffer.size()), DWORD(buffer.size())), 0u);
    }
    RunResult tables = Kbsim(L"tables");
    ASSERT_EQ(tables.exitCode, 0u) << tables.err;
    const auto lines = qelt::testing::SplitLines(tables.out);
    auto has = [&](const std::string& line) {
        for (const auto& l : lines)
            if (l == line) return true;
        return false;
    };
    EXPECT_TRUE(has("profile 1: index table, data block 17 bytes, key-mapping table")) << tables.out;
    EXPECT_TRUE(has("  M1: key 0x04 (A), param 1, type 0x11 launch, data 0+2: launch slot 1")) << tables.out;
    EXPECT_TRUE(has("  M2: key 0x16 (S), param 3, type 0x20 macro, data 2+15: press 0x04 (A), pause 25 ms, "
                    "release 0x04 (A), end, pause 25 ms"))
        << tables.out;
    EXPECT_TRUE(has("  M3: key 0x00, param 0, type 0x00 none")) << tables.out;
    EXPECT_TRUE(has("profile 6: no index table, no data block, key-mapping table")) << tables.out;
    EXPECT_TRUE(has("  M1: key 0x2C (Space), param 0")) << tables.out;
    EXPECT_EQ(tables.out.find("warning"), std::string::npos) << tables.out;
    EXPECT_EQ(tables.out.find("profile 2"), std::string::npos) << "profiles never sent are not listed";
}

TEST_F(HookedClient, JournalMemoryIsBounded)
{
    Bytes none;
    for (int i = 0; i < KBSIM_JOURNAL_MAX_ENTRIES + 5; ++i)
        ASSERT_EQ(Request(device.Get(), KBF_IOCTL_SET_PROFILEID, &none, 0, 0), DWORD(ERROR_INVALID_PARAMETER));
    RunResult journal = Kbsim(L"journal");
    EXPECT_EQ(qelt::testing::SplitLines(journal.out).size(), size_t(KBSIM_JOURNAL_MAX_ENTRIES));
    EXPECT_NE(journal.err.find("5 oldest entries were dropped"), std::string::npos) << journal.err;
    EXPECT_EQ(StateValue("journal_dropped"), "5");
}

TEST(KbsimCommandLine, MistakesAreRefusedWithTheUsage)
{
    for (const wchar_t* arguments : {L"", L"bogus", L"inject", L"inject XYZ", L"inject 1FFFFFFFF", L"journal extra",
                                     L"fail 222400", L"fail 222400 x", L"tables 7", L"tables a", L"wait",
                                     L"wait sometimes", L"wait journal", L"wait hooked soon"}) {
        const RunResult r = Kbsim(arguments);
        EXPECT_EQ(r.exitCode, 2u) << "kbsim " << std::string(arguments, arguments + wcslen(arguments));
        EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
    }
}

// Runs last among the tests that need the driver running: it stops and restarts it.
TEST(DriverLifecycle, OpenFailsWithFileNotFoundWhileStoppedAndInstallIsIdempotent)
{
    // Stopping under a hooked client: the client's handle goes dead, nothing hangs.
    qelt::UniqueHandle client = OpenFilter();
    ASSERT_TRUE(client.Valid());
    qelt::UniqueKernelObject semaphore(CreateSemaphoreW(nullptr, 0, 100, nullptr));
    ASSERT_EQ(Hook(client.Get(), semaphore.Get()), 0u);
    ASSERT_EQ(Kbsim(L"stop").exitCode, 0u);
    Bytes buffer(4);
    const DWORD staleError = Request(client.Get(), KBF_IOCTL_READ_EVENT, &buffer, 4, 4);
    EXPECT_NE(staleError, 0u);
    client.Reset();

    ASSERT_EQ(Kbsim(L"stop").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"stop").exitCode, 0u) << "stopping twice is harmless";
    SetLastError(0);
    EXPECT_FALSE(OpenFilter().Valid());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    RunResult inject = Kbsim(L"inject 0000");
    EXPECT_EQ(inject.exitCode, 1u);

    ASSERT_EQ(Kbsim(L"install").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"install").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"start").exitCode, 0u);
    ASSERT_EQ(Kbsim(L"start").exitCode, 0u) << "starting a running driver is harmless";
    RunResult reinstall = Kbsim(L"install");
    EXPECT_EQ(reinstall.exitCode, 0u) << reinstall.err;
    EXPECT_TRUE(OpenFilter().Valid());
}

} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new DriverEnvironment);
    return RUN_ALL_TESTS();
}

// The filter-driver link against a recording fake: request order, buffers, profile numbers, pauses,
// progress, failures, the closed device and the reader thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "device_link.h"
#include "collecting_sink.h"
#include "device_test_support.h"
#include "diag.h"
#include "fake_device_io.h"
#include "us_layout.h"

namespace qelt {
namespace {

using test::CollectingSink;

using test::FakeDeviceIo;
using test::HexBytes;
using Lines = std::vector<std::string>;

// Progress goes into the fake's journal so its order against requests and pauses shows.
class JournalProgress final : public ReportProgress {
public:
    explicit JournalProgress(FakeDeviceIo& io) : m_io(io) {}
    void Percent(int percent) override { m_io.Note("percent " + std::to_string(percent)); }
    void NotUpdated() override { m_io.Note("not updated"); }
    void Done() override { m_io.Note("done"); }

private:
    FakeDeviceIo& m_io;
};

std::string Ioctl(DWORD code, const std::string& input, DWORD outputLength)
{
    char head[32];
    std::snprintf(head, sizeof(head), "ioctl %06lX in=", static_cast<unsigned long>(code));
    return head + input + " out=" + std::to_string(outputLength);
}

std::string DriverProfile(int number)
{
    char byte[4];
    std::snprintf(byte, sizeof(byte), "%02X", number);
    return Ioctl(IOCTL_SET_DRIVER_PROFILEID, byte, 1);
}

std::string SetProfile(int number)
{
    char byte[4];
    std::snprintf(byte, sizeof(byte), "%02X", number);
    return Ioctl(IOCTL_SET_PROFILEID, byte, 0);
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        link.reset();
        io.ClearFailures();
        profiles = test::MakeUnusedProfiles();
        encoder = std::make_unique<DeviceTableEncoder>(
            test::AsProfileArray(profiles), layout);
        link = std::make_unique<DeviceLink>(io, *encoder);
    }

    void OpenAndForget()
    {
        ASSERT_TRUE(link->OpenUSBDriver());
        io.ClearJournal();
    }

    // `launches` launch slots (2 bytes each) and, when steps > 0, one macro slot (3 x (steps + 2) bytes).
    void ProfileWithData(int profile, int launches, int steps)
    {
        int slot = 0;
        for (; slot < launches; ++slot) {
            profiles[profile].TButton[slot].FunID = FUN_LAUNCH_APP;
            profiles[profile].TButton[slot].MappingKey = static_cast<uint8_t>(59 + slot);
        }
        if (steps > 0) {
            BUTTON_CONFIG& button = profiles[profile].TButton[slot];
            button.FunID = FUN_MACRO;
            button.MappingKey = 60;
            button.Macro.RepeatOption = 1;
            button.Macro.length = static_cast<uint16_t>(steps);
            for (int k = 0; k < steps; ++k)
                button.Macro.Steps[k] = MACRO_STEP{0x04, {0, 0, 0}, (k + 1) % 2};
        }
    }

    // The reader running on the open device; its next read fails.
    void ReadWithTheNextReadFailing(CollectingSink& sink, DWORD error = ERROR_GEN_FAILURE)
    {
        ASSERT_TRUE(link->StartReader(sink));
        OpenAndForget();
        io.FailRequest(IOCTL_READ_EVENT, error, 1);
    }

    // Runs a download step by step; after the step that reported `percent`, `between` runs once.
    template <typename Between>
    void DownloadWith(int profile, int percent, Between between)
    {
        Job job = link->DownloadProfile(profile, 104, progress);
        const std::string mark = "percent " + std::to_string(percent);
        bool done = false;
        while (!job.Done()) {
            if (const unsigned pause = job.RunNext())
                io.Pause(pause);
            if (!done) {
                const Lines journal = io.Journal();
                if (std::find(journal.begin(), journal.end(), mark) != journal.end()) {
                    between();
                    done = true;
                }
            }
        }
    }

    void Download(int profile, int keyNum) { link->RunToEnd(link->DownloadProfile(profile, keyNum, progress)); }
    void Reset(int profile, int current)
    {
        link->RunToEnd(link->ResetProfile(profile, [current] { return current; }, progress));
    }

    test::UsEnglishTestLayout layout;
    FakeDeviceIo io;
    std::shared_ptr<JournalProgress> progress = std::make_shared<JournalProgress>(io);
    std::unique_ptr<PROFILE_CONFIG[]> profiles;
    std::unique_ptr<DeviceTableEncoder> encoder;
    std::unique_ptr<DeviceLink> link;
};

TEST_F(LinkTest, OpenHooksWithTheSemaphoreHandle)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    EXPECT_TRUE(link->IsOpen());
    uint32_t handleValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(link->EventSemaphore()));
    EXPECT_EQ(io.Journal(), (Lines{"open", Ioctl(IOCTL_HOOK, HexBytes(reinterpret_cast<uint8_t*>(&handleValue), 4), 0)}));
}

TEST_F(LinkTest, FailedOpenLeavesTheDeviceClosed)
{
    DiagCapture diagnostics;
    io.FailOpen(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(link->OpenUSBDriver());
    EXPECT_FALSE(link->IsOpen());
    EXPECT_EQ(io.Journal(), (Lines{"open"}));
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: Cannot create device, error=00000002\n"));
}

TEST_F(LinkTest, FailedHookClosesTheHandleSoALaterOpenCanRetry)
{
    DiagCapture diagnostics;
    io.FailRequest(IOCTL_HOOK, ERROR_GEN_FAILURE, 1);
    EXPECT_FALSE(link->OpenUSBDriver());
    EXPECT_FALSE(link->IsOpen());
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: hook device failed, error=1f\n"));
    const Lines journal = io.Journal();
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[2], "close");

    EXPECT_TRUE(link->OpenUSBDriver());
    EXPECT_TRUE(link->IsOpen());
}

TEST_F(LinkTest, OpeningAnOpenDeviceReleasesTheOldHandleFirst)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    io.ClearJournal();
    ASSERT_TRUE(link->OpenUSBDriver());
    const Lines journal = io.Journal();
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0], Ioctl(IOCTL_UNHOOK, "", 0));
    EXPECT_EQ(journal[1], "close");
    EXPECT_EQ(journal[2], "open");
    EXPECT_EQ(io.RequestsOnClosedHandles(), 0);
}

TEST_F(LinkTest, CloseUnhooksAndClosesEvenWhenTheUnhookFails)
{
    for (bool unhookFails : {false, true}) {
        SCOPED_TRACE(unhookFails);
        OpenAndForget();
        DiagCapture diagnostics;
        if (unhookFails)
            io.FailRequest(IOCTL_UNHOOK, ERROR_ACCESS_DENIED, 1);
        link->CloseUSBDriver();
        EXPECT_FALSE(link->IsOpen());
        EXPECT_EQ(io.Journal(), (Lines{Ioctl(IOCTL_UNHOOK, "", 0), "close"}));
        EXPECT_EQ(diagnostics.Contains(L"ERROR: UNhook device failed, error=5\n"), unhookFails);
    }
    io.ClearJournal();
    link->CloseUSBDriver();  // already closed: nothing to do
    EXPECT_TRUE(io.Journal().empty());
}

TEST_F(LinkTest, CurrentProfileNumbersOnTheWire)
{
    struct Case {
        int profile;
        int number;
    };
    for (const Case c : {Case{0, 1}, Case{2, 3}, Case{4, 5}, Case{5, 0}}) {
        SCOPED_TRACE(c.profile);
        OpenAndForget();
        link->RunToEnd(link->SenDeviceCurProfileID(c.profile));
        EXPECT_EQ(io.Journal(),
                  (Lines{DriverProfile(c.number), "pause 200", "pause 50", SetProfile(c.number), "pause 200"}));
    }
}

TEST_F(LinkTest, ProfileIndicesOutsideTheRecordsSendNothing)
{
    OpenAndForget();
    DiagCapture diagnostics;
    for (int profile : {-1, 6, 255}) {
        link->RunToEnd(link->SenDeviceCurProfileID(profile));
        link->RunToEnd(link->SendIndexTable(profile));
        link->RunToEnd(link->SendMacroDataBlock2Device(profile));
        link->RunToEnd(link->SendKeyMapTable(profile));
    }
    EXPECT_TRUE(io.Journal().empty());
    EXPECT_TRUE(diagnostics.Contains(L"no profile -1"));
}

TEST_F(LinkTest, DataPauseGrowsWithEachWhole512Bytes)
{
    struct Case {
        int launches;
        int steps;
        size_t bytes;
        int pause;
    };
    const Case cases[] = {
        {0, 0, 0, 500},   {2, 167, 511, 500},  {1, 168, 512, 1000},
        {0, 339, 1023, 1000}, {2, 338, 1024, 1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        SetUp();
        ProfileWithData(2, c.launches, c.steps);
        encoder->FormatKeyMappingData(103, 2);
        const std::vector<uint8_t> block = encoder->BuildMacroDataBlock(2);
        ASSERT_EQ(block.size(), c.bytes);
        OpenAndForget();
        link->RunToEnd(link->SendMacroDataBlock2Device(2));
        EXPECT_EQ(io.Journal(), (Lines{DriverProfile(3), "pause 200",
                                       Ioctl(IOCTL_SEND_DATA, HexBytes(block), static_cast<DWORD>(c.bytes)),
                                       "pause " + std::to_string(c.pause)}));
    }
}

TEST_F(LinkTest, DownloadSendsTheThreeTablesInOrderWithProgress)
{
    profiles[1].TButton[0].FunID = FUN_LAUNCH_APP;
    profiles[1].TButton[0].MappingKey = 59;
    OpenAndForget();
    DiagCapture diagnostics;
    Download(1, 104);

    std::string zeros45;
    for (int i = 0; i < 45; ++i)
        zeros45 += " 00";
    std::string zeros18;
    for (int i = 0; i < 18; ++i)
        zeros18 += " 00";
    EXPECT_EQ(io.Journal(), (Lines{
                                "percent 25", "pause 500",
                                DriverProfile(2), "pause 200",
                                Ioctl(IOCTL_SEND_INDEXTABLE, "0A 00 37 00 02 11 00 00 00 02" + zeros45, 55), "pause 200",
                                "percent 50", "pause 500",
                                DriverProfile(2), "pause 200",
                                Ioctl(IOCTL_SEND_DATA, "01 FD", 2), "pause 500",
                                "percent 75", "pause 500",
                                DriverProfile(2), "pause 200",
                                Ioctl(IOCTL_SEND_KEYMAPTABLE, "0A 04 01" + zeros18, 21), "pause 200",
                                "percent 100", "pause 500", "pause 100", "done"}));
    EXPECT_TRUE(diagnostics.Contains(L"sending data to device...\n"));
    EXPECT_TRUE(diagnostics.Contains(L"sending data to device Profile 1,TButton[0].MappingKey=59\n"));
    EXPECT_FALSE(diagnostics.Contains(L"TButton[1].MappingKey"));
}

TEST_F(LinkTest, DownloadLogsEverySlotWhenNoneHasAKey)
{
    OpenAndForget();
    DiagCapture diagnostics;
    Download(0, 103);
    EXPECT_TRUE(diagnostics.Contains(L"sending data to device Profile 0,TButton[9].MappingKey=255\n"));
    EXPECT_EQ(io.Requests().size(), 6u);
    EXPECT_EQ(io.Requests()[3], Ioctl(IOCTL_SEND_DATA, "", 0));
}

TEST_F(LinkTest, ClosedDeviceStillRunsProgressAndPauses)
{
    ProfileWithData(0, 1, 5);
    Download(0, 103);
    EXPECT_EQ(io.Journal(), (Lines{"percent 25", "pause 500", "percent 50", "pause 500", "percent 75", "pause 500",
                                   "percent 100", "pause 500", "pause 100", "done"}));
    io.ClearJournal();
    Reset(0, 0);
    EXPECT_EQ(io.Journal(), (Lines{"percent 25", "pause 100", "percent 50", "pause 100", "percent 75", "pause 100",
                                   "percent 100", "pause 500", "done"}));
}

TEST_F(LinkTest, ResetClearsTheKeyMappingAndRestoresTheCurrentProfile)
{
    ProfileWithData(1, 2, 3);
    encoder->FormatKeyMappingData(103, 1);
    OpenAndForget();
    DiagCapture diagnostics;
    Reset(1, 3);

    std::string zeros20;
    for (int i = 0; i < 20; ++i)
        zeros20 += " 00";
    EXPECT_EQ(io.Journal(), (Lines{"percent 25", "pause 100", "percent 50", "pause 100", "percent 75", "pause 100",
                                   DriverProfile(2), "pause 200",
                                   Ioctl(IOCTL_SEND_KEYMAPTABLE, "0A" + zeros20, 21), "pause 200",
                                   "percent 100", "pause 500",
                                   DriverProfile(4), "pause 200", "pause 50", SetProfile(4), "pause 200",
                                   "done"}));
    EXPECT_TRUE(diagnostics.Contains(L"reseting Profile 1...\n"));
}

// A failed request is reported and skips its pause; the sequence goes on with its progress. A table
// whose own profile number failed is not sent (it would land under the number sent before), and
// when the index table or the data block did not arrive the key mapping sent is the cleared one.
TEST_F(LinkTest, FailedRequestsInADownload)
{
    const std::string number = DriverProfile(2);
    std::string zeros45, zeros18;
    for (int i = 0; i < 45; ++i)
        zeros45 += " 00";
    for (int i = 0; i < 18; ++i)
        zeros18 += " 00";
    const std::string index = Ioctl(IOCTL_SEND_INDEXTABLE, "0A 00 37 00 02 11 00 00 00 02" + zeros45, 55);
    const std::string data = Ioctl(IOCTL_SEND_DATA, "01 FD", 2);
    const std::string keyMap = Ioctl(IOCTL_SEND_KEYMAPTABLE, "0A 04 01" + zeros18, 21);
    const std::string cleared = Ioctl(IOCTL_SEND_KEYMAPTABLE, "0A 00 00" + zeros18, 21);
    struct Case {
        const char* what;
        DWORD code;
        int skip;  // requests of that code that succeed first
        Lines requests;
        const wchar_t* diagnostic;
    };
    const Case cases[] = {
        {"index table", IOCTL_SEND_INDEXTABLE, 0, {number, index, number, data, number, cleared},
         L"ERROR: IOCTL_SEND_INDEXTABLE failed, error=1f\n"},
        {"data block", IOCTL_SEND_DATA, 0, {number, index, number, data, number, cleared},
         L"ERROR: IOCTL_SEND_DATA failed, error=1f\n"},
        {"key mapping", IOCTL_SEND_KEYMAPTABLE, 0, {number, index, number, data, number, keyMap},
         L"ERROR: IOCTL_SEND_KEYMAPTABLE failed, error=1f\n"},
        {"number of the index table", IOCTL_SET_DRIVER_PROFILEID, 0, {number, number, data, number, cleared},
         L"ERROR: IOCTL_SEND_INDEXTABLE not sent: its IOCTL_SET_DRIVER_PROFILEID failed\n"},
        {"number of the data block", IOCTL_SET_DRIVER_PROFILEID, 1, {number, index, number, number, cleared},
         L"ERROR: IOCTL_SEND_DATA not sent: its IOCTL_SET_DRIVER_PROFILEID failed\n"},
        {"number of the key mapping", IOCTL_SET_DRIVER_PROFILEID, 2, {number, index, number, data, number},
         L"ERROR: IOCTL_SEND_KEYMAPTABLE not sent: its IOCTL_SET_DRIVER_PROFILEID failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        profiles[1].TButton[0].FunID = FUN_LAUNCH_APP;
        profiles[1].TButton[0].MappingKey = 59;
        OpenAndForget();
        io.FailRequest(c.code, ERROR_GEN_FAILURE, 1, c.skip);
        DiagCapture diagnostics;
        Download(1, 104);
        EXPECT_EQ(io.Requests(), c.requests);
        EXPECT_TRUE(diagnostics.Contains(c.diagnostic));
        EXPECT_TRUE(diagnostics.Contains(L"Profile 1: the keyboard was not updated\n"));
        Lines notes;
        for (const std::string& line : io.Journal())
            if (line.rfind("percent", 0) == 0 || line == "not updated" || line == "done")
                notes.push_back(line);
        EXPECT_EQ(notes, (Lines{"percent 25", "percent 50", "percent 75", "percent 100", "not updated", "done"}));
    }
}

TEST_F(LinkTest, DownloadAfterAFailedOneSendsTheKeyMappingAgain)
{
    profiles[1].TButton[0].FunID = FUN_LAUNCH_APP;
    profiles[1].TButton[0].MappingKey = 59;
    OpenAndForget();
    io.FailRequest(IOCTL_SEND_DATA, ERROR_GEN_FAILURE, 1);
    Download(1, 104);
    io.ClearJournal();
    Download(1, 104);
    std::string zeros18;
    for (int i = 0; i < 18; ++i)
        zeros18 += " 00";
    const Lines requests = io.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[5], Ioctl(IOCTL_SEND_KEYMAPTABLE, "0A 04 01" + zeros18, 21));
    const Lines journal = io.Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "not updated"), 0);
}

TEST_F(LinkTest, FailedProfileRequestsAreReported)
{
    OpenAndForget();
    io.FailRequest(IOCTL_SET_PROFILEID, ERROR_INVALID_FUNCTION, 1);
    DiagCapture diagnostics;
    link->RunToEnd(link->SenDeviceCurProfileID(2));
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: IOCTL_SET_PROFILEID failed, error=1\n"));
    EXPECT_EQ(io.Journal(), (Lines{DriverProfile(3), "pause 200", "pause 50", SetProfile(3)}));
}

TEST_F(LinkTest, ReaderDeliversEventsInOrder)
{
    CollectingSink sink;
    ASSERT_TRUE(link->StartReader(sink));
    OpenAndForget();
    DiagCapture diagnostics;
    for (uint32_t word : {0xB500u, 0x01F3u, 0x1234FD05u, 0x0000u})
        ASSERT_TRUE(io.InjectEvent(word));
    EXPECT_EQ(sink.WaitFor(4), (std::vector<uint16_t>{0xB500, 0x01F3, 0xFD05, 0x0000}));
    EXPECT_TRUE(diagnostics.Contains(L"read: 1234fd05\n"));
    link->StopReader();  // nothing more can be read
    // One read per count: none beyond the four words.
    EXPECT_EQ(io.Requests(), Lines(4, Ioctl(IOCTL_READ_EVENT, "", 4)));
}

TEST_F(LinkTest, FailedReadIsReportedAndTheNextEventIsRead)
{
    CollectingSink sink;
    DiagCapture diagnostics;
    ReadWithTheNextReadFailing(sink);
    ASSERT_TRUE(io.SignalOnly());
    ASSERT_TRUE(io.InjectEvent(0xE900));
    EXPECT_EQ(sink.WaitFor(1), (std::vector<uint16_t>{0xE900}));
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: read call failed, error=1f\n"));
}

// A failed read used up the count of a word the driver still holds. Without catching up, every later
// count would read the word before its own: each key one event behind.
TEST_F(LinkTest, FailedReadLeavesNoWordBehind)
{
    // ERROR_NOT_READY is a driver's error like any other, not the link's mark of a closed device.
    for (const DWORD error : {DWORD(ERROR_GEN_FAILURE), DWORD(ERROR_NOT_READY)}) {
        SCOPED_TRACE(error);
        SetUp();
        CollectingSink sink;
        DiagCapture diagnostics;
        ReadWithTheNextReadFailing(sink, error);
        ASSERT_TRUE(io.InjectEvent(0xB500));
        for (int i = 0; i < 1000 && io.Requests().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(io.Requests().size(), 1u);  // the failed read
        ASSERT_TRUE(io.InjectEvents({0xE200, 0xB600}));
        EXPECT_EQ(sink.WaitFor(3), (std::vector<uint16_t>{0xB500, 0xE200, 0xB600}));
        ASSERT_TRUE(io.InjectEvent(0xB700));
        EXPECT_EQ(sink.WaitFor(4), (std::vector<uint16_t>{0xB500, 0xE200, 0xB600, 0xB700}));
        link->StopReader();
        // The failed read, the three words and the read that found none left, then one read for B700:
        // the catch-up took back the count of the third word it read, so no count reads nothing.
        EXPECT_EQ(io.Requests().size(), 6u);
        EXPECT_TRUE(diagnostics.Contains(error == ERROR_NOT_READY ? L"ERROR: read call failed, error=15\n"
                                                                   : L"ERROR: read call failed, error=1f\n"));
        EXPECT_FALSE(diagnostics.Contains(L"error=103"));
        EXPECT_EQ(sink.Gone(), 0);
    }
}

// The device closing under a running download (it should not, but a driver can go): the remaining
// tables are not sent, and the download reports the failure, never a finished download. Opening
// another device under a download that started without one is the same.
TEST_F(LinkTest, DeviceClosingOrOpeningUnderADownloadFailsIt)
{
    const std::string number = DriverProfile(2);
    struct Case {
        const char* what;
        bool openAtStart;
        size_t requestsBefore;  // the requests sent before the 50 % point
    };
    for (const Case c : {Case{"closed after 50 %", true, 2}, Case{"opened after 50 %", false, 0}}) {
        SCOPED_TRACE(c.what);
        SetUp();
        io.ClearJournal();
        profiles[1].TButton[0].FunID = FUN_LAUNCH_APP;
        profiles[1].TButton[0].MappingKey = 59;
        if (c.openAtStart)
            OpenAndForget();
        DiagCapture diagnostics;
        DownloadWith(1, 50, [&] {
            if (c.openAtStart)
                link->CloseUSBDriver();
            else
                ASSERT_TRUE(link->OpenUSBDriver());
        });
        Lines requests;
        for (const std::string& line : io.Requests())
            if (line.find(" 222404 ") == std::string::npos && line.find(" 222400 ") == std::string::npos)
                requests.push_back(line);
        EXPECT_EQ(requests.size(), c.requestsBefore);
        Lines notes;
        for (const std::string& line : io.Journal())
            if (line.rfind("percent", 0) == 0 || line == "not updated" || line == "done")
                notes.push_back(line);
        EXPECT_EQ(notes, (Lines{"percent 25", "percent 50", "percent 75", "percent 100", "not updated", "done"}));
        EXPECT_TRUE(diagnostics.Contains(L"Profile 1: the keyboard was not updated\n"));
    }
}

TEST_F(LinkTest, DownloadWithoutADeviceThroughoutIsNoFailure)
{
    Download(1, 104);
    const Lines journal = io.Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "not updated"), 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "done"), 1);
    EXPECT_TRUE(io.Requests().empty());
}

TEST(DeviceGoneErrors, OnlyErrorsOfAGoneHandle)
{
    for (const DWORD error : {ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND, ERROR_DEVICE_NOT_CONNECTED,
                              ERROR_OPERATION_ABORTED, ERROR_ACCESS_DENIED})
        EXPECT_TRUE(IsDeviceGoneError(error)) << error;
    for (const DWORD error : {DWORD(0), DWORD(ERROR_GEN_FAILURE), DWORD(ERROR_NOT_READY), DWORD(ERROR_NO_MORE_ITEMS),
                              DWORD(ERROR_INVALID_PARAMETER), DWORD(ERROR_INVALID_FUNCTION), DWORD(ERROR_BAD_COMMAND)})
        EXPECT_FALSE(IsDeviceGoneError(error)) << error;
}

// A read or a request failing with a gone handle's error tells the agent, which then checks.
TEST_F(LinkTest, GoneErrorsOfReadsAndRequestsAreReported)
{
    CollectingSink sink;
    ReadWithTheNextReadFailing(sink, ERROR_DEVICE_NOT_CONNECTED);
    ASSERT_TRUE(io.SignalOnly());
    EXPECT_EQ(sink.WaitForGone(1), 1);
    io.FailRequest(IOCTL_SET_DRIVER_PROFILEID, ERROR_INVALID_HANDLE, 1);
    link->RunToEnd(link->SenDeviceCurProfileID(2));
    EXPECT_EQ(sink.WaitForGone(2), 2);
    io.FailRequest(IOCTL_SET_DRIVER_PROFILEID, ERROR_GEN_FAILURE, 1);
    link->RunToEnd(link->SenDeviceCurProfileID(2));
    ASSERT_TRUE(io.InjectEvent(0xB500));
    sink.WaitFor(1);
    EXPECT_EQ(sink.Gone(), 2);
}

// The check repeats the profile number sent last, so the next table goes where it would have gone.
TEST_F(LinkTest, CheckRepeatsTheLastProfileNumberAndFailsOnlyForAGoneHandle)
{
    EXPECT_FALSE(link->CheckDevice());  // closed: no request
    EXPECT_TRUE(io.Requests().empty());
    OpenAndForget();
    EXPECT_TRUE(link->CheckDevice());
    link->RunToEnd(link->SenDeviceCurProfileID(3));
    io.ClearJournal();
    EXPECT_TRUE(link->CheckDevice());
    EXPECT_EQ(io.Requests(), (Lines{DriverProfile(4)}));

    DiagCapture diagnostics;
    io.FailRequest(IOCTL_SET_DRIVER_PROFILEID, ERROR_GEN_FAILURE, 1);
    EXPECT_TRUE(link->CheckDevice()) << "a driver that answers with an error is still there";
    for (const DWORD error : {ERROR_INVALID_HANDLE, ERROR_DEVICE_NOT_CONNECTED, ERROR_ACCESS_DENIED}) {
        io.FailRequest(IOCTL_SET_DRIVER_PROFILEID, error, 1);
        EXPECT_FALSE(link->CheckDevice()) << error;
    }
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: device check (IOCTL_SET_DRIVER_PROFILEID) failed, error=6\n"));
    EXPECT_TRUE(link->IsOpen()) << "the agent decides what a failed check closes";
}

TEST_F(LinkTest, ReleasesWhileClosedAreConsumedWithoutReads)
{
    CollectingSink sink;
    ASSERT_TRUE(link->StartReader(sink));
    OpenAndForget();
    ASSERT_TRUE(io.InjectEvent(0xB600));
    ASSERT_EQ(sink.WaitFor(1).size(), 1u);
    link->CloseUSBDriver();
    for (int i = 0; i < 3; ++i)
        ReleaseSemaphore(link->EventSemaphore(), 1, nullptr);
    DiagCapture diagnostics;
    link->StopReader();  // joins: returns only once the thread has ended
    EXPECT_TRUE(diagnostics.Contains(L"Thread exit!\n"));
    int reads = 0;
    for (const std::string& line : io.Requests())
        reads += line.rfind(Ioctl(IOCTL_READ_EVENT, "", 4), 0) == 0;
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(sink.WaitFor(1).size(), 1u);
}

TEST_F(LinkTest, ShutDownWithTheDeviceOpenClosesItAndEndsTheReader)
{
    CollectingSink sink;
    ASSERT_TRUE(link->StartReader(sink));
    OpenAndForget();
    DiagCapture diagnostics;
    link.reset();
    EXPECT_TRUE(diagnostics.Contains(L"Thread exit!\n"));
    EXPECT_EQ(io.Journal(), (Lines{Ioctl(IOCTL_UNHOOK, "", 0), "close"}));
}

// The reader's reads and the window thread's open/close/sends never touch a closed handle.
TEST_F(LinkTest, ReaderAndWindowThreadDoNotRaceOnTheHandle)
{
    CollectingSink sink;
    ASSERT_TRUE(link->StartReader(sink));
    std::atomic<bool> stop{false};
    std::thread injector([&] {
        while (!stop) {
            io.SignalOnly();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 300; ++i) {
        link->OpenUSBDriver();
        link->RunToEnd(link->SendKeyMapTable(0));
        link->CloseUSBDriver();
    }
    stop = true;
    injector.join();
    link->StopReader();
    EXPECT_EQ(io.RequestsOnClosedHandles(), 0);
}

} // namespace
} // namespace qelt

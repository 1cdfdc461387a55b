// The real link against the simulated keyboard under Wine: the driver stand-in journals every
// request it receives, and `kbsim` reads that journal back and injects key events.
#include <windows.h>

#include <gtest/gtest.h>

#include "run_program.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device_link.h"
#include "collecting_sink.h"
#include "device_test_support.h"
#include "diag.h"
#include "handles.h"
#include "us_english_layout.h"

namespace qelt {
namespace {

using test::CollectingSink;

using test::Key;
using test::PauseMs;

using Lines = std::vector<std::string>;
using testing::RunResult;
using testing::SplitLines;

// kbsim.exe ARGUMENTS; stdout and stderr collected.
RunResult Kbsim(const std::wstring& arguments)
{
    return testing::RunProgram(testing::DevToolsFolder() + L"kbsim\\kbsim.exe", arguments);
}

Lines Journal()
{
    const RunResult result = Kbsim(L"journal");
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    return SplitLines(result.out);
}

std::string StateValue(const std::string& name)
{
    for (const std::string& line : SplitLines(Kbsim(L"state").out))
        if (line.rfind(name + " ", 0) == 0)
            return line.substr(name.size() + 1);
    return "<missing " + name + ">";
}

void ResetJournal() { ASSERT_EQ(Kbsim(L"reset").exitCode, 0u); }

// One journal line as the stand-in writes it: code, then " XX" per input byte.
std::string Entry(DWORD code, const std::vector<uint8_t>& input = {})
{
    char text[16];
    std::snprintf(text, sizeof(text), "%08lX", static_cast<unsigned long>(code));
    std::string line = text;
    for (uint8_t byte : input) {
        std::snprintf(text, sizeof(text), " %02X", byte);
        line += text;
    }
    return line;
}

// The real device calls without the contractual pauses, so the suite stays quick.
class UnpausedDeviceIo final : public DeviceIo {
public:
    DWORD Open(const wchar_t* name, HANDLE* device) override { return m_real.Open(name, device); }
    DWORD Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                  DWORD outputLength) override
    {
        return m_real.Control(device, code, input, inputLength, output, outputLength);
    }
    void Close(HANDLE device) override { m_real.Close(device); }
    void Pause(DWORD) override {}

private:
    Win32DeviceIo m_real;
};

class RecordingProgress final : public ReportProgress {
public:
    void Percent(int percent) override { steps.push_back(std::to_string(percent)); }
    void NotUpdated() override { steps.push_back("not updated"); }
    void Done() override { steps.push_back("done"); }
    Lines steps;
};

class DriverEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const RunResult install = Kbsim(L"install");
        ASSERT_EQ(install.exitCode, 0u) << install.err;
        const RunResult start = Kbsim(L"start");
        ASSERT_EQ(start.exitCode, 0u) << start.err;
    }
    void TearDown() override
    {
        const RunResult uninstall = Kbsim(L"uninstall");
        EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.err;
    }
};

class KbsimLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        profiles = test::MakeUnusedProfiles();
        // Profile 1: launch on A, a recorded macro on S, Ctrl+C on D, a disabled key on F.
        BUTTON_CONFIG* slots = profiles[1].TButton;
        slots[0].FunID = FUN_LAUNCH_APP;
        slots[0].MappingKey = 59;
        slots[1].FunID = FUN_MACRO;
        slots[1].MappingKey = 60;
        slots[1].Macro.RepeatOption = 3;
        const MACRO_STEP macro[] = {Key(0x04, 1), PauseMs(30), Key(0x04, 0)};
        std::memcpy(slots[1].Macro.Steps, macro, sizeof(macro));
        slots[1].Macro.length = 3;
        slots[4].FunID = FUN_CTRL_C;
        slots[4].MappingKey = 61;
        slots[4].Macro.RepeatOption = 1;
        const MACRO_STEP shortcut[] = {Key(0xE0, 1), PauseMs(1), Key(0x06, 1), PauseMs(0),
                                       Key(0x06, 0), PauseMs(1), Key(0xE0, 0)};
        std::memcpy(slots[4].Macro.Steps, shortcut, sizeof(shortcut));
        slots[4].Macro.length = 7;
        slots[7].FunID = FUN_DISABLE_KEY;
        slots[7].MappingKey = 62;

        encoder = std::make_unique<DeviceTableEncoder>(
            test::AsProfileArray(profiles), BuiltInUsEnglishLayout());
        link = std::make_unique<DeviceLink>(io, *encoder);
        ResetJournal();
    }

    void TearDown() override
    {
        link.reset();
        Kbsim(L"reset");
    }

    UnpausedDeviceIo io;
    std::unique_ptr<PROFILE_CONFIG[]> profiles;
    std::unique_ptr<DeviceTableEncoder> encoder;
    std::unique_ptr<DeviceLink> link;
    void Download(int profile, int keyNum) { link->RunToEnd(link->DownloadProfile(profile, keyNum, progress)); }

    std::shared_ptr<RecordingProgress> progress = std::make_shared<RecordingProgress>();
};

TEST_F(KbsimLinkTest, OpenHooksAndCloseUnhooks)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    EXPECT_EQ(StateValue("hooked"), "yes");
    const uint32_t semaphore = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(link->EventSemaphore()));
    const uint8_t* value = reinterpret_cast<const uint8_t*>(&semaphore);
    EXPECT_EQ(Journal(), (Lines{Entry(IOCTL_HOOK, {value[0], value[1], value[2], value[3]})}));

    link->CloseUSBDriver();
    EXPECT_EQ(StateValue("hooked"), "no");
    EXPECT_EQ(Journal().back(), Entry(IOCTL_UNHOOK));
}

TEST_F(KbsimLinkTest, DownloadDeliversTheEncodedTables)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    ResetJournal();
    DiagCapture diagnostics;
    Download(1, 104);

    const Lines expected{
        Entry(IOCTL_SET_DRIVER_PROFILEID, {0x02}), Entry(IOCTL_SEND_INDEXTABLE, encoder->BuildIndexTable(1)),
        Entry(IOCTL_SET_DRIVER_PROFILEID, {0x02}), Entry(IOCTL_SEND_DATA, encoder->BuildMacroDataBlock(1)),
        Entry(IOCTL_SET_DRIVER_PROFILEID, {0x02}), Entry(IOCTL_SEND_KEYMAPTABLE, encoder->BuildKeyMapTable(1)),
    };
    EXPECT_EQ(Journal(), expected);
    EXPECT_EQ(encoder->BuildKeyMapTable(1),
              (std::vector<uint8_t>{0x0A, 0x04, 0x01, 0x16, 0x03, 0, 0, 0, 0, 0x07, 0x01, 0, 0, 0, 0, 0x09, 0x00,
                                    0, 0, 0, 0}));
    EXPECT_EQ(encoder->BuildMacroDataBlock(1).size(), 2u + 15u + 27u);
    EXPECT_EQ(progress->steps, (Lines{"25", "50", "75", "100", "done"}));
    EXPECT_FALSE(diagnostics.Contains(L"ERROR"));

    // The stand-in decodes what it stored and finds the three tables consistent.
    const RunResult tables = Kbsim(L"tables 2");
    EXPECT_EQ(tables.exitCode, 0u) << tables.err;
    EXPECT_EQ(tables.out.find("warning"), std::string::npos) << tables.out;
    EXPECT_NE(tables.out.find("launch slot 1"), std::string::npos) << tables.out;
}

TEST_F(KbsimLinkTest, ResetClearsTheKeyMappingThenRestoresTheCurrentProfile)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    Download(1, 103);
    ResetJournal();
    progress->steps.clear();
    link->RunToEnd(link->ResetProfile(1, [] { return 3; }, progress));

    std::vector<uint8_t> cleared(21, 0);
    cleared[0] = 0x0A;
    EXPECT_EQ(Journal(), (Lines{Entry(IOCTL_SET_DRIVER_PROFILEID, {0x02}), Entry(IOCTL_SEND_KEYMAPTABLE, cleared),
                                Entry(IOCTL_SET_DRIVER_PROFILEID, {0x04}), Entry(IOCTL_SET_PROFILEID, {0x04})}));
    EXPECT_EQ(StateValue("current_profile"), "4");
    EXPECT_EQ(progress->steps, (Lines{"25", "50", "75", "100", "done"}));
}

TEST_F(KbsimLinkTest, SetProfileMakesPcModeProfileZero)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    ResetJournal();
    link->RunToEnd(link->SenDeviceCurProfileID(5));
    EXPECT_EQ(StateValue("current_profile"), "0");
    link->RunToEnd(link->SenDeviceCurProfileID(2));
    EXPECT_EQ(StateValue("current_profile"), "3");
    EXPECT_EQ(Journal(), (Lines{Entry(IOCTL_SET_DRIVER_PROFILEID, {0x00}), Entry(IOCTL_SET_PROFILEID, {0x00}),
                                Entry(IOCTL_SET_DRIVER_PROFILEID, {0x03}), Entry(IOCTL_SET_PROFILEID, {0x03})}));
}

TEST_F(KbsimLinkTest, InjectedEventsAreReadInOrder)
{
    CollectingSink sink;
    ASSERT_TRUE(link->StartReader(sink));
    ASSERT_TRUE(link->OpenUSBDriver());
    const RunResult inject = Kbsim(L"inject 01F3 E900 0000 FD05 B500");
    ASSERT_EQ(inject.exitCode, 0u) << inject.err;
    EXPECT_EQ(sink.WaitFor(5), (std::vector<uint16_t>{0x01F3, 0xE900, 0x0000, 0xFD05, 0xB500}));
    EXPECT_EQ(StateValue("events_read"), "5");
    link->CloseUSBDriver();
    link->StopReader();
}

TEST_F(KbsimLinkTest, FailedRequestIsReportedAndNoKeyUsesTablesThatDisagree)
{
    ASSERT_TRUE(link->OpenUSBDriver());
    Download(1, 103);
    ResetJournal();
    progress->steps.clear();
    // The macro of S gets shorter: the new index table no longer fits the old data block.
    profiles[1].TButton[1].Macro.length = 2;
    ASSERT_EQ(Kbsim(L"fail 22249C 31 1").exitCode, 0u);
    DiagCapture diagnostics;
    Download(1, 103);
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: IOCTL_SEND_DATA failed, error=1f\n"));
    std::vector<uint8_t> cleared(21, 0);
    cleared[0] = 0x0A;
    const Lines journal = Journal();
    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[5], Entry(IOCTL_SEND_KEYMAPTABLE, cleared));
    EXPECT_EQ(progress->steps, (Lines{"25", "50", "75", "100", "not updated", "done"}));
    const RunResult tables = Kbsim(L"tables 2");
    EXPECT_EQ(tables.exitCode, 0u) << tables.err;
    EXPECT_EQ(tables.out.find("warning"), std::string::npos) << tables.out;
}

// Last: stops the driver and starts it again.
TEST_F(KbsimLinkTest, ZzOpenFailsWithFileNotFoundWhileTheDriverIsStopped)
{
    ASSERT_EQ(Kbsim(L"stop").exitCode, 0u);
    DiagCapture diagnostics;
    EXPECT_FALSE(link->OpenUSBDriver());
    EXPECT_FALSE(link->IsOpen());
    EXPECT_TRUE(diagnostics.Contains(L"ERROR: Cannot create device, error=00000002\n"));
    Download(1, 103);  // nothing to send, but the progress runs to its end
    EXPECT_EQ(progress->steps, (Lines{"25", "50", "75", "100", "done"}));
    ASSERT_EQ(Kbsim(L"start").exitCode, 0u);
    EXPECT_TRUE(link->OpenUSBDriver());
}

} // namespace
} // namespace qelt

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new qelt::DriverEnvironment);
    return RUN_ALL_TESTS();
}

// Figures for the device path: encoder time for a heavy profile, and the measured duration of a
// download and a reset against the simulated keyboard next to their contractual pauses (the floor).
// Run through bench/device_bench.sh, which starts the simulated keyboard first.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "device_link.h"
#include "us_english_layout.h"

namespace {

using Clock = std::chrono::steady_clock;

// The real device calls and sleeps, adding up the pauses asked for.
class PauseCountingIo final : public qelt::DeviceIo {
public:
    DWORD Open(const wchar_t* name, HANDLE* device) override { return m_real.Open(name, device); }
    DWORD Control(HANDLE device, DWORD code, void* input, DWORD inputLength, void* output,
                  DWORD outputLength) override
    {
        return m_real.Control(device, code, input, inputLength, output, outputLength);
    }
    void Close(HANDLE device) override { m_real.Close(device); }
    void Pause(DWORD milliseconds) override
    {
        pausedMs += milliseconds;
        m_real.Pause(milliseconds);
    }
    unsigned long long pausedMs = 0;

private:
    qelt::Win32DeviceIo m_real;
};

class NoProgress final : public qelt::ReportProgress {
public:
    void Percent(int) override {}
    void NotUpdated() override {}
    void Done() override {}
};

void FillTenLongMacros(PROFILE_CONFIG& profile)
{
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        BUTTON_CONFIG& button = profile.TButton[slot];
        button.FunID = FUN_MACRO;
        button.MappingKey = static_cast<uint8_t>(59 + slot);
        button.Macro.RepeatOption = 1;
        button.Macro.length = MACRO_MAX_STEPS;
        for (int k = 0; k < MACRO_MAX_STEPS; ++k)
            button.Macro.Steps[k] = k % 3 == 2 ? MACRO_STEP{MACRO_STEP_DELAY, {0, 0, 0}, 40}
                                               : MACRO_STEP{0x04, {0, 0, 0}, (k % 3) == 0 ? 1 : 0};
    }
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int wmain()
{
    auto profiles = std::make_unique<PROFILE_CONFIG[]>(PROFILE_COUNT);
    std::memset(profiles.get(), 0, sizeof(PROFILE_CONFIG) * PROFILE_COUNT);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        for (BUTTON_CONFIG& button : profiles[p].TButton) {
            button.FunID = FUN_NONE;
            button.MappingKey = UNASSIGNED;
        }
    FillTenLongMacros(profiles[0]);
    auto encoder = std::make_unique<qelt::DeviceTableEncoder>(
        *reinterpret_cast<PROFILE_CONFIG(*)[PROFILE_COUNT]>(profiles.get()), qelt::BuiltInUsEnglishLayout());

    constexpr int kRounds = 200;
    size_t blockBytes = 0;
    size_t tableBytes = 0;  // used below, so the builds are not optimised away
    const Clock::time_point start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        encoder->FormatKeyMappingData(103, 0);
        tableBytes += encoder->BuildIndexTable(0).size() + encoder->BuildKeyMapTable(0).size();
        blockBytes = encoder->BuildMacroDataBlock(0).size();
    }
    const double encodeMs = Milliseconds(Clock::now() - start) / kRounds;
    std::printf("encoder: ten 700-step macros -> %zu-byte data block (+%zu table bytes), %.3f ms per profile "
                "(encode and build all three tables, mean of %d)\n",
                blockBytes, tableBytes / kRounds, encodeMs, kRounds);

    PauseCountingIo io;
    qelt::DeviceLink link(io, *encoder);
    if (!link.OpenUSBDriver()) {
        std::printf("device: the simulated keyboard is not running (start it with kbsim install/start)\n");
        return 1;
    }
    auto progress = std::make_shared<NoProgress>();
    struct Run {
        const char* name;
        int profile;
    };
    for (const Run run : {Run{"download (ten 700-step macros)", 0}, Run{"download (empty profile)", 1}}) {
        io.pausedMs = 0;
        const Clock::time_point begin = Clock::now();
        link.RunToEnd(link.DownloadProfile(run.profile, 103, progress));
        const double measured = Milliseconds(Clock::now() - begin);
        std::printf("%s: %.1f ms measured, %llu ms of pauses (floor), ratio %.3f\n", run.name, measured,
                    io.pausedMs, measured / static_cast<double>(io.pausedMs));
    }
    io.pausedMs = 0;
    const Clock::time_point begin = Clock::now();
    link.RunToEnd(link.ResetProfile(0, [] { return 2; }, progress));
    const double measured = Milliseconds(Clock::now() - begin);
    std::printf("reset: %.1f ms measured, %llu ms of pauses (floor), ratio %.3f\n", measured, io.pausedMs,
                measured / static_cast<double>(io.pausedMs));
    link.CloseUSBDriver();
    return 0;
}

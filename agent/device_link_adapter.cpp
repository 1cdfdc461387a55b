// The agent's link while the driver link library is not part of the build: the device never
// opens, and downloads and resets still run their progress points so the editor's dialog ends.
#include "diag.h"
#include "hid_window.h"

namespace qelt {
namespace {

class OfflineLink final : public AgentDeviceLink {
public:
    bool Open() override
    {
        Diag(L"ERROR: Cannot create device, error=%08lx\n", 2ul);
        return false;
    }
    void Close() override {}
    bool IsOpen() const override { return false; }
    void DownloadProfile(int, ProgressSink& progress) override
    {
        for (int percent = 25; percent <= 100; percent += 25) {
            progress.Percent(percent);
            Sleep(500);
        }
        Sleep(100);
        progress.Done();
    }
    void ResetProfile(int, ProgressSink& progress) override
    {
        for (int percent = 25; percent <= 75; percent += 25) {
            progress.Percent(percent);
            Sleep(100);
        }
        progress.Percent(100);
        Sleep(500);
        progress.Done();
    }
    void SetCurrentProfile(int) override {}
    void StartReader(HWND) override {}
    void StopReader() override {}
    void SetKeyNum(int) override {}
};

} // namespace

std::unique_ptr<AgentDeviceLink> MakeDeviceLink(ConfigSettings&)
{
    return std::make_unique<OfflineLink>();
}

} // namespace qelt

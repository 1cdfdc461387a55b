// The agent's window drives the filter-driver link through this adapter: progress goes to the
// handlers' sink, and each key event word read on the reader thread is posted to the window.
#include "device_link.h"
#include "diag.h"
#include "hid_window.h"
#include "us_english_layout.h"

namespace qelt {
namespace {

class ProgressBridge final : public ReportProgress {
public:
    explicit ProgressBridge(std::shared_ptr<ProgressSink> sink) : m_sink(std::move(sink)) {}
    void Percent(int percent) override { m_sink->Percent(percent); }
    void NotUpdated() override { m_sink->NotUpdated(); }
    void Done() override { m_sink->Done(); }

private:
    std::shared_ptr<ProgressSink> m_sink;
};

class DriverLink final : public AgentDeviceLink, private KeyEventSink {
public:
    explicit DriverLink(ConfigSettings& settings)
        : m_settings(settings), m_encoder(settings.Profiles(), BuiltInUsEnglishLayout()), m_link(m_io, m_encoder)
    {
    }
    ~DriverLink() override { m_link.StopReader(); }

    bool Open() override { return m_link.OpenUSBDriver(); }
    void Close() override { m_link.CloseUSBDriver(); }
    bool IsOpen() const override { return m_link.IsOpen(); }
    bool CheckDevice() override { return m_link.CheckDevice(); }
    Job DownloadProfile(int profile, std::shared_ptr<ProgressSink> progress) override
    {
        return m_link.DownloadProfile(profile, m_keyNum, std::make_shared<ProgressBridge>(std::move(progress)));
    }
    Job ResetProfile(int profile, std::shared_ptr<ProgressSink> progress) override
    {
        return m_link.ResetProfile(profile, [this] { return m_settings.CurrentProfile(); },
                                   std::make_shared<ProgressBridge>(std::move(progress)));
    }
    Job SetCurrentProfile(int profile) override { return m_link.SenDeviceCurProfileID(profile); }
    void StartReader(HWND window) override
    {
        m_window = window;
        m_link.StartReader(*this);
    }
    void StopReader() override { m_link.StopReader(); }
    void SetKeyNum(int keyNum) override { m_keyNum = keyNum; }

private:
    // Reader thread: hand the word to the window thread, which runs the actions in order.
    void OnKeyEvent(uint16_t eventWord) override
    {
        if (!PostMessageW(m_window, WM_AGENT_KEY_EVENT, eventWord, 0))
            DiagLastError(L"PostMessageW (key event)");
    }
    // Either thread: the window thread checks the device once the running job has ended.
    void OnDeviceGone() override
    {
        if (!PostMessageW(m_window, WM_AGENT_CHECK_DEVICE, 0, 0))
            DiagLastError(L"PostMessageW(check device)");
    }

    ConfigSettings& m_settings;
    Win32DeviceIo m_io;
    DeviceTableEncoder m_encoder;
    DeviceLink m_link;
    HWND m_window = nullptr;
    int m_keyNum = KEYNUM_103;
};

} // namespace

std::unique_ptr<AgentDeviceLink> MakeDeviceLink(ConfigSettings& settings)
{
    return std::make_unique<DriverLink>(settings);
}

} // namespace qelt

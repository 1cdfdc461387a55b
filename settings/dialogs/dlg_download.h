#pragma once
// The download progress dialog "DLGLoading": asks the main window to save, then runs the download
// exchange with the agent (reload, download or reset, progress) and shows the agent's progress on
// a bar until the agent reports the end.
#include <windows.h>

#include <optional>
#include <string>

#include "controls.h"
#include "download_exchange.h"
#include "download_exchange_port.h"
#include "skinned_dialog.h"

class DlgDownLin final : public qelt::SkinnedDialog, private qelt::ExchangeOwner {
public:
    explicit DlgDownLin(int deviceStatus);

    void SetJob(int type, int profile);
    // Modal. 1: the agent reported the end; -1: no keyboard, the agent ended or did not answer.
    INT_PTR Run(HWND owner) { return RunModal(owner); }
    // The main window has saved the configuration: the job may start.
    void StartJobTimer();
    // The main window could not save it: the dialog ends (-1) and nothing is asked of the agent.
    void EndWithoutJob();

    int m_nTimer = qelt::TIMER_JOB_DOWNLOAD;
    int nProfileID = 0;

private:
    void OnSkinLoaded(const CSkinFile& file) override;
    INT_PTR CancelResult() const override { return -1; }  // nothing was sent: no download
    std::wstring DisplayName() const override { return L"The progress window"; }
    bool OnInitDialog() override;
    void PaintOver(HDC dc) override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR timer);

    // The exchange's owner: the warning, the bar and the end code.
    void WarnNoKeyboard() override;
    void ShowProgress(int barValue, bool percentInRange) override;
    void Ended(qelt::ExchangeOutcome outcome) override;

    int m_nDeviceStatus;
    CDMarker m_bar;
    std::wstring m_strText;
    std::optional<qelt::WindowExchangePort> m_port;
    std::optional<qelt::DownloadExchange> m_exchange;
};

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
#include "handles.h"
#include "modal_dialog.h"
#include "skinned_window.h"

class DlgDownLin : private qelt::ExchangeOwner {
public:
    explicit DlgDownLin(int deviceStatus) : m_nDeviceStatus(deviceStatus), m_skin(SkinBehaviour{true, false, true}) {}

    void SetJob(int type, int profile);
    // Modal. 1: the agent reported the end; -1: no keyboard, the agent ended or did not answer.
    INT_PTR Run(HWND owner);
    // The main window has saved the configuration: the job may start.
    void StartJobTimer();
    HWND Window() const { return m_hWnd; }

    int m_nTimer = qelt::TIMER_JOB_DOWNLOAD;
    int nProfileID = 0;

private:
    friend struct qelt::DialogAccess;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnTimer(UINT_PTR timer);
    void OnPaint();

    // The exchange's owner: the warning, the bar and the end code.
    void WarnNoKeyboard() override;
    void ShowProgress(int barValue, bool percentInRange) override;
    void Ended(qelt::ExchangeOutcome outcome) override;

    int m_nDeviceStatus;
    HWND m_hWnd = nullptr;
    CSkinnedWindow m_skin;
    CDMarker m_bar;
    std::wstring m_strText;
    qelt::UniqueFont m_font;
    std::optional<qelt::WindowExchangePort> m_port;
    std::optional<qelt::DownloadExchange> m_exchange;
};

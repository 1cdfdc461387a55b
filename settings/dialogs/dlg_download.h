#pragma once
// The download progress dialog "DLGLoading": asks the main window to save, asks the agent to
// reload the configuration and download (or reset) a profile, and follows the agent's progress
// on a bar until the agent reports the end.
#include <windows.h>

#include <string>

#include "controls.h"
#include "download_job.h"
#include "skinned_dialog.h"

class DlgDownLin final : public qelt::SkinnedDialog {
public:
    explicit DlgDownLin(int deviceStatus);

    void SetJob(int type, int profile);
    // Modal. 1: the agent reported the end; -1: no keyboard, or the agent did not answer.
    INT_PTR Run(HWND owner) { return RunModal(owner); }
    // The main window has saved the configuration: the job may start.
    void StartJobTimer();

    int m_nTimer = qelt::TIMER_JOB_DOWNLOAD;
    int nProfileID = 0;

private:
    void OnSkinLoaded(const CSkinFile& file) override;
    bool OnInitDialog() override;
    void PaintOver(HDC dc) override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(UINT_PTR timer);
    void OnProgress(WPARAM wParam, LPARAM lParam);
    void PostRequests();
    void GiveUp(const wchar_t* reason);
    void WatchAgent();

    int m_nDeviceStatus;
    CDMarker m_bar;
    std::wstring m_strText;
};

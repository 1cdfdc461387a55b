#include "dlg_download.h"

#include "agent_protocol.h"
#include "buffered_paint.h"
#include "diag.h"
#include "dlg_warning.h"
#include "modal_dialog.h"
#include "resource.h"
#include "skin_files.h"

using namespace qelt;

DlgDownLin::DlgDownLin(int deviceStatus)
    : SkinnedDialog(IDD_DOWNLOAD, L"loading_skin.ini", SkinBehaviour{true, false, true}), m_nDeviceStatus(deviceStatus)
{
}

void DlgDownLin::SetJob(int type, int profile)
{
    m_nTimer = int(JobTimerOf(type));
    nProfileID = profile;
    Diag(L"m_nTimer = %d,nTpye = %d,nProfileID = %d\n", m_nTimer, type, nProfileID);
}

void DlgDownLin::StartJobTimer()
{
    if (m_hWnd != nullptr && !SetTimer(m_hWnd, UINT_PTR(m_nTimer), JOB_TIMER_MS, nullptr))
        DiagLastError(L"SetTimer (download job)");
}

void DlgDownLin::EndWithoutJob()
{
    Diag(L"The configuration was not saved: no download\n");
    if (m_hWnd != nullptr)
        EndDialog(m_hWnd, -1);
}

std::optional<LRESULT> DlgDownLin::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_LOADING_PROGRESS:
        if (m_exchange)
            m_exchange->OnProgress(wParam, lParam);
        return PROTOCOL_ANSWER;
    default:
        return std::nullopt;  // no keyboard confirm or cancel: only the agent ends the dialog
    }
}

void DlgDownLin::OnSkinLoaded(const CSkinFile& file)
{
    CSkinnedWindow& skin = Skin();
    const ButtonInfo bar = file.ReadButton(L"BAR_POSITION", 1);
    const RECT barRect{bar.nLeft, bar.nTop, bar.nRight, bar.nBottom};
    if (m_bar.Create(barRect, m_hWnd))
        m_bar.SetImages(skin.m_bmpMain, skin.m_bmpDown, barRect);
    // Only the background and the outline are needed from here on.
    skin.m_bmpMain.Reset();
    skin.m_bmpDown.Reset();
    skin.m_bmpOver.Reset();
    skin.m_bmpDisabled.Reset();
    m_strText = ReadSkinString(file.Folder(), L"loading_str.ini", 1);
}

bool DlgDownLin::OnInitDialog()
{
    SetWindowTextW(m_hWnd, kLoadingWindowTitle);
    CentreOverOwner(m_hWnd);
    EnableWindow(m_bar.Window(), FALSE);
    m_bar.m_bDraggable = false;
    m_bar.m_range.nMin = PROGRESS_MIN;
    m_bar.m_range.nMax = PROGRESS_MAX;
    m_bar.m_range.nValue = PROGRESS_MIN;
    m_port.emplace(m_hWnd);
    m_exchange.emplace(*m_port, static_cast<ExchangeOwner&>(*this));
    if (!SetTimer(m_hWnd, TIMER_LOADING_START, LOADING_START_MS, nullptr))
        DiagLastError(L"SetTimer (loading start)");
    return true;
}

void DlgDownLin::OnTimer(UINT_PTR timer)
{
    switch (timer) {
    case TIMER_LOADING_START:
        KillTimer(m_hWnd, TIMER_LOADING_START);
        PostMessageW(GetWindow(m_hWnd, GW_OWNER), WM_LOADING_READY, 0, 0);
        break;
    case TIMER_JOB_DOWNLOAD:
    case TIMER_JOB_RESET:
        KillTimer(m_hWnd, timer);
        if (m_exchange)
            m_exchange->Start(JobRequest{RequestOfJobTimer(unsigned(m_nTimer)), nProfileID}, m_nDeviceStatus != 0);
        break;
    default:
        if (m_exchange)
            m_exchange->OnTimer(unsigned(timer));
        break;
    }
}

void DlgDownLin::WarnNoKeyboard()
{
    ShowWarning(m_hWnd, WARN_NO_DEVICE);
}

void DlgDownLin::ShowProgress(int barValue, bool)
{
    m_bar.m_range.nValue = barValue;
    m_bar.Repaint();
    UpdateWindow(m_bar.Window());  // shown at once, not at the next idle moment
}

void DlgDownLin::Ended(ExchangeOutcome outcome)
{
    EndDialog(m_hWnd, outcome == ExchangeOutcome::Finished ? 1 : -1);
}

void DlgDownLin::PaintOver(HDC dc)
{
    DrawSkinText(dc, m_strText.c_str(), RECT{22, 30, 22 + 4096, 30 + 4096}, Font(skinfont::kLoadingText), 0xC8C8C8,
                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
}

#include "dlg_download.h"

#include "agent_protocol.h"
#include "buffered_paint.h"
#include "diag.h"
#include "dlg_warning.h"
#include "modal_dialog.h"
#include "resource.h"
#include "skin_files.h"

using namespace qelt;

void DlgDownLin::SetJob(int type, int profile)
{
    m_nTimer = int(JobTimerOf(type));
    nProfileID = profile;
    Diag(L"m_nTimer = %d,nTpye = %d,nProfileID = %d\n", m_nTimer, type, nProfileID);
}

INT_PTR DlgDownLin::Run(HWND owner)
{
    return RunDialog(*this, IDD_DOWNLOAD, owner);
}

void DlgDownLin::StartJobTimer()
{
    if (m_hWnd != nullptr && !SetTimer(m_hWnd, UINT_PTR(m_nTimer), JOB_TIMER_MS, nullptr))
        DiagLastError(L"SetTimer (download job)");
}

INT_PTR DlgDownLin::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR handled = FALSE;
    if (m_skin.Window() != nullptr && m_skin.HandleDialogMessage(m_hWnd, message, wParam, lParam, handled))
        return handled;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_LOADING_PROGRESS:
        if (m_exchange)
            m_exchange->OnProgress(wParam, lParam);
        SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, PROTOCOL_ANSWER);
        return TRUE;
    case WM_COMMAND:
        return TRUE;  // no keyboard confirm or cancel: only the agent ends the dialog
    case WM_DESTROY:
        m_hWnd = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void DlgDownLin::OnInitDialog()
{
    CSkinFile file(L"loading_skin.ini");
    m_skin.LoadScreen(m_hWnd, file);
    const ButtonInfo bar = file.ReadButton(L"BAR_POSITION", 1);
    const RECT barRect{bar.nLeft, bar.nTop, bar.nRight, bar.nBottom};
    if (m_bar.Create(barRect, m_hWnd))
        m_bar.SetImages(m_skin.m_bmpMain, m_skin.m_bmpDown, barRect);
    // Only the background and the outline are needed from here on.
    m_skin.m_bmpMain.Reset();
    m_skin.m_bmpDown.Reset();
    m_skin.m_bmpOver.Reset();
    m_skin.m_bmpDisabled.Reset();
    m_strText = ReadSkinString(file.Folder(), L"loading_str.ini", 1);
    m_skin.ApplyRegion();
    m_font.Reset(CreateFontW(15, 0, 0, 0, 400, FALSE, FALSE, FALSE, 1, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, 4,
                             14, L"AvenirLTStd-Light"));

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

void DlgDownLin::OnPaint()
{
    BufferedPaint paint(m_hWnd, m_skin.ClientSize());
    m_skin.DrawBackground(paint.Dc());
    DrawSkinText(paint.Dc(), m_strText.c_str(), RECT{22, 30, 22 + 4096, 30 + 4096}, m_font.Get(), 0xC8C8C8,
                 DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
}

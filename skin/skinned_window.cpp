#include "skinned_window.h"

#include <windowsx.h>

#include "controls.h"
#include "diag.h"

void CSkinnedWindow::LoadScreen(HWND window, const CSkinFile& file, bool withNotext)
{
    m_hWnd = window;
    if (file.Folder() != m_programFolder)
        m_bIndicatorsLoaded = false;
    m_programFolder = file.Folder();

    const std::wstring maskPath = file.ImagePath(SKIN_SCREEN, L"Mask");
    const std::wstring mainPath = file.ImagePath(SKIN_SCREEN, L"Main");
    const std::wstring downPath = file.ImagePath(SKIN_SCREEN, L"Down");
    const std::wstring overPath = file.ImagePath(SKIN_SCREEN, L"Over");
    const std::wstring disabledPath = file.ImagePath(SKIN_SCREEN, L"Disabled");
    const std::wstring notextPath = withNotext ? file.ImagePath(SKIN_SCREEN, L"Notext") : std::wstring();

    // Each load reports its size; the window takes the size of the last one. Bitmap files are
    // only opened here: each image's pixels are read when first drawn, so images the first
    // paint does not show (Over, until the mouse comes) cost nothing yet. The background is
    // Main again, shown through Main's pixels: a bitmap of its own is made only for code that
    // asks for one to draw on (m_bmpBackground.Get()).
    // An image that does not load (missing, cut short, undecodable: 0 x 0) leaves the size of the
    // last one that did, so one damaged file never makes a window nobody can see.
    SkinImageReader reader;
    m_size = SIZE{0, 0};
    auto load = [this, &reader](const std::wstring& path, SkinBitmap& image) {
        const SIZE size = reader.LoadOnFirstUse(path, image);
        if (size.cx > 0 && size.cy > 0)
            m_size = size;
    };
    load(maskPath, m_bmpMask);
    load(mainPath, m_bmpMain);
    load(downPath, m_bmpDown);
    load(overPath, m_bmpOver);
    load(disabledPath, m_bmpDisabled);
    m_bmpBackground.Reset();
    const SIZE mainSize = m_bmpMain.Size();
    if (!m_bmpMain.Empty()) {
        m_size = mainSize;
        m_bmpBackground.ShowRectOf(m_bmpMain, RECT{0, 0, mainSize.cx, mainSize.cy});
    }
    if (withNotext)
        load(notextPath, m_bmpNotext);

    if (window != nullptr)
        MoveWindow(window, 0, 0, m_size.cx, m_size.cy, TRUE);
}

CBitmapBtn* CSkinnedWindow::AddButton(const ButtonInfo& info)
{
    if (!m_bIndicatorsLoaded) {
        m_indicators = LoadIndicatorImages(m_programFolder);
        m_bIndicatorsLoaded = true;
    }
    std::unique_ptr<CBitmapBtn> button =
        CreateSkinButton(m_hWnd, info, m_bmpMain, m_bmpOver, m_bmpDown, m_bmpDisabled, m_indicators);
    if (!button)
        return nullptr;
    button->UseFonts(&m_fonts);
    m_buttons.push_back(std::move(button));
    return m_buttons.back().get();
}

CBitmapBtn* CSkinnedWindow::AddButton(const CSkinFile& file, const wchar_t* section, int key)
{
    return AddButton(file.ReadButton(section, key));
}

void CSkinnedWindow::ApplyRegion()
{
    qelt::UniqueRegion region = RegionFromMask(m_bmpMask);
    // The mask serves nothing else: its pixels go now rather than with the window.
    m_bmpMask.Reset();
    if (!region || m_hWnd == nullptr)
        return;  // stays rectangular
    // The system owns the region once it is the window's.
    if (SetWindowRgn(m_hWnd, region.Get(), TRUE))
        region.Release();
    else
        qelt::DiagLastError(L"SetWindowRgn");
}

void CSkinnedWindow::DrawBackground(HDC dc) const
{
    m_bmpBackground.CopyTo(dc, m_bmpBackground.Size());
}

void CSkinnedWindow::PaintBackground(HWND window) const
{
    qelt::PaintDc paint(window);
    DrawBackground(paint.Get());
}

bool CSkinnedWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND:
        if (!m_behaviour.bSuppressErase)
            return false;
        result = TRUE;
        return true;
    case WM_PAINT:
        if (!m_behaviour.bPaintBackground)
            return false;
        PaintBackground(window);
        result = 0;
        return true;
    case WM_LBUTTONDOWN:
        if (!m_behaviour.bDragByBackground)
            return false;
        // Drag the window by any visible point of its background.
        PostMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
        result = 0;
        return true;
    default:
        return ReflectToSkinControls(window, message, wParam, lParam, result);
    }
}

namespace {

struct MeasureSearch {
    UINT id;
    CListBoxEx* list;
};

BOOL CALLBACK FindListWithId(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<MeasureSearch*>(data);
    if (UINT(GetDlgCtrlID(child)) != search->id)
        return TRUE;
    if (CListBoxEx* list = CListBoxEx::FromHandle(child)) {
        search->list = list;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool ReflectToSkinControls(HWND parent, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (CBitmapBtn::ReflectDrawItem(item)) {
            result = TRUE;
            return true;
        }
        if (item != nullptr && item->CtlType == ODT_LISTBOX) {
            if (CListBoxEx* list = CListBoxEx::FromHandle(item->hwndItem)) {
                list->DrawItem(item);
                result = TRUE;
                return true;
            }
        }
        return false;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item == nullptr || item->CtlType != ODT_LISTBOX)
            return false;
        MeasureSearch search{item->CtlID, nullptr};
        EnumChildWindows(parent, FindListWithId, reinterpret_cast<LPARAM>(&search));
        if (search.list == nullptr)
            return false;
        search.list->MeasureItem(item);
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORLISTBOX:
        if (CListBoxEx* list = CListBoxEx::FromHandle(reinterpret_cast<HWND>(lParam))) {
            HBRUSH brush = list->BackgroundBrush();
            if (brush == nullptr)
                return false;  // no fill set yet: the platform's colours
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    default:
        return false;
    }
}

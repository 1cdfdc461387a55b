#pragma once
// Skinned list box, numeric edit field and value bar.
#include <windows.h>

#include <optional>
#include <string>

#include "handles.h"
#include "marker_math.h"
#include "skin_image.h"

// Owner-drawn list box with its own item font and colours. The parent hands WM_DRAWITEM,
// WM_MEASUREITEM and WM_CTLCOLORLISTBOX on (ReflectToSkinControls).
class CListBoxEx {
public:
    CListBoxEx();
    ~CListBoxEx();
    CListBoxEx(const CListBoxEx&) = delete;
    CListBoxEx& operator=(const CListBoxEx&) = delete;

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    HWND Window() const { return m_hWnd; }
    static CListBoxEx* FromHandle(HWND window);

    void MeasureItem(MEASUREITEMSTRUCT* item) const { item->itemHeight = UINT(m_nItemHeight); }
    void DrawItem(const DRAWITEMSTRUCT* item);
    HBRUSH BackgroundBrush() const;
    // Takes the background fill (owned) and repaints.
    void SetBackground(COLORREF colour);

    int m_nItemHeight = 14;
    COLORREF m_crSelectedText = 0;
    COLORREF m_crText = 0;
    COLORREF m_crSelectedBackground = 0;

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    void UpdateHorizontalExtent() const;
    void TrackAddedItem(const wchar_t* text);

    HWND m_hWnd = nullptr;
    // Width of the widest item (the horizontal extent); empty: measure every item when next drawn.
    mutable std::optional<LONG> m_widestItem;
    qelt::UniqueFont m_itemFont;
    qelt::UniqueBrush m_background;
};

// Numeric edit field whose value never stays above EDIT_VALUE_CAP after a key release.
class CEditEx {
public:
    CEditEx() = default;
    ~CEditEx();
    CEditEx(const CEditEx&) = delete;
    CEditEx& operator=(const CEditEx&) = delete;

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    HWND Window() const { return m_hWnd; }

private:
    static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND m_hWnd = nullptr;
};

// Horizontal value bar drawn from two skin images; the user may drag it when draggable.
class CDMarker {
public:
    CDMarker() = default;
    ~CDMarker();
    CDMarker(const CDMarker&) = delete;
    CDMarker& operator=(const CDMarker&) = delete;

    // Creates the child window (WS_CHILD | WS_VISIBLE | WS_TABSTOP, identifier 0) at rect.
    bool Create(const RECT& rect, HWND parent);
    HWND Window() const { return m_hWnd; }
    // Cuts the track image from track and the fill image from fill at rect.
    void SetImages(const SkinBitmap& track, const SkinBitmap& fill, const RECT& rect);
    void Repaint() const;
    void Paint(HDC dc) const;  // the whole bar at (0, 0)

    MarkerRange m_range{};  // rectangle in the parent, minimum 0, maximum 10, value 0
    bool m_bDraggable = true;
    bool m_bDragging = false;
    SkinBitmap m_bmpTrack, m_bmpFill;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void TrackTo(LPARAM clientPoint);

    HWND m_hWnd = nullptr;
};

// Registers a window class of this program (arrow cursor, no background brush) unless it is
// registered already. False, with a diagnostic, when it cannot be.
bool RegisterSkinWindowClass(const wchar_t* name, WNDPROC windowProc);

#pragma once
// Skinned list box, numeric edit field and value bar.
#include <windows.h>

#include <optional>
#include <string>

#include "handles.h"
#include "marker_math.h"
#include "skin_fonts.h"
#include "skin_image.h"
#include "subclassed_control.h"
#include "window_base.h"

// Owner-drawn list box with its own item font and colours. The parent hands WM_DRAWITEM,
// WM_MEASUREITEM and WM_CTLCOLORLISTBOX on (ReflectToSkinControls).
class CListBoxEx final : public SubclassedControl {
public:
    CListBoxEx();

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    static CListBoxEx* FromHandle(HWND window) { return Attached<CListBoxEx>(window); }

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
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void UpdateHorizontalExtent() const;
    void TrackAddedItem(const wchar_t* text);
    bool NarrowerThanWidest(int index) const;

    // Width of the widest item (the horizontal extent); empty: measure every item when next drawn.
    mutable std::optional<LONG> m_widestItem;
    qelt::UniqueFont m_itemFont;
    qelt::UniqueBrush m_background;
};

// Numeric edit field whose value never stays above EDIT_VALUE_CAP after a key release.
class CEditEx final : public SubclassedControl {
public:
    CEditEx() = default;

    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Horizontal value bar drawn from two skin images; the user may drag it when draggable.
class CDMarker final : public qelt::WindowBase {
public:
    CDMarker() = default;

    // Creates the child window (WS_CHILD | WS_VISIBLE | WS_TABSTOP, identifier 0) at rect.
    bool Create(const RECT& rect, HWND parent);
    // Cuts the track image from track and the fill image from fill at rect.
    void SetImages(const SkinBitmap& track, const SkinBitmap& fill, const RECT& rect);
    void Repaint() const;
    void Paint(HDC dc) const;  // the whole bar at (0, 0)

    MarkerRange m_range{};  // rectangle in the parent, minimum 0, maximum 10, value 0
    bool m_bDraggable = true;
    bool m_bDragging = false;
    SkinBitmap m_bmpTrack, m_bmpFill;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void TrackTo(LPARAM clientPoint);
};

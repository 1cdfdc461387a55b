#pragma once
// The skinned push button: four state images cut from the window's full-window images, an
// optional caption in the skin font with a small indicator image under it, mouse-over tracking
// through the mouse capture, an own tooltip and a selected state held by the owner.
//
// A window makes many of these at once (the main window about 190) and re-cuts its keys on every
// profile change, so nothing here costs more than the window itself: state images share the
// window's pixels (SkinBitmap::ShowRectOf), the indicator images are decoded once and shared,
// and the tooltip window is made when the mouse first reaches the button or Tooltip() asks.
//
// Owner drawing arrives at the parent as WM_DRAWITEM; the parent hands it on with
// CBitmapBtn::ReflectDrawItem (CSkinnedWindow does this for its windows).
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "button_info.h"
#include "handles.h"
#include "skin_fonts.h"
#include "skin_image.h"
#include "subclassed_control.h"

namespace Gdiplus { class Image; }

// The indicator images "Red", "Green", "Blue" of main.ini's "SCREEN" (missing ones empty). One
// decoded copy of each file serves every button alive at a time.
using IndicatorImages = std::array<std::shared_ptr<Gdiplus::Image>, 3>;
IndicatorImages LoadIndicatorImages(const std::wstring& programFolder);

// Caption colours.
constexpr COLORREF BTN_TEXT_COLOUR = RGB(141, 145, 148);
constexpr COLORREF BTN_DIM_TEXT_COLOUR = RGB(93, 97, 97);

enum BtnAlign : int { BTN_ALIGN_CENTRE = 0, BTN_ALIGN_LEFT = 1, BTN_ALIGN_RIGHT = 2 };

class CBitmapBtn final : public SubclassedControl {
public:
    CBitmapBtn();
    ~CBitmapBtn() override;
    CBitmapBtn(const CBitmapBtn&) = delete;
    CBitmapBtn& operator=(const CBitmapBtn&) = delete;

    // Creates the visible owner-drawn child (empty text, identifier 0) at rect and loads the
    // indicator images named by main.ini of programFolder. False when the window cannot be made.
    bool Create(HWND parent, const RECT& rect, const std::wstring& programFolder);
    // The same with indicator images already loaded (LoadIndicatorImages), as a window that
    // makes many buttons does.
    bool Create(HWND parent, const RECT& rect, const IndicatorImages& indicators);
    static CBitmapBtn* FromHandle(HWND window);
    // For the parent's WM_DRAWITEM: paints when the item is a bitmap button. True when handled.
    static bool ReflectDrawItem(const DRAWITEMSTRUCT* item);

    // Cuts the four state images at rect and drops border and tab stop. The cut images share the
    // given images' pixels (no copies are made), so this is cheap enough to call for every key
    // on every profile change; an empty image leaves that state image as it was.
    void SetStateImages(const SkinBitmap& normal, const SkinBitmap& over, const SkinBitmap& pressed,
                        const SkinBitmap& greyed, const RECT& rect);
    void SetSelected(bool selected);  // repaints only on a change
    void SetGreyed(bool greyed);      // repaints only on a change
    void SetCaption(const std::wstring& caption) { m_strCaption = caption; }  // no repaint
    // The tool's rectangle is the client rectangle at the first call. The tooltip window itself
    // is made when the mouse first reaches the button, or by Tooltip().
    void SetTooltipText(const std::wstring& text);
    HWND Tooltip() const;  // null while no text was set and no mouse message came

    // Indicator images "Red", "Green", "Blue" of main.ini's "SCREEN"; missing ones stay empty.
    void LoadIndicators(const std::wstring& programFolder);
    // Caption fonts come from fonts (the window's, which outlive the button) instead of the
    // button's own.
    void UseFonts(SkinFonts* fonts) { m_pFonts = fonts; }
    // Draws the button for the item state (ODS_SELECTED, ODS_DISABLED) into dc at (0, 0).
    void Paint(HDC dc, SIZE client, UINT itemState) const;

    // Properties owners write before the next paint.
    bool m_bGreyed = false;
    std::wstring m_strName;
    int m_nIndicatorMode = 0;      // nonzero: choose an indicator; 1: draw it under a centred caption
    int m_nFontHeight = 14;
    bool m_bSelected = false;
    SIZE m_sizeIndicator{17, 17};
    COLORREF m_crSelectedText = BTN_DIM_TEXT_COLOUR;
    bool m_bUseTextRect = false;
    RECT m_rcText{0, 0, 0, 0};
    bool m_bHover = false;
    int m_nAlign = BTN_ALIGN_LEFT;
    SkinBitmap m_bmpNormal, m_bmpOver, m_bmpPressed, m_bmpGreyed;
    IndicatorImages m_indicators;  // Red, Green, Blue; shared by buttons
    std::wstring m_strCaption;

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    bool CreateButtonWindow(HWND parent, const RECT& rect);
    void EnsureTooltip() const;
    void ApplyToolText() const;  // adds the tool when missing, sets its text, activates
    void Repaint() const;
    const SkinBitmap& StateImage(UINT itemState) const;
    int IndicatorIndex(UINT itemState) const;
    HFONT CaptionFont() const;

    // Made on first use; until then the text and the tool's rectangle wait here.
    mutable qelt::UniqueWindow m_tooltip;
    SkinFonts* m_pFonts = nullptr;
    mutable SkinFonts m_ownFonts;  // for a button without a window's fonts
    mutable bool m_bToolAdded = false;
    bool m_bHasToolText = false;
    std::wstring m_strToolText;
    RECT m_rcTool{0, 0, 0, 0};
};

// Creates a button from a skin entry: the window's Main, Over, Down and Disabled images give the
// state images, the flag the selected state and the caption the tooltip text.
std::unique_ptr<CBitmapBtn> CreateSkinButton(HWND parent, const ButtonInfo& info,
                                             const SkinBitmap& main, const SkinBitmap& over,
                                             const SkinBitmap& down, const SkinBitmap& disabled,
                                             const std::wstring& programFolder);
std::unique_ptr<CBitmapBtn> CreateSkinButton(HWND parent, const ButtonInfo& info,
                                             const SkinBitmap& main, const SkinBitmap& over,
                                             const SkinBitmap& down, const SkinBitmap& disabled,
                                             const IndicatorImages& indicators);

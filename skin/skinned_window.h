#pragma once
// What every skinned window shares: its full-window images loaded in the common order, the window
// sized to them, buttons made from skin entries, the outline from the mask image, and the common
// messages (no background erase, background painted from the image, drag by the background,
// owner drawing handed to the skinned controls).
//
// The editor's dialogs get one through SkinnedDialog (settings/ui), which does all of this for
// them. Another window owns one CSkinnedWindow, calls LoadScreen / AddButton / ApplyRegion from its
// creation handler and passes its messages through HandleMessage first.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "bitmap_btn.h"
#include "handles.h"
#include "skin_files.h"
#include "skin_fonts.h"
#include "skin_image.h"

struct SkinBehaviour {
    bool bSuppressErase = true;     // erase handler reports erased, draws nothing
    bool bPaintBackground = true;   // WM_PAINT copies the background image
    bool bDragByBackground = true;  // left button on the background drags the window
};

class CSkinnedWindow {
public:
    explicit CSkinnedWindow(SkinBehaviour behaviour = {}) : m_behaviour(behaviour) {}

    // Reads the "SCREEN" image names of file and loads, in this order, Mask, Main (source of the
    // button images), Down, Over, Disabled, Main again (the background) and, with withNotext,
    // Notext. Moves window to (0, 0) of the screen sized to the last image that loaded (0 x 0
    // when none did). An image that does not load is empty; without Main, so is the background.
    void LoadScreen(HWND window, const CSkinFile& file, bool withNotext = false);

    // A button from a skin entry, kept here for the window's life. Null when it cannot be made.
    CBitmapBtn* AddButton(const ButtonInfo& info);
    CBitmapBtn* AddButton(const CSkinFile& file, const wchar_t* section, int key);

    // Outline from the mask image; the window stays rectangular when there is none.
    void ApplyRegion();

    // Common messages. True when handled, with the window procedure's result in result.
    bool HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Copies the background image to dc at (0, 0), for windows that paint more on top of it.
    void DrawBackground(HDC dc) const;

    HWND Window() const { return m_hWnd; }
    const std::wstring& ProgramFolderUsed() const { return m_programFolder; }
    SIZE ClientSize() const { return m_size; }
    const std::vector<std::unique_ptr<CBitmapBtn>>& Buttons() const { return m_buttons; }
    // The skin fonts of this window: its buttons' captions and the text it draws.
    SkinFonts& Fonts() { return m_fonts; }

    // The images, released with this object.
    SkinBitmap m_bmpMask, m_bmpMain, m_bmpDown, m_bmpOver, m_bmpDisabled, m_bmpBackground, m_bmpNotext;

private:
    void PaintBackground(HWND window) const;

    SkinBehaviour m_behaviour;
    HWND m_hWnd = nullptr;
    std::wstring m_programFolder;
    IndicatorImages m_indicators;  // of m_programFolder, read for the first button
    bool m_bIndicatorsLoaded = false;
    SIZE m_size{0, 0};
    SkinFonts m_fonts;  // outlives the buttons that draw with it
    std::vector<std::unique_ptr<CBitmapBtn>> m_buttons;
};

// Hands the skinned controls' owner-draw and colour messages on to them (WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLORLISTBOX). True when a skinned control took the message.
bool ReflectToSkinControls(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

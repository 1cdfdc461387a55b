#pragma once
// One way to build an editor dialog. A class derives from SkinnedDialog and gives its template,
// its skin file and how the skin behaves; the base runs the dialog procedure, loads the skin
// (the one place that sees a skin fail to load), makes the window's outline, paints the
// background through a buffer before the dialog's own drawing, answers every message the same
// way and hands a button's click to the handler registered with the button. A dialog whose skin
// gives no background never shows: the user is told which file is damaged and the dialog ends
// with its cancel result.
//
// The derived class fills in what differs:
//   OnSkinLoaded   buttons, controls and texts of the skin (the outline is made after it)
//   OnInitDialog   the rest of the start: state, position, filters
//   PaintOver      what it draws over the background
//   OnMessage      its other messages (timers, the agent's and its own messages, WM_DESTROY)
//   OnOtherCommand commands that are no registered click (the platform's OK and Cancel)
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "skinned_window.h"

namespace qelt {

class SkinnedDialog {
public:
    using ClickHandler = std::function<void()>;

    SkinnedDialog(const SkinnedDialog&) = delete;
    SkinnedDialog& operator=(const SkinnedDialog&) = delete;

    // The dialog's window while it runs, null before and after.
    HWND Window() const { return m_hWnd; }
    // True once a run ended because the skin gave no background.
    bool SkinNotLoaded() const { return m_bSkinNotLoaded; }

protected:
    SkinnedDialog(int templateId, std::wstring skinFile, SkinBehaviour behaviour, bool withNotext = false);
    virtual ~SkinnedDialog() = default;

    // Runs the template modally over owner: the end code, or -1 when it could not be made.
    INT_PTR RunModal(HWND owner);
    void End(INT_PTR code) { EndDialog(m_hWnd, code); }

    virtual void OnSkinLoaded(const CSkinFile& file) = 0;
    // True lets the platform give the focus to the first control.
    virtual bool OnInitDialog() { return true; }
    virtual void PaintOver(HDC) {}
    // A result answers the message; nothing lets the platform's handling run (also after work
    // done here).
    virtual std::optional<LRESULT> OnMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }
    // from is null for the platform's commands (Enter, Esc, closing the window: IDOK, IDCANCEL).
    virtual void OnOtherCommand(WORD /*id*/, WORD /*code*/, HWND /*from*/) {}

    // When the skin does not load: the end code the caller takes for "cancelled", and the
    // dialog's name in the message the user gets ("The function menu").
    virtual INT_PTR CancelResult() const { return IDCANCEL; }
    virtual std::wstring DisplayName() const { return L"A window of the settings editor"; }
    // True when this is the program's main window: the program ends after the message.
    virtual bool EndsProgram() const { return false; }

    // Buttons of the skin, made in OnSkinLoaded; the handler runs when the button is clicked.
    // Null when the button cannot be made.
    CBitmapBtn* AddButton(const ButtonInfo& info, ClickHandler onClick = {});
    CBitmapBtn* AddButton(const CSkinFile& file, int key, ClickHandler onClick = {});  // "BUTTONINFO"
    // The same with its caption drawn on it, centred in textRect (button coordinates).
    CBitmapBtn* AddLabelledButton(const CSkinFile& file, int key, const RECT& textRect, int fontHeight,
                                  ClickHandler onClick = {});
    void OnClick(const CBitmapBtn* button, ClickHandler onClick);

    CSkinnedWindow& Skin() { return m_skin; }
    const CSkinnedWindow& Skin() const { return m_skin; }
    HFONT Font(const SkinFontParams& params) { return m_skin.Fonts().Get(params); }

    HWND m_hWnd = nullptr;  // the dialog while it runs

private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool Start();
    void OnSkinNotLoaded(const CSkinFile& file);
    void Paint();
    void OnCommand(WPARAM wParam, LPARAM lParam);
    INT_PTR Answer(UINT message, LRESULT result) const;

    int m_nTemplateId;
    std::wstring m_strSkinFile;
    bool m_bWithNotext;
    bool m_bSkinNotLoaded = false;  // this run: none of the derived class's handlers run
    CSkinnedWindow m_skin;
    std::unordered_map<HWND, ClickHandler> m_clicks;
};

} // namespace qelt

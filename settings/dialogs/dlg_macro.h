#pragma once
// The macro editor: records a key sequence for one slot through the keyboard hook library,
// shows it as a list of key presses, releases and pauses, edits those steps one by one (a line
// clicked, then Delete, Set delay or Pause), sets the repeat option, loads and saves ".Macro"
// files. The caller gives the slot's macro and the profile's running total, runs the
// editor and, on OK with at least two steps, takes the working macro and the running total.
#include <windows.h>

#include <optional>
#include <string>

#include "controls.h"
#include "handles.h"
#include "hook_library.h"
#include "macro_recorder.h"
#include "modal_dialog.h"
#include "skinned_dialog.h"

class CDlgMacro final : public qelt::SkinnedDialog {
public:
    CDlgMacro(const MACRO_DATA& macro, int macroTotal);

    INT_PTR Run(HWND owner) { return RunModal(owner); }  // 1 OK, 2 Cancel
    int StepCount() const { return m_recorder.StepCount(); }
    int RunningTotal() const { return m_recorder.RunningTotal(); }
    // The working macro (length = step count after OK).
    const MACRO_DATA& Macro() const { return m_recorder.Macro(); }

private:
    // Key codes in the foreground window's layout; names from table.xml and that layout.
    class ForegroundKeyText final : public qelt::MacroKeyText {
    public:
        uint8_t KeyCodeOf(unsigned virtualKey) const override;
        std::wstring NameOfCode(uint8_t keyCode) const override;
    };

    void OnSkinLoaded(const CSkinFile& file) override;
    INT_PTR CancelResult() const override { return 2; }  // the slot keeps its macro
    std::wstring DisplayName() const override { return L"The macro editor"; }
    bool OnInitDialog() override;
    void PaintOver(HDC dc) override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOtherCommand(WORD id, WORD code, HWND from) override;
    void OnDestroy();
    LRESULT OnRecordedKey(WPARAM wParam, LPARAM lParam);

    // Commands.
    void OnRecord();
    void OnStop();
    void OnRepeat();
    void OnLoad();
    void OnSave();
    void OnOk();
    void OnAsTyped();
    void OnDelete();
    void OnSetDelay();
    void OnInsertPause();
    void OnLineSelected();

    // Keys reach the delay field only while no recording runs; Enter there is Set delay.
    bool DropKey(const MSG& message);
    // The delay field's number (leading digits; 0 when none).
    int DelayFieldValue() const;
    void ShowDelay(int milliseconds);
    int SelectedLine() const;
    // Delete, Set delay and Pause follow the selected line and the recording.
    void UpdateEditButtons();
    // After an edit: the list, the selection and the number drawn.
    void ShowEdit(int selectLine);

    // Leaves a recording for a command that runs its own dialog: no more key events.
    void LeaveRecording();
    // A recording has ended: Record and the file and repeat commands, not Stop.
    void EnableIdleCommands();
    // Copies the recorder's list onto the list box.
    void SyncList();

    ForegroundKeyText m_keys;
    qelt::MacroRecorder m_recorder;
    CHookLibrary m_hook;

    HWND m_hParent = nullptr;
    CBitmapBtn* m_pRecord = nullptr;
    CBitmapBtn* m_pStop = nullptr;
    CBitmapBtn* m_pSpare = nullptr;  // "4": no command
    CBitmapBtn* m_pRepeat = nullptr;
    CBitmapBtn* m_pLoad = nullptr;
    CBitmapBtn* m_pSave = nullptr;
    CBitmapBtn* m_pAsTyped = nullptr;
    CBitmapBtn* m_pDelete = nullptr;
    CBitmapBtn* m_pSetDelay = nullptr;
    CBitmapBtn* m_pInsertPause = nullptr;
    CListBoxEx m_list;
    CEditEx m_delay;
    std::wstring m_strShownLength;

    unsigned m_nShownGeneration = 0;  // of the recorder's list, as the list box holds it
    std::optional<qelt::ModalMessageFilter> m_keyFilter;
};

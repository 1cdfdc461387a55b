#pragma once
// The editor's main window "Zorvane Gear QELT Settings": the keyboard picture with its 154 keys,
// the five profiles, the ten slots with their function labels, and the commands. What it shows
// is kept in MainWindowState and the command rules in EditorSession; this class makes the skin's
// buttons follow the state, maps their clicks to the session, and runs the dialogs it asks for.
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config_store.h"
#include "config_store_files.h"
#include "editor_session.h"
#include "handles.h"
#include "main_window_state.h"
#include "modal_dialog.h"
#include "skinned_dialog.h"

class DlgDownLin;

// The in-memory configuration the editor edits, for its whole run.
struct EditorImage {
    KB_CONFIG keyboard_config{};
    qelt::ProfileArray profile_config{};
};

class CConfigDlg final : public qelt::SkinnedDialog, private qelt::EditorHost {
public:
    explicit CConfigDlg(EditorImage& image);
    ~CConfigDlg() override;

    // Runs the window modally; returns its end code (0 also when the editor ended at start-up).
    INT_PTR Run();

private:
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Start-up.
    void OnSkinLoaded(const CSkinFile& file) override;
    std::wstring DisplayName() const override { return L"The settings editor"; }
    bool EndsProgram() const override { return true; }
    bool OnInitDialog() override;
    void LoadSkin(const CSkinFile& file);
    void ReadFunctionNames();

    // Display.
    void PaintOver(HDC dc) override;
    void SyncButtons();
    void ApplyKeyLook(int key, const qelt::KeyLook& look, bool force);
    void ApplyBlinkTimer();

    // Messages from the platform, the agent and the download dialog.
    void OnOtherCommand(WORD id, WORD code, HWND from) override;
    void OnLoadingReady();

    // While the window runs a dialog of its own (a question, the download, a file dialog, the
    // function menu or the macro editor) the agent's profile change waits until the last has
    // ended: the dialog's outcome belongs to the profile shown when it opened.
    class DialogRun {
    public:
        explicit DialogRun(CConfigDlg& window);
        ~DialogRun();
        DialogRun(const DialogRun&) = delete;
        DialogRun& operator=(const DialogRun&) = delete;

    private:
        CConfigDlg& m_window;
    };
    void DeferProfileChange(long reason);
    // A plain message box about the user's files, shown as a dialog of this window.
    void ShowMessage(const wchar_t* title, const std::wstring& text);

    // Commands.
    void OnApply(bool closeAfter);
    void OnWebPage();
    void OnAppProfiles();
    void OnSlotButton(int slot);
    void OnKeyButton(int key);
    void OnFunctionLabel(int slot);
    void RunMacroEditor(int slot);

    // What the session asks of the window.
    bool AskWarning(WarningKind kind) override;
    bool RunDownload(qelt::DownloadMode mode, int profile, int deviceStatus) override;
    void PostToAgent(ApRequest request, int profile) override;
    std::optional<int> AskAgentDeviceStatus() override;
    void StartAgent() override;
    std::wstring AskProfilePath(qelt::ProfileFileQuestion question) override;
    void ShowState() override { SyncButtons(); }
    void TellSaveFailed(const qelt::FileWriteResult& failure) override;
    void TellExportFailed(const qelt::FileWriteResult& failure) override;
    void TellImportRefused(const std::wstring& path) override;
    void TellProgramsDropped(const std::wstring& path, const std::vector<int>& slots) override;

    EditorImage& m_image;
    KB_CONFIG& keyboard_config;
    qelt::ProfileArray& profile_config;
    std::optional<qelt::ConfigStore> m_store;
    std::optional<qelt::MainWindowState> m_state;
    std::optional<qelt::ConfigStoreFiles> m_files;
    std::optional<qelt::EditorSession> m_session;
    qelt::UniqueIcon m_icon;
    bool m_bEndedAtStart = false;

    std::wstring m_strDriverVersion;
    qelt::FunctionNames m_functionNames;

    CBitmapBtn* m_pStatus = nullptr;
    std::array<CBitmapBtn*, qelt::USER_PROFILE_COUNT> m_pProfiles{};
    std::array<CBitmapBtn*, qelt::KEY_COUNT> m_pKeys{};
    std::array<RECT, qelt::KEY_COUNT> m_rcKeys{};
    std::array<CBitmapBtn*, BUTTON_COUNT> m_pSlots{};
    std::array<CBitmapBtn*, BUTTON_COUNT> m_pLabels{};

    // What the buttons show now, so only changes reach them.
    std::array<qelt::KeyLook, qelt::KEY_COUNT> m_shownKeys{};
    std::array<qelt::SlotLook, BUTTON_COUNT> m_shownSlots{};
    bool m_bShownOnce = false;
    unsigned m_nRunningBlinkTimer = 0;

    DlgDownLin* m_pDownload = nullptr;  // the download dialog while it runs
    int m_nDialogsOpen = 0;
    long m_nDeferredProfileChange = 0;  // the agent's notice (its lParam) waiting for the dialogs
    std::optional<qelt::ModalMessageFilter> m_keyFilter;
};

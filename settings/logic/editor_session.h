#pragma once
// The editor's command rules, without the platform: switching profiles with edits pending, Apply
// and Apply & Close, PC mode, Reset, Import and Export, the agent's profile-changed message and
// the modified flag. The main window maps its buttons to these calls and copies the state onto
// its buttons when asked (EditorHost::ShowState); dialogs, the agent and the files are reached
// through the two seams below, so every rule and the order of its effects is tested natively.
#include <string>

#include "agent_protocol.h"
#include "download_exchange.h"
#include "main_window_state.h"
#include "profile_ops.h"
#include "profile_records.h"
#include "warning_kind.h"

namespace qelt {

enum class ProfileFileQuestion { Export, Import };

// The configuration files and the exported profile files (".Config").
class EditorFiles {
public:
    virtual ~EditorFiles() = default;
    // The start-up load over an image made ready for it.
    virtual void Load(KB_CONFIG& keyboard, ProfileArray& profiles) = 0;
    // Config.config and all six profile files.
    virtual void SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) = 0;
    // After another profile was selected: Config.config alone when it exists, else everything.
    virtual void SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) = 0;
    virtual void ReadConfig(KB_CONFIG& keyboard) = 0;
    // One profile again from its own file, dropping unapplied edits.
    virtual void ReloadProfile(int profile, ProfileArray& profiles) = 0;
    virtual void DeleteAndResetProfile(int profile, ProfileArray& profiles) = 0;
    virtual void ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile) = 0;
    // False when no file is at path; the profile is then untouched.
    virtual bool ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile) = 0;
};

// The main window: its dialogs, the agent, and its buttons.
class EditorHost {
public:
    virtual ~EditorHost() = default;
    // Shows a warning modally; true when it ended with OK (a notice's only button is OK).
    virtual bool AskWarning(WarningKind kind) = 0;
    // Runs the download dialog for a job; true when the agent reported the end.
    virtual bool RunDownload(DownloadMode mode, int profile, int deviceStatus) = 0;
    virtual void PostToAgent(ApRequest request, int profile) = 0;
    // Starts the agent from the editor's folder.
    virtual void StartAgent() = 0;
    // The chosen path, or empty when the user cancelled.
    virtual std::wstring AskProfilePath(ProfileFileQuestion question) = 0;
    // The window copies what changed in the state onto its buttons.
    virtual void ShowState() = 0;
};

class EditorSession {
public:
    EditorSession(KB_CONFIG& keyboard, ProfileArray& profiles, MainWindowState& state, EditorFiles& files,
                  EditorHost& host);

    // The window opens: loads the configuration, shows its current profile, tells the agent, and
    // starts the agent when it is not running. False when the editor must end at once: the agent
    // runs but reports no keyboard (the user is warned; nothing is shown or written).
    bool Open(bool agentRunning);
    // Shows profile p (0-4; PC mode keeps the buttons) and saves the selection.
    void SelectProfile(int profile);
    // A profile button. Pending edits are applied (OK) or dropped (Cancel) first; an apply that
    // does not reach the keyboard keeps the profile and the edits.
    void OnProfileButton(int profile);
    // Apply (asks first) or Apply & Close (does not). True when the editor ends now.
    bool OnApply(bool closeAfter);
    void OnReset();
    void OnExport();
    void OnImport();
    // WM_PROFILE_CHANGED: the agent changed the current profile in Config.config. Pending edits
    // of the profile shown so far are applied (OK) or dropped (Cancel) first, as before a profile
    // button's switch; an apply that does not reach the keyboard keeps that profile shown.
    void OnProfileChanged(long reason);
    // The download dialog is ready: the files the agent reloads are written.
    void OnDownloadReady();

    bool Modified() const { return m_state.m_bEditorModified; }

private:
    // Sends profile p to the keyboard. False: no keyboard (the edits are saved to the files
    // only), or the agent did not finish.
    bool ApplyProfile(int profile);
    // Config.config may name no profile (-1 without its key): profile 0 stands for it.
    void TakeValidProfile();
    // Ends slot editing, then asks; empty when the user cancelled.
    std::wstring AskProfilePath(ProfileFileQuestion question);

    KB_CONFIG& m_keyboard;
    ProfileArray& m_profiles;
    MainWindowState& m_state;
    EditorFiles& m_files;
    EditorHost& m_host;
};

} // namespace qelt

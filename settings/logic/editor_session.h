#pragma once
// The editor's command rules, without the platform: switching profiles with edits pending, Apply
// and Apply & Close, PC mode, Reset, Import and Export, the agent's profile-changed message and
// the modified flag. The main window maps its buttons to these calls and copies the state onto
// its buttons when asked (EditorHost::ShowState); dialogs, the agent and the files are reached
// through the two seams below, so every rule and the order of its effects is tested natively.
#include <optional>
#include <string>
#include <vector>

#include "agent_protocol.h"
#include "download_exchange.h"
#include "file_replacement.h"
#include "main_window_state.h"
#include "profile_ops.h"
#include "profile_records.h"
#include "warning_kind.h"

namespace qelt {

enum class ProfileFileQuestion { Export, Import };

// What an import of a ".Config" file came to.
struct ProfileImport {
    enum class Outcome {
        Imported,
        NoFile,       // nothing at the path: the profile is untouched
        NotAProfile,  // the file holds none of a profile's sections and keys: the profile is untouched
    };
    Outcome outcome = Outcome::Imported;
    // Slots left without a program: the file's path for them was longer than a path can be.
    std::vector<int> slotsWithoutProgram;
};

// The configuration files and the exported profile files (".Config").
class EditorFiles {
public:
    virtual ~EditorFiles() = default;
    // The start-up load over an image made ready for it. False when there was no Config.config to
    // read (the configuration is new, or could not be made): its device status is then no one's.
    virtual bool Load(KB_CONFIG& keyboard, ProfileArray& profiles) = 0;
    // Config.config and all six profile files. The saves tell the first file not written, and why.
    virtual FileWriteResult SaveAll(const KB_CONFIG& keyboard, const ProfileArray& profiles) = 0;
    // After another profile was selected: Config.config alone when it exists, else everything.
    virtual FileWriteResult SaveSelection(const KB_CONFIG& keyboard, const ProfileArray& profiles) = 0;
    virtual void ReadConfig(KB_CONFIG& keyboard) = 0;
    // One profile again from its own file, dropping unapplied edits.
    virtual void ReloadProfile(int profile, ProfileArray& profiles) = 0;
    virtual void DeleteAndResetProfile(int profile, ProfileArray& profiles) = 0;
    virtual FileWriteResult ExportProfile(const std::wstring& path, const PROFILE_CONFIG& profile) = 0;
    virtual ProfileImport ImportProfile(const std::wstring& path, PROFILE_CONFIG& profile) = 0;
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
    // Asks the running agent to write its device status into Config.config and say it: 1 with
    // the keyboard, 0 without; nothing when it did not answer in time.
    virtual std::optional<int> AskAgentDeviceStatus() = 0;
    // Starts the agent from the editor's folder.
    virtual void StartAgent() = 0;
    // The chosen path, or empty when the user cancelled.
    virtual std::wstring AskProfilePath(ProfileFileQuestion question) = 0;
    // The window copies what changed in the state onto its buttons.
    virtual void ShowState() = 0;

    // Messages to the user about files, each naming the file. A save that failed: nothing was
    // sent to the keyboard and the edits are still pending.
    virtual void TellSaveFailed(const FileWriteResult& failure) = 0;
    virtual void TellExportFailed(const FileWriteResult& failure) = 0;
    // The file is no exported profile; nothing was imported.
    virtual void TellImportRefused(const std::wstring& path) = 0;
    // The import was taken, but these slots have no program: their paths were too long.
    virtual void TellProgramsDropped(const std::wstring& path, const std::vector<int>& slots) = 0;
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
    // The download dialog is ready: the files the agent reloads are written. False when a file
    // was not written: the dialog must end without the download (the agent would send the old
    // files), and the user is told once it has closed.
    bool OnDownloadReady();

    bool Modified() const { return m_state.m_bEditorModified; }

private:
    // Sends profile p to the keyboard. False: no keyboard (the edits are saved to the files
    // only), or the agent did not finish.
    bool ApplyProfile(int profile);
    // Config.config may name no profile (-1 without its key): profile 0 stands for it.
    void TakeValidProfile();
    // The download dialog for a job on profile p, after its save; false when the save failed
    // (the user is told) or the agent did not finish.
    bool RunDownload(DownloadMode mode, int profile);
    // Saves everything; a failure is told to the user.
    bool SaveAllOrTell();
    // The configuration was not there to read: the agent, when it runs, says whether it has the
    // keyboard, not the new record.
    void LearnDeviceStatusFromAgent();
    // Ends slot editing, then asks; empty when the user cancelled.
    std::wstring AskProfilePath(ProfileFileQuestion question);

    KB_CONFIG& m_keyboard;
    ProfileArray& m_profiles;
    MainWindowState& m_state;
    EditorFiles& m_files;
    EditorHost& m_host;
    FileWriteResult m_downloadSave;  // the save of the running download dialog
};

} // namespace qelt

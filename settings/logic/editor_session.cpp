#include "editor_session.h"

#include "diag.h"

namespace qelt {

EditorSession::EditorSession(KB_CONFIG& keyboard, ProfileArray& profiles, MainWindowState& state,
                             EditorFiles& files, EditorHost& host)
    : m_keyboard(keyboard), m_profiles(profiles), m_state(state), m_files(files), m_host(host)
{
}

bool EditorSession::Open(bool agentRunning)
{
    m_state.m_bEditorModified = false;
    ZeroImageForLoad(m_keyboard, m_profiles);
    m_state.DisableAllKeys();
    const bool configurationRead = m_files.Load(m_keyboard, m_profiles);
    TakeValidProfile();
    if (agentRunning && !configurationRead)
        LearnDeviceStatusFromAgent();
    if (agentRunning && m_keyboard.nDeviceStatus == 0) {
        m_host.AskWarning(WARN_NO_DEVICE);
        return false;
    }
    SelectProfile(m_keyboard.CurrantProfile);
    m_host.PostToAgent(AP_SET_PROFILE, m_keyboard.CurrantProfile);
    if (!agentRunning) {
        m_host.StartAgent();
        // The agent is assumed to open the keyboard; it closes the editor itself if it cannot.
        m_keyboard.nDeviceStatus = 1;
    }
    for (int s = 0; s < BUTTON_COUNT; ++s)
        m_state.SelectSlot(s, true);
    m_state.RefreshSlotLabels();
    m_host.ShowState();
    return true;
}

void EditorSession::LearnDeviceStatusFromAgent()
{
    if (const std::optional<int> status = m_host.AskAgentDeviceStatus()) {
        m_keyboard.nDeviceStatus = *status;
        return;
    }
    // An agent that does not answer cannot be asked to download either; the download dialog
    // tells the user then. A "no keyboard" here would end the editor on a guess.
    Diag(L"The agent did not report its device status: the keyboard is taken as present\n");
    m_keyboard.nDeviceStatus = 1;
}

void EditorSession::SelectProfile(int profile)
{
    m_state.SetProfileButtons(profile);
    const FileWriteResult saved = m_files.SaveSelection(m_keyboard, m_profiles);
    if (!saved.Ok())
        m_host.TellSaveFailed(saved);
    m_state.RefreshKeyDisplay();
    m_state.ShowSlotStates(-1);
    m_host.ShowState();
}

void EditorSession::OnProfileButton(int profile)
{
    if (m_state.m_bEditorModified) {
        if (m_host.AskWarning(WARN_UNSAVED_CHANGES)) {
            if (!ApplyProfile(m_keyboard.CurrantProfile))
                return;  // no keyboard: the edits are saved and the profile stays
        } else {
            m_files.ReloadProfile(m_keyboard.CurrantProfile, m_profiles);
        }
    }
    SelectProfile(profile);
    m_host.PostToAgent(AP_SET_PROFILE, profile);
    m_state.m_bEditorModified = false;
    m_state.RefreshSlotLabels();
    m_host.ShowState();
}

bool EditorSession::SaveAllOrTell()
{
    const FileWriteResult saved = m_files.SaveAll(m_keyboard, m_profiles);
    if (!saved.Ok())
        m_host.TellSaveFailed(saved);
    return saved.Ok();
}

bool EditorSession::RunDownload(DownloadMode mode, int profile)
{
    m_downloadSave = FileWriteResult{};
    const bool finished = m_host.RunDownload(mode, profile, m_keyboard.nDeviceStatus);
    if (!m_downloadSave.Ok()) {
        m_host.TellSaveFailed(m_downloadSave);
        return false;
    }
    return finished;
}

bool EditorSession::ApplyProfile(int profile)
{
    ReleaseUnusedSlots(m_profiles);
    if (m_keyboard.nDeviceStatus == 0) {
        if (!SaveAllOrTell()) {
            m_state.m_bEditorModified = true;
            return false;
        }
        m_host.AskWarning(WARN_NO_DEVICE);
        return false;
    }
    // A download the agent never finished, or one that did not start because a file was not
    // written, leaves the editor as it was: the keyboard does not hold the edits, and they still
    // count as not applied.
    if (!RunDownload(DOWNLOAD_WRITE, profile)) {
        m_state.m_bEditorModified = true;
        return false;
    }
    return true;
}

bool EditorSession::OnApply(bool closeAfter)
{
    if (!closeAfter && !m_host.AskWarning(WARN_APPLY_PROFILE))
        return false;
    if (m_keyboard.CurrantProfile == PC_MODE_PROFILE) {
        // PC mode sends nothing; the edits are kept in the files, and pending until they are.
        ReleaseUnusedSlots(m_profiles);
        if (SaveAllOrTell())
            m_state.m_bEditorModified = false;
        return false;
    }
    m_state.m_bEditorModified = false;
    if (!ApplyProfile(m_keyboard.CurrantProfile))
        return false;
    m_host.PostToAgent(AP_SET_PROFILE, m_keyboard.CurrantProfile);
    m_state.ShowApplied();
    m_host.ShowState();
    return closeAfter;
}

void EditorSession::OnReset()
{
    if (!m_host.AskWarning(WARN_RESET_PROFILE))
        return;
    m_files.DeleteAndResetProfile(m_keyboard.CurrantProfile, m_profiles);
    m_state.RefreshKeyDisplay();
    m_state.ShowSlotStates(-1);
    m_state.RefreshSlotLabels();
    m_host.ShowState();
    if (m_keyboard.nDeviceStatus == 0) {
        if (SaveAllOrTell())
            m_host.AskWarning(WARN_NO_DEVICE);
    } else {
        RunDownload(DOWNLOAD_RESET, m_keyboard.CurrantProfile);
    }
}

std::wstring EditorSession::AskProfilePath(ProfileFileQuestion question)
{
    // No slot stays selected while the file dialog is open.
    m_state.ShowSlotStates(-1);
    m_host.ShowState();
    return m_host.AskProfilePath(question);
}

void EditorSession::OnExport()
{
    const std::wstring path = AskProfilePath(ProfileFileQuestion::Export);
    if (path.empty())
        return;
    const FileWriteResult written = m_files.ExportProfile(path, m_state.Profile());
    if (!written.Ok())
        m_host.TellExportFailed(written);
}

void EditorSession::OnImport()
{
    const std::wstring path = AskProfilePath(ProfileFileQuestion::Import);
    if (path.empty())
        return;
    const ProfileImport imported = m_files.ImportProfile(path, m_state.Profile());
    switch (imported.outcome) {
    case ProfileImport::Outcome::NoFile:
        Diag(L"ERROR: profile file %ls does not exist, nothing imported\n", path.c_str());
        return;
    case ProfileImport::Outcome::NotAProfile:
        Diag(L"ERROR: %ls holds no profile, nothing imported\n", path.c_str());
        m_host.TellImportRefused(path);
        return;
    case ProfileImport::Outcome::Imported:
        break;
    }
    m_state.RefreshKeyDisplay();
    m_state.RefreshSlotLabels();
    m_state.m_bEditorModified = true;
    m_host.ShowState();
    if (!imported.slotsWithoutProgram.empty())
        m_host.TellProgramsDropped(path, imported.slotsWithoutProgram);
}

void EditorSession::OnProfileChanged(long reason)
{
    if (reason == long(PROFILE_CHANGED_RELOAD)) {
        const int edited = m_keyboard.CurrantProfile;
        m_files.ReadConfig(m_keyboard);
        Diag(L"OnMessageProcessFun lParam==WM_USER+1 keyboard_config.CurrantProfile = %d\n",
             m_keyboard.CurrantProfile);
        TakeValidProfile();
        const int chosen = m_keyboard.CurrantProfile;
        if (m_state.m_bEditorModified && chosen != edited) {
            // The edits belong to the profile shown so far, not to the one the agent switched to;
            // the files keep the agent's choice while the edited profile is applied.
            if (m_host.AskWarning(WARN_UNSAVED_CHANGES)) {
                if (!ApplyProfile(edited)) {
                    m_keyboard.CurrantProfile = edited;  // not applied: it stays shown, edits pending
                    return;
                }
                // The download addressed the edited profile; the keyboard goes on with the agent's.
                m_host.PostToAgent(AP_SET_PROFILE, chosen);
            } else {
                m_files.ReloadProfile(edited, m_profiles);
            }
            m_state.m_bEditorModified = false;
        }
        m_state.ShowProfileButtonsFromConfig();
        m_host.ShowState();
    } else if (reason == long(PROFILE_CHANGED_READ_ONLY)) {
        m_files.ReadConfig(m_keyboard);
        TakeValidProfile();
    }
}

void EditorSession::TakeValidProfile()
{
    // A Config.config without a valid CURRENTPROFILE (-1 when the key is missing): profile 0 is
    // shown, asked of the agent and written back at the next save.
    m_keyboard.CurrantProfile = ClampedProfile(m_keyboard.CurrantProfile);
}

bool EditorSession::OnDownloadReady()
{
    m_downloadSave = m_files.SaveAll(m_keyboard, m_profiles);
    return m_downloadSave.Ok();
}

} // namespace qelt

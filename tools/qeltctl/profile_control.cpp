#include "profile_control.h"

#include <cstdio>
#include <memory>

#include "agent_channel.h"
#include "loading_window.h"
#include "profile_argument.h"
#include "setting_rw.h"

namespace qelt {
namespace {

void Say(const std::wstring& text)
{
    std::fwprintf(stdout, L"%ls\n", text.c_str());
    std::fflush(stdout);
}

void Complain(const std::wstring& text)
{
    std::fwprintf(stderr, L"qeltctl: %ls\n", text.c_str());
}

// The editor's image of the configuration, as it holds it after its start-up load.
// Large (six profiles of ten full macros): kept on the heap.
struct Image {
    KB_CONFIG keyboard;
    ProfileArray profiles;
};

std::unique_ptr<Image> LoadImage(const ConfigStore& store)
{
    auto image = std::make_unique<Image>();
    ZeroImageForLoad(image->keyboard, image->profiles);
    store.Load(image->keyboard, image->profiles);
    return image;
}

const wchar_t* KeyboardText(int deviceStatus)
{
    switch (deviceStatus) {
    case 1:
        return L"connected";
    case 0:
        return L"not connected";
    default:
        return L"unknown";
    }
}

} // namespace

ProfileControl::ProfileControl(std::wstring dataFolder) : m_store(std::move(dataFolder), ProgramRole::Editor) {}

bool ProfileControl::EditorIsOpen() const
{
    if (FindEditorWindow() == nullptr)
        return false;
    Complain(L"the settings editor (QELT_Settings) is open; close it first, or make the change there "
             L"(both would write the same configuration files)");
    return true;
}

KB_CONFIG ProfileControl::ReadKeyboard() const
{
    // The read defaults (-1) stand for a missing file or key.
    KB_CONFIG keyboard{};
    m_store.ReadConfig(keyboard);
    return keyboard;
}

int ProfileControl::Status() const
{
    const bool agentRuns = FindAgentWindow() != nullptr;
    const KB_CONFIG keyboard = ReadKeyboard();
    Say(std::wstring(L"agent: ") + (agentRuns ? L"running" : L"not running"));
    // The agent records the keyboard's state in Config.config; without the agent it is stale.
    Say(std::wstring(L"keyboard: ") + (agentRuns ? KeyboardText(keyboard.nDeviceStatus) : L"unknown (the agent is not running)"));
    Say(L"profile: " + UserProfileName(keyboard.CurrantProfile));
    Say(std::wstring(L"editor: ") + (FindEditorWindow() != nullptr ? L"open" : L"closed"));
    return agentRuns && keyboard.nDeviceStatus == 1 ? kControlDone : kControlFailed;
}

int ProfileControl::SelectProfile(int profile) const
{
    if (EditorIsOpen())
        return kControlEditorOpen;
    const std::unique_ptr<Image> image = LoadImage(m_store);
    image->keyboard.CurrantProfile = profile;
    m_store.SaveSelection(image->keyboard, image->profiles);

    const std::wstring name = UserProfileName(profile);
    if (!PostAgentRequest(AP_SET_PROFILE, profile)) {
        Complain(L"the agent (QELT_Core) is not running: profile " + name +
                 L" is saved as the current one, but the keyboard was not switched");
        return kControlFailed;
    }
    if (image->keyboard.nDeviceStatus == 0) {
        Complain(L"the agent reports no keyboard: profile " + name +
                 L" is saved as the current one, but the keyboard was not switched");
        return kControlFailed;
    }
    Say((profile == PC_MODE_PROFILE ? name : L"Profile " + name) + L" is the current profile.");
    return kControlDone;
}

int ProfileControl::RunJob(ProfileJob job, int profile, unsigned silenceLimitMs) const
{
    if (EditorIsOpen())
        return kControlEditorOpen;
    const std::wstring name = UserProfileName(profile);
    // The agent reports to the first "DLGLoading" it finds: two jobs at once would mix up.
    if (FindWindowW(nullptr, kLoadingWindowTitle) != nullptr) {
        Complain(L"another download to the keyboard is running; try again when it has finished");
        return kControlFailed;
    }
    if (FindAgentWindow() == nullptr) {
        Complain(L"the agent (QELT_Core) is not running; start it, then try again. Nothing was changed.");
        return kControlFailed;
    }
    if (ReadKeyboard().nDeviceStatus == 0) {
        Complain(L"the agent reports no keyboard; connect it, then try again. Nothing was changed.");
        return kControlFailed;
    }

    if (job == ProfileJob::Reset) {
        // As the editor's Reset: the profile's file goes, and the cleared profile is written in
        // its place before the agent is asked to reload.
        const std::unique_ptr<Image> image = LoadImage(m_store);
        m_store.DeleteAndResetProfile(profile, image->profiles);
        settingRW::WriteProfileToFile(m_store.ProfilePath(profile), image->profiles[profile]);
    }

    Say((job == ProfileJob::Apply ? L"Applying profile " : L"Resetting profile ") + name + L"...");
    LoadingWindow window;
    const JobOutcome outcome =
        window.Run(job == ProfileJob::Apply ? AP_DOWNLOAD_PROFILE : AP_RESET_PROFILE, profile, silenceLimitMs,
                   [](int percent) { Say(std::to_wstring(percent) + L"%"); });
    switch (outcome) {
    case JobOutcome::Finished:
        break;
    case JobOutcome::AgentGone:
        Complain(L"the agent (QELT_Core) ended before it had finished; the keyboard may hold part of profile " + name);
        return kControlFailed;
    case JobOutcome::NoAnswer:
        Complain(L"no answer from the agent within " + std::to_wstring(silenceLimitMs / 1000) +
                 L" s; the keyboard may not hold profile " + name);
        return kControlFailed;
    case JobOutcome::Closed:
        Complain(L"stopped before the agent had finished");
        return kControlFailed;
    case JobOutcome::Failed:
        Complain(L"could not make the progress window");
        return kControlFailed;
    }
    if (job == ProfileJob::Apply) {
        // After a download the editor makes its current profile current on the keyboard again.
        const int current = ReadKeyboard().CurrantProfile;
        if (IsValidProfileIndex(current))
            PostAgentRequest(AP_SET_PROFILE, current);
        Say(L"Profile " + name + L" applied.");
    } else {
        Say(L"Profile " + name + L" reset.");
    }
    return kControlDone;
}

} // namespace qelt

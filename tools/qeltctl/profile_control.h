#pragma once
// qeltctl's profile commands: what the editor's profile buttons, Apply and Reset do, without the
// editor. They talk to the running agent by its window messages and keep the configuration files
// as the editor keeps them.
#include <string>

#include "config_store.h"

namespace qelt {

// Exit statuses of the commands.
enum ControlStatus : int {
    kControlDone = 0,
    kControlFailed = 1,      // the agent is missing, reports no keyboard or did not answer
    kControlUsage = 2,
    kControlEditorOpen = 3,  // refused: the editor writes the same files
};

enum class ProfileJob { Apply, Reset };

class ProfileControl {
public:
    explicit ProfileControl(std::wstring dataFolder);

    // Whether the agent runs and reports the keyboard, and the current profile.
    int Status() const;
    // The editor's profile button: Config.config written, then the set-profile request.
    int SelectProfile(int profile) const;
    // The download dialog's exchange for profile 0-4, with progress on the standard output.
    int RunJob(ProfileJob job, int profile, unsigned silenceLimitMs) const;

private:
    bool EditorIsOpen() const;
    KB_CONFIG ReadKeyboard() const;

    ConfigStore m_store;
};

} // namespace qelt

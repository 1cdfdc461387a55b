#pragma once
// The keyboard follows the program in front: each change of the front window is matched against
// the program profiles, and the profile of the matching rule, or else the profile the user chose
// last, is made current. Platform-free; the agent's window feeds it front windows and the user's
// profile choices and carries out its switches.
#include "app_rules.h"

#include <string>

namespace qelt {

struct FrontWindow {
    std::wstring program;  // the full path of the program that owns it; empty when unknown
    std::wstring title;
};

// How the follower changes profiles: what a profile change does (the configuration, the editor,
// the display) and the set-profile request to the keyboard.
class ProfileSwitch {
public:
    virtual ~ProfileSwitch() = default;
    virtual int CurrentProfile() const = 0;
    virtual void SwitchTo(int profile) = 0;
};

class AppFollower {
public:
    explicit AppFollower(ProfileSwitch& profiles) : m_profiles(profiles) {}

    // New rules (at start and when the rules file changed): the window in front is matched again.
    void SetRules(AppRules rules);
    const AppRules& Rules() const { return m_rules; }
    // Whether there is anything to follow: the agent watches the front window only then.
    bool Active() const { return !m_rules.Empty(); }

    // The front window now; acts only when its program or title changed since the last call.
    void OnFrontWindow(const FrontWindow& front);

    // The user made `profile` current (a profile key, the editor, qeltctl). It is the profile to
    // return to when no rule matches; chosen while a program with a rule is in front, it wins
    // until the front program changes.
    void OnUserChoice(int profile);

    // Watching stopped (session locked, keyboard gone): the next front window counts as new.
    void Forget();

private:
    void Follow();

    ProfileSwitch& m_profiles;
    AppRules m_rules;
    FrontWindow m_front;
    bool m_knowFront = false;
    std::wstring m_frontProgram;  // folded, to tell a program change from a title change
    int m_userProfile = -1;       // -1: the current profile at the first decision
    bool m_userChoiceWins = false;
};

} // namespace qelt

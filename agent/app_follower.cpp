#include "app_follower.h"

#include <utility>

#include "diag.h"

namespace qelt {

void AppFollower::SetRules(AppRules rules)
{
    m_rules = std::move(rules);
    if (m_knowFront)
        Follow();
}

void AppFollower::OnFrontWindow(const FrontWindow& front)
{
    if (m_knowFront && front.program == m_front.program && front.title == m_front.title)
        return;
    const std::wstring program = Folded(front.program);
    if (!m_knowFront || program != m_frontProgram) {
        m_userChoiceWins = false;
        Diag(L"Program profiles: %ls in front\n", std::wstring(FileNameOf(front.program)).c_str());
    }
    m_front = front;
    m_frontProgram = program;
    m_knowFront = true;
    Follow();
}

void AppFollower::OnUserChoice(int profile)
{
    m_userProfile = profile;
    m_userChoiceWins = m_knowFront && m_rules.Match(m_front.program, m_front.title).has_value();
}

void AppFollower::Forget()
{
    m_knowFront = false;
    m_front = {};
    m_frontProgram.clear();
    m_userChoiceWins = false;
}

void AppFollower::Follow()
{
    if (m_userChoiceWins)
        return;
    const int current = m_profiles.CurrentProfile();
    if (m_userProfile < 0)
        m_userProfile = current;
    const auto ruled = m_rules.Match(m_front.program, m_front.title);
    const int wanted = ruled.value_or(m_userProfile);
    if (wanted == current)
        return;
    Diag(L"Program profiles: profile %d for %ls\n", wanted + 1, std::wstring(FileNameOf(m_front.program)).c_str());
    m_profiles.SwitchTo(wanted);
}

} // namespace qelt

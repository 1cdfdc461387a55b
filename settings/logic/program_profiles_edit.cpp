#include "program_profiles_edit.h"

#include <algorithm>

#include "diag.h"

namespace qelt {

namespace {

constexpr int kUserProfiles = 5;  // rules name profiles 1-5 (indices 0-4)

} // namespace

std::vector<RunningProgram> ProgramsToOffer(const std::vector<RunningProgram>& windows, const AppRules& rules)
{
    std::vector<RunningProgram> offered;
    std::vector<std::wstring> names;  // folded file names already offered
    for (const RunningProgram& window : windows) {
        const std::wstring_view name = FileNameOf(window.path);
        if (name.empty())
            continue;
        std::wstring folded = Folded(name);
        if (std::find(names.begin(), names.end(), folded) != names.end())
            continue;
        // A rule without a title part already covers every window of the program.
        if (rules.Match(window.path, L"").has_value())
            continue;
        names.push_back(std::move(folded));
        offered.push_back(window);
    }
    std::stable_sort(offered.begin(), offered.end(), [](const RunningProgram& a, const RunningProgram& b) {
        return Folded(FileNameOf(a.path)) < Folded(FileNameOf(b.path));
    });
    return offered;
}

std::wstring ProgramProfilesEdit::LineOf(const AppRule& rule)
{
    std::wstring line = rule.program;
    if (!rule.titlePart.empty())
        line += L"  (title \"" + rule.titlePart + L"\")";
    line += L"  -  Profile " + std::to_wstring(rule.profile + 1);
    return line;
}

std::vector<std::wstring> ProgramProfilesEdit::Lines() const
{
    std::vector<std::wstring> lines;
    for (const AppRule& rule : m_rules.Rules())
        lines.push_back(LineOf(rule));
    return lines;
}

void ProgramProfilesEdit::Select(int index)
{
    m_selection = index >= 0 && size_t(index) < m_rules.Rules().size() ? index : -1;
}

int ProgramProfilesEdit::SelectedProfile() const
{
    return m_selection < 0 ? -1 : m_rules.Rules()[size_t(m_selection)].profile;
}

bool ProgramProfilesEdit::AddProgram(std::wstring_view path)
{
    const std::wstring_view name = FileNameOf(path);
    const auto& rules = m_rules.Rules();
    for (size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].titlePart.empty() && Folded(rules[i].program) == Folded(name)) {
            m_selection = int(i);  // already there: the user changes its profile next
            return true;
        }
    }
    const AppRule rule{std::wstring(name), L"", 0};
    const std::wstring problem = AppRules::Problem(rule);
    if (!problem.empty()) {
        Diag(L"Program profiles: %ls not added: %ls\n", std::wstring(path).c_str(), problem.c_str());
        return false;
    }
    m_rules.AddOrReplace(rule);
    m_selection = int(m_rules.Rules().size()) - 1;
    m_changed = true;
    return true;
}

bool ProgramProfilesEdit::SetSelectedProfile(int profile)
{
    if (m_selection < 0 || profile < 0 || profile >= kUserProfiles)
        return false;
    AppRule rule = m_rules.Rules()[size_t(m_selection)];
    if (rule.profile == profile)
        return true;
    rule.profile = profile;
    m_rules.AddOrReplace(rule);  // the same program and title part: replaced in place
    m_changed = true;
    return true;
}

bool ProgramProfilesEdit::RemoveSelected()
{
    if (m_selection < 0)
        return false;
    const AppRule rule = m_rules.Rules()[size_t(m_selection)];
    m_rules.Remove(rule.program, rule.titlePart);
    m_changed = true;
    const int count = int(m_rules.Rules().size());
    m_selection = count == 0 ? -1 : std::min(m_selection, count - 1);
    return true;
}

SaveResult ProgramProfilesEdit::Save(RulesSaver& saver)
{
    if (!m_changed)
        return SaveResult::Unchanged;
    if (!saver.Write(m_rules))
        return SaveResult::Failed;
    m_changed = false;
    saver.TellAgent();
    return SaveResult::Saved;
}

} // namespace qelt

#pragma once
// What the "Program profiles" dialog does to the rules, without the platform: the rules being
// edited, the selected one, adding from a file or a running program, a new profile for the
// selected rule, removing it, and what OK saves. The dialog shows Lines() and maps its buttons to
// these calls; the file and the agent are reached through RulesSaver.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app_rules.h"

namespace qelt {

// Where OK puts the rules.
class RulesSaver {
public:
    virtual ~RulesSaver() = default;
    // The whole rules file; false when it could not be written (the old file stays).
    virtual bool Write(const AppRules& rules) = 0;
    // Tells a running agent to read the rules again (a stopped agent reads them at its start).
    virtual void TellAgent() = 0;
};

// A program with a window, as the list of running programs offers it.
struct RunningProgram {
    std::wstring path;   // the program's full path
    std::wstring title;  // the title of one of its windows, to recognise it by
};

// The running programs to offer: one entry per program (by file name), without the ones already
// having a rule without a title part, nor windows whose program is unknown, sorted by file name.
std::vector<RunningProgram> ProgramsToOffer(const std::vector<RunningProgram>& windows, const AppRules& rules);

enum class SaveResult { Unchanged, Saved, Failed };

class ProgramProfilesEdit {
public:
    explicit ProgramProfilesEdit(AppRules rules) : m_rules(std::move(rules)) {}

    const AppRules& Rules() const { return m_rules; }
    // One line per rule, in order: "game.exe  -  Profile 2", with the title part when it has one.
    std::vector<std::wstring> Lines() const;
    static std::wstring LineOf(const AppRule& rule);

    // -1: none.
    int Selection() const { return m_selection; }
    void Select(int index);
    // The selected rule's profile (0-4), or -1 without a selection.
    int SelectedProfile() const;

    // A rule for the program at `path` (named by its file name, so it holds wherever the program
    // is installed), with profile 1, or the existing rule of that program without a title part.
    // The rule is selected. False (nothing changed) when the path names no program.
    bool AddProgram(std::wstring_view path);
    // Gives the selected rule profile p (0-4). False without a selection or for another value.
    bool SetSelectedProfile(int profile);
    // Removes the selected rule; the next one (or the last) is selected then.
    bool RemoveSelected();

    // True once the rules differ from those the dialog started with.
    bool Changed() const { return m_changed; }
    // OK: the rules written and the agent told, only when something changed. On Failed the edit
    // stays as it is, so the user can try again or cancel.
    SaveResult Save(RulesSaver& saver);

private:
    AppRules m_rules;
    int m_selection = -1;
    bool m_changed = false;
};

} // namespace qelt

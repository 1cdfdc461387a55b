#pragma once
// Program profiles: rules that give the program in front a profile of its own. A rule names a
// program by its executable's file name ("game.exe") or by its full path, and may add a part of
// the window title for programs that host many (launchers, browsers). Platform-free.
//
// Stored in "Programs.config" in the data folder, one section [PROGRAMS] whose keys number the
// rules in order and whose values read "profile|program|title part": '|' cannot occur in a
// Windows path, and the title part, the one field that may hold one, comes last.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelt {

struct AppRule {
    std::wstring program;    // a file name, or a full path when it holds a '\' or '/'
    std::wstring titlePart;  // empty: any window of the program
    int profile = 0;         // 0-4 (profiles 1-5)
};

// One line of the rules file that was not taken, and why (for a diagnostic).
struct RejectedRule {
    std::wstring key;
    std::wstring reason;
};

inline constexpr wchar_t kAppRulesSection[] = L"PROGRAMS";
inline constexpr wchar_t kAppRulesFileName[] = L"Programs.config";
// A program path or title part longer than this is refused: the platform's paths stop at 259
// characters, and a longer rule could never match.
inline constexpr size_t kLongestRuleText = 259;

// Case folding for the comparisons: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic, the
// letters file names and titles use; others compare as they are.
wchar_t FoldCase(wchar_t c);
std::wstring Folded(std::wstring_view text);

// The file name of a path (after its last '\' or '/').
std::wstring_view FileNameOf(std::wstring_view path);

class AppRules {
public:
    // Parses the [PROGRAMS] section's text as GetPrivateProfileSectionW returns it: "key=value"
    // strings, each ended by a NUL. Bad lines are skipped and reported in `rejected`.
    static AppRules FromSection(std::wstring_view sectionText, std::vector<RejectedRule>* rejected = nullptr);
    // The section's text for WritePrivateProfileSectionW (keys 1, 2, ... in order, doubly ended).
    std::wstring ToSection() const;

    const std::vector<AppRule>& Rules() const { return m_rules; }
    bool Empty() const { return m_rules.empty(); }

    // The profile of the first rule, among those with a title part, whose program is `programPath`
    // and whose title part is in `title`; then of the first rule without one for the program.
    std::optional<int> Match(std::wstring_view programPath, std::wstring_view title) const;

    // Why a rule cannot be taken, or empty when it can.
    static std::wstring Problem(const AppRule& rule);
    // Adds the rule, or replaces the rule of the same program and title part (keeping its place).
    // False (and nothing changed) when the rule cannot be taken.
    bool AddOrReplace(const AppRule& rule);
    // Removes the rule of this program and title part; false when there is none.
    bool Remove(std::wstring_view program, std::wstring_view titlePart);

private:
    // A rule's texts folded once, for matching without folding on every front-window change.
    struct FoldedRule {
        std::wstring program;
        std::wstring titlePart;
        bool fullPath = false;
    };
    static FoldedRule Fold(const AppRule& rule);
    std::ptrdiff_t Find(std::wstring_view program, std::wstring_view titlePart) const;

    std::vector<AppRule> m_rules;
    std::vector<FoldedRule> m_folded;  // one per rule, in the same order
};

} // namespace qelt

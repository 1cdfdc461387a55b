#include "app_rules.h"

#include <algorithm>
#include <unordered_map>

namespace qelt {

wchar_t FoldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c + 0x20);
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))  // Latin-1 capitals, not the multiplication sign
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0)  // Latin Extended-A pairs
        return static_cast<wchar_t>(c + 1);
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1)
        return static_cast<wchar_t>(c + 1);
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0)
        return static_cast<wchar_t>(c + 1);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)  // Greek capitals
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F)  // Cyrillic capitals
        return static_cast<wchar_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 0x50);
    return c;
}

std::wstring Folded(std::wstring_view text)
{
    std::wstring folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), FoldCase);
    return folded;
}

std::wstring_view FileNameOf(std::wstring_view path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

namespace {

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.remove_suffix(1);
    return text;
}

// "profile|program|title part" into a rule; an empty reason when it parses.
std::wstring ParseRule(std::wstring_view value, AppRule& rule)
{
    const size_t first = value.find(L'|');
    const size_t second = first == std::wstring_view::npos ? first : value.find(L'|', first + 1);
    if (second == std::wstring_view::npos)
        return L"not \"profile|program|title part\"";
    const std::wstring_view number = Trimmed(value.substr(0, first));
    if (number.size() != 1 || number[0] < L'1' || number[0] > L'5')
        return L"profile is not 1 to 5";
    rule.profile = number[0] - L'1';
    rule.program = Trimmed(value.substr(first + 1, second - first - 1));
    rule.titlePart = value.substr(second + 1);
    return AppRules::Problem(rule);
}

} // namespace

AppRules::FoldedRule AppRules::Fold(const AppRule& rule)
{
    FoldedRule folded{Folded(rule.program), Folded(rule.titlePart), false};
    folded.fullPath = folded.program.find_first_of(L"\\/") != std::wstring::npos;
    return folded;
}

std::ptrdiff_t AppRules::Find(std::wstring_view program, std::wstring_view titlePart) const
{
    const std::wstring foldedProgram = Folded(program), foldedTitle = Folded(titlePart);
    for (size_t i = 0; i < m_folded.size(); ++i) {
        if (m_folded[i].program == foldedProgram && m_folded[i].titlePart == foldedTitle)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

AppRules AppRules::FromSection(std::wstring_view sectionText, std::vector<RejectedRule>* rejected)
{
    AppRules rules;
    // Where each program and title part already has a rule: a later line replaces it, as an
    // added rule does, without a search through every rule per line.
    std::unordered_map<std::wstring, size_t> placeOf;
    while (!sectionText.empty() && sectionText.front() != L'\0') {
        const size_t end = std::min(sectionText.find(L'\0'), sectionText.size());
        const std::wstring_view line = sectionText.substr(0, end);
        sectionText.remove_prefix(std::min(end + 1, sectionText.size()));
        if (line.empty() || line.front() == L';')
            continue;
        const size_t equals = line.find(L'=');
        const std::wstring_view key = Trimmed(line.substr(0, equals));
        AppRule rule;
        std::wstring reason = equals == std::wstring_view::npos ? L"no '='" : ParseRule(line.substr(equals + 1), rule);
        if (!reason.empty()) {
            if (rejected != nullptr)
                rejected->push_back({std::wstring(key.substr(0, 64)), std::move(reason)});
            continue;
        }
        FoldedRule folded = Fold(rule);
        auto [place, added] = placeOf.try_emplace(folded.program + L'|' + folded.titlePart, rules.m_rules.size());
        if (added) {
            rules.m_rules.push_back(std::move(rule));
            rules.m_folded.push_back(std::move(folded));
        } else {
            rules.m_rules[place->second] = std::move(rule);
        }
    }
    return rules;
}

std::wstring AppRules::ToSection() const
{
    std::wstring text;
    int key = 1;
    for (const AppRule& rule : m_rules) {
        text += std::to_wstring(key++) + L'=' + static_cast<wchar_t>(L'1' + rule.profile) + L'|' + rule.program + L'|' +
                rule.titlePart;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

std::optional<int> AppRules::Match(std::wstring_view programPath, std::wstring_view title) const
{
    if (programPath.empty())
        return std::nullopt;
    const std::wstring foldedPath = Folded(programPath);
    const std::wstring foldedName(FileNameOf(foldedPath));
    const std::wstring foldedTitle = Folded(title);
    const auto programMatches = [&](const FoldedRule& rule) {
        return rule.program == (rule.fullPath ? foldedPath : foldedName);
    };
    for (size_t i = 0; i < m_rules.size(); ++i) {
        const FoldedRule& rule = m_folded[i];
        if (!rule.titlePart.empty() && programMatches(rule) && foldedTitle.find(rule.titlePart) != std::wstring::npos)
            return m_rules[i].profile;
    }
    for (size_t i = 0; i < m_rules.size(); ++i) {
        if (m_folded[i].titlePart.empty() && programMatches(m_folded[i]))
            return m_rules[i].profile;
    }
    return std::nullopt;
}

std::wstring AppRules::Problem(const AppRule& rule)
{
    if (rule.profile < 0 || rule.profile > 4)
        return L"profile is not 1 to 5";
    if (Trimmed(rule.program).empty())
        return L"no program";
    if (rule.program.size() > kLongestRuleText)
        return L"program longer than 259 characters";
    if (rule.titlePart.size() > kLongestRuleText)
        return L"title part longer than 259 characters";
    const auto bad = [](wchar_t c) { return c == L'|' || c < L' '; };
    if (std::any_of(rule.program.begin(), rule.program.end(), bad) ||
        std::any_of(rule.titlePart.begin(), rule.titlePart.end(), [](wchar_t c) { return c < L' '; }))
        return L"control characters or '|' in the program";
    return L"";
}

bool AppRules::AddOrReplace(const AppRule& rule)
{
    if (!Problem(rule).empty())
        return false;
    const std::ptrdiff_t same = Find(rule.program, rule.titlePart);
    if (same >= 0) {
        m_rules[same] = rule;
    } else {
        m_rules.push_back(rule);
        m_folded.push_back(Fold(rule));
    }
    return true;
}

bool AppRules::Remove(std::wstring_view program, std::wstring_view titlePart)
{
    const std::ptrdiff_t same = Find(program, titlePart);
    if (same < 0)
        return false;
    m_rules.erase(m_rules.begin() + same);
    m_folded.erase(m_folded.begin() + same);
    return true;
}

} // namespace qelt

#include "app_command.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "agent_channel.h"
#include "app_rules_file.h"
#include "profile_argument.h"
#include "profile_control.h"

namespace qelt {

namespace {

// Program paths may hold any letters: a console gets them as they are, a pipe or file as UTF-8.
void Print(const std::wstring& line)
{
    const std::wstring text = line + L"\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Complain(const std::wstring& text, int status)
{
    std::fwprintf(stderr, L"qeltctl: %ls\n", text.c_str());
    return status;
}

int List(const std::wstring& path)
{
    const AppRules rules = ReadAppRulesFile(path);
    if (rules.Empty())
        Print(L"No program profiles.");
    for (const AppRule& rule : rules.Rules()) {
        std::wstring line = L"profile " + UserProfileName(rule.profile) + L"  " + rule.program;
        if (!rule.titlePart.empty())
            line += L"  title \"" + rule.titlePart + L"\"";
        Print(line);
    }
    return kControlDone;
}

// Saves the rules and tells a running agent to read them again.
int Save(const std::wstring& path, const AppRules& rules, const std::wstring& done)
{
    if (!WriteAppRulesFile(path, rules))
        return Complain(L"cannot write " + path, kControlFailed);
    if (PostAgentRequest(AP_RELOAD_APP_PROFILES, 0))
        Print(done);
    else
        Print(done + L" The agent (QELT_Core) is not running: it takes the rules at its next start.");
    return kControlDone;
}

} // namespace

int RunAppCommand(const std::vector<std::wstring>& arguments, const std::wstring& dataFolder)
{
    const std::wstring path = AppRulesFilePath(dataFolder);
    if (arguments.empty())
        return Complain(L"app needs list, add or remove", kControlUsage);
    const std::wstring& command = arguments[0];
    if (command == L"list") {
        if (arguments.size() != 1)
            return Complain(L"app list takes no arguments", kControlUsage);
        return List(path);
    }
    if (command != L"add" && command != L"remove")
        return Complain(L"unknown app command " + command, kControlUsage);

    const bool add = command == L"add";
    AppRule rule;
    bool haveProgram = false, haveProfile = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--title") {
            if (i + 1 >= arguments.size())
                return Complain(L"--title needs a text", kControlUsage);
            rule.titlePart = arguments[++i];
        } else if (!haveProgram) {
            rule.program = argument;
            haveProgram = true;
        } else if (add && !haveProfile) {
            const auto profile = ParseUserProfile(argument, false);
            if (!profile)
                return Complain(L"\"" + argument + L"\" is not a profile 1 to 5", kControlUsage);
            rule.profile = *profile;
            haveProfile = true;
        } else {
            return Complain(L"unexpected argument " + argument, kControlUsage);
        }
    }
    if (!haveProgram || (add && !haveProfile))
        return Complain(add ? L"usage: qeltctl app add PROGRAM N [--title TEXT]"
                            : L"usage: qeltctl app remove PROGRAM [--title TEXT]",
                        kControlUsage);
    if (FindEditorWindow() != nullptr)
        return Complain(L"the settings editor (QELT_Settings) is open; close it first, or make the change there "
                        L"(both would write the program profiles)",
                        kControlEditorOpen);

    AppRules rules = ReadAppRulesFile(path);
    if (add) {
        const std::wstring problem = AppRules::Problem(rule);
        if (!problem.empty() || !rules.AddOrReplace(rule))
            return Complain(L"the rule cannot be taken: " + problem, kControlUsage);
        return Save(path, rules, L"Profile " + UserProfileName(rule.profile) + L" for " + rule.program + L".");
    }
    if (!rules.Remove(rule.program, rule.titlePart))
        return Complain(L"no rule for " + rule.program +
                            (rule.titlePart.empty() ? std::wstring() : L" with the title part \"" + rule.titlePart + L"\""),
                        kControlFailed);
    return Save(path, rules, L"Rule for " + rule.program + L" removed.");
}

} // namespace qelt

#pragma once
// What recording fakes write: one line per effect, in one list shared by every fake of a test, so
// the test sees the order of effects across the seams.
#include <cstdio>
#include <string>
#include <vector>

namespace qelt::testing {

struct EffectJournal {
    std::vector<std::string> entries;

    void Add(const char* text) { entries.emplace_back(text); }
    template <typename... Args>
    void Add(const char* format, Args... args)
    {
        char text[256];
        std::snprintf(text, sizeof text, format, args...);
        entries.emplace_back(text);
    }
};

} // namespace qelt::testing

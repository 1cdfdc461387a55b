#pragma once
// One section of a private-profile file, fetched whole with one GetPrivateProfileSectionW call,
// answering the same questions as CSettingRW's per-key reads of that section.
//
// Why: the platform opens (and, on Windows always and under Wine for a file written in the last
// two seconds, parses) the whole file on every call. A profile file has 21 sections but about 70
// keys, and its Macro values were read twice each.
//
// Values in the plain form the programs write are taken from the fetched text. Anything the two
// platforms might read differently from that text (quoted values, numbers that are empty, signed
// with '+', hexadecimal or very long, names with spaces around them or non-ASCII letters, lines
// without '=', a binary value that does not decode) is asked of the platform key by key, so a
// section read never answers differently from the per-key read.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setting_rw.h"

namespace qelt {

class SettingSection {
public:
    // Fetches the section now (with ReadPath::KeyByKey nothing is fetched: every read below then
    // makes the per-key platform call).
    SettingSection(const CSettingRW& file, std::wstring name, settingRW::ReadPath path = settingRW::ReadPath::Sections);

    const std::wstring& Name() const { return m_name; }
    const std::wstring& Path() const { return m_file.Path(); }

    // As CSettingRW::ReadString, ReadInt and ReadStruct for this section.
    std::wstring ReadString(const wchar_t* key, const wchar_t* defaultValue) const;
    int ReadInt(const wchar_t* key, int defaultValue) const;
    bool ReadStruct(const wchar_t* key, void* destination, unsigned size) const;
    // Whether the section has the key at all (with any value, an empty one included).
    bool Holds(const wchar_t* key) const;

    // The largest section text fetched whole; a larger section is read key by key.
    static constexpr unsigned kLargestSection = 1u << 22;

private:
    struct Entry {
        std::wstring_view name;
        std::wstring_view value;
        bool plain;  // name and value in a form both platforms read alike
    };
    enum class Lookup { Found, Missing, AskPlatform };

    void Fetch();
    void Split(size_t length);
    Lookup Find(const wchar_t* key, std::wstring_view& value) const;

    const CSettingRW& m_file;
    std::wstring m_name;
    bool m_keyByKey;
    std::unique_ptr<wchar_t[]> m_text;
    std::vector<Entry> m_entries;
};

} // namespace qelt

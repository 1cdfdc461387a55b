#pragma once
// A code page converter for tests on any host: UTF-8, and Latin-1 for the ANSI code page and
// ISO-8859-1. It remembers the code pages it was asked for; others fail as the platform's do.
#include <vector>

#include "xmldoc.h"

namespace qelt::testing {

class HostConverter final : public CodePageConverter {
public:
    bool Convert(unsigned codePage, const uint8_t* bytes, size_t count, XmlString& out) const override
    {
        requested.push_back(codePage);
        if (codePage == 65001) {
            out = Utf8ToUtf16(bytes, count);
            return true;
        }
        if (codePage == 0 || codePage == 28591 || codePage == 1252) {
            out.assign(bytes, bytes + count);
            return true;
        }
        return false;
    }
    mutable std::vector<unsigned> requested;
};

} // namespace qelt::testing

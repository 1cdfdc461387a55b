// Scan throughput of CXmlDoc::ParseText next to pugixml on the same generated document.
// Prints MB/s (of document bytes) for both and their ratio; best of several runs each.
//   build-native/bench/xml_bench [megabytes]
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "xmldoc.h"

namespace {

// A key-table-like document: sections of keyed entries with attributes, references, comments,
// CDATA and some nesting, until it reaches the wanted size.
std::string Generate(size_t bytes)
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KEYNAMES>\n";
    unsigned section = 0;
    while (doc.size() < bytes) {
        doc += "  <KEYTABLE id=\"" + std::to_string(section) + "\" kind='names'>\n";
        doc += "    <!-- section " + std::to_string(section) + " -->\n";
        for (unsigned key = 0; key < 256; ++key) {
            char entry[160];
            std::snprintf(entry, sizeof entry,
                          "    <CODE_%02x repeat=\"%u\">Key &amp; name %u &#x41;</CODE_%02x>\n", key,
                          key % 7, key, key);
            doc += entry;
            if (key % 32 == 0)
                doc += "    <group><item a='1'/><item a='2'><![CDATA[raw <data>]]></item></group>\n";
        }
        doc += "  </KEYTABLE>\n";
        ++section;
    }
    doc += "</KEYNAMES>\n";
    return doc;
}

template <typename Run>
double BestSeconds(int runs, Run run)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(end - start).count());
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
    const std::string bytes = Generate(megabytes * 1000 * 1000);
    const double mb = bytes.size() / 1e6;
    const int runs = 7;

    qelt::CXmlDoc doc;
    doc.SetText(qelt::XmlString(bytes.begin(), bytes.end()));
    bool wellFormed = false;
    const double ours = BestSeconds(runs, [&] { wellFormed = doc.ParseText(); });
    const uint32_t elements = doc.ElementCount();

    size_t pugiNodes = 0;
    std::vector<char> buffer;
    const double pugi = BestSeconds(runs, [&] {
        buffer.assign(bytes.begin(), bytes.end());  // in-place parsing needs a fresh copy
        pugi::xml_document pdoc;
        const auto result = pdoc.load_buffer_inplace(buffer.data(), buffer.size());
        pugiNodes = result ? 1 : 0;
    });
    // The copy is not parsing: time it alone and take it off.
    const double copy = BestSeconds(runs, [&] { buffer.assign(bytes.begin(), bytes.end()); });

    // Lookups on the scanned document (the key-name question).
    const double lookups = BestSeconds(runs, [&] {
        for (unsigned key = 0; key < 256; ++key) {
            char16_t name[8] = {u'C', u'O', u'D', u'E', u'_', u"0123456789abcdef"[key >> 4],
                                u"0123456789abcdef"[key & 15], 0};
            (void)doc.LookupText(u"KEYTABLE", name);
        }
    });

    const double pugiParse = std::max(pugi - copy, 1e-9);
    std::printf("document: %.1f MB, %u elements, well formed: %s, pugixml parsed: %s\n", mb,
                elements, wellFormed ? "yes" : "no", pugiNodes ? "yes" : "no");
    std::printf("CXmlDoc::ParseText   %8.1f MB/s  (%.1f ms)\n", mb / ours, ours * 1e3);
    std::printf("pugixml in place     %8.1f MB/s  (%.1f ms)\n", mb / pugiParse, pugiParse * 1e3);
    std::printf("ratio ParseText/pugixml: %.2f\n", pugiParse / ours);
    std::printf("256 LookupText calls: %.3f ms\n", lookups * 1e3);
    return 0;
}

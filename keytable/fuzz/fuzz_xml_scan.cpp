// Fuzzes the scanner, the element index and the text lookups. The input is taken as UTF-16
// units (first byte odd) or as one unit per byte (first byte even), so that both plain markup
// and any 16-bit unit reach the scanner.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "xmldoc.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckIndex(const qelt::CXmlDoc& doc)
{
    const size_t size = doc.Text().size();
    for (uint32_t n = 1; n <= doc.ElementCount(); ++n) {
        const qelt::CXmlDoc::Element& e = doc.At(n);
        Require(e.start + static_cast<size_t>(e.length) <= size);
        Require(e.startTagLength + e.endTagLength <= e.length);
        Require(e.parent < n);
        Require(e.depth == (e.parent ? doc.At(e.parent).depth + 1 : 0));
        Require(doc.Text()[e.start] == u'<');
        if (e.nextSibling)
            Require(doc.At(e.nextSibling).parent == e.parent && e.nextSibling > n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    qelt::XmlString text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    } else {
        for (size_t i = 1; i < size; ++i)
            text.push_back(data[i]);
    }
    qelt::CXmlDoc doc;
    doc.SetText(text);
    doc.ParseText();
    CheckIndex(doc);

    // Look up names the document itself uses, and the catch-all empty name.
    const uint32_t count = doc.ElementCount();
    (void)doc.LookupText(u"", u"");
    for (uint32_t n = 1; n <= count && n <= 8; ++n) {
        const qelt::XmlString section(doc.ElementName(n));
        for (uint32_t m = n; m <= count && m <= n + 4; ++m) {
            const qelt::XmlString key(doc.ElementName(m));
            (void)doc.LookupText(section, key);
        }
    }
    doc.Rewind();
    for (int steps = 0; steps < 64 && doc.NextChildElement(u""); ++steps) {
        (void)doc.ChildText();
        if (steps % 3 == 2)
            doc.StepIntoChild();
    }
    (void)qelt::DecodeEntities(text);
    return 0;
}

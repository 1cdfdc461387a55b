// Fuzzes loading a file's bytes: marks, declarations, the UTF-8 test, NUL removal, byte swapping
// and the charset names, then scanning the result.
#include <cstddef>
#include <cstdint>

#include "../tests/host_converter.h"
#include "xmldoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    qelt::testing::HostConverter converter;
    qelt::CXmlDoc doc;
    doc.LoadFromBytes(data, size, converter);
    doc.ParseText();
    (void)doc.LookupText(u"KEYTABLE", u"CODE_0d");

    (void)qelt::LooksLikeUtf8(data, size);
    const qelt::XmlString head = qelt::Utf8ToUtf16(data, size < 1024 ? size : 1024);
    (void)qelt::DeclaredEncoding(head);
    unsigned codePage = 0;
    (void)qelt::CodePageFromName(qelt::XmlStringView(head).substr(0, 120), codePage);
    (void)qelt::DecodeEntities(head);
    return 0;
}

#pragma once
// CXmlDoc: the small XML reader behind the key-name file. The whole document is held as UTF-16
// text; one scan builds an index of element positions (offsets only: names and text are read
// from the document text when asked), and a few navigation operations answer "the text of
// element key inside element section".
//
// The reader is tolerant: malformed markup never stops the scan. The first problem found is kept
// as a one-line diagnostic text, and the index is built as far as the markup allows.
//
// Nothing here calls the platform, so the scanner and the index build and run on any host
// (sanitizers, fuzzing). Text is char16_t so that it is UTF-16 on every host; on Windows it has
// the layout of wchar_t.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qelt {

using XmlChar = char16_t;
using XmlString = std::u16string;
using XmlStringView = std::u16string_view;

enum class XmlNodeType : uint8_t {
    StartTag,
    EndTag,
    Text,
    WhiteSpace,
    ProcessingInstruction,
    Comment,
    CData,
    Declaration,
    Error,
    EndOfDocument,
};

// One node found by the scanner: [start, start + length) in the text. Error nodes carry the
// diagnostic text of their problem (without the offset part, which the caller adds).
struct XmlNode {
    XmlNodeType type = XmlNodeType::EndOfDocument;
    size_t start = 0;
    size_t length = 0;
    bool emptyElement = false;      // start tag ending in "/>" (see ScanXmlNode)
    const char16_t* errorPrefix = nullptr;  // "Incorrect tag name character", "Comment", ...
    bool unterminated = false;      // errorPrefix names a node kind that reached the end of text
};

// The node that begins at pos (pos <= text.size()).
XmlNode ScanXmlNode(XmlStringView text, size_t pos);
// The name of a start tag, end tag or processing instruction node, read in place.
XmlStringView XmlNodeName(XmlStringView text, const XmlNode& node);
// The first attribute called name (compared without regard to ASCII case) of a start tag or
// processing instruction, without its quotes and undecoded; false when there is none.
bool XmlAttributeValue(XmlStringView text, const XmlNode& node, XmlStringView name,
                       XmlStringView& value);
// Compares without regard to ASCII letter case.
bool XmlNameEqualsNoCase(XmlStringView a, XmlStringView b);

// Replaces character references: &name; (the HTML 4.01 names and apos, compared in lower case),
// &#decimal; and &#xhex;. A reference that cannot be decoded is copied unchanged.
XmlString DecodeEntities(XmlStringView text);

// Converts the bytes of a file to UTF-16 in a given Windows code page (0 = the ANSI code page).
// Production uses MultiByteToWideChar; tests and host builds supply their own.
class CodePageConverter {
public:
    virtual ~CodePageConverter() = default;
    // False when the code page is not available (the platform's conversion failed).
    virtual bool Convert(unsigned codePage, const uint8_t* bytes, size_t count,
                         XmlString& out) const = 0;
};

// The platform's conversion (MultiByteToWideChar). Windows only.
const CodePageConverter& SystemCodePageConverter();

class CXmlDoc {
public:
    enum DocFlags : uint32_t {
        FromFile = 0x01,
        Utf8Bom = 0x02,
        Utf16LeBom = 0x04,
        Utf16BeBom = 0x08,
        IgnoreCase = 0x10,      // never set: element names compare exactly
        NotWellFormed = 0x20,
    };
    enum ElementFlags : uint8_t {
        FirstChild = 0x01,
        NotEnded = 0x02,
    };
    struct Element {
        uint32_t start = 0;         // offset of "<"
        uint32_t length = 0;        // "<" of the start tag to ">" of the end tag
        uint32_t startTagLength = 0;
        uint32_t endTagLength = 0;  // 0 for an empty element or one never closed
        uint32_t depth = 0;         // 0 for top-level elements
        uint32_t parent = 0;
        uint32_t firstChild = 0;
        uint32_t nextSibling = 0;
        uint32_t previousSibling = 0;  // of the first child: the last child
        uint8_t flags = 0;
    };

    CXmlDoc();

    // Reads a file: the text, the encoding flags and the load status. Does not scan. Windows only.
    bool LoadFromFile(const wchar_t* path);
    // The same from bytes already read (everything after opening and reading the file).
    void LoadFromBytes(const uint8_t* bytes, size_t count, const CodePageConverter& converter);
    // Sets the document text directly (no load status).
    void SetText(XmlStringView text);

    // Scans the text and rebuilds the element index; clears the positions. True when the text is
    // well formed: no scan problem and exactly one top-level element.
    bool ParseText();

    void Rewind();
    bool NextElement(XmlStringView name);
    bool NextChildElement(XmlStringView name);
    bool StepIntoChild();
    XmlString ChildText() const;
    XmlString LookupText(XmlStringView section, XmlStringView key);

    const XmlString& Diagnostic() const { return m_diagnostic; }
    const XmlString& Text() const { return m_text; }
    uint32_t Flags() const { return m_flags; }

    // The index, for inspection: entry 0 is the document, elements are 1..ElementCount().
    uint32_t ElementCount() const { return m_count; }
    const Element& At(uint32_t number) const;
    XmlStringView ElementName(uint32_t number) const;
    uint32_t ParentPosition() const { return m_parentPos; }
    uint32_t CurrentPosition() const { return m_currentPos; }
    uint32_t ChildPosition() const { return m_childPos; }

private:
    Element& Entry(uint32_t number);
    void ResetIndex(size_t expected);
    uint32_t AddElement(uint32_t parent, uint32_t depth);
    void AppendChild(uint32_t parent, uint32_t child);
    void CloseNotEnded(std::vector<uint32_t>& stack, size_t from);
    void NoteProblem(XmlString text);
    uint32_t FindChild(uint32_t parent, uint32_t after, XmlStringView name) const;
    XmlString ContentText(const Element& element) const;

    XmlString m_text;
    XmlString m_loadStatus;
    XmlString m_diagnostic;
    uint32_t m_flags = 0;

    // Blocks of up to 64K entries: entries never move between blocks, growth never copies
    // the whole index.
    std::vector<std::vector<Element>> m_blocks;
    uint32_t m_count = 0;  // elements, not counting entry 0

    uint32_t m_parentPos = 0;
    uint32_t m_currentPos = 0;
    uint32_t m_childPos = 0;
};

// Encoding detection and the charset table.
bool LooksLikeUtf8(const uint8_t* bytes, size_t count);
// Code page of a charset name: 65005 for names starting "UTF-32", 0 (the ANSI code page) for an
// empty name, and false for names that are not in the table.
bool CodePageFromName(XmlStringView name, unsigned& codePage);
// The encoding declared in the first bytes of a file (xml declaration at offset 0, or an html
// meta charset); empty when none.
XmlString DeclaredEncoding(XmlStringView head);

// Lenient UTF-8 to UTF-16 (bad sequences become U+FFFD), for detection and host converters.
XmlString Utf8ToUtf16(const uint8_t* bytes, size_t count);

} // namespace qelt

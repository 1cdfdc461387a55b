#pragma once
// Display names of keys for the macro editor: from the key-name file (table.xml beside the
// editor) and, for keys that type a character, from the user's keyboard layout.
#include <cstdint>
#include <functional>
#include <string>

#include "keycodes.h"
#include "xmldoc.h"

namespace qelt {

// A keyboard layout that also tells which character a key types (ToUnicodeEx).
class TypingLayout : public KeyboardLayout {
public:
    // Characters written to out (at most capacity); 0 when the key types none, negative for a
    // dead key.
    virtual int ToUnicode(unsigned virtualKey, unsigned scanCode, const uint8_t keyState[256],
                          char16_t* out, int capacity) const = 0;
};

// Keys whose names come only from the file (Enter, Shift, F1...); the others are named by the
// character the layout gives them.
bool IsNamedByFile(unsigned virtualKey);

// The key-name document and the naming rules. The document is loaded at the first request and
// again at every later one while its text is empty (no file yet, or an empty one).
class KeyNameTable {
public:
    using Loader = std::function<bool(CXmlDoc&)>;  // fills the document text; false on failure
    explicit KeyNameTable(Loader loader) : m_loader(std::move(loader)) {}

    XmlString Name(unsigned virtualKey, const TypingLayout& layout);
    XmlString NameOfCode(uint8_t keyCode, const TypingLayout& layout);

    const CXmlDoc& Document() const { return m_document; }

private:
    void LoadIfEmpty();

    Loader m_loader;
    CXmlDoc m_document;
};

#ifdef _WIN32
// The editor's names: table.xml beside the program, the foreground window's layout.
std::wstring KeyName(unsigned virtualKey);
std::wstring KeyNameOfCode(uint8_t keyCode);
#endif

} // namespace qelt

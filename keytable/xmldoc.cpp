#include "xmldoc.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <unordered_map>

#include "diag.h"

namespace qelt {
namespace {

constexpr uint32_t kBlockShift = 16;
constexpr uint32_t kBlockSize = 1u << kBlockShift;  // 64K entries per block
constexpr uint32_t kBlockMask = kBlockSize - 1;
// Offsets are stored in 32 bits; text beyond this is not scanned.
constexpr size_t kMaxScanned = 0x7FFFFFFF;

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool EndsName(char16_t c)
{
    return IsSpace(c) || c == u'/' || c == u'>';
}

bool StartsElementName(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u':' || c == u'_' ||
           c >= 0x7B;
}

char16_t FoldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

size_t Find(XmlStringView text, size_t from, XmlStringView what)
{
    if (from > text.size())
        return XmlStringView::npos;
    return text.find(what, from);
}

// The extent of an error node: up to the next ">" (included) or just before a "<" that comes
// first, or the end of the text.
XmlNode ErrorNode(XmlStringView text, size_t pos, const char16_t* prefix)
{
    XmlNode node;
    node.type = XmlNodeType::Error;
    node.start = pos;
    node.errorPrefix = prefix;
    size_t i = pos + 1;
    while (i < text.size() && text[i] != u'>' && text[i] != u'<')
        ++i;
    if (i < text.size() && text[i] == u'>')
        ++i;
    node.length = i - pos;
    return node;
}

XmlNode Unterminated(XmlStringView text, size_t pos, const char16_t* kind)
{
    XmlNode node;
    node.type = XmlNodeType::Error;
    node.start = pos;
    node.length = text.size() - pos;
    node.errorPrefix = kind;
    node.unterminated = true;
    return node;
}

XmlNode Closed(XmlNodeType type, size_t pos, size_t end)
{
    XmlNode node;
    node.type = type;
    node.start = pos;
    node.length = end - pos;
    return node;
}

// A node ending with a fixed marker searched from 'from'.
XmlNode UpToMarker(XmlStringView text, size_t pos, size_t from, XmlStringView marker,
                   XmlNodeType type, const char16_t* kind)
{
    size_t at = Find(text, from, marker);
    if (at == XmlStringView::npos)
        return Unterminated(text, pos, kind);
    return Closed(type, pos, at + marker.size());
}

XmlNode ScanStartTag(XmlStringView text, size_t pos)
{
    size_t nameEnd = pos + 1;
    while (nameEnd < text.size() && !EndsName(text[nameEnd]))
        ++nameEnd;
    char16_t quote = 0;
    size_t i = pos + 1;
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            break;
        }
    }
    if (i >= text.size())
        return Unterminated(text, pos, u"Element tag");
    XmlNode node = Closed(XmlNodeType::StartTag, pos, i + 1);
    size_t slash = i - 1;
    if (slash > pos + 1 && text[slash] == u'/') {
        char16_t before = text[slash - 1];
        node.emptyElement = slash == nameEnd || IsSpace(before) || before == u'"' || before == u'\'';
    }
    return node;
}

XmlNode ScanDoctype(XmlStringView text, size_t pos)
{
    size_t nesting = 0;
    for (size_t i = pos + 2; i < text.size(); ++i) {
        if (text[i] == u'<') {
            ++nesting;
        } else if (text[i] == u'>') {
            if (nesting == 0)
                return Closed(XmlNodeType::Declaration, pos, i + 1);
            --nesting;
        }
    }
    return Unterminated(text, pos, u"Doctype");
}

XmlNode ScanBang(XmlStringView text, size_t pos)
{
    if (pos + 2 >= text.size())
        return Unterminated(text, pos, u"tag");
    char16_t c = text[pos + 2];
    switch (c) {
    case u'-':
        if (pos + 3 < text.size() && text[pos + 3] == u'-')
            return UpToMarker(text, pos, pos + 4, u"-->", XmlNodeType::Comment, u"Comment");
        return ErrorNode(text, pos, u"Incorrect comment tag");
    case u'[':
        if (pos + 3 < text.size() && text[pos + 3] == u'C')
            return UpToMarker(text, pos, pos + 4, u"]]>", XmlNodeType::CData, u"CDATA Section");
        return ErrorNode(text, pos, u"Incorrect tag");
    case u'D':
        return ScanDoctype(text, pos);
    case u'E':
    case u'A':
    case u'N':
        return UpToMarker(text, pos, pos + 3, u">", XmlNodeType::Declaration, u"tag");
    default:
        return ErrorNode(text, pos, u"Incorrect ! tag");
    }
}

} // namespace

XmlNode ScanXmlNode(XmlStringView text, size_t pos)
{
    const size_t n = text.size();
    if (pos >= n)
        return Closed(XmlNodeType::EndOfDocument, n, n);
    if (text[pos] != u'<') {
        size_t end = pos;
        bool onlySpace = true;
        while (end < n && text[end] != u'<') {
            onlySpace = onlySpace && IsSpace(text[end]);
            ++end;
        }
        return Closed(onlySpace ? XmlNodeType::WhiteSpace : XmlNodeType::Text, pos, end);
    }
    if (pos + 1 >= n)
        return Unterminated(text, pos, u"tag");
    char16_t next = text[pos + 1];
    if (next == u'/')
        return UpToMarker(text, pos, pos + 2, u">", XmlNodeType::EndTag, u"Element end tag");
    if (next == u'?')
        return UpToMarker(text, pos, pos + 2, u"?>", XmlNodeType::ProcessingInstruction,
                          u"Processing instruction");
    if (next == u'!')
        return ScanBang(text, pos);
    if (StartsElementName(next))
        return ScanStartTag(text, pos);
    return ErrorNode(text, pos, u"Incorrect tag name character");
}

XmlStringView XmlNodeName(XmlStringView text, const XmlNode& node)
{
    size_t from = node.start + 1;
    if (node.type == XmlNodeType::EndTag || node.type == XmlNodeType::ProcessingInstruction)
        from = node.start + 2;
    else if (node.type != XmlNodeType::StartTag)
        return {};
    const size_t end = std::min(text.size(), node.start + node.length);
    size_t i = from;
    while (i < end && !EndsName(text[i]) &&
           !(node.type == XmlNodeType::ProcessingInstruction && text[i] == u'?'))
        ++i;
    return from <= i ? text.substr(from, i - from) : XmlStringView();
}

bool XmlNameEqualsNoCase(XmlStringView a, XmlStringView b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

bool XmlAttributeValue(XmlStringView text, const XmlNode& node, XmlStringView name,
                       XmlStringView& value)
{
    if (node.type != XmlNodeType::StartTag && node.type != XmlNodeType::ProcessingInstruction)
        return false;
    XmlStringView tagName = XmlNodeName(text, node);
    size_t i = static_cast<size_t>(tagName.data() - text.data()) + tagName.size();
    size_t limit = node.start + node.length;
    if (limit > node.start && text[limit - 1] == u'>')
        --limit;
    if (node.type == XmlNodeType::ProcessingInstruction && limit > i && text[limit - 1] == u'?')
        --limit;
    while (i < limit) {
        while (i < limit && IsSpace(text[i]))
            ++i;
        if (i >= limit)
            break;
        if (text[i] == u'/' || text[i] == u'?') {
            ++i;
            continue;
        }
        size_t nameStart = i;
        while (i < limit && !IsSpace(text[i]) && text[i] != u'=')
            ++i;
        XmlStringView attribute = text.substr(nameStart, i - nameStart);
        while (i < limit && IsSpace(text[i]))
            ++i;
        if (i >= limit || text[i] != u'=')
            continue;  // an attribute without a value
        ++i;
        while (i < limit && IsSpace(text[i]))
            ++i;
        size_t valueStart = i;
        size_t valueEnd = i;
        if (i < limit && (text[i] == u'"' || text[i] == u'\'')) {
            char16_t quote = text[i];
            valueStart = ++i;
            while (i < limit && text[i] != quote)
                ++i;
            valueEnd = i;
            if (i < limit)
                ++i;
        } else {
            while (i < limit && !IsSpace(text[i]) && text[i] != u'>')
                ++i;
            valueEnd = i;
        }
        if (XmlNameEqualsNoCase(attribute, name)) {
            value = text.substr(valueStart, valueEnd - valueStart);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------

namespace {

XmlString Decimal(size_t value)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%zu", value);
    return XmlString(digits, digits + std::char_traits<char>::length(digits));
}

// The name given to the navigation operations ends at the first of " =/[]".
XmlStringView QueryName(XmlStringView name)
{
    size_t end = name.find_first_of(u" =/[]");
    return end == XmlStringView::npos ? name : name.substr(0, end);
}

std::wstring ToWide(XmlStringView text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

CXmlDoc::CXmlDoc()
{
    ParseText();
}

CXmlDoc::Element& CXmlDoc::Entry(uint32_t number)
{
    return m_blocks[number >> kBlockShift][number & kBlockMask];
}

const CXmlDoc::Element& CXmlDoc::At(uint32_t number) const
{
    return m_blocks[number >> kBlockShift][number & kBlockMask];
}

XmlStringView CXmlDoc::ElementName(uint32_t number) const
{
    const Element& element = At(number);
    if (number == 0 || element.startTagLength < 2)
        return {};
    size_t from = element.start + 1;
    size_t end = element.start + element.startTagLength;
    size_t i = from;
    while (i < end && !EndsName(m_text[i]))
        ++i;
    return XmlStringView(m_text).substr(from, i - from);
}

void CXmlDoc::SetText(XmlStringView text)
{
    m_text.assign(text.begin(), text.end());
    m_loadStatus.clear();
    m_flags = 0;
}

void CXmlDoc::ResetIndex(size_t expected)
{
    m_blocks.clear();
    m_blocks.emplace_back();
    m_blocks.back().reserve(std::min<size_t>(expected + 1, kBlockSize));
    m_blocks.back().emplace_back();  // entry 0: the document
    m_count = 0;
}

uint32_t CXmlDoc::AddElement(uint32_t parent, uint32_t depth)
{
    uint32_t number = m_count + 1;
    if ((number >> kBlockShift) >= m_blocks.size()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(kBlockSize);
    }
    m_blocks.back().emplace_back();
    m_count = number;
    Entry(number).depth = depth;
    AppendChild(parent, number);
    return number;
}

void CXmlDoc::AppendChild(uint32_t parent, uint32_t child)
{
    Element& added = Entry(child);
    added.parent = parent;
    added.nextSibling = 0;
    Element& owner = Entry(parent);
    if (owner.firstChild == 0) {
        owner.firstChild = child;
        added.previousSibling = child;
        added.flags |= FirstChild;
        return;
    }
    Element& first = Entry(owner.firstChild);
    uint32_t last = first.previousSibling;
    Entry(last).nextSibling = child;
    added.previousSibling = last;
    added.flags &= ~FirstChild;
    first.previousSibling = child;
}

// Closes stack[from..] as not ended. Each keeps only its start tag; its children become its
// following siblings, so that they end up under the element below them on the stack (or the
// document). stack[from] is always the last child of that element, and each stack entry the last
// child of the one below, so appending in stack order keeps document order and moves every
// element once.
void CXmlDoc::CloseNotEnded(std::vector<uint32_t>& stack, size_t from)
{
    const uint32_t target = from == 0 ? 0 : stack[from - 1];
    for (size_t j = from; j < stack.size(); ++j) {
        Element& element = Entry(stack[j]);
        element.length = element.startTagLength;
        element.endTagLength = 0;
        element.flags |= NotEnded;
        uint32_t child = element.firstChild;
        element.firstChild = 0;
        while (child != 0) {
            uint32_t next = Entry(child).nextSibling;
            AppendChild(target, child);
            child = next;
        }
    }
    stack.resize(from);
}

void CXmlDoc::NoteProblem(XmlString text)
{
    m_flags |= NotWellFormed;
    if (m_diagnostic.empty())
        m_diagnostic = std::move(text);
}

bool CXmlDoc::ParseText()
{
    const XmlStringView text = XmlStringView(m_text).substr(0, std::min(m_text.size(), kMaxScanned));
    ResetIndex(text.size() / 64 + 8);
    m_diagnostic.clear();
    m_flags &= ~NotWellFormed;
    Rewind();

    std::vector<uint32_t> stack;
    // Open elements by name, kept once the nesting is deep, so that an end tag with no open
    // element of its name is told in constant time rather than by walking the whole stack.
    constexpr size_t kCountFromDepth = 64;
    std::unordered_map<XmlStringView, uint32_t> openByName;
    bool counting = false;
    auto push = [&](uint32_t number) {
        stack.push_back(number);
        if (counting) {
            ++openByName[ElementName(number)];
        } else if (stack.size() > kCountFromDepth) {
            counting = true;
            for (uint32_t open : stack)
                ++openByName[ElementName(open)];
        }
    };
    auto forget = [&](size_t from) {  // stack[from..] are being closed
        for (size_t i = from; counting && i < stack.size(); ++i) {
            auto it = openByName.find(ElementName(stack[i]));
            if (--it->second == 0)
                openByName.erase(it);
        }
    };
    bool moved = false;
    size_t pos = 0;
    for (;;) {
        const XmlNode node = ScanXmlNode(text, pos);
        if (node.type == XmlNodeType::EndOfDocument) {
            if (!stack.empty()) {
                const Element& open = Entry(stack.back());
                NoteProblem(u"Element '" + XmlString(ElementName(stack.back())) + u"' at offset " +
                            Decimal(open.start) + u" not ended");
                forget(0);
                CloseNotEnded(stack, 0);
                moved = true;
            }
            break;
        }
        switch (node.type) {
        case XmlNodeType::StartTag: {
            uint32_t parent = stack.empty() ? 0 : stack.back();
            uint32_t number = AddElement(parent, static_cast<uint32_t>(stack.size()));
            Element& element = Entry(number);
            element.start = static_cast<uint32_t>(node.start);
            element.startTagLength = static_cast<uint32_t>(node.length);
            element.length = element.startTagLength;
            if (!node.emptyElement)
                push(number);
            break;
        }
        case XmlNodeType::EndTag: {
            const XmlStringView name = XmlNodeName(text, node);
            // Found: everything above it is closed now, so the walk costs each element once.
            size_t found = counting && !openByName.count(name) ? 0 : stack.size();
            while (found > 0 && ElementName(stack[found - 1]) != name)
                --found;
            if (found == 0) {
                NoteProblem(u"No start tag for end tag '" + XmlString(name) + u"' at offset " +
                            Decimal(node.start));
                break;
            }
            const size_t index = found - 1;
            if (index + 1 < stack.size()) {
                const uint32_t top = stack.back();
                NoteProblem(u"End tag '" + XmlString(name) + u"' at offset " + Decimal(node.start) +
                            u" does not match start tag '" + XmlString(ElementName(top)) +
                            u"' at offset " + Decimal(Entry(top).start));
                forget(index + 1);
                CloseNotEnded(stack, index + 1);
                moved = true;
            }
            forget(index);
            Element& element = Entry(stack[index]);
            element.length = static_cast<uint32_t>(node.start + node.length - element.start);
            element.endTagLength = static_cast<uint32_t>(node.length);
            stack.pop_back();
            break;
        }
        case XmlNodeType::Error:
            NoteProblem(XmlString(node.errorPrefix) + u" at offset " + Decimal(node.start) +
                        (node.unterminated ? u" unterminated" : u""));
            break;
        default:
            break;
        }
        pos = node.start + node.length;
    }

    if (moved) {
        // Recovery moved elements up: a parent always precedes its children in the index, so one
        // pass in index order sets every depth again.
        for (uint32_t number = 1; number <= m_count; ++number) {
            Element& element = Entry(number);
            element.depth = element.parent == 0 ? 0 : Entry(element.parent).depth + 1;
        }
    }

    const uint32_t root = Entry(0).firstChild;
    if (text.empty())
        m_diagnostic = u"Empty document";
    else if (root == 0)
        m_diagnostic = u"No root element";
    else if (Entry(root).nextSibling != 0)
        m_diagnostic = u"Root element has sibling";
    const bool wellFormed = !(m_flags & NotWellFormed) && root != 0 && Entry(root).nextSibling == 0;

    if (!m_diagnostic.empty() && !text.empty())
        Diag(L"XML: %ls\n", ToWide(m_diagnostic).c_str());
    if (!m_loadStatus.empty())
        m_diagnostic = m_diagnostic.empty() ? m_loadStatus : m_loadStatus + u" " + m_diagnostic;
    return wellFormed;
}

void CXmlDoc::Rewind()
{
    m_parentPos = 0;
    m_currentPos = 0;
    m_childPos = 0;
}

uint32_t CXmlDoc::FindChild(uint32_t parent, uint32_t after, XmlStringView name) const
{
    uint32_t candidate = after != 0 ? At(after).nextSibling : At(parent).firstChild;
    for (; candidate != 0; candidate = At(candidate).nextSibling) {
        if (name.empty() || ElementName(candidate) == name)
            return candidate;
    }
    return 0;
}

bool CXmlDoc::NextElement(XmlStringView name)
{
    if (m_count == 0)
        return false;
    uint32_t found = FindChild(m_parentPos, m_currentPos, QueryName(name));
    if (found == 0)
        return false;
    m_currentPos = found;
    m_childPos = 0;
    return true;
}

bool CXmlDoc::NextChildElement(XmlStringView name)
{
    if (m_currentPos == 0 && !NextElement(XmlStringView()))
        return false;
    uint32_t found = FindChild(m_currentPos, m_childPos, QueryName(name));
    if (found == 0)
        return false;
    m_childPos = found;
    m_currentPos = At(found).parent;
    m_parentPos = At(m_currentPos).parent;
    return true;
}

bool CXmlDoc::StepIntoChild()
{
    if (m_currentPos == 0)
        return false;
    m_parentPos = m_currentPos;
    m_currentPos = m_childPos;
    m_childPos = 0;
    return true;
}

XmlString CXmlDoc::ContentText(const Element& element) const
{
    const size_t from = element.start + element.startTagLength;
    const size_t to = element.start + element.length - element.endTagLength;
    const XmlStringView content = XmlStringView(m_text).substr(from, to - from);
    if (content.find(u'<') == XmlStringView::npos)
        return DecodeEntities(content);

    XmlString result;
    size_t pos = 0;
    for (;;) {
        const XmlNode node = ScanXmlNode(content, pos);
        if (node.type == XmlNodeType::EndOfDocument)
            break;
        const XmlStringView piece = content.substr(node.start, node.length);
        if (node.type == XmlNodeType::Text) {
            result += DecodeEntities(piece);
        } else if (node.type == XmlNodeType::CData) {
            // "<![CDATA[" ... "]]>": the data starts after the second "[".
            const XmlStringView body = piece.substr(0, piece.size() - 3);
            const size_t open = body.find(u'[', 3);
            if (open != XmlStringView::npos)
                result.append(body.substr(open + 1));
        }
        pos = node.start + node.length;
    }
    return result;
}

XmlString CXmlDoc::ChildText() const
{
    if (m_childPos == 0)
        return {};
    const Element& element = At(m_childPos);
    if (element.firstChild != 0 || element.endTagLength == 0 ||
        element.startTagLength + element.endTagLength >= element.length)
        return {};
    return ContentText(element);
}

XmlString CXmlDoc::LookupText(XmlStringView section, XmlStringView key)
{
    Rewind();
    // Each round steps one level deeper, so this ends with the depth of the document.
    while (NextChildElement(section)) {
        StepIntoChild();
        if (NextChildElement(key))
            return ChildText();
    }
    return {};
}

} // namespace qelt

#include <gtest/gtest.h>

#include <string>

#include "diag.h"
#include "xmldoc.h"

namespace qelt {
namespace {

std::string Narrow(XmlStringView text)
{
    std::string out;
    for (char16_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

XmlString Wide(const std::string& text)
{
    return XmlString(text.begin(), text.end());
}

struct NodeCase {
    const char* text;
    size_t pos;
    XmlNodeType type;
    size_t length;
    const char* error;  // prefix of an error node
    bool unterminated;
    bool emptyElement;
};

TEST(XmlScanner, RecognisesEachNodeKindAndItsExtent)
{
    using T = XmlNodeType;
    const NodeCase cases[] = {
        {"<a>", 0, T::StartTag, 3, nullptr, false, false},
        {"<a/>", 0, T::StartTag, 4, nullptr, false, true},
        {"<a />", 0, T::StartTag, 5, nullptr, false, true},
        {"<a x=\"1\"/>", 0, T::StartTag, 10, nullptr, false, true},
        {"<a x='1'/>", 0, T::StartTag, 10, nullptr, false, true},
        {"<a x=1/>", 0, T::StartTag, 8, nullptr, false, false},  // the slash is part of the value
        {"<a x='>'>rest", 0, T::StartTag, 9, nullptr, false, false},
        {"<a x=\"it's\">", 0, T::StartTag, 12, nullptr, false, false},
        {"<_x:y>", 0, T::StartTag, 6, nullptr, false, false},
        {"<{x>", 0, T::StartTag, 4, nullptr, false, false},
        {"</a >", 0, T::EndTag, 5, nullptr, false, false},
        {"text<", 0, T::Text, 4, nullptr, false, false},
        {" \t\r\n<a>", 0, T::WhiteSpace, 4, nullptr, false, false},
        {" x ", 0, T::Text, 3, nullptr, false, false},
        {"<?xml version='1.0'?>", 0, T::ProcessingInstruction, 21, nullptr, false, false},
        {"<!-- a -- b -->x", 0, T::Comment, 15, nullptr, false, false},
        {"<![CDATA[a]]]>x", 0, T::CData, 14, nullptr, false, false},
        {"<!DOCTYPE r [<!ELEMENT r ANY>]>x", 0, T::Declaration, 31, nullptr, false, false},
        {"<!ENTITY e 'v'>x", 0, T::Declaration, 15, nullptr, false, false},
        {"<1a>", 0, T::Error, 4, "Incorrect tag name character", false, false},
        {"< a<b>", 0, T::Error, 3, "Incorrect tag name character", false, false},
        {"<!x>", 0, T::Error, 4, "Incorrect ! tag", false, false},
        {"<!-x>", 0, T::Error, 5, "Incorrect comment tag", false, false},
        {"<![x>", 0, T::Error, 5, "Incorrect tag", false, false},
        {"<", 0, T::Error, 1, "tag", true, false},
        {"<!", 0, T::Error, 2, "tag", true, false},
        {"<a x='>", 0, T::Error, 7, "Element tag", true, false},
        {"</a", 0, T::Error, 3, "Element end tag", true, false},
        {"<?pi ?", 0, T::Error, 6, "Processing instruction", true, false},
        {"<?>", 0, T::Error, 3, "Processing instruction", true, false},
        {"<!-->", 0, T::Error, 5, "Comment", true, false},
        {"<![CDATA[x]]", 0, T::Error, 12, "CDATA Section", true, false},
        {"<!DOCTYPE [<x>", 0, T::Error, 14, "Doctype", true, false},
        {"ab", 2, T::EndOfDocument, 0, nullptr, false, false},
    };
    for (const NodeCase& c : cases) {
        const XmlString text = Wide(c.text);
        const XmlNode node = ScanXmlNode(text, c.pos);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(node.type, c.type);
        EXPECT_EQ(node.start, c.pos);
        EXPECT_EQ(node.length, c.length);
        EXPECT_EQ(node.unterminated, c.unterminated);
        EXPECT_EQ(node.emptyElement, c.emptyElement);
        if (c.error) {
            ASSERT_NE(node.errorPrefix, nullptr);
            EXPECT_EQ(Narrow(node.errorPrefix), c.error);
        }
    }
}

TEST(XmlScanner, NonAsciiCharactersStartElementNames)
{
    const XmlString text = u"<\u00E9l\u00E8ve/>";
    const XmlNode node = ScanXmlNode(text, 0);
    EXPECT_EQ(node.type, XmlNodeType::StartTag);
    EXPECT_TRUE(node.emptyElement);
    EXPECT_EQ(XmlNodeName(text, node), u"\u00E9l\u00E8ve");
}

TEST(XmlScanner, ReadsAttributeValuesQuotedAndUnquoted)
{
    const XmlString text = u"<meta a=\"one\" b='two' c=three d = \"four\" flag e=x>";
    const XmlNode node = ScanXmlNode(text, 0);
    const std::pair<const char16_t*, const char16_t*> expected[] = {
        {u"a", u"one"}, {u"B", u"two"}, {u"c", u"three"}, {u"d", u"four"}, {u"e", u"x"}};
    for (auto [name, value] : expected) {
        XmlStringView found;
        ASSERT_TRUE(XmlAttributeValue(text, node, name, found)) << Narrow(name);
        EXPECT_EQ(found, value);
    }
    XmlStringView none;
    EXPECT_FALSE(XmlAttributeValue(text, node, u"flag", none));
    EXPECT_FALSE(XmlAttributeValue(text, node, u"missing", none));
}

struct ParseCase {
    const char* text;
    bool wellFormed;
    const char* diagnostic;
};

TEST(XmlParse, ReportsTheFirstProblem)
{
    const ParseCase cases[] = {
        {"<r/>", true, ""},
        {"<?xml version='1.0'?>\r\n<!-- c --><!DOCTYPE r [<!ELEMENT r ANY>]><r>t<![CDATA[<x>]]></r>\n",
         true, ""},
        {"", false, "Empty document"},
        {" \r\n", false, "No root element"},
        {"<", false, "No root element"},
        {"text only", false, "No root element"},
        {"<a/><b/>", false, "Root element has sibling"},
        {"<r></x></r>", false, "No start tag for end tag 'x' at offset 3"},
        {"</x><r/>", false, "No start tag for end tag 'x' at offset 0"},
        {"<r><a><b></a></r>", false,
         "End tag 'a' at offset 9 does not match start tag 'b' at offset 6"},
        {"<r>text", false, "Element 'r' at offset 0 not ended"},
        {"<r><!-- c --><?p?>", false, "Element 'r' at offset 0 not ended"},
        {"<r><1/></r>", false, "Incorrect tag name character at offset 3"},
        {"<r><!x></r>", false, "Incorrect ! tag at offset 3"},
        {"<r><!-x></r>", false, "Incorrect comment tag at offset 3"},
        {"<r><![x></r>", false, "Incorrect tag at offset 3"},
        {"<r><!-- x", false, "Comment at offset 3 unterminated"},
        {"<r><![CDATA[x", false, "CDATA Section at offset 3 unterminated"},
        {"<r><?pi x", false, "Processing instruction at offset 3 unterminated"},
        {"<r><!DOCTYPE x [<!ENTITY y>", false, "Doctype at offset 3 unterminated"},
        {"<r></r", false, "Element end tag at offset 3 unterminated"},
        {"<r><b x='>", false, "Element tag at offset 3 unterminated"},
        {"<r>x<", false, "tag at offset 4 unterminated"},
        // Recovery at the end makes siblings of the children: that message replaces the scan's.
        {"<r><a><b/><c>", false, "Root element has sibling"},
        // Names compare exactly.
        {"<r><A></a></A></r>", false, "No start tag for end tag 'a' at offset 6"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        CXmlDoc doc;
        doc.SetText(Wide(c.text));
        EXPECT_EQ(doc.ParseText(), c.wellFormed);
        EXPECT_EQ(Narrow(doc.Diagnostic()), c.diagnostic);
    }
}

TEST(XmlParse, WritesTheScanProblemAsADiagnosticLine)
{
    DiagCapture capture;
    CXmlDoc doc;
    doc.SetText(u"<r></x></r>");
    doc.ParseText();
    EXPECT_TRUE(capture.Contains(L"No start tag for end tag 'x' at offset 3"));
}

// "name(depth,parent)[flags]" for every element, in index order.
std::string Shape(const CXmlDoc& doc)
{
    std::string out;
    for (uint32_t n = 1; n <= doc.ElementCount(); ++n) {
        const CXmlDoc::Element& e = doc.At(n);
        out += Narrow(doc.ElementName(n)) + "(" + std::to_string(e.depth) + "," +
               std::to_string(e.parent) + ")";
        if (e.flags & CXmlDoc::NotEnded)
            out += "!";
        out += " ";
    }
    return out;
}

// Children of an element by their links, first to last.
std::string Children(const CXmlDoc& doc, uint32_t parent)
{
    std::string out;
    for (uint32_t c = doc.At(parent).firstChild; c; c = doc.At(c).nextSibling)
        out += Narrow(doc.ElementName(c));
    return out;
}

struct RecoveryCase {
    const char* text;
    const char* shape;
    const char* rootChildren;
};

TEST(XmlParse, ClosingAsNotEndedMovesChildrenUp)
{
    const RecoveryCase cases[] = {
        {"<r><a><b></a></r>", "r(0,0) a(1,1) b(2,2)! ", "a"},
        {"<r><a><b><c/><d>x</d></a><e/></r>", "r(0,0) a(1,1) b(2,2)! c(2,2) d(2,2) e(1,1) ", "ae"},
        {"<r><a><b><c><d/></a></r>", "r(0,0) a(1,1) b(2,2)! c(2,2)! d(2,2) ", "a"},
        {"<r><a><b><c/><d><e/></d>", "r(0,0)! a(0,0)! b(0,0)! c(0,0) d(0,0) e(1,5) ", ""},
        {"<r><a/><b>text</r>", "r(0,0) a(1,1) b(1,1)! ", "ab"},
    };
    for (const RecoveryCase& c : cases) {
        SCOPED_TRACE(c.text);
        CXmlDoc doc;
        doc.SetText(Wide(c.text));
        doc.ParseText();
        EXPECT_EQ(Shape(doc), c.shape);
        EXPECT_EQ(Children(doc, 1), c.rootChildren);
    }
}

TEST(XmlParse, KeepsOffsetsAndLengthsOfTags)
{
    CXmlDoc doc;
    doc.SetText(u"<r><a x='1'>text</a><b/><c></r>");
    doc.ParseText();
    ASSERT_EQ(doc.ElementCount(), 4u);
    struct Expected { uint32_t start, length, startTag, endTag; } expected[] = {
        {0, 31, 3, 4}, {3, 17, 9, 4}, {20, 4, 4, 0}, {24, 3, 3, 0}};
    for (uint32_t n = 1; n <= 4; ++n) {
        const CXmlDoc::Element& e = doc.At(n);
        EXPECT_EQ(e.start, expected[n - 1].start) << n;
        EXPECT_EQ(e.length, expected[n - 1].length) << n;
        EXPECT_EQ(e.startTagLength, expected[n - 1].startTag) << n;
        EXPECT_EQ(e.endTagLength, expected[n - 1].endTag) << n;
    }
    // The first child's previous link is the last child.
    EXPECT_EQ(doc.At(2).previousSibling, 4u);
    EXPECT_TRUE(doc.At(2).flags & CXmlDoc::FirstChild);
    EXPECT_EQ(doc.At(4).previousSibling, 3u);
}

TEST(XmlParse, IndexGrowsPastOneBlock)
{
    // More elements than one block of the index holds, nested and flat.
    const int count = 70000;
    XmlString text = u"<r>";
    for (int i = 0; i < count; ++i)
        text += u"<k>v</k>";
    text += u"<last>end</last></r>";
    CXmlDoc doc;
    doc.SetText(text);
    ASSERT_TRUE(doc.ParseText());
    EXPECT_EQ(doc.ElementCount(), static_cast<uint32_t>(count + 2));
    EXPECT_EQ(doc.LookupText(u"last", u""), u"");
    doc.Rewind();
    ASSERT_TRUE(doc.NextChildElement(u"last"));
    EXPECT_EQ(doc.ChildText(), u"end");
}

TEST(XmlParse, DeeplyUnclosedDocumentsStayLinear)
{
    // Every element open at the end: each is moved once, not once per level.
    XmlString text;
    for (int i = 0; i < 200000; ++i)
        text += u"<a>";
    CXmlDoc doc;
    doc.SetText(text);
    EXPECT_FALSE(doc.ParseText());
    EXPECT_EQ(Narrow(doc.Diagnostic()), "Root element has sibling");
    EXPECT_EQ(doc.At(200000).parent, 0u);

    // Stray end tags under a deep stack: each is told unmatched without walking the stack.
    XmlString stray = u"<r>" + text;
    for (int i = 0; i < 200000; ++i)
        stray += u"</b>";
    stray += XmlString(u"</a>") + u"</r>";
    doc.SetText(stray);
    EXPECT_FALSE(doc.ParseText());
    EXPECT_EQ(Narrow(doc.Diagnostic()), "No start tag for end tag 'b' at offset 600003");
    EXPECT_EQ(doc.At(200001).parent, 1u);  // closed by its end tag, then moved up under r
    EXPECT_EQ(doc.At(200001).flags & CXmlDoc::NotEnded, 0);
    EXPECT_EQ(doc.At(1).endTagLength, 4u);         // r closed by its end tag
}

struct LookupCase {
    const char* text;
    const char16_t* section;
    const char16_t* key;
    const char16_t* expected;
};

TEST(XmlLookup, FindsTheTextOfAKeyInASection)
{
    const LookupCase cases[] = {
        {"<root><KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE></root>", u"KEYTABLE", u"CODE_0d", u"Enter"},
        // The section is looked for among the children of the top-level element.
        {"<KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE>", u"KEYTABLE", u"CODE_0d", u""},
        {"<r><KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE></r>", u"KEYTABLE", u"CODE_0D", u""},
        {"<r><KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE></r>", u"KEYTABLE", u"CODE_0d[1]", u"Enter"},
        {"<r><KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE></r>", u"KEYTABLE x", u"CODE_0d=", u"Enter"},
        {"<r><K><k a='1' b=\"2\">v</k></K></r>", u"K", u"k", u"v"},
        {"<r><K><j>1</j><k>2</k><k>3</k></K></r>", u"K", u"k", u"2"},
        {"<r><K><k> x </k></K></r>", u"K", u"k", u" x "},
        {"<r><K><k>\r\n\t</k></K></r>", u"K", u"k", u"\r\n\t"},
        {"<r><K><k>a &amp; b &#x41;&lt;</k></K></r>", u"K", u"k", u"a & b A<"},
        {"<r><K><k><![CDATA[a&amp;b]]></k></K></r>", u"K", u"k", u"a&amp;b"},
        {"<r><K><k>x&amp;<![CDATA[<y>]]> <!-- c --> z<?p?></k></K></r>", u"K", u"k", u"x&<y> z"},
        {"<r><K><k> <![CDATA[]]> </k></K></r>", u"K", u"k", u""},
        {"<r><K><k><i>in</i></k></K></r>", u"K", u"k", u""},
        {"<r><K><k/></K></r>", u"K", u"k", u""},
        {"<r><K><k></k></K></r>", u"K", u"k", u""},
        {"<r><K><k>a<b>c</k></K></r>", u"K", u"k", u""},  // b not ended, still a child of k
        {"<r><K><k>v</K></r>", u"K", u"k", u""},           // k not ended: only its start tag
        {"<r><K/><K><k>v</k></K></r>", u"K", u"k", u""},   // only the first section is searched
        {"<r><K><K><k>deep</k></K></K></r>", u"K", u"k", u"deep"},
        {"<r><X><k>v</k></X></r>", u"K", u"k", u""},
        {"", u"K", u"k", u""},
        {"<", u"K", u"k", u""},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.text);
        CXmlDoc doc;
        doc.SetText(Wide(c.text));
        doc.ParseText();
        EXPECT_EQ(doc.LookupText(c.section, c.key), XmlString(c.expected));
    }
}

TEST(XmlNavigation, MovesThePositionsAsDocumented)
{
    CXmlDoc doc;
    doc.SetText(u"<r><a><x/><y/></a><b/><a/></r>");
    ASSERT_TRUE(doc.ParseText());
    // r=1 a=2 x=3 y=4 b=5 a=6
    EXPECT_TRUE(doc.NextElement(u""));
    EXPECT_EQ(doc.CurrentPosition(), 1u);
    EXPECT_FALSE(doc.NextElement(u""));  // a single top-level element
    EXPECT_TRUE(doc.NextChildElement(u"a"));
    EXPECT_EQ(doc.ChildPosition(), 2u);
    EXPECT_TRUE(doc.NextChildElement(u"a"));  // the next one after the child position
    EXPECT_EQ(doc.ChildPosition(), 6u);
    EXPECT_FALSE(doc.NextChildElement(u"a"));
    EXPECT_EQ(doc.ChildPosition(), 6u);  // unchanged on failure

    doc.Rewind();
    EXPECT_TRUE(doc.NextChildElement(u"a"));
    EXPECT_TRUE(doc.StepIntoChild());
    EXPECT_EQ(doc.ParentPosition(), 1u);
    EXPECT_EQ(doc.CurrentPosition(), 2u);
    EXPECT_EQ(doc.ChildPosition(), 0u);
    EXPECT_TRUE(doc.NextChildElement(u"y"));
    EXPECT_EQ(doc.ChildPosition(), 4u);
    EXPECT_EQ(doc.CurrentPosition(), 2u);
    EXPECT_EQ(doc.ParentPosition(), 1u);
    // Among the children of the parent (r), after the current one (a): b, then a.
    EXPECT_TRUE(doc.NextElement(u"a"));
    EXPECT_EQ(doc.CurrentPosition(), 6u);
    EXPECT_EQ(doc.ChildPosition(), 0u);

    CXmlDoc empty;
    EXPECT_FALSE(empty.NextElement(u""));
    EXPECT_FALSE(empty.NextChildElement(u"a"));
    EXPECT_FALSE(empty.StepIntoChild());
    EXPECT_EQ(empty.ChildText(), u"");
}

} // namespace
} // namespace qelt

#include <gtest/gtest.h>

#include "xmldoc.h"

namespace qelt {
namespace {

struct EntityCase {
    const char16_t* text;
    const char16_t* decoded;
};

TEST(DecodeEntities, ReplacesReferencesItCanDecode)
{
    const EntityCase cases[] = {
        {u"&AMP;", u"&"},
        {u"&amp;", u"&"},
        {u"&#38;", u"&"},
        {u"&#x26;", u"&"},
        {u"&#X26;", u"&"},
        {u"&lt;&gt;&quot;&apos;", u"<>\"'"},
        {u"&nbsp;&yuml;&euro;&hearts;&thetasym;", u"\u00A0\u00FF\u20AC\u2665\u03D1"},
        {u"&fnof;&OElig;&oelig;&permil;&rsaquo;", u"\u0192\u0153\u0153\u2030\u203A"},
        // Names are folded to lower case: of two names differing in case, the lower-case one.
        {u"&Oslash;&oslash;&OSLASH;", u"\u00F8\u00F8\u00F8"},
        {u"&Dagger;&dagger;", u"\u2020\u2020"},
        {u"&rArr;&Prime;&ETH;", u"\u2192\u2032\u00F0"},
        {u"&#65abc;", u"A"},         // digits up to the first non-digit
        {u"&#x1F600;", u"\U0001F600"},
        {u"&#128512;", u"\U0001F600"},
        {u"&#x10FFFF;", u"\U0010FFFF"},
        {u"&#xFFFF;", u"\uFFFF"},
        {u"&#x0000041;", u"A"},      // nine characters is the longest name
        {u"a&amp;b&amp;&amp;c", u"a&b&&c"},
        {u"&a&amp;", u"&a&"},        // the first & has no name of its own before ";"
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(DecodeEntities(cases[i].text), XmlString(cases[i].decoded)) << "case " << i;
}

TEST(DecodeEntities, LeavesReferencesItCannotDecode)
{
    const char16_t* unchanged[] = {
        u"&#0;",
        u"&#x0;",
        u"&#x;",
        u"&#;",
        u"&;",
        u"&unknown;",
        u"&abcdefghij;",     // more than nine characters
        u"&#x00000041;",
        u"&\u00E9;",         // not ASCII
        u"&am\u0100p;",
        u"&#x110000;",       // beyond Unicode: no UTF-16 form
        u"&amp",
        u"&",
        u"x&",
        u"& amp;",
    };
    for (size_t i = 0; i < std::size(unchanged); ++i)
        EXPECT_EQ(DecodeEntities(unchanged[i]), XmlString(unchanged[i])) << "case " << i;
    const XmlString withNul(u"&am\0p;", 6);
    EXPECT_EQ(DecodeEntities(withNul), withNul);
}

TEST(DecodeEntities, KnowsEveryHtmlName)
{
    // A sample from each group, by lower-case name.
    const std::pair<const char16_t*, char16_t> names[] = {
        {u"iexcl", 0xA1}, {u"shy", 0xAD}, {u"frac34", 0xBE}, {u"szlig", 0xDF}, {u"divide", 0xF7},
        {u"alpha", 0x3B1}, {u"sigmaf", 0x3C2}, {u"omega", 0x3C9}, {u"upsih", 0x3D2}, {u"piv", 0x3D6},
        {u"bull", 0x2022}, {u"oline", 0x203E}, {u"weierp", 0x2118}, {u"alefsym", 0x2135},
        {u"crarr", 0x21B5}, {u"forall", 0x2200}, {u"there4", 0x2234}, {u"sdot", 0x22C5},
        {u"lang", 0x2329}, {u"loz", 0x25CA}, {u"diams", 0x2666}, {u"circ", 0x2C6}, {u"zwnj", 0x200C},
        {u"lrm", 0x200E}, {u"bdquo", 0x201E}, {u"ensp", 0x2002}, {u"thinsp", 0x2009}, {u"sbquo", 0x201A},
    };
    for (auto [name, expected] : names) {
        const XmlString text = u"&" + XmlString(name) + u";";
        EXPECT_EQ(DecodeEntities(text), XmlString(1, expected))
            << std::string(text.begin(), text.end());
    }
}

} // namespace
} // namespace qelt

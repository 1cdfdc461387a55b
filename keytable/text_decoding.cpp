// Decoding a file of unknown encoding into the document text: byte-order marks, a declared
// encoding, a UTF-8 test, the charset names. The conversion itself goes through a
// CodePageConverter (MultiByteToWideChar in the programs).
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "xmldoc.h"

namespace qelt {
namespace {

// Code page and its names, as in the charset attribute of html files and in xml declarations.
struct CharsetGroup {
    unsigned codePage;
    const char* names;  // comma separated, lower case
};

constexpr CharsetGroup kCharsets[] = {
    {37, "ebcdic-cp-us"},
    {420, "x-ebcdic-arabic"},
    {437, "437,codepage437,cp437,cspc8,ibm437"},
    {708, "asmo-708"},
    {720, "dos-720"},
    {737, "ibm737"},
    {775, "cp500,ibm775"},
    {850, "ibm850"},
    {852, "cp852,ibm852"},
    {857, "ibm857"},
    {861, "ibm861"},
    {862, "dos-862"},
    {866, "cp866,ibm866"},
    {869, "ibm869"},
    {870, "cp870"},
    {874, "dos-874,iso-8859-11,tis-620,windows-874"},
    {875, "x-ebcdic-greekmodern"},
    {932, "csshiftjis,cswindows31j,ms_kanji,shift-jis,shift_jis,x-ms-cp932,x-sjis"},
    {936, "chinese,cn-gb,csgb2312,csgb231280,csiso58gb231280,gb2312,gb2312-80,gb231280,"
          "gb_2312-80,gbk,iso-ir-58"},
    {949, "csksc56011987,euc-kr,iso-ir-149,korean,ks_c_5601,ks_c_5601-1987,ks_c_5601-1989,"
          "ks_c_5601_1987,ksc5601,ksc_5601"},
    {950, "big5,cn-big5,csbig5,x-x-big5"},
    {1026, "cp1026"},
    {1140, "x-ebcdic-cp-us-euro"},
    {1142, "x-ebcdic-denmarknorway-euro"},
    {1143, "x-ebcdic-finlandsweden-euro,x-ebcdic-france,x-ebcdic-germany-euro"},
    {1144, "x-ebcdic-italy-euro"},
    {1145, "x-ebcdic-spain-euro"},
    {1146, "x-ebcdic-uk-euro"},
    {1147, "x-ebcdic-france-euro"},
    {1148, "x-ebcdic-international-euro"},
    {1149, "x-ebcdic-icelandic-euro"},
    {1200, "unicode,utf-16"},
    {1201, "unicodefffe"},
    {1250, "windows-1250,x-cp1250"},
    {1251, "windows-1251,x-cp1251"},
    {1252, "iso-ir-6,us,windows-1252,x-ansi"},
    {1253, "windows-1253"},
    {1254, "windows-1254"},
    {1255, "iso_8859-8-i,windows-1255"},
    {1256, "cp1256,windows-1256"},
    {1257, "windows-1257"},
    {1258, "windows-1258"},
    {1361, "johab"},
    {10000, "macintosh"},
    {10001, "x-mac-japanese"},
    {10002, "x-mac-chinesetrad"},
    {10003, "x-mac-korean"},
    {10004, "x-mac-arabic"},
    {10005, "x-mac-hebrew"},
    {10006, "x-mac-greek"},
    {10007, "x-mac-cyrillic"},
    {10008, "x-mac-chinesesimp"},
    {10029, "x-mac-ce"},
    {10079, "x-mac-icelandic"},
    {10081, "x-mac-turkish"},
    {20000, "x-chinese-cns"},
    {20002, "x-chinese-eten"},
    {20105, "x-ia5"},
    {20106, "x-ia5-german"},
    {20107, "x-ia5-swedish"},
    {20108, "x-ia5-norwegian"},
    {20127, "ansi_x3.4-1968,ansi_x3.4-1986,ascii,cp367,csascii,ibm367,iso-ir-6us,iso646-us,"
            "iso_646.irv:1991,us-ascii"},
    {20273, "x-ebcdic-germany"},
    {20277, "x-ebcdic-denmarknorway"},
    {20278, "x-ebcdic-finlandsweden"},
    {20280, "x-ebcdic-italy"},
    {20284, "x-ebcdic-spain"},
    {20285, "x-ebcdic-uk"},
    {20290, "x-ebcdic-japanesekatakana"},
    {20423, "x-ebcdic-greek"},
    {20424, "x-ebcdic-hebrew"},
    {20833, "x-ebcdic-koreanextended"},
    {20838, "x-ebcdic-thai"},
    {20866, "cskoi8r,koi,koi8,koi8-r,koi8r"},
    {20873, "x-ebcdic-icelandic"},
    {20880, "x-ebcdic-cyrillicrussian"},
    {20905, "x-ebcdic-turkish"},
    {21025, "x-ebcdic-cyrillicserbianbulgarian"},
    {21866, "koi8-ru,koi8-u"},
    {28591, "cp819,ibm819,iso-8859-1,iso-ir-100,iso8859-1,iso_8859-1,iso_8859-1:1987,l1,latin1"},
    {28592, "csisolatin2,iso-8859-2,iso-ir-101,iso8859-2,iso_8859-2,iso_8859-2:1987,l2,latin2"},
    {28593, "csiso,iso-8859-3,iso-ir-109,iso_8859-3,iso_8859-3:1988,l3,latin3"},
    {28594, "csisolatin4,iso-8859-4,iso-ir-110,iso_8859-4,iso_8859-4:1988,l4,latin4"},
    {28595, "csisolatin5,csisolatincyrillic,cyrillic,iso-8859-5,iso-ir-144,iso_8859-5,"
            "iso_8859-5:1988,l5"},
    {28596, "arabic,csisolatinarabic,ecma-114,iso-8859-6,iso-ir-127,iso_8859-6,iso_8859-6:1987"},
    {28597, "csisolatingreek,ecma-118,elot_928,greek,greek8,iso-8859-7,iso-ir-126,iso_8859-7,"
            "iso_8859-7:1987"},
    {28598, "csisolatinhebrew,hebrew,iso-8859-8,iso-ir-138,iso_8859-8,iso_8859-8:1988,visual"},
    {28599, "iso-8859-9,iso-ir-148,iso_8859-9,iso_8859-9:1989,latin5"},
    {28605, "iso-8859-15,iso_8859-15,l9,latin9"},
    {29001, "x-europa"},
    {38598, "iso-8859-8-i,logical"},
    {50220, "iso-2022-jp"},
    {50221, "_iso-2022-jp,csiso2022jp"},
    {50222, "_iso-2022-jp$sio"},
    {50225, "csiso2022kr,iso-2022-kr"},
    {50930, "x-ebcdic-japaneseandkana"},
    {50933, "x-ebcdic-japaneseanduscanada,x-ebcdic-koreanandkoreanextended"},
    {50935, "x-ebcdic-simplifiedchinese"},
    {50937, "x-ebcdic-traditionalchinese"},
    {50939, "x-ebcdic-japaneseandjapaneselatin"},
    {51932, "cseucpkdfmtjapanese,euc-jp,extended_unix_code_packed_format_for_japanese,x-euc,"
            "x-euc-jp"},
    {51936, "euc-cn,x-euc-cn"},
    {51949, "cseuckr"},
    {52936, "hz-gb-2312"},
    {57002, "x-iscii-de"},
    {57003, "x-iscii-be"},
    {57004, "x-iscii-ta"},
    {57005, "x-iscii-te"},
    {57006, "x-iscii-as"},
    {57007, "x-iscii-or"},
    {57008, "x-iscii-ka"},
    {57009, "x-iscii-ma"},
    {57010, "x-iscii-gu"},
    {57011, "x-iscii-pa"},
    {65000, "csunicode11utf7,unicode-1-1-utf-7,utf-7,x-unicode-2-0-utf-7"},
    {65001, "unicode-1-1-utf-8,unicode-2-0-utf-8,utf-8,x-unicode-2-0-utf-8"},
};

constexpr size_t kMaxCharsetName = 100;
constexpr unsigned kUtf32CodePage = 65005;
constexpr size_t kDetectionBytes = 1024;

// Every name with its code page, sorted by name for binary search.
const std::vector<std::pair<std::string, unsigned>>& CharsetNames()
{
    static const std::vector<std::pair<std::string, unsigned>> names = [] {
        std::vector<std::pair<std::string, unsigned>> list;
        for (const CharsetGroup& group : kCharsets) {
            std::string_view all(group.names);
            while (!all.empty()) {
                size_t comma = all.find(',');
                list.emplace_back(std::string(all.substr(0, comma)), group.codePage);
                all = comma == std::string_view::npos ? std::string_view() : all.substr(comma + 1);
            }
        }
        std::sort(list.begin(), list.end());
        return list;
    }();
    return names;
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool IsContentDelimiter(char16_t c)
{
    switch (c) {
    case u'<': case u'>': case u'=': case u'\\': case u'/': case u'?': case u'!': case u'"':
    case u'\'': case u';':
        return true;
    default:
        return false;
    }
}

// The charset named in a meta content value ("text/html; charset=utf-8"), empty when none.
XmlString CharsetFromContent(XmlStringView content)
{
    std::vector<XmlStringView> tokens;
    size_t i = 0;
    while (i < content.size()) {
        if (IsSpace(content[i])) {
            ++i;
        } else if (IsContentDelimiter(content[i])) {
            tokens.push_back(content.substr(i, 1));
            ++i;
        } else {
            size_t start = i;
            while (i < content.size() && !IsSpace(content[i]) && !IsContentDelimiter(content[i]))
                ++i;
            tokens.push_back(content.substr(start, i - start));
        }
    }
    for (size_t t = 0; t + 2 < tokens.size(); ++t) {
        if (XmlNameEqualsNoCase(tokens[t], u"charset") && tokens[t + 1] == u"=")
            return XmlString(tokens[t + 2]);
    }
    return {};
}

XmlString Ascii(const char* text)
{
    XmlString out;
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    return out;
}

XmlString Note(const char* format, size_t value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return Ascii(buffer);
}

} // namespace

bool LooksLikeUtf8(const uint8_t* bytes, size_t count)
{
    size_t i = 0;
    while (i < count && bytes[i] != 0) {
        const uint8_t lead = bytes[i++];
        if (lead < 0x80)
            continue;
        size_t following;
        if (!(lead & 0x20))
            following = 1;
        else if (!(lead & 0x10))
            following = 2;
        else if (lead & 0x08)
            return false;
        else
            following = 3;
        for (; following > 0; --following, ++i) {
            if (i >= count || bytes[i] < 0x80)
                return false;
        }
    }
    return true;
}

bool CodePageFromName(XmlStringView name, unsigned& codePage)
{
    if (name.substr(0, 6) == u"UTF-32") {
        codePage = kUtf32CodePage;
        return true;
    }
    if (name.empty()) {
        codePage = 0;  // the ANSI code page
        return true;
    }
    if (name.size() >= kMaxCharsetName)
        return false;
    std::string folded;
    for (char16_t c : name) {
        if (c >= 0x80)
            return false;
        folded.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
    }
    const auto& names = CharsetNames();
    auto it = std::lower_bound(names.begin(), names.end(), folded,
                               [](const auto& entry, const std::string& key) { return entry.first < key; });
    if (it == names.end() || it->first != folded)
        return false;
    codePage = it->second;
    return true;
}

XmlString Utf8ToUtf16(const uint8_t* bytes, size_t count)
{
    XmlString out;
    out.reserve(count);
    size_t i = 0;
    while (i < count) {
        const uint8_t lead = bytes[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        size_t following = 0;
        char32_t value = 0;
        char32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            following = 1;
            value = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            following = 2;
            value = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            following = 3;
            value = lead & 0x07;
            minimum = 0x10000;
        }
        bool valid = following > 0;
        for (size_t k = 1; valid && k <= following; ++k) {
            if (i + k >= count || (bytes[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        valid = valid && value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
        if (!valid) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (value < 0x10000) {
            out.push_back(static_cast<char16_t>(value));
        } else {
            value -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        }
        i += following + 1;
    }
    return out;
}

XmlString DeclaredEncoding(XmlStringView head)
{
    size_t pos = 0;
    bool seenHtml = false;
    for (;;) {
        const XmlNode node = ScanXmlNode(head, pos);
        if (pos == 0 && node.type == XmlNodeType::ProcessingInstruction &&
            XmlNameEqualsNoCase(XmlNodeName(head, node), u"xml")) {
            XmlStringView value;
            return XmlAttributeValue(head, node, u"encoding", value) ? XmlString(value) : XmlString();
        }
        switch (node.type) {
        case XmlNodeType::EndOfDocument:
        case XmlNodeType::Error:
            return {};
        case XmlNodeType::StartTag: {
            const XmlStringView name = XmlNodeName(head, node);
            if (XmlNameEqualsNoCase(name, u"html")) {
                seenHtml = true;
            } else if (!seenHtml) {
                return {};
            } else if (XmlNameEqualsNoCase(name, u"meta")) {
                XmlStringView equiv, content;
                if (XmlAttributeValue(head, node, u"http-equiv", equiv) &&
                    XmlNameEqualsNoCase(equiv, u"Content-Type") &&
                    XmlAttributeValue(head, node, u"content", content)) {
                    XmlString charset = CharsetFromContent(content);
                    if (!charset.empty())
                        return charset;
                }
            }
            break;
        }
        case XmlNodeType::EndTag:
            if (XmlNameEqualsNoCase(XmlNodeName(head, node), u"head"))
                return {};
            break;
        default:
            break;
        }
        pos = node.start + node.length;
    }
}

void CXmlDoc::LoadFromBytes(const uint8_t* bytes, size_t count, const CodePageConverter& converter)
{
    m_text.clear();
    m_flags = FromFile;
    m_loadStatus.clear();
    if (count == 0) {
        m_loadStatus = u"0 length";
        m_diagnostic = m_loadStatus;
        return;
    }

    const size_t head = std::min(count, kDetectionBytes);
    XmlString encoding;
    size_t markLength = 0;
    if (head >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        encoding = u"UTF-8";
        m_flags |= Utf8Bom;
        markLength = 3;
    } else if (head >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        encoding = u"UTF-16LE";
        m_flags |= Utf16LeBom;
        markLength = 2;
    } else if (head >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        encoding = u"UTF-16BE";
        m_flags |= Utf16BeBom;
        markLength = 2;
    } else {
        encoding = DeclaredEncoding(Utf8ToUtf16(bytes, head));
        if (encoding.empty() && bytes[0] == '<')
            encoding = u"UTF-8";
    }

    XmlString notes;
    const uint8_t* rest = bytes + markLength;
    const size_t restCount = count - markLength;
    if (m_flags & (Utf16LeBom | Utf16BeBom)) {
        // Whole 16-bit units as stored (little-endian order), then NULs out, then the swap.
        const size_t units = restCount / 2;
        notes += Note("length %zu ", units);
        m_text.reserve(units);
        size_t nulls = 0;
        for (size_t u = 0; u < units; ++u) {
            char16_t unit = static_cast<char16_t>(rest[2 * u] | (rest[2 * u + 1] << 8));
            if (unit == 0)
                ++nulls;
            else
                m_text.push_back(unit);
        }
        if (nulls)
            notes += Note("(%zu nulls removed) ", nulls);
        if (m_flags & Utf16BeBom) {
            for (char16_t& unit : m_text)
                unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
            notes += u"endian swap ";
        }
    } else {
        notes += Note("length %zu ", restCount);
        std::vector<uint8_t> data;
        data.reserve(restCount);
        std::copy_if(rest, rest + restCount, std::back_inserter(data), [](uint8_t b) { return b != 0; });
        if (data.size() != restCount)
            notes += Note("(%zu nulls removed) ", restCount - data.size());
        if (encoding.empty() && LooksLikeUtf8(data.data(), data.size())) {
            encoding = u"UTF-8";
            notes += u"(used UTF-8 detection) ";
        }
        unsigned codePage = 0;
        if (!CodePageFromName(encoding, codePage))
            codePage = 0;
        // A code page the platform cannot convert (UTF-32 among them) falls back to the ANSI
        // code page rather than losing the whole text.
        if (!converter.Convert(codePage, data.data(), data.size(), m_text) && codePage != 0 &&
            !converter.Convert(0, data.data(), data.size(), m_text))
            m_text.clear();
        notes += Note("to %zu wide chars ", m_text.size());
    }

    m_loadStatus = encoding.empty() ? XmlString(u"ANSI ") : encoding + u" ";
    if (markLength)
        m_loadStatus += u"BOM + ";
    m_loadStatus += notes;
    while (!m_loadStatus.empty() && m_loadStatus.back() == u' ')
        m_loadStatus.pop_back();
    m_diagnostic = m_loadStatus;
}

} // namespace qelt

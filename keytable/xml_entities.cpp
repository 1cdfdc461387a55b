// Character references: the named references of HTML 4.01 plus "apos", and numeric references.
#include <algorithm>
#include <array>
#include <cstring>

#include "xmldoc.h"

namespace qelt {
namespace {

struct NamedReference {
    const char* name;
    char32_t codePoint;
};

// HTML 4.01: Latin-1 (96), symbols and Greek letters (124), special characters (32); and apos.
constexpr NamedReference kNamedReferences[] = {
    // Latin-1, U+00A0 to U+00FF in order
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164}, {"yen", 165},
    {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169}, {"ordf", 170}, {"laquo", 171},
    {"not", 172}, {"shy", 173}, {"reg", 174}, {"macr", 175}, {"deg", 176}, {"plusmn", 177},
    {"sup2", 178}, {"sup3", 179}, {"acute", 180}, {"micro", 181}, {"para", 182},
    {"middot", 183}, {"cedil", 184}, {"sup1", 185}, {"ordm", 186}, {"raquo", 187},
    {"frac14", 188}, {"frac12", 189}, {"frac34", 190}, {"iquest", 191}, {"Agrave", 192},
    {"Aacute", 193}, {"Acirc", 194}, {"Atilde", 195}, {"Auml", 196}, {"Aring", 197},
    {"AElig", 198}, {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202},
    {"Euml", 203}, {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207}, {"ETH", 208},
    {"Ntilde", 209}, {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213},
    {"Ouml", 214}, {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218},
    {"Ucirc", 219}, {"Uuml", 220}, {"Yacute", 221}, {"THORN", 222}, {"szlig", 223},
    {"agrave", 224}, {"aacute", 225}, {"acirc", 226}, {"atilde", 227}, {"auml", 228},
    {"aring", 229}, {"aelig", 230}, {"ccedil", 231}, {"egrave", 232}, {"eacute", 233},
    {"ecirc", 234}, {"euml", 235}, {"igrave", 236}, {"iacute", 237}, {"icirc", 238},
    {"iuml", 239}, {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243},
    {"ocirc", 244}, {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248},
    {"ugrave", 249}, {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253},
    {"thorn", 254}, {"yuml", 255},
    // Symbols, mathematical symbols and Greek letters
    {"fnof", 402}, {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916},
    {"Epsilon", 917}, {"Zeta", 918}, {"Eta", 919}, {"Theta", 920}, {"Iota", 921},
    {"Kappa", 922}, {"Lambda", 923}, {"Mu", 924}, {"Nu", 925}, {"Xi", 926}, {"Omicron", 927},
    {"Pi", 928}, {"Rho", 929}, {"Sigma", 931}, {"Tau", 932}, {"Upsilon", 933}, {"Phi", 934},
    {"Chi", 935}, {"Psi", 936}, {"Omega", 937}, {"alpha", 945}, {"beta", 946}, {"gamma", 947},
    {"delta", 948}, {"epsilon", 949}, {"zeta", 950}, {"eta", 951}, {"theta", 952},
    {"iota", 953}, {"kappa", 954}, {"lambda", 955}, {"mu", 956}, {"nu", 957}, {"xi", 958},
    {"omicron", 959}, {"pi", 960}, {"rho", 961}, {"sigmaf", 962}, {"sigma", 963}, {"tau", 964},
    {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968}, {"omega", 969},
    {"thetasym", 977}, {"upsih", 978}, {"piv", 982}, {"bull", 8226}, {"hellip", 8230},
    {"prime", 8242}, {"Prime", 8243}, {"oline", 8254}, {"frasl", 8260}, {"weierp", 8472},
    {"image", 8465}, {"real", 8476}, {"trade", 8482}, {"alefsym", 8501}, {"larr", 8592},
    {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596}, {"crarr", 8629},
    {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659}, {"hArr", 8660},
    {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721},
    {"minus", 8722}, {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734},
    {"ang", 8736}, {"and", 8743}, {"or", 8744}, {"cap", 8745}, {"cup", 8746}, {"int", 8747},
    {"there4", 8756}, {"sim", 8764}, {"cong", 8773}, {"asymp", 8776}, {"ne", 8800},
    {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834}, {"sup", 8835}, {"nsub", 8836},
    {"sube", 8838}, {"supe", 8839}, {"oplus", 8853}, {"otimes", 8855}, {"perp", 8869},
    {"sdot", 8901}, {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971},
    {"lang", 9001}, {"rang", 9002}, {"loz", 9674}, {"spades", 9824}, {"clubs", 9827},
    {"hearts", 9829}, {"diams", 9830},
    // Markup-significant and internationalisation characters
    {"quot", 34}, {"amp", 38}, {"lt", 60}, {"gt", 62}, {"OElig", 338}, {"oelig", 339},
    {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376}, {"circ", 710}, {"tilde", 732},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205},
    {"lrm", 8206}, {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249}, {"rsaquo", 8250},
    {"euro", 8364},
    {"apos", 39},
};
static_assert(std::size(kNamedReferences) == 253);

constexpr size_t kMaxName = 9;

struct FoldedReference {
    char name[kMaxName + 1];
    char32_t codePoint;
};

bool HasUpper(const char* name)
{
    for (; *name; ++name) {
        if (*name >= 'A' && *name <= 'Z')
            return true;
    }
    return false;
}

// Lower-case names, sorted. Where two names differ only in case (Oslash and oslash), the
// lower-case one's character is kept.
const std::vector<FoldedReference>& FoldedReferences()
{
    static const std::vector<FoldedReference> table = [] {
        std::vector<FoldedReference> folded;
        for (const NamedReference& reference : kNamedReferences) {
            FoldedReference entry{};
            for (size_t i = 0; reference.name[i]; ++i) {
                char c = reference.name[i];
                entry.name[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
            }
            entry.codePoint = reference.codePoint;
            auto same = std::find_if(folded.begin(), folded.end(), [&](const FoldedReference& f) {
                return std::strcmp(f.name, entry.name) == 0;
            });
            if (same == folded.end())
                folded.push_back(entry);
            else if (!HasUpper(reference.name))
                same->codePoint = entry.codePoint;
        }
        std::sort(folded.begin(), folded.end(), [](const FoldedReference& a, const FoldedReference& b) {
            return std::strcmp(a.name, b.name) < 0;
        });
        return folded;
    }();
    return table;
}

char32_t LookupNamed(const char* folded)
{
    const auto& table = FoldedReferences();
    auto it = std::lower_bound(table.begin(), table.end(), folded,
                               [](const FoldedReference& entry, const char* name) {
                                   return std::strcmp(entry.name, name) < 0;
                               });
    if (it != table.end() && std::strcmp(it->name, folded) == 0)
        return it->codePoint;
    return 0;
}

int DigitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

// The code point of a folded reference name, 0 when it names none.
char32_t ReferenceCodePoint(const char* folded)
{
    if (folded[0] != '#')
        return LookupNamed(folded);
    int base = 10;
    const char* digits = folded + 1;
    if (*digits == 'x') {
        base = 16;
        ++digits;
    }
    // At most 8 digits fit in the name, so the value stays within 32 bits.
    uint32_t value = 0;
    for (int digit; *digits && (digit = DigitValue(*digits, base)) >= 0; ++digits)
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    // Beyond U+10FFFF there is no UTF-16 form: leave the reference as written.
    return value > 0x10FFFF ? 0 : value;
}

} // namespace

XmlString DecodeEntities(XmlStringView text)
{
    XmlString out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c != u'&') {
            out.push_back(c);
            ++i;
            continue;
        }
        // The name runs to the next ";" and must be short and ASCII.
        char folded[kMaxName + 1];
        size_t length = 0;
        size_t j = i + 1;
        bool terminated = false;
        for (; j < text.size() && length <= kMaxName; ++j) {
            const char16_t n = text[j];
            if (n == u';') {
                terminated = true;
                break;
            }
            if (n >= 0x80 || length == kMaxName)
                break;
            folded[length++] = (n >= u'A' && n <= u'Z') ? static_cast<char>(n + 32)
                                                          : static_cast<char>(n);
        }
        folded[length] = '\0';
        // A NUL inside the name would cut it short: such a name matches nothing.
        const char32_t codePoint =
            terminated && std::strlen(folded) == length ? ReferenceCodePoint(folded) : 0;
        if (codePoint == 0) {
            out.push_back(u'&');
            ++i;
            continue;
        }
        if (codePoint < 0x10000) {
            out.push_back(static_cast<char16_t>(codePoint));
        } else {
            const char32_t v = codePoint - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        }
        i = j + 1;
    }
    return out;
}

} // namespace qelt

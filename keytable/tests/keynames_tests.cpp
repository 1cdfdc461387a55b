#include <gtest/gtest.h>

#include <map>
#include <string>

#include "keynames.h"
#include "layout_data.h"

namespace qelt {
namespace {

// A layout with the characters its keys type (with Caps Lock on, nothing held).
class FakeTypingLayout final : public TypingLayout {
public:
    explicit FakeTypingLayout(testing::LayoutData keys) : m_keys(std::move(keys)) {}

    unsigned MapKey(unsigned code, unsigned mapType) const override
    {
        return m_keys.MapKey(code, mapType);
    }
    int ToUnicode(unsigned virtualKey, unsigned scanCode, const uint8_t keyState[256], char16_t* out,
                  int capacity) const override
    {
        ++calls;
        lastScanCode = scanCode;
        capsLockOnly = keyState[0x14] == 1;
        for (int i = 0; i < 256; ++i)
            capsLockOnly = capsLockOnly && (i == 0x14 || keyState[i] == 0);
        auto it = m_typed.find(virtualKey);
        if (it == m_typed.end())
            return 0;
        if (it->second.empty())
            return -1;  // dead key
        const int count = std::min<int>(capacity, static_cast<int>(it->second.size()));
        std::copy(it->second.begin(), it->second.begin() + count, out);
        return count;
    }
    FakeTypingLayout& Types(unsigned virtualKey, std::u16string characters)
    {
        m_typed[virtualKey] = std::move(characters);
        return *this;
    }

    mutable int calls = 0;
    mutable unsigned lastScanCode = 0;
    mutable bool capsLockOnly = false;

private:
    testing::LayoutData m_keys;
    std::map<unsigned, std::u16string> m_typed;
};

FakeTypingLayout GermanTyping()
{
    FakeTypingLayout layout(testing::GermanLayout());
    layout.Types('A', u"A").Types('Y', u"Y").Types('Z', u"Z").Types(0xC0, u"\u00D6")
        .Types(0xDE, u"\u00C4").Types('7', u"7").Types(0xDC, u"").Types(0xBF, u"#")
        .Types(0xBD, u"-").Types('6', u"&").Types(0x0D, u"\r").Types(0x20, u" ");
    return layout;
}

KeyNameTable::Loader FromText(const char16_t* text, int* loads = nullptr)
{
    return [text, loads](CXmlDoc& doc) {
        if (loads)
            ++*loads;
        doc.SetText(text);
        return true;
    };
}

const char16_t* const kTable =
    u"<keys><KEYTABLE>"
    u"<CODE_0d>Enter</CODE_0d><CODE_20>Space</CODE_20><CODE_a0>Left Shift</CODE_a0>"
    u"<CODE_61>Num 1</CODE_61><CODE_67>Num 7</CODE_67><CODE_7b>F12</CODE_7b>"
    u"<CODE_41>VK:letter</CODE_41><CODE_dc>Caret</CODE_dc><CODE_36>Six</CODE_36>"
    u"<CODE_BF>upper-case digits are not found</CODE_BF><CODE_14>Caps &amp; Lock</CODE_14>"
    u"</KEYTABLE></keys>";

TEST(KeyName, NamesKeysFromTheFileAndTheLayout)
{
    const std::pair<unsigned, const char16_t*> cases[] = {
        {0x0D, u"Enter"},               // named by the file
        {0x20, u"Space"},
        {0xA0, u"Left Shift"},
        {0x7B, u"F12"},
        {0x14, u"Caps & Lock"},
        {0x09, u"VK:9"},                // file class without an entry
        {0xA1, u"VK:a1"},
        {0xFF, u"VK:ff"},
        {0x41, u"VK:letter"},           // a "VK:" entry is shown as written
        {0x5A, u"Z"},                   // the layout's character
        {0xDE, u"\u00C4"},
        {0x36, u"&&"},                  // an ampersand doubled for menus
        {0xDC, u"Caret"},               // dead key: the file's name stands
        {0xDB, u"db"},                  // no character and no entry: hexadecimal
        {0xBF, u"#"},                   // CODE_BF is not CODE_bf
        {0x00, u"0"},
        {0x1A3, u"1a3"},
    };
    KeyNameTable names(FromText(kTable));
    const FakeTypingLayout layout = GermanTyping();
    for (auto [vk, expected] : cases)
        EXPECT_EQ(names.Name(vk, layout), XmlString(expected)) << std::hex << vk;
}

TEST(KeyName, AsksTheLayoutWithCapsLockOnlyAndTheKeysScanCode)
{
    KeyNameTable names(FromText(kTable));
    const FakeTypingLayout layout = GermanTyping();
    EXPECT_EQ(names.Name('Y', layout), u"Y");
    EXPECT_EQ(layout.calls, 1);
    EXPECT_EQ(layout.lastScanCode, 0x2Cu);  // Y is where Z is on a US keyboard
    EXPECT_TRUE(layout.capsLockOnly);
    names.Name(0x0D, layout);               // file class: the layout is not asked
    names.Name(0x41, layout);               // "VK:" entry: not asked either
    EXPECT_EQ(layout.calls, 1);
}

TEST(KeyName, FallsBackWithoutAFileAndRetriesTheLoad)
{
    int loads = 0;
    bool present = false;
    KeyNameTable names([&](CXmlDoc& doc) {
        ++loads;
        if (!present)
            return false;
        doc.SetText(kTable);
        return true;
    });
    const FakeTypingLayout layout = GermanTyping();
    EXPECT_EQ(names.Name(0x0D, layout), u"VK:d");
    EXPECT_EQ(names.Name(0xDB, layout), u"db");
    EXPECT_EQ(names.Name('A', layout), u"A");
    EXPECT_EQ(loads, 3);
    present = true;
    EXPECT_EQ(names.Name(0x0D, layout), u"Enter");
    EXPECT_EQ(names.Name(0x20, layout), u"Space");
    EXPECT_EQ(loads, 4);  // loaded once it has text
}

TEST(KeyName, EmptyOrBrokenFilesGiveFallbacks)
{
    const std::pair<const char16_t*, const char16_t*> files[] = {
        {u"", u"VK:d"},
        {u"<", u"VK:d"},
        {u"<KEYTABLE><CODE_0d>Enter</CODE_0d></KEYTABLE>", u"VK:d"},  // no enclosing element
        {u"<k><KEYTABLE><CODE_0d>Enter</KEYTABLE></k>", u"VK:d"},     // entry not ended
        {u"<k><KEYTABLE><CODE_0d>Enter</CODE_0d>", u"VK:d"},          // open at the end: all moved up
    };
    const FakeTypingLayout layout = GermanTyping();
    for (auto [file, expected] : files) {
        KeyNameTable names(FromText(file));
        EXPECT_EQ(names.Name(0x0D, layout), XmlString(expected)) << std::string(file, file + 5);
    }
}

TEST(KeyNameOfCode, NamesTheVirtualKeyOfAKeyCode)
{
    const std::pair<uint8_t, const char16_t*> cases[] = {
        {0x28, u"Enter"},   // main Enter
        {0x59, u"Num 1"},   // keypad digits keep their own virtual keys
        {0x5F, u"Num 7"},
        {0x04, u"A"},       // the virtual key on the scan code of A: still A on German
        {0x1C, u"Z"},       // HID Y sits on scan 0x15, where German has Z
        {0x02, u"0"},       // not in the table: virtual key 0
    };
    KeyNameTable names(FromText(u"<keys><KEYTABLE><CODE_0d>Enter</CODE_0d><CODE_61>Num 1</CODE_61>"
                                u"<CODE_67>Num 7</CODE_67></KEYTABLE></keys>"));
    const FakeTypingLayout layout = GermanTyping();
    for (auto [code, expected] : cases)
        EXPECT_EQ(names.NameOfCode(code, layout), XmlString(expected)) << std::hex << int(code);
}

} // namespace
} // namespace qelt

#include "osd_message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace qelt;

namespace {

TEST(OsdMessage, AgentRecordHasTheFixedValuesAtTheirOffsets)
{
    const OSD_MESSAGE message = MakeOsdMessage(u"Profile 3");
    unsigned char bytes[sizeof message];
    std::memcpy(bytes, &message, sizeof message);
    auto word = [&](size_t offset) {
        uint32_t value;
        std::memcpy(&value, bytes + offset, 4);
        return value;
    };
    EXPECT_EQ(std::u16string(message.szText), u"Profile 3");
    EXPECT_EQ(word(512), 0u);
    EXPECT_EQ(word(516), 1500u);
    EXPECT_EQ(word(520), 0u);
    EXPECT_EQ(word(524), 0x001980FFu);
    EXPECT_EQ(word(528), 30u);
    EXPECT_EQ(std::u16string(message.szFace), u"System");
}

TEST(OsdMessage, LongTextIsCutAndStaysTerminated)
{
    const std::u16string text(400, u'x');
    const OSD_MESSAGE message = MakeOsdMessage(text);
    EXPECT_EQ(std::u16string(message.szText).size(), 255u);
    const auto parsed = ParseOsdMessage(&message, sizeof message);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text, std::u16string(255, u'x'));
}

TEST(OsdMessage, RoundTripGivesTheTextAndPresentation)
{
    const OSD_MESSAGE message = MakeOsdMessage(u"Profile 5");
    const auto parsed = ParseOsdMessage(&message, sizeof message);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text, u"Profile 5");
    EXPECT_EQ(parsed->face, u"System");
    EXPECT_EQ(parsed->durationMs, 1500);
    EXPECT_EQ(parsed->color, 0x001980FFu);
    EXPECT_EQ(parsed->size, 30);
}

TEST(OsdMessage, RecordsOfTheWrongLengthOrWithoutTerminatorsAreRefused)
{
    OSD_MESSAGE message = MakeOsdMessage(u"Profile 1");
    std::vector<unsigned char> longer(sizeof message + 1, 0);
    std::memcpy(longer.data(), &message, sizeof message);
    EXPECT_FALSE(ParseOsdMessage(&message, sizeof message - 1));
    EXPECT_FALSE(ParseOsdMessage(longer.data(), longer.size()));
    EXPECT_FALSE(ParseOsdMessage(nullptr, sizeof message));
    EXPECT_FALSE(ParseOsdMessage(&message, 0));

    OSD_MESSAGE noTextEnd = message;
    for (auto& c : noTextEnd.szText)
        c = u'A';
    EXPECT_FALSE(ParseOsdMessage(&noTextEnd, sizeof noTextEnd));

    OSD_MESSAGE noFaceEnd = message;
    for (auto& c : noFaceEnd.szFace)
        c = u'B';
    EXPECT_FALSE(ParseOsdMessage(&noFaceEnd, sizeof noFaceEnd));

    OSD_MESSAGE lastCharTerminates = noTextEnd;
    lastCharTerminates.szText[OSD_TEXT_CHARS - 1] = u'\0';
    EXPECT_TRUE(ParseOsdMessage(&lastCharTerminates, sizeof lastCharTerminates));
}

struct PresentationCase {
    int32_t duration, size;
    const char16_t* face;
    int32_t expectedDuration, expectedSize;
    std::u16string expectedFace;
};

TEST(OsdMessage, OutOfRangePresentationFallsBackToTheDefaults)
{
    const PresentationCase cases[] = {
        {3000, 48, u"Arial", 3000, 48, u"Arial"},
        {0, 0, u"", 1500, 30, u"System"},
        {-5, -30, u"Tahoma", 1500, 30, u"Tahoma"},
        {60001, 401, u"System", 1500, 30, u"System"},
        {100, 6, u"x", 100, 6, u"x"},
    };
    for (const auto& c : cases) {
        OSD_MESSAGE message = MakeOsdMessage(u"t");
        message.nDurationMs = c.duration;
        message.nSize = c.size;
        std::memset(message.szFace, 0, sizeof message.szFace);
        std::memcpy(message.szFace, c.face, std::char_traits<char16_t>::length(c.face) * 2);
        message.crColor = 0xFF00FF00u;  // high byte is no colour
        const auto parsed = ParseOsdMessage(&message, sizeof message);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->durationMs, c.expectedDuration) << c.duration;
        EXPECT_EQ(parsed->size, c.expectedSize) << c.size;
        EXPECT_EQ(parsed->face, c.expectedFace);
        EXPECT_EQ(parsed->color, 0x0000FF00u);
    }
}

} // namespace

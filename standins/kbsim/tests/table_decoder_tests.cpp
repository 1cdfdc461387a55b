#include "table_decoder.h"

#include <gtest/gtest.h>

namespace {

using kbsim::DecodeEntryData;
using kbsim::DecodeProfile;
using kbsim::ProfileTables;
using Steps = std::vector<std::string>;

TEST(KbsimEntryData, ItemsBecomeReadableSteps)
{
    struct Case {
        uint8_t type;
        std::vector<uint8_t> data;
        Steps steps;
    };
    const Case cases[] = {
        {0x11, {0x0A, 0xFD}, {"launch slot 10"}},
        {0x20, {0x84, 0xE0, 0x01, 0x87, 0x00, 0xFF, 0x84, 0xE0, 0x00},
         {"press 0xE0 (LCtrl)", "pause 6375 ms", "release 0xE0 (LCtrl)"}},
        {0x20, {0x86, 0x00, 0x01, 0x87, 0x00, 0x01}, {"end", "pause 25 ms"}},
        // Items that are not key, pause or end are shown raw, and so is a cut-off tail.
        {0x20, {0x84, 0x04, 0x02, 0x86, 0x00}, {"bytes 84 04 02", "bytes 86 00"}},
        {0x20, {0x85, 0x8A, 0x01}, {"bytes 85 8A 01"}},
        // A launch marker only counts as such in a launch entry of exactly two bytes.
        {0x20, {0x01, 0xFD}, {"bytes 01 FD"}},
        {0x11, {0x01, 0xFD, 0x00}, {"bytes 01 FD 00"}},
        {0x20, {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeEntryData(c.type, c.data.data(), c.data.size()), c.steps);
}

ProfileTables ExampleProfile()
{
    ProfileTables t;
    t.hasIndex = t.hasData = t.hasKeymap = true;
    t.indexTable.assign(55, 0);
    const uint8_t head[] = {0x0A, 0x00, 0x37, 0x00, 0x11, 0x11, 0x00, 0x00, 0x00, 0x02, 0x20, 0x00, 0x02, 0x00, 0x0F};
    std::copy(std::begin(head), std::end(head), t.indexTable.begin());
    t.dataBlock = {0x01, 0xFD, 0x84, 0x04, 0x01, 0x87, 0x00, 0x01, 0x84,
                   0x04, 0x00, 0x86, 0x00, 0x01, 0x87, 0x00, 0x01};
    t.keymapTable.assign(21, 0);
    const uint8_t keys[] = {0x0A, 0x04, 0x01, 0x16, 0x03};
    std::copy(std::begin(keys), std::end(keys), t.keymapTable.begin());
    return t;
}

TEST(KbsimProfileDecode, ConsistentTablesDecodePerSlot)
{
    const std::string text = DecodeProfile(1, ExampleProfile());
    EXPECT_EQ(text.substr(0, text.find("  M3:")),
              "profile 1: index table, data block 17 bytes, key-mapping table\n"
              "  M1: key 0x04 (A), param 1, type 0x11 launch, data 0+2: launch slot 1\n"
              "  M2: key 0x16 (S), param 3, type 0x20 macro, data 2+15: press 0x04 (A), pause 25 ms, "
              "release 0x04 (A), end, pause 25 ms\n");
    EXPECT_NE(text.find("  M10: key 0x00, param 0, type 0x00 none\n"), std::string::npos);
    EXPECT_EQ(text.find("warning"), std::string::npos);
}

TEST(KbsimProfileDecode, InconsistenciesAreReported)
{
    struct Case {
        const char* what;
        void (*spoil)(ProfileTables&);
        const char* warning;
    };
    const Case cases[] = {
        {"total differs", [](ProfileTables& t) { t.dataBlock.pop_back(); },
         "index table gives 17 data bytes, the data block has 16"},
        {"entry beyond the block", [](ProfileTables& t) { t.indexTable[14] = 0x20; }, "M2 data lies beyond"},
        {"bad index header", [](ProfileTables& t) { t.indexTable[2] = 0x36; }, "index table header is not 0A 00 37"},
        {"bad keymap header", [](ProfileTables& t) { t.keymapTable[0] = 0; }, "key-mapping table does not start"},
        {"short keymap", [](ProfileTables& t) { t.keymapTable.resize(20); }, "key-mapping table is not 21 bytes"},
        {"range on an empty slot", [](ProfileTables& t) { t.indexTable[5 + 5 * 4 + 4] = 3; },
         "M5 has no data type but offset/length set"},
    };
    for (const auto& c : cases) {
        ProfileTables t = ExampleProfile();
        c.spoil(t);
        const std::string text = DecodeProfile(2, t);
        EXPECT_NE(text.find(std::string("  warning: ") + c.warning), std::string::npos) << c.what << "\n" << text;
    }
}

// A download whose data block failed leaves a new index table beside the old block; with the key
// mapping cleared no key plays either, so that is no warning.
TEST(KbsimProfileDecode, DisagreementNoKeyReachesIsANote)
{
    ProfileTables t = ExampleProfile();
    t.dataBlock.resize(10);
    const std::string keyed = DecodeProfile(2, t);
    EXPECT_NE(keyed.find("  warning: index table gives 17 data bytes, the data block has 10"), std::string::npos)
        << keyed;
    EXPECT_NE(keyed.find("  warning: M2 data lies beyond"), std::string::npos) << keyed;

    t.keymapTable.assign(21, 0);
    t.keymapTable[0] = 0x0A;
    const std::string cleared = DecodeProfile(2, t);
    EXPECT_EQ(cleared.find("warning"), std::string::npos) << cleared;
    EXPECT_NE(cleared.find("  note: index table gives 17 data bytes, the data block has 10 (no key uses them)"),
              std::string::npos)
        << cleared;
    EXPECT_NE(cleared.find("  note: M2 data lies beyond the data block (no key uses them)"), std::string::npos)
        << cleared;

    // One key left on a slot without data does not reach the data either.
    t.keymapTable[1 + 2 * 3] = 0x07;
    EXPECT_EQ(DecodeProfile(2, t).find("warning"), std::string::npos);
    t.keymapTable[1 + 2 * 1] = 0x16;
    EXPECT_NE(DecodeProfile(2, t).find("warning"), std::string::npos);
}

TEST(KbsimProfileDecode, MissingTablesLeaveTheirFieldsOut)
{
    ProfileTables keymapOnly;
    keymapOnly.hasKeymap = true;
    keymapOnly.keymapTable.assign(21, 0);
    keymapOnly.keymapTable[0] = 0x0A;
    keymapOnly.keymapTable[19] = 0x2C;
    const std::string text = DecodeProfile(6, keymapOnly);
    EXPECT_NE(text.find("profile 6: no index table, no data block, key-mapping table\n"), std::string::npos);
    EXPECT_NE(text.find("  M10: key 0x2C (Space), param 0\n"), std::string::npos) << text;

    EXPECT_EQ(DecodeProfile(3, ProfileTables{}), "profile 3: no index table, no data block, no key-mapping table\n");

    ProfileTables indexOnly = ExampleProfile();
    indexOnly.hasData = indexOnly.hasKeymap = false;
    const std::string withoutData = DecodeProfile(1, indexOnly);
    EXPECT_NE(withoutData.find("  M2: type 0x20 macro, data 2+15\n"), std::string::npos) << withoutData;
    EXPECT_EQ(withoutData.find("warning"), std::string::npos);
}

} // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "diag.h"
#include "layout_data.h"
#include "profile_ops.h"

using namespace qelt;

namespace {

struct Image {
    KB_CONFIG keyboard;
    ProfileArray profiles;
};

// Every byte set, so an operation that forgets a field shows.
std::unique_ptr<Image> FilledImage()
{
    auto image = std::make_unique<Image>();
    std::memset(image.get(), 0x5A, sizeof(Image));
    return image;
}

bool MacroIsZero(const MACRO_DATA& macro)
{
    static const MACRO_DATA zero{};
    return std::memcmp(&macro, &zero, sizeof macro) == 0;
}

void ExpectSlotUnused(const BUTTON_CONFIG& slot)
{
    EXPECT_EQ(slot.FunID, 0xFF);
    EXPECT_EQ(slot.MappingKey, 0xFF);
    EXPECT_EQ(slot.AppPath[0], L'\0');
    EXPECT_TRUE(MacroIsZero(slot.Macro));
}

} // namespace

TEST(InitNewConfiguration, EveryProfileEmptyAndTheLockFlagByRole)
{
    for (ProgramRole role : {ProgramRole::Editor, ProgramRole::Agent}) {
        auto image = FilledImage();
        image->keyboard.nDeviceStatus = 7;
        for (auto& profile : image->profiles)
            profile.DiableWinKey = 0;
        InitNewConfiguration(image->keyboard, image->profiles, role);

        const bool editor = role == ProgramRole::Editor;
        SCOPED_TRACE(editor ? "editor" : "agent");
        EXPECT_EQ(image->keyboard.CurrantProfile, 0);
        EXPECT_EQ(image->keyboard.nLight, 1);
        EXPECT_EQ(image->keyboard.nDeviceStatus, 7);  // not part of a new configuration
        for (const auto& profile : image->profiles) {
            EXPECT_EQ(profile.nMacroTotal, 0);
            EXPECT_EQ(profile.DiableWinKey, editor ? 1 : 0);
            for (const auto& slot : profile.TButton)
                ExpectSlotUnused(slot);
        }
    }
}

TEST(ResetProfile, ClearsOneProfileWithLockOffAndNoRepeat)
{
    auto image = FilledImage();
    image->profiles[2].DiableWinKey = 1;
    ResetProfile(image->profiles[2]);
    EXPECT_EQ(image->profiles[2].nMacroTotal, 0);
    EXPECT_EQ(image->profiles[2].DiableWinKey, 0);
    for (const auto& slot : image->profiles[2].TButton) {
        ExpectSlotUnused(slot);
        EXPECT_EQ(slot.Macro.RepeatOption, 0);
        EXPECT_EQ(slot.Macro.length, 0);
    }
    // The neighbours are untouched.
    EXPECT_EQ(image->profiles[1].TButton[9].FunID, 0x5A);
    EXPECT_EQ(image->profiles[3].TButton[0].MappingKey, 0x5A);
}

TEST(ReleaseUnusedSlots, ClearsTheKeyOfSlotsWithoutFunctionInAllProfiles)
{
    struct Case {
        uint8_t funId;
        bool released;
    };
    const Case cases[] = {
        {0x00, true}, {0xFF, true}, {FUN_CTRL_X, false}, {FUN_CTRL_S, false}, {FUN_LAUNCH_APP, false},
        {FUN_DISABLE_KEY, false}, {FUN_MACRO, false}, {0x42, false},
    };
    auto image = FilledImage();
    for (int p = 0; p < PROFILE_COUNT; ++p)
        for (int s = 0; s < BUTTON_COUNT; ++s) {
            image->profiles[p].TButton[s].FunID = cases[(p + s) % std::size(cases)].funId;
            image->profiles[p].TButton[s].MappingKey = static_cast<uint8_t>(p * 10 + s);
        }
    ReleaseUnusedSlots(image->profiles);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        for (int s = 0; s < BUTTON_COUNT; ++s) {
            const Case& c = cases[(p + s) % std::size(cases)];
            const auto& slot = image->profiles[p].TButton[s];
            EXPECT_EQ(slot.MappingKey, c.released ? 0xFF : p * 10 + s) << "profile " << p << " slot " << s;
            EXPECT_EQ(slot.FunID, c.funId);
        }
}

TEST(ZeroImageForLoad, UserProfilesUnusedPcModeZero)
{
    auto image = FilledImage();
    ZeroImageForLoad(image->keyboard, image->profiles);
    EXPECT_EQ(image->keyboard.CurrantProfile, 0);
    EXPECT_EQ(image->keyboard.nDeviceStatus, 0);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        for (const auto& slot : image->profiles[p].TButton) {
            EXPECT_EQ(slot.MappingKey, p == PC_MODE_PROFILE ? 0x00 : 0xFF) << "profile " << p;
            EXPECT_EQ(slot.FunID, 0);
            EXPECT_TRUE(MacroIsZero(slot.Macro));
        }
}

TEST(BuildShortcutMacro, CtrlAndTheLetterOfEachCode)
{
    struct Case {
        uint8_t funId;
        uint8_t usLetter;
    };
    // X C V Z A F N P S on a US keyboard.
    const Case cases[] = {
        {1, 0x1B}, {2, 0x06}, {3, 0x19}, {4, 0x1D}, {5, 0x04}, {6, 0x09}, {7, 0x11}, {8, 0x13}, {9, 0x16},
    };
    const auto us = qelt::testing::UsLayout();
    for (const Case& c : cases) {
        auto image = FilledImage();
        ASSERT_TRUE(BuildShortcutMacro(image->profiles[1], 3, c.funId, us));
        const MACRO_DATA& macro = image->profiles[1].TButton[3].Macro;
        SCOPED_TRACE(c.funId);
        EXPECT_EQ(macro.length, 7);
        EXPECT_EQ(macro.RepeatOption, 1);
        const MACRO_STEP expected[7] = {
            {0xE0, {}, 1}, {0xFF, {}, 1}, {c.usLetter, {}, 1}, {0xFF, {}, 0},
            {c.usLetter, {}, 0}, {0xFF, {}, 1}, {0xE0, {}, 0},
        };
        EXPECT_EQ(std::memcmp(macro.Steps, expected, sizeof expected), 0);
        for (int i = 7; i < MACRO_MAX_STEPS; ++i)
            ASSERT_TRUE(macro.Steps[i].Code == 0 && macro.Steps[i].Value == 0) << "step " << i;
        // Only the macro is replaced.
        EXPECT_EQ(image->profiles[1].TButton[3].FunID, 0x5A);
        EXPECT_EQ(image->profiles[1].TButton[2].Macro.length, 0x5A5A);
    }
}

TEST(BuildShortcutMacro, UsesThePhysicalKeyOfTheLetterOnTheLayout)
{
    auto image = FilledImage();
    ASSERT_TRUE(BuildShortcutMacro(image->profiles[0], 0, FUN_CTRL_Z, qelt::testing::GermanLayout()));
    EXPECT_EQ(image->profiles[0].TButton[0].Macro.Steps[2].Code, 0x1C);
    EXPECT_EQ(image->profiles[0].TButton[0].Macro.Steps[4].Code, 0x1C);

    ASSERT_TRUE(BuildShortcutMacro(image->profiles[0], 1, FUN_CTRL_A, qelt::testing::FrenchLayout()));
    EXPECT_EQ(image->profiles[0].TButton[1].Macro.Steps[2].Code, 0x14);
}

TEST(BuildShortcutMacro, OtherCodesAndSlotsLeaveTheProfileAlone)
{
    const auto us = qelt::testing::UsLayout();
    struct Case {
        uint8_t funId;
        int slot;
    };
    const Case cases[] = {{0, 0}, {10, 0}, {FUN_MACRO, 0}, {FUN_NONE, 0}, {FUN_CTRL_C, -1}, {FUN_CTRL_C, 10}};
    for (const Case& c : cases) {
        auto image = FilledImage();
        auto before = FilledImage();
        DiagCapture diag;
        EXPECT_FALSE(BuildShortcutMacro(image->profiles[0], c.slot, c.funId, us));
        EXPECT_EQ(std::memcmp(image.get(), before.get(), sizeof(Image)), 0) << int(c.funId) << "/" << c.slot;
        EXPECT_TRUE(diag.Contains(L"No shortcut macro"));
    }
}

TEST(ClampedProfile, OutOfRangeStandsForProfileZero)
{
    for (int index = 0; index < PROFILE_COUNT; ++index)
        EXPECT_EQ(ClampedProfile(index), index);
    for (int index : {-1, 6, 255, -2147483647 - 1}) {
        DiagCapture diag;
        EXPECT_EQ(ClampedProfile(index), 0) << index;
        EXPECT_TRUE(diag.Contains(L"out of range")) << index;
    }
}

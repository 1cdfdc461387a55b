// The macro editor's recording rules: steps and pauses of recorded key events, held keys, the
// step limit, the closing pause, the step list, and macros given by a slot or read from a file.
#include <gtest/gtest.h>

#include <memory>

#include "macro_recorder.h"
#include "macro_test_support.h"
#include "profile_ops.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

constexpr uint8_t P = MACRO_STEP_DELAY;
constexpr uint8_t A = 0x04, B = 0x05, C = 0x06, X = 0x1B, CTRL = 0xE0;
constexpr int kTotal = 10;  // the profile's running total when the editor opens

const RecordedKey kCtrlDown{0xA2, 0x1D, 0x00};
const RecordedKey kCtrlUp{0xA2, 0x1D, 0x80};

// A macro of n steps that never ends: key press, key release and a pause in turn.
MACRO_DATA LongMacro(int steps, uint16_t length)
{
    MACRO_DATA macro{};
    for (int i = 0; i < steps; ++i) {
        macro.Steps[i].Code = i % 3 == 2 ? P : uint8_t(A + i % 20);
        macro.Steps[i].Value = i % 3 == 0 ? 1 : 0;
    }
    macro.length = length;
    macro.RepeatOption = 2;
    return macro;
}

std::vector<std::wstring> LinesOf(const MACRO_DATA& macro, int count, const MacroKeyText& keys)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < count; ++i) {
        if (macro.Steps[i].Code != P)
            lines.push_back(keys.NameOfCode(macro.Steps[i].Code) + (macro.Steps[i].Value ? L" Press" : L" Release"));
    }
    return lines;
}

struct RecorderFixture : ::testing::Test {
    UsKeyText keys;
    MACRO_DATA empty{};
    std::unique_ptr<MacroRecorder> recorder;

    void Open(const MACRO_DATA& given, int total = kTotal)
    {
        recorder = std::make_unique<MacroRecorder>(given, total, keys);
        recorder->Open();
    }
    std::vector<TakeOutcome> Take(const std::vector<RecordedKey>& events)
    {
        std::vector<TakeOutcome> outcomes;
        for (const RecordedKey& key : events)
            outcomes.push_back(recorder->TakeKey(key));
        return outcomes;
    }
    std::vector<Step> Steps() const { return StepsOf(recorder->Macro(), recorder->StepCount()); }
};

// ------------------------------------------------------------------------------------------------
// Recording

struct RecordingCase {
    const char* name;
    std::vector<RecordedKey> events;
    std::vector<Step> steps;  // after Stop
    std::vector<std::wstring> lines;
};

const std::vector<RecordingCase>& RecordingCases()
{
    static const std::vector<RecordingCase> cases = {
        {"one key: press, pause, release, closing pause", Typed("A"),
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, {L"A Press", L"A Release"}},
        {"two keys typed", Typed("AB"),
         {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}},
         {L"A Press", L"A Release", L"B Press", L"B Release"}},
        {"a held key records one press", {Press('A'), Press('A'), Press('A'), Press('A'), Release('A')},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, {L"A Press", L"A Release"}},
        {"a repeated release is dropped too", {Press('A'), Release('A'), Release('A')},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, {L"A Press", L"A Release"}},
        {"ending on a press (key still held): no closing pause", {Press('A')}, {{A, 1}}, {L"A Press"}},
        {"keys held together", {kCtrlDown, Press('C'), Release('C'), kCtrlUp},
         {{CTRL, 1}, {P, 25}, {C, 1}, {P, 25}, {C, 0}, {P, 25}, {CTRL, 0}, {P, 0}},
         {L"Ctrl Press", L"C Press", L"C Release", L"Ctrl Release"}},
        {"an event (0, 0) first after Record equals the reset last event",
         {RecordedKey{0x41, 0, 0}, Press('A'), Release('A')},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, {L"A Press", L"A Release"}},
    };
    return cases;
}

TEST_F(RecorderFixture, RecordingGivesKeyStepsWithPausesBetweenThem)
{
    for (const RecordingCase& c : RecordingCases()) {
        SCOPED_TRACE(c.name);
        Open(empty);
        recorder->StartRecording();
        Take(c.events);
        EXPECT_TRUE(recorder->Recording());
        recorder->FinishRecording();

        EXPECT_FALSE(recorder->Recording());
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(recorder->ListLines(), c.lines);
        EXPECT_TRUE(recorder->ListEnabled());
        EXPECT_EQ(recorder->RunningTotal(), kTotal + int(c.steps.size())) << "one per step added";
    }
}

TEST_F(RecorderFixture, OnlyEventsThatAddStepsAreTaken)
{
    Open(empty);
    EXPECT_FALSE(recorder->TakeKey(Press('A')).bTaken) << "not recording";
    recorder->StartRecording();
    const std::vector<TakeOutcome> outcomes = Take({RecordedKey{0x41, 0, 0}, Press('A'), Press('A'), Release('A')});
    const bool taken[] = {false, true, false, true};
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i].bTaken, taken[i]) << "event " << i;
        EXPECT_FALSE(outcomes[i].bLimitReached);
    }
    recorder->FinishRecording();
    EXPECT_FALSE(recorder->TakeKey(Press('B')).bTaken) << "after Stop";
    EXPECT_EQ(recorder->StepCount(), 4);
}

TEST_F(RecorderFixture, InternationalKeysAreFoundByScanCode)
{
    struct {
        unsigned scanCode;
        uint8_t code;
    } const cases[] = {{0x7B, 0x8B}, {0x79, 0x8A}, {0x70, 0x88}, {0x73, 0x87}, {0x7D, 0x89}, {0x1E, A}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scanCode);
        Open(empty);
        recorder->StartRecording();
        // The platform's virtual key for these keys is not the table's: 0x41 would be A.
        recorder->TakeKey(RecordedKey{0x41, c.scanCode, 0});
        ASSERT_EQ(recorder->StepCount(), 1);
        EXPECT_EQ(recorder->Macro().Steps[0].Code, c.code);
    }
}

TEST_F(RecorderFixture, RecordStartsOverFromTheInitialTotal)
{
    Open(empty, 3);
    recorder->StartRecording();
    Take(Typed("AB"));
    recorder->FinishRecording();
    ASSERT_EQ(recorder->RunningTotal(), 3 + 8);
    const unsigned generation = recorder->ListGeneration();

    recorder->StartRecording();
    EXPECT_EQ(recorder->StepCount(), 0);
    EXPECT_EQ(recorder->RunningTotal(), 3);
    EXPECT_TRUE(recorder->ListLines().empty());
    EXPECT_NE(recorder->ListGeneration(), generation) << "the window must empty its list";
    EXPECT_EQ(Steps(), std::vector<Step>{});
    EXPECT_EQ(recorder->Macro().Steps[0].Code, 0) << "old steps cleared";
    // The same key again is a new event: the last event was reset.
    recorder->TakeKey(Release('B'));
    EXPECT_EQ(recorder->StepCount(), 1);
}

TEST_F(RecorderFixture, StepLimitEndsTheRecordingOnce)
{
    struct {
        const char* name;
        bool firstIsPress;
        int steps;  // after the limit
    } const cases[] = {
        {"107 steps ending on a release, then the closing pause", true, 108},
        {"107 steps ending on a press: no closing pause", false, 107},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(empty);
        recorder->StartRecording();
        int limits = 0, limitAt = -1;
        for (int i = 0; i < 60; ++i) {
            const bool press = (i % 2 == 0) == c.firstIsPress;
            const TakeOutcome outcome = recorder->TakeKey(press ? Press('A') : Release('A'));
            if (outcome.bLimitReached) {
                ++limits;
                limitAt = i;
                EXPECT_TRUE(outcome.bTaken);
            } else if (limits > 0) {
                EXPECT_FALSE(outcome.bTaken) << "event " << i << " after the limit";
            }
        }
        EXPECT_EQ(limits, 1);
        EXPECT_EQ(limitAt, 54) << "the 55th event finds 107 steps";
        EXPECT_FALSE(recorder->Recording());
        EXPECT_EQ(recorder->StepCount(), c.steps);
        EXPECT_LE(recorder->StepCount(), MACRO_RECORD_MAX_STEPS);
        EXPECT_EQ(recorder->RunningTotal(), kTotal + c.steps);
        ASSERT_EQ(recorder->ListLines().size(), 54u);
        EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(54 - 6)) << "scrolled for the warning";
        EXPECT_EQ(recorder->TakeListTop(), std::nullopt) << "taken once";
    }
}

TEST_F(RecorderFixture, ListFollowsTheNewestSevenLines)
{
    Open(empty);
    recorder->StartRecording();
    Take(Typed("ABC"));
    recorder->TakeKey(Press('D'));
    EXPECT_EQ(recorder->TakeListTop(), std::nullopt) << "seven lines fit";
    recorder->TakeKey(Release('D'));
    EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(1));
    recorder->TakeKey(Press('E'));
    EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(2));
}

TEST_F(RecorderFixture, EmptyRecordingKeptGivesNoSteps)
{
    Open(empty);
    recorder->StartRecording();
    recorder->FinishForKeeping();
    EXPECT_EQ(recorder->StepCount(), 0);
    EXPECT_EQ(recorder->Macro().length, 0);
    EXPECT_FALSE(recorder->ListEnabled()) << "nothing was ever listed";
}

// ------------------------------------------------------------------------------------------------
// Giving the macro and opening

struct OpenCase {
    const char* name;
    MACRO_DATA given;
    int total;
    int shown;  // also the step count
    std::vector<std::wstring> lines;
    bool listEnabled;
    int runningTotal;
    uint8_t repeatOption;
};

const std::vector<OpenCase>& OpenCases()
{
    static const std::vector<Step> typedA = {{A, 1}, {P, 25}, {A, 0}, {P, 0}};
    static const std::vector<OpenCase> cases = [] {
        std::vector<OpenCase> list;
        list.push_back({"a confirmed macro", MacroOf(typedA, 4, 2), kTotal, 4, {L"A Press", L"A Release"}, true,
                        kTotal, 2});
        list.push_back({"a slot never filled", MACRO_DATA{}, kTotal, 0, {}, false, kTotal, 1});
        list.push_back({"a reset slot (RepeatOption 0) with steps left over", MacroOf(typedA, 4, 0), kTotal, 0, {},
                        false, kTotal, 1});
        list.push_back({"length beyond the steps (MacroLength missing: 0xFFFF)", MacroOf(typedA, 0xFFFF, 1), kTotal,
                        4, {L"A Press", L"A Release"}, true, kTotal, 1});
        list.push_back({"length shorter than the steps", MacroOf(typedA, 3, 1), kTotal, 3,
                        {L"A Press", L"A Release"}, true, kTotal, 1});
        list.push_back({"steps left over past a zero length", MacroOf(typedA, 0, 1), kTotal, 0, {}, true, kTotal, 1});
        list.push_back({"a negative running total starts at 0", MacroOf(typedA, 4, 1), -5, 4,
                        {L"A Press", L"A Release"}, true, 0, 1});
        return list;
    }();
    return cases;
}

TEST_F(RecorderFixture, OpenedMacroShowsTheStepsItsLengthCovers)
{
    for (const OpenCase& c : OpenCases()) {
        SCOPED_TRACE(c.name);
        Open(c.given, c.total);
        EXPECT_EQ(recorder->ShownLength(), c.shown);
        EXPECT_EQ(recorder->StepCount(), c.shown);
        EXPECT_EQ(recorder->ListLines(), c.lines);
        EXPECT_EQ(recorder->ListEnabled(), c.listEnabled);
        EXPECT_EQ(recorder->RunningTotal(), c.runningTotal);
        EXPECT_EQ(recorder->Macro().RepeatOption, c.repeatOption);
        EXPECT_FALSE(recorder->Recording());
    }
}

TEST_F(RecorderFixture, OpenedLengthsAreReadOnlyUpTo700Steps)
{
    struct {
        const char* name;
        int steps;
        uint16_t length;
        int count;
    } const cases[] = {
        {"700 steps, length 5000", MACRO_MAX_STEPS, 5000, 700},
        {"700 steps, length 0xFFFF", MACRO_MAX_STEPS, 0xFFFF, 700},
        {"700 steps, length 700", MACRO_MAX_STEPS, 700, 700},
        {"250 steps, length 5000: the walk stops at the first empty step", 250, 5000, 250},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MACRO_DATA given = LongMacro(c.steps, c.length);
        Open(given);
        EXPECT_EQ(recorder->StepCount(), c.count);
        EXPECT_EQ(recorder->ShownLength(), c.count);
        EXPECT_EQ(recorder->ListLines(), LinesOf(given, c.count, keys));
        // Kept again: the stored length is what was shown and counted, plus a closing pause
        // where there is room after a release.
        recorder->FinishForKeeping();
        EXPECT_LE(recorder->StepCount(), MACRO_MAX_STEPS);
        EXPECT_EQ(recorder->Macro().length, recorder->StepCount());
    }
}

TEST_F(RecorderFixture, CtrlXShortcutOpensAsFourLinesAndIsKeptWithAClosingPause)
{
    auto profile = std::make_unique<PROFILE_CONFIG>();
    ASSERT_TRUE(BuildShortcutMacro(*profile, 4, FUN_CTRL_X, UsLayout()));
    Open(profile->TButton[4].Macro);

    EXPECT_EQ(recorder->StepCount(), 7);
    EXPECT_EQ(recorder->ShownLength(), 7);
    EXPECT_EQ(recorder->ListLines(),
              (std::vector<std::wstring>{L"Ctrl Press", L"X Press", L"X Release", L"Ctrl Release"}));

    recorder->FinishForKeeping();  // OK without recording
    EXPECT_EQ(Steps(), (std::vector<Step>{{CTRL, 1}, {P, 1}, {X, 1}, {P, 0}, {X, 0}, {P, 1}, {CTRL, 0}, {P, 0}}));
    EXPECT_EQ(recorder->Macro().length, 8);
    EXPECT_EQ(recorder->Macro().RepeatOption, 1);
    EXPECT_EQ(recorder->RunningTotal(), kTotal + 1);
    EXPECT_EQ(recorder->ShownLength(), 7) << "the number drawn is the length as opened";
}

TEST_F(RecorderFixture, RecordReplacesAnOpenedMacroButNotItsRepeatOption)
{
    Open(LongMacro(30, 30));
    recorder->StartRecording();
    EXPECT_TRUE(recorder->ListLines().empty());
    EXPECT_EQ(recorder->Macro().Steps[29].Code, 0);
    EXPECT_EQ(recorder->Macro().RepeatOption, 2);
    Take(Typed("B"));
    recorder->FinishForKeeping();
    EXPECT_EQ(Steps(), (std::vector<Step>{{B, 1}, {P, 25}, {B, 0}, {P, 0}}));
    EXPECT_EQ(recorder->Macro().length, 4);
}

// ------------------------------------------------------------------------------------------------
// Loading and saving

struct LoadCase {
    const char* name;
    std::function<void(MACRO_DATA&)> read;  // what the file gives
    int count;  // step count after the load (finished)
    int shown;
    uint8_t repeatOption;
};

TEST_F(RecorderFixture, LoadedLengthIsClippedToTheStepsPresent)
{
    const std::vector<Step> typedAB = {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}};
    const LoadCase cases[] = {
        {"a saved recording", [&](MACRO_DATA& m) { m = MacroOf(typedAB, 8, 3); }, 8, 8, 3},
        {"MacroLength missing (0xFFFF)", [&](MACRO_DATA& m) { m = MacroOf(typedAB, 0xFFFF, 1); }, 8, 8, 1},
        {"MacroLength 5000 over 700 steps", [](MACRO_DATA& m) { m = LongMacro(700, 5000); }, 700, 700, 2},
        {"MacroLength 0xFFFF over 700 steps", [](MACRO_DATA& m) { m = LongMacro(700, 0xFFFF); }, 700, 700, 2},
        {"700 steps ending on a release: no room for a closing pause",
         [](MACRO_DATA& m) {
             m = LongMacro(700, 700);
             m.Steps[699].Value = 0;
         },
         700, 700, 2},
        {"a release last without its closing pause gets one", [](MACRO_DATA& m) { m = LongMacro(2, 2); }, 3, 2, 2},
        {"MacroLength 0 over steps", [&](MACRO_DATA& m) { m = MacroOf(typedAB, 0, 1); }, 0, 0, 1},
        // A Macro value that does not decode leaves the steps in memory (here: the recording).
        {"only the length and the option read", [](MACRO_DATA& m) { m.length = 50; m.RepeatOption = 3; }, 4, 3, 3},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(empty);
        recorder->StartRecording();
        Take(Typed("C"));
        recorder->DropRecording();  // Load leaves the recording before its file dialog
        const int totalBefore = recorder->RunningTotal();
        recorder->Load(c.read);

        EXPECT_FALSE(recorder->Recording());
        EXPECT_EQ(recorder->StepCount(), c.count);
        EXPECT_EQ(recorder->ShownLength(), c.shown);
        EXPECT_EQ(recorder->Macro().RepeatOption, c.repeatOption);
        EXPECT_EQ(recorder->ListLines(), LinesOf(recorder->Macro(), recorder->StepCount(), keys));
        EXPECT_EQ(recorder->RunningTotal(), totalBefore + (c.count - c.shown)) << "kept, plus a closing pause";
        recorder->FinishForKeeping();
        EXPECT_EQ(recorder->Macro().length, recorder->StepCount()) << "saved again as shown";
    }
}

TEST_F(RecorderFixture, SaveWritesTheFinishedMacro)
{
    Open(empty);
    recorder->StartRecording();
    Take(Typed("A"));
    recorder->DropRecording();
    MACRO_DATA written{};
    int writes = 0;
    recorder->Save([&](const MACRO_DATA& macro) {
        written = macro;
        ++writes;
    });
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(written.length, 4);
    EXPECT_EQ(StepsOf(written, 4), (std::vector<Step>{{A, 1}, {P, 25}, {A, 0}, {P, 0}}));
    EXPECT_EQ(written.RepeatOption, 1);
    EXPECT_FALSE(recorder->Recording());
}

} // namespace

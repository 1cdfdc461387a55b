// The macro editor's recording rules: steps and pauses of recorded key events, held keys, the
// step limit, the closing pause, the step list, and macros given by a slot or read from a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "diag.h"
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

// One line per step, pauses included: line n is step n.
std::vector<std::wstring> LinesOf(const MACRO_DATA& macro, int count, const MacroKeyText& keys)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < count; ++i) {
        const MACRO_STEP& step = macro.Steps[i];
        lines.push_back(step.Code == P ? L"Delay " + std::to_wstring(step.Value) + L" ms"
                                       : keys.NameOfCode(step.Code) + (step.Value ? L" Press" : L" Release"));
    }
    return lines;
}

// Time as the test says it is.
class FakeClock final : public MacroClock {
public:
    int64_t NowMs() const override { return m_now; }
    void Advance(int64_t ms) { m_now += ms; }

private:
    int64_t m_now = 1000;
};

struct RecorderFixture : ::testing::Test {
    UsKeyText keys;
    FakeClock clock;
    MACRO_DATA empty{};
    std::unique_ptr<MacroRecorder> recorder;

    void Open(const MACRO_DATA& given, int total = kTotal)
    {
        recorder = std::make_unique<MacroRecorder>(given, total, keys, clock);
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
    static const std::vector<std::wstring> typedA = {L"A Press", L"Delay 25 ms", L"A Release", L"Delay 0 ms"};
    static const std::vector<RecordingCase> cases = {
        {"one key: press, pause, release, closing pause", Typed("A"), {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, typedA},
        {"two keys typed", Typed("AB"),
         {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}},
         {L"A Press", L"Delay 25 ms", L"A Release", L"Delay 25 ms", L"B Press", L"Delay 25 ms", L"B Release",
          L"Delay 0 ms"}},
        {"a held key records one press", {Press('A'), Press('A'), Press('A'), Press('A'), Release('A')},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, typedA},
        {"a repeated release is dropped too", {Press('A'), Release('A'), Release('A')},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, typedA},
        {"ending on a press (key still held): no closing pause", {Press('A')}, {{A, 1}}, {L"A Press"}},
        {"keys held together", {kCtrlDown, Press('C'), Release('C'), kCtrlUp},
         {{CTRL, 1}, {P, 25}, {C, 1}, {P, 25}, {C, 0}, {P, 25}, {CTRL, 0}, {P, 0}},
         {L"Ctrl Press", L"Delay 25 ms", L"C Press", L"Delay 25 ms", L"C Release", L"Delay 25 ms", L"Ctrl Release",
          L"Delay 0 ms"}},
        {"an event (0, 0) first after Record equals the reset last event",
         {RecordedKey{0x41, 0, 0}, Press('A'), Release('A')}, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, typedA},
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
        std::vector<Step> last;  // the steps that end the macro
        int steps;               // after the limit
        size_t lines;
    } const cases[] = {
        {"107 steps ending on a release, then the closing pause", true, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, 108, 108},
        {"107 steps ending on a press: its release follows, then the closing pause", false,
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, 110, 110},
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
        ASSERT_EQ(recorder->StepCount(), c.steps);
        const std::vector<Step> steps = Steps();
        EXPECT_EQ(std::vector<Step>(steps.end() - int(c.last.size()), steps.end()), c.last);
        EXPECT_EQ(recorder->RunningTotal(), kTotal + c.steps);
        ASSERT_EQ(recorder->ListLines().size(), c.lines);
        EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(int(c.lines) - 6)) << "scrolled for the warning";
        EXPECT_EQ(recorder->TakeListTop(), std::nullopt) << "taken once";
    }
}

// Keys held when the limit ends the recording are released, the last pressed first, each after a
// pause: the keyboard must not leave Shift (or anything) down on the host.
TEST_F(RecorderFixture, KeysHeldAtTheStepLimitAreReleased)
{
    const RecordedKey kShiftDown{0xA0, 0x2A, 0x00};
    constexpr uint8_t SHIFT = 0xE1;
    Open(empty);
    recorder->StartRecording();
    Take({kCtrlDown, kShiftDown});
    TakeOutcome outcome;
    for (int i = 0; i < 60 && !outcome.bLimitReached; ++i)
        outcome = recorder->TakeKey(i % 2 == 0 ? Press('B') : Release('B'));
    ASSERT_TRUE(outcome.bLimitReached);
    const std::vector<Step> steps = Steps();
    ASSERT_GE(steps.size(), 6u);
    EXPECT_EQ(std::vector<Step>(steps.end() - 5, steps.end()),
              (std::vector<Step>{{P, 25}, {SHIFT, 0}, {P, 25}, {CTRL, 0}, {P, 0}}));
    EXPECT_LE(recorder->StepCount(), MACRO_MAX_STEPS);
    EXPECT_EQ(recorder->ListLines(), LinesOf(recorder->Macro(), recorder->StepCount(), keys));
    recorder->FinishForKeeping();
    EXPECT_EQ(recorder->Macro().length, recorder->StepCount()) << "kept as it is";
}

// Whatever the editor hands out (OK) or saves never ends with a key still pressed.
TEST_F(RecorderFixture, KeptMacrosReleaseEveryKeyStillHeld)
{
    struct Case {
        const char* name;
        MACRO_DATA given;
        std::vector<RecordedKey> events;  // recorded after Record; none: the given macro is kept
        std::vector<Step> steps;          // as kept
    };
    const std::vector<Case> cases = {
        {"a recording stopped with A held", empty, {Press('A')}, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
        {"Ctrl held over a typed C", empty, {kCtrlDown, Press('C'), Release('C')},
         {{CTRL, 1}, {P, 25}, {C, 1}, {P, 25}, {C, 0}, {P, 25}, {CTRL, 0}, {P, 0}}},
        {"two keys held: the last pressed goes first", empty, {Press('A'), Press('B')},
         {{A, 1}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 25}, {A, 0}, {P, 0}}},
        {"a given macro ending on a press", MacroOf({{A, 1}, {P, 25}, {B, 1}}, 3, 1), {},
         {{A, 1}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 25}, {A, 0}, {P, 0}}},
        {"a given macro whose closing pause follows a held key",
         MacroOf({{A, 1}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}, 6, 1), {},
         {{A, 1}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 25}, {A, 0}, {P, 0}}},
        {"nothing held: kept as it is", MacroOf({{A, 1}, {P, 25}, {A, 0}, {P, 0}}, 4, 1), {},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.given);
        if (!c.events.empty()) {
            recorder->StartRecording();
            Take(c.events);
            recorder->FinishRecording();  // Stop shows what was typed
        }
        recorder->FinishForKeeping();  // OK
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(recorder->Macro().length, c.steps.size());
    }
}

// A full macro ending with keys held has no room for their releases: its last steps give way.
TEST_F(RecorderFixture, AFullMacroMakesRoomForItsReleases)
{
    MACRO_DATA full = LongMacro(MACRO_MAX_STEPS, MACRO_MAX_STEPS);
    full.Steps[698] = {CTRL, {}, 1};
    full.Steps[699] = {B, {}, 1};
    Open(full);
    ASSERT_EQ(recorder->StepCount(), MACRO_MAX_STEPS);
    recorder->FinishForKeeping();
    const int count = recorder->StepCount();
    ASSERT_LE(count, MACRO_MAX_STEPS);
    EXPECT_EQ(recorder->Macro().length, count);
    // Nothing is held at the end.
    std::vector<uint8_t> held;
    for (int i = 0; i < count; ++i) {
        const MACRO_STEP& step = recorder->Macro().Steps[i];
        if (step.Code == P)
            continue;
        held.erase(std::remove(held.begin(), held.end(), step.Code), held.end());
        if (step.Value & 1)
            held.push_back(step.Code);
    }
    EXPECT_TRUE(held.empty());
    EXPECT_NE(recorder->Macro().Steps[count - 1].Code, P) << "the releases end it: no room for a closing pause";
    EXPECT_EQ(recorder->Macro().Steps[count - 1].Value, 0);

    // Nothing held: a full macro is kept whole.
    MACRO_DATA balanced{};
    for (int i = 0; i < MACRO_MAX_STEPS; ++i)
        balanced.Steps[i] = {i % 2 ? P : A, {}, i % 4 == 0 ? 1 : (i % 2 ? 25 : 0)};
    balanced.length = MACRO_MAX_STEPS;
    balanced.RepeatOption = 1;
    Open(balanced);
    recorder->FinishForKeeping();
    EXPECT_EQ(recorder->StepCount(), MACRO_MAX_STEPS);
    EXPECT_EQ(Steps(), StepsOf(balanced, MACRO_MAX_STEPS));
}

// A key the key table has no code for would be a step with code 0, which the list, the count and
// the keyboard take as the macro's end: it is not recorded, and the diagnostic names it.
TEST_F(RecorderFixture, KeysWithoutAKeyCodeAreNotRecorded)
{
    const RecordedKey unknownDown{0x07, 0x59, 0x00};  // no key code on any layout
    const RecordedKey unknownUp{0x07, 0x59, 0x80};
    ASSERT_EQ(keys.KeyCodeOf(0x07), 0);
    Open(empty);
    recorder->StartRecording();
    DiagCapture diag;
    const std::vector<TakeOutcome> outcomes =
        Take({Press('A'), unknownDown, unknownDown, unknownUp, Release('A')});
    const bool taken[] = {true, false, false, false, true};
    for (size_t i = 0; i < outcomes.size(); ++i)
        EXPECT_EQ(outcomes[i].bTaken, taken[i]) << "event " << i;
    recorder->FinishRecording();
    EXPECT_EQ(Steps(), (std::vector<Step>{{A, 1}, {P, 25}, {A, 0}, {P, 0}}));
    EXPECT_EQ(recorder->ListLines(), LinesOf(recorder->Macro(), 4, keys));
    EXPECT_TRUE(diag.Contains(L"virtual key 0x07, scan code 0x59"));
    EXPECT_EQ(diag.Lines().size(), 2u) << "one line for the press, one for the release; auto-repeat is dropped";
}

TEST_F(RecorderFixture, ListFollowsTheNewestSevenLines)
{
    Open(empty);
    recorder->StartRecording();
    Take(Typed("AB"));
    EXPECT_EQ(recorder->TakeListTop(), std::nullopt) << "seven lines fit (keys and the pauses between)";
    recorder->TakeKey(Press('C'));
    EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(2));
    recorder->TakeKey(Release('C'));
    EXPECT_EQ(recorder->TakeListTop(), std::optional<int>(4));
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
// Pause lengths: the delay field's value, or as typed

TEST_F(RecorderFixture, RecordWritesTheDelayFieldsValueRounded)
{
    struct {
        int64_t typed;
        int32_t written;
    } const cases[] = {
        {25, 25},     {100, 100}, {0, 25},      {12, 25},     {37, 25},  {38, 50},    {110, 100},
        {113, 125},   {6375, 6375}, {6374, 6375}, {99999, 6375}, {-40, 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Open(empty);
        recorder->SetDelay(c.typed);
        EXPECT_EQ(recorder->Delay(), c.written);
        recorder->StartRecording();
        Take(Typed("AB"));
        recorder->FinishRecording();
        EXPECT_EQ(Steps(), (std::vector<Step>{{A, 1}, {P, c.written}, {A, 0}, {P, c.written}, {B, 1}, {P, c.written},
                                              {B, 0}, {P, 0}}));
        EXPECT_EQ(recorder->ListLines()[1], L"Delay " + std::to_wstring(c.written) + L" ms");
    }
}

// The releases the editor adds for keys still held are pauses it writes too.
TEST_F(RecorderFixture, ReleasesOfHeldKeysWaitTheFieldsDelay)
{
    Open(empty);
    recorder->SetDelay(200);
    recorder->StartRecording();
    Take({kCtrlDown, Press('C')});
    recorder->FinishForKeeping();
    EXPECT_EQ(Steps(), (std::vector<Step>{{CTRL, 1}, {P, 200}, {C, 1}, {P, 200}, {C, 0}, {P, 200}, {CTRL, 0}, {P, 0}}));
}

struct TimedEvent {
    int64_t afterMs;  // since the event before
    RecordedKey key;
};

TEST_F(RecorderFixture, AsTypedRecordsTheTimeBetweenEvents)
{
    struct Case {
        const char* name;
        std::vector<TimedEvent> events;
        std::vector<Step> steps;  // after Stop
    };
    const std::vector<Case> cases = {
        {"a key held half a second", {{0, Press('A')}, {500, Release('A')}}, {{A, 1}, {P, 500}, {A, 0}, {P, 0}}},
        {"rounded to the nearest 25 ms", {{0, Press('A')}, {137, Release('A')}, {163, Press('B')}, {12, Release('B')}},
         {{A, 1}, {P, 125}, {A, 0}, {P, 175}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}},
        {"at once is 25 ms, the shortest pause the keyboard plays", {{0, Press('A')}, {0, Release('A')}},
         {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
        {"longer than 6375 ms is 6375 ms", {{0, Press('A')}, {20000, Release('A')}},
         {{A, 1}, {P, 6375}, {A, 0}, {P, 0}}},
        {"auto-repeat does not restart the time: from the first press",
         {{0, Press('A')}, {300, Press('A')}, {30, Press('A')}, {30, Press('A')}, {140, Release('A')}},
         {{A, 1}, {P, 500}, {A, 0}, {P, 0}}},
        {"a key that is not recorded does not either",
         {{0, Press('A')}, {100, RecordedKey{0x07, 0x59, 0x00}}, {100, Release('A')}},
         {{A, 1}, {P, 200}, {A, 0}, {P, 0}}},
        {"the wait before the first key is no pause", {{4000, Press('A')}, {50, Release('A')}},
         {{A, 1}, {P, 50}, {A, 0}, {P, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(empty);
        recorder->SetDelay(100);
        recorder->SetAsTyped(true);
        recorder->StartRecording();
        for (const TimedEvent& event : c.events) {
            clock.Advance(event.afterMs);
            recorder->TakeKey(event.key);
        }
        recorder->FinishRecording();
        EXPECT_EQ(Steps(), c.steps);
    }

    // Off again: the field's delay, however long the user waits.
    recorder->SetAsTyped(false);
    recorder->StartRecording();
    recorder->TakeKey(Press('A'));
    clock.Advance(900);
    recorder->TakeKey(Release('A'));
    recorder->FinishRecording();
    EXPECT_EQ(Steps(), (std::vector<Step>{{A, 1}, {P, 100}, {A, 0}, {P, 0}}));
}

// ------------------------------------------------------------------------------------------------
// Step editing: line n is step n

const std::vector<Step> kTypedAB = {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}};
const std::vector<Step> kCtrlC = {{CTRL, 1}, {P, 25}, {C, 1}, {P, 25}, {C, 0}, {P, 25}, {CTRL, 0}, {P, 0}};

// The list as the window keeps it: the lines it was filled with, then the edits taken from the
// recorder. It must always equal the recorder's own lines.
struct ListMirror {
    unsigned generation = ~0u;
    std::vector<std::wstring> lines;
    void Sync(MacroRecorder& recorder)
    {
        const std::vector<MacroRecorder::ListEdit> edits = recorder.TakeListEdits();
        if (recorder.ListGeneration() != generation) {
            generation = recorder.ListGeneration();
            lines = recorder.ListLines();
            return;
        }
        for (const MacroRecorder::ListEdit& edit : edits) {
            ASSERT_LE(size_t(edit.nLine), lines.size() - (edit.bInsert ? 0 : 1));
            if (edit.bInsert)
                lines.insert(lines.begin() + edit.nLine, edit.strText);
            else
                lines.erase(lines.begin() + edit.nLine);
        }
    }
};

TEST_F(RecorderFixture, DeleteTakesAKeysPressAndReleaseWithTheirPauses)
{
    struct Case {
        const char* name;
        std::vector<Step> given;
        int line;
        std::vector<Step> steps;  // after the edit
    };
    const std::vector<Case> cases = {
        {"b's press: only a is left", kTypedAB, 4, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
        {"b's release: the same", kTypedAB, 6, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
        {"a's press, the first step: the pause after it goes", kTypedAB, 0, {{B, 1}, {P, 25}, {B, 0}, {P, 0}}},
        {"Ctrl's press, its release found past C's steps", kCtrlC, 0, {{C, 1}, {P, 25}, {C, 0}, {P, 0}}},
        {"C inside Ctrl", kCtrlC, 2, {{CTRL, 1}, {P, 25}, {CTRL, 0}, {P, 0}}},
        {"Ctrl's release, its press found before C's steps", kCtrlC, 6, {{C, 1}, {P, 25}, {C, 0}, {P, 0}}},
        {"a key typed twice: the second press goes with the second release",
         {{A, 1}, {P, 25}, {A, 0}, {P, 50}, {A, 1}, {P, 75}, {A, 0}, {P, 0}}, 4, {{A, 1}, {P, 25}, {A, 0}, {P, 0}}},
        {"a key typed twice: the first release goes with the first press",
         {{A, 1}, {P, 25}, {A, 0}, {P, 50}, {A, 1}, {P, 75}, {A, 0}, {P, 0}}, 2, {{A, 1}, {P, 75}, {A, 0}, {P, 0}}},
        {"a pause line: just that pause", kTypedAB, 3, {{A, 1}, {P, 25}, {A, 0}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}},
        {"the closing pause", kTypedAB, 7, {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}}},
        {"a press never released", {{A, 1}, {P, 25}, {B, 1}}, 2, {{A, 1}}},
        {"a release never pressed", {{A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}, 0,
         {{B, 1}, {P, 25}, {B, 0}, {P, 0}}},
        {"keys without a pause between them", {{A, 1}, {B, 1}, {B, 0}, {A, 0}}, 1, {{A, 1}, {A, 0}}},
        {"the only key: nothing left", {{A, 1}, {P, 25}, {A, 0}, {P, 0}}, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(MacroOf(c.given, uint16_t(c.given.size()), 2));
        ListMirror list;
        list.Sync(*recorder);
        ASSERT_TRUE(recorder->DeleteLine(c.line));
        list.Sync(*recorder);

        EXPECT_EQ(Steps(), c.steps);
        const int removed = int(c.given.size() - c.steps.size());
        EXPECT_EQ(recorder->ShownLength(), int(c.steps.size())) << "the number drawn follows";
        EXPECT_EQ(recorder->RunningTotal(), kTotal - removed);
        EXPECT_EQ(recorder->ListLines(), LinesOf(recorder->Macro(), recorder->StepCount(), keys));
        EXPECT_EQ(list.lines, recorder->ListLines()) << "the window's list follows the edits";
        for (int i = recorder->StepCount(); i < MACRO_MAX_STEPS; ++i)
            ASSERT_EQ(recorder->Macro().Steps[i].Code, 0) << "step " << i << " left behind";
    }
}

TEST_F(RecorderFixture, EditsRefuseWhatIsNotThere)
{
    Open(MacroOf(kTypedAB, 8, 1));
    struct {
        const char* name;
        std::function<bool()> edit;
    } const cases[] = {
        {"delete before the first line", [&] { return recorder->DeleteLine(-1); }},
        {"delete past the last line", [&] { return recorder->DeleteLine(8); }},
        {"set delay on a key line", [&] { return recorder->SetPause(0, 100); }},
        {"set delay past the last line", [&] { return recorder->SetPause(8, 100); }},
        {"insert after no line", [&] { return recorder->InsertPauseAfter(-1, 100); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.edit());
        EXPECT_EQ(Steps(), kTypedAB);
        EXPECT_EQ(recorder->RunningTotal(), kTotal);
        EXPECT_TRUE(recorder->TakeListEdits().empty());
    }
    EXPECT_EQ(recorder->PauseOnLine(0), std::nullopt) << "a key line";
    EXPECT_EQ(recorder->PauseOnLine(8), std::nullopt) << "no line";
    EXPECT_EQ(recorder->PauseOnLine(7), std::optional<int>(0)) << "the closing pause";

    // While a recording runs the steps belong to it.
    recorder->StartRecording();
    Take(Typed("A"));
    EXPECT_FALSE(recorder->DeleteLine(0));
    EXPECT_FALSE(recorder->SetPause(1, 100));
    EXPECT_FALSE(recorder->InsertPauseAfter(0, 100));
    EXPECT_EQ(recorder->StepCount(), 3);

    // A macro of 700 steps has no room for another pause.
    MACRO_DATA full{};
    for (int i = 0; i < MACRO_MAX_STEPS; ++i)
        full.Steps[i] = {i % 2 ? P : A, {}, i % 4 == 0 ? 1 : (i % 2 ? 25 : 0)};
    full.length = MACRO_MAX_STEPS;
    full.RepeatOption = 1;
    Open(full);
    EXPECT_FALSE(recorder->InsertPauseAfter(0, 100));
    EXPECT_EQ(recorder->StepCount(), MACRO_MAX_STEPS);
}

TEST_F(RecorderFixture, SetDelayAndPauseChangeOnePause)
{
    struct Case {
        const char* name;
        std::function<bool(MacroRecorder&)> edit;
        std::vector<Step> steps;
        int selected;  // the pause line the edit is about
    };
    const std::vector<Case> cases = {
        {"set delay", [](MacroRecorder& r) { return r.SetPause(3, 300); },
         {{A, 1}, {P, 25}, {A, 0}, {P, 300}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}, 3},
        {"set delay rounds as recording does", [](MacroRecorder& r) { return r.SetPause(1, 112); },
         {{A, 1}, {P, 100}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}, 1},
        {"set delay on the closing pause", [](MacroRecorder& r) { return r.SetPause(7, 6375); },
         {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 6375}}, 7},
        {"pause after a key line", [](MacroRecorder& r) { return r.InsertPauseAfter(2, 1000); },
         {{A, 1}, {P, 25}, {A, 0}, {P, 1000}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}}, 3},
        {"pause after the last line", [](MacroRecorder& r) { return r.InsertPauseAfter(7, 0); },
         {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}, {P, 25}}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(MacroOf(kTypedAB, 8, 1));
        ListMirror list;
        list.Sync(*recorder);
        ASSERT_TRUE(c.edit(*recorder));
        list.Sync(*recorder);
        EXPECT_EQ(Steps(), c.steps);
        EXPECT_EQ(recorder->PauseOnLine(c.selected), std::optional<int>(c.steps[size_t(c.selected)].value));
        const int added = int(c.steps.size()) - 8;
        EXPECT_EQ(recorder->ShownLength(), int(c.steps.size()));
        EXPECT_EQ(recorder->RunningTotal(), kTotal + added) << "a pause put in is a step added; a changed one is not";
        EXPECT_EQ(list.lines, LinesOf(recorder->Macro(), recorder->StepCount(), keys));
    }
}

// The slot takes a macro of two steps or more (the caller's rule, on the step count): edits move
// the count across that line both ways, and what is kept afterwards is still balanced.
TEST_F(RecorderFixture, CountsFollowEveryEditUpToWhatIsKept)
{
    Open(empty, 0);
    ListMirror list;
    recorder->StartRecording();
    list.Sync(*recorder);
    Take({kCtrlDown, Press('C'), Release('C'), kCtrlUp});
    list.Sync(*recorder);
    recorder->FinishRecording();
    list.Sync(*recorder);
    ASSERT_EQ(recorder->StepCount(), 8);

    struct {
        const char* name;
        std::function<bool()> edit;
        int count;
        int total;
    } const sequence[] = {
        {"delete C", [&] { return recorder->DeleteLine(2); }, 4, 4},
        {"a pause after Ctrl's press", [&] { return recorder->InsertPauseAfter(0, 500); }, 5, 5},
        {"its length changed", [&] { return recorder->SetPause(1, 250); }, 5, 5},
        {"delete Ctrl: the closing pause is left", [&] { return recorder->DeleteLine(0); }, 1, 1},
        {"delete it", [&] { return recorder->DeleteLine(0); }, 0, 0},
    };
    for (const auto& step : sequence) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(step.edit());
        list.Sync(*recorder);
        EXPECT_EQ(recorder->StepCount(), step.count);
        EXPECT_EQ(recorder->ShownLength(), step.count);
        EXPECT_EQ(recorder->RunningTotal(), step.total);
        EXPECT_EQ(list.lines, recorder->ListLines());
    }
    recorder->FinishForKeeping();
    EXPECT_EQ(recorder->StepCount(), 0) << "OK leaves nothing the slot would take";

    // A slot's macro opened with a total below its own steps: the total stays at 0 or above.
    Open(MacroOf(kTypedAB, 8, 1), 2);
    ASSERT_TRUE(recorder->DeleteLine(0));
    EXPECT_EQ(recorder->RunningTotal(), 0);

    // The closing pause deleted comes back when the macro is kept.
    Open(MacroOf(kTypedAB, 8, 1));
    ASSERT_TRUE(recorder->DeleteLine(7));
    EXPECT_EQ(recorder->StepCount(), 7);
    recorder->FinishForKeeping();
    EXPECT_EQ(Steps(), kTypedAB);
    EXPECT_EQ(recorder->Macro().length, 8);
}

// Files of the old editor load, are edited and are saved in the same format: the saved record is
// byte for byte the one the old editor writes for the same steps.
TEST_F(RecorderFixture, LoadEditSaveKeepsTheStoredFormat)
{
    const MACRO_DATA oldFile = MacroOf(kTypedAB, 8, 3);
    Open(MacroOf(kCtrlC, 8, 1));
    recorder->Load(oldFile);
    ASSERT_TRUE(recorder->DeleteLine(4));
    ASSERT_TRUE(recorder->SetPause(1, 6000));
    MACRO_DATA written{};
    recorder->Save([&](const MACRO_DATA& macro) { written = macro; });

    const MACRO_DATA expected = MacroOf({{A, 1}, {P, 6000}, {A, 0}, {P, 0}}, 4, 3);
    EXPECT_EQ(written.length, expected.length);
    EXPECT_EQ(written.RepeatOption, expected.RepeatOption);
    EXPECT_EQ(std::memcmp(written.Steps, expected.Steps, sizeof expected.Steps), 0)
        << "steps, their reserved bytes and the unused rest as the old editor stores them";
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
    static const std::vector<std::wstring> typedALines = {L"A Press", L"Delay 25 ms", L"A Release", L"Delay 0 ms"};
    static const std::vector<OpenCase> cases = [] {
        std::vector<OpenCase> list;
        list.push_back({"a confirmed macro", MacroOf(typedA, 4, 2), kTotal, 4, typedALines, true, kTotal, 2});
        list.push_back({"a slot never filled", MACRO_DATA{}, kTotal, 0, {}, false, kTotal, 1});
        list.push_back({"a reset slot (RepeatOption 0) with steps left over", MacroOf(typedA, 4, 0), kTotal, 0, {},
                        false, kTotal, 1});
        list.push_back({"length beyond the steps (MacroLength missing: 0xFFFF)", MacroOf(typedA, 0xFFFF, 1), kTotal,
                        4, typedALines, true, kTotal, 1});
        list.push_back({"length shorter than the steps", MacroOf(typedA, 3, 1), kTotal, 3,
                        {L"A Press", L"Delay 25 ms", L"A Release"}, true, kTotal, 1});
        list.push_back({"steps left over past a zero length", MacroOf(typedA, 0, 1), kTotal, 0, {}, true, kTotal, 1});
        list.push_back({"a negative running total starts at 0", MacroOf(typedA, 4, 1), -5, 4, typedALines, true, 0, 1});
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

TEST_F(RecorderFixture, CtrlXShortcutOpensAsSevenLinesAndIsKeptWithAClosingPause)
{
    auto profile = std::make_unique<PROFILE_CONFIG>();
    ASSERT_TRUE(BuildShortcutMacro(*profile, 4, FUN_CTRL_X, UsLayout()));
    Open(profile->TButton[4].Macro);

    EXPECT_EQ(recorder->StepCount(), 7);
    EXPECT_EQ(recorder->ShownLength(), 7);
    EXPECT_EQ(recorder->ListLines(), (std::vector<std::wstring>{L"Ctrl Press", L"Delay 1 ms", L"X Press", L"Delay 0 ms",
                                                                L"X Release", L"Delay 1 ms", L"Ctrl Release"}));

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
    MACRO_DATA loaded;  // what the file gave (only files with a whole macro get here)
    int count;          // step count after the load (finished)
    int shown;
    uint8_t repeatOption;
};

TEST_F(RecorderFixture, LoadedMacroReplacesTheWorkingOne)
{
    const std::vector<Step> typedAB = {{A, 1}, {P, 25}, {A, 0}, {P, 25}, {B, 1}, {P, 25}, {B, 0}, {P, 0}};
    MACRO_DATA endsOnRelease = LongMacro(700, 700);
    endsOnRelease.Steps[699].Value = 0;
    const LoadCase cases[] = {
        {"a saved recording", MacroOf(typedAB, 8, 3), 8, 8, 3},
        {"700 steps", LongMacro(700, 700), 700, 700, 2},
        {"700 steps ending on a release: no room for a closing pause", endsOnRelease, 700, 700, 2},
        {"a release last without its closing pause gets one", LongMacro(2, 2), 3, 2, 2},
        {"MacroLength 0 over steps", MacroOf(typedAB, 0, 1), 0, 0, 1},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open(empty);
        recorder->StartRecording();
        Take(Typed("C"));
        recorder->DropRecording();  // Load leaves the recording before its file dialog
        const int totalBefore = recorder->RunningTotal();
        recorder->Load(c.loaded);

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

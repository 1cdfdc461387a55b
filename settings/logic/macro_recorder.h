#pragma once
// What the macro editor does to its macro, without its window: taking recorded key events (held
// keys record one press), the pauses between events (the delay field's length, or as typed), the
// step limit, the closing pause, the lines of the step list, editing steps one by one, and the
// rules for a macro given by a slot or read from a ".Macro" file.
//
// The editor window owns one MacroRecorder, calls the operation of each command and copies the
// list lines onto its list box. Key codes and key names come in through MacroKeyText and the time
// of key events through MacroClock, so that tests can give a fixed layout, fixed names and time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profile_records.h"

namespace qelt {

constexpr int MACRO_RECORD_MAX_STEPS = 108;
constexpr int MACRO_DEFAULT_DELAY = 25;  // ms between two recorded key events, until the user sets another
// The keyboard plays a pause in 25 ms units, one byte of them per pause entry.
constexpr int MACRO_DELAY_UNIT = 25;
constexpr int MACRO_MAX_DELAY = 255 * MACRO_DELAY_UNIT;
// A recording stops at the event that finds this many steps (room for a pause, a key step and
// the closing pause below the limit). The releases of keys still held then follow, past the
// limit but within the 700 steps of a macro.
constexpr int MACRO_RECORD_STOP_AT = MACRO_RECORD_MAX_STEPS - 2;

// The key code of a virtual key and the display name of a key code, in the user's layout.
class MacroKeyText {
public:
    virtual ~MacroKeyText() = default;
    virtual uint8_t KeyCodeOf(unsigned virtualKey) const = 0;
    virtual std::wstring NameOfCode(uint8_t keyCode) const = 0;
};

// Milliseconds of a clock that never goes back; only differences count.
class MacroClock {
public:
    virtual ~MacroClock() = default;
    virtual int64_t NowMs() const = 0;
};
// The process's steady clock.
const MacroClock& SteadyMacroClock();

// A pause the editor writes: the nearest multiple of 25 ms, at least 25 and at most 6375.
int RoundedDelay(int64_t milliseconds);

// One event of the hook library: wParam bits 0-7 virtual key, bits 16-23 scan code; lParam the
// event flags (0x80: released).
struct RecordedKey {
    unsigned virtualKey = 0;
    unsigned scanCode = 0;
    uint32_t flags = 0;

    static RecordedKey FromMessage(uintptr_t wParam, intptr_t lParam)
    {
        return RecordedKey{unsigned(wParam & 0xFF), unsigned((wParam >> 16) & 0xFF), uint32_t(lParam)};
    }
    bool Released() const { return (flags & 0x80) != 0; }
};

// The international keys the key table lists under the system's own virtual-key values, found by
// their scan codes; any other scan code keeps the event's virtual key.
unsigned VirtualKeyOfRecordedKey(const RecordedKey& key);

// What taking one event did.
struct TakeOutcome {
    bool bTaken = false;         // the window message's result (1) when set
    bool bLimitReached = false;  // the recording ended here: remove the hook, warn the user
};

// The step count never passes MACRO_MAX_STEPS, and a recording never takes a key event past
// MACRO_RECORD_MAX_STEPS. A key without a key code is never recorded. A macro the recorder gives
// away (OK, Save, the step limit) never ends with a key still pressed: the keys still held get
// their releases, each after a pause.
class MacroRecorder {
public:
    using MacroWriter = std::function<void(const MACRO_DATA&)>;

    // The macro of a slot and its profile's running total. A macro whose RepeatOption is 0 was
    // never filled (or was reset): the editor starts from an empty one with RepeatOption 1.
    MacroRecorder(const MACRO_DATA& given, int macroTotal, const MacroKeyText& keys,
                  const MacroClock& clock = SteadyMacroClock());

    // Dialog initialisation: the list and the step count from the given macro.
    void Open();

    // Record: a fresh recording (steps cleared, running total back to its start).
    void StartRecording();
    TakeOutcome TakeKey(const RecordedKey& key);
    // Stop and the other commands that end a recording (Repeat, limit): closing pause, list.
    void FinishRecording();
    // Load and Save drop the recording before their file dialogs, without finishing it.
    void DropRecording() { m_bRecording = false; }
    // OK and Save: the held keys released, finished, and the stored length is the step count.
    void FinishForKeeping();

    // Load: a macro read whole from a file becomes the working macro; the length read is taken
    // as the step count, clipped as CountSteps says. (A file that does not hold a whole macro is
    // refused before it gets here, and the editor keeps its macro.)
    void Load(const MACRO_DATA& loaded);
    // Save: finished and written whole.
    void Save(const MacroWriter& write);

    void SetRepeatOption(uint8_t option) { m_macro.RepeatOption = option; }

    // The pause recording writes between two events: the delay field's value, rounded
    // (RoundedDelay); or, as typed, the time the user took, rounded the same way.
    void SetDelay(int64_t typedMilliseconds) { m_nDelay = RoundedDelay(typedMilliseconds); }
    int Delay() const { return m_nDelay; }
    void SetAsTyped(bool asTyped) { m_bAsTyped = asTyped; }
    bool AsTyped() const { return m_bAsTyped; }

    // Step editing, outside a recording. List line n is step n. Each edit keeps the step count,
    // the shown number and the running total in step with the steps, and returns false when it
    // changes nothing (no such line, a recording runs, no room).
    //
    // A key line: its key's press and release go, each with the pause before it (the first step
    // takes the pause after it instead), so the macro stays balanced; the partner is the next
    // release of that key after a press, or the last press before a release. A pause line: that
    // pause goes.
    bool DeleteLine(int line);
    // The pause on `line` gets the typed length, rounded.
    bool SetPause(int line, int64_t typedMilliseconds);
    // A pause of the typed length, rounded, goes in after `line`.
    bool InsertPauseAfter(int line, int64_t typedMilliseconds);
    // The length of the pause on `line`; nothing for a key line or no line.
    std::optional<int> PauseOnLine(int line) const;

    // The count of leading steps that hold a key or a pause (code not 0), at most `bound` and at
    // most MACRO_MAX_STEPS: how far a macro of that length can be read.
    static int CountSteps(const MACRO_DATA& macro, int bound);

    const MACRO_DATA& Macro() const { return m_macro; }
    int StepCount() const { return m_nStepCount; }
    int ShownLength() const { return m_nShownLength; }
    int RunningTotal() const { return m_nRunningTotal; }
    bool Recording() const { return m_bRecording; }

    // The step list: one line per step (a key's name and " Press" or " Release", or "Delay N ms"
    // for a pause), whether it is enabled, and a generation that changes whenever it is emptied
    // (the window refills its list box then, else applies the list edits).
    const std::vector<std::wstring>& ListLines() const { return m_lines; }
    bool ListEnabled() const { return m_bListEnabled; }
    void EnableList() { m_bListEnabled = true; }
    unsigned ListGeneration() const { return m_nListGeneration; }
    // Top line the list should scroll to after the last operation, once.
    std::optional<int> TakeListTop() { return std::exchange(m_listTop, std::nullopt); }
    // The lines put in or removed since the list was last emptied, in order, taken once: the
    // window changes just those lines of its list box (after a new generation it refills it from
    // ListLines instead).
    struct ListEdit {
        bool bInsert = false;  // else removed
        int nLine = 0;
        std::wstring strText;  // of an inserted line
    };
    std::vector<ListEdit> TakeListEdits() { return std::exchange(m_listEdits, {}); }

private:
    void Append(uint8_t code, int32_t value);
    std::wstring LineOf(const MACRO_STEP& step) const;
    bool CanEdit(int line) const { return !m_bRecording && line >= 0 && line < m_nStepCount; }
    void RemoveStep(int index);
    void InsertStep(int index, uint8_t code, int32_t value);
    void ChangeValue(int index, int32_t value);
    void EditDone();
    void ClearList();
    void RefreshList();
    void Finish();
    void ReleaseHeldKeys();

    const MacroKeyText& m_keys;
    const MacroClock& m_clock;
    MACRO_DATA m_macro{};
    int m_nStepCount = 0;
    int m_nShownLength = 0;
    int m_nInitialTotal = 0;
    int m_nRunningTotal = 0;
    bool m_bRecording = false;
    unsigned m_nLastScan = 0;
    uint32_t m_nLastFlags = 0;
    int64_t m_nLastEventMs = 0;  // when the last step was recorded
    int m_nDelay = MACRO_DEFAULT_DELAY;
    bool m_bAsTyped = false;

    std::vector<std::wstring> m_lines;
    bool m_bListEnabled = false;
    unsigned m_nListGeneration = 0;
    std::optional<int> m_listTop;
    std::vector<ListEdit> m_listEdits;
};

} // namespace qelt

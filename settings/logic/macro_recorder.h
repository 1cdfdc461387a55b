#pragma once
// What the macro editor does to its macro, without its window: taking recorded key events (held
// keys record one press), the 25 ms pauses between events, the step limit, the closing pause, the
// lines of the step list, and the rules for a macro given by a slot or read from a ".Macro" file.
//
// The editor window owns one MacroRecorder, calls the operation of each command and copies the
// list lines onto its list box. Key codes and key names come in through MacroKeyText so that tests
// can give a fixed layout and fixed names.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "profile_records.h"

namespace qelt {

constexpr int MACRO_RECORD_MAX_STEPS = 108;
constexpr int MACRO_DEFAULT_DELAY = 25;  // ms between two recorded key events
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
    MacroRecorder(const MACRO_DATA& given, int macroTotal, const MacroKeyText& keys);

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

    // The count of leading steps that hold a key or a pause (code not 0), at most `bound` and at
    // most MACRO_MAX_STEPS: how far a macro of that length can be read.
    static int CountSteps(const MACRO_DATA& macro, int bound);

    const MACRO_DATA& Macro() const { return m_macro; }
    int StepCount() const { return m_nStepCount; }
    int ShownLength() const { return m_nShownLength; }
    int RunningTotal() const { return m_nRunningTotal; }
    bool Recording() const { return m_bRecording; }

    // The step list: its lines, whether it is enabled, and a generation that changes whenever it
    // is emptied (the window refills its list box then, else appends the new lines).
    const std::vector<std::wstring>& ListLines() const { return m_lines; }
    bool ListEnabled() const { return m_bListEnabled; }
    void EnableList() { m_bListEnabled = true; }
    unsigned ListGeneration() const { return m_nListGeneration; }
    // Top line the list should scroll to after the last operation, once.
    std::optional<int> TakeListTop() { return std::exchange(m_listTop, std::nullopt); }

private:
    void Append(uint8_t code, int32_t value);
    void AddLine(uint8_t code, int32_t value);
    void ClearList();
    void RefreshList();
    void Finish();
    void ReleaseHeldKeys();

    const MacroKeyText& m_keys;
    MACRO_DATA m_macro{};
    int m_nStepCount = 0;
    int m_nShownLength = 0;
    int m_nInitialTotal = 0;
    int m_nRunningTotal = 0;
    bool m_bRecording = false;
    unsigned m_nLastScan = 0;
    uint32_t m_nLastFlags = 0;

    std::vector<std::wstring> m_lines;
    bool m_bListEnabled = false;
    unsigned m_nListGeneration = 0;
    std::optional<int> m_listTop;
};

} // namespace qelt

#include "macro_recorder.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "diag.h"

namespace qelt {

namespace {

constexpr int32_t kPressed = 1;
constexpr int32_t kReleased = 0;
constexpr int32_t kClosingPause = 0;
constexpr int kNewestVisibleLines = 7;  // while recording, the newest lines stay in view
constexpr int kLinesAboveWarning = 6;

bool IsPause(const MACRO_STEP& step)
{
    return step.Code == MACRO_STEP_DELAY;
}

// Keys pressed in the first `count` steps and not released after, in the order of their presses.
std::vector<uint8_t> HeldKeys(const MACRO_DATA& macro, int count)
{
    std::vector<uint8_t> held;
    for (int i = 0; i < count; ++i) {
        const MACRO_STEP& step = macro.Steps[i];
        if (IsPause(step))
            continue;
        held.erase(std::remove(held.begin(), held.end(), step.Code), held.end());
        if (step.Value & 1)
            held.push_back(step.Code);
    }
    return held;
}

// Steps the releases of the held keys take: a pause and a release each.
int RoomForReleases(const MACRO_DATA& macro, int count)
{
    return 2 * int(HeldKeys(macro, count).size());
}

class SteadyClock final : public MacroClock {
public:
    int64_t NowMs() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace

const MacroClock& SteadyMacroClock()
{
    static const SteadyClock clock;
    return clock;
}

int RoundedDelay(int64_t milliseconds)
{
    if (milliseconds >= MACRO_MAX_DELAY)
        return MACRO_MAX_DELAY;
    const int64_t units = (std::max<int64_t>(milliseconds, 0) + MACRO_DELAY_UNIT / 2) / MACRO_DELAY_UNIT;
    return int(std::max<int64_t>(units, 1)) * MACRO_DELAY_UNIT;
}

unsigned VirtualKeyOfRecordedKey(const RecordedKey& key)
{
    // Scan code -> the key table's own virtual key of an international key (HID 0x8B, 0x8A,
    // 0x88, 0x87, 0x89), which the platform reports under other virtual keys or none.
    struct International {
        unsigned scanCode;
        unsigned virtualKey;
    };
    static constexpr International kInternational[] = {
        {0x7B, 0x98}, {0x79, 0x97}, {0x70, 0x88}, {0x73, 0x99}, {0x7D, 0x3C},
    };
    for (const International& entry : kInternational) {
        if (entry.scanCode == key.scanCode)
            return entry.virtualKey;
    }
    return key.virtualKey;
}

MacroRecorder::MacroRecorder(const MACRO_DATA& given, int macroTotal, const MacroKeyText& keys,
                             const MacroClock& clock)
    : m_keys(keys), m_clock(clock)
{
    m_nInitialTotal = m_nRunningTotal = std::max(macroTotal, 0);
    if (given.RepeatOption != 0) {
        m_macro = given;
    } else {
        m_macro = MACRO_DATA{};
        m_macro.RepeatOption = 1;
    }
    // A stored length can be anything up to 0xFFFF; the editor shows, counts and keeps only the
    // steps it can read.
    m_nShownLength = CountSteps(m_macro, given.RepeatOption != 0 ? given.length : 0);
    m_macro.length = uint16_t(m_nShownLength);
}

int MacroRecorder::CountSteps(const MACRO_DATA& macro, int bound)
{
    const int limit = std::min(bound, MACRO_MAX_STEPS);
    int count = 0;
    while (count < limit && macro.Steps[count].Code != 0)
        ++count;
    return count;
}

void MacroRecorder::Open()
{
    m_nStepCount = 0;
    RefreshList();
}

void MacroRecorder::StartRecording()
{
    m_nStepCount = 0;
    m_nRunningTotal = m_nInitialTotal;
    std::memset(m_macro.Steps, 0, sizeof m_macro.Steps);
    m_nLastScan = 0;
    m_nLastFlags = 0;
    Finish();
    m_bRecording = true;
    ClearList();
}

TakeOutcome MacroRecorder::TakeKey(const RecordedKey& key)
{
    if (!m_bRecording)
        return {};
    // A held key repeats its press with the same scan code and flags: only the first counts.
    if (key.scanCode == m_nLastScan && key.flags == m_nLastFlags)
        return {};
    if (m_nStepCount >= MACRO_RECORD_STOP_AT) {
        // The keys still held get their releases, so the keyboard leaves none of them down.
        ReleaseHeldKeys();
        FinishRecording();
        m_listTop = std::max(int(m_lines.size()) - kLinesAboveWarning, 0);
        return {true, true};
    }

    const uint8_t code = m_keys.KeyCodeOf(VirtualKeyOfRecordedKey(key));
    if (code == 0) {
        // Code 0 ends a macro for the list, the step count and the keyboard alike.
        Diag(L"Key without a key code not recorded: virtual key 0x%02X, scan code 0x%02X\n", key.virtualKey,
             key.scanCode);
        m_nLastScan = key.scanCode;  // its auto-repeat is dropped as any other's
        m_nLastFlags = key.flags;
        return {};
    }
    // Every gap between two events is the delay field's pause, or as typed the time the user
    // took since the last step, as the keyboard can play it.
    const int64_t now = m_clock.NowMs();
    if (m_nStepCount > 0)
        Append(MACRO_STEP_DELAY, m_bAsTyped ? RoundedDelay(now - m_nLastEventMs) : m_nDelay);
    const int32_t value = key.Released() ? kReleased : kPressed;
    Append(code, value);
    if (int(m_lines.size()) > kNewestVisibleLines)
        m_listTop = int(m_lines.size()) - kNewestVisibleLines;

    m_nLastScan = key.scanCode;
    m_nLastFlags = key.flags;
    m_nLastEventMs = now;
    return {true, false};
}

void MacroRecorder::FinishRecording()
{
    Finish();
    m_bRecording = false;
}

void MacroRecorder::FinishForKeeping()
{
    ReleaseHeldKeys();
    FinishRecording();
    m_macro.length = uint16_t(m_nStepCount);
}

void MacroRecorder::Load(const MACRO_DATA& loaded)
{
    m_bRecording = false;
    m_macro = loaded;
    m_nShownLength = m_nStepCount = CountSteps(m_macro, m_macro.length);
    m_macro.length = uint16_t(m_nStepCount);
    RefreshList();
    Finish();
}

void MacroRecorder::Save(const MacroWriter& write)
{
    FinishForKeeping();
    write(m_macro);
}

void MacroRecorder::Append(uint8_t code, int32_t value)
{
    if (m_nStepCount >= MACRO_MAX_STEPS)
        return;  // only a loaded macro gets this far, and it gains nothing past the last step
    InsertStep(m_nStepCount, code, value);
}

void MacroRecorder::InsertStep(int index, uint8_t code, int32_t value)
{
    std::copy_backward(m_macro.Steps + index, m_macro.Steps + m_nStepCount, m_macro.Steps + m_nStepCount + 1);
    MACRO_STEP& step = m_macro.Steps[index];
    step = MACRO_STEP{};
    step.Code = code;
    step.Value = value;
    ++m_nStepCount;
    ++m_nRunningTotal;
    // The list shows the steps it was last filled with, and follows from there.
    if (index <= int(m_lines.size())) {
        m_lines.insert(m_lines.begin() + index, LineOf(step));
        m_listEdits.push_back(ListEdit{true, index, m_lines[size_t(index)]});
    }
}

void MacroRecorder::RemoveStep(int index)
{
    std::copy(m_macro.Steps + index + 1, m_macro.Steps + m_nStepCount, m_macro.Steps + index);
    --m_nStepCount;
    m_macro.Steps[m_nStepCount] = MACRO_STEP{};
    m_nRunningTotal = std::max(m_nRunningTotal - 1, 0);
    if (index < int(m_lines.size())) {
        m_lines.erase(m_lines.begin() + index);
        m_listEdits.push_back(ListEdit{false, index, {}});
    }
}

void MacroRecorder::ChangeValue(int index, int32_t value)
{
    m_macro.Steps[index].Value = value;
    if (index < int(m_lines.size())) {
        m_lines[size_t(index)] = LineOf(m_macro.Steps[index]);
        m_listEdits.push_back(ListEdit{false, index, {}});
        m_listEdits.push_back(ListEdit{true, index, m_lines[size_t(index)]});
    }
}

std::optional<int> MacroRecorder::PauseOnLine(int line) const
{
    if (line < 0 || line >= m_nStepCount || !IsPause(m_macro.Steps[line]))
        return std::nullopt;
    return m_macro.Steps[line].Value;
}

bool MacroRecorder::DeleteLine(int line)
{
    if (!CanEdit(line))
        return false;
    const MACRO_STEP selected = m_macro.Steps[line];
    if (IsPause(selected)) {
        RemoveStep(line);
        EditDone();
        return true;
    }
    const bool pressed = (selected.Value & 1) != 0;
    auto isPartner = [&](int i) {
        const MACRO_STEP& step = m_macro.Steps[i];
        return !IsPause(step) && step.Code == selected.Code && ((step.Value & 1) != 0) != pressed;
    };
    int partner = -1;
    if (pressed) {
        for (int i = line + 1; i < m_nStepCount && partner < 0; ++i)
            partner = isPartner(i) ? i : -1;
    } else {
        for (int i = line - 1; i >= 0 && partner < 0; --i)
            partner = isPartner(i) ? i : -1;
    }
    // A key step goes with the pause that led to it; the first step has none, and takes the one
    // after it, so the macro does not start with a wait.
    auto removeKeyStep = [this](int index) {
        if (index > 0 && IsPause(m_macro.Steps[index - 1])) {
            RemoveStep(index);
            RemoveStep(index - 1);
        } else if (index == 0 && m_nStepCount > 1 && IsPause(m_macro.Steps[1])) {
            RemoveStep(1);
            RemoveStep(0);
        } else {
            RemoveStep(index);
        }
    };
    // The later step first, so the earlier one keeps its index.
    removeKeyStep(std::max(line, partner));
    if (partner >= 0)
        removeKeyStep(std::min(line, partner));
    EditDone();
    return true;
}

bool MacroRecorder::SetPause(int line, int64_t typedMilliseconds)
{
    if (!CanEdit(line) || !IsPause(m_macro.Steps[line]))
        return false;
    ChangeValue(line, RoundedDelay(typedMilliseconds));
    EditDone();
    return true;
}

bool MacroRecorder::InsertPauseAfter(int line, int64_t typedMilliseconds)
{
    if (!CanEdit(line) || m_nStepCount >= MACRO_MAX_STEPS)
        return false;
    InsertStep(line + 1, MACRO_STEP_DELAY, RoundedDelay(typedMilliseconds));
    EditDone();
    return true;
}

void MacroRecorder::EditDone()
{
    // The number drawn is the macro's length, which an edit changes as a load does.
    m_nShownLength = m_nStepCount;
    m_macro.length = uint16_t(m_nStepCount);
}

void MacroRecorder::ReleaseHeldKeys()
{
    int count = m_nStepCount;
    // A macro of 700 steps may leave no room: its last steps give way to the releases.
    while (count > 0 && count + RoomForReleases(m_macro, count) > MACRO_MAX_STEPS)
        --count;
    if (count < m_nStepCount) {
        Diag(L"Macro of %d steps ends with keys held: cut to %d steps to release them\n", m_nStepCount, count);
        std::fill(m_macro.Steps + count, m_macro.Steps + m_nStepCount, MACRO_STEP{});
        m_nStepCount = count;
    }
    const std::vector<uint8_t> held = HeldKeys(m_macro, m_nStepCount);
    // The last key pressed is released first, as fingers leave a chord.
    for (auto key = held.rbegin(); key != held.rend(); ++key) {
        MACRO_STEP* last = m_nStepCount > 0 ? &m_macro.Steps[m_nStepCount - 1] : nullptr;
        if (last != nullptr && IsPause(*last) && last->Value == kClosingPause)
            ChangeValue(m_nStepCount - 1, m_nDelay);  // a closing pause is no time to let go of a key
        else if (last != nullptr && !IsPause(*last))
            Append(MACRO_STEP_DELAY, m_nDelay);
        Append(*key, kReleased);
    }
}

std::wstring MacroRecorder::LineOf(const MACRO_STEP& step) const
{
    if (IsPause(step))
        return L"Delay " + std::to_wstring(step.Value) + L" ms";
    return m_keys.NameOfCode(step.Code) + ((step.Value & 1) ? L" Press" : L" Release");
}

void MacroRecorder::ClearList()
{
    m_lines.clear();
    m_listEdits.clear();
    ++m_nListGeneration;
}

void MacroRecorder::RefreshList()
{
    // A macro without a first step leaves the list as it is (empty and disabled when opened).
    if (m_macro.Steps[0].Code == 0)
        return;
    ClearList();
    m_bListEnabled = true;
    // Without a count (an opened macro) the count is rebuilt from the steps the shown length
    // covers.
    if (m_nStepCount <= 0)
        m_nStepCount = CountSteps(m_macro, m_nShownLength);
    m_lines.reserve(size_t(m_nStepCount));
    for (int i = 0; i < m_nStepCount; ++i)
        m_lines.push_back(LineOf(m_macro.Steps[i]));
}

void MacroRecorder::Finish()
{
    // A recording that ended on a release gets a closing pause; one that ended on a press (a key
    // still held) does not.
    if (m_nStepCount >= 1) {
        const MACRO_STEP& last = m_macro.Steps[m_nStepCount - 1];
        if (!IsPause(last) && last.Value == kReleased)
            Append(MACRO_STEP_DELAY, kClosingPause);
    }
    RefreshList();
}

} // namespace qelt

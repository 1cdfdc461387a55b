#pragma once
// What the main window shows, as plain data: the look of the 154 keyboard keys, the ten slots'
// buttons, the profile buttons and the status button, plus the slot being edited and its blink.
// The operations here are the main window's display logic; the window reads the looks (Key, Slot,
// ProfileButtonSelected, StatusSelected), copies what changed onto its bitmap buttons, and runs the
// blink timer the state asks for (BlinkTimer).
//
// No platform calls, so the whole flow of selecting, binding and relabelling is tested natively.
#include <array>
#include <cstdint>
#include <string>

#include "profile_ops.h"
#include "profile_records.h"

namespace qelt {

constexpr int KEY_COUNT = 154;           // keyboard keys of the picture ("KEYS" 20-173)
constexpr int BINDABLE_KEY_COUNT = 118;  // keys 118-153 are shown but never become a slot's key
constexpr int USER_PROFILE_COUNT = 5;    // profile buttons; profile 5 (PC mode) has none
constexpr int FUNCTION_NAME_COUNT = 13;  // items of the function menu
constexpr int NO_KEY = -1;
constexpr int MACRO_EDITOR_OK = 1;       // the macro editor's end code for OK (2: Cancel)

// Blink timers of the slot being edited (500 ms each).
constexpr unsigned TIMER_BLINK_KEY = 11026;   // slot with a key and a function: slot and key blink
constexpr unsigned TIMER_BLINK_SLOT = 11027;  // otherwise: the slot button blinks
constexpr unsigned BLINK_PERIOD_MS = 500;

// Function-menu items (the end code of the menu) and what a slot label shows for a code.
enum FunctionItem : int {
    ITEM_NO_FUNCTION = 0,
    ITEM_MACRO = 1,
    ITEM_FIRST_SHORTCUT = 2,  // items 2-10: Ctrl+X ... Ctrl+S (FunID 1-9)
    ITEM_LAST_SHORTCUT = 10,
    ITEM_LAUNCH_APP = 11,
    ITEM_DISABLE_KEY = 12,
};
int FunctionNameIndex(uint8_t funId);
// What a label shows for a chosen program: its file name without the extension.
std::wstring ProgramFileTitle(const std::wstring& path);

struct KeyLook {
    bool bEnabled = false;
    bool bSelected = false;
    int nLabelSlot = -1;  // -1: plain images; else the "Notext" images captioned "M<slot+1>"
};

struct SlotLook {
    bool bSlotSelected = false;  // the slot button (M1-M10)
    bool bLabelEnabled = false;  // the function-label button
    bool bLabelGreyed = false;
    std::wstring strCaption;     // the function-label button's caption
};

using FunctionNames = std::array<std::wstring, FUNCTION_NAME_COUNT>;

class MainWindowState {
public:
    MainWindowState(KB_CONFIG& keyboard, ProfileArray& profiles, FunctionNames names);

    // --- the image -------------------------------------------------------------------------
    int CurrentProfile() const { return ClampedProfile(m_keyboard.CurrantProfile); }
    PROFILE_CONFIG& Profile() { return m_profiles[CurrentProfile()]; }
    const PROFILE_CONFIG& Profile() const { return m_profiles[CurrentProfile()]; }
    int SlotKey(int slot) const;  // NO_KEY when unbound (or bound beyond the picture)
    bool SlotHasFunction(int slot) const;

    // --- display operations -----------------------------------------------------------------
    // Profile buttons and CurrantProfile for p (0-4); PC mode (5) keeps the buttons as they are.
    void SetProfileButtons(int profile);
    void ShowProfileButtonsFromConfig();  // after the agent changed the profile
    void RefreshKeyDisplay();
    void ShowSlotStates(int slot);  // -1: no slot selected, all keys disabled
    void SetKeyLabel(int key, bool on, int slot);
    void RefreshSlotLabels();
    void DisableAllKeys();

    // --- key assignment --------------------------------------------------------------------
    void SelectSlot(int slot, bool displayOnly);
    // A click on key k: binds it to the selected slot. Ignored for keys 118-153 or without a slot.
    void BindKeyToSlot(int key);
    // After the function menu ended with item (an end code: -1 or 0-12). launchPath is the
    // program chosen for item 11 (empty: the file dialog was cancelled, nothing changes).
    // The shortcut macros are built with layout. A menu closed without a choice (-1) and the
    // macro item leave the slot and the modified flag alone; every other item marks the profile
    // modified.
    void ChooseFunction(int slot, int item, const std::wstring& launchPath, const KeyboardLayout& layout);
    // The macro editor opened from the menu's macro item has ended with endCode: OK with at least
    // two steps gives the slot the macro (TakeMacro); Cancel or fewer steps leave the slot as it
    // was before the menu opened. True when the slot took the macro.
    bool TakeEditedMacro(int slot, int endCode, int stepCount, const MACRO_DATA& macro, int macroTotal);
    // The slot becomes a macro slot with this macro; the profile is modified.
    void TakeMacro(int slot, const MACRO_DATA& macro, int macroTotal);
    // After an apply: every slot shown as applied (labels disabled, slot buttons by function)
    // and every key relabelled.
    void ShowApplied();

    void BlinkTick();
    void ToggleStatus();

    // --- what the window reads -------------------------------------------------------------
    const KeyLook& Key(int key) const { return m_keys[size_t(key)]; }
    const SlotLook& Slot(int slot) const { return m_slots[size_t(slot)]; }
    bool ProfileButtonSelected(int profile) const { return m_profileSelected[size_t(profile)]; }
    bool StatusSelected() const { return m_bStatusSelected; }
    int SelectedSlot() const { return m_nSelectedSlot; }
    unsigned BlinkTimer() const { return m_nBlinkTimer; }  // 0: none running
    int LabelledKey(int slot) const { return m_labelledKey[size_t(slot)]; }

    // The count starts with the parity of the skin's state (selected when even), so the first
    // toggle flips the button whichever state the skin gives.
    void SetStatusSelected(bool selected)
    {
        m_bStatusSelected = selected;
        m_nStatusCount = selected ? 0 : 1;
    }
    void SetProfileButtonSelected(int profile, bool selected) { m_profileSelected[size_t(profile)] = selected; }

    bool m_bEditorModified = false;

private:
    bool SlotHasKeyIndex(int slot) const { return SlotKey(slot) != NO_KEY; }
    void PlainKey(int key);
    void EnableFreeKeys();
    void Relabel();
    // Every slot's key shows its slot's label.
    void LabelSlotKeys();
    void StopBlink() { m_nBlinkTimer = 0; }

    KB_CONFIG& m_keyboard;
    ProfileArray& m_profiles;
    FunctionNames m_names;

    std::array<KeyLook, KEY_COUNT> m_keys{};
    std::array<SlotLook, BUTTON_COUNT> m_slots{};
    std::array<bool, USER_PROFILE_COUNT> m_profileSelected{};
    std::array<int, BUTTON_COUNT> m_labelledKey;
    bool m_bStatusSelected = false;
    int m_nStatusCount = 0;
    int m_nSelectedSlot = -1;
    int m_nLastShownSlot = -1;
    bool m_bBlinkPhase = false;
    unsigned m_nBlinkTimer = 0;
};

} // namespace qelt

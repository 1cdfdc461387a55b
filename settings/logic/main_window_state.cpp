#include "main_window_state.h"

#include <cwchar>
#include <utility>

namespace qelt {

int FunctionNameIndex(uint8_t funId)
{
    if (funId >= FUN_CTRL_X && funId <= FUN_CTRL_S)
        return funId + 1;
    switch (funId) {
    case FUN_LAUNCH_APP: return ITEM_LAUNCH_APP;
    case FUN_DISABLE_KEY: return ITEM_DISABLE_KEY;
    case FUN_MACRO: return ITEM_MACRO;
    default: return ITEM_NO_FUNCTION;  // 0xFF, 0 and codes the menu does not offer
    }
}

std::wstring ProgramFileTitle(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.resize(dot);
    return name;
}

MainWindowState::MainWindowState(KB_CONFIG& keyboard, ProfileArray& profiles, FunctionNames names)
    : m_keyboard(keyboard), m_profiles(profiles), m_names(std::move(names))
{
    m_labelledKey.fill(NO_KEY);
}

int MainWindowState::SlotKey(int slot) const
{
    const uint8_t key = Profile().TButton[slot].MappingKey;
    // A file may name a key the picture does not have: such a slot shows as unbound.
    return key == UNASSIGNED || key >= KEY_COUNT ? NO_KEY : key;
}

bool MainWindowState::SlotHasFunction(int slot) const
{
    const uint8_t funId = Profile().TButton[slot].FunID;
    return funId != FUN_NONE && funId != 0;
}

void MainWindowState::SetProfileButtons(int profile)
{
    if (profile >= 0 && profile < USER_PROFILE_COUNT) {
        for (int p = 0; p < USER_PROFILE_COUNT; ++p)
            m_profileSelected[size_t(p)] = p == profile;
    }
    // PC mode keeps the profile buttons as they are.
    m_keyboard.CurrantProfile = profile;
}

void MainWindowState::ShowProfileButtonsFromConfig()
{
    const int profile = m_keyboard.CurrantProfile;
    if (profile >= 0 && profile < USER_PROFILE_COUNT) {
        for (int p = 0; p < USER_PROFILE_COUNT; ++p)
            m_profileSelected[size_t(p)] = p == profile;
    }
    RefreshKeyDisplay();
    ShowSlotStates(-1);
    RefreshSlotLabels();
}

void MainWindowState::DisableAllKeys()
{
    for (KeyLook& key : m_keys)
        key.bEnabled = false;
}

void MainWindowState::PlainKey(int key)
{
    m_keys[size_t(key)].nLabelSlot = -1;
}

void MainWindowState::SetKeyLabel(int key, bool on, int slot)
{
    if (key < 0 || key >= KEY_COUNT)
        return;
    m_keys[size_t(key)].nLabelSlot = on ? slot : -1;
}

void MainWindowState::RefreshKeyDisplay()
{
    for (KeyLook& key : m_keys)
        key = KeyLook{};
    LabelSlotKeys();
    for (int s = 0; s < BUTTON_COUNT; ++s)
        ShowSlotStates(s);
    ShowSlotStates(-1);
}

void MainWindowState::ShowSlotStates(int slot)
{
    StopBlink();
    if (m_nSelectedSlot >= 0 && SlotHasKeyIndex(m_nSelectedSlot))
        m_keys[size_t(SlotKey(m_nSelectedSlot))].bSelected = true;  // a blink may have left it off
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        SlotLook& look = m_slots[size_t(s)];
        look.bLabelEnabled = false;
        if (!SlotHasKeyIndex(s))
            look.bLabelGreyed = false;
        look.bSlotSelected = SlotHasKeyIndex(s);
    }
    if (slot < 0) {
        DisableAllKeys();
        m_nSelectedSlot = -1;
        return;
    }
    if (SlotHasKeyIndex(slot)) {
        KeyLook& key = m_keys[size_t(SlotKey(slot))];
        key.bSelected = true;
        key.bEnabled = false;
    }
}

void MainWindowState::RefreshSlotLabels()
{
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        SlotLook& look = m_slots[size_t(s)];
        const uint8_t funId = Profile().TButton[s].FunID;
        look.strCaption = m_names[size_t(FunctionNameIndex(funId))];
        look.bLabelGreyed = funId == FUN_DISABLE_KEY;
    }
}

void MainWindowState::EnableFreeKeys()
{
    for (KeyLook& key : m_keys)
        key.bEnabled = true;
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        if (SlotHasKeyIndex(s))
            m_keys[size_t(SlotKey(s))].bEnabled = false;  // a key belongs to one slot only
    }
}

void MainWindowState::SelectSlot(int slot, bool displayOnly)
{
    StopBlink();
    if (m_nSelectedSlot >= 0 && SlotHasKeyIndex(m_nSelectedSlot))
        m_keys[size_t(SlotKey(m_nSelectedSlot))].bSelected = true;
    EnableFreeKeys();

    const int left = m_nLastShownSlot;
    if (left != -1) {
        if (SlotHasFunction(left)) {
            m_slots[size_t(left)].bSlotSelected = true;
        } else {
            // A slot left without a function loses its key.
            if (SlotHasKeyIndex(left)) {
                const int key = SlotKey(left);
                PlainKey(key);
                m_keys[size_t(key)].bEnabled = true;
                m_keys[size_t(key)].bSelected = false;
                Profile().TButton[left].MappingKey = UNASSIGNED;
                // The key shows plain now; forgetting it keeps a later relabel from wiping the
                // look of the same key once another slot holds it.
                m_labelledKey[size_t(left)] = NO_KEY;
            }
            m_slots[size_t(left)].bSlotSelected = false;
        }
    }

    if (slot < 0 || slot >= BUTTON_COUNT) {
        DisableAllKeys();
        m_nSelectedSlot = -1;
        return;
    }
    SlotLook& look = m_slots[size_t(slot)];
    look.bLabelEnabled = false;
    if (SlotHasFunction(slot)) {
        look.bSlotSelected = true;
    } else {
        look.bSlotSelected = false;
        look.bLabelGreyed = false;
    }
    m_nLastShownSlot = slot;

    if (displayOnly) {
        DisableAllKeys();
        m_nSelectedSlot = -1;
        return;
    }
    if (SlotHasKeyIndex(slot) && SlotHasFunction(slot)) {
        KeyLook& key = m_keys[size_t(SlotKey(slot))];
        key.bSelected = true;
        key.bEnabled = false;
        look.bLabelEnabled = true;
        m_nBlinkTimer = TIMER_BLINK_KEY;
    } else {
        look.bLabelGreyed = false;
        m_nBlinkTimer = TIMER_BLINK_SLOT;
    }
    m_nSelectedSlot = slot;
}

void MainWindowState::BindKeyToSlot(int key)
{
    const int slot = m_nSelectedSlot;
    if (key < 0 || key >= BINDABLE_KEY_COUNT || slot < 0)
        return;
    if (key != SlotKey(slot)) {
        StopBlink();
        if (SlotHasKeyIndex(slot)) {
            const int previous = SlotKey(slot);
            PlainKey(previous);
            m_keys[size_t(previous)].bEnabled = true;
            m_keys[size_t(previous)].bSelected = false;
        }
        Profile().TButton[slot].MappingKey = uint8_t(key);
        m_nBlinkTimer = TIMER_BLINK_KEY;
    }
    m_keys[size_t(key)].bSelected = true;
    m_keys[size_t(key)].bEnabled = false;
    m_slots[size_t(slot)].bLabelEnabled = true;
    m_bEditorModified = true;
    Relabel();
}

void MainWindowState::Relabel()
{
    // Keys a slot no longer holds go plain first, so a key that moved to another slot keeps
    // its label whatever the order of the two slots.
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        const int shown = m_labelledKey[size_t(s)];
        if (shown != NO_KEY && shown != SlotKey(s))
            PlainKey(shown);
    }
    LabelSlotKeys();
}

void MainWindowState::LabelSlotKeys()
{
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        const int key = SlotKey(s);
        if (key == NO_KEY)
            continue;
        SetKeyLabel(key, true, s);
        m_labelledKey[size_t(s)] = key;
    }
}

void MainWindowState::ChooseFunction(int slot, int item, const std::wstring& launchPath,
                                     const KeyboardLayout& layout)
{
    if (slot < 0 || slot >= BUTTON_COUNT)
        return;
    // A menu closed without a choice, and the macro item until the macro editor ends with a
    // macro (TakeEditedMacro), leave the slot exactly as it was: function, macro and program.
    if (item < ITEM_NO_FUNCTION || item > ITEM_DISABLE_KEY || item == ITEM_MACRO)
        return;
    BUTTON_CONFIG& button = Profile().TButton[slot];
    SlotLook& look = m_slots[size_t(slot)];
    if (item >= ITEM_FIRST_SHORTCUT && item <= ITEM_LAST_SHORTCUT) {
        look.strCaption = m_names[size_t(item)];
        look.bLabelGreyed = false;
        button.FunID = uint8_t(item - 1);
        BuildShortcutMacro(Profile(), slot, button.FunID, layout);
    } else if (item == ITEM_LAUNCH_APP) {
        if (!launchPath.empty()) {
            look.strCaption = ProgramFileTitle(launchPath);
            look.bLabelGreyed = false;
            button.FunID = FUN_LAUNCH_APP;
            std::wcsncpy(button.AppPath, launchPath.c_str(), APP_PATH_CHARS - 1);
            button.AppPath[APP_PATH_CHARS - 1] = L'\0';
        }
    } else if (item == ITEM_DISABLE_KEY) {
        look.strCaption = m_names[ITEM_DISABLE_KEY];
        button.FunID = FUN_DISABLE_KEY;
        look.bLabelGreyed = true;
    } else {
        look.strCaption = m_names[ITEM_NO_FUNCTION];
        look.bLabelGreyed = false;
        button.FunID = FUN_NONE;
    }
    m_bEditorModified = true;
}

bool MainWindowState::TakeEditedMacro(int slot, int endCode, int stepCount, const MACRO_DATA& macro,
                                      int macroTotal)
{
    // A single step (a key pressed and stopped at once) is no macro.
    if (endCode != MACRO_EDITOR_OK || stepCount < 2)
        return false;
    TakeMacro(slot, macro, macroTotal);
    return true;
}

void MainWindowState::TakeMacro(int slot, const MACRO_DATA& macro, int macroTotal)
{
    if (slot < 0 || slot >= BUTTON_COUNT)
        return;
    BUTTON_CONFIG& button = Profile().TButton[slot];
    button.FunID = FUN_MACRO;
    Profile().nMacroTotal = macroTotal;
    button.Macro = macro;
    m_slots[size_t(slot)].strCaption = L"Macro";  // until the next refresh shows the function name
    m_slots[size_t(slot)].bLabelGreyed = false;
    m_bEditorModified = true;
}

void MainWindowState::ShowApplied()
{
    RefreshKeyDisplay();
    ShowSlotStates(-1);
    m_bEditorModified = false;
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        m_slots[size_t(s)].bLabelEnabled = false;
        m_slots[size_t(s)].bSlotSelected = SlotHasFunction(s);
    }
    for (int k = 0; k < KEY_COUNT; ++k)
        PlainKey(k);
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        if (SlotHasKeyIndex(s))
            SetKeyLabel(SlotKey(s), true, s);
    }
}

void MainWindowState::BlinkTick()
{
    m_bBlinkPhase = !m_bBlinkPhase;
    if (m_nSelectedSlot < 0)
        return;
    if (SlotHasKeyIndex(m_nSelectedSlot))
        m_keys[size_t(SlotKey(m_nSelectedSlot))].bSelected = m_bBlinkPhase;
    m_slots[size_t(m_nSelectedSlot)].bSlotSelected = m_bBlinkPhase;
}

void MainWindowState::ToggleStatus()
{
    ++m_nStatusCount;
    m_bStatusSelected = m_nStatusCount % 2 == 0;
}

} // namespace qelt

#pragma once
// The keyboard configuration as both programs hold it in memory: one keyboard settings record and
// six profile records. Plain fixed-size data without pointers, so a slot's macro copies as one block.
// The byte layout of MACRO_STEP is also the stored format of a macro (the Macro value of a profile file).
#include <cstddef>
#include <cstdint>

constexpr int PROFILE_COUNT = 6;       // profiles 0-4 are the user's, 5 is PC mode
constexpr int PC_MODE_PROFILE = 5;
constexpr int BUTTON_COUNT = 10;       // slots M1-M10
constexpr int MACRO_MAX_STEPS = 700;
constexpr int APP_PATH_CHARS = 260;    // 259 characters and the terminator
constexpr uint8_t UNASSIGNED = 0xFF;   // unset FunID or MappingKey
constexpr uint8_t MACRO_STEP_DELAY = 0xFF;

// Function codes of a slot (FunID). Any other value behaves like FUN_DISABLE_KEY on the device.
enum : uint8_t {
    FUN_NONE = 0xFF,
    FUN_CTRL_X = 1,
    FUN_CTRL_C = 2,
    FUN_CTRL_V = 3,
    FUN_CTRL_Z = 4,
    FUN_CTRL_A = 5,
    FUN_CTRL_F = 6,
    FUN_CTRL_N = 7,
    FUN_CTRL_P = 8,
    FUN_CTRL_S = 9,
    FUN_LAUNCH_APP = 0x10,
    FUN_DISABLE_KEY = 0x11,
    FUN_MACRO = 0x20,
};

// One macro step: a key press/release (Code = HID usage, Value 1/0) or a pause
// (Code = MACRO_STEP_DELAY, Value = milliseconds).
struct MACRO_STEP {
    uint8_t Code;
    uint8_t Reserved[3];
    int32_t Value;
};
static_assert(sizeof(MACRO_STEP) == 8, "MACRO_STEP is a stored format");
static_assert(offsetof(MACRO_STEP, Value) == 4, "MACRO_STEP is a stored format");

struct MACRO_DATA {
    uint16_t length;                      // valid steps; a file may hold more than 700, readers stop at 700
    MACRO_STEP Steps[MACRO_MAX_STEPS];
    uint8_t RepeatOption;
};
static_assert(sizeof(MACRO_DATA::Steps) == 5600, "the Macro value holds exactly 5600 bytes");

struct BUTTON_CONFIG {
    uint8_t FunID;
    wchar_t AppPath[APP_PATH_CHARS];     // only meaningful with FUN_LAUNCH_APP
    uint8_t MappingKey;                  // index into the keyboard picture / key position table
    MACRO_DATA Macro;
};

struct PROFILE_CONFIG {
    int32_t nMacroTotal;
    BUTTON_CONFIG TButton[BUTTON_COUNT];
    int32_t DiableWinKey;
};

struct KB_CONFIG {
    int32_t nDeviceStatus;
    int32_t nLight;
    int32_t CurrantProfile;
};

// One item of a device macro: kind in the low byte of wCode (0x84 key, 0x86 end, 0x87 pause),
// key code in the high byte; bParam is press/release, the pause in 25 ms units, or 1 for the end.
struct KB_DATA {
    uint16_t wCode;
    uint8_t bParam;
};

// A macro is used only up to 700 steps, whatever its stored length says.
inline int UsableMacroSteps(const MACRO_DATA& macro)
{
    return macro.length < MACRO_MAX_STEPS ? macro.length : MACRO_MAX_STEPS;
}

#pragma once
// The editor's warnings and confirmations, by the skin each one uses. A notice has one button
// (end code 1); a question has OK (1) and Cancel (2).
enum WarningKind : int {
    WARN_RESET_PROFILE = 0,
    WARN_NO_DEVICE = 1,
    WARN_UNSAVED_CHANGES = 2,
    WARN_APPLY_PROFILE = 3,
    WARN_MACRO_FULL = 5,
};

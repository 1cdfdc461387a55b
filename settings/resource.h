#pragma once
// Resources of QELT_Settings. The dialog templates are empty borderless frames: every window
// takes its size, shape and controls from its skin.
#define IDR_MAINFRAME 5
#define IDD_CONFIG_DIALOG 102
#define IDD_FUNCTION_MENU 130
#define IDD_MACRO_EDITOR 131
#define IDD_REPEAT_OPTIONS 132
#define IDD_DOWNLOAD 133
#define IDD_WARNING 134
#define IDD_APP_PROFILES 135

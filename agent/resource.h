#pragma once
// Resources of QELT_Core.
#define IDR_MAINFRAME 129
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_TEXT1 1000
#define IDC_ABOUT_TEXT2 1001

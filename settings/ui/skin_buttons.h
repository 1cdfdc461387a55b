#pragma once
// Buttons of skin entries that show their caption on the button as well as in the tooltip.
#include <windows.h>

#include "skinned_window.h"

// The button of "BUTTONINFO" entry `key`, its caption centred in textRect (button coordinates)
// at fontHeight. Null when the button cannot be made.
CBitmapBtn* AddLabelledButton(CSkinnedWindow& skin, const CSkinFile& file, int key, const RECT& textRect,
                              int fontHeight);

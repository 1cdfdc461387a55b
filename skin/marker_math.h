#pragma once
// Integer arithmetic of the value bar and the delay field; no platform calls.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct MarkerRange {
    int32_t nLeft = 0, nTop = 0, nRight = 0, nBottom = 0;  // in the parent's client coordinates
    int32_t nMin = 0;
    int32_t nMax = 10;
    int32_t nValue = 0;
};

// Pixels of the fill image shown: W * (value - min) / (max - min), truncated toward zero.
// An empty range or width shows nothing.
int32_t MarkerFilledWidth(const MarkerRange& range);
// The value for a pointer at parent x: positions left of the bar give the minimum, the result is
// kept within [min, max]. An empty range or width gives the minimum.
int32_t MarkerValueAt(const MarkerRange& range, int32_t parentX);

// 6375 = 255 * 25 ms: a pause is stored as a one-byte count of 25 ms units.
constexpr int32_t EDIT_VALUE_CAP = 6375;
// The replacement text when the field's leading number is above the cap, else nothing.
std::optional<std::wstring> CappedEditText(std::wstring_view text);

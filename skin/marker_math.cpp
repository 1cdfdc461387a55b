#include "marker_math.h"

#include "button_info.h"

int32_t MarkerFilledWidth(const MarkerRange& range)
{
    int64_t width = int64_t(range.nRight) - range.nLeft;
    int64_t span = int64_t(range.nMax) - range.nMin;
    if (width <= 0 || span <= 0)
        return 0;  // nothing sensible to divide by: draw the bar empty
    int64_t filled = width * (int64_t(range.nValue) - range.nMin) / span;
    if (filled < 0)
        return 0;
    return int32_t(filled > width ? width : filled);
}

int32_t MarkerValueAt(const MarkerRange& range, int32_t parentX)
{
    int64_t width = int64_t(range.nRight) - range.nLeft;
    int64_t span = int64_t(range.nMax) - range.nMin;
    if (width <= 0 || span <= 0)
        return range.nMin;
    int64_t x = parentX < range.nLeft ? range.nLeft : parentX;
    int64_t value = range.nMin + span * (x - range.nLeft) / width;
    if (value < range.nMin)
        value = range.nMin;
    if (value > range.nMax)
        value = range.nMax;
    return int32_t(value);
}

std::optional<std::wstring> CappedEditText(std::wstring_view text)
{
    // Only leading digits count; text that does not start with one is 0 and stays as it is.
    if (text.empty() || text[0] < L'0' || text[0] > L'9')
        return std::nullopt;
    if (skinpath::TextToInt(text) > EDIT_VALUE_CAP)
        return std::to_wstring(EDIT_VALUE_CAP);
    return std::nullopt;
}

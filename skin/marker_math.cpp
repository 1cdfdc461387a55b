#include "marker_math.h"

#include <cstdint>

#include "button_info.h"

// Every difference of two int32 values fits in 32 unsigned bits, so the product of two of them
// fits in 64 unsigned bits: no overflow whatever a (corrupt) skin rectangle holds.
int32_t MarkerFilledWidth(const MarkerRange& range)
{
    int64_t width = int64_t(range.nRight) - range.nLeft;
    int64_t span = int64_t(range.nMax) - range.nMin;
    if (width <= 0 || span <= 0)
        return 0;  // nothing sensible to divide by: draw the bar empty
    int64_t above = int64_t(range.nValue) - range.nMin;
    if (above <= 0)
        return 0;
    if (above >= span)
        above = span;
    uint64_t filled = uint64_t(width) * uint64_t(above) / uint64_t(span);
    // A bar wider than any screen (corrupt skin rectangle) must not wrap to a negative width.
    return int32_t(filled > uint64_t(INT32_MAX) ? INT32_MAX : filled);
}

int32_t MarkerValueAt(const MarkerRange& range, int32_t parentX)
{
    int64_t width = int64_t(range.nRight) - range.nLeft;
    int64_t span = int64_t(range.nMax) - range.nMin;
    if (width <= 0 || span <= 0)
        return range.nMin;
    int64_t offset = int64_t(parentX) - range.nLeft;
    if (offset <= 0)
        return range.nMin;
    if (offset >= width)
        return range.nMax;
    return int32_t(range.nMin + int64_t(uint64_t(span) * uint64_t(offset) / uint64_t(width)));
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

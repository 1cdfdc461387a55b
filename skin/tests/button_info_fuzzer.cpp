// Feeds arbitrary entry texts to the parser and checks what must hold for any input.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "button_info.h"
#include "marker_math.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring value;
    for (size_t i = 0; i + 1 < size; i += 2)
        value += wchar_t(data[i] | (data[i + 1] << 8));

    ButtonInfo info = ParseButtonInfo(value);
    std::wstring name(info.szName), caption(info.szCaption);
    if (name.size() > size_t(BUTTON_NAME_CHARS - 1) || caption.size() > size_t(BUTTON_CAPTION_CHARS - 1))
        std::abort();
    if (caption.size() > 0 && value.find(caption) == std::wstring::npos)
        std::abort();
    size_t comma = value.find(L',');
    std::wstring rest = comma == std::wstring::npos ? value : value.substr(comma + 1);
    if (info.bSelected != (rest.find(L"TRUE") != std::wstring::npos))
        std::abort();

    MarkerRange range;
    range.nLeft = info.nLeft;
    range.nRight = info.nRight;
    range.nMin = info.nTop;
    range.nMax = info.nBottom;
    range.nValue = skinpath::TextToInt(caption);
    int32_t filled = MarkerFilledWidth(range);
    if (filled < 0 || (int64_t(range.nRight) - range.nLeft > 0 && filled > int64_t(range.nRight) - range.nLeft))
        std::abort();
    const int64_t probe = std::clamp<int64_t>(int64_t(info.nLeft) + info.nTop, INT32_MIN, INT32_MAX);
    int32_t dragged = MarkerValueAt(range, static_cast<int32_t>(probe));
    if (range.nMax > range.nMin && (dragged < range.nMin || dragged > range.nMax))
        std::abort();
    return 0;
}

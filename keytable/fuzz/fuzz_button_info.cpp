// Fuzzes the parser of skin button entries ("name,left,top,width,height,caption,flag"). The input
// bytes are taken as UTF-16 units, as the entries are read from the description files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "button_info.h"

namespace {

// A fixed-size text field must always be terminated within its array.
template <size_t N>
void RequireTerminated(const wchar_t (&text)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (text[i] == L'\0')
            return;
    }
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring value;
    for (size_t i = 0; i + 1 < size; i += 2)
        value.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const ButtonInfo info = ParseButtonInfo(value);
    RequireTerminated(info.szName);
    RequireTerminated(info.szCaption);
    return 0;
}

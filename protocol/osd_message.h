#pragma once
// OSD_MESSAGE: the 1044-byte record the agent hands the on-screen display with WM_COPYDATA
// (descriptor value 0). Texts are UTF-16 (char16_t so the layout is the same on every compiler).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

constexpr size_t OSD_TEXT_CHARS = 256;  // 255 characters and the terminator

struct OSD_MESSAGE {
    char16_t szText[OSD_TEXT_CHARS];
    int32_t nReserved1;     // always 0
    int32_t nDurationMs;    // how long the text stays up
    int32_t nReserved2;     // always 0
    uint32_t crColor;       // COLORREF (0x00BBGGRR)
    int32_t nSize;          // character height in pixels
    char16_t szFace[OSD_TEXT_CHARS];
};
static_assert(sizeof(OSD_MESSAGE) == 1044, "OSD_MESSAGE is a wire format");
static_assert(offsetof(OSD_MESSAGE, nDurationMs) == 516, "OSD_MESSAGE is a wire format");
static_assert(offsetof(OSD_MESSAGE, crColor) == 524, "OSD_MESSAGE is a wire format");
static_assert(offsetof(OSD_MESSAGE, szFace) == 532, "OSD_MESSAGE is a wire format");

constexpr int32_t OSD_DURATION_MS = 1500;
constexpr uint32_t OSD_COLOR = 0x001980FF;
constexpr int32_t OSD_SIZE = 30;

namespace qelt {

// The record the agent sends for a text: fixed duration, colour, size and the face "System".
// A text longer than 255 characters is cut.
OSD_MESSAGE MakeOsdMessage(std::u16string_view text);

// What the display takes from a received record.
struct OsdContent {
    std::u16string text;
    std::u16string face;
    int32_t durationMs;
    uint32_t color;
    int32_t size;
};

// Checks a received copy-data block: exactly sizeof(OSD_MESSAGE) bytes, both texts terminated
// inside their fields. Out-of-range duration, size or an empty face fall back to the defaults.
std::optional<OsdContent> ParseOsdMessage(const void* data, size_t length);

} // namespace qelt

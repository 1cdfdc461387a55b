#include "osd_message.h"

#include <cstring>

namespace qelt {
namespace {

constexpr char16_t kDefaultFace[] = u"System";
constexpr int32_t kMinDurationMs = 100;
constexpr int32_t kMaxDurationMs = 60000;
constexpr int32_t kMinSize = 6;
constexpr int32_t kMaxSize = 400;

void CopyText(char16_t (&field)[OSD_TEXT_CHARS], std::u16string_view text)
{
    const size_t count = text.size() < OSD_TEXT_CHARS - 1 ? text.size() : OSD_TEXT_CHARS - 1;
    std::memcpy(field, text.data(), count * sizeof(char16_t));
    field[count] = u'\0';
}

// Length of a text field, or nothing when no terminator lies inside it.
std::optional<size_t> TerminatedLength(const char16_t (&field)[OSD_TEXT_CHARS])
{
    for (size_t i = 0; i < OSD_TEXT_CHARS; ++i)
        if (field[i] == u'\0')
            return i;
    return std::nullopt;
}

} // namespace

OSD_MESSAGE MakeOsdMessage(std::u16string_view text)
{
    OSD_MESSAGE message{};
    // Cut at an embedded terminator the way a C-string copy would.
    const size_t end = text.find(u'\0');
    CopyText(message.szText, end == std::u16string_view::npos ? text : text.substr(0, end));
    message.nReserved1 = 0;
    message.nDurationMs = OSD_DURATION_MS;
    message.nReserved2 = 0;
    message.crColor = OSD_COLOR;
    message.nSize = OSD_SIZE;
    CopyText(message.szFace, kDefaultFace);
    return message;
}

std::optional<OsdContent> ParseOsdMessage(const void* data, size_t length)
{
    if (data == nullptr || length != sizeof(OSD_MESSAGE))
        return std::nullopt;
    OSD_MESSAGE message;
    std::memcpy(&message, data, sizeof message);
    const auto textLength = TerminatedLength(message.szText);
    const auto faceLength = TerminatedLength(message.szFace);
    if (!textLength || !faceLength)
        return std::nullopt;

    OsdContent content;
    content.text.assign(message.szText, *textLength);
    content.face = *faceLength ? std::u16string(message.szFace, *faceLength) : std::u16string(kDefaultFace);
    content.durationMs = message.nDurationMs >= kMinDurationMs && message.nDurationMs <= kMaxDurationMs
                             ? message.nDurationMs : OSD_DURATION_MS;
    content.color = message.crColor & 0x00FFFFFFu;
    content.size = message.nSize >= kMinSize && message.nSize <= kMaxSize ? message.nSize : OSD_SIZE;
    return content;
}

} // namespace qelt

#pragma once
// The skin's text font "AvenirLTStd-Light" in the sizes and looks the windows use, each made once
// per owner of a SkinFonts and shared by everything that draws with it.
#include <windows.h>

#include <vector>

#include "handles.h"

struct SkinFontParams {
    int nHeight = 14;
    int nWeight = FW_NORMAL;
    BYTE nCharset = DEFAULT_CHARSET;
    BYTE nQuality = DEFAULT_QUALITY;
    BYTE nPitchAndFamily = 0;

    bool operator==(const SkinFontParams&) const = default;
};

// The looks in use: each keeps the numbers its window has always drawn with.
namespace skinfont {
// Button captions, in the button's own height.
constexpr SkinFontParams Caption(int height) { return {height, FW_NORMAL, ANSI_CHARSET, ANTIALIASED_QUALITY, 14}; }
constexpr SkinFontParams kListItem{13, 300, DEFAULT_CHARSET, DEFAULT_QUALITY, 32};
constexpr SkinFontParams kDriverVersion{14, 400, DEFAULT_CHARSET, DEFAULT_QUALITY, FF_SWISS};
constexpr SkinFontParams kMacroText{16, 400, DEFAULT_CHARSET, CLEARTYPE_QUALITY, 0x30};
constexpr SkinFontParams kLoadingText{15, 400, DEFAULT_CHARSET, ANTIALIASED_QUALITY, 14};
constexpr SkinFontParams kRepeatText{16, 400, ANSI_CHARSET, ANTIALIASED_QUALITY, 14};
constexpr SkinFontParams kWarningText{16, 400, DEFAULT_CHARSET, ANTIALIASED_QUALITY, 14};
} // namespace skinfont

// Makes one font of the skin face; null, with a diagnostic, when it cannot.
qelt::UniqueFont MakeSkinFont(const SkinFontParams& params);

// The fonts of one window and its controls: made at the first use of a look, kept until the
// owner goes. A look that cannot be made gives null (text then draws in the DC's font).
class SkinFonts {
public:
    SkinFonts() = default;
    SkinFonts(const SkinFonts&) = delete;
    SkinFonts& operator=(const SkinFonts&) = delete;

    HFONT Get(const SkinFontParams& params);

private:
    struct Made {
        SkinFontParams params;
        qelt::UniqueFont font;
    };
    std::vector<Made> m_fonts;
};

#include "skin_fonts.h"

#include "diag.h"

qelt::UniqueFont MakeSkinFont(const SkinFontParams& params)
{
    qelt::UniqueFont font(CreateFontW(params.nHeight, 0, 0, 0, params.nWeight, FALSE, FALSE, FALSE, params.nCharset,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, params.nQuality, params.nPitchAndFamily,
                                      L"AvenirLTStd-Light"));
    if (!font)
        qelt::DiagLastError(L"CreateFontW (skin font)");
    return font;
}

HFONT SkinFonts::Get(const SkinFontParams& params)
{
    for (const Made& made : m_fonts) {
        if (made.params == params)
            return made.font.Get();
    }
    // A window uses a handful of looks: a short list beats a map here.
    m_fonts.push_back(Made{params, MakeSkinFont(params)});
    return m_fonts.back().font.Get();
}

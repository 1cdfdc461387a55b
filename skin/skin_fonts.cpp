#include "skin_fonts.h"

#include "diag.h"

qelt::UniqueFont MakeSkinFont(const SkinFontSpec& spec)
{
    qelt::UniqueFont font(CreateFontW(spec.nHeight, 0, 0, 0, spec.nWeight, FALSE, FALSE, FALSE, spec.nCharset,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, spec.nQuality, spec.nPitchAndFamily,
                                      L"AvenirLTStd-Light"));
    if (!font)
        qelt::DiagLastError(L"CreateFontW (skin font)");
    return font;
}

HFONT SkinFonts::Get(const SkinFontSpec& spec)
{
    for (const Made& made : m_fonts) {
        if (made.spec == spec)
            return made.font.Get();
    }
    // A window uses a handful of looks: a short list beats a map here.
    m_fonts.push_back(Made{spec, MakeSkinFont(spec)});
    return m_fonts.back().font.Get();
}

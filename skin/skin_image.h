#pragma once
// Skin images: decoding, window outlines from mask images, and cutting button state images.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "handles.h"

// A bitmap of a skin. Decoded images belong to their picture object, which stays alive as long
// as the bitmap does; images made here (cut state images) are owned directly.
class SkinBitmap {
public:
    SkinBitmap() = default;
    SkinBitmap(SkinBitmap&&) = default;
    SkinBitmap& operator=(SkinBitmap&&) = default;

    HBITMAP Get() const;
    bool Empty() const { return Get() == nullptr; }
    SIZE Size() const;  // 0 x 0 when empty

    void Reset();
    void AttachPicture(qelt::ComPtr<IPicture> picture);
    void AttachBitmap(HBITMAP bitmap);

private:
    qelt::ComPtr<IPicture> m_picture;
    qelt::UniqueBitmap m_owned;
};

// Decodes the image file (bitmap, JPEG, GIF, icon, metafile) into target, replacing what it held.
// Returns the image size. A missing, unreadable or undecodable file leaves target empty and
// returns 0 x 0 (with a diagnostic).
SIZE LoadSkinImage(const std::wstring& path, SkinBitmap& target);

// The window outline made of the mask's pixels that are not exactly white (255, 255, 255).
// No region when the mask is empty or no drawing surface could be made.
qelt::UniqueRegion RegionFromMask(HBITMAP mask);

// Replaces target with a copy of `rect` of source, made compatible with dc. Nothing happens when
// source is empty.
void CropStateImage(SkinBitmap& target, HDC dc, const SkinBitmap& source, const RECT& rect);

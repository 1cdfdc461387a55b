#pragma once
// Skin images: decoding, window outlines from mask images, and cutting button state images.
#include <windows.h>

#include <memory>
#include <string>

#include "handles.h"

// A bitmap of a skin. Skin pixels are never drawn on once loaded (windows draw on copies), so
// an image that shows a rectangle of another (a button's state image cut from a full-window
// image) shares the other's pixels instead of holding a copy: it costs nothing to make, draws
// straight from the shared pixels, and gets a bitmap of its own only when Get() asks for one.
// The pixels live as long as any image showing them. Pixels are held once, in the process (a
// device-independent bitmap), and drawn without selecting them into a DC where they allow it.
class SkinBitmap {
public:
    SkinBitmap() = default;
    SkinBitmap(SkinBitmap&&) = default;
    SkinBitmap& operator=(SkinBitmap&&) = default;

    // The image as a bitmap of exactly its size, for selecting into a DC. A cut image gets a
    // bitmap of its own here (made on the first call), which it draws from from then on: drawing
    // on it changes this image only. Do not draw on the bitmap of an image that is not cut:
    // images cut from it would show the change. Null when empty or when the pixels cannot be
    // read.
    HBITMAP Get() const;
    bool Empty() const { return m_pixels == nullptr; }
    SIZE Size() const;  // 0 x 0 when empty

    void Reset();
    void AttachBitmap(HBITMAP bitmap);
    // Shows `rect` of source from now on, sharing source's pixels; parts of rect beyond source
    // are black. Nothing happens when source is empty. A rectangle of negative width or height
    // leaves this image empty.
    void ShowRectOf(const SkinBitmap& source, const RECT& rect);

    // Copies the image to target at (0, 0), at most `area` of it (SRCCOPY). An empty image draws
    // nothing.
    void CopyTo(HDC target, SIZE area) const;

private:
    friend class SkinImageReader;
    friend qelt::UniqueRegion RegionFromMask(const SkinBitmap& mask);
    struct Pixels;
    void Attach(std::shared_ptr<const Pixels> pixels);

    std::shared_ptr<const Pixels> m_pixels;
    RECT m_rect{};   // what this image shows, in the shared pixels' coordinates
    RECT m_valid{};  // the part of m_rect that has pixels of the source; black elsewhere
    bool m_isCut = false;
    mutable qelt::UniqueBitmap m_ownBitmap;  // a cut image's own bitmap, made by Get()
};

// Decodes the image file (bitmap, JPEG, GIF, icon, metafile) into target, replacing what it held.
// Returns the image size. A missing, unreadable or undecodable file, or a bitmap file that ends
// before the pixels its header announces, leaves target empty and returns 0 x 0 (with a
// diagnostic).
SIZE LoadSkinImage(const std::wstring& path, SkinBitmap& target);

// LoadSkinImage for the several images of one window. Uncompressed bitmap files (24 or 32 bits
// a pixel, the shipped skin's format) are read directly; every other file goes through the
// platform's picture decoder, through one memory block for all the files of a reader.
class SkinImageReader {
public:
    SIZE Load(const std::wstring& path, SkinBitmap& target);
    // The same, except that an uncompressed bitmap file is only opened and its header read now:
    // its pixels are read when the image (or one cut from it) is first drawn or Get() is asked,
    // so a window pays nothing for images its first paint does not show. Such a file stays open
    // (for reading only) until then; pixels that cannot be read then draw nothing (with a
    // diagnostic).
    SIZE LoadOnFirstUse(const std::wstring& path, SkinBitmap& target);

private:
    SIZE LoadFile(const std::wstring& path, SkinBitmap& target, bool readPixelsNow);
    SIZE Decode(HANDLE file, DWORD bytes, const std::wstring& path, SkinBitmap& target);
    DWORD ReadWhole(HANDLE file, DWORD bytes);  // bytes, or 0
    qelt::UniqueGlobal m_block;
};

// Replaces target with a copy of source's pixels that is its own (to draw on). Empty when source
// is empty or no bitmap could be made.
void CopySkinImage(SkinBitmap& target, const SkinBitmap& source);

// The window outline made of the mask's pixels that are not exactly white (255, 255, 255).
// No region when the mask is empty or no drawing surface could be made.
qelt::UniqueRegion RegionFromMask(HBITMAP mask);
// The same for a skin image. One read from a bitmap file is scanned without a copy: where its rows
// lie, or, while they are still in the file (LoadOnFirstUse), from the file a block at a time,
// without ever holding the pixels.
qelt::UniqueRegion RegionFromMask(const SkinBitmap& mask);

// The layout of a 32-bit bottom-up device-independent bitmap of the given size: the one whose
// rows every platform reads alike (StretchDIBits counts source rows from the bottom).
BITMAPINFO TrueColourLayout(SIZE size);

// Replaces target with `rect` of source (target.ShowRectOf(source, rect)). Nothing happens when
// source is empty. The image is drawn compatibly with any DC, so dc is not needed any more.
void CropStateImage(SkinBitmap& target, HDC dc, const SkinBitmap& source, const RECT& rect);

#pragma once
// Small synthetic skins for the tests: a temporary program folder with a Skins folder, INI
// description files, BMP images written pixel by pixel, and 32-bit memory surfaces to read back.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "handles.h"

namespace skintest {

// A temporary folder that plays the program folder; removed with everything in it.
class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();
    const std::wstring& Path() const { return m_path; }  // ends in a backslash
    std::wstring SkinPath(const std::wstring& name) const { return m_path + L"Skins\\" + name; }
    void WriteText(const std::wstring& relative, const std::string& content) const;
    void WriteBytes(const std::wstring& relative, const std::vector<unsigned char>& bytes) const;
    // A 24-bit BMP whose pixel (x, y) has colour(x, y).
    void WriteBmp(const std::wstring& relative, int width, int height,
                  const std::function<COLORREF(int, int)>& colour) const;
    void WriteSolidBmp(const std::wstring& relative, int width, int height, COLORREF colour) const;

private:
    std::wstring m_path;
};

// The bytes of a 24-bit BMP file whose pixel (x, y) has colour(x, y).
std::vector<unsigned char> BmpFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour);
// The same with 24 or 32 bits a pixel (the fourth byte 0xAB, which no platform draws), rows
// stored bottom-up or, with topDown, top-down.
std::vector<unsigned char> BmpFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour,
                                        int bitsPerPixel, bool topDown);
// Writes bytes as the whole file at path (replacing it).
void WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);

// A 32-bit top-down DIB selected into a memory DC, for drawing and reading pixels.
class Surface {
public:
    Surface(int width, int height, COLORREF fill = RGB(0, 0, 0));
    HDC Dc() const { return m_dc.Get(); }
    COLORREF Pixel(int x, int y) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Pixels of exactly this colour, and their extent.
    int Count(COLORREF colour) const;
    RECT Bounds(COLORREF colour) const;  // empty rectangle when none
    RECT BoundsOfOthers(COLORREF colour) const;  // of the pixels that differ from colour

private:
    RECT BoundsWhere(const std::function<bool(int, int)>& match) const;
    int m_width, m_height;
    qelt::UniqueMemoryDc m_dc;
    qelt::UniqueBitmap m_bitmap;
    HGDIOBJ m_previous = nullptr;
    unsigned* m_bits = nullptr;
};

// A bitmap (device-independent, 32 bits) of the given pixels.
HBITMAP MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& colour);

// GDI+ for the tests that draw indicator images.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();

private:
    ULONG_PTR m_token = 0;
};

} // namespace skintest

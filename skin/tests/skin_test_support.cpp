#include "skin_test_support.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace skintest {

namespace {

std::wstring MakeTempFolder()
{
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lsqelt_skin_%lu_%u\\", base, GetCurrentProcessId(), counter++);
        if (CreateDirectoryW(name, nullptr)) {
            std::wstring skins = std::wstring(name) + L"Skins";
            CreateDirectoryW(skins.c_str(), nullptr);
            return name;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring(base);
    }
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

std::vector<unsigned char> BmpFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour)
{
    return BmpFileBytes(width, height, colour, 24, false);
}

std::vector<unsigned char> BmpFileBytes(int width, int height, const std::function<COLORREF(int, int)>& colour,
                                        int bitsPerPixel, bool topDown)
{
    const int bytesPerPixel = bitsPerPixel / 8;
    const int stride = (width * bytesPerPixel + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = topDown ? -height : height;
    info.biPlanes = 1;
    info.biBitCount = WORD(bitsPerPixel);
    info.biCompression = BI_RGB;
    info.biSizeImage = DWORD(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::vector<unsigned char> bytes(file.bfSize, 0);
    memcpy(bytes.data(), &file, sizeof(file));
    memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    for (int y = 0; y < height; ++y) {
        const size_t stored = size_t(topDown ? y : height - 1 - y);
        unsigned char* row = bytes.data() + file.bfOffBits + stored * size_t(stride);
        for (int x = 0; x < width; ++x) {
            COLORREF c = colour(x, y);
            unsigned char* pixel = row + x * bytesPerPixel;
            pixel[0] = GetBValue(c);
            pixel[1] = GetGValue(c);
            pixel[2] = GetRValue(c);
            if (bytesPerPixel == 4)
                pixel[3] = 0xAB;
        }
    }
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    qelt::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file && !bytes.empty())
        WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

TempProgramFolder::TempProgramFolder() : m_path(MakeTempFolder()) {}

TempProgramFolder::~TempProgramFolder() { RemoveTree(m_path); }

void TempProgramFolder::WriteBytes(const std::wstring& relative, const std::vector<unsigned char>& bytes) const
{
    std::wstring path = m_path + relative;
    size_t slash = path.find_last_of(L'\\');
    for (size_t i = m_path.size(); i < slash; ++i)
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    WriteFileBytes(path, bytes);
}

void TempProgramFolder::WriteText(const std::wstring& relative, const std::string& content) const
{
    WriteBytes(relative, std::vector<unsigned char>(content.begin(), content.end()));
}

void TempProgramFolder::WriteBmp(const std::wstring& relative, int width, int height,
                                 const std::function<COLORREF(int, int)>& colour) const
{
    WriteBytes(relative, BmpFileBytes(width, height, colour));
}

void TempProgramFolder::WriteSolidBmp(const std::wstring& relative, int width, int height, COLORREF colour) const
{
    WriteBmp(relative, width, height, [colour](int, int) { return colour; });
}

Surface::Surface(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr))
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap.Reset(CreateDIBSection(m_dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_bits = static_cast<unsigned*>(bits);
    m_previous = SelectObject(m_dc.Get(), m_bitmap.Get());
    qelt::UniqueBrush brush(CreateSolidBrush(fill));
    RECT all{0, 0, width, height};
    FillRect(m_dc.Get(), &all, brush.Get());
}

COLORREF Surface::Pixel(int x, int y) const
{
    GdiFlush();
    unsigned value = m_bits[size_t(y) * size_t(m_width) + size_t(x)];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int Surface::Count(COLORREF colour) const
{
    int count = 0;
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            count += Pixel(x, y) == colour;
    return count;
}

RECT Surface::Bounds(COLORREF colour) const
{
    return BoundsWhere([this, colour](int x, int y) { return Pixel(x, y) == colour; });
}

RECT Surface::BoundsOfOthers(COLORREF colour) const
{
    return BoundsWhere([this, colour](int x, int y) { return Pixel(x, y) != colour; });
}

RECT Surface::BoundsWhere(const std::function<bool(int, int)>& match) const
{
    RECT bounds{m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (match(x, y)) {
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
            }
    if (bounds.right == 0)
        return RECT{0, 0, 0, 0};
    return bounds;
}

HBITMAP MakeBitmap(int width, int height, const std::function<COLORREF(int, int)>& colour)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<unsigned*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF c = colour(x, y);
            pixels[size_t(y) * size_t(width) + size_t(x)] =
                (unsigned(GetRValue(c)) << 16) | (unsigned(GetGValue(c)) << 8) | GetBValue(c);
        }
    return bitmap;
}

GdiplusSession::GdiplusSession()
{
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
}

GdiplusSession::~GdiplusSession()
{
    if (m_token)
        Gdiplus::GdiplusShutdown(m_token);
}

} // namespace skintest

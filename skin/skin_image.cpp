#include "skin_image.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "diag.h"

using qelt::ComPtr;

// Larger images are drawn through a DC instead of from a copy in memory.
constexpr long long kMaxCopiedPixels = 64LL * 1024 * 1024;

struct SkinBitmap::Pixels {
    ComPtr<IPicture> picture;  // owner of handle, for decoded images
    qelt::UniqueBitmap owned;  // owner of handle otherwise
    HBITMAP handle = nullptr;
    SIZE size{0, 0};

    // Copies `from` to target at (x, y) from a copy of the pixels in this process's memory, made
    // for the first image cut from these that is drawn. Drawing from memory needs no DC, where
    // selecting a device-dependent bitmap into one costs a round trip to the display driver (on
    // every one of a window's buttons). False when no copy could be made.
    bool DrawFromCopy(HDC target, int x, int y, const RECT& from) const
    {
        if (!copy && !copyFailed)
            MakeCopy();
        if (!copy)
            return false;
        const BITMAPINFO info = TrueColourLayout(size);
        const int width = from.right - from.left, height = from.bottom - from.top;
        return StretchDIBits(target, x, y, width, height, from.left, size.cy - from.bottom, width, height, copy.get(),
                             &info, DIB_RGB_COLORS, SRCCOPY) != 0;
    }

private:
    void MakeCopy() const
    {
        copyFailed = true;
        if ((long long)size.cx * size.cy > kMaxCopiedPixels)
            return;
        std::unique_ptr<DWORD[]> bits(new (std::nothrow) DWORD[size_t(size.cx) * size_t(size.cy)]);
        BITMAPINFO info = TrueColourLayout(size);
        qelt::WindowDc screen(nullptr);
        if (!bits || GetDIBits(screen.Get(), handle, 0, UINT(size.cy), bits.get(), &info, DIB_RGB_COLORS) != size.cy)
            return;  // drawn through a DC instead
        copy = std::move(bits);
        copyFailed = false;
    }

    mutable std::unique_ptr<DWORD[]> copy;
    mutable bool copyFailed = false;
};

namespace {

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0)
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

LONG ClampToLong(long long value)
{
    return LONG(std::clamp<long long>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// A screen-compatible bitmap holding what image shows; none (with a diagnostic) when it cannot
// be made.
qelt::UniqueBitmap NewBitmapOf(const SkinBitmap& image)
{
    const SIZE size = image.Size();
    qelt::WindowDc screen(nullptr);
    qelt::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.Get(), size.cx, size.cy));
    qelt::UniqueMemoryDc dc(CreateCompatibleDC(screen.Get()));
    if (!bitmap || !dc) {
        qelt::DiagLastError(L"CreateCompatibleBitmap (skin image)");
        return {};
    }
    qelt::SelectedObject selected(dc.Get(), bitmap.Get());
    image.CopyTo(dc.Get(), size);
    return bitmap;
}

RECT Intersection(const RECT& a, const RECT& b)
{
    RECT both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (both.left >= both.right || both.top >= both.bottom)
        return RECT{0, 0, 0, 0};
    return both;
}

} // namespace

HBITMAP SkinBitmap::Get() const
{
    if (!m_pixels)
        return nullptr;
    if (!m_isCut)
        return m_pixels->handle;
    if (!m_ownBitmap)
        m_ownBitmap = NewBitmapOf(*this);
    return m_ownBitmap.Get();
}

SIZE SkinBitmap::Size() const
{
    if (!m_pixels)
        return SIZE{0, 0};
    return SIZE{m_rect.right - m_rect.left, m_rect.bottom - m_rect.top};
}

void SkinBitmap::Reset()
{
    m_ownBitmap.Reset();
    m_pixels.reset();
    m_rect = m_valid = RECT{0, 0, 0, 0};
    m_isCut = false;
}

void SkinBitmap::Attach(std::shared_ptr<const Pixels> pixels)
{
    Reset();
    if (!pixels || pixels->handle == nullptr)
        return;
    m_rect = m_valid = RECT{0, 0, pixels->size.cx, pixels->size.cy};
    m_pixels = std::move(pixels);
}

void SkinBitmap::AttachPicture(ComPtr<IPicture> picture)
{
    auto pixels = std::make_shared<Pixels>();
    OLE_HANDLE handle = 0;
    if (picture && SUCCEEDED(picture->get_Handle(&handle)))
        pixels->handle = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    pixels->size = BitmapSize(pixels->handle);
    pixels->picture = std::move(picture);
    Attach(std::move(pixels));
}

void SkinBitmap::AttachBitmap(HBITMAP bitmap)
{
    auto pixels = std::make_shared<Pixels>();
    pixels->owned.Reset(bitmap);
    pixels->handle = bitmap;
    pixels->size = BitmapSize(bitmap);
    Attach(std::move(pixels));
}

void SkinBitmap::ShowRectOf(const SkinBitmap& source, const RECT& rect)
{
    if (source.Empty())
        return;
    if (rect.right < rect.left || rect.bottom < rect.top ||
        (long long)rect.right - rect.left > std::numeric_limits<LONG>::max() ||
        (long long)rect.bottom - rect.top > std::numeric_limits<LONG>::max()) {
        qelt::Diag(L"ERROR: skin image rectangle %ld,%ld,%ld,%ld has no size\n", rect.left, rect.top, rect.right,
                   rect.bottom);
        Reset();
        return;
    }
    // In the shared pixels' coordinates; source may be this image.
    const LONG dx = source.m_rect.left, dy = source.m_rect.top;
    const RECT shown{ClampToLong((long long)rect.left + dx), ClampToLong((long long)rect.top + dy),
                     ClampToLong((long long)rect.right + dx), ClampToLong((long long)rect.bottom + dy)};
    const RECT valid = Intersection(shown, source.m_valid);
    std::shared_ptr<const Pixels> pixels = source.m_pixels;
    Reset();
    m_pixels = std::move(pixels);
    m_rect = shown;
    m_valid = valid;
    m_isCut = true;
}

void SkinBitmap::CopyTo(HDC target, SIZE area) const
{
    if (!m_pixels)
        return;
    const SIZE size = Size();
    const LONG width = std::min(area.cx, size.cx);
    const LONG height = std::min(area.cy, size.cy);
    if (width <= 0 || height <= 0)
        return;
    const RECT drawn{m_rect.left, m_rect.top, m_rect.left + width, m_rect.top + height};
    const RECT from = Intersection(drawn, m_valid);
    if (!EqualRect(&from, &drawn))
        PatBlt(target, 0, 0, width, height, BLACKNESS);  // what a fresh bitmap held where source had none
    if (IsRectEmpty(&from))
        return;
    const int x = from.left - m_rect.left, y = from.top - m_rect.top;
    if (m_isCut && m_pixels->DrawFromCopy(target, x, y, from))
        return;
    qelt::UniqueMemoryDc source(CreateCompatibleDC(target));
    if (!source)
        return;
    qelt::SelectedObject selected(source.Get(), m_pixels->handle);
    BitBlt(target, x, y, from.right - from.left, from.bottom - from.top, source.Get(), from.left, from.top, SRCCOPY);
}

DWORD SkinImageReader::ReadFile(const std::wstring& path)
{
    qelt::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        qelt::DiagLastError(L"CreateFileW (skin image)");
        return 0;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) {
        qelt::Diag(L"ERROR: skin image %ls is empty or too large\n", path.c_str());
        return 0;
    }
    const DWORD bytes = DWORD(size.QuadPart);
    // The stream made over the block has the block's size: it must be the file's exactly.
    if (!m_block || GlobalSize(m_block.Get()) != bytes)
        m_block.Reset(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!m_block) {
        qelt::DiagLastError(L"GlobalAlloc");
        return 0;
    }
    void* data = GlobalLock(m_block.Get());
    DWORD read = 0;
    const BOOL ok = data != nullptr && ::ReadFile(file.Get(), data, bytes, &read, nullptr) && read == bytes;
    if (data)
        GlobalUnlock(m_block.Get());
    if (!ok) {
        qelt::DiagLastError(L"ReadFile (skin image)");
        return 0;
    }
    return bytes;
}

SIZE LoadSkinImage(const std::wstring& path, SkinBitmap& target)
{
    SkinImageReader reader;
    return reader.Load(path, target);
}

SIZE SkinImageReader::Load(const std::wstring& path, SkinBitmap& target)
{
    target.Reset();
    if (ReadFile(path) == 0)
        return SIZE{0, 0};

    // The picture decodes the whole stream now and keeps nothing of it: the block stays ours.
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(m_block.Get(), FALSE, stream.Put());
    if (FAILED(hr)) {
        qelt::DiagError(L"CreateStreamOnHGlobal", static_cast<unsigned long>(hr));
        return SIZE{0, 0};
    }
    ComPtr<IPicture> picture;
    hr = OleLoadPicture(stream.Get(), 0, FALSE, IID_IPicture, picture.PutVoid());
    if (FAILED(hr) || !picture) {
        qelt::DiagError(L"OleLoadPicture", static_cast<unsigned long>(hr));
        return SIZE{0, 0};
    }
    short type = PICTYPE_UNINITIALIZED;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP) {
        // Icons and metafiles carry no bitmap of their own: render them into one.
        OLE_XSIZE_HIMETRIC widthHimetric = 0;
        OLE_YSIZE_HIMETRIC heightHimetric = 0;
        picture->get_Width(&widthHimetric);
        picture->get_Height(&heightHimetric);
        qelt::WindowDc screen(nullptr);
        int width = MulDiv(widthHimetric, GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540);
        int height = MulDiv(heightHimetric, GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540);
        qelt::UniqueBitmap bitmap(width > 0 && height > 0 ? CreateCompatibleBitmap(screen.Get(), width, height) : nullptr);
        qelt::UniqueMemoryDc dc(CreateCompatibleDC(screen.Get()));
        if (!bitmap || !dc) {
            qelt::Diag(L"ERROR: skin image %ls could not be rendered\n", path.c_str());
            return SIZE{0, 0};
        }
        {
            qelt::SelectedObject selected(dc.Get(), bitmap.Get());
            picture->Render(dc.Get(), 0, height, width, -height, 0, 0, widthHimetric, heightHimetric, nullptr);
        }
        target.AttachBitmap(bitmap.Release());
        return target.Size();
    }
    target.AttachPicture(std::move(picture));
    return target.Size();
}

namespace {

// Region data: a RGNDATAHEADER and the rectangles after it.
class RegionRectangles {
public:
    RegionRectangles() { m_rects.reserve(100); Restart(); }

    void Add(LONG x0, LONG y, LONG x1)
    {
        if (m_rects.size() == m_rects.capacity())
            m_rects.reserve(m_rects.size() + 100);
        m_rects.push_back(RECT{x0, y, x1, y + 1});
        RECT& bound = m_header.rcBound;
        if (x0 < bound.left) bound.left = x0;
        if (y < bound.top) bound.top = y;
        if (x1 > bound.right) bound.right = x1;
        if (y + 1 > bound.bottom) bound.bottom = y + 1;
    }
    size_t Count() const { return m_rects.size(); }

    // Unions the collected rectangles into result and starts a new batch.
    bool FlushInto(HRGN result)
    {
        m_header.nCount = DWORD(m_rects.size());
        std::vector<BYTE> data(sizeof(RGNDATAHEADER) + m_rects.size() * sizeof(RECT));
        memcpy(data.data(), &m_header, sizeof(RGNDATAHEADER));
        if (!m_rects.empty())
            memcpy(data.data() + sizeof(RGNDATAHEADER), m_rects.data(), m_rects.size() * sizeof(RECT));
        qelt::UniqueRegion batch(ExtCreateRegion(nullptr, DWORD(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
        Restart();
        if (!batch) {
            qelt::DiagLastError(L"ExtCreateRegion");
            return false;
        }
        CombineRgn(result, result, batch.Get(), RGN_OR);
        return true;
    }

private:
    void Restart()
    {
        m_rects.clear();
        m_header = RGNDATAHEADER{};
        m_header.dwSize = sizeof(RGNDATAHEADER);
        m_header.iType = RDH_RECTANGLES;
        m_header.nRgnSize = 0;
        m_header.rcBound = RECT{MAXLONG, MAXLONG, 0, 0};
    }

    RGNDATAHEADER m_header{};
    std::vector<RECT> m_rects;
};

constexpr size_t kRectanglesPerBatch = 2000;

} // namespace

qelt::UniqueRegion RegionFromMask(HBITMAP mask)
{
    if (mask == nullptr)
        return {};
    BITMAP info{};
    if (GetObjectW(mask, sizeof(info), &info) == 0)
        return {};
    const LONG width = info.bmWidth;
    const LONG height = info.bmHeight;

    qelt::UniqueMemoryDc maskDc(CreateCompatibleDC(nullptr));
    qelt::UniqueMemoryDc copyDc(CreateCompatibleDC(nullptr));
    if (!maskDc || !copyDc) {
        qelt::DiagLastError(L"CreateCompatibleDC (mask)");
        return {};
    }
    BITMAPINFO header = TrueColourLayout(SIZE{width, height});
    void* bits = nullptr;
    qelt::UniqueBitmap copy(CreateDIBSection(copyDc.Get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy || bits == nullptr) {
        qelt::DiagLastError(L"CreateDIBSection (mask)");
        return {};
    }
    {
        qelt::SelectedObject maskSelected(maskDc.Get(), mask);
        qelt::SelectedObject copySelected(copyDc.Get(), copy.Get());
        BitBlt(copyDc.Get(), 0, 0, width, height, maskDc.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();

    qelt::UniqueRegion result(CreateRectRgn(0, 0, 0, 0));
    if (!result) {
        qelt::DiagLastError(L"CreateRectRgn");
        return {};
    }
    const size_t stride = ((size_t(width) * 32 + 31) / 32) * 4;
    const BYTE* base = static_cast<const BYTE*>(bits);
    RegionRectangles rectangles;
    for (LONG y = 0; y < height; ++y) {
        const BYTE* row = base + size_t(height - 1 - y) * stride;  // bottom-up rows
        LONG x = 0;
        while (x < width) {
            auto isWhite = [row](LONG px) {
                const BYTE* p = row + size_t(px) * 4;  // blue, green, red, unused
                return p[0] == 255 && p[1] == 255 && p[2] == 255;
            };
            if (isWhite(x)) {
                ++x;
                continue;
            }
            LONG start = x;
            while (x < width && !isWhite(x))
                ++x;
            rectangles.Add(start, y, x);
            if (rectangles.Count() == kRectanglesPerBatch)
                rectangles.FlushInto(result.Get());
            ++x;  // the white pixel that ended the run
        }
    }
    rectangles.FlushInto(result.Get());
    return result;
}

BITMAPINFO TrueColourLayout(SIZE size)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void CopySkinImage(SkinBitmap& target, const SkinBitmap& source)
{
    if (&target == &source)
        return;
    target.Reset();
    if (!source.Empty())
        target.AttachBitmap(NewBitmapOf(source).Release());
}

void CropStateImage(SkinBitmap& target, HDC, const SkinBitmap& source, const RECT& rect)
{
    target.ShowRectOf(source, rect);
}

#include "skin_image.h"

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "diag.h"

using qelt::ComPtr;

namespace {

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0)
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

// The order of a DIB section's rows in memory, as its maker knows it: the platform reports a
// top-down section's height as positive, like a bottom-up one's.
enum class RowOrder { Unknown, BottomUp, TopDown };

// Where a bitmap's pixels can be read without a DC: the rows of a DIB section of 24 or 32 bits
// a pixel whose row order is known, and their layout. Rows null for any other bitmap.
struct PixelRows {
    const BYTE* rows = nullptr;
    LONG width = 0, height = 0;
    size_t stride = 0;      // bytes from one row to the next in memory
    int bytesPerPixel = 0;  // 3 or 4: blue, green, red (, unused)
    bool bottomUp = false;  // the first row in memory is the image's last
    BITMAPINFO layout{};    // for StretchDIBits straight from the rows

    static PixelRows Of(HBITMAP bitmap, RowOrder order)
    {
        PixelRows result;
        DIBSECTION section{};
        if (order == RowOrder::Unknown || bitmap == nullptr || GetObjectW(bitmap, sizeof(section), &section) != int(sizeof(section)) ||
            section.dsBm.bmBits == nullptr || section.dsBmih.biCompression != BI_RGB ||
            (section.dsBmih.biBitCount != 24 && section.dsBmih.biBitCount != 32))
            return result;
        result.rows = static_cast<const BYTE*>(section.dsBm.bmBits);
        result.width = section.dsBm.bmWidth;
        result.height = section.dsBm.bmHeight;
        result.stride = size_t(section.dsBm.bmWidthBytes);
        result.bytesPerPixel = section.dsBmih.biBitCount / 8;
        result.bottomUp = order == RowOrder::BottomUp;
        result.layout.bmiHeader = section.dsBmih;
        result.layout.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        result.layout.bmiHeader.biHeight = result.bottomUp ? result.height : -result.height;
        result.layout.bmiHeader.biClrUsed = 0;
        return result;
    }

    // Row y of the image, 0 being the top.
    const BYTE* Row(LONG y) const { return rows + size_t(bottomUp ? height - 1 - y : y) * stride; }
};

// An uncompressed bitmap file whose rows are taken as they are: 24 or 32 bits a pixel, no
// compression, no colour table needed. Anything else goes to the platform's picture decoder.
struct PlainBmpHeader {
    BITMAPINFOHEADER info{};  // the layout of a DIB section the rows fit as they are
    DWORD rowsOffset = 0;
    DWORD rowsBytes = 0;
};

bool ReadExactly(HANDLE file, void* data, DWORD bytes)
{
    DWORD read = 0;
    return ::ReadFile(file, data, bytes, &read, nullptr) && read == bytes;
}

// What the start of a file says it is.
enum class BmpKind {
    Other,      // no bitmap file this reader takes as it is: the picture decoder's
    Plain,      // an uncompressed 24 or 32-bit bitmap whose rows are all in the file
    Truncated,  // a bitmap file that ends before the pixels its header announces
};

// The bytes a bitmap file's pixels take after its headers by what the header says; 0 when the
// header does not tell (compressed without a size) and -1 when it is no layout at all.
long long AnnouncedPixelBytes(const BITMAPINFOHEADER& info)
{
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == std::numeric_limits<LONG>::min() ||
        info.biBitCount == 0 || info.biBitCount > 32)
        return -1;
    if (info.biCompression != BI_RGB && info.biCompression != BI_BITFIELDS)
        return info.biSizeImage;
    const long long height = info.biHeight < 0 ? -(long long)info.biHeight : info.biHeight;
    const long long stride = ((long long)info.biWidth * info.biBitCount + 31) / 32 * 4;
    return stride * height;
}

// Plain fills header. Nothing is reported here.
BmpKind ReadPlainBmpHeader(HANDLE file, LONGLONG fileBytes, PlainBmpHeader& header)
{
    BYTE start[sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)];
    if (fileBytes < LONGLONG(sizeof(start))) {
        // A bitmap file without room for its headers was cut short too.
        char type[2] = {};
        return fileBytes >= 2 && ReadExactly(file, type, 2) && type[0] == 'B' && type[1] == 'M' ? BmpKind::Truncated
                                                                                              : BmpKind::Other;
    }
    if (!ReadExactly(file, start, sizeof(start)))
        return BmpKind::Other;
    BITMAPFILEHEADER fileHeader;
    BITMAPINFOHEADER info;
    memcpy(&fileHeader, start, sizeof(fileHeader));
    memcpy(&info, start + sizeof(fileHeader), sizeof(info));
    if (fileHeader.bfType != 0x4D42 || info.biSize < sizeof(BITMAPINFOHEADER))
        return BmpKind::Other;
    // Any bitmap file whose pixels end beyond the file was cut short (a damaged copy): the
    // decoder would show the missing part black, and a window drawn from it could not be used.
    const long long pixelBytes = AnnouncedPixelBytes(info);
    if (pixelBytes > 0 && (long long)fileHeader.bfOffBits + pixelBytes > fileBytes)
        return BmpKind::Truncated;
    if (info.biPlanes != 1 || info.biCompression != BI_RGB || (info.biBitCount != 24 && info.biBitCount != 32) ||
        pixelBytes <= 0)
        return BmpKind::Other;
    const long long rowsBytes = pixelBytes;
    if (rowsBytes > 0x7FFFFFFF || (long long)fileHeader.bfOffBits < (long long)sizeof(BITMAPFILEHEADER) + info.biSize)
        return BmpKind::Other;
    header.info = info;
    header.info.biSize = sizeof(BITMAPINFOHEADER);
    header.info.biSizeImage = DWORD(rowsBytes);
    header.info.biClrUsed = 0;
    header.info.biClrImportant = 0;
    header.rowsOffset = fileHeader.bfOffBits;
    header.rowsBytes = DWORD(rowsBytes);
    return BmpKind::Plain;
}

// A DIB section of the header's layout holding the file's rows; none (with a diagnostic) when
// it cannot be made or the rows cannot be read.
qelt::UniqueBitmap ReadPlainBmpRows(HANDLE file, const PlainBmpHeader& header)
{
    BITMAPINFO layout{};
    layout.bmiHeader = header.info;
    void* bits = nullptr;
    qelt::UniqueBitmap bitmap(CreateDIBSection(nullptr, &layout, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        qelt::DiagLastError(L"CreateDIBSection (skin image)");
        return {};
    }
    LARGE_INTEGER offset{};
    offset.QuadPart = header.rowsOffset;
    if (!SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) || !ReadExactly(file, bits, header.rowsBytes)) {
        qelt::DiagLastError(L"ReadFile (skin image)");
        return {};
    }
    return bitmap;
}

// A 32-bit bottom-up DIB section of the size; none (with a diagnostic) when it cannot be made.
qelt::UniqueBitmap NewTrueColourBitmap(SIZE size)
{
    const BITMAPINFO layout = TrueColourLayout(size);
    void* bits = nullptr;
    qelt::UniqueBitmap bitmap(size.cx > 0 && size.cy > 0
                                  ? CreateDIBSection(nullptr, &layout, DIB_RGB_COLORS, &bits, nullptr, 0)
                                  : nullptr);
    if (!bitmap)
        qelt::DiagLastError(L"CreateDIBSection (skin image)");
    return bitmap;
}

} // namespace

// The pixels of one decoded image, shared by every image showing them. A bitmap file whose
// reading was put off holds its open file and header until the pixels are first needed.
struct SkinBitmap::Pixels {
    SIZE size{0, 0};

    Pixels(qelt::UniqueBitmap decoded, RowOrder order)
        : size(BitmapSize(decoded.Get())), m_bitmap(std::move(decoded)), m_rows(PixelRows::Of(m_bitmap.Get(), order))
    {
    }
    Pixels(qelt::UniqueHandle file, const PlainBmpHeader& header)
        : size{header.info.biWidth, header.info.biHeight < 0 ? -header.info.biHeight : header.info.biHeight},
          m_pendingFile(std::move(file)), m_pendingHeader(header)
    {
    }

    // The bitmap, its rows read first when they were put off (one attempt, with a diagnostic
    // when it fails). Null when there are no pixels.
    HBITMAP Handle() const
    {
        if (m_pendingFile) {
            m_bitmap = ReadPlainBmpRows(m_pendingFile.Get(), m_pendingHeader);
            m_pendingFile.Reset();
            m_rows = PixelRows::Of(m_bitmap.Get(), m_pendingHeader.info.biHeight > 0 ? RowOrder::BottomUp
                                                                                     : RowOrder::TopDown);
        }
        return m_bitmap.Get();
    }

    // Copies `from` to target at (x, y): straight from the rows of a bottom-up DIB section (no
    // DC to select them into, which every one of a window's buttons would pay for), otherwise
    // through a memory DC.
    void Draw(HDC target, int x, int y, const RECT& from) const
    {
        HBITMAP handle = Handle();
        if (handle == nullptr)
            return;
        const int width = from.right - from.left, height = from.bottom - from.top;
        if (m_rows.rows != nullptr && m_rows.bottomUp &&
            StretchDIBits(target, x, y, width, height, from.left, size.cy - from.bottom, width, height, m_rows.rows,
                          &m_rows.layout, DIB_RGB_COLORS, SRCCOPY) != 0)
            return;
        qelt::UniqueMemoryDc source(CreateCompatibleDC(target));
        if (!source)
            return;
        qelt::SelectedObject selected(source.Get(), handle);
        BitBlt(target, x, y, width, height, source.Get(), from.left, from.top, SRCCOPY);
    }

    // Where the pixels can be read in place; rows null when they cannot (nor be drawn without
    // a DC).
    const PixelRows& Rows() const
    {
        Handle();
        return m_rows;
    }

    bool RowsStillInFile() const { return static_cast<bool>(m_pendingFile); }
    // The outline of a mask whose rows are still in its file, read a block at a time: a mask
    // serves the outline only, so its pixels are never held. No region (with a diagnostic) when
    // the rows cannot be read.
    qelt::UniqueRegion OutlineFromFile() const;

private:
    mutable qelt::UniqueBitmap m_bitmap;
    mutable PixelRows m_rows;
    mutable qelt::UniqueHandle m_pendingFile;
    PlainBmpHeader m_pendingHeader;
};

namespace {

LONG ClampToLong(long long value)
{
    return LONG(std::clamp<long long>(value, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// An in-process bitmap holding what image shows; none (with a diagnostic) when it cannot be
// made.
qelt::UniqueBitmap NewBitmapOf(const SkinBitmap& image)
{
    const SIZE size = image.Size();
    qelt::UniqueBitmap bitmap = NewTrueColourBitmap(size);
    qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc) {
        qelt::DiagLastError(L"CreateCompatibleDC (skin image)");
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
        return m_pixels->Handle();
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
    if (!pixels || pixels->size.cx <= 0 || pixels->size.cy <= 0)
        return;
    m_rect = m_valid = RECT{0, 0, pixels->size.cx, pixels->size.cy};
    m_pixels = std::move(pixels);
}

void SkinBitmap::AttachBitmap(HBITMAP bitmap)
{
    Attach(std::make_shared<const Pixels>(qelt::UniqueBitmap(bitmap), RowOrder::Unknown));
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
    if (m_ownBitmap) {  // made by Get(), and maybe drawn on since
        qelt::UniqueMemoryDc source(CreateCompatibleDC(target));
        if (!source)
            return;
        qelt::SelectedObject selected(source.Get(), m_ownBitmap.Get());
        BitBlt(target, 0, 0, width, height, source.Get(), 0, 0, SRCCOPY);
        return;
    }
    const RECT drawn{m_rect.left, m_rect.top, m_rect.left + width, m_rect.top + height};
    const RECT from = Intersection(drawn, m_valid);
    if (!EqualRect(&from, &drawn))
        PatBlt(target, 0, 0, width, height, BLACKNESS);  // what a fresh bitmap held where source had none
    if (IsRectEmpty(&from))
        return;
    m_pixels->Draw(target, from.left - m_rect.left, from.top - m_rect.top, from);
}

SIZE LoadSkinImage(const std::wstring& path, SkinBitmap& target)
{
    SkinImageReader reader;
    return reader.Load(path, target);
}

SIZE SkinImageReader::Load(const std::wstring& path, SkinBitmap& target)
{
    return LoadFile(path, target, true);
}

SIZE SkinImageReader::LoadOnFirstUse(const std::wstring& path, SkinBitmap& target)
{
    return LoadFile(path, target, false);
}

SIZE SkinImageReader::LoadFile(const std::wstring& path, SkinBitmap& target, bool readPixelsNow)
{
    target.Reset();
    qelt::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        qelt::DiagLastError(L"CreateFileW (skin image)");
        return SIZE{0, 0};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > 0x7FFFFFFF) {
        qelt::Diag(L"ERROR: skin image %ls is empty or too large\n", path.c_str());
        return SIZE{0, 0};
    }
    PlainBmpHeader header;
    const BmpKind kind = ReadPlainBmpHeader(file.Get(), size.QuadPart, header);
    if (kind == BmpKind::Truncated) {
        qelt::Diag(L"ERROR: skin image %ls is cut short (%lld bytes)\n", path.c_str(), size.QuadPart);
        return SIZE{0, 0};
    }
    if (kind == BmpKind::Plain) {
        if (readPixelsNow)
            target.Attach(std::make_shared<const SkinBitmap::Pixels>(
                ReadPlainBmpRows(file.Get(), header), header.info.biHeight > 0 ? RowOrder::BottomUp : RowOrder::TopDown));
        else
            target.Attach(std::make_shared<const SkinBitmap::Pixels>(std::move(file), header));
        return target.Size();
    }
    return Decode(file.Get(), DWORD(size.QuadPart), path, target);
}

DWORD SkinImageReader::ReadWhole(HANDLE file, DWORD bytes)
{
    // The stream made over the block has the block's size: it must be the file's exactly.
    if (!m_block || GlobalSize(m_block.Get()) != bytes)
        m_block.Reset(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!m_block) {
        qelt::DiagLastError(L"GlobalAlloc");
        return 0;
    }
    LARGE_INTEGER start{};
    void* data = GlobalLock(m_block.Get());
    const bool ok =
        data != nullptr && SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ReadExactly(file, data, bytes);
    if (data)
        GlobalUnlock(m_block.Get());
    if (!ok) {
        qelt::DiagLastError(L"ReadFile (skin image)");
        return 0;
    }
    return bytes;
}

SIZE SkinImageReader::Decode(HANDLE file, DWORD bytes, const std::wstring& path, SkinBitmap& target)
{
    if (ReadWhole(file, bytes) == 0)
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
    // The picture's pixels are copied into a bitmap of this process's own and the picture, which
    // keeps a bitmap and the file's bytes, goes: one copy of the pixels is held, not three.
    short type = PICTYPE_UNINITIALIZED;
    OLE_XSIZE_HIMETRIC widthHimetric = 0;
    OLE_YSIZE_HIMETRIC heightHimetric = 0;
    picture->get_Width(&widthHimetric);
    picture->get_Height(&heightHimetric);
    SIZE size{0, 0};
    HBITMAP pictureBitmap = nullptr;
    if (SUCCEEDED(picture->get_Type(&type)) && type == PICTYPE_BITMAP) {
        OLE_HANDLE handle = 0;
        if (SUCCEEDED(picture->get_Handle(&handle)))
            pictureBitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
        size = BitmapSize(pictureBitmap);
    } else {
        // Icons and metafiles carry no bitmap of their own: they are rendered at screen size.
        qelt::WindowDc screen(nullptr);
        size.cx = MulDiv(widthHimetric, GetDeviceCaps(screen.Get(), LOGPIXELSX), 2540);
        size.cy = MulDiv(heightHimetric, GetDeviceCaps(screen.Get(), LOGPIXELSY), 2540);
    }
    qelt::UniqueBitmap bitmap = NewTrueColourBitmap(size);
    qelt::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc) {
        qelt::Diag(L"ERROR: skin image %ls could not be rendered\n", path.c_str());
        return SIZE{0, 0};
    }
    {
        qelt::SelectedObject selected(dc.Get(), bitmap.Get());
        if (pictureBitmap != nullptr) {
            qelt::UniqueMemoryDc source(CreateCompatibleDC(nullptr));
            qelt::SelectedObject sourceSelected(source.Get(), pictureBitmap);
            BitBlt(dc.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
        } else {
            picture->Render(dc.Get(), 0, size.cy, size.cx, -size.cy, 0, 0, widthHimetric, heightHimetric, nullptr);
        }
    }
    target.Attach(std::make_shared<const SkinBitmap::Pixels>(std::move(bitmap), RowOrder::BottomUp));
    return target.Size();
}

namespace {

// Region data: a RGNDATAHEADER and the rectangles after it.
class RegionRectangles {
public:
    RegionRectangles() { m_rects.reserve(100); Restart(); }

    void Add(LONG x0, LONG y0, LONG x1, LONG y1)
    {
        if (m_rects.size() == m_rects.capacity())
            m_rects.reserve(m_rects.size() + 100);
        m_rects.push_back(RECT{x0, y0, x1, y1});
        RECT& bound = m_header.rcBound;
        if (x0 < bound.left) bound.left = x0;
        if (y0 < bound.top) bound.top = y0;
        if (x1 > bound.right) bound.right = x1;
        if (y1 > bound.bottom) bound.bottom = y1;
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

// The runs of pixels that are not white in one row, as (start, end) column pairs.
void RunsOfRow(const BYTE* row, LONG width, size_t step, std::vector<LONG>& runs)
{
    runs.clear();
    auto isWhite = [row, step](LONG px) {
        const BYTE* p = row + size_t(px) * step;  // blue, green, red
        return p[0] == 255 && p[1] == 255 && p[2] == 255;
    };
    LONG x = 0;
    while (x < width) {
        if (isWhite(x)) {
            ++x;
            continue;
        }
        const LONG start = x;
        while (x < width && !isWhite(x))
            ++x;
        runs.push_back(start);
        runs.push_back(x);
        ++x;  // the white pixel that ended the run
    }
}

// A region made row after row, from the top: rows with the same runs as the row above extend its
// rectangles downwards (a window outline is mostly such rows, and the platform unions a region's
// rectangles one at a time).
class OutlineBuilder {
public:
    OutlineBuilder(LONG width, int bytesPerPixel)
        : m_width(width), m_step(size_t(bytesPerPixel)), m_result(CreateRectRgn(0, 0, 0, 0))
    {
        if (!m_result)
            qelt::DiagLastError(L"CreateRectRgn");
    }

    void AddRow(const BYTE* row)
    {
        RunsOfRow(row, m_width, m_step, m_rowRuns);
        if (m_y == 0 || m_rowRuns != m_bandRuns) {
            CloseBand();
            m_bandRuns.swap(m_rowRuns);
            m_bandTop = m_y;
        }
        ++m_y;
    }

    qelt::UniqueRegion Finish()
    {
        CloseBand();
        if (m_result)
            m_rectangles.FlushInto(m_result.Get());
        return std::move(m_result);
    }

private:
    void CloseBand()
    {
        for (size_t i = 0; i < m_bandRuns.size() && m_result; i += 2) {
            m_rectangles.Add(m_bandRuns[i], m_bandTop, m_bandRuns[i + 1], m_y);
            if (m_rectangles.Count() == kRectanglesPerBatch)
                m_rectangles.FlushInto(m_result.Get());
        }
        m_bandRuns.clear();
    }

    LONG m_width;
    size_t m_step;
    LONG m_y = 0;
    LONG m_bandTop = 0;
    std::vector<LONG> m_bandRuns, m_rowRuns;
    RegionRectangles m_rectangles;
    qelt::UniqueRegion m_result;
};

qelt::UniqueRegion RegionFromRows(const PixelRows& mask)
{
    OutlineBuilder outline(mask.width, mask.bytesPerPixel);
    for (LONG y = 0; y < mask.height; ++y)
        outline.AddRow(mask.Row(y));
    return outline.Finish();
}

} // namespace

qelt::UniqueRegion SkinBitmap::Pixels::OutlineFromFile() const
{
    const PlainBmpHeader& header = m_pendingHeader;
    const LONG height = size.cy;
    const size_t stride = header.rowsBytes / size_t(height);
    const LONG rowsPerBlock = LONG(std::max<size_t>(1, 64 * 1024 / stride));
    const bool bottomUp = header.info.biHeight > 0;
    std::vector<BYTE> block(size_t(std::min(rowsPerBlock, height)) * stride);
    OutlineBuilder outline(size.cx, header.info.biBitCount / 8);
    for (LONG y = 0; y < height; y += rowsPerBlock) {
        const LONG count = std::min(rowsPerBlock, height - y);
        // Rows y to y + count - 1; a bottom-up file stores them in the opposite order.
        LARGE_INTEGER offset{};
        offset.QuadPart = header.rowsOffset + LONGLONG(bottomUp ? height - (y + count) : y) * LONGLONG(stride);
        if (!SetFilePointerEx(m_pendingFile.Get(), offset, nullptr, FILE_BEGIN) ||
            !ReadExactly(m_pendingFile.Get(), block.data(), DWORD(size_t(count) * stride))) {
            qelt::DiagLastError(L"ReadFile (skin mask)");
            return {};
        }
        for (LONG i = 0; i < count; ++i)
            outline.AddRow(block.data() + size_t(bottomUp ? count - 1 - i : i) * stride);
    }
    return outline.Finish();
}

qelt::UniqueRegion RegionFromMask(const SkinBitmap& mask)
{
    if (mask.Empty())
        return {};
    // A whole image read from a bitmap file is scanned where it lies, or, while its rows are
    // still in the file, from there.
    if (!mask.m_isCut && mask.m_pixels->RowsStillInFile())
        return mask.m_pixels->OutlineFromFile();
    const PixelRows& rows = mask.m_pixels->Rows();
    if (!mask.m_isCut && rows.rows != nullptr) {
        GdiFlush();
        return RegionFromRows(rows);
    }
    return RegionFromMask(mask.Get());
}

qelt::UniqueRegion RegionFromMask(HBITMAP mask)
{
    if (mask == nullptr)
        return {};
    // Copied into rows of a known layout first.
    const SIZE size = BitmapSize(mask);
    if (size.cx <= 0 || size.cy <= 0)
        return {};
    qelt::UniqueMemoryDc maskDc(CreateCompatibleDC(nullptr));
    qelt::UniqueMemoryDc copyDc(CreateCompatibleDC(nullptr));
    if (!maskDc || !copyDc) {
        qelt::DiagLastError(L"CreateCompatibleDC (mask)");
        return {};
    }
    qelt::UniqueBitmap copy = NewTrueColourBitmap(size);
    if (!copy)
        return {};
    {
        qelt::SelectedObject maskSelected(maskDc.Get(), mask);
        qelt::SelectedObject copySelected(copyDc.Get(), copy.Get());
        BitBlt(copyDc.Get(), 0, 0, size.cx, size.cy, maskDc.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();
    return RegionFromRows(PixelRows::Of(copy.Get(), RowOrder::BottomUp));
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

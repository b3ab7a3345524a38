#include "framework/Graphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/BitmapFile.h"
#include "framework/FileStream.h"

COLORREF ColorToRGB(TColor color)
{
    if (static_cast<std::uint32_t>(color) >> 24 == 0xFF) return GetSysColor(color & 0xFF);
    if (color == clNone || color == clDefault) return 0;
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

void TGraphicsObject::Changed()
{
    if (OnChange) OnChange(this);
}

// ---- TFont

TFont::TFont() = default;

static int ScreenLogPixelsY()
{
    static int dpi = [] {
        WindowDC dc(nullptr);
        return GetDeviceCaps(dc.get(), LOGPIXELSY);
    }();
    return dpi;
}

void TFont::SetName(const std::string& value)
{
    if (value == FName) return;
    FName = value;
    FHandle.reset();
    Changed();
}

int TFont::Size() const { return -static_cast<int>(std::lround(FHeight * 72.0 / ScreenLogPixelsY())); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenLogPixelsY(), 72)); }

void TFont::SetHeight(int value)
{
    if (value == FHeight) return;
    FHeight = value;
    FHandle.reset();
    Changed();
}

void TFont::SetColor(TColor value)
{
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TFont::SetStyle(TFontStyles value)
{
    if (value == FStyle) return;
    FStyle = value;
    FHandle.reset();
    Changed();
}

void TFont::SetQuality(TFontQuality value)
{
    if (value == FQuality) return;
    FQuality = value;
    FHandle.reset();
    Changed();
}

void TFont::Assign(const TFont& source)
{
    if (&source == this) return;
    FQuality = source.FQuality;
    FName = source.FName;
    FHeight = source.FHeight;
    FColor = source.FColor;
    FStyle = source.FStyle;
    FCharset = source.FCharset;
    FHandle.reset();
    Changed();
}

HFONT TFont::Handle()
{
    if (!FHandle) {
        LOGFONTA lf = {};
        lf.lfHeight = FHeight;
        lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
        lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = static_cast<BYTE>(FCharset);
        lf.lfQuality = static_cast<BYTE>(FQuality);
        lstrcpynA(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
        FHandle.reset(CreateFontIndirectA(&lf));
    }
    return FHandle.get();
}

bool TFont::SetProperty(const std::string& name, const TLayoutValue& value)
{
    if (name == "Name") SetName(value.AsString());
    else if (name == "Size") SetSize(value.AsInt());
    else if (name == "Height") SetHeight(value.AsInt());
    else if (name == "Color") SetColor(value.AsColor());
    else if (name == "Charset") FCharset = value.kind == TLayoutValue::kInteger ? value.AsInt() : DEFAULT_CHARSET;
    else if (name == "Style") {
        if (value.kind != TLayoutValue::kSet) throw ELayoutError("Set expected for Font.Style");
        TFontStyles styles = 0;
        for (const auto& item : value.Items) {
            if (item == "fsBold") styles |= fsBold;
            else if (item == "fsItalic") styles |= fsItalic;
            else if (item == "fsUnderline") styles |= fsUnderline;
            else if (item == "fsStrikeOut") styles |= fsStrikeOut;
            else throw ELayoutError("Unknown font style " + item);
        }
        SetStyle(styles);
    } else return false;
    return true;
}

// ---- TPen, TBrush

void TPen::SetColor(TColor value)
{
    if (value == FColor) return;
    FColor = value;
    FHandle.reset();
    Changed();
}
void TPen::SetWidth(int value)
{
    if (value == FWidth) return;
    FWidth = value;
    FHandle.reset();
    Changed();
}
void TPen::SetStyle(TPenStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    FHandle.reset();
    Changed();
}
void TPen::SetMode(TPenMode value)
{
    if (value == FMode) return;
    FMode = value;
    Changed();
}
void TPen::Assign(const TPen& source)
{
    FColor = source.FColor;
    FWidth = source.FWidth;
    FStyle = source.FStyle;
    FMode = source.FMode;
    FHandle.reset();
    Changed();
}
HPEN TPen::Handle()
{
    if (!FHandle) {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle.reset(CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor)));
    }
    return FHandle.get();
}

void TBrush::SetColor(TColor value)
{
    if (value == FColor && FStyle != bsClear) return;
    FColor = value;
    if (FStyle == bsClear) FStyle = bsSolid;
    FHandle.reset();
    Changed();
}
void TBrush::SetStyle(TBrushStyle value)
{
    if (value == FStyle) return;
    FStyle = value;
    FHandle.reset();
    Changed();
}
void TBrush::Assign(const TBrush& source)
{
    FColor = source.FColor;
    FStyle = source.FStyle;
    FHandle.reset();
    Changed();
}
HBRUSH TBrush::Handle()
{
    if (!FHandle) {
        if (FStyle == bsClear) {
            LOGBRUSH lb = {BS_NULL, 0, 0};
            FHandle.reset(CreateBrushIndirect(&lb));
        } else if (FStyle == bsSolid) {
            FHandle.reset(CreateSolidBrush(ColorToRGB(FColor)));
        } else {
            static const int hatches[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS,
                                          HS_DIAGCROSS};
            FHandle.reset(CreateHatchBrush(hatches[FStyle], ColorToRGB(FColor)));
        }
    }
    return FHandle.get();
}

// ---- TCanvas

TCanvas::TCanvas()
{
    // A changed pen, brush or font is selected again before the next drawing call.
    Font.OnChange = [this](TObject*) { Deselect(); };
    Pen.OnChange = [this](TObject*) { Deselect(); };
    Brush.OnChange = [this](TObject*) { Deselect(); };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(HDC dc)
{
    if (dc == FDC) return;
    Deselect();
    FDC = dc;
}

void TCanvas::Select()
{
    if (!FDC || FOldPen) return;
    FOldPen = SelectObject(FDC, Pen.Handle());
    FOldBrush = SelectObject(FDC, Brush.Handle());
    FOldFont = SelectObject(FDC, Font.Handle());
    SetTextColor(FDC, ColorToRGB(Font.Color()));
    SetBkColor(FDC, ColorToRGB(Brush.Color()));
    SetBkMode(FDC, Brush.Style() == bsClear ? TRANSPARENT : OPAQUE);
    static const int rops[] = {R2_COPYPEN, R2_NOT, R2_XORPEN, R2_MERGEPEN, R2_MASKPEN};
    SetROP2(FDC, rops[Pen.Mode()]);
}

void TCanvas::Deselect()
{
    if (!FDC || !FOldPen) return;
    SelectObject(FDC, FOldPen);
    SelectObject(FDC, FOldBrush);
    SelectObject(FDC, FOldFont);
    FOldPen = FOldBrush = FOldFont = nullptr;
}

HDC TCanvas::Handle()
{
    Select();
    return FDC;
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }
void TCanvas::LineTo(int x, int y) { ::LineTo(Handle(), x, y); }
void TCanvas::Rectangle(int x1, int y1, int x2, int y2) { ::Rectangle(Handle(), x1, y1, x2, y2); }
void TCanvas::Ellipse(int x1, int y1, int x2, int y2) { ::Ellipse(Handle(), x1, y1, x2, y2); }

void TCanvas::FillRect(const TRect& r)
{
    RECT rc = {r.Left, r.Top, r.Right, r.Bottom};
    ::FillRect(Handle(), &rc, Brush.Handle());
}

void TCanvas::FrameRect(const TRect& r)
{
    RECT rc = {r.Left, r.Top, r.Right, r.Bottom};
    ::FrameRect(Handle(), &rc, Brush.Handle());
}

void TCanvas::TextOut(int x, int y, const std::string& text)
{
    ::TextOutA(Handle(), x, y, text.c_str(), static_cast<int>(text.size()));
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text)
{
    RECT rc = {r.Left, r.Top, r.Right, r.Bottom};
    UINT options = ETO_CLIPPED | (Brush.Style() != bsClear ? ETO_OPAQUE : 0);
    ExtTextOutA(Handle(), x, y, options, &rc, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

TPoint TCanvas::TextExtent(const std::string& text)
{
    SIZE size = {};
    GetTextExtentPoint32A(Handle(), text.c_str(), static_cast<int>(text.size()), &size);
    return TPoint{size.cx, size.cy};
}

TColor TCanvas::Pixel(int x, int y) { return static_cast<TColor>(GetPixel(Handle(), x, y)); }

void TCanvas::SetPixel(int x, int y, TColor color) { ::SetPixel(Handle(), x, y, ColorToRGB(color)); }

void TCanvas::Draw(int x, int y, TBitmap& bitmap)
{
    if (bitmap.Empty()) return;
    HDC src = bitmap.Canvas().Handle();
    if (bitmap.Transparent) {
        TransparentBlt(Handle(), x, y, bitmap.Width(), bitmap.Height(), src, 0, 0, bitmap.Width(), bitmap.Height(),
                       ColorToRGB(bitmap.TransparentColor()));
    } else {
        BitBlt(Handle(), x, y, bitmap.Width(), bitmap.Height(), src, 0, 0, SRCCOPY);
    }
}

void TCanvas::StretchDraw(const TRect& r, TBitmap& bitmap)
{
    if (bitmap.Empty()) return;
    SetStretchBltMode(Handle(), COLORONCOLOR);
    StretchBlt(Handle(), r.Left, r.Top, r.Width(), r.Height(), bitmap.Canvas().Handle(), 0, 0, bitmap.Width(),
               bitmap.Height(), SRCCOPY);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& src, DWORD rop)
{
    if (dest.Width() == src.Width() && dest.Height() == src.Height())
        BitBlt(Handle(), dest.Left, dest.Top, dest.Width(), dest.Height(), source.Handle(), src.Left, src.Top, rop);
    else
        StretchBlt(Handle(), dest.Left, dest.Top, dest.Width(), dest.Height(), source.Handle(), src.Left, src.Top,
                   src.Width(), src.Height(), rop);
}

// ---- TBitmap

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { ReleaseCanvas(); }

void TBitmap::ReleaseCanvas()
{
    if (FCanvas) FCanvas->SetHandle(nullptr);
    if (FDC.get() && FOldBitmap) SelectObject(FDC.get(), FOldBitmap);
    FOldBitmap = nullptr;
    FDC.reset();
}

static int BitCountOf(TPixelFormat format)
{
    switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return 24;
    }
}

int TBitmap::BytesPerLine() const { return TBitmapFileImage::StrideFor(FWidth, BitCountOf(FPixelFormat)); }

void TBitmap::Recreate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>* palette)
{
    ReleaseCanvas();
    FHandle.reset();
    FBits = nullptr;
    FWidth = std::max(0, width);
    FHeight = std::max(0, height);
    FPixelFormat = format == pfDevice ? pf24bit : format;
    if (palette)
        FPalette = *palette;
    else if (BitCountOf(FPixelFormat) <= 8 && FPalette.size() != (1u << BitCountOf(FPixelFormat))) {
        // A grey ramp (black and white for 1 bit) when no palette is given.
        int n = 1 << BitCountOf(FPixelFormat);
        FPalette.assign(n, RGBQUAD{});
        for (int i = 0; i < n; ++i) {
            BYTE v = static_cast<BYTE>(i * 255 / (n - 1));
            FPalette[i] = RGBQUAD{v, v, v, 0};
        }
    }
    if (BitCountOf(FPixelFormat) > 8) FPalette.clear();
    if (FWidth == 0 || FHeight == 0) return;

    std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = FWidth;
    bih->biHeight = FHeight;
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(BitCountOf(FPixelFormat));
    bih->biCompression = BI_RGB;
    if (FPixelFormat == pf16bit) {
        bih->biCompression = BI_BITFIELDS;
        auto* masks = reinterpret_cast<DWORD*>(info.data() + sizeof(BITMAPINFOHEADER));
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    if (!FPalette.empty()) {
        bih->biClrUsed = static_cast<DWORD>(FPalette.size());
        std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), FPalette.data(), FPalette.size() * sizeof(RGBQUAD));
    }
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits,
                                   nullptr, 0);
    if (!bmp) throw EOutOfResources("Out of system resources");
    FHandle.reset(bmp);
    FBits = static_cast<std::uint8_t*>(bits);
}

void TBitmap::SetSize(int width, int height)
{
    if (width == FWidth && height == FHeight) return;
    int oldW = FWidth, oldH = FHeight;
    std::vector<std::uint8_t> oldRows;
    int oldStride = BytesPerLine();
    if (FBits) oldRows.assign(FBits, FBits + static_cast<std::size_t>(oldStride) * oldH);
    Recreate(width, height, FPixelFormat, nullptr);
    if (!FBits) return;
    std::memset(FBits, 0xFF, static_cast<std::size_t>(BytesPerLine()) * FHeight);
    // Keep the old top-left part.
    int rows = std::min(oldH, FHeight);
    int bytes = std::min(oldStride, BytesPerLine());
    if (BitCountOf(FPixelFormat) >= 8) bytes = std::min(oldW, FWidth) * BitCountOf(FPixelFormat) / 8;
    for (int y = 0; y < rows && !oldRows.empty(); ++y)
        std::memcpy(ScanLine(y), oldRows.data() + static_cast<std::size_t>(oldH - 1 - y) * oldStride, bytes);
    if (OnChange) OnChange(this);
}

void TBitmap::SetPixelFormat(TPixelFormat value)
{
    if (value == FPixelFormat) return;
    if (FWidth == 0 || FHeight == 0) {
        FPixelFormat = value == pfDevice ? pf24bit : value;
        return;
    }
    // Convert through GDI: draw the old picture into the new one.
    TBitmap old;
    old.Assign(*this);
    Recreate(FWidth, FHeight, value, nullptr);
    BitBlt(Canvas().Handle(), 0, 0, FWidth, FHeight, old.Canvas().Handle(), 0, 0, SRCCOPY);
}

TColor TBitmap::TransparentColor() const
{
    if (FTransparentColor != clDefault) return FTransparentColor;
    if (Empty()) return clWhite;
    return FastPixel(0, FHeight - 1);
}

std::uint8_t* TBitmap::ScanLine(int y)
{
    if (!FBits || y < 0 || y >= FHeight) throw EInvalidGraphic("Scan line index out of range");
    GdiFlush();
    return FBits + static_cast<std::size_t>(FHeight - 1 - y) * BytesPerLine();
}

TColor TBitmap::FastPixel(int x, int y) const
{
    if (!FBits || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clBlack;
    GdiFlush();
    const std::uint8_t* row = FBits + static_cast<std::size_t>(FHeight - 1 - y) * BytesPerLine();
    switch (FPixelFormat) {
    case pf24bit:
    case pf32bit: {
        const std::uint8_t* p = row + (FPixelFormat == pf24bit ? 3 : 4) * x;
        return p[2] | (p[1] << 8) | (p[0] << 16);
    }
    case pf15bit:
    case pf16bit: return static_cast<TColor>(Pixel555ToColor(row[2 * x] | (row[2 * x + 1] << 8)));
    default: {
        int bits = BitCountOf(FPixelFormat);
        int bit = x * bits;
        unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= FPalette.size()) return clBlack;
        const RGBQUAD& q = FPalette[index];
        return q.rgbRed | (q.rgbGreen << 8) | (q.rgbBlue << 16);
    }
    }
}

void TBitmap::SetFastPixel(int x, int y, TColor color)
{
    if (!FBits || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    GdiFlush();
    COLORREF c = ColorToRGB(color);
    std::uint8_t* row = FBits + static_cast<std::size_t>(FHeight - 1 - y) * BytesPerLine();
    switch (FPixelFormat) {
    case pf24bit:
    case pf32bit: {
        std::uint8_t* p = row + (FPixelFormat == pf24bit ? 3 : 4) * x;
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
        break;
    }
    case pf15bit:
    case pf16bit: {
        unsigned v = ColorToPixel555(c);
        row[2 * x] = static_cast<std::uint8_t>(v);
        row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
    }
    default:
        ::SetPixel(Canvas().Handle(), x, y, c);
        break;
    }
}

TCanvas& TBitmap::Canvas()
{
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    if (!FDC.get()) {
        FDC.reset(CreateCompatibleDC(nullptr));
        if (FHandle) FOldBitmap = SelectObject(FDC.get(), FHandle.get());
        FCanvas->SetHandle(FDC.get());
    }
    return *FCanvas;
}

void TBitmap::Assign(const TBitmap& source)
{
    if (&source == this) return;
    Recreate(source.FWidth, source.FHeight, source.FPixelFormat, source.FPalette.empty() ? nullptr : &source.FPalette);
    if (FBits && source.FBits) {
        GdiFlush();
        std::memcpy(FBits, source.FBits, static_cast<std::size_t>(BytesPerLine()) * FHeight);
    }
    Transparent = source.Transparent;
    FTransparentColor = source.FTransparentColor;
    if (OnChange) OnChange(this);
}

void TBitmap::LoadFromBytes(const std::vector<std::uint8_t>& bytes)
{
    TBitmapFileImage image = ReadBitmapFile(bytes.data(), bytes.size());
    TPixelFormat format = pf24bit;
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf32bit})
        if (BitCountOf(f) == image.BitCount) format = f;
    if (image.BitCount == 16 && image.BitFields && image.GreenMask == 0x07E0) {
        // 5-6-5 pictures are kept as 24-bit; the program itself only stores 5-5-5.
        image = Convert565To24(image);
        format = pf24bit;
    }
    std::vector<RGBQUAD> palette;
    for (std::uint32_t q : image.Palette)
        palette.push_back(RGBQUAD{static_cast<BYTE>(q), static_cast<BYTE>(q >> 8), static_cast<BYTE>(q >> 16), 0});
    Recreate(image.Width, image.Height, format, palette.empty() ? nullptr : &palette);
    if (FBits) {
        GdiFlush();
        std::memcpy(FBits, image.Bits.data(), std::min(image.Bits.size(), static_cast<std::size_t>(BytesPerLine()) * FHeight));
    }
    if (OnChange) OnChange(this);
}

std::vector<std::uint8_t> TBitmap::SaveToBytes() const
{
    TBitmapFileImage image;
    image.Width = FWidth;
    image.Height = FHeight;
    image.BitCount = BitCountOf(FPixelFormat);
    if (FPixelFormat == pf16bit) {
        image.BitFields = true;
        image.RedMask = 0x7C00;
        image.GreenMask = 0x03E0;
        image.BlueMask = 0x001F;
    }
    for (const RGBQUAD& q : FPalette)
        image.Palette.push_back(q.rgbBlue | (q.rgbGreen << 8) | (std::uint32_t(q.rgbRed) << 16));
    if (FBits) {
        GdiFlush();
        image.Bits.assign(FBits, FBits + static_cast<std::size_t>(BytesPerLine()) * FHeight);
    }
    return WriteBitmapFile(image);
}

void TBitmap::LoadFromStream(TStream& stream)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size() - stream.Position()));
    stream.ReadBuffer(bytes.data(), static_cast<long>(bytes.size()));
    LoadFromBytes(bytes);
}

void TBitmap::SaveToStream(TStream& stream) const
{
    std::vector<std::uint8_t> bytes = SaveToBytes();
    stream.WriteBuffer(bytes.data(), static_cast<long>(bytes.size()));
}

void TBitmap::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(file);
}

void TBitmap::SaveToFile(const std::string& fileName) const
{
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name)
{
    HRSRC res = FindResourceA(instance, UpperCase(name).c_str(), RT_BITMAP);
    if (!res) throw EInvalidGraphic("Resource " + name + " not found");
    HGLOBAL mem = LoadResource(instance, res);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(mem));
    DWORD size = SizeofResource(instance, res);
    if (!data || size < sizeof(BITMAPINFOHEADER)) throw EInvalidGraphic("Bitmap image is not valid");
    // A BITMAP resource is a bitmap file without its 14-byte file header: put one in front.
    std::vector<std::uint8_t> file(14 + size, 0);
    std::memcpy(file.data() + 14, data, size);
    const auto* bih = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    DWORD colors = bih->biClrUsed ? bih->biClrUsed : (bih->biBitCount <= 8 ? (1u << bih->biBitCount) : 0);
    DWORD offBits = 14 + bih->biSize + colors * 4 + (bih->biCompression == BI_BITFIELDS && bih->biSize == 40 ? 12 : 0);
    file[0] = 'B';
    file[1] = 'M';
    auto put32 = [&](std::size_t at, DWORD v) { std::memcpy(file.data() + at, &v, 4); };
    put32(2, static_cast<DWORD>(file.size()));
    put32(10, offBits);
    LoadFromBytes(file);
}

// ---- TIcon

TIcon::~TIcon()
{
    if (FHandle) DestroyIcon(FHandle);
}

void TIcon::SetHandle(HICON icon)
{
    if (icon == FHandle) return;
    if (FHandle) DestroyIcon(FHandle);
    FHandle = icon;
    if (OnChange) OnChange(this);
}

void TIcon::Assign(const TIcon& source)
{
    if (&source == this) return;
    SetHandle(source.FHandle ? CopyIcon(source.FHandle) : nullptr);
}

void TIcon::LoadFromBytes(const std::vector<std::uint8_t>& bytes)
{
    // An .ico file: ICONDIR (6 bytes) then 16-byte entries pointing at the images.
    auto u16 = [&](std::size_t at) { return static_cast<unsigned>(bytes[at] | (bytes[at + 1] << 8)); };
    auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    if (bytes.size() < 6 || u16(0) != 0 || u16(2) != 1) throw EInvalidGraphic("Icon image is not valid");
    unsigned count = u16(4);
    if (count == 0 || bytes.size() < 6 + 16 * count) throw EInvalidGraphic("Icon image is not valid");
    unsigned best = 0;
    for (unsigned i = 0; i < count; ++i)
        if (bytes[6 + 16 * i] == 16) {
            best = i;
            break;
        }
    std::size_t entry = 6 + 16 * best;
    std::size_t size = u32(entry + 8), offset = u32(entry + 12);
    if (offset + size > bytes.size() || size == 0) throw EInvalidGraphic("Icon image is not valid");
    int w = bytes[entry] ? bytes[entry] : 256, h = bytes[entry + 1] ? bytes[entry + 1] : 256;
    HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(bytes.data() + offset), static_cast<DWORD>(size), TRUE,
                                          0x00030000, w, h, LR_DEFAULTCOLOR);
    if (!icon) throw EInvalidGraphic("Icon image is not valid");
    SetHandle(icon);
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const std::string& name)
{
    HICON icon = static_cast<HICON>(LoadImageA(instance, name.c_str(), IMAGE_ICON, 16, 16, 0));
    if (!icon) throw EInvalidGraphic("Resource " + name + " not found");
    SetHandle(icon);
}

int TIcon::Width() const
{
    ICONINFO info;
    if (!FHandle || !GetIconInfo(FHandle, &info)) return 0;
    BITMAP bm = {};
    GetObjectA(info.hbmMask, sizeof bm, &bm);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bm.bmWidth;
}

int TIcon::Height() const
{
    ICONINFO info;
    if (!FHandle || !GetIconInfo(FHandle, &info)) return 0;
    BITMAP bm = {};
    GetObjectA(info.hbmMask, sizeof bm, &bm);
    bool hasColor = info.hbmColor != nullptr;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return hasColor ? bm.bmHeight : bm.bmHeight / 2;
}

// ---- TPicture

TBitmap& TPicture::Bitmap()
{
    if (!FBitmap) {
        FIcon.reset();
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->OnChange = [this](TObject*) {
            if (OnChange) OnChange(this);
        };
    }
    return *FBitmap;
}

TIcon& TPicture::Icon()
{
    if (!FIcon) {
        FBitmap.reset();
        FIcon = std::make_unique<TIcon>();
    }
    return *FIcon;
}

void TPicture::Assign(const TBitmap& bitmap)
{
    Bitmap().Assign(bitmap);
    if (OnChange) OnChange(this);
}

void TPicture::Clear()
{
    FBitmap.reset();
    FIcon.reset();
    if (OnChange) OnChange(this);
}

std::vector<std::uint8_t> LoadResourceBytes(const std::string& name, LPCSTR type)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, UpperCase(name).c_str(), type);
    if (!res) return {};
    HGLOBAL mem = LoadResource(module, res);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(mem));
    DWORD size = SizeofResource(module, res);
    if (!data) return {};
    return std::vector<std::uint8_t>(data, data + size);
}

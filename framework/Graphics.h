// Drawing over GDI: fonts, pens, brushes, canvases, DIB-section bitmaps and icons. Every handle has one owner.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/GdiHandles.h"
#include "framework/Streams.h"

// The RGB value of a colour, resolving system colours.
COLORREF ColorToRGB(TColor color);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmCopy, pmNot, pmXor, pmMerge, pmMask };
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// Graphics objects create their GDI handle lazily and recreate it after a change.
class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

// How glyph edges are drawn (the platform's font quality values).
enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased };

class TFont : public TGraphicsObject {
public:
    TFont();
    const std::string& Name() const { return FName; }
    void SetName(const std::string& value);
    int Size() const;           // points
    void SetSize(int points);
    int Height() const { return FHeight; }  // pixels; negative means character height
    void SetHeight(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    int Charset() const { return FCharset; }
    TFontQuality Quality() const { return FQuality; }
    void SetQuality(TFontQuality value);
    void Assign(const TFont& source);
    HFONT Handle();
    bool SetProperty(const std::string& name, const TLayoutValue& value) override;

private:
    std::string FName = "MS Sans Serif";
    int FHeight = -11;  // 8 pt at 96 dpi
    TColor FColor = clWindowText;
    TFontStyles FStyle = 0;
    int FCharset = DEFAULT_CHARSET;
    TFontQuality FQuality = fqDefault;
    GdiObject<HFONT> FHandle;
};

class TPen : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int Width() const { return FWidth; }
    void SetWidth(int value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);
    HPEN Handle();
    void Assign(const TPen& source);

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    GdiObject<HPEN> FHandle;
};

class TBrush : public TGraphicsObject {
public:
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    HBRUSH Handle();
    void Assign(const TBrush& source);

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    GdiObject<HBRUSH> FHandle;
};

class TBitmap;

// A device context with its own pen, brush and font. The canvas selects its objects into the DC when it
// draws and selects the DC's original objects back before the DC is released.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TFont Font;
    TPen Pen;
    TBrush Brush;

    // Borrows dc (nullptr detaches, restoring the DC's original objects). The caller keeps ownership.
    void SetHandle(HDC dc);
    HDC Handle();  // the DC with pen, brush and font selected
    bool HandleAllocated() const { return FDC != nullptr; }

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int x1, int y1, int x2, int y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void Ellipse(int x1, int y1, int x2, int y2);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);   // with the brush
    void FrameRect(const TRect& r);  // with the brush
    void TextOut(int x, int y, const std::string& text);
    void TextRect(const TRect& r, int x, int y, const std::string& text);
    TPoint TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).X; }
    int TextHeight(const std::string& text) { return TextExtent(text).Y; }
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    void Draw(int x, int y, TBitmap& bitmap);
    void StretchDraw(const TRect& r, TBitmap& bitmap);
    // Block transfer from another canvas with the given raster operation (SRCCOPY by default).
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& src, DWORD rop = SRCCOPY);

private:
    void Select();
    void Deselect();

    HDC FDC = nullptr;
    HGDIOBJ FOldPen = nullptr, FOldBrush = nullptr, FOldFont = nullptr;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// An off-screen picture held in a DIB section, so pixels can be reached without GDI calls.
// Bottom-up rows as the platform keeps them; ScanLine(y) hides that.
class TBitmap : public TPersistent {
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetWidth(int value) { SetSize(value, FHeight); }
    void SetHeight(int value) { SetSize(FWidth, value); }
    // Keeps the picture's top-left part; new area is white.
    void SetSize(int width, int height);
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat value);
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    bool Transparent = false;
    TColor TransparentColor() const;  // the bottom-left pixel unless set
    void SetTransparentColor(TColor value) { FTransparentColor = value; }

    // Row y (0 = top) of the pixel bits, in the bitmap's own pixel format.
    std::uint8_t* ScanLine(int y);
    int BytesPerLine() const;
    // Pixel access for 24 and 32-bit bitmaps without GDI calls (colours as 0x00BBGGRR).
    TColor FastPixel(int x, int y) const;
    void SetFastPixel(int x, int y, TColor color);

    TCanvas& Canvas();
    HBITMAP Handle() const { return FHandle.get(); }
    void Assign(const TBitmap& source);
    // Lets go of the canvas DC, so the bitmap handle can be given to calls that need it unselected.
    void Dormant() { ReleaseCanvas(); }

    // Complete bitmap files (file header included). Saving writes the format the bitmap holds:
    // 16-bit bitmaps as 5-5-5 with bit fields, 24 and 32-bit as plain RGB, palette formats with their palette.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromBytes(const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> SaveToBytes() const;
    // A BITMAP resource (RT_BITMAP) of the program, by name; names are matched without regard to case.
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);

    TNotifyEvent OnChange;

private:
    void Recreate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>* palette);
    void ReleaseCanvas();

    int FWidth = 0, FHeight = 0;
    TPixelFormat FPixelFormat = pf24bit;
    std::vector<RGBQUAD> FPalette;
    GdiObject<HBITMAP> FHandle;
    std::uint8_t* FBits = nullptr;
    DeviceContext FDC;
    HGDIOBJ FOldBitmap = nullptr;
    std::unique_ptr<TCanvas> FCanvas;
    TColor FTransparentColor = clDefault;
};

class TIcon : public TPersistent {
public:
    TIcon() = default;
    ~TIcon() override;
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    HICON Handle() const { return FHandle; }
    // Takes ownership of icon.
    void SetHandle(HICON icon);
    bool Empty() const { return FHandle == nullptr; }
    void Assign(const TIcon& source);  // copies the image
    // An .ico file's bytes; the 16 x 16 image is preferred.
    void LoadFromBytes(const std::vector<std::uint8_t>& bytes);
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);
    int Width() const;
    int Height() const;
    TNotifyEvent OnChange;

private:
    HICON FHandle = nullptr;
};

// A picture holder for TImage: a bitmap or an icon.
class TPicture : public TPersistent {
public:
    TBitmap& Bitmap();
    TIcon& Icon();
    bool HasBitmap() const { return static_cast<bool>(FBitmap); }
    bool HasIcon() const { return static_cast<bool>(FIcon); }
    void Assign(const TBitmap& bitmap);
    void Clear();
    TNotifyEvent OnChange;

private:
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TIcon> FIcon;
};

// Resource bytes of the running program (RT_RCDATA unless another type is given); empty when missing.
std::vector<std::uint8_t> LoadResourceBytes(const std::string& name, LPCSTR type = RT_RCDATA);

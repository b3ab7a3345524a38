#include "controls/lcd/LCD_Lab.h"

#include <algorithm>
#include <cstddef>
#include <memory>

#include "framework/Dialogs.h"
#include "framework/FileStream.h"

TLCDLabel::TLCDLabel(TComponent* AOwner) : TGraphicControl(AOwner)
{
    UpdateShadeColour();
    FitSizeToCounts();
}

TLCDLabel::~TLCDLabel() { FreeCustomFont(); }

// ---- Caption

std::string TLCDLabel::Caption() const { return FCaption.substr(0, MaxDisplayChars); }

void TLCDLabel::SetCaption(const std::string& value)
{
    if (value == FCaption) return;
    FCaption = value;
    FDisplayText = DisplayText(value);
    Redraw();
}

// ---- Properties

void TLCDLabel::Reject(const char* message) { MessageDlg(message, mtError, mbOK); }

void TLCDLabel::SetDotMatrix(TDotMatrix value)
{
    TDotMatrix previous = FDotMatrix;
    FDotMatrix = value;
    if (previous == CustomFont) previous = mat5x7;
    if (value == CustomFont) {
        if (FFileName.empty()) {
            FDotMatrix = previous;
        } else {
            FreeCustomFont();
            if (!LoadCustomFont(FFileName)) FDotMatrix = previous;
        }
    }
    Redraw();
}

void TLCDLabel::Setfilename(const T_FileName& value)
{
    FFileName = value;
    SetDotMatrix(CustomFont);
    Redraw();
}

void TLCDLabel::SetPixelSize(TPixelSize value)
{
    if (value == FPixelSize) return;
    FPixelSize = value;
    Redraw();
}

void TLCDLabel::SetPixelSpacing(int value)
{
    if (value < 0) return Reject("Pixel spacing can't be less than zero!");
    if (value == FPixelSpacing) return;
    FPixelSpacing = value;
    Redraw();
}

void TLCDLabel::SetPixelShape(TPixelShape value)
{
    if (value == FPixelShape) return;
    FPixelShape = value;
    Redraw();
}

void TLCDLabel::SetPixelWidth(int value)
{
    // Fixed pixel sizes own the dot size; only pixCustom takes it from here.
    if (FPixelSize != pixCustom || value == FPixelWidth) return;
    if (value < 1) return Reject("Display pixel width must be 1 or greater!");
    FPixelWidth = value;
    Redraw();
}

void TLCDLabel::SetPixelHeight(int value)
{
    if (FPixelSize != pixCustom || value == FPixelHeight) return;
    if (value < 1) return Reject("Display pixel height must be 1 or greate!");
    FPixelHeight = value;
    Redraw();
}

void TLCDLabel::SetCharSpacing(int value)
{
    if (value < 0) return Reject("Character spacing can't be less than zero!");
    if (value == FCharSpacing) return;
    FCharSpacing = value;
    Redraw();
}

void TLCDLabel::SetLineSpacing(int value)
{
    if (value < 0) return Reject("Line spacing can't be less than zero!");
    if (value == FLineSpacing) return;
    FLineSpacing = value;
    Redraw();
}

void TLCDLabel::SetBorderSpace(int value)
{
    if (value < 0) return Reject("Border spacing can't be less than zero!");
    if (value == FBorderSpace) return;
    FBorderSpace = value;
    Redraw();
}

void TLCDLabel::SetTextLines(int value)
{
    if (value < 1) return Reject("Display needs at least on line!");
    if (value == FTextLines) return;
    FTextLines = value;
    Redraw();
}

void TLCDLabel::SetNoOfChars(int value)
{
    if (value < 1) return Reject("Display needs at least one character!");
    if (value == FNoOfChars) return;
    FNoOfChars = value;
    Redraw();
}

void TLCDLabel::SetBackGround(TColor value)
{
    if (value == FBackGround) return;
    FBackGround = value;
    Redraw();
}

void TLCDLabel::SetBorderStyle(TMyBorder value)
{
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    Redraw();
}

void TLCDLabel::SetBorderColor(TColor value)
{
    if (value == FBorderColor) return;
    FBorderColor = value;
    Redraw();
}

void TLCDLabel::SetPixelOn(TColor value)
{
    if (value == FPixelOn) return;
    FPixelOn = value;
    UpdateShadeColour();
    Redraw();
}

void TLCDLabel::SetPixelOff(TColor value)
{
    if (value == FPixelOff) return;
    FPixelOff = value;
    Redraw();
}

bool TLCDLabel::SetProperty(const std::string& name, const TLayoutValue& value)
{
    static const std::initializer_list<const char*> matrices = {"mat5x7", "mat5x8", "mat7x9", "mat9x12",
                                                                "Hitachi", "Hitachi2", "dos5x7", "CustomFont"};
    static const std::initializer_list<const char*> sizes = {
        "pix1x1", "pix2x2", "pix3x3", "pix4x4", "pix5x5", "pix6x6", "pix7x7", "pix8x8", "pix9x9",
        "pix10x10", "pix11x11", "pix12x12", "pix13x13", "pix14x14", "pix15x15", "pix16x16", "pixCustom"};
    static const std::initializer_list<const char*> shapes = {"spSquare", "spShaped", "spRound"};
    static const std::initializer_list<const char*> borders = {"frRaised", "frLowered", "frSingle", "frNone"};

    if (name == "Caption") SetCaption(value.AsString());
    else if (name == "DotMatrix") SetDotMatrix(value.AsEnum<TDotMatrix>(matrices));
    else if (name == "PixelSize") SetPixelSize(value.AsEnum<TPixelSize>(sizes));
    else if (name == "PixelSpacing") SetPixelSpacing(value.AsInt());
    else if (name == "PixelShape") SetPixelShape(value.AsEnum<TPixelShape>(shapes));
    else if (name == "PixelWidth") SetPixelWidth(value.AsInt());
    else if (name == "PixelHeight") SetPixelHeight(value.AsInt());
    else if (name == "CharSpacing") SetCharSpacing(value.AsInt());
    else if (name == "LineSpacing") SetLineSpacing(value.AsInt());
    else if (name == "BorderSpace") SetBorderSpace(value.AsInt());
    else if (name == "TextLines") SetTextLines(value.AsInt());
    else if (name == "NoOfChars") SetNoOfChars(value.AsInt());
    else if (name == "BackGround") SetBackGround(value.AsColor());
    else if (name == "BorderStyle") SetBorderStyle(value.AsEnum<TMyBorder>(borders));
    else if (name == "BorderColor") SetBorderColor(value.AsColor());
    else if (name == "PixelOn") SetPixelOn(value.AsColor());
    else if (name == "PixelOff") SetPixelOff(value.AsColor());
    else if (name == "filename") Setfilename(value.AsString());
    else return TGraphicControl::SetProperty(name, value);
    return true;
}

void TLCDLabel::Loaded()
{
    TGraphicControl::Loaded();
    Layout();
}

// ---- Layout

void TLCDLabel::UpdateShadeColour() { FShadeColour = ShadeColour(FPixelOn); }

void TLCDLabel::UpdateCharRange()
{
    if (FDotMatrix != CustomFont) {
        TMatrixInfo info = MatrixInfo(FDotMatrix);
        FFirstCode = info.FirstCode;
        FLastCode = info.LastCode;
    } else if (ValidCustomFontHeader(FCustomHeader)) {
        FFirstCode = FCustomHeader.FirstCode;
        FLastCode = FCustomHeader.LastCode;
    }
}

void TLCDLabel::UpdateGeometry()
{
    if (FPixelSize == pixCustom) {
        FPixWidth = FPixelWidth;
        FPixHeight = FPixelHeight;
    } else {
        FPixWidth = FPixHeight = static_cast<int>(FPixelSize) + 1;
        FPixelWidth = FPixelHeight = FPixWidth;
    }
    if (FDotMatrix != CustomFont) {
        TMatrixInfo info = MatrixInfo(FDotMatrix);
        FColumns = info.Columns;
        FRows = info.Rows;
    } else if (ValidCustomFontHeader(FCustomHeader)) {
        FColumns = FCustomHeader.Columns;
        FRows = FCustomHeader.Rows;
    }
    TLCDGeometry g{FColumns, FRows, FPixWidth, FPixHeight, FPixelSpacing, FCharSpacing, FLineSpacing, FBorderSpace};
    FCellWidth = CellWidth(g);
    FCellHeight = CellHeight(g);
}

void TLCDLabel::FitSizeToCounts()
{
    UpdateGeometry();
    TLCDGeometry g{FColumns, FRows, FPixWidth, FPixHeight, FPixelSpacing, FCharSpacing, FLineSpacing, FBorderSpace};
    TLCDSize size = SizeForCounts(g, FNoOfChars, FTextLines);
    SetBounds(Left(), Top(), size.Width, size.Height);
    FOldWidth = size.Width;
    FOldHeight = size.Height;
}

void TLCDLabel::FitCountsToSize()
{
    UpdateGeometry();
    TLCDGeometry g{FColumns, FRows, FPixWidth, FPixHeight, FPixelSpacing, FCharSpacing, FLineSpacing, FBorderSpace};
    // Straight into the fields: no messages and no nested redraw from here.
    CountsForSize(g, Width(), Height(), FNoOfChars, FTextLines);
    FitSizeToCounts();
}

void TLCDLabel::Layout()
{
    bool sizeChanged = Width() != FOldWidth || Height() != FOldHeight;
    if (sizeChanged) {
        FOldWidth = Width();
        FOldHeight = Height();
    }
    UpdateCharRange();
    if (sizeChanged)
        FitCountsToSize();
    else
        FitSizeToCounts();
}

// An accepted change shows at once rather than at the next invalidation. Without a window to draw on
// (no parent yet, hidden, or the form still loading) only the layout is brought up to date.
void TLCDLabel::Redraw()
{
    if (Canvas().HandleAllocated()) {
        Paint();
        return;
    }
    Layout();
    TWinControl* parent = Parent();
    if (!parent || !parent->HandleAllocated() || !Showing() || Loading()) {
        Paint();
        return;
    }
    WindowDC dc(parent->Handle());
    if (!dc.get()) return;
    int saved = SaveDC(dc.get());
    TPoint origin = WindowOrigin();
    IntersectClipRect(dc.get(), origin.X, origin.Y, origin.X + Width(), origin.Y + Height());
    SetViewportOrgEx(dc.get(), origin.X, origin.Y, nullptr);
    try {
        PaintTo(dc.get());
    } catch (...) {
        RestoreDC(dc.get(), saved);
        throw;
    }
    RestoreDC(dc.get(), saved);
}

// ---- Painting

void TLCDLabel::Paint()
{
    Layout();
    if (!Canvas().HandleAllocated()) return;
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0) return;

    // The off-screen picture is kept between paints: making a DIB section and its DC ten times a second
    // for the clock costs more than all the dots. Every paint covers the whole copied area.
    if (!FBuffer) {
        FBuffer = std::make_unique<TBitmap>();
        FBuffer->SetPixelFormat(pf24bit);  // the dot writer below assumes 3 bytes a pixel
    }
    TBitmap& bitmap = *FBuffer;
    try {
        bitmap.SetSize(w + 2, h + 2);
    } catch (...) {
        FBuffer.reset();  // a failed resize leaves no usable picture behind
        throw;
    }
    TCanvas& c = bitmap.Canvas();
    c.Pen.SetStyle(psSolid);
    c.Brush.SetStyle(bsSolid);
    if (Visible()) {
        c.Brush.SetColor(FBackGround);
        c.FillRect(Rect(0, 0, w, h));
        if (FBorderStyle != frNone) {
            c.Brush.SetColor(FBorderStyle == frRaised ? clBtnShadow : FBorderStyle == frLowered ? clBtnHighlight
                                                                                                : FBorderColor);
            c.FrameRect(Rect(0, 0, w, h));
            if (FBorderStyle != frSingle) {
                // Top and left edges in the opposite shade: raised or sunken.
                c.Pen.SetColor(FBorderStyle == frRaised ? clBtnHighlight : clBtnShadow);
                c.MoveTo(w, 0);
                c.LineTo(0, 0);
                c.LineTo(0, h);
            }
        }
        if (Enabled()) {
            HDC dc = c.Handle();
            // Dots change colour all the time: the DC's own pen and brush colours avoid a GDI object per dot.
            SelectObjectScope pen(dc, GetStockObject(DC_PEN));
            SelectObjectScope brush(dc, GetStockObject(DC_BRUSH));
            TDotTarget target{dc, bitmap.ScanLine(0), bitmap.BytesPerLine(), bitmap.Width(), bitmap.Height()};
            PaintText(target);
        }
    } else {
        c.Brush.SetColor(clBtnFace);
        c.FillRect(Rect(0, 0, w + 2, h + 2));
    }
    BitBlt(Canvas().Handle(), 0, 0, w, h, c.Handle(), 0, 0, SRCCOPY);
}

void TLCDLabel::PaintText(const TDotTarget& target)
{
    const int w = Width(), h = Height();
    int index = 0;
    int y = FBorderSpace + 1;
    for (int line = 0; line < FTextLines && y < h; ++line) {
        int x = FBorderSpace + 1;
        for (int cell = 0; cell < FNoOfChars; ++cell) {
            if (x < w) PaintGlyph(target, x, y, CellCode(FDisplayText, index, FFirstCode, FLastCode));
            ++index;
            x += FCellWidth + FCharSpacing;
        }
        y += FCellHeight + FLineSpacing;
    }
}

void TLCDLabel::PaintGlyph(const TDotTarget& target, int x, int y, int code)
{
    const COLORREF on = ColorToRGB(FPixelOn), off = ColorToRGB(FPixelOff), shade = ColorToRGB(FShadeColour);
    const bool custom = FDotMatrix == CustomFont;
    // Single pixels and squares go straight into the bitmap's bits (the same pixels GDI's Rectangle
    // covers); circles need GDI.
    const bool direct = FPixelSize == pix1x1 || FPixelShape == spSquare;
    HDC dc = target.DC;
    for (int r = 1; r <= FRows; ++r) {
        const int top = y + (r - 1) * (FPixHeight + FPixelSpacing);
        const int bottom = FPixelSize == pix1x1 ? top + 1 : top + FPixHeight;
        for (int k = 1; k <= FColumns; ++k) {
            const bool lit = custom ? CustomDot(FCustom, code, r, k) : MatrixDot(FDotMatrix, code, r, k);
            const TColor colour = lit ? FPixelOn : FPixelOff;
            const COLORREF rgb = lit ? on : off;
            const int left = x + (k - 1) * (FPixWidth + FPixelSpacing);
            const int right = FPixelSize == pix1x1 ? left + 1 : left + FPixWidth;
            if (direct) {
                target.Fill(left, top, right, bottom, rgb);
            } else if (FPixelShape == spRound) {
                SetDCPenColor(dc, rgb);
                SetDCBrushColor(dc, rgb);
                Ellipse(dc, left, top, right, bottom);
            } else if (colour == FPixelOn) {
                // Shaped: a lit dot is a circle on a square of the shade colour.
                SetDCPenColor(dc, shade);
                SetDCBrushColor(dc, shade);
                Rectangle(dc, left, top, right, bottom);
                SetDCPenColor(dc, on);
                SetDCBrushColor(dc, on);
                Ellipse(dc, left, top, right, bottom);
            } else {
                SetDCPenColor(dc, rgb);
                SetDCBrushColor(dc, rgb);
                Rectangle(dc, left, top, right, bottom);
            }
        }
    }
}

void TDotTarget::Fill(int left, int top, int right, int bottom, COLORREF rgb) const
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, Width);
    bottom = std::min(bottom, Height);
    const std::uint8_t b = GetBValue(rgb), g = GetGValue(rgb), r = GetRValue(rgb);
    for (int y = top; y < bottom; ++y) {
        // Rows are stored bottom-up: row y sits y strides below row 0.
        std::uint8_t* p = Row0 - static_cast<std::ptrdiff_t>(y) * Stride + 3 * left;
        for (int x = left; x < right; ++x) {
            *p++ = b;
            *p++ = g;
            *p++ = r;
        }
    }
}

// ---- Custom font

bool TLCDLabel::LoadCustomFont(const std::string& fileName)
{
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyNone);
    } catch (const EFOpenError&) {
        return false;
    }
    // A short file raises EInOutError; the stream closes the file on the way out.
    return ReadCustomFont(*file, FCustom, FCustomHeader);
}

void TLCDLabel::FreeCustomFont() { FCustom.Free(); }

void RegisterLCDClasses() { RegisterComponentClass<TLCDLabel>("TLCDLabel"); }

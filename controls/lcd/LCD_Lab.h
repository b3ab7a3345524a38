// TLCDLabel: a windowless control that shows its caption as a dot-matrix character LCD. It sizes itself:
// width and height always fit NoOfChars cells on TextLines lines, and resizing it from outside changes
// those two counts instead.
#pragma once

#include <memory>
#include <string>

#include "controls/lcd/LCDFont.h"
#include "controls/lcd/LCDLayout.h"
#include "controls/lcd/Matrix.h"
#include "framework/Controls.h"

enum TPixelSize {
    pix1x1, pix2x2, pix3x3, pix4x4, pix5x5, pix6x6, pix7x7, pix8x8,
    pix9x9, pix10x10, pix11x11, pix12x12, pix13x13, pix14x14, pix15x15, pix16x16,
    pixCustom
};
enum TPixelShape { spSquare, spShaped, spRound };
enum TMyBorder { frRaised, frLowered, frSingle, frNone };
using T_FileName = std::string;

// Where the dots go: the off-screen bitmap's DC for circles, its 24-bit bits for squares.
struct TDotTarget {
    HDC DC;
    std::uint8_t* Row0;  // top row; later rows lie Stride bytes lower in memory each (bottom-up bitmap)
    int Stride, Width, Height;
    void Fill(int left, int top, int right, int bottom, COLORREF rgb) const;
};

class TLCDLabel : public TGraphicControl {
public:
    explicit TLCDLabel(TComponent* AOwner);
    ~TLCDLabel() override;

    // At most the first 255 characters of the text.
    std::string Caption() const override;
    // Draws only when the text changes, so a clock that sets the same text ten times a second is cheap.
    void SetCaption(const std::string& value) override;

    TDotMatrix DotMatrix() const { return FDotMatrix; }
    void SetDotMatrix(TDotMatrix value);  // always redraws; may raise EInOutError for a short custom font file
    TPixelSize PixelSize() const { return FPixelSize; }
    void SetPixelSize(TPixelSize value);
    int PixelSpacing() const { return FPixelSpacing; }
    void SetPixelSpacing(int value);
    TPixelShape PixelShape() const { return FPixelShape; }
    void SetPixelShape(TPixelShape value);
    int PixelWidth() const { return FPixelWidth; }
    void SetPixelWidth(int value);  // only with pixCustom
    int PixelHeight() const { return FPixelHeight; }
    void SetPixelHeight(int value);  // only with pixCustom
    int CharSpacing() const { return FCharSpacing; }
    void SetCharSpacing(int value);
    int LineSpacing() const { return FLineSpacing; }
    void SetLineSpacing(int value);
    int BorderSpace() const { return FBorderSpace; }
    void SetBorderSpace(int value);
    int TextLines() const { return FTextLines; }
    void SetTextLines(int value);
    int NoOfChars() const { return FNoOfChars; }
    void SetNoOfChars(int value);
    TColor BackGround() const { return FBackGround; }
    void SetBackGround(TColor value);
    TMyBorder BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TMyBorder value);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor value);
    TColor PixelOn() const { return FPixelOn; }
    void SetPixelOn(TColor value);
    TColor PixelOff() const { return FPixelOff; }
    void SetPixelOff(TColor value);
    const T_FileName& filename() const { return FFileName; }
    // Selects CustomFont from this file; may raise EInOutError for a short file.
    void Setfilename(const T_FileName& value);

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    void Loaded() override;

protected:
    // Lays the control out and, when there is a canvas to draw on, builds the picture off-screen and
    // copies it in one block.
    void Paint() override;

private:
    void UpdateShadeColour();
    void UpdateCharRange();
    void UpdateGeometry();
    void FitCountsToSize();
    void FitSizeToCounts();
    void Layout();
    void Redraw();
    void Reject(const char* message);
    void PaintText(const TDotTarget& target);
    void PaintGlyph(const TDotTarget& target, int x, int y, int code);
    bool LoadCustomFont(const std::string& fileName);
    void FreeCustomFont();

    TDotMatrix FDotMatrix = mat5x7;
    TPixelSize FPixelSize = pix2x2;
    int FPixelSpacing = 1;
    TPixelShape FPixelShape = spSquare;
    int FPixelWidth = 2, FPixelHeight = 2;
    int FCharSpacing = 2, FLineSpacing = 2, FBorderSpace = 3;
    int FTextLines = 1, FNoOfChars = 10;
    TColor FBackGround = clSilver;
    TMyBorder FBorderStyle = frLowered;
    TColor FBorderColor = clBlack;
    TColor FPixelOn = clBlack;
    TColor FPixelOff = 0xAAAAAA;
    T_FileName FFileName;

    // Values in use, worked out by the layout.
    int FPixWidth = 2, FPixHeight = 2;
    int FColumns = 5, FRows = 7;
    int FFirstCode = 32, FLastCode = 126;
    int FCellWidth = 0, FCellHeight = 0;
    int FOldWidth = 0, FOldHeight = 0;  // size at the end of the last layout
    TColor FShadeColour = clBlack;
    std::string FDisplayText;

    std::unique_ptr<TBitmap> FBuffer;  // off-screen picture, reused while the size stays

    TCustomGlyphs FCustom;
    TCustomFontHeader FCustomHeader;  // valid once a font file's header was accepted
};

void RegisterLCDClasses();

// THemisphereButton: a windowless round push button shaded like a lit dome, with optional bevel rings,
// border, caption and glyph. It paints only from three cached images (up, down, mask) that BuildImages
// renders when a property changes and that travel with the window layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Graphics.h"
#include "framework/Layout.h"

enum THemisphereBevel { hbNone, hbLowered, hbRaised };

class THemisphereButton : public TGraphicControl {
public:
    explicit THemisphereButton(TComponent* AOwner);
    ~THemisphereButton() override;

    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    double AttenControl() const { return FAttenControl; }
    void SetAttenControl(double value);
    THemisphereBevel BevelInner() const { return FBevelInner; }
    void SetBevelInner(THemisphereBevel value);
    THemisphereBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(THemisphereBevel value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor value);
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    void SetCaption(const std::string& value) override;
    bool Down() const { return FDown; }
    void SetDown(bool value);
    TColor FaceColor() const { return FFaceColor; }
    void SetFaceColor(TColor value);
    bool FaceShaded() const { return FFaceShaded; }
    void SetFaceShaded(bool value);
    bool FaceTransparent() const { return FFaceTransparent; }
    void SetFaceTransparent(bool value);
    // Copies the given font's attributes and re-renders (changing Font() directly does neither).
    void SetFont(const TFont& value);
    TBitmap& Glyph() { return FGlyph; }
    // nullptr clears the glyph; the glyph bitmap itself is ignored.
    void SetGlyph(const TBitmap* value);
    bool GlyphValid() const { return FGlyphValid; }
    int GlyphIndex() const { return FGlyphIndex; }
    void SetGlyphIndex(int value);
    bool GlyphShaded() const { return FGlyphShaded; }
    void SetGlyphShaded(bool value);
    bool GlyphMapped() const { return FGlyphMapped; }
    void SetGlyphMapped(bool value);
    bool GlyphTransparent() const { return FGlyphTransparent; }
    void SetGlyphTransparent(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value) { FGroupIndex = value; }
    int NumGlyphs() const { return FNumGlyphs; }
    void SetNumGlyphs(int value);

    // Face colour components as the renderer uses them (red is the low byte of FaceColor).
    int FaceRed() const { return FFaceRed; }
    int FaceGreen() const { return FFaceGreen; }
    int FaceBlue() const { return FFaceBlue; }

    TBitmap& ImageOut() { return FImageOut; }
    TBitmap& ImageIn() { return FImageIn; }
    TBitmap& ImageMask() { return FImageMask; }

    // Whether a point in control coordinates is on the face (bevel rings do not count).
    bool FaceHitTest(int X, int Y) const;
    // The library's hit test: the button owns its ellipse; the transparent corners belong to what lies beneath.
    bool HitTest(int X, int Y) override;

    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    // Renders ImageOut, ImageIn and ImageMask from the properties (not while loading, not below 2 x 2).
    void BuildImages();

    // The button's own events, separate from the library's events of the same names.
    TNotifyEvent OnClick, OnDblClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    bool SetProperty(const std::string& name, const TLayoutValue& value) override;
    // The extra stored properties in their order: "GlyphValid", "ImageOut", "ImageIn", "ImageMask" and, with a
    // valid glyph, "ImageGlyph". Binary values carry complete bitmap files; their Str is fileBase followed by
    // "_out.bmp", "_in.bmp", "_mask.bmp", "_glyph.bmp", the names a layout refers to them by.
    std::vector<TLayoutProperty> StoredProperties(const std::string& fileBase) const;

    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // The parent's double-click notice; the double click is handled in MouseDown instead.
    void DblClick() override {}
    // A press from the keyboard (Space or Enter while the button has the focus): the button goes down, fires
    // its own OnClick and comes up as after a mouse press and release on the face.
    void Click() override;

protected:
    void Paint() override;
    void FontChanged() override;

private:
    // After a property change: rebuild and invalidate (rebuilding skips itself while loading).
    void Changed();
    // The end of a press released on the face: the click, then the button up (or the group's toggling).
    void ReleaseOnFace();
    // The keyboard focus: a dotted ring inside the face, drawn over the images.
    void PaintFocusMark(int width, int height);
    // Buttons with the same owner and GroupIndex, in the owner's component order (this one included).
    std::vector<THemisphereButton*> Group() const;
    int BevelTotal() const;

    bool FAllowAllUp = false;
    double FAttenControl = 1.0;
    THemisphereBevel FBevelInner = hbNone;
    THemisphereBevel FBevelOuter = hbLowered;
    int FBevelWidth = 2;
    TColor FBorderColor = clGray;
    TFormBorderStyle FBorderStyle = bsNone;
    bool FDown = false;
    TColor FFaceColor = clGray;
    int FFaceRed = 128, FFaceGreen = 128, FFaceBlue = 128;
    bool FFaceShaded = true;
    bool FFaceTransparent = false;
    int FGlyphIndex = 1;
    bool FGlyphShaded = true;
    bool FGlyphMapped = false;
    bool FGlyphTransparent = true;
    int FGroupIndex = 0;
    int FNumGlyphs = 1;
    bool FGlyphValid = false;

    TBitmap FImageOut, FImageIn, FImageMask, FGlyph;
    // Files the images were loaded from, written back unchanged until the next rebuild.
    std::vector<std::uint8_t> FStoredOut, FStoredIn, FStoredMask, FStoredGlyph;

    int FRememberedWidth = -1, FRememberedHeight = -1;
    bool FPressed = false;
    bool FDownAtPress = false;
};

void RegisterHemisphereClasses();

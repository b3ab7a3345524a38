#include "controls/hemisphere/Hemibtn.h"

#include "controls/hemisphere/HemiRender.h"
#include "controls/hemisphere/HemiShade.h"
#include "framework/GdiHandles.h"

namespace {

// The bytes a stored image is written as: the file it was read from while no rebuild has replaced it,
// else the picture in 16 bits a pixel with 5-5-5 bit fields.
std::vector<std::uint8_t> StoredImage(TBitmap& image, const std::vector<std::uint8_t>& loaded)
{
    if (!loaded.empty()) return loaded;
    if (image.Empty() || image.PixelFormat() == pf16bit) return image.SaveToBytes();
    if (image.PixelFormat() == pf32bit) return hemi::EncodeBitmap555(PixelView(image));
    TBitmap copy;
    copy.Assign(image);
    copy.SetPixelFormat(pf16bit);
    return copy.SaveToBytes();
}

// Stored images may come in any bitmap format (the program writes 5-5-5); they are kept in 32 bits so that
// white and black stay exact in painting's raster operations (5-bit white expands to 255 here).
void To32Bit(TBitmap& image)
{
    if (image.Empty() || image.PixelFormat() == pf32bit) return;
    TBitmap wide;
    wide.SetPixelFormat(pf32bit);
    wide.SetSize(image.Width(), image.Height());
    hemi::TPixelView v = PixelView(wide);
    for (int y = 0; y < v.Height; ++y)
        for (int x = 0; x < v.Width; ++x) {
            const TColor c = image.FastPixel(x, y);
            v.Set(x, y, hemi::PixelRGB(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
        }
    image.Assign(wide);
}

TLayoutProperty BinaryProperty(const std::string& name, const std::string& file, std::vector<std::uint8_t> bytes)
{
    TLayoutProperty p;
    p.Name = name;
    p.Value.kind = TLayoutValue::kBinary;
    p.Value.Str = file;
    p.Value.Bytes = std::move(bytes);
    return p;
}

}  // namespace

THemisphereButton::THemisphereButton(TComponent* AOwner) : TGraphicControl(AOwner)
{
    FTabStop = true;  // a push button, reachable with Tab
    // The plain positioning: construction does not render, and the remembered size stays unset.
    TGraphicControl::SetBounds(FLeft, FTop, 25, 25);
}

THemisphereButton::~THemisphereButton() = default;

void THemisphereButton::Changed()
{
    BuildImages();
    Invalidate();
}

void THemisphereButton::SetAllowAllUp(bool value)
{
    if (value == FAllowAllUp) return;
    if (Loading() || FGroupIndex == 0) {
        FAllowAllUp = value;
        return;
    }
    for (THemisphereButton* b : Group()) b->FAllowAllUp = value;
}

void THemisphereButton::SetAttenControl(double value)
{
    if (value == FAttenControl) return;
    FAttenControl = value;
    Changed();
}

void THemisphereButton::SetBevelInner(THemisphereBevel value)
{
    if (value == FBevelInner) return;
    FBevelInner = value;
    Changed();
}

void THemisphereButton::SetBevelOuter(THemisphereBevel value)
{
    if (value == FBevelOuter) return;
    FBevelOuter = value;
    Changed();
}

void THemisphereButton::SetBevelWidth(int value)
{
    if (value == FBevelWidth || value < 1) return;
    FBevelWidth = value;
    Changed();
}

void THemisphereButton::SetBorderColor(TColor value)
{
    if (value == FBorderColor) return;
    FBorderColor = value;
    Changed();
}

void THemisphereButton::SetBorderStyle(TFormBorderStyle value)
{
    if (value == FBorderStyle || (value != bsNone && value != bsSingle)) return;
    FBorderStyle = value;
    Changed();
}

void THemisphereButton::SetCaption(const std::string& value)
{
    if (value == FCaption) return;
    FCaption = value;
    Changed();
}

void THemisphereButton::SetDown(bool value)
{
    if (value == FDown) return;
    FDown = value;
    Repaint();
}

void THemisphereButton::SetFaceColor(TColor value)
{
    if (value == FFaceColor) return;
    FFaceColor = value;
    FFaceRed = value & 0xFF;
    FFaceGreen = (value >> 8) & 0xFF;
    FFaceBlue = (value >> 16) & 0xFF;
    Changed();
}

void THemisphereButton::SetFaceShaded(bool value)
{
    if (value == FFaceShaded) return;
    FFaceShaded = value;
    Changed();
}

void THemisphereButton::SetFaceTransparent(bool value)
{
    if (value == FFaceTransparent) return;
    FFaceTransparent = value;
    Changed();
}

void THemisphereButton::SetFont(const TFont& value)
{
    if (&value != &FFont) FFont.Assign(value);
    FParentFont = false;
    Changed();
}

void THemisphereButton::FontChanged()
{
    // Attributes changed on the font object itself take effect at the next rebuild; nothing repaints now.
    if (!Loading()) FParentFont = false;
}

void THemisphereButton::SetGlyph(const TBitmap* value)
{
    if (value == &FGlyph) return;
    if (value) {
        FGlyphValid = true;
        FStoredGlyph.clear();
        FGlyph.Assign(*value);
        const int w = FGlyph.Width(), h = FGlyph.Height();
        FNumGlyphs = (h != 0 && w % h == 0) ? w / h : 1;
        FGlyphIndex = 1;
    } else {
        FGlyphValid = false;
    }
    Changed();
}

void THemisphereButton::SetGlyphIndex(int value)
{
    if (value == FGlyphIndex || value < 1 || (!Loading() && value > FNumGlyphs)) return;
    FGlyphIndex = value;
    Changed();
}

void THemisphereButton::SetGlyphShaded(bool value)
{
    if (value == FGlyphShaded) return;
    FGlyphShaded = value;
    Changed();
}

void THemisphereButton::SetGlyphMapped(bool value)
{
    if (value == FGlyphMapped) return;
    FGlyphMapped = value;
    Changed();
}

void THemisphereButton::SetGlyphTransparent(bool value)
{
    if (value == FGlyphTransparent) return;
    FGlyphTransparent = value;
    Changed();
}

void THemisphereButton::SetNumGlyphs(int value)
{
    if (value == FNumGlyphs) return;
    FNumGlyphs = value;
    Changed();
}

int THemisphereButton::BevelTotal() const
{
    return (FBevelOuter != hbNone ? FBevelWidth : 0) + (FBevelInner != hbNone ? FBevelWidth : 0);
}

bool THemisphereButton::FaceHitTest(int X, int Y) const { return hemi::FaceHit(FWidth, FHeight, BevelTotal(), X, Y); }

bool THemisphereButton::HitTest(int X, int Y) { return hemi::FaceHit(FWidth, FHeight, 0, X, Y); }

void THemisphereButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    const bool resized = AWidth != FRememberedWidth || AHeight != FRememberedHeight;
    FRememberedWidth = AWidth;
    FRememberedHeight = AHeight;
    if (resized && !Loading()) Changed();
}

void THemisphereButton::BuildImages()
{
    if (Loading() || FWidth < 2 || FHeight < 2) return;
    // The stored files no longer describe the images.
    FStoredOut.clear();
    FStoredIn.clear();
    FStoredMask.clear();
    RenderHemisphereImages(*this);
}

std::vector<THemisphereButton*> THemisphereButton::Group() const
{
    std::vector<THemisphereButton*> group;
    if (FGroupIndex == 0 || !Owner()) return group;
    for (int i = 0; i < Owner()->ComponentCount(); ++i)
        if (auto* b = dynamic_cast<THemisphereButton*>(Owner()->Components(i)); b && b->FGroupIndex == FGroupIndex)
            group.push_back(b);
    return group;
}

void THemisphereButton::Paint()
{
    if (Loading()) return;
    const int w = FImageMask.Width(), h = FImageMask.Height();
    if (w <= 0 || h <= 0) return;
    const TRect r = Rect(0, 0, w, h);
    // T: the background with the button's pixels blacked out; U: the button's pixels on black.
    TBitmap t, u;
    t.SetPixelFormat(pf32bit);
    t.SetSize(w, h);
    t.Canvas().CopyRect(r, Canvas(), r, SRCCOPY);
    t.Canvas().CopyRect(r, FImageMask.Canvas(), r, SRCAND);
    u.SetPixelFormat(pf32bit);
    u.SetSize(w, h);
    u.Canvas().CopyRect(r, FImageMask.Canvas(), r, SRCCOPY);
    u.Canvas().CopyRect(r, (FDown ? FImageIn : FImageOut).Canvas(), r, SRCERASE);
    t.Canvas().CopyRect(r, u.Canvas(), r, SRCPAINT);
    Canvas().CopyRect(r, t.Canvas(), r, SRCCOPY);
    if (Focused()) PaintFocusMark(w, h);
}

void THemisphereButton::PaintFocusMark(int width, int height)
{
    // Every other pixel of the ring inverted, as the platform draws its focus rectangles: it shows on any
    // face colour and on the shading's light and dark parts alike.
    const int inset = BevelTotal() + 3;
    if (width - 2 * inset < 4 || height - 2 * inset < 4) return;
    HDC dc = Canvas().Handle();
    const LOGBRUSH dots = {BS_SOLID, 0, 0};
    GdiObject<HPEN> pen(ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &dots, 0, nullptr));
    if (!pen) return;
    SelectObjectScope usePen(dc, pen.get());
    SelectObjectScope noFill(dc, GetStockObject(NULL_BRUSH));
    const int oldRop = SetROP2(dc, R2_NOT);
    Ellipse(dc, inset, inset, width - inset, height - inset);
    SetROP2(dc, oldRop);
}

void THemisphereButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (!Enabled() || !FaceHitTest(X, Y)) return;
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
    if (Button != mbLeft) return;
    FPressed = true;
    FDownAtPress = FDown;
    SetDown(true);
    if ((Shift & ssDouble) && OnDblClick) OnDblClick(this);
}

void THemisphereButton::MouseMove(TShiftState Shift, int X, int Y)
{
    if (FPressed && !FDownAtPress) SetDown(FaceHitTest(X, Y));
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void THemisphereButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (FPressed) {
        FPressed = false;
        if (FaceHitTest(X, Y)) {
            ReleaseOnFace();
        } else {
            // Ended off the face (or the capture was lost): no click, and the button goes back to how it was
            // before the press even when no move off the face came first.
            SetDown(FDownAtPress);
        }
    }
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void THemisphereButton::ReleaseOnFace()
{
    if (OnClick) OnClick(this);
    if (FGroupIndex == 0) {
        SetDown(false);
    } else if (FAllowAllUp || !FDownAtPress) {
        for (THemisphereButton* b : Group())
            if (b != this) b->SetDown(false);
        SetDown(!FDownAtPress);
    }
}

void THemisphereButton::Click()
{
    if (!Enabled() || FPressed) return;
    FDownAtPress = FDown;
    SetDown(true);
    ReleaseOnFace();
}

bool THemisphereButton::SetProperty(const std::string& name, const TLayoutValue& value)
{
    auto bevel = [&] { return value.AsEnum<THemisphereBevel>({"hbNone", "hbLowered", "hbRaised"}); };
    if (name == "AllowAllUp") SetAllowAllUp(value.AsBool());
    else if (name == "AttenControl") SetAttenControl(value.AsFloat());
    else if (name == "BevelInner") SetBevelInner(bevel());
    else if (name == "BevelOuter") SetBevelOuter(bevel());
    else if (name == "BevelWidth") SetBevelWidth(value.AsInt());
    else if (name == "BorderColor") SetBorderColor(value.AsColor());
    else if (name == "BorderStyle") SetBorderStyle(value.AsEnum<TFormBorderStyle>({"bsNone", "bsSingle"}));
    else if (name == "Caption") SetCaption(value.AsString());
    else if (name == "Down") SetDown(value.AsBool());
    else if (name == "FaceColor") SetFaceColor(value.AsColor());
    else if (name == "FaceShaded") SetFaceShaded(value.AsBool());
    else if (name == "FaceTransparent") SetFaceTransparent(value.AsBool());
    else if (name == "GlyphIndex") SetGlyphIndex(value.AsInt());
    else if (name == "GlyphShaded") SetGlyphShaded(value.AsBool());
    else if (name == "GlyphMapped") SetGlyphMapped(value.AsBool());
    else if (name == "GlyphTransparent") SetGlyphTransparent(value.AsBool());
    else if (name == "GroupIndex") SetGroupIndex(value.AsInt());
    else if (name == "NumGlyphs") SetNumGlyphs(value.AsInt());
    else if (name == "OnClick") OnClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnDblClick") OnDblClick = value.AsEvent<TNotifyEvent>();
    else if (name == "OnMouseDown") OnMouseDown = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseUp") OnMouseUp = value.AsEvent<TMouseEvent>();
    else if (name == "OnMouseMove") OnMouseMove = value.AsEvent<TMouseMoveEvent>();
    // The stored images replace the bitmaps' contents as they are; nothing is rendered.
    else if (name == "GlyphValid") FGlyphValid = value.AsBool();
    else if (name == "ImageOut" || name == "ImageIn" || name == "ImageMask" || name == "ImageGlyph") {
        if (value.kind != TLayoutValue::kBinary) throw ELayoutError("Bitmap data expected for " + name);
        if (name == "ImageGlyph") {
            FGlyph.LoadFromBytes(value.Bytes);
            FStoredGlyph = value.Bytes;
        } else {
            TBitmap& image = name == "ImageOut" ? FImageOut : name == "ImageIn" ? FImageIn : FImageMask;
            std::vector<std::uint8_t>& stored = name == "ImageOut" ? FStoredOut : name == "ImageIn" ? FStoredIn : FStoredMask;
            image.LoadFromBytes(value.Bytes);
            To32Bit(image);
            stored = value.Bytes;
        }
    } else return TGraphicControl::SetProperty(name, value);
    return true;
}

std::vector<TLayoutProperty> THemisphereButton::StoredProperties(const std::string& fileBase) const
{
    auto* self = const_cast<THemisphereButton*>(this);  // bitmaps hand out their pixels through non-const calls
    std::vector<TLayoutProperty> props;
    TLayoutProperty valid;
    valid.Name = "GlyphValid";
    valid.Value.kind = TLayoutValue::kIdent;
    valid.Value.Str = FGlyphValid ? "True" : "False";
    props.push_back(valid);
    props.push_back(BinaryProperty("ImageOut", fileBase + "_out.bmp", StoredImage(self->FImageOut, FStoredOut)));
    props.push_back(BinaryProperty("ImageIn", fileBase + "_in.bmp", StoredImage(self->FImageIn, FStoredIn)));
    props.push_back(BinaryProperty("ImageMask", fileBase + "_mask.bmp", StoredImage(self->FImageMask, FStoredMask)));
    if (FGlyphValid)
        props.push_back(BinaryProperty("ImageGlyph", fileBase + "_glyph.bmp",
                                       FStoredGlyph.empty() ? FGlyph.SaveToBytes() : FStoredGlyph));
    return props;
}

void RegisterHemisphereClasses() { RegisterComponentClass<THemisphereButton>("THemisphereButton"); }

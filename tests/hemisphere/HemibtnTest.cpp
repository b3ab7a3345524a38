// THemisphereButton under the real framework: rendered pixels, setter rules, mouse sequences sent to the
// parent window as platform messages, painting through the mask, and storage with a layout.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/hemisphere/HemiRender.h"
#include "controls/hemisphere/HemiShade.h"
#include "controls/hemisphere/Hemibtn.h"
#include "framework/BitmapFile.h"
#include "framework/Forms.h"
#include "framework/Layout.h"
#include "tests/support/OwnedForm.h"
#include "tests/support/TestHarness.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) { return os << '(' << c.r << ", " << c.g << ", " << c.b << ')'; }
Rgb At(TBitmap& bmp, int x, int y)
{
    TColor c = bmp.FastPixel(x, y);
    return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}
Rgb Grey(int v) { return {v, v, v}; }

const TTestProgramSetup kSetup({.RegisterClasses = RegisterHemisphereClasses, .ErrorDisplayFails = true});

class HemiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 300, 120);
        form->InitLayout();
    }
    void TearDown() override { delete form; }

    // The recording window's teal "Stop" settings without caption, at (x, y).
    THemisphereButton* Teal(int x = 10, int y = 10)
    {
        auto* b = new THemisphereButton(form);
        b->SetParent(form);
        b->SetFaceColor(clTeal);
        b->SetBounds(x, y, 69, 32);
        return b;
    }
    void Send(UINT msg, WPARAM keys, int x, int y) { SendMessageA(form->Handle(), msg, keys, MAKELPARAM(x, y)); }
    // A left click at form client coordinates.
    void Click(int x, int y)
    {
        Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
        Send(WM_LBUTTONUP, 0, x, y);
    }

    TForm* form = nullptr;
};

// ---- Rendering

TEST_F(HemiTest, RecordingButtonPixels)
{
    THemisphereButton* b = Teal();
    ASSERT_EQ(b->ImageOut().Width(), 69);
    ASSERT_EQ(b->ImageOut().Height(), 32);
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 202, 202}));
    EXPECT_EQ(At(b->ImageIn(), 35, 16), (Rgb{0, 54, 54}));
    EXPECT_EQ(At(b->ImageOut(), 36, 16), (Rgb{0, 198, 198}));
    EXPECT_EQ(At(b->ImageIn(), 36, 16), (Rgb{0, 58, 58}));
    for (TBitmap* img : {&b->ImageOut(), &b->ImageIn()}) {
        EXPECT_EQ(At(*img, 1, 16), Grey(130));
        EXPECT_EQ(At(*img, 1, 15), Grey(126));
        EXPECT_EQ(At(*img, 67, 16), Grey(234));
    }
    // The mask: opaque on the ellipse, transparent in the corners.
    EXPECT_EQ(At(b->ImageMask(), 0, 0), Grey(255));
    EXPECT_EQ(At(b->ImageMask(), 68, 31), Grey(255));
    EXPECT_EQ(At(b->ImageMask(), 35, 16), Grey(0));
    EXPECT_EQ(At(b->ImageMask(), 1, 16), Grey(0));

    b->SetBevelOuter(hbRaised);
    EXPECT_EQ(At(b->ImageOut(), 1, 16), Grey(231));
    EXPECT_EQ(At(b->ImageOut(), 1, 15), Grey(234));
    EXPECT_EQ(At(b->ImageIn(), 1, 16), Grey(231));
}

TEST_F(HemiTest, FlatFaceAndTooSmall)
{
    THemisphereButton* b = Teal();
    b->SetAttenControl(0);
    for (int x : {10, 20, 35, 50, 60}) {
        EXPECT_EQ(At(b->ImageOut(), x, 16), (Rgb{0, 128, 128})) << x;
        EXPECT_EQ(At(b->ImageIn(), x, 16), (Rgb{0, 128, 128})) << x;
    }
    // Below 2 x 2 nothing is rendered: the images keep their content.
    b->SetBounds(10, 10, 1, 40);
    EXPECT_EQ(b->ImageOut().Width(), 69);
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 128, 128}));
}

TEST_F(HemiTest, GlyphShadingAndTransparentColour)
{
    THemisphereButton* b = Teal();
    b->SetFaceShaded(false);
    // 16 x 16: white background (its bottom-left pixel) with a red 4 x 4 block in the middle.
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(16, 16);
    glyph.Canvas().Brush.SetColor(clWhite);
    glyph.Canvas().FillRect(Rect(0, 0, 16, 16));
    glyph.Canvas().Brush.SetColor(clRed);
    glyph.Canvas().FillRect(Rect(6, 6, 10, 10));
    b->SetGlyph(&glyph);
    EXPECT_TRUE(b->GlyphValid());
    EXPECT_EQ(b->NumGlyphs(), 1);
    // Centred: glyph (6..9, 6..9) lands on x 33..36, y 14..17. Glyph pixels are shaded, the face is not.
    Rgb out = At(b->ImageOut(), 35, 16), in = At(b->ImageIn(), 35, 16);
    EXPECT_EQ(out.g, 0);
    EXPECT_EQ(out.r, 255);  // 255 lit by 0.577 clamps
    EXPECT_LT(in.r, 255);
    EXPECT_EQ(At(b->ImageOut(), 20, 16), (Rgb{0, 128, 128}));
    EXPECT_EQ(At(b->ImageIn(), 20, 16), (Rgb{0, 128, 128}));
    // White is the transparent colour: face there, not glyph.
    EXPECT_EQ(At(b->ImageOut(), 31, 16), (Rgb{0, 128, 128}));
    b->SetGlyphTransparent(false);
    EXPECT_EQ(At(b->ImageOut(), 31, 16), Grey(255));
    EXPECT_LT(At(b->ImageIn(), 31, 16).r, 255);
    // Clearing the glyph: the face is plain again.
    b->SetGlyph(nullptr);
    EXPECT_FALSE(b->GlyphValid());
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 128, 128}));
}

TEST_F(HemiTest, CaptionCentredAndOpaqueOnATransparentFace)
{
    THemisphereButton* b = Teal();
    TFont font;
    font.SetStyle(fsBold);
    font.SetColor(clWhite);
    font.SetQuality(fqNonAntialiased);  // pure colours, for exact comparisons
    b->SetFont(font);
    b->SetCaption("Stop");
    b->SetBorderStyle(bsSingle);
    b->SetFaceTransparent(true);
    // Where the platform writes the caption at ((W - 2 - text width) / 2, (H - 2 - text height) / 2).
    TBitmap text;
    text.SetSize(69, 32);
    text.Canvas().Brush.SetColor(clBlack);
    text.Canvas().FillRect(Rect(0, 0, 69, 32));
    text.Canvas().Font.Assign(b->Font());
    const TPoint ext = text.Canvas().TextExtent("Stop");
    text.Canvas().Brush.SetStyle(bsClear);
    text.Canvas().TextOut(hemi::RoundHalfEven((69 - 2 - ext.X) / 2.0), hemi::RoundHalfEven((32 - 2 - ext.Y) / 2.0), "Stop");
    TBitmap& m = b->ImageMask();
    EXPECT_EQ(At(m, 1, 16), Grey(0));    // ring
    EXPECT_EQ(At(m, 0, 0), Grey(255));   // corner
    int ink = 0;
    for (int y = 8; y <= 24; ++y)  // inside the border ellipse
        for (int x = 12; x <= 56; ++x) {
            const bool letter = text.FastPixel(x, y) == clWhite;
            ink += letter;
            // The face is see-through except for the caption, which is drawn in its colour.
            ASSERT_EQ(At(m, x, y), Grey(letter ? 0 : 255)) << x << "," << y;
            ASSERT_EQ(At(b->ImageOut(), x, y), Grey(letter ? 255 : 0)) << x << "," << y;
            ASSERT_EQ(At(b->ImageIn(), x, y), Grey(letter ? 255 : 0)) << x << "," << y;
        }
    EXPECT_GT(ink, 20);
}

TEST_F(HemiTest, BevelRingsAndBorder)
{
    // A ring's grey as the shading arithmetic computes it for the whole 69 x 32 button.
    auto ring = [](int inset, int bevelWidth, bool raised, int x, int y) {
        hemi::TPixelImage img(69, 32);
        auto v = img.View();
        hemi::DrawRing(v, inset, bevelWidth, raised);
        return Grey(hemi::PixelRed(img.Get(x, y)));
    };
    THemisphereButton* b = Teal();
    // Only the inner bevel, 3 wide: one ring at inset Ceil(3 / 2) = 2, out to the edge.
    b->SetBevelOuter(hbNone);
    b->SetBevelInner(hbRaised);
    b->SetBevelWidth(3);
    for (int x : {0, 1, 2}) {
        EXPECT_EQ(At(b->ImageOut(), x, 16), ring(2, 3, true, x, 16)) << x;
        EXPECT_EQ(At(b->ImageIn(), x, 16), ring(2, 3, true, x, 16)) << x;
    }
    EXPECT_EQ(At(b->ImageOut(), 4, 16).r, 0);  // the face from there
    EXPECT_GT(At(b->ImageOut(), 4, 16).g, 0);

    // Both, 2 wide: the lowered outer ring at inset 1, the raised inner one at inset Ceil(2 + 1) = 3, each in
    // its band; the face is inset by 4 and so is the border.
    b->SetBevelWidth(2);
    b->SetBevelOuter(hbLowered);
    b->SetBorderColor(clRed);
    b->SetBorderStyle(bsSingle);
    for (TBitmap* img : {&b->ImageOut(), &b->ImageIn()}) {
        EXPECT_EQ(At(*img, 1, 16), Grey(130));
        for (int x : {0, 1}) EXPECT_EQ(At(*img, x, 16), ring(1, 2, false, x, 16)) << x;
        for (int x : {2, 3}) EXPECT_EQ(At(*img, x, 16), ring(3, 2, true, x, 16)) << x;
    }
    bool red4 = false;
    for (int y = 12; y < 20; ++y) red4 |= At(b->ImageOut(), 4, y) == (Rgb{255, 0, 0});
    EXPECT_TRUE(red4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_FALSE(At(b->ImageOut(), x, y) == (Rgb{255, 0, 0})) << x << "," << y;
    EXPECT_EQ(At(b->ImageOut(), 8, 16).r, 0);
    EXPECT_GT(At(b->ImageOut(), 8, 16).g, 0);
}

// ---- Setters

TEST_F(HemiTest, SetterRules)
{
    THemisphereButton* b = Teal();
    EXPECT_EQ(b->FaceRed(), 0);
    EXPECT_EQ(b->FaceGreen(), 128);
    EXPECT_EQ(b->FaceBlue(), 128);
    b->SetBevelWidth(0);
    b->SetBevelWidth(-3);
    EXPECT_EQ(b->BevelWidth(), 2);
    b->SetBevelWidth(1);
    EXPECT_EQ(b->BevelWidth(), 1);
    b->SetBorderStyle(bsSingle);
    b->SetBorderStyle(bsDialog);  // not a border the button knows
    EXPECT_EQ(b->BorderStyle(), bsSingle);
    b->SetBorderStyle(bsNone);
    EXPECT_EQ(b->BorderStyle(), bsNone);

    TBitmap strip;
    strip.SetSize(64, 16);
    b->SetGlyph(&strip);
    EXPECT_EQ(b->NumGlyphs(), 4);
    EXPECT_EQ(b->GlyphIndex(), 1);
    for (int ignored : {5, 0, -1}) b->SetGlyphIndex(ignored);
    EXPECT_EQ(b->GlyphIndex(), 1);
    b->SetGlyphIndex(4);
    EXPECT_EQ(b->GlyphIndex(), 4);
    b->SetGlyphIndex(1);
    EXPECT_EQ(b->GlyphIndex(), 1);
    TBitmap odd;
    odd.SetSize(50, 16);
    b->SetGlyph(&odd);
    EXPECT_EQ(b->NumGlyphs(), 1);
    EXPECT_EQ(b->GlyphIndex(), 1);
    // A count below 1 renders as one picture instead of dividing by zero.
    b->SetNumGlyphs(0);
    EXPECT_EQ(b->NumGlyphs(), 0);

    // Assigning a font copies it and re-renders; changing the button's font object directly does neither,
    // but either way the font is the button's own from then on, not its parent's.
    TFont big;
    big.SetColor(clYellow);
    big.SetHeight(-20);
    b->SetFont(big);
    EXPECT_EQ(b->Font().Color(), clYellow);
    EXPECT_EQ(b->Font().Height(), -20);
    form->Font().SetColor(clBlue);
    EXPECT_EQ(b->Font().Color(), clYellow);
    b->SetCaption("Stop");
    b->ImageOut().SetFastPixel(35, 16, clLime);
    b->Font().SetColor(clWhite);
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 255, 0}));
    form->Font().SetColor(clGreen);
    EXPECT_EQ(b->Font().Color(), clWhite);
    b->SetFont(b->Font());
    EXPECT_NE(At(b->ImageOut(), 35, 16), (Rgb{0, 255, 0}));
}

// A shown form, made once and left to the end of the process: taking a shown window down costs Wine seconds.
TForm& ShownForm()
{
    static TForm* shown = [] {
        auto* f = new TForm(nullptr);
        f->SetBounds(0, 0, 200, 100);
        f->InitLayout();
        f->Show();
        return f;
    }();
    return *shown;
}

TEST_F(HemiTest, ChangesRebuildAndRepaintUnchangedValuesDoNothing)
{
    TForm& shown = ShownForm();
    auto* b = new THemisphereButton(&shown);
    std::unique_ptr<THemisphereButton> owned(b);
    b->SetParent(&shown);
    b->SetFaceColor(clTeal);
    b->SetBounds(10, 10, 69, 32);
    Application->ProcessMessages();
    // A changed value renders the images anew and asks for the button's rectangle to be painted.
    auto rebuilds = [&](const std::function<void()>& change) {
        b->ImageOut().SetFastPixel(35, 16, clLime);
        ValidateRect(shown.Handle(), nullptr);
        change();
        RECT r{};
        const bool invalid = GetUpdateRect(shown.Handle(), &r, FALSE);
        const bool rendered = At(b->ImageOut(), 35, 16) != Rgb{0, 255, 0};
        EXPECT_EQ(invalid, rendered);
        if (invalid) {
            EXPECT_TRUE(r.left == 10 && r.top == 10 && r.right == 79 && r.bottom == 42);
        }
        return rendered;
    };
    const struct {
        const char* name;
        std::function<void()> same, change;
    } cases[] = {
        {"AttenControl", [&] { b->SetAttenControl(1.0); }, [&] { b->SetAttenControl(0.5); }},
        {"BevelInner", [&] { b->SetBevelInner(hbNone); }, [&] { b->SetBevelInner(hbRaised); }},
        {"BevelOuter", [&] { b->SetBevelOuter(hbLowered); }, [&] { b->SetBevelOuter(hbRaised); }},
        {"BevelWidth", [&] { b->SetBevelWidth(2); }, [&] { b->SetBevelWidth(3); }},
        {"BorderColor", [&] { b->SetBorderColor(clGray); }, [&] { b->SetBorderColor(clRed); }},
        {"BorderStyle", [&] { b->SetBorderStyle(bsNone); }, [&] { b->SetBorderStyle(bsSingle); }},
        {"Caption", [&] { b->SetCaption(""); }, [&] { b->SetCaption("Stop"); }},
        {"FaceColor", [&] { b->SetFaceColor(clTeal); }, [&] { b->SetFaceColor(clMaroon); }},
        {"FaceShaded", [&] { b->SetFaceShaded(true); }, [&] { b->SetFaceShaded(false); }},
        {"GlyphShaded", [&] { b->SetGlyphShaded(true); }, [&] { b->SetGlyphShaded(false); }},
        {"GlyphMapped", [&] { b->SetGlyphMapped(false); }, [&] { b->SetGlyphMapped(true); }},
        {"GlyphTransparent", [&] { b->SetGlyphTransparent(true); }, [&] { b->SetGlyphTransparent(false); }},
        {"NumGlyphs", [&] { b->SetNumGlyphs(1); }, [&] { b->SetNumGlyphs(2); }},
        {"GlyphIndex", [&] { b->SetGlyphIndex(1); }, [&] { b->SetGlyphIndex(2); }},
        {"FaceTransparent", [&] { b->SetFaceTransparent(false); }, [&] { b->SetFaceTransparent(true); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(rebuilds(c.same));
        EXPECT_TRUE(rebuilds(c.change));
    }
    EXPECT_TRUE(rebuilds([&] { b->SetFont(b->Font()); }));  // a font is always taken
    EXPECT_EQ(b->FaceBlue(), 0);

    // Down repaints at once, without rendering: the window shows the pressed image straight away.
    b->SetFaceTransparent(false);
    b->ImageOut().SetFastPixel(35, 16, clLime);
    ValidateRect(shown.Handle(), nullptr);
    b->SetDown(true);
    HDC dc = GetDC(shown.Handle());
    const TColor pressed = GetPixel(dc, 10 + 35, 10 + 16);
    ReleaseDC(shown.Handle(), dc);
    EXPECT_EQ(pressed, b->ImageIn().FastPixel(35, 16));
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 255, 0}));
}

TEST_F(HemiTest, RememberedSize)
{
    // Construction renders nothing; the first sizing does; moving does not.
    auto* b = new THemisphereButton(form);
    EXPECT_EQ(b->Width(), 25);
    EXPECT_TRUE(b->ImageOut().Empty());
    b->SetParent(form);
    b->SetBounds(0, 0, 25, 25);
    EXPECT_EQ(b->ImageOut().Width(), 25);
    b->ImageOut().SetFastPixel(12, 12, clLime);
    b->SetBounds(5, 5, 25, 25);
    EXPECT_EQ(At(b->ImageOut(), 12, 12), (Rgb{0, 255, 0}));
    b->SetWidth(40);
    EXPECT_EQ(b->ImageOut().Width(), 40);
}

// ---- Hit test and mouse

TEST_F(HemiTest, FaceHitTestAndIgnoredPresses)
{
    THemisphereButton* b = Teal(10, 10);
    // Either bevel alone takes its width off the face, both take twice as much.
    EXPECT_FALSE(b->FaceHitTest(1, 16));
    EXPECT_TRUE(b->FaceHitTest(2, 16));
    b->SetBevelOuter(hbNone);
    b->SetBevelInner(hbRaised);
    EXPECT_FALSE(b->FaceHitTest(1, 16));
    EXPECT_TRUE(b->FaceHitTest(2, 16));
    b->SetBevelOuter(hbLowered);
    b->SetBevelInner(hbLowered);
    EXPECT_FALSE(b->FaceHitTest(3, 16));
    EXPECT_TRUE(b->FaceHitTest(4, 16));
    int downs = 0, clicks = 0;
    b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
    b->OnClick = [&](TObject*) { ++clicks; };
    Click(10 + 3, 10 + 16);  // inner ring
    Click(10 + 1, 10 + 1);   // outside the ellipse
    EXPECT_EQ(downs, 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(b->Down());
    // Disabled: nothing either.
    b->SetEnabled(false);
    Click(10 + 35, 10 + 16);
    EXPECT_EQ(downs, 0);
    b->SetEnabled(true);
    Click(10 + 35, 10 + 16);
    EXPECT_EQ(downs, 1);
    EXPECT_EQ(clicks, 1);
    // Without bevels the face reaches the ellipse's edge, and so does the button's share of the mouse.
    b->SetBevelOuter(hbNone);
    b->SetBevelInner(hbNone);
    Click(10 + 0, 10 + 16);
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(clicks, 2);
    // No face at all when the half-size equals the bevels.
    b->SetBevelOuter(hbLowered);
    b->SetBevelInner(hbLowered);
    b->SetBounds(10, 10, 8, 8);
    EXPECT_FALSE(b->FaceHitTest(4, 4));
}

TEST_F(HemiTest, PressMoveOutMoveInRelease)
{
    THemisphereButton* b = Teal(10, 10);
    std::vector<std::string> log;
    b->OnClick = [&](TObject*) {
        log.push_back(b->Down() ? "click-down" : "click-up");
        // Drawn pressed at that moment: painting shows ImageIn's centre.
        TBitmap bg;
        bg.SetPixelFormat(pf32bit);
        bg.SetSize(69, 32);
        b->PaintTo(bg.Canvas().Handle());
        EXPECT_EQ(At(bg, 35, 16), (Rgb{0, 54, 54}));
    };
    b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
    Send(WM_MOUSEMOVE, 0, 45, 26);  // no button pressed: nothing goes down
    EXPECT_FALSE(b->Down());
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 45, 26);
    EXPECT_TRUE(b->Down());
    Send(WM_MOUSEMOVE, MK_LBUTTON, 150, 26);  // off the button: routed by capture
    EXPECT_FALSE(b->Down());
    Send(WM_MOUSEMOVE, MK_LBUTTON, 44, 25);
    EXPECT_TRUE(b->Down());
    Send(WM_LBUTTONUP, 0, 44, 25);
    EXPECT_EQ(log, (std::vector<std::string>{"click-down", "up"}));
    EXPECT_FALSE(b->Down());

    // Release outside: no click, up.
    log.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 45, 26);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 150, 90);
    Send(WM_LBUTTONUP, 0, 150, 90);
    EXPECT_EQ(log, (std::vector<std::string>{"up"}));
    EXPECT_FALSE(b->Down());
    // Even when the release comes off the face with no move before it.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 45, 26);
    Send(WM_LBUTTONUP, 0, 150, 90);
    EXPECT_FALSE(b->Down());
    Send(WM_MOUSEMOVE, 0, 45, 26);
    EXPECT_FALSE(b->Down());
    // The right button does not push the button, and its release on the face is no click.
    log.clear();
    Send(WM_RBUTTONDOWN, MK_RBUTTON, 45, 26);
    EXPECT_FALSE(b->Down());
    Send(WM_RBUTTONUP, 0, 45, 26);
    EXPECT_EQ(log, (std::vector<std::string>{"up"}));
    // A key press (Click) goes down and clicks the same way; not during a mouse press, nor while disabled.
    log.clear();
    b->Click();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 45, 26);
    b->Click();
    Send(WM_LBUTTONUP, 0, 45, 26);
    b->SetEnabled(false);
    b->Click();
    EXPECT_EQ(log, (std::vector<std::string>{"click-down", "click-down", "up"}));
    EXPECT_FALSE(b->Down());
}

TEST_F(HemiTest, DoubleClick)
{
    THemisphereButton* b = Teal(10, 10);
    std::vector<std::string> log;
    b->OnClick = [&](TObject*) { log.push_back("click"); };
    b->OnDblClick = [&](TObject*) { log.push_back(b->Down() ? "dbl-down" : "dbl-up"); };
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 45, 26);
    Send(WM_LBUTTONUP, 0, 45, 26);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 45, 26);
    Send(WM_LBUTTONUP, 0, 45, 26);
    EXPECT_EQ(log, (std::vector<std::string>{"click", "dbl-down", "click"}));
    EXPECT_FALSE(b->Down());
}

TEST_F(HemiTest, Groups)
{
    THemisphereButton* a = Teal(0, 0);
    THemisphereButton* b = Teal(80, 0);
    THemisphereButton* c = Teal(160, 0);
    THemisphereButton* other = Teal(0, 50);  // another group
    THemisphereButton* single = Teal(80, 50);
    for (auto* x : {a, b, c}) x->SetGroupIndex(1);
    other->SetGroupIndex(2);
    other->SetDown(true);
    Click(35, 16);
    EXPECT_TRUE(a->Down());
    Click(80 + 35, 16);
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    Click(80 + 35, 16);
    EXPECT_TRUE(b->Down());  // AllowAllUp False: stays down
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 80 + 35, 16);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 80 + 35, 45);  // off the face: a button that was down stays down
    EXPECT_TRUE(b->Down());
    Send(WM_LBUTTONUP, 0, 80 + 35, 45);
    EXPECT_TRUE(b->Down());

    b->SetAllowAllUp(true);
    EXPECT_TRUE(a->AllowAllUp());
    EXPECT_TRUE(c->AllowAllUp());
    EXPECT_FALSE(other->AllowAllUp());
    single->SetAllowAllUp(true);
    EXPECT_TRUE(single->AllowAllUp());
    Click(80 + 35, 16);
    EXPECT_FALSE(b->Down());
    EXPECT_FALSE(a->Down());

    // Down from code leaves the others as they are.
    Click(35, 16);
    EXPECT_TRUE(a->Down());
    c->SetDown(true);
    EXPECT_TRUE(a->Down());
    EXPECT_TRUE(c->Down());
    EXPECT_TRUE(other->Down());  // untouched by group 1 throughout
}

// ---- Painting and storage

TEST_F(HemiTest, PaintsThroughTheMask)
{
    THemisphereButton* b = Teal();
    b->SetCaption("Stop");
    auto background = [](int x, int y) { return static_cast<TColor>((x + y) % 2 ? 0x203040 : 0x405060); };
    for (bool down : {false, true}) {
        SCOPED_TRACE(down);
        b->SetDown(down);
        TBitmap bg;
        bg.SetPixelFormat(pf32bit);
        bg.SetSize(69, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 69; ++x) bg.SetFastPixel(x, y, background(x, y));
        b->PaintTo(bg.Canvas().Handle());
        // The background where the mask is white, the up or down image where it is black.
        TBitmap& image = down ? b->ImageIn() : b->ImageOut();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 69; ++x) {
                const bool opaque = b->ImageMask().FastPixel(x, y) == clBlack;
                ASSERT_EQ(bg.FastPixel(x, y), opaque ? image.FastPixel(x, y) : background(x, y)) << x << "," << y;
            }
        EXPECT_EQ(At(bg, 1, 16), Grey(130));
        EXPECT_EQ(bg.FastPixel(0, 0), background(0, 0));
    }
    // Stored pictures are painted at their own size, however narrow: one opaque red column here.
    auto picture = [](const char* file, std::uint32_t pixel) {
        hemi::TPixelImage column(1, 32, pixel);
        TLayoutValue v;
        v.kind = TLayoutValue::kBinary;
        v.Str = file;
        v.Bytes = hemi::EncodeBitmap555(column.View());
        return v;
    };
    b->SetProperty("ImageIn", picture("in.bmp", hemi::PixelRGB(255, 0, 0)));
    b->SetProperty("ImageMask", picture("mask.bmp", hemi::kBlackPixel));
    TBitmap bg;
    bg.SetPixelFormat(pf32bit);
    bg.SetSize(69, 32);
    b->PaintTo(bg.Canvas().Handle());
    EXPECT_EQ(bg.FastPixel(0, 16), clRed);
    EXPECT_EQ(bg.FastPixel(1, 16), clWhite);  // beyond the pictures: untouched
}

TEST_F(HemiTest, LayoutWithStoredImages)
{
    // Images rendered for a teal button with a small glyph in its upper left, stored as files.
    THemisphereButton* source = Teal();
    source->SetCaption("Stop");
    EXPECT_EQ(source->StoredProperties("stop").size(), 4u);  // no glyph file without a glyph
    TBitmap glyph;
    glyph.SetPixelFormat(pf24bit);
    glyph.SetSize(16, 16);
    glyph.Canvas().Brush.SetColor(clWhite);
    glyph.Canvas().FillRect(Rect(0, 0, 16, 16));
    glyph.SetFastPixel(0, 0, clRed);
    source->SetGlyph(&glyph);
    std::vector<TLayoutProperty> stored = source->StoredProperties("stop");
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored[0].Name, "GlyphValid");
    EXPECT_EQ(stored[4].Name, "ImageGlyph");
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (std::size_t i = 1; i < stored.size(); ++i) files[stored[i].Value.Str] = stored[i].Value.Bytes;
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(stored[i].Value.Bytes.size(), 4546u) << stored[i].Name;
    // A layout whose properties say otherwise (maroon, flat, both bevels...): loading must take every value
    // and use the stored teal images, rendering nothing.
    const std::string text =
        "TForm Form2 {\n"
        "  THemisphereButton HBtnStop {\n"
        "    Left = 100\n    Top = 50\n    Width = 69\n    Height = 32\n"
        "    Caption = \"Stop\"\n    Font.Style = [fsBold]\n    FaceColor = clMaroon\n    BorderColor = clRed\n"
        "    FaceShaded = False\n    FaceTransparent = False\n    BevelOuter = hbLowered\n    BevelInner = hbRaised\n"
        "    BevelWidth = 2\n    BorderStyle = bsSingle\n    AllowAllUp = True\n    AttenControl = 0.75\n"
        "    Down = False\n    GroupIndex = 3\n    GlyphIndex = 3\n    NumGlyphs = 1\n    GlyphShaded = False\n"
        "    GlyphMapped = True\n    GlyphTransparent = False\n    GlyphValid = True\n"
        "    ImageOut = file(\"stop_out.bmp\")\n    ImageIn = file(\"stop_in.bmp\")\n"
        "    ImageMask = file(\"stop_mask.bmp\")\n    ImageGlyph = file(\"stop_glyph.bmp\")\n"
        "  }\n"
        "}\n";
    TOwnedForm<TForm> loaded(new TForm(nullptr));
    loaded->BeginLoading();
    TLayoutLoader loader([&](const std::string& name) { return files.at(name); });
    loader.Load(ParseLayout(text), loaded);
    for (TComponent* c : loader.Loaded())
        if (c != loaded) c->Loaded();
    static_cast<TComponent*>(loaded)->Loaded();
    auto* b = dynamic_cast<THemisphereButton*>(loaded->FindComponent("HBtnStop"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->FaceRed(), 0x80);
    EXPECT_EQ(b->BorderColor(), clRed);
    EXPECT_FALSE(b->FaceShaded());
    EXPECT_EQ(b->BevelOuter(), hbLowered);
    EXPECT_EQ(b->BevelInner(), hbRaised);
    EXPECT_EQ(b->BorderStyle(), bsSingle);
    EXPECT_TRUE(b->AllowAllUp());
    EXPECT_EQ(b->AttenControl(), 0.75);
    EXPECT_EQ(b->GroupIndex(), 3);
    EXPECT_EQ(b->GlyphIndex(), 3);  // beyond NumGlyphs, taken while loading
    EXPECT_FALSE(b->GlyphShaded());
    EXPECT_TRUE(b->GlyphMapped());
    EXPECT_FALSE(b->GlyphTransparent());
    EXPECT_TRUE(b->GlyphValid());
    EXPECT_EQ(b->Glyph().Width(), 16);
    EXPECT_EQ(b->Glyph().FastPixel(0, 0), clRed);
    TLayoutValue unknown;
    unknown.kind = TLayoutValue::kIdent;
    unknown.Str = "bsSunken";
    EXPECT_THROW(b->SetProperty("BevelOuter", unknown), ELayoutError);
    EXPECT_THROW(b->SetProperty("BorderStyle", unknown), ELayoutError);
    EXPECT_EQ(b->BevelOuter(), hbLowered);
    // 5-5-5 keeps the top five bits: 202 -> 25 -> 206 when read back; teal, so nothing was rendered.
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 206, 206}));
    // Widened to 32 bits as they are read: some display drivers blit 5-bit white as 248, not 255, which
    // would tint the mask's transparent parts. (The platform here gives 255 either way.)
    for (TBitmap* image : {&b->ImageOut(), &b->ImageIn(), &b->ImageMask()})
        EXPECT_EQ(image->PixelFormat(), pf32bit);
    TBitmap bg;
    bg.SetPixelFormat(pf32bit);
    bg.SetSize(69, 32);
    bg.Canvas().Brush.SetColor(0x0F0F0F);
    bg.Canvas().FillRect(Rect(0, 0, 69, 32));
    b->PaintTo(bg.Canvas().Handle());
    EXPECT_EQ(At(bg, 35, 16), (Rgb{0, 206, 206}));
    EXPECT_EQ(bg.FastPixel(0, 0), 0x0F0F0F);  // the background in a corner is left exactly as it was
    // The files round-trip byte for byte.
    std::vector<TLayoutProperty> again = b->StoredProperties("stop");
    ASSERT_EQ(again.size(), 5u);
    for (std::size_t i = 1; i < again.size(); ++i)
        EXPECT_TRUE(again[i].Value.Bytes == files[again[i].Value.Str]) << again[i].Name;
    // The next change renders the flat maroon button, and from then on the images and the glyph are stored
    // as they now are.
    b->SetGlyph(nullptr);
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{128, 0, 0}));
    b->SetBounds(100, 50, 60, 28);
    TBitmap other;
    other.SetSize(8, 8);
    b->SetGlyph(&other);
    again = b->StoredProperties("stop");
    ASSERT_EQ(again.size(), 5u);
    for (std::size_t i = 1; i < again.size(); ++i) {
        const TBitmapFileImage image = ReadBitmapFile(again[i].Value.Bytes.data(), again[i].Value.Bytes.size());
        EXPECT_EQ(image.Width, i < 4 ? 60 : 8) << again[i].Name;
    }
}

}  // namespace

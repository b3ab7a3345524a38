// THemisphereButton under the real framework: rendered pixels, setter rules, mouse sequences sent to the
// parent window as platform messages, painting through the mask, and storage with a layout.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/hemisphere/HemiRender.h"
#include "controls/hemisphere/Hemibtn.h"
#include "framework/Forms.h"
#include "framework/Layout.h"

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

class HemiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        new TApplication;
        new TScreen;
        Application->Initialize();
        Application->OnException = [](const std::string& m) { ADD_FAILURE() << "error display: " << m; };
        RegisterHemisphereClasses();
    }
    void TearDown() override
    {
        delete Screen;
        delete Application;
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new HemiEnvironment);

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

TEST_F(HemiTest, TransparentFaceMask)
{
    THemisphereButton* b = Teal();
    b->Font().SetStyle(fsBold);
    b->SetCaption("Stop");
    b->SetBorderStyle(bsSingle);
    b->SetFaceTransparent(true);
    TBitmap& m = b->ImageMask();
    EXPECT_EQ(At(m, 35, 4), Grey(255));  // face without text
    EXPECT_EQ(At(m, 1, 16), Grey(0));    // ring
    EXPECT_EQ(At(m, 0, 0), Grey(255));   // corner
    // The caption stays opaque: some mask pixels in the text's rows are black.
    int opaque = 0;
    for (int y = 10; y < 22; ++y)
        for (int x = 20; x < 50; ++x)
            if (At(m, x, y) == Grey(0)) ++opaque;
    EXPECT_GT(opaque, 10);
    EXPECT_LT(opaque, 300);
}

TEST_F(HemiTest, BothBevelsInsetFaceAndBorder)
{
    THemisphereButton* b = Teal();
    b->SetBorderColor(clRed);
    b->SetBorderStyle(bsSingle);
    b->SetBevelInner(hbRaised);
    // The border sits at inset 4: red on column 4 near the middle row, nothing red further out.
    bool red4 = false;
    for (int y = 12; y < 20; ++y) red4 |= At(b->ImageOut(), 4, y) == (Rgb{255, 0, 0});
    EXPECT_TRUE(red4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_FALSE(At(b->ImageOut(), x, y) == (Rgb{255, 0, 0})) << x << "," << y;
    // Two grey rings on the middle row, then the face.
    EXPECT_EQ(At(b->ImageOut(), 1, 16).r, At(b->ImageOut(), 1, 16).g);
    EXPECT_EQ(At(b->ImageOut(), 3, 16).r, At(b->ImageOut(), 3, 16).b);
    EXPECT_EQ(At(b->ImageIn(), 3, 16), At(b->ImageOut(), 3, 16));
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

    TBitmap strip;
    strip.SetSize(64, 16);
    b->SetGlyph(&strip);
    EXPECT_EQ(b->NumGlyphs(), 4);
    EXPECT_EQ(b->GlyphIndex(), 1);
    b->SetGlyphIndex(5);
    EXPECT_EQ(b->GlyphIndex(), 1);
    b->SetGlyphIndex(4);
    EXPECT_EQ(b->GlyphIndex(), 4);
    TBitmap odd;
    odd.SetSize(50, 16);
    b->SetGlyph(&odd);
    EXPECT_EQ(b->NumGlyphs(), 1);
    EXPECT_EQ(b->GlyphIndex(), 1);
    // A count below 1 renders as one picture instead of dividing by zero.
    b->SetNumGlyphs(0);
    EXPECT_EQ(b->NumGlyphs(), 0);

    // Unchanged caption and direct font changes do not re-render: a marked pixel survives.
    b->SetCaption("Stop");
    b->ImageOut().SetFastPixel(35, 16, clLime);
    b->SetCaption("Stop");
    b->Font().SetColor(clWhite);
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 255, 0}));
    b->SetFont(b->Font());
    EXPECT_NE(At(b->ImageOut(), 35, 16), (Rgb{0, 255, 0}));
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
    // No face at all when the half-size equals the bevels.
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
    for (auto* x : {a, b, c}) x->SetGroupIndex(1);
    Click(35, 16);
    EXPECT_TRUE(a->Down());
    Click(80 + 35, 16);
    EXPECT_FALSE(a->Down());
    EXPECT_TRUE(b->Down());
    Click(80 + 35, 16);
    EXPECT_TRUE(b->Down());  // AllowAllUp False: stays down

    b->SetAllowAllUp(true);
    EXPECT_TRUE(a->AllowAllUp());
    EXPECT_TRUE(c->AllowAllUp());
    Click(80 + 35, 16);
    EXPECT_FALSE(b->Down());
    EXPECT_FALSE(a->Down());

    // Down from code leaves the others as they are.
    Click(35, 16);
    EXPECT_TRUE(a->Down());
    c->SetDown(true);
    EXPECT_TRUE(a->Down());
    EXPECT_TRUE(c->Down());
}

// ---- Painting and storage

TEST_F(HemiTest, PaintsThroughTheMask)
{
    THemisphereButton* b = Teal();
    TBitmap bg;
    bg.SetPixelFormat(pf32bit);
    bg.SetSize(69, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 69; ++x) bg.SetFastPixel(x, y, (x + y) % 2 ? 0x203040 : 0x405060);
    b->PaintTo(bg.Canvas().Handle());
    EXPECT_EQ(bg.FastPixel(0, 0), 0x405060);
    EXPECT_EQ(bg.FastPixel(68, 0), 0x405060);
    EXPECT_EQ(At(bg, 35, 16), (Rgb{0, 202, 202}));
    EXPECT_EQ(At(bg, 1, 16), Grey(130));
    b->SetDown(true);
    b->PaintTo(bg.Canvas().Handle());
    EXPECT_EQ(At(bg, 35, 16), (Rgb{0, 54, 54}));
    EXPECT_EQ(bg.FastPixel(1, 0), 0x203040);
}

TEST_F(HemiTest, LayoutWithStoredImages)
{
    // Images rendered for a teal button, stored as files.
    THemisphereButton* source = Teal();
    source->SetCaption("Stop");
    std::vector<TLayoutProperty> stored = source->StoredProperties("stop");
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0].Name, "GlyphValid");
    std::map<std::string, std::vector<std::uint8_t>> files;
    for (std::size_t i = 1; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].Value.Bytes.size(), 4546u) << stored[i].Name;
        files[stored[i].Value.Str] = stored[i].Value.Bytes;
    }
    // A layout whose properties say maroon: loading must use the stored teal images and render nothing.
    const std::string text =
        "TForm Form2 {\n"
        "  THemisphereButton HBtnStop {\n"
        "    Left = 100\n    Top = 50\n    Width = 69\n    Height = 32\n"
        "    Caption = \"Stop\"\n    FaceColor = clMaroon\n    BevelWidth = 2\n    Font.Style = [fsBold]\n"
        "    GlyphValid = False\n"
        "    ImageOut = file(\"stop_out.bmp\")\n    ImageIn = file(\"stop_in.bmp\")\n"
        "    ImageMask = file(\"stop_mask.bmp\")\n"
        "  }\n"
        "}\n";
    TForm* loaded = new TForm(nullptr);
    std::unique_ptr<TForm> owner(loaded);
    loaded->BeginLoading();
    TLayoutLoader loader([&](const std::string& name) { return files.at(name); });
    loader.Load(ParseLayout(text), loaded);
    for (TComponent* c : loader.Loaded())
        if (c != loaded) c->Loaded();
    static_cast<TComponent*>(loaded)->Loaded();
    auto* b = dynamic_cast<THemisphereButton*>(loaded->FindComponent("HBtnStop"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->FaceRed(), 0x80);
    // 5-5-5 keeps the top five bits: 202 -> 25 -> 206 when read back; teal, so nothing was rendered.
    EXPECT_EQ(At(b->ImageOut(), 35, 16), (Rgb{0, 206, 206}));
    TBitmap bg;
    bg.SetPixelFormat(pf32bit);
    bg.SetSize(69, 32);
    b->PaintTo(bg.Canvas().Handle());
    EXPECT_EQ(At(bg, 35, 16), (Rgb{0, 206, 206}));
    EXPECT_EQ(bg.FastPixel(0, 0), clWhite);  // the background in a corner is left exactly as it was
    // The files round-trip byte for byte.
    std::vector<TLayoutProperty> again = b->StoredProperties("stop");
    ASSERT_EQ(again.size(), 4u);
    for (std::size_t i = 1; i < again.size(); ++i)
        EXPECT_TRUE(again[i].Value.Bytes == files[again[i].Value.Str]) << again[i].Name;
    // The next property change renders the maroon button.
    b->SetAttenControl(0.5);
    EXPECT_EQ(At(b->ImageOut(), 35, 16).g, 0);
}

}  // namespace

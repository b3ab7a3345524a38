// The three-D label drawn into bitmaps and driven by real mouse messages, and the hyperlink label against
// handlers registered in a classes root of the test's own.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "controls/labels/Mylabel.h"
#include "controls/labels/URLLabel.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestHarness.h"

namespace {

// The classes of the About box's layout; an error display fails the test that caused it.
void RegisterAboutBoxClasses()
{
    RegisterComponentClass<TLabel>("TLabel");
    RegisterComponentClass<TButton>("TButton");
    RegisterComponentClass<TImage>("TImage");
    RegisterComponentClass<TPanel>("TPanel");
    RegisterLabelClasses();
}
const TTestProgramSetup kSetup({.RegisterClasses = RegisterAboutBoxClasses, .ErrorDisplayFails = true});

constexpr TColor Background = 0x336699, Ink = 0x0000FF, LeftTop = 0x00FF00, RightBottom = 0xFF0000;

struct Image {
    int w = 0, h = 0;
    std::vector<TColor> px;
    Image(int width, int height, TColor fill = Background) : w(width), h(height), px(width * height, fill) {}
    TColor at(int x, int y) const { return px[y * w + x]; }
};

Image Capture(TBitmap& bmp)
{
    GdiFlush();
    Image img(bmp.Width(), bmp.Height());
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) img.px[y * img.w + x] = bmp.FastPixel(x, y);
    return img;
}

std::unique_ptr<TBitmap> Blank(int w, int h)
{
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetSize(w, h);
    bmp->Canvas().Brush.SetStyle(bsSolid);
    bmp->Canvas().Brush.SetColor(Background);
    bmp->Canvas().FillRect(Rect(0, 0, w, h));
    return bmp;
}

Image Render(TmyLabel3d& label)
{
    auto bmp = Blank(label.Width(), label.Height());
    label.PaintTo(bmp->Canvas().Handle());
    return Capture(*bmp);
}

// The platform's own drawing of text in the label's font: what a pass draws at offset (0, 0).
Image Reference(TmyLabel3d& label, UINT flags)
{
    auto bmp = Blank(label.Width(), label.Height());
    TCanvas& c = bmp->Canvas();
    c.Font.Assign(label.Font());
    c.Brush.SetStyle(bsClear);
    RECT r = {0, 0, label.Width(), label.Height()};
    const std::string text = label.Caption();
    DrawTextA(c.Handle(), text.c_str(), static_cast<int>(text.size()), &r, flags);
    return Capture(*bmp);
}

std::unique_ptr<TmyLabel3d> MakeLabel(const std::string& caption, int w = 120, int h = 24)
{
    auto label = std::make_unique<TmyLabel3d>(nullptr);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, w, h);
    label->SetAlignment(taCenter);
    label->Font().SetName("MS Sans Serif");
    label->Font().SetHeight(-13);
    label->Font().SetStyle(fsBold);
    label->Font().SetColor(Ink);
    // Pure colours only: the checks compare exact pixels, which smoothed edges would blend.
    label->Font().SetQuality(fqNonAntialiased);
    label->SetCaption(caption);
    label->SetAShadeLeftTop(LeftTop);
    label->SetAShadeRightBottom(RightBottom);
    return label;
}

using Glyph = std::set<std::pair<int, int>>;

Glyph InkOf(const Image& img, TColor ink)
{
    Glyph s;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y) == ink) s.insert({x, y});
    return s;
}

struct Shade {
    TColor color;
    int dx, dy;
};

// What the passes must leave: each shade moved by its offset, later passes on top, the text last.
Image Expected(const Glyph& text, const std::vector<Shade>& shades, TColor ink, int w, int h)
{
    Image img(w, h);
    auto paint = [&](TColor colour, int dx, int dy) {
        for (auto [x, y] : text) {
            int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < w && py < h) img.px[py * w + px] = colour;
        }
    };
    for (const Shade& s : shades) paint(s.color, s.dx, s.dy);
    paint(ink, 0, 0);
    return img;
}

::testing::AssertionResult SameImage(const Image& got, const Image& want)
{
    int wrong = 0;
    std::ostringstream first;
    for (int y = 0; y < want.h; ++y)
        for (int x = 0; x < want.w; ++x)
            if (got.at(x, y) != want.at(x, y) && wrong++ == 0)
                first << std::hex << " first at " << std::dec << x << "," << y << ": " << std::hex << got.at(x, y)
                      << " instead of " << want.at(x, y);
    if (!wrong) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ;" << first.str();
}

// Rows of text: each band of consecutive rows with ink, and the ink's left and right ends in it.
struct Line {
    int top, bottom, left, right;
};
std::vector<Line> Lines(const Glyph& g)
{
    std::map<int, std::pair<int, int>> rows;  // row -> left and right end of its ink
    for (auto [x, y] : g) {
        auto [it, added] = rows.try_emplace(y, x, x);
        it->second.first = std::min(it->second.first, x), it->second.second = std::max(it->second.second, x);
    }
    std::vector<Line> lines;
    for (const auto& [y, ends] : rows) {
        if (lines.empty() || y > lines.back().bottom + 1) lines.push_back({y, y, ends.first, ends.second});
        Line& l = lines.back();
        l.bottom = y, l.left = std::min(l.left, ends.first), l.right = std::max(l.right, ends.second);
    }
    return lines;
}

TEST(ThreeDLabel, EachStyleLeavesItsShadesAtTheirOffsets)
{
    auto label = MakeLabel("Wg");
    const Glyph text = InkOf(Render(*label), Ink);  // Normal3d: the text alone, on an untouched background
    ASSERT_GT(text.size(), 20u);
    EXPECT_TRUE(SameImage(Render(*label), Expected(text, {}, Ink, 120, 24)));

    const struct {
        T3DEffect style;
        std::vector<Shade> shades;
    } cases[] = {
        {T3DEffect::Raised3d, {{RightBottom, 1, 1}, {LeftTop, -1, -1}}},
        {T3DEffect::Resit3d, {{LeftTop, 1, 1}, {RightBottom, -1, -1}}},
        {T3DEffect::Shadowed3d, {{RightBottom, 5, -5}}},
        {T3DEffect::Normal3d, {}},
    };
    for (const auto& c : cases) {
        label->SetAStyle3D(c.style);
        EXPECT_TRUE(SameImage(Render(*label), Expected(text, c.shades, Ink, 120, 24))) << static_cast<int>(c.style);
    }
    label->SetAStyle3D(T3DEffect::Shadowed3d);
    label->SetAHShadeOffSet(-2);
    label->SetAVShadeOffSet(3);
    EXPECT_TRUE(SameImage(Render(*label), Expected(text, {{RightBottom, -2, 3}}, Ink, 120, 24)));

    // Disabled: shades unchanged, the text in the system's grey-text colour.
    label->SetAStyle3D(T3DEffect::Raised3d);
    label->SetEnabled(false);
    const TColor grey = static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT));
    EXPECT_TRUE(SameImage(Render(*label), Expected(text, {{RightBottom, 1, 1}, {LeftTop, -1, -1}}, grey, 120, 24)));
}

TEST(ThreeDLabel, CaptionIsWordBrokenFromTheTopAndAligned)
{
    // Narrower than the caption and high enough for three lines; WordWrap stays off.
    auto label = MakeLabel("Select the base filename:", 110, 48);
    ASSERT_FALSE(label->WordWrap());
    const UINT flags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
        SCOPED_TRACE(a);
        label->SetAlignment(a);
        const Image img = Render(*label);
        EXPECT_TRUE(SameImage(img, Reference(*label, flags[a] | DT_EXPANDTABS | DT_WORDBREAK)));
        const std::vector<Line> lines = Lines(InkOf(img, Ink));
        ASSERT_EQ(lines.size(), 2u);  // broken between words, not clipped
        EXPECT_LE(lines[0].top, 4);   // from the top, not centred
        for (const Line& l : lines) {
            const int edge = a == taLeftJustify ? l.left : a == taRightJustify ? 110 - 1 - l.right : 0;
            EXPECT_LE(edge, 1);
            if (a == taCenter) {
                EXPECT_NEAR(l.left + l.right, 110 - 1, 3);
            }
        }
    }
    // Tabs are expanded.
    label->SetAlignment(taLeftJustify);
    label->SetCaption("Take\t1");
    EXPECT_TRUE(SameImage(Render(*label), Reference(*label, DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK)));
}

TEST(ThreeDLabel, OpaqueLabelFillsItsColourFirst)
{
    auto label = MakeLabel("Wg");
    EXPECT_TRUE(label->Transparent());
    label->SetTransparent(false);
    label->SetColor(0x00FFFF);
    Image img = Render(*label);
    EXPECT_EQ(img.at(0, 23), 0x00FFFF);
    EXPECT_EQ(img.at(119, 0), 0x00FFFF);
    EXPECT_FALSE(InkOf(img, Ink).empty());  // the text on top
}

TEST(ThreeDLabel, AmpersandIsLiteralWithoutAccelChar)
{
    auto label = MakeLabel("A&B");
    auto width = [](const Glyph& g) {
        int lo = 1 << 20, hi = -1;
        for (auto [x, y] : g) lo = std::min(lo, x), hi = std::max(hi, x);
        return hi - lo + 1;
    };
    Glyph accel = InkOf(Render(*label), Ink);
    label->SetShowAccelChar(false);
    Glyph literal = InkOf(Render(*label), Ink);
    label->SetCaption("AB");
    Glyph plain = InkOf(Render(*label), Ink);
    EXPECT_GT(width(literal), width(accel) + 3);  // the "&" itself is drawn
    EXPECT_EQ(width(accel), width(plain));
    EXPECT_GT(accel.size(), plain.size());  // "B" underlined
}

// A shown form, made once and left to the end of the process: taking a shown window down costs Wine seconds.
TForm& ShownForm()
{
    static TForm* form = [] {
        auto* f = new TForm(nullptr);
        f->InitLayout();
        f->SetClientSize(200, 100);
        f->Show();
        return f;
    }();
    return *form;
}

// A label at (10, 10), 50 x 20 on the shown form.
struct LabelOnForm {
    TForm& form = ShownForm();
    TmyLabel3d* label = new TmyLabel3d(&form);
    LabelOnForm()
    {
        label->SetParent(&form);
        label->SetAutoSize(false);
        label->SetBounds(10, 10, 50, 20);
        label->SetCaption("x");
    }
    ~LabelOnForm()
    {
        delete label;
        ReleaseCapture();
    }
    // Whether change asked for the label to be repainted.
    bool Repaints(const std::function<void()>& change)
    {
        ValidateRect(form.Handle(), nullptr);
        change();
        RECT r;
        if (!GetUpdateRect(form.Handle(), &r, FALSE)) return false;
        EXPECT_EQ(r.left, 10);
        EXPECT_EQ(r.top, 10);
        EXPECT_EQ(r.right, 60);
        EXPECT_EQ(r.bottom, 30);
        return true;
    }
};

TEST(ThreeDLabel, SettersRepaintOnChangeAndTheLeftTopLockHoldsWhite)
{
    LabelOnForm f;
    TmyLabel3d& l = *f.label;
    EXPECT_TRUE(l.Transparent());
    EXPECT_FALSE(l.ParentColor());
    EXPECT_EQ(l.AStyle3D(), T3DEffect::Normal3d);
    EXPECT_EQ(l.AShadeRightBottom(), clGray);
    EXPECT_EQ(l.AShadeLeftTop(), clWhite);
    EXPECT_EQ(l.AHShadeOffSet(), 5);
    EXPECT_EQ(l.AVShadeOffSet(), -5);
    EXPECT_FALSE(l.AShadeLTSet());

    EXPECT_FALSE(f.Repaints([&] { l.SetAStyle3D(T3DEffect::Normal3d); }));
    EXPECT_TRUE(f.Repaints([&] { l.SetAStyle3D(T3DEffect::Raised3d); }));
    EXPECT_FALSE(f.Repaints([&] { l.SetAShadeRightBottom(clGray); }));
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeRightBottom(clNavy); }));
    EXPECT_FALSE(f.Repaints([&] { l.SetAHShadeOffSet(5); }));
    EXPECT_TRUE(f.Repaints([&] { l.SetAHShadeOffSet(4); }));
    EXPECT_FALSE(f.Repaints([&] { l.SetAVShadeOffSet(-5); }));
    EXPECT_TRUE(f.Repaints([&] { l.SetAVShadeOffSet(2); }));
    EXPECT_FALSE(f.Repaints([&] { l.SetAShadeLeftTop(clWhite); }));
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeLeftTop(clSilver); }));
    EXPECT_EQ(l.AShadeRightBottom(), clNavy);
    EXPECT_EQ(l.AHShadeOffSet(), 4);
    EXPECT_EQ(l.AVShadeOffSet(), 2);

    // The lock holds the left-top shade at white and brings the old colour back; it repaints every time.
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeLTSet(true); }));
    EXPECT_EQ(l.AShadeLeftTop(), clWhite);
    EXPECT_FALSE(f.Repaints([&] { l.SetAShadeLeftTop(clRed); }));
    EXPECT_EQ(l.AShadeLeftTop(), clWhite);
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeLTSet(true); }));
    EXPECT_EQ(l.AShadeLeftTop(), clWhite);
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeLTSet(false); }));
    EXPECT_EQ(l.AShadeLeftTop(), clSilver);
    EXPECT_TRUE(f.Repaints([&] { l.SetAShadeLTSet(false); }));
    EXPECT_EQ(l.AShadeLeftTop(), clSilver);
    l.SetAShadeLeftTop(clRed);
    EXPECT_EQ(l.AShadeLeftTop(), clRed);
}

TEST(ThreeDLabel, MouseOutFiresOnceWhenTheMouseLeaves)
{
    LabelOnForm f;
    TmyLabel3d* label = f.label;
    int outs = 0, moves = 0;
    label->OnMouseOut = [&](TObject* sender) {
        EXPECT_EQ(sender, label);
        ++outs;
    };
    label->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++moves; };
    HWND wnd = f.form.Handle();
    auto move = [&](int x, int y) { SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };

    // The label covers 10..60 x 10..30 of the form; its four edges, right and bottom included, are inside.
    move(20, 15);
    EXPECT_EQ(GetCapture(), wnd);
    for (auto [x, y] : {std::pair{10, 20}, {60, 20}, {30, 10}, {30, 30}, {10, 10}, {60, 30}}) move(x, y);
    EXPECT_EQ(outs, 0);
    // Leaving by each side fires once and gives up the capture; moves elsewhere fire nothing more.
    int expected = 0;
    for (auto [x, y] : {std::pair{61, 20}, {9, 20}, {30, 31}, {30, 9}}) {
        move(x, y);
        EXPECT_EQ(outs, ++expected) << x << "," << y;
        EXPECT_NE(GetCapture(), wnd);
        move(150, 80);
        move(5, 5);
        EXPECT_EQ(outs, expected);
        move(30, 20);
    }
    EXPECT_EQ(moves, 0);  // the replaced handling reports no plain moves
    label->OnMouseOut = nullptr;
    move(61, 20);  // leaving without a handler is fine too
    EXPECT_NE(GetCapture(), wnd);
}

// A form that publishes a handler for the layout below.
class TLabelsForm : public TForm {
public:
    TLabelsForm() : TForm(nullptr)
    {
        Publish<TNotifyEvent>("LabelMouseOut", [this](TObject*) { ++Outs; });
    }
    int Outs = 0;
};

TEST(LabelLayouts, PropertiesAsAWindowLayoutStoresThem)
{
    TLabelsForm form;
    form.InitLayoutFromText(
        "TLabelsForm Form {\n"
        "  TmyLabel3d Caption3d {\n"
        "    Left = 10\n    Top = 10\n    Width = 50\n    Height = 20\n    AutoSize = False\n"
        "    Caption = \"x\"\n"
        "    AStyle3D = Shadowed3d\n    AShadeRightBottom = clNavy\n    AShadeLeftTop = clSilver\n"
        "    AHShadeOffSet = 3\n    AVShadeOffSet = 4\n    AShadeLTSet = True\n    OnMouseOut = LabelMouseOut\n"
        "  }\n"
        "  TURLLabel Link {\n"
        "    ParentFont = True\n    LinkFont.Color = clRed\n    PassiveFont.Color = clGreen\n"
        "    URL = \"lark@example.com\"\n    URLAsHint = False\n    ShowPrefix = True\n"
        "    LabelType = Passive\n    LinkType = http\n"
        "  }\n"
        "}\n");
    auto* l3d = dynamic_cast<TmyLabel3d*>(form.FindComponent("Caption3d"));
    ASSERT_NE(l3d, nullptr);
    EXPECT_EQ(l3d->AStyle3D(), T3DEffect::Shadowed3d);
    EXPECT_EQ(l3d->AShadeRightBottom(), clNavy);
    EXPECT_EQ(l3d->AHShadeOffSet(), 3);
    EXPECT_EQ(l3d->AVShadeOffSet(), 4);
    EXPECT_TRUE(l3d->AShadeLTSet());
    EXPECT_EQ(l3d->AShadeLeftTop(), clWhite);
    l3d->SetAShadeLTSet(false);
    EXPECT_EQ(l3d->AShadeLeftTop(), clSilver);  // the stored colour, locked until now
    ASSERT_TRUE(l3d->OnMouseOut);
    l3d->OnMouseOut(l3d);
    EXPECT_EQ(form.Outs, 1);

    auto* link = dynamic_cast<TURLLabel*>(form.FindComponent("Link"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->LinkFont().Color(), clRed);
    EXPECT_EQ(link->PassiveFont().Color(), clGreen);
    EXPECT_EQ(link->LabelType(), TURLLabelType::Passive);
    EXPECT_EQ(link->Font().Color(), clGreen);  // Passive: the passive font
    form.Font().SetColor(clPurple);            // the style gave up the window's font
    EXPECT_EQ(link->Font().Color(), clGreen);
    EXPECT_EQ(link->LinkType(), TURLLinkType::http);
    EXPECT_EQ(link->URL(), "lark@example.com");
    EXPECT_EQ(link->Caption(), "http://lark@example.com");
    EXPECT_EQ(link->Hint(), "");
    link->SetURLAsHint(true);
    EXPECT_EQ(link->Hint(), "http://lark@example.com");

    // Each style and each label and link type by name; unknown names are layout errors.
    const struct {
        const char* name;
        T3DEffect effect;
    } styles[] = {{"Normal3d", T3DEffect::Normal3d}, {"Resit3d", T3DEffect::Resit3d},
                  {"Raised3d", T3DEffect::Raised3d}, {"Shadowed3d", T3DEffect::Shadowed3d}};
    auto ident = [](const char* s) {
        TLayoutValue v;
        v.kind = TLayoutValue::kIdent;
        v.Str = s;
        return v;
    };
    for (const auto& s : styles) {
        l3d->SetProperty("AStyle3D", ident(s.name));
        EXPECT_EQ(l3d->AStyle3D(), s.effect) << s.name;
    }
    EXPECT_THROW(l3d->SetProperty("AStyle3D", ident("Sunken3d")), ELayoutError);
    EXPECT_EQ(l3d->AStyle3D(), T3DEffect::Shadowed3d);
    link->SetProperty("LabelType", ident("Link"));
    EXPECT_EQ(link->LabelType(), TURLLabelType::Link);
    EXPECT_EQ(link->Font().Color(), clRed);
    link->SetProperty("LabelType", ident("Auto"));
    EXPECT_EQ(link->LabelType(), TURLLabelType::Auto);
    link->SetProperty("LinkType", ident("mailto"));
    EXPECT_EQ(link->LinkType(), TURLLinkType::mailto);
    EXPECT_THROW(link->SetProperty("LabelType", ident("Button")), ELayoutError);
    EXPECT_THROW(link->SetProperty("LinkType", ident("ftp")), ELayoutError);
}

// ---- hyperlink label

// A classes root of our own, put in place of HKEY_CLASSES_ROOT for this process only, so that the
// handler lookup and the shell's own lookup on a click both see what the test registered.
class TestClasses {
public:
    TestClasses()
    {
        SHDeleteKeyA(HKEY_CURRENT_USER, Path);
        RegCreateKeyExA(HKEY_CURRENT_USER, Path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, nullptr);
        RegOverridePredefKey(HKEY_CLASSES_ROOT, FKey);
    }
    ~TestClasses()
    {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(FKey);
        SHDeleteKeyA(HKEY_CURRENT_USER, Path);
    }
    // The key's default value: a string with its terminating zero unless told otherwise.
    void Set(const std::string& key, const std::string& value, DWORD type = REG_SZ, bool terminated = true)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(FKey, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
        RegSetValueExA(k, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + (terminated ? 1 : 0)));
        RegCloseKey(k);
    }
    void Remove(const std::string& key) { SHDeleteKeyA(FKey, key.c_str()); }
    // .html through a file type, .htm with the command on the extension itself.
    void RegisterBrowser()
    {
        Set(".html", "TapewingTest.html");
        Set("TapewingTest.html\\shell\\open\\command", "browser.exe \"%1\"");
        Set(".htm", "");
        Set(".htm\\shell\\open\\command", "browser.exe \"%1\"");
    }
    static constexpr const char* Path = "Software\\TapewingTests\\URLLabel\\Classes";

private:
    HKEY FKey = nullptr;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Clicks the label and waits for the handler that the shell started to write its argument.
std::string ClickAndCollect(TURLLabel& label, const std::string& out, int seconds)
{
    DeleteFileA(out.c_str());
    label.Click();
    for (int i = 0; i < seconds * 5; ++i) {
        std::string text = ReadFile(out);
        if (!text.empty() && text.back() == '\n') return text.substr(0, text.find_first_of("\r\n"));
        Sleep(200);
    }
    return ReadFile(out);
}

bool IsLinkStyled(TURLLabel& label)
{
    return label.Font().Color() == clBlue && (label.Font().Style() & fsUnderline) && label.Cursor() == crLinkHand;
}

TEST(URLLabel, FindsOpenCommandsThroughTheFileTypeOrTheExtension)
{
    TestClasses classes;
    EXPECT_EQ(FindOpenCommand(".html"), "");
    EXPECT_FALSE(DetectLinkHandler(TURLLinkType::http));
    classes.Set(".html", "TapewingTest.html");
    EXPECT_EQ(FindOpenCommand(".html"), "");  // a type without a command
    classes.RegisterBrowser();
    EXPECT_EQ(FindOpenCommand(".html"), "browser.exe \"%1\"");
    EXPECT_EQ(FindOpenCommand(".htm"), "browser.exe \"%1\"");
    EXPECT_TRUE(DetectLinkHandler(TURLLinkType::http));
    // Both extensions are needed.
    classes.Remove(".htm");
    EXPECT_FALSE(DetectLinkHandler(TURLLinkType::http));

    // Expandable strings count; a value stored without its terminating zero loses nothing; a value that is
    // not text, or an empty one, is no command.
    classes.Set(".htm\\shell\\open\\command", "%ProgramFiles%\\browser.exe \"%1\"", REG_EXPAND_SZ);
    EXPECT_EQ(FindOpenCommand(".htm"), "%ProgramFiles%\\browser.exe \"%1\"");
    classes.Set(".htm\\shell\\open\\command", "open.exe", REG_SZ, false);
    EXPECT_EQ(FindOpenCommand(".htm"), "open.exe");
    classes.Set(".htm\\shell\\open\\command", "\x01\x02\x03\x04", REG_DWORD, false);
    EXPECT_EQ(FindOpenCommand(".htm"), "");
    classes.Set(".htm\\shell\\open\\command", "", REG_SZ, false);
    EXPECT_EQ(FindOpenCommand(".htm"), "");

    SetMailLibraryName("MAPI32.DLL");
    EXPECT_TRUE(DetectLinkHandler(TURLLinkType::mailto));
    // The mail library is loaded only to look, then let go again (a small library that nothing else holds).
    SetMailLibraryName("ICMP.DLL");
    ASSERT_EQ(GetModuleHandleA("ICMP.DLL"), nullptr);
    EXPECT_TRUE(DetectLinkHandler(TURLLinkType::mailto));
    EXPECT_EQ(GetModuleHandleA("ICMP.DLL"), nullptr);
    SetMailLibraryName("NOMAIL_TAPEWING.DLL");
    EXPECT_FALSE(DetectLinkHandler(TURLLinkType::mailto));
    SetMailLibraryName("MAPI32.DLL");
}

TEST(URLLabel, LabelTypeAndHandlerDecideFontCursorAndClick)
{
    ASSERT_NE(Screen->Cursors(crLinkHand), nullptr);
    EXPECT_EQ(Screen->Cursors(crLinkHand), LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(crLinkHand)));

    const std::string out = TempPath("urllabel_click.txt");
    const std::string cmd = "cmd.exe /c echo %1>\"" + out + "\"";
    TestClasses classes;

    {  // no handler: Auto stays passive and a click only fires OnClick
        TURLLabel label(nullptr);
        EXPECT_FALSE(label.HandlerFound());
        EXPECT_EQ(label.Font().Color(), clWindowText);
        EXPECT_FALSE(label.Font().Style() & fsUnderline);
        EXPECT_EQ(label.Cursor(), crDefault);
        int clicks = 0;
        label.OnClick = [&](TObject*) { ++clicks; };
        classes.Set("http\\shell\\open\\command", cmd);
        EXPECT_EQ(ClickAndCollect(label, out, 2), "");
        EXPECT_EQ(clicks, 1);

        // Link acts as a link whether a handler was found or not.
        label.SetLabelType(TURLLabelType::Link);
        EXPECT_TRUE(IsLinkStyled(label));
        label.SetURL("http://www.larkmoor.example.com");
        EXPECT_EQ(ClickAndCollect(label, out, 120), "http://www.larkmoor.example.com");
        EXPECT_EQ(clicks, 2);
    }

    classes.RegisterBrowser();
    {  // handler registered: Auto acts as a link, Passive does not
        TURLLabel label(nullptr);
        EXPECT_TRUE(label.HandlerFound());
        EXPECT_TRUE(IsLinkStyled(label));
        label.SetLabelType(TURLLabelType::Passive);
        EXPECT_EQ(label.Font().Color(), clWindowText);
        EXPECT_EQ(label.Cursor(), crDefault);
        EXPECT_EQ(ClickAndCollect(label, out, 2), "");
        label.SetLabelType(TURLLabelType::Auto);
        EXPECT_TRUE(IsLinkStyled(label));

        classes.Set("mailto\\shell\\open\\command", cmd);
        label.SetURL("MailTo:lark@example.com");
        EXPECT_EQ(label.URL(), "lark@example.com");
        EXPECT_EQ(ClickAndCollect(label, out, 120), "mailto:lark@example.com");
    }
    DeleteFileA(out.c_str());
}

TEST(URLLabel, ExplicitCaptionAndPlaceholders)
{
    TURLLabel label(nullptr);
    EXPECT_EQ(label.Caption(), URLWebPlaceholder);
    EXPECT_EQ(label.Hint(), "");  // the hint follows from the next update on
    EXPECT_FALSE(label.ShowAccelChar());
    label.SetShowPrefix(true);
    EXPECT_EQ(label.Caption(), std::string("http://") + URLWebPlaceholder);
    EXPECT_EQ(label.Hint(), label.Caption());

    label.SetShowPrefix(false);
    label.SetLinkType(TURLLinkType::mailto);
    EXPECT_EQ(label.URL(), URLMailPlaceholder);
    EXPECT_EQ(label.Caption(), URLMailPlaceholder);

    label.SetCaption("Write to us");
    label.SetURL("lark@example.com");
    label.SetShowPrefix(true);
    EXPECT_EQ(label.Caption(), "Write to us");
    EXPECT_EQ(label.Hint(), "mailto:lark@example.com");
}

}  // namespace

// The three-D label drawn into bitmaps and driven by real mouse messages, and the hyperlink label against
// handlers registered in a classes root of the test's own.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "controls/labels/Mylabel.h"
#include "controls/labels/URLLabel.h"
#include "tests/labels/test_app.h"

namespace {

constexpr int W = 120, H = 24;
constexpr TColor Background = 0x336699, Ink = 0x0000FF, LeftTop = 0x00FF00, RightBottom = 0xFF0000;

struct Image {
    std::vector<TColor> px = std::vector<TColor>(W * H);
    TColor at(int x, int y) const { return px[y * W + x]; }
};

Image Render(TmyLabel3d& label)
{
    TBitmap bmp;
    bmp.SetSize(W, H);
    bmp.Canvas().Brush.SetStyle(bsSolid);
    bmp.Canvas().Brush.SetColor(Background);
    bmp.Canvas().FillRect(Rect(0, 0, W, H));
    label.PaintTo(bmp.Canvas().Handle());
    GdiFlush();
    Image img;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) img.px[y * W + x] = bmp.FastPixel(x, y);
    return img;
}

std::unique_ptr<TmyLabel3d> MakeLabel(const std::string& caption)
{
    EnsureTestApplication();
    auto label = std::make_unique<TmyLabel3d>(nullptr);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, W, H);
    label->SetAlignment(taCenter);
    label->Font().SetName("MS Sans Serif");
    label->Font().SetHeight(-13);
    label->Font().SetStyle(fsBold);
    label->Font().SetColor(Ink);
    // Pure colours only: the check counts exact shade pixels, which smoothed edges would blend.
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
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (img.at(x, y) == ink) s.insert({x, y});
    return s;
}

struct Shade {
    TColor color;
    int dx, dy;
};

// What the passes must leave: each shade moved by its offset, later passes on top, the text last.
Image Expected(const Glyph& text, const std::vector<Shade>& shades, TColor ink)
{
    Image img;
    for (TColor& c : img.px) c = Background;
    auto paint = [&](TColor colour, int dx, int dy) {
        for (auto [x, y] : text) {
            int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < W && py < H) img.px[py * W + px] = colour;
        }
    };
    for (const Shade& s : shades) paint(s.color, s.dx, s.dy);
    paint(ink, 0, 0);
    return img;
}

// Fonts may be smoothed, so edge pixels are blends. Every pixel drawn in one of the pure colours must be
// where the passes put that colour, and most of each colour's expected pixels must show it.
::testing::AssertionResult Matches(const Image& got, const Image& want, const std::vector<TColor>& colours)
{
    auto pure = [&](TColor c) { return std::find(colours.begin(), colours.end(), c) != colours.end(); };
    int wrong = 0;
    for (std::size_t i = 0; i < got.px.size(); ++i)
        if (pure(got.px[i]) && got.px[i] != want.px[i]) ++wrong;
    std::ostringstream why;
    if (wrong) why << wrong << " pixels in the wrong pure colour; ";
    for (TColor c : colours) {
        if (c == Background) continue;
        int expected = 0, shown = 0;
        for (std::size_t i = 0; i < want.px.size(); ++i)
            if (want.px[i] == c) ++expected, shown += got.px[i] == c;
        if (shown * 10 < expected * 6) why << std::hex << "colour " << c << ": " << std::dec << shown << " of " << expected << "; ";
    }
    if (why.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why.str();
}

TEST(ThreeDLabel, EachStyleLeavesItsShadesAtTheirOffsets)
{
    auto label = MakeLabel("Wg");
    const Glyph text = InkOf(Render(*label), Ink);  // Normal3d: the text alone
    ASSERT_GT(text.size(), 20u);
    const std::vector<TColor> pureColours = {Background, Ink, LeftTop, RightBottom};

    const struct {
        T3DEffect style;
        std::vector<Shade> shades;
    } cases[] = {
        {T3DEffect::Normal3d, {}},
        {T3DEffect::Raised3d, {{RightBottom, 1, 1}, {LeftTop, -1, -1}}},
        {T3DEffect::Resit3d, {{LeftTop, 1, 1}, {RightBottom, -1, -1}}},
        {T3DEffect::Shadowed3d, {{RightBottom, 5, -5}}},
    };
    for (const auto& c : cases) {
        label->SetAStyle3D(c.style);
        EXPECT_TRUE(Matches(Render(*label), Expected(text, c.shades, Ink), pureColours)) << static_cast<int>(c.style);
    }
    label->SetAHShadeOffSet(-2);
    label->SetAVShadeOffSet(3);
    EXPECT_TRUE(Matches(Render(*label), Expected(text, {{RightBottom, -2, 3}}, Ink), pureColours));

    // Disabled: shades unchanged, the text in the system's grey-text colour.
    label->SetAStyle3D(T3DEffect::Raised3d);
    label->SetEnabled(false);
    const TColor grey = static_cast<TColor>(GetSysColor(COLOR_GRAYTEXT));
    EXPECT_TRUE(Matches(Render(*label), Expected(text, {{RightBottom, 1, 1}, {LeftTop, -1, -1}}, grey),
                        {Background, grey, LeftTop, RightBottom}));
}

TEST(ThreeDLabel, OpaqueLabelFillsItsColourFirst)
{
    auto label = MakeLabel("Wg");
    label->SetTransparent(false);
    label->SetColor(0x00FFFF);
    Image img = Render(*label);
    EXPECT_EQ(img.at(0, H - 1), 0x00FFFF);
    EXPECT_EQ(img.at(W - 1, 0), 0x00FFFF);
}

TEST(ThreeDLabel, LeftTopLockHoldsWhiteAndRestores)
{
    auto label = MakeLabel("x");
    label->SetAShadeLeftTop(clSilver);
    label->SetAShadeLTSet(true);
    EXPECT_EQ(label->AShadeLeftTop(), clWhite);
    label->SetAShadeLeftTop(clRed);  // ignored while locked
    EXPECT_EQ(label->AShadeLeftTop(), clWhite);
    label->SetAShadeLTSet(true);
    EXPECT_EQ(label->AShadeLeftTop(), clWhite);
    label->SetAShadeLTSet(false);
    EXPECT_EQ(label->AShadeLeftTop(), clSilver);
    label->SetAShadeLeftTop(clRed);
    EXPECT_EQ(label->AShadeLeftTop(), clRed);
}

TEST(ThreeDLabel, AmpersandIsLiteralWithoutAccelChar)
{
    auto label = MakeLabel("A&B");
    auto width = [](const Glyph& g) {
        int lo = W, hi = -1;
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

TEST(ThreeDLabel, MouseOutFiresOnceWhenTheMouseLeaves)
{
    EnsureTestApplication();
    TForm form(nullptr);
    form.InitLayout();
    form.SetClientSize(200, 100);
    auto* label = new TmyLabel3d(&form);
    label->SetParent(&form);
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 50, 20);
    label->SetCaption("x");
    int outs = 0, moves = 0;
    label->OnMouseOut = [&](TObject* sender) {
        EXPECT_EQ(sender, label);
        ++outs;
    };
    label->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++moves; };
    form.Show();
    HWND wnd = form.Handle();
    auto move = [&](int x, int y) { SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); };

    move(20, 15);
    EXPECT_EQ(GetCapture(), wnd);
    move(60, 30);  // the right and bottom edges count as inside
    EXPECT_EQ(outs, 0);
    move(61, 30);
    EXPECT_EQ(outs, 1);
    EXPECT_NE(GetCapture(), wnd);
    move(150, 80);
    move(5, 5);
    EXPECT_EQ(outs, 1);
    move(30, 20);
    move(30, 0);  // above the label
    EXPECT_EQ(outs, 2);
    EXPECT_EQ(moves, 0);  // the replaced handling reports no plain moves
    form.Hide();
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
    void Set(const std::string& key, const std::string& value)
    {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExA(FKey, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
        RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(k);
    }
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
    EnsureTestApplication();
    TestClasses classes;
    EXPECT_EQ(FindOpenCommand(".html"), "");
    EXPECT_FALSE(DetectLinkHandler(TURLLinkType::http));
    classes.Set(".html", "TapewingTest.html");
    EXPECT_EQ(FindOpenCommand(".html"), "");  // a type without a command
    classes.RegisterBrowser();
    EXPECT_EQ(FindOpenCommand(".html"), "browser.exe \"%1\"");
    EXPECT_EQ(FindOpenCommand(".htm"), "browser.exe \"%1\"");
    EXPECT_TRUE(DetectLinkHandler(TURLLinkType::http));

    SetMailLibraryName("MAPI32.DLL");
    EXPECT_TRUE(DetectLinkHandler(TURLLinkType::mailto));
    SetMailLibraryName("NOMAIL_TAPEWING.DLL");
    EXPECT_FALSE(DetectLinkHandler(TURLLinkType::mailto));
    SetMailLibraryName("MAPI32.DLL");
}

TEST(URLLabel, LabelTypeAndHandlerDecideFontCursorAndClick)
{
    EnsureTestApplication();
    ASSERT_NE(Screen->Cursors(crLinkHand), nullptr);
    EXPECT_EQ(Screen->Cursors(crLinkHand), LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(crLinkHand)));

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string out = std::string(temp) + "tapewing_urllabel_click.txt";
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
    EnsureTestApplication();
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

#include <gtest/gtest.h>

#include <tuple>

#include "FrameworkTestSupport.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

namespace {

TLayoutValue Ident(const std::string& s)
{
    TLayoutValue v;
    v.kind = TLayoutValue::kIdent;
    v.Str = s;
    return v;
}

TLayoutValue Int(long long i)
{
    TLayoutValue v;
    v.Int = i;
    return v;
}

// Paints a windowless control into a picture of its own size over a white background.
void Paint(TGraphicControl& control, TBitmap& out)
{
    out.SetSize(control.Width(), control.Height());
    out.Canvas().Brush.SetColor(clWhite);
    out.Canvas().FillRect(Rect(0, 0, control.Width(), control.Height()));
    control.PaintTo(out.Canvas().Handle());
}

int CountColour(TBitmap& bmp, TColor colour, int x0 = 0, int x1 = -1)
{
    if (x1 < 0) x1 = bmp.Width();
    int n = 0;
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = x0; x < x1; ++x) n += bmp.FastPixel(x, y) == colour;
    return n;
}

// The leftmost and rightmost columns holding the colour.
std::pair<int, int> Columns(TBitmap& bmp, TColor colour)
{
    int first = -1, last = -1;
    for (int x = 0; x < bmp.Width(); ++x)
        for (int y = 0; y < bmp.Height(); ++y)
            if (bmp.FastPixel(x, y) == colour) {
                if (first < 0) first = x;
                last = x;
            }
    return {first, last};
}

// A label whose text measuring fails, as a derived label's drawing may.
class TFailingLabel : public TLabel {
public:
    using TLabel::TLabel;
    bool Fail = false;
    bool CanvasLent() { return Canvas().HandleAllocated(); }

protected:
    void DoDrawText(RECT& rect, UINT flags) override
    {
        if (Fail) throw Exception("measuring failed");
        TLabel::DoDrawText(rect, flags);
    }
};

class TFormFixture : public testing::Test {
protected:
    void SetUp() override
    {
        Form = new TForm(Application);
        Form->SetClientSize(300, 200);
        Form->InitLayout();
    }
    void TearDown() override { delete Form; }
    TForm* Form = nullptr;
};

}  // namespace

using Labels = TFormFixture;

TEST_F(Labels, AutoSizeFitsTheCaptionAndRightJustifiedLabelsKeepTheirRightEdge)
{
    auto* label = new TLabel(Form);
    label->SetParent(Form);
    TBitmap probe;
    probe.Canvas().Font.Assign(label->Font());
    const TPoint hello = probe.Canvas().TextExtent("Hello");
    label->SetCaption("Hello");
    EXPECT_EQ(label->Width(), hello.X);
    EXPECT_EQ(label->Height(), hello.Y);
    label->SetCaption("");
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth(" ")) << "an empty caption keeps a space's room";
    EXPECT_EQ(label->Height(), hello.Y);
    label->SetCaption("&File");
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth("File")) << "the accelerator mark takes no room";
    label->SetShowAccelChar(false);
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth("&File"));
    label->SetShowAccelChar(true);
    label->SetCaption("&");
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth(" "));

    label->SetAlignment(taRightJustify);
    label->SetCaption("ab");
    label->SetBounds(100, 10, label->Width(), label->Height());
    const int right = label->Left() + label->Width();
    label->SetCaption("a much longer caption");
    EXPECT_EQ(label->Left() + label->Width(), right);
    EXPECT_LT(label->Left(), 100);

    // Word wrap keeps the width and grows downwards.
    label->SetAlignment(taLeftJustify);
    label->SetWordWrap(true);
    label->SetWidth(40);
    label->SetCaption("one two three four five");
    EXPECT_LE(label->Width(), 40);
    EXPECT_GE(label->Height(), 3 * hello.Y);
    label->SetWordWrap(false);
    EXPECT_GT(label->Width(), 40);
    EXPECT_EQ(label->Height(), hello.Y);

    // A bigger font, a bigger label; none of this without AutoSize.
    label->Font().SetHeight(-30);
    EXPECT_GT(label->Height(), hello.Y);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 10, 10);
    label->SetCaption("nothing changes");
    label->Font().SetHeight(-11);
    EXPECT_EQ(label->Width(), 10);
    EXPECT_EQ(label->Height(), 10);
    label->SetAutoSize(true);
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth("nothing changes"));
    // While loading the size waits for the end of it.
    label->BeginLoading();
    label->SetCaption("later");
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth("nothing changes"));
    static_cast<TComponent*>(label)->Loaded();  // as the layout loader does
    EXPECT_EQ(label->Width(), probe.Canvas().TextWidth("later"));

    // Measuring that fails leaves the canvas without the measuring DC, which is gone by then.
    auto* failing = new TFailingLabel(Form);
    failing->Fail = true;
    EXPECT_THROW(failing->SetCaption("x"), Exception);
    EXPECT_FALSE(failing->CanvasLent());
}

TEST_F(Labels, PaintTheBackgroundUnlessTransparentAndTheTextWhereItIsAligned)
{
    auto* label = new TLabel(Form);
    label->SetParent(Form);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 120, 20);
    label->SetColor(clYellow);
    label->Font().SetColor(clRed);
    label->Font().SetQuality(fqNonAntialiased);
    label->SetCaption("WW");
    TBitmap out;
    Paint(*label, out);
    EXPECT_EQ(out.FastPixel(119, 19), clYellow);
    auto [first, last] = Columns(out, clRed);
    EXPECT_LT(first, 5);
    EXPECT_LT(last, 40);
    label->SetAlignment(taRightJustify);
    Paint(*label, out);
    std::tie(first, last) = Columns(out, clRed);
    EXPECT_GT(first, 80);
    EXPECT_GT(last, 114);
    label->SetAlignment(taCenter);
    Paint(*label, out);
    std::tie(first, last) = Columns(out, clRed);
    EXPECT_GT(first, 30);
    EXPECT_LT(last, 90);
    EXPECT_NEAR(first + last, 119, 4);

    label->SetTransparent(true);
    Paint(*label, out);
    EXPECT_EQ(out.FastPixel(119, 19), clWhite);
    EXPECT_GT(CountColour(out, clRed), 10);

    // Disabled: engraved in the highlight and shadow colours, not in the font's.
    label->SetTransparent(false);
    label->SetEnabled(false);
    Paint(*label, out);
    EXPECT_EQ(CountColour(out, clRed), 0);
    const TColor shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
    const TColor light = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    EXPECT_GT(CountColour(out, shadow), 10);
    EXPECT_GT(CountColour(out, light), 5);
    EXPECT_EQ(Columns(out, light).second, Columns(out, shadow).second + 1) << "the highlight lies one pixel lower right";

    // "&" marks the next letter, unless accelerators are off.
    label->SetEnabled(true);
    label->SetAlignment(taLeftJustify);
    label->SetCaption("&&");
    Paint(*label, out);
    const int one = CountColour(out, clRed);
    label->SetShowAccelChar(false);
    Paint(*label, out);
    EXPECT_GT(CountColour(out, clRed), one);

    // In the label's own font: a bigger one draws wider letters.
    label->SetCaption("WW");
    Paint(*label, out);
    const int small = Columns(out, clRed).second;
    label->Font().SetHeight(-30);
    Paint(*label, out);
    EXPECT_GT(Columns(out, clRed).second, small + 4);
}

TEST_F(Labels, LayoutProperties)
{
    auto* label = new TLabel(Form);
    EXPECT_TRUE(label->SetProperty("AutoSize", Ident("False")));
    EXPECT_TRUE(label->SetProperty("Transparent", Ident("True")));
    EXPECT_TRUE(label->SetProperty("ShowAccelChar", Ident("False")));
    EXPECT_TRUE(label->SetProperty("WordWrap", Ident("True")));
    EXPECT_TRUE(label->SetProperty("Alignment", Ident("taCenter")));
    EXPECT_FALSE(label->AutoSize());
    EXPECT_TRUE(label->Transparent());
    EXPECT_FALSE(label->ShowAccelChar());
    EXPECT_TRUE(label->WordWrap());
    EXPECT_EQ(label->Alignment(), taCenter);
    label->SetProperty("Alignment", Ident("taRightJustify"));
    EXPECT_EQ(label->Alignment(), taRightJustify);
    label->SetProperty("Alignment", Ident("taLeftJustify"));
    EXPECT_EQ(label->Alignment(), taLeftJustify);
    EXPECT_TRUE(label->SetProperty("Left", Int(7)));
    EXPECT_EQ(label->Left(), 7);
    EXPECT_FALSE(label->SetProperty("Text2", Int(1)));
}

using EditsAndButtons = TFormFixture;

TEST_F(EditsAndButtons, EditFieldsReadOnlyLimitAndChangeEvents)
{
    auto* edit = new TEdit(Form);
    edit->SetParent(Form);
    EXPECT_TRUE(edit->TabStop());
    EXPECT_EQ(edit->Width(), 121);
    HWND wnd = edit->Handle();
    char cls[16] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    EXPECT_STREQ(cls, "Edit");
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & ES_AUTOHSCROLL);
    EXPECT_FALSE(GetWindowLongA(wnd, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);

    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->SetText("Record");
    EXPECT_EQ(edit->Text(), "Record");
    EXPECT_EQ(changes, 1);
    SendMessageA(wnd, WM_CHAR, 's', 0);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(edit->Caption().size(), 7u);

    edit->SetReadOnly(true);
    EXPECT_TRUE(edit->ReadOnly());
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & ES_READONLY);
    SendMessageA(wnd, WM_CHAR, 'x', 0);
    EXPECT_EQ(changes, 2);
    edit->SetReadOnly(false);
    EXPECT_FALSE(GetWindowLongA(wnd, GWL_STYLE) & ES_READONLY);

    edit->SetMaxLength(3);
    EXPECT_EQ(edit->MaxLength(), 3);
    EXPECT_EQ(SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0), 3);
    edit->SetMaxLength(1);
    EXPECT_EQ(SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0), 1);
    edit->SetMaxLength(0);
    EXPECT_EQ(SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);

    // Made again with the stored settings.
    edit->SetReadOnly(true);
    edit->SetMaxLength(5);
    edit->RecreateWnd();
    wnd = edit->Handle();
    EXPECT_TRUE(GetWindowLongA(wnd, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(SendMessageA(wnd, EM_GETLIMITTEXT, 0, 0), 5);

    auto* fromLayout = new TEdit(Form);
    EXPECT_TRUE(fromLayout->SetProperty("ReadOnly", Ident("True")));
    EXPECT_TRUE(fromLayout->SetProperty("MaxLength", Int(9)));
    EXPECT_TRUE(fromLayout->SetProperty("AutoSize", Ident("False")));
    EXPECT_TRUE(fromLayout->ReadOnly());
    EXPECT_EQ(fromLayout->MaxLength(), 9);
    EXPECT_FALSE(fromLayout->SetProperty("Checked", Ident("True")));
}

TEST_F(EditsAndButtons, ButtonsClickGiveTheirModalResultAndShowWhetherTheyAreTheDefault)
{
    auto* ok = new TButton(Form);
    ok->SetParent(Form);
    int clicks = 0;
    ok->OnClick = [&](TObject*) { ++clicks; };
    EXPECT_TRUE(ok->IsPushButton());
    EXPECT_FALSE(ok->IsDefaultButton());
    EXPECT_FALSE(ok->IsCancelButton());
    HWND wnd = ok->Handle();
    EXPECT_EQ(GetWindowLongA(wnd, GWL_STYLE) & 0xF, BS_PUSHBUTTON);
    ok->SetDefault(true);
    EXPECT_TRUE(ok->IsDefaultButton());
    EXPECT_EQ(GetWindowLongA(wnd, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
    ok->RecreateWnd();
    EXPECT_EQ(GetWindowLongA(ok->Handle(), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
    ok->SetDefault(false);
    EXPECT_EQ(GetWindowLongA(ok->Handle(), GWL_STYLE) & 0xF, BS_PUSHBUTTON);
    ok->SetCancel(true);
    EXPECT_TRUE(ok->IsCancelButton());

    SendMessageA(ok->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Form->ModalResult(), mrNone);
    ok->ModalResult = mrOk;
    SendMessageA(ok->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(Form->ModalResult(), mrOk);
    // Other notices of the button are not clicks.
    SendMessageA(Form->Handle(), WM_COMMAND, MAKEWPARAM(ok->ControlId(), BN_SETFOCUS),
                 reinterpret_cast<LPARAM>(ok->Handle()));
    EXPECT_EQ(clicks, 2);

    auto* fromLayout = new TButton(Form);
    EXPECT_TRUE(fromLayout->SetProperty("Default", Ident("True")));
    EXPECT_TRUE(fromLayout->SetProperty("Cancel", Ident("True")));
    EXPECT_TRUE(fromLayout->SetProperty("ModalResult", Int(mrCancel)));
    EXPECT_TRUE(fromLayout->Default());
    EXPECT_TRUE(fromLayout->Cancel());
    EXPECT_EQ(fromLayout->ModalResult, mrCancel);
    EXPECT_FALSE(fromLayout->SetProperty("Glyph", Int(1)));
}

using ImagesTimersPanels = TFormFixture;

TEST_F(ImagesTimersPanels, ImagesDrawTheirPictureWhereTheyAreTold)
{
    auto* image = new TImage(Form);
    image->SetParent(Form);
    image->SetBounds(0, 0, 20, 10);
    TBitmap out;
    Paint(*image, out);
    EXPECT_EQ(CountColour(out, clWhite), 200) << "nothing to draw";
    TBitmap& pic = image->Picture().Bitmap();
    pic.SetSize(4, 2);
    pic.Canvas().Brush.SetColor(clRed);
    pic.Canvas().FillRect(Rect(0, 0, 4, 2));
    pic.SetFastPixel(0, 1, clBlue);
    Paint(*image, out);
    EXPECT_EQ(out.FastPixel(1, 0), clRed);
    EXPECT_EQ(out.FastPixel(0, 1), clBlue);
    EXPECT_EQ(out.FastPixel(4, 0), clWhite);
    image->SetCenter(true);
    Paint(*image, out);
    EXPECT_EQ(out.FastPixel(8, 4), clRed);
    EXPECT_EQ(out.FastPixel(8, 5), clBlue);
    EXPECT_EQ(out.FastPixel(1, 0), clWhite);
    image->SetStretch(true);
    Paint(*image, out);
    EXPECT_EQ(CountColour(out, clWhite), 0);
    EXPECT_EQ(out.FastPixel(19, 0), clRed);
    EXPECT_EQ(out.FastPixel(0, 9), clBlue);
    image->SetStretch(false);
    image->SetCenter(false);
    EXPECT_TRUE(image->SetProperty("Transparent", Ident("True")));
    Paint(*image, out);
    EXPECT_EQ(out.FastPixel(0, 1), clWhite) << "the bottom-left colour is see-through";
    EXPECT_EQ(out.FastPixel(1, 1), clRed);

    EXPECT_TRUE(image->SetProperty("Stretch", Ident("True")));
    EXPECT_TRUE(image->SetProperty("Center", Ident("True")));
    EXPECT_TRUE(image->SetProperty("AutoSize", Ident("True")));
    EXPECT_TRUE(image->Stretch());
    EXPECT_TRUE(image->Center());
    EXPECT_TRUE(image->AutoSize());
    TLayoutValue bytes;
    bytes.kind = TLayoutValue::kBinary;
    bytes.Bytes = pic.SaveToBytes();
    auto* other = new TImage(Form);
    EXPECT_TRUE(other->SetProperty("Picture.Bitmap", bytes));
    EXPECT_EQ(other->Picture().Bitmap().Width(), 4);
    bytes.Bytes = LoadResourceBytes("FWTEST_ICO");
    EXPECT_TRUE(other->SetProperty("Picture.Icon", bytes));
    EXPECT_TRUE(other->Picture().HasIcon());
    other->SetBounds(0, 0, 16, 16);
    Paint(*other, out);
    EXPECT_LT(CountColour(out, clWhite), 200) << "the icon is drawn";
    EXPECT_FALSE(other->SetProperty("Proportional", Ident("True")));
}

TEST_F(ImagesTimersPanels, TimersTickWhileEnabledWithAnIntervalAndAHandler)
{
    auto* timer = new TTimer(Form);
    EXPECT_TRUE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);
    int ticks = 0;
    auto wait = [&](DWORD ms) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
            PumpMessages();
            Sleep(2);
        }
    };
    timer->SetInterval(10);
    wait(60);
    EXPECT_EQ(ticks, 0) << "no handler, no timer";
    timer->OnTimer = [&](TObject*) { ++ticks; };
    timer->Tick();
    EXPECT_EQ(ticks, 1);
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    for (DWORD start = GetTickCount(); ticks < 4 && GetTickCount() - start < 3000;) wait(5);
    EXPECT_GE(ticks, 4);
    timer->SetEnabled(false);
    int stopped = ticks;
    wait(60);
    EXPECT_EQ(ticks, stopped);
    timer->SetEnabled(true);
    timer->SetInterval(0);
    wait(60);
    EXPECT_EQ(ticks, stopped) << "an interval of 0 never fires";

    // From a layout: nothing runs until loading ends.
    auto* loaded = new TTimer(Form);
    int loadedTicks = 0;
    loaded->BeginLoading();
    EXPECT_TRUE(loaded->SetProperty("Interval", Int(10)));
    TLayoutValue handler = Ident("Tick");
    handler.Method = TNotifyEvent([&](TObject*) { ++loadedTicks; });
    EXPECT_TRUE(loaded->SetProperty("OnTimer", handler));
    EXPECT_TRUE(loaded->SetProperty("Enabled", Ident("True")));
    wait(60);
    EXPECT_EQ(loadedTicks, 0);
    static_cast<TComponent*>(loaded)->Loaded();
    for (DWORD start = GetTickCount(); loadedTicks < 2 && GetTickCount() - start < 3000;) wait(5);
    EXPECT_GE(loadedTicks, 2);
    EXPECT_EQ(loaded->Interval(), 10u);
    delete loaded;
    wait(30);  // a freed timer's tick would have nowhere to go
    EXPECT_FALSE(timer->SetProperty("Caption", Ident("x")));
}

TEST_F(ImagesTimersPanels, PanelsDrawTheirBevelsAndCaptionAndHoldControls)
{
    class TPaintedPanel : public TPanel {
    public:
        using TPanel::TPanel;
        void PaintInto(HDC dc) { PaintWindow(dc); }
        int Entered = 0;
        void MouseEnter() override { ++Entered; }
    };
    auto* panel = new TPaintedPanel(Form);
    panel->SetParent(Form);
    EXPECT_EQ(panel->BevelOuter(), bvRaised);
    EXPECT_EQ(panel->BevelInner(), bvNone);
    panel->SetBounds(0, 0, 60, 30);
    panel->Font().SetColor(clRed);
    panel->Font().SetQuality(fqNonAntialiased);
    panel->SetCaption("Mid");
    TBitmap out;
    out.SetSize(60, 30);
    panel->PaintInto(out.Canvas().Handle());
    const TColor light = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    const TColor shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
    EXPECT_EQ(out.FastPixel(0, 10), light);
    EXPECT_EQ(out.FastPixel(10, 0), light);
    EXPECT_EQ(out.FastPixel(59, 10), shadow);
    EXPECT_EQ(out.FastPixel(10, 29), shadow);
    EXPECT_EQ(out.FastPixel(1, 1), face);
    auto [first, last] = Columns(out, clRed);
    EXPECT_GT(first, 10);
    EXPECT_LT(last, 50);
    EXPECT_NEAR(first + last, 59, 4);

    panel->SetBevelOuter(bvLowered);
    panel->SetBevelInner(bvRaised);
    panel->SetCaption("");
    panel->PaintInto(out.Canvas().Handle());
    EXPECT_EQ(out.FastPixel(0, 10), shadow);
    EXPECT_EQ(out.FastPixel(59, 10), light);
    EXPECT_EQ(out.FastPixel(1, 10), light);
    EXPECT_EQ(out.FastPixel(58, 10), shadow);
    EXPECT_EQ(Columns(out, clRed).first, -1);
    panel->SetBevelOuter(bvNone);
    panel->SetBevelInner(bvNone);
    panel->PaintInto(out.Canvas().Handle());
    EXPECT_EQ(out.FastPixel(0, 10), face);

    auto* edit = new TEdit(Form);
    edit->SetParent(panel);
    EXPECT_EQ(GetParent(edit->Handle()), panel->Handle());
    panel->Perform(CM_MOUSEENTER);
    EXPECT_EQ(panel->Entered, 1) << "framework messages reach windowed controls too";

    // A changed bevel is painted again.
    Form->Show();
    for (auto change : {+[](TPanel* p) { p->SetBevelOuter(bvLowered); }, +[](TPanel* p) { p->SetBevelInner(bvRaised); }}) {
        UpdateWindow(panel->Handle());
        ValidateRect(panel->Handle(), nullptr);
        change(panel);
        RECT dirty;
        EXPECT_TRUE(GetUpdateRect(panel->Handle(), &dirty, FALSE));
    }
    Form->Hide();

    EXPECT_TRUE(panel->SetProperty("BevelOuter", Ident("bvLowered")));
    EXPECT_TRUE(panel->SetProperty("BevelInner", Ident("bvSpace")));
    EXPECT_EQ(panel->BevelOuter(), bvLowered);
    EXPECT_EQ(panel->BevelInner(), bvSpace);
    panel->SetProperty("BevelOuter", Ident("bvRaised"));
    panel->SetProperty("BevelInner", Ident("bvNone"));
    EXPECT_EQ(panel->BevelOuter(), bvRaised);
    EXPECT_EQ(panel->BevelInner(), bvNone);
}

namespace {
struct TMenuSeen {
    std::vector<std::string> Texts;
    std::vector<UINT> States;
    int Default = -1;
};
TMenuSeen g_seen;
std::string g_keys;

// Runs inside the menu's own loop: reads the menu that is up, then types the keys.
void CALLBACK ReadMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    HWND menuWnd = FindWindowA("#32768", nullptr);
    HMENU menu = menuWnd ? reinterpret_cast<HMENU>(SendMessageA(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0)) : nullptr;
    if (menu) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[64] = "";
            GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
            g_seen.Texts.push_back(text);
            UINT state = GetMenuState(menu, i, MF_BYPOSITION);
            g_seen.States.push_back(state & MF_SEPARATOR ? MF_SEPARATOR : state & (MF_GRAYED | MF_CHECKED));
        }
        g_seen.Default = static_cast<int>(GetMenuDefaultItem(menu, TRUE, 0));
    }
    HWND target = menuWnd ? menuWnd : Application->Handle();
    if (g_keys.empty()) {
        EndMenu();
        return;
    }
    for (char k : g_keys) {
        PostMessageA(target, WM_KEYDOWN, static_cast<unsigned char>(k), 0);
        PostMessageA(target, WM_KEYUP, static_cast<unsigned char>(k), 0xC0000000);
    }
}
}  // namespace

TEST(Menus, ItemsClickOnlyWhenEnabledAndLeaveTheirMenuWhenFreed)
{
    TForm owner(nullptr);
    TPopupMenu menu(&owner);
    std::vector<std::string> clicks;
    auto* a = new TMenuItem(&owner);
    a->OnClick = [&](TObject*) { clicks.push_back("a"); };
    auto* b = new TMenuItem(&owner);
    menu.Add(a);
    menu.Add(b);
    EXPECT_EQ(menu.Count(), 2);
    EXPECT_EQ(menu.Items(1), b);
    a->Click();
    b->Click();
    a->SetEnabled(false);
    a->Click();
    EXPECT_EQ(clicks, std::vector<std::string>{"a"});
    menu.SetPopupComponent(b);
    delete b;
    EXPECT_EQ(menu.Count(), 1);
    EXPECT_EQ(menu.PopupComponent(), nullptr);
    // An item owned elsewhere goes too.
    TComponent elsewhere(nullptr);
    auto* c = new TMenuItem(&elsewhere);
    menu.Add(c);
    delete c;
    EXPECT_EQ(menu.Count(), 1);

    TMenuItem item(nullptr);
    EXPECT_TRUE(item.SetProperty("Caption", [] {
        TLayoutValue v;
        v.kind = TLayoutValue::kString;
        v.Str = "-";
        return v;
    }()));
    EXPECT_TRUE(item.IsLine());
    EXPECT_TRUE(item.SetProperty("Default", Ident("True")));
    EXPECT_TRUE(item.SetProperty("Enabled", Ident("False")));
    EXPECT_TRUE(item.SetProperty("Visible", Ident("False")));
    EXPECT_TRUE(item.SetProperty("Checked", Ident("True")));
    EXPECT_TRUE(item.Default());
    EXPECT_FALSE(item.Enabled());
    EXPECT_FALSE(item.Visible());
    EXPECT_TRUE(item.Checked());
    EXPECT_FALSE(item.SetProperty("ShortCut", Int(0)));
    EXPECT_TRUE(menu.SetProperty("AutoPopup", Ident("False")));
    EXPECT_FALSE(menu.AutoPopup());
    EXPECT_FALSE(menu.SetProperty("Alignment", Ident("paLeft")));
}

TEST(Menus, APopupShowsTheVisibleItemsAsTheyAreAndClicksTheChosenOne)
{
    TForm owner(nullptr);
    TPopupMenu menu(&owner);
    std::vector<std::string> clicks;
    auto add = [&](const std::string& caption) {
        auto* item = new TMenuItem(&owner);
        item->SetCaption(caption);
        item->OnClick = [&clicks, caption](TObject*) { clicks.push_back(caption); };
        menu.Add(item);
        return item;
    };
    add("&Options...");
    add("&Hidden")->SetVisible(false);
    add("&Grey")->SetEnabled(false);
    add("-");
    add("&Ticked")->SetChecked(true);
    add("&Quit")->SetDefault(true);
    int popups = 0;
    menu.OnPopup = [&](TObject*) { ++popups; };

    g_seen = {};
    g_keys = "";
    SetTimer(nullptr, 0, 50, &ReadMenu);
    menu.Popup(100, 100);
    EXPECT_EQ(popups, 1);
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(g_seen.Texts, (std::vector<std::string>{"&Options...", "&Grey", "", "&Ticked", "&Quit"}));
    EXPECT_EQ(g_seen.States, (std::vector<UINT>{0, MF_GRAYED, MF_SEPARATOR, MF_CHECKED, 0}));
    EXPECT_EQ(g_seen.Default, 4);

    // Chosen by its accelerator: the item after the hidden one is still the right one.
    g_keys = "T";
    SetTimer(nullptr, 0, 50, &ReadMenu);
    menu.Popup(100, 100);
    EXPECT_EQ(clicks, std::vector<std::string>{"&Ticked"});
    PumpMessages();
}

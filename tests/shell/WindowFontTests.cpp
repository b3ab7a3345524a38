// The captions of the options and About windows, loaded from their layouts as the program loads them, in
// the fonts the windows really get: the face asked for is the face used, and every caption fits its room.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "TestSupport.h"
#include "app/Unit1.h"
#include "app/aboutform.h"
#include "controls/labels/Mylabel.h"
#include "controls/labels/URLLabel.h"
#include "controls/tray/SysTray.h"
#include "framework/ExtCtrls.h"
#include "framework/GdiHandles.h"

namespace {

struct TCaptionExtent {
    std::string Face;
    SIZE Line;   // the caption on one line
    int Height;  // the caption broken into lines at the label's width, when the label breaks words
};

// Measures a label's caption as its paint draws it: its own font, its own DrawText flags.
TCaptionExtent Measure(TLabel& label, bool breaksWords)
{
    WindowDC screen(nullptr);
    DeviceContext dc(CreateCompatibleDC(screen.get()));
    HGDIOBJ old = SelectObject(dc.get(), label.Font().Handle());
    TCaptionExtent result;
    char face[LF_FACESIZE] = {};
    GetTextFaceA(dc.get(), LF_FACESIZE, face);
    result.Face = face;
    const std::string& text = label.Caption();
    UINT flags = DT_EXPANDTABS | DT_CALCRECT | (label.ShowAccelChar() ? 0 : DT_NOPREFIX);
    RECT line = {0, 0, 0, 0};
    DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &line, flags);
    result.Line = {line.right, line.bottom};
    RECT broken = {0, 0, label.Width(), 0};
    DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &broken, flags | (breaksWords ? DT_WORDBREAK : 0));
    result.Height = broken.bottom;
    SelectObject(dc.get(), old);
    return result;
}

template <typename T>
T& Named(TComponent& owner, const char* name)
{
    auto* c = dynamic_cast<T*>(owner.FindComponent(name));
    if (!c) throw std::runtime_error(std::string("no ") + name);
    return *c;
}

class WindowFonts : public testing::Test {
protected:
    void TearDown() override
    {
        delete About;
        delete Options;
        PumpMessages();
    }
    TForm1* Options = nullptr;
    TAboutBox* About = nullptr;
};

TEST_F(WindowFonts, OptionsCaptionsFitInMsSansSerif)
{
    Options = Application->CreateForm<TForm1>();
    Options->TrayIcon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    // The raised captions have a fixed size and break words: a last word that does not fit moves onto a
    // line below the label, out of sight.
    for (const char* name : {"myLabel3d1", "myLabel3d2", "myLabel3d3"}) {
        auto& label = Named<TmyLabel3d>(*Options, name);
        TCaptionExtent e = Measure(label, true);
        EXPECT_EQ(e.Face, "MS Sans Serif") << name;
        EXPECT_LE(e.Line.cx, label.Width()) << name << ": \"" << label.Caption() << '"';
        EXPECT_LE(e.Height, label.Height()) << name << ": \"" << label.Caption() << "\" breaks";
    }
    // The plain lines size themselves; the window's edge is their limit.
    for (const char* name : {"Labeln", "Label1", "Label2"}) {
        auto& label = Named<TLabel>(*Options, name);
        TCaptionExtent e = Measure(label, false);
        EXPECT_EQ(e.Face, "MS Sans Serif") << name;
        EXPECT_LE(label.Left() + e.Line.cx, Options->ClientWidth()) << name << ": \"" << label.Caption() << '"';
    }
}

TEST_F(WindowFonts, AboutCaptionsFitInTheirPanel)
{
    About = Application->CreateForm<TAboutBox>();
    const int inside = About->Panel1->ClientWidth() - 2;  // the bevels take a pixel on each side
    for (const char* name : {"Version", "Copyright", "Comments", "URLLabel1", "URLLabel2", "myLabel3d1"}) {
        auto& label = Named<TLabel>(*About, name);
        TCaptionExtent e = Measure(label, label.WordWrap());
        if (label.WordWrap()) {
            // Broken into the label's width, in the two lines its place leaves above the web link.
            EXPECT_LE(e.Height, 2 * e.Line.cy) << name;
            EXPECT_LE(label.Left() + label.Width(), inside) << name;
        } else {
            EXPECT_LE(label.Left() + e.Line.cx, inside) << name << ": \"" << label.Caption() << '"';
        }
        // The program's name asks for Arial.
        if (&label != About->myLabel3d1) {
            EXPECT_EQ(e.Face, "MS Sans Serif") << name;
        }
    }
}

}  // namespace

// What the options and About windows show, loaded from their layouts as the program loads them: where
// each control of the options window sits and the handlers it is bound to, the captions in the fonts the
// windows really get (the face asked for, every caption within its room), and the folder tree's drives
// with images from the tree's own image list.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "TestSupport.h"
#include "app/Unit1.h"
#include "app/aboutform.h"
#include "controls/dirtree/DirTree.h"
#include "controls/labels/Mylabel.h"
#include "controls/labels/URLLabel.h"
#include "controls/tray/SysTray.h"
#include "framework/ExtCtrls.h"
#include "framework/GdiHandles.h"
#include "tests/support/TempFolder.h"

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

// How many of its 16 x 16 pixels the image at index of list covers, drawn over a colour no icon uses.
int CoveredPixels(HIMAGELIST list, int index)
{
    WindowDC screen(nullptr);
    DeviceContext dc(CreateCompatibleDC(screen.get()));
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), 16, 16));
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    const COLORREF background = RGB(255, 0, 255);
    GdiObject<HBRUSH> brush(CreateSolidBrush(background));
    RECT all = {0, 0, 16, 16};
    FillRect(dc.get(), &all, brush.get());
    ImageList_Draw(list, index, dc.get(), 0, 0, ILD_NORMAL);
    int covered = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) covered += GetPixel(dc.get(), x, y) != background;
    SelectObject(dc.get(), old);
    return covered;
}

template <typename T>
T& Named(TComponent& owner, const char* name)
{
    auto* c = dynamic_cast<T*>(owner.FindComponent(name));
    if (!c) throw std::runtime_error(std::string("no ") + name);
    return *c;
}

class WindowLook : public testing::Test {
protected:
    void TearDown() override
    {
        delete About;
        delete Options;
        PumpMessages();
    }
    void CreateOptions()
    {
        Options = Application->CreateForm<TForm1>();
        Options->TrayIcon->ShellNotify = [](DWORD, TNotifyIconData88&) { return TRUE; };
    }
    TForm1* Options = nullptr;
    TAboutBox* About = nullptr;
};

// Every control where the options window's layout puts it, with its captions and settings, and the
// window's handlers bound to the events that run them.
TEST_F(WindowLook, OptionsWindowAsItsLayoutHoldsIt)
{
    CreateOptions();
    TForm1& f = *Options;
    EXPECT_EQ(f.Caption(), "Tapewing");
    EXPECT_EQ(f.ClientWidth(), 373);
    EXPECT_EQ(f.ClientHeight(), 295);
    EXPECT_EQ(f.BorderStyle(), bsDialog);
    EXPECT_EQ(f.BorderIcons(), 0u);
    EXPECT_EQ(f.Position(), poScreenCenter);
    EXPECT_EQ(f.Font().Name(), "MS Sans Serif");
    EXPECT_EQ(f.Font().Size(), 8);
    const struct {
        const char* name;
        int left, top, width, height, tabOrder;
        const char* caption;
    } places[] = {
        {"DirTree1", 0, 0, 181, 295, 1, nullptr},
        {"myLabel3d1", 187, 5, 177, 16, -1, "<--  Select a folder where "},
        {"myLabel3d2", 185, 23, 186, 16, -1, "the records will be saved..."},
        {"Edit1", 186, 49, 180, 21, 2, nullptr},
        {"myLabel3d3", 192, 108, 176, 16, -1, "Select the base filename:"},
        {"Labeln", 186, 127, 0, 0, -1, "(a number will be added for each take,"},
        {"Label1", 187, 142, 0, 0, -1, "ex. the name \"record\" would give"},
        {"Label2", 187, 157, 0, 0, -1, "\"record1.wav\", \"record2.wav\", ...)"},
        {"Edit2", 187, 176, 176, 21, 3, nullptr},
        {"Button1", 235, 237, 75, 25, 0, "OK"},
    };
    for (const auto& p : places) {
        auto& c = Named<TControl>(f, p.name);
        EXPECT_EQ(c.Left(), p.left) << p.name;
        EXPECT_EQ(c.Top(), p.top) << p.name;
        if (p.width) {
            EXPECT_EQ(c.Width(), p.width) << p.name;
            EXPECT_EQ(c.Height(), p.height) << p.name;
        }
        if (p.tabOrder >= 0) {
            EXPECT_EQ(Named<TWinControl>(f, p.name).TabOrder(), p.tabOrder) << p.name;
        }
        if (p.caption) {
            EXPECT_EQ(c.Caption(), p.caption) << p.name;
        }
    }
    for (const char* name : {"myLabel3d1", "myLabel3d2", "myLabel3d3"}) {
        auto& label = Named<TmyLabel3d>(f, name);
        EXPECT_EQ(label.AStyle3D(), T3DEffect::Raised3d) << name;
        EXPECT_EQ(label.AShadeLeftTop(), clSilver) << name;
        EXPECT_TRUE(label.Transparent()) << name;
        EXPECT_EQ(label.Font().Style(), unsigned(fsBold)) << name;
        EXPECT_EQ(label.Font().Size(), 10) << name;
    }
    EXPECT_TRUE(f.Edit1->ReadOnly());
    EXPECT_FALSE(f.Edit2->ReadOnly());
    TDirTree& tree = *f.DirTree1;
    EXPECT_EQ(tree.Align(), alLeft);
    EXPECT_TRUE(tree.ReadOnStart());
    EXPECT_FALSE(tree.GoBelowRecycleBin());
    EXPECT_FALSE(tree.FastLoad());
    EXPECT_FALSE(tree.ShowShareOverlay());
    EXPECT_FALSE(tree.AcceptDropFiles());
    ASSERT_EQ(f.PopupMenu1->Count(), 4);
    const char* items[] = {"&Options...", "&About...", "-", "&Quit"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(f.PopupMenu1->Items(i)->Caption(), items[i]) << i;
    EXPECT_EQ(f.TrayIcon->PopupMenu(), f.PopupMenu1);
    EXPECT_EQ(f.TrayIcon->CycleInterval(), 0u);
    EXPECT_EQ(f.TrayIcon->IconIndex(), 0);
    EXPECT_FALSE(f.TrayIcon->ShowHint());
    EXPECT_TRUE(f.TrayIcon->Enabled());  // switched on at creation
    EXPECT_FALSE(f.Visible());

    // The handlers, reached through the events the layout bound them to.
    const std::string loadedFolder = f.Edit1->Text(), loadedBase = f.Edit2->Text();
    const std::string temp = TempFolderPath();
    std::string upper = temp;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    f.Edit1->SetText(temp);
    f.PopupMenu1->Items(0)->OnClick(f.PopupMenu1->Items(0));  // "&Options..."
    EXPECT_TRUE(f.Visible());
    EXPECT_FALSE(f.TrayIcon->Enabled());
    EXPECT_EQ(tree.SelectedPath(), upper);
    tree.OnClick(&tree);
    EXPECT_EQ(f.Edit1->Text(), upper);
    f.Button1->OnClick(f.Button1);
    EXPECT_FALSE(f.Visible());
    EXPECT_TRUE(f.TrayIcon->Enabled());
    std::vector<std::string> takes;
    f.RecordTake = [&](const std::string& path) {
        takes.push_back(path);
        return TTakeResult{};
    };
    f.TrayIcon->OnClick(f.TrayIcon);
    ASSERT_EQ(takes.size(), 1u);
    EXPECT_EQ(takes[0].rfind(upper + loadedBase, 0), 0u) << takes[0];
    About = Application->CreateForm<TAboutBox>();
    f.PopupMenu1->Items(1)->OnClick(f.PopupMenu1->Items(1));  // "&About..."
    EXPECT_TRUE(About->Visible());
    EXPECT_EQ(GetForegroundWindow(), About->Handle());
    f.Edit1->SetText(loadedFolder);
    f.PopupMenu1->Items(3)->OnClick(f.PopupMenu1->Items(3));  // "&Quit", writing back what was loaded
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(WindowLook, OptionsCaptionsFitInMsSansSerif)
{
    CreateOptions();
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

TEST_F(WindowLook, AboutCaptionsFitInTheirPanel)
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

TEST_F(WindowLook, OptionsTreeDrivesHaveImagesTheTreeHolds)
{
    CreateOptions();
    TDirTree& tree = *Options->DirTree1;
    HWND wnd = tree.Handle();
    HIMAGELIST list = TreeView_GetImageList(wnd, TVSIL_NORMAL);
    ASSERT_NE(list, nullptr);
    const int count = ImageList_GetImageCount(list);
    int drives = 0;
    for (TTreeNode* node = tree.GetFirstNode(); node; node = node->GetNextSibling(), ++drives) {
        // What the window itself holds for the item, not what the node object remembers.
        TVITEMA item = {};
        item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.hItem = node->ItemId();
        ASSERT_TRUE(TreeView_GetItem(wnd, &item)) << node->Text();
        for (int index : {item.iImage, item.iSelectedImage}) {
            ASSERT_GE(index, 0) << node->Text();
            ASSERT_LT(index, count) << node->Text();
            EXPECT_GT(CoveredPixels(list, index), 64) << node->Text() << ": image " << index << " is (nearly) empty";
        }
        EXPECT_NE(item.iImage, tree.ClosedFolderIcon()) << node->Text() << " is drawn as a folder";
    }
    EXPECT_GE(drives, 2);  // C: and Z: at least
}

}  // namespace

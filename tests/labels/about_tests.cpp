// The About window from its layout resource: contents, showing without blocking, one window, OK and Enter.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/aboutform.h"
#include "framework/Forms.h"

namespace {

RECT WindowRect(HWND wnd)
{
    RECT r;
    GetWindowRect(wnd, &r);
    return r;
}

// With TAPEWING_SHOT set, saves what the screen shows of a window as a bitmap file to look at.
void SaveShot(HWND wnd, const char* fileName)
{
    const char* dir = std::getenv("TAPEWING_SHOT");
    if (!dir) return;
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
    RECT r = WindowRect(wnd);
    TBitmap shot;
    shot.SetSize(r.right - r.left, r.bottom - r.top);
    WindowDC screen(nullptr);
    BitBlt(shot.Canvas().Handle(), 0, 0, shot.Width(), shot.Height(), screen.get(), r.left, r.top, SRCCOPY);
    shot.SaveToFile(std::string(dir) + "\\" + fileName);
}

TEST(AboutBox, LayoutHoldsTheWindowAsDesigned)
{
    TAboutBox box(Application);
    box.InitLayout();
    EXPECT_EQ(AboutBox, &box);
    EXPECT_EQ(box.Caption(), "About");
    EXPECT_EQ(box.ClientWidth(), 298);
    EXPECT_EQ(box.ClientHeight(), 207);
    EXPECT_FALSE(box.Visible());
    EXPECT_EQ(box.myLabel3d1->AStyle3D(), T3DEffect::Resit3d);
    EXPECT_EQ(box.myLabel3d1->Caption(), "Tapewing");
    EXPECT_EQ(box.myLabel3d1->Font().Color(), clMaroon);
    EXPECT_EQ(box.Version->Caption(), "Version 1.0");
    EXPECT_NE(box.Copyright->Caption().find("Larkmoor"), std::string::npos);

    // The logo: 80 x 43, red letters on white.
    TBitmap& logo = box.ProgramIcon->Picture().Bitmap();
    ASSERT_EQ(logo.Width(), 80);
    ASSERT_EQ(logo.Height(), 43);
    EXPECT_EQ(logo.FastPixel(0, 0), clWhite);
    int red = 0;
    for (int y = 0; y < 43; ++y)
        for (int x = 0; x < 80; ++x) {
            TColor c = logo.FastPixel(x, y);
            red += (c & 0xFF) > 0xC0 && ((c >> 8) & 0xFF) < 0x20 && ((c >> 16) & 0xFF) < 0x20;
        }
    EXPECT_GT(red, 300);

    // The mail label: the URL setter made it a mail link; the later LinkType found nothing to change,
    // so detection and style are those decided for http at construction.
    TURLLabel& mail = *box.URLLabel1;
    EXPECT_EQ(mail.LinkType(), TURLLinkType::mailto);
    EXPECT_EQ(mail.URL(), "lark@example.com");
    EXPECT_EQ(mail.Caption(), "lark@example.com");
    EXPECT_EQ(mail.Hint(), "lark@example.com");
    EXPECT_EQ(mail.Target(), "mailto:lark@example.com");
    EXPECT_EQ(mail.HandlerFound(), DetectLinkHandler(TURLLinkType::http));
    TURLLabel& web = *box.URLLabel2;
    EXPECT_EQ(web.LinkType(), TURLLinkType::http);
    EXPECT_EQ(web.Caption(), "Visit Larkmoor's website for updates and other freeware!");
    EXPECT_EQ(web.Target(), "http://www.larkmoor.example.com");
    EXPECT_EQ(web.Hint(), "www.larkmoor.example.com");
}

TEST(AboutBox, ShownWithoutBlockingCentredOnceAndHiddenByOkOrEnter)
{
    auto* box = new TAboutBox(Application);
    box->InitLayout();
    std::size_t forms = Application->Forms().size();

    ShowAboutBox();  // returns at once: not modal
    ASSERT_TRUE(IsWindowVisible(box->Handle()));
    EXPECT_FALSE(box->Modal());
    RECT r = WindowRect(box->Handle());
    EXPECT_NEAR((r.left + r.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    SaveShot(box->Handle(), "about.bmp");

    ShowAboutBox();  // again: the same window, still one
    EXPECT_EQ(AboutBox, box);
    EXPECT_EQ(Application->Forms().size(), forms);
    EXPECT_TRUE(IsWindowVisible(box->Handle()));

    SendMessageA(box->OKButton->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(IsWindowVisible(box->Handle()));

    // Moved by the user, it comes back where it was left.
    SetWindowPos(box->Handle(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowAboutBox();
    EXPECT_EQ(WindowRect(box->Handle()).left, 40);
    EXPECT_EQ(WindowRect(box->Handle()).top, 30);

    // Enter presses the default button.
    PostMessageA(box->OKButton->Handle(), WM_KEYDOWN, VK_RETURN, 1);
    Application->ProcessMessages();
    EXPECT_FALSE(IsWindowVisible(box->Handle()));
    delete box;
    EXPECT_EQ(AboutBox, nullptr);
}

}  // namespace

// Renders the recording window's two round buttons ("Cancel" and "Stop") and writes their stored images as
// bitmap files for the window's layout, then prints the layout lines that refer to them.
//
//   hemibtn_images.exe <folder>            writes hbtncancel_{out,in,mask}.bmp and hbtnstop_{out,in,mask}.bmp
//   hemibtn_images.exe <folder> --show N   also shows both buttons, up and pressed, over a grained
//                                           background for N seconds (for a screenshot)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/hemisphere/Hemibtn.h"
#include "framework/FileStream.h"
#include "framework/Forms.h"
#include "framework/Layout.h"

namespace {

// A window with a fine blue-grey grain, like the recording window's background picture.
class TPreviewForm : public TForm {
public:
    using TForm::TForm;

protected:
    void PaintBackground(HDC dc) override
    {
        RECT rc;
        GetClientRect(Handle(), &rc);
        unsigned seed = 12345;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x) {
                seed = seed * 1103515245u + 12345u;
                int n = static_cast<int>((seed >> 16) % 24);
                ::SetPixel(dc, x, y, RGB(120 + n, 130 + n, 150 + n));
            }
    }
};

struct ButtonLook {
    const char* name;  // layout name
    const char* file;  // file name base
    const char* caption;
    TColor face;
    TColor text;
};
const ButtonLook kButtons[] = {
    {"HbtnCancel", "hbtncancel", "Cancel", clMaroon, clWhite},
    {"HBtnStop", "hbtnstop", "Stop", clTeal, clBlack},
};

THemisphereButton* MakeButton(TForm* form, const ButtonLook& look, int left, int top)
{
    auto* b = new THemisphereButton(form);
    b->SetName(look.name);
    b->SetParent(form);
    b->SetCursor(crHandPoint);
    b->SetFaceColor(look.face);
    b->SetBorderColor(look.face);
    TFont font;
    font.SetName("MS Sans Serif");
    font.SetSize(8);
    font.SetStyle(fsBold);
    font.SetColor(look.text);
    b->SetFont(font);
    b->SetCaption(look.caption);
    b->SetBounds(left, top, 69, 32);
    return b;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    TFileStream f(path, fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<long>(bytes.size()));
}

int Run(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: hemibtn_images <folder> [--show seconds]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int showSeconds = (argc >= 4 && std::string(argv[2]) == "--show") ? std::atoi(argv[3]) : 0;

    TApplication app;
    TScreen screen;
    app.Initialize();
    RegisterHemisphereClasses();
    auto* form = new TPreviewForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 170, 90);
    form->InitLayout();

    TLayoutObject layout;
    layout.ClassName = "TForm2";
    layout.Name = "Form2";
    int column = 0;
    for (const ButtonLook& look : kButtons) {
        THemisphereButton* up = MakeButton(form, look, 10 + 80 * column, 8);
        THemisphereButton* down = MakeButton(form, look, 10 + 80 * column, 48);
        down->SetName(std::string(look.name) + "Down");
        down->SetDown(true);
        ++column;
        TLayoutObject obj;
        obj.ClassName = "THemisphereButton";
        obj.Name = look.name;
        for (TLayoutProperty& p : up->StoredProperties(look.file)) {
            if (p.Value.kind == TLayoutValue::kBinary) WriteFile(folder + "\\" + p.Value.Str, p.Value.Bytes);
            obj.Properties.push_back(std::move(p));
        }
        layout.Children.push_back(std::move(obj));
    }
    std::printf("%s", WriteLayout(layout).c_str());

    if (showSeconds > 0) {
        form->Show();
        const DWORD end = GetTickCount() + static_cast<DWORD>(showSeconds) * 1000;
        while (GetTickCount() < end) {
            app.ProcessMessages();
            Sleep(20);
        }
    }
    delete form;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hemibtn_images: %s\n", e.what());
        return 1;
    }
}

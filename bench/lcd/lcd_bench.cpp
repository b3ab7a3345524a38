// Cost of the recording window's clock label: a full repaint of "mm:ss" (layout, off-screen picture, dots,
// one block copy) against a bare block copy of the same size, and the cost of setting an unchanged caption.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controls/lcd/LCD_Lab.h"
#include "framework/Forms.h"

namespace {

// An LCD label that counts its paints, so the benchmark can tell whether a setter drew.
class TCountingLabel : public TLCDLabel {
public:
    using TLCDLabel::TLCDLabel;
    int Paints = 0;

protected:
    void Paint() override
    {
        ++Paints;
        TLCDLabel::Paint();
    }
};

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

// Shows the recording window's label with "03:07" in a window for a while, for a person or a screenshot,
// loaded from layout text the way the recording window loads it; optionally saves the label's picture.
int Show(int seconds, const char* bitmapFile)
{
    RegisterLCDClasses();
    TApplication app;
    app.Initialize();
    auto* form = new TForm(&app);
    form->InitLayoutFromText(R"(TForm Form1 {
  Caption = "LCD 03:07"
  Left = 40
  Top = 40
  ClientWidth = 268
  ClientHeight = 44
  Color = clTeal
  TLCDLabel LCDLabel1 {
    Left = 89
    Top = 6
    Width = 90
    Height = 32
    Caption = "03:07"
    DotMatrix = dos5x7
    PixelSize = pix2x2
    PixelSpacing = 1
    CharSpacing = 2
    LineSpacing = 2
    BorderSpace = 5
    TextLines = 1
    NoOfChars = 5
    PixelOff = 0xAAAAAA
  }
})");
    auto* label = static_cast<TLCDLabel*>(form->FindComponent("LCDLabel1"));
    std::printf("label %d x %d, caption %s\n", label->Width(), label->Height(), label->Caption().c_str());
    if (bitmapFile) {
        TBitmap bmp;
        bmp.SetSize(label->Width(), label->Height());
        label->PaintTo(bmp.Canvas().Handle());
        bmp.SaveToFile(bitmapFile);
    }
    form->Show();
    DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (GetTickCount() < end) {
        app.ProcessMessages();
        Sleep(20);
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--show") == 0) return Show(std::atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
    TCountingLabel label(nullptr);
    label.SetCaption("00:00");
    label.SetDotMatrix(dos5x7);
    label.SetBorderSpace(5);
    label.SetNoOfChars(5);
    TBitmap target;
    target.SetSize(label.Width(), label.Height());
    TBitmap source;
    source.SetSize(label.Width(), label.Height());
    HDC dc = target.Canvas().Handle();

    const int n = 2000;
    char text[8];
    // Warm-up.
    for (int i = 0; i < 50; ++i) label.PaintTo(dc);

    double t0 = Now();
    for (int i = 0; i < n; ++i) BitBlt(dc, 0, 0, label.Width(), label.Height(), source.Canvas().Handle(), 0, 0, SRCCOPY);
    GdiFlush();
    double blit = (Now() - t0) / n * 1000.0;

    t0 = Now();
    for (int i = 0; i < n; ++i) {
        std::snprintf(text, sizeof text, "%02d:%02d", (i / 60) % 100, i % 60);
        label.SetCaption(text);  // no parent window: lays out only
        label.PaintTo(dc);
    }
    GdiFlush();
    double repaint = (Now() - t0) / n * 1000.0;

    int before = label.Paints;
    t0 = Now();
    for (int i = 0; i < n; ++i) label.SetCaption(text);
    double unchanged = (Now() - t0) / n * 1000.0;

    std::printf("lcd_bench: %d x %d label, %d runs\n", label.Width(), label.Height(), n);
    std::printf("baseline block copy     %8.4f ms\n", blit);
    std::printf("repaint of \"mm:ss\"      %8.4f ms  (target <= 0.5 ms)\n", repaint);
    std::printf("unchanged caption set   %8.4f ms, paints %d\n", unchanged, label.Paints - before);
    return repaint <= 0.5 && label.Paints == before ? 0 : 1;
}

// Cost of the round buttons: a full BuildImages of the recording window's 69 x 32 "Cancel" and "Stop", and
// one paint (five block transfers through the mask), against baselines measured in the same run: a plain
// FillRect of the same size and a single SRCCOPY block transfer of it.
#include <windows.h>

#include <cstdio>
#include <functional>

#include "controls/hemisphere/HemiShade.h"
#include "controls/hemisphere/Hemibtn.h"
#include "framework/Forms.h"

namespace {

double Now()
{
    static LARGE_INTEGER freq = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Milliseconds per call, best of five rounds of n calls.
double Measure(int n, const std::function<void()>& f)
{
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        double t0 = Now();
        for (int i = 0; i < n; ++i) f();
        double per = (Now() - t0) * 1000.0 / n;
        if (per < best) best = per;
    }
    return best;
}

THemisphereButton* Button(TForm* form, const char* caption, TColor face, TColor text)
{
    auto* b = new THemisphereButton(form);
    b->SetParent(form);
    b->SetFaceColor(face);
    b->SetBorderColor(face);
    TFont font;
    font.SetStyle(fsBold);
    font.SetColor(text);
    b->SetFont(font);
    b->SetCaption(caption);
    b->SetBounds(0, 0, 69, 32);
    return b;
}

}  // namespace

int main()
{
    TApplication app;
    TScreen screen;
    app.Initialize();
    auto* form = new TForm(nullptr);
    form->InitLayout();
    THemisphereButton* cancel = Button(form, "Cancel", clMaroon, clWhite);
    THemisphereButton* stop = Button(form, "Stop", clTeal, clBlack);

    TBitmap target;
    target.SetPixelFormat(pf32bit);
    target.SetSize(69, 32);
    TBitmap source;
    source.SetPixelFormat(pf32bit);
    source.SetSize(69, 32);
    HDC dc = target.Canvas().Handle();
    const TRect r = Rect(0, 0, 69, 32);

    const double fill = Measure(2000, [&] {
        target.Canvas().FillRect(r);
        GdiFlush();
    });
    const double blit = Measure(2000, [&] {
        target.Canvas().CopyRect(r, source.Canvas(), r, SRCCOPY);
        GdiFlush();
    });
    // Parts of a run: a working bitmap with its DC, the two per-pixel passes, one caption.
    const double create = Measure(200, [&] {
        TBitmap b;
        b.SetPixelFormat(pf32bit);
        b.SetSize(69, 32);
        b.Canvas().Handle();
    });
    hemi::TPixelImage ring(69, 32), fo(69, 32), fi(69, 32), m2(69, 32), mask(69, 32);
    const double ringPass = Measure(50, [&] {
        hemi::TPixelView v = ring.View();
        hemi::DrawRing(v, 1, 2, false);
    });
    hemi::TFaceSettings face;
    face.Width = 69;
    face.Height = 32;
    face.BevelWidth = 2;
    face.RingCount = 1;
    const double facePass = Measure(50, [&] {
        hemi::TPixelView o = fo.View(), i = fi.View(), m = m2.View(), k = mask.View();
        hemi::DrawFace(face, o, i, m, k);
    });
    const double text = Measure(200, [&] {
        target.Canvas().TextOut(10, 10, "Cancel");
        GdiFlush();
    });
    const double buildCancel = Measure(50, [&] { cancel->BuildImages(); });
    const double buildStop = Measure(50, [&] { stop->BuildImages(); });
    const double paintUp = Measure(500, [&] {
        stop->PaintTo(dc);
        GdiFlush();
    });
    stop->SetDown(true);
    const double paintDown = Measure(500, [&] {
        stop->PaintTo(dc);
        GdiFlush();
    });

    std::printf("baseline FillRect 69x32        %8.4f ms\n", fill);
    std::printf("baseline BitBlt SRCCOPY 69x32  %8.4f ms\n", blit);
    std::printf("  bitmap 69x32 with its DC     %8.4f ms\n", create);
    std::printf("  ring pass (pixels only)      %8.4f ms\n", ringPass);
    std::printf("  face pass (pixels only)      %8.4f ms\n", facePass);
    std::printf("  caption TextOut              %8.4f ms\n", text);
    std::printf("BuildImages Cancel 69x32       %8.4f ms  (%.0f x FillRect; target <= 2 ms)\n", buildCancel,
                buildCancel / fill);
    std::printf("BuildImages Stop 69x32         %8.4f ms  (%.0f x FillRect; target <= 2 ms)\n", buildStop,
                buildStop / fill);
    std::printf("Paint up (5 transfers)         %8.4f ms  (%.1f x one BitBlt)\n", paintUp, paintUp / blit);
    std::printf("Paint down (5 transfers)       %8.4f ms  (%.1f x one BitBlt)\n", paintDown, paintDown / blit);
    delete form;
    return 0;
}

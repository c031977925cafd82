// The GDI+ canvas: the wizard-like frame of Zyl.Canvas.Frame.h in both text
// layouts; the cost of one text run drawn with GDI's advances (positioned
// layout) against GDI+'s own layout (string layout); and the font cache:
// the canvas's own font again, a switch between two cached fonts, and a
// font made anew at every call (more distinct fonts than the cache holds,
// taken in turn). Run by hand under Wine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Bench.Timing.h"
#include "Zyl.Canvas.Frame.h"
#include "Zyl.Platform.GdiPlus.h"

using namespace Bench;
using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

constexpr int kRunsPerSample = 200;

// Microseconds per call of `call`, the median of 15 samples.
template <class Call>
double MicrosecondsPerCall(Call call) {
    return 1000.0 * Milliseconds(15, [&] {
               for (int i = 0; i < kRunsPerSample; ++i) call(i);
           }) / kRunsPerSample;
}

void TextRuns(TPlatformCanvas& canvas, TPlatformSurface& surface, const char* name, const std::u16string& text) {
    canvas.SetFont(u"Segoe UI", -12, 0, 0x202020);
    canvas.SetBackground(0xF0F0F0, true);
    for (const bool positioned : {true, false}) {
        GdipOptions.LayoutMode = positioned;
        const double us = MicrosecondsPerCall([&](int i) { canvas.TextOut(4, 4 + (i % 8) * 12, text); });
        std::printf("text run, %-8s (%3zu units) %-10s %8.2f us\n", name, text.size(),
                    positioned ? "positioned" : "string", us);
    }
    GdipOptions.LayoutMode = true;
    surface.FinishDrawing();
}

} // namespace

int main() {
    if (!StartGdiplusOnce()) {
        std::printf("GDI+ did not start: %s\n",
                    std::string(GetGdipLastError().begin(), GetGdipLastError().end()).c_str());
        return 1;
    }
    ReadGdipOptions();
    FramesOf("gdiplus frame, positioned text", MakeRef<TGdipSurface>(800, 600, false));
    GdipOptions.LayoutMode = false;
    FramesOf("gdiplus frame, string layout", MakeRef<TGdipSurface>(800, 600, false));
    GdipOptions.LayoutMode = true;

    const TRef<TGdipSurface> surface = MakeRef<TGdipSurface>(800, 120, false);
    const TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
    canvas->FillRect(0, 0, 800, 120, 0xF0F0F0);
    TextRuns(*canvas, *surface, "caption", u"arquivo 123 Opções.");
    TextRuns(*canvas, *surface, "line",
             u"Informações sobre a instalação: arquivos copiados para a pasta de destino, atalhos criados "
             u"no menu Iniciar e na área de trabalho.");

    int32_t w = 0, h = 0;
    canvas->SetFont(u"Segoe UI", -12, 0, 0);
    const double same = MicrosecondsPerCall([&](int) { canvas->TextExtent(u"x", w, h); });
    const double cached = MicrosecondsPerCall([&](int i) {
        canvas->SetFont(u"Segoe UI", i % 2 ? -12 : -13, 0, 0);
        canvas->TextExtent(u"x", w, h);
    });
    // 80 heights in turn: each was pushed out by the 64 made after it.
    const double made = MicrosecondsPerCall([&](int i) {
        canvas->SetFont(u"Segoe UI", -(20 + (i % 80)), 0, 0);
        canvas->TextExtent(u"x", w, h);
    });
    std::printf("font cache: same font %.2f us, switch between two cached %.2f us, made anew %.2f us\n", same,
                cached, made);
    return 0;
}

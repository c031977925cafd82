// The GDI canvas on a fixed 800 x 600 scene: milliseconds per full repaint
// and per whole-surface DrawSurfaceEx copy, with the process's GDI object
// count before and after (GetGuiResources; Wine answers 0 there, so the
// scene's own handles are also checked with GetObjectType afterwards).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "Zyl.Platform.Win.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

void PaintScene(TPlatformCanvas& Canvas) {
    Canvas.FillRect(0, 0, 800, 600, 0xF0F0F0);
    for (int i = 0; i < 200; ++i) {
        const int x = (i * 37) % 760, y = (i * 53) % 560;
        Canvas.SetPen(i * 0x010203 & 0xFFFFFF, 1 + i % 3, i % 5);
        Canvas.SetBrush(i * 0x030201 & 0xFFFFFF, i % 8);
        Canvas.Rectangle(x, y, x + 40, y + 30);
    }
    for (int i = 0; i < 50; ++i) Canvas.Ellipse(i * 15, 300, i * 15 + 60, 360);
    Canvas.SetFont(u"Tahoma", -13, 0, 0x202020);
    Canvas.SetBackground(0xFFFFFF, true);
    for (int line = 0; line < 30; ++line)
        Canvas.TextOut(10, 10 + line * 18, u"Ostrel Dax: instalando os arquivos do catalogo");
    const TPlatformPoint star[5] = {{400, 380}, {460, 580}, {310, 455}, {490, 455}, {340, 580}};
    Canvas.Polygon(star, 5, 4, true);
}

template <class Fn>
double MillisecondsPer(int Rounds, Fn&& Round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Rounds; ++i) Round();
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / Rounds;
}

DWORD GdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

} // namespace

int main() {
    const DWORD before = GdiObjects();
    HGDIOBJ lastPen = nullptr;
    double repaint = 0, copy = 0;
    {
        TRef<TWinSurface> scene = MakeRef<TWinSurface>(800, 600, false);
        TRef<TWinSurface> window = MakeRef<TWinSurface>(800, 600, false);
        {
            TRef<TPlatformCanvas> canvas = scene->CreateCanvas();
            repaint = MillisecondsPer(50, [&] { PaintScene(*canvas); });
            lastPen = static_cast<TWinCanvas*>(canvas.Get())->CurrentPen();
        }
        TRef<TPlatformCanvas> target = window->CreateCanvas();
        copy = MillisecondsPer(200, [&] {
            target->DrawSurfaceEx(scene.Get(), 0, 0, 800, 600, 0, 0, 800, 600, RopSourceCopy, 255, false);
        });
    }
    const DWORD after = GdiObjects();
    std::printf("repaint 800x600 scene: %.3f ms\n", repaint);
    std::printf("DrawSurfaceEx copy 800x600: %.3f ms\n", copy);
    std::printf("GDI objects (GetGuiResources): before %lu, after %lu\n", before, after);
    std::printf("last pen of the scene after its canvas went: %s\n",
                GetObjectType(lastPen) ? "still alive (leak)" : "deleted");
    return 0;
}

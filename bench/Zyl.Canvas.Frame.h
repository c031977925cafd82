// The frame the canvas benchmarks draw, like one of the wizard's: an
// 800 x 600 background, a steps panel of eight bullets and captions, and
// 200 short captions; and how they report frames per second.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.h"

namespace Bench {

inline const char16_t* const Steps[8] = {u"Boas-vindas", u"Informações", u"Licença", u"Destino",
                                         u"Opções",      u"Resumo",      u"Instalação", u"Conclusão"};

// `round` makes the captions of this frame differ from every earlier one;
// a negative round repeats the same captions.
inline void PaintFrame(Zyl::TPlatformCanvas& canvas, Zyl::TPlatformSurface& surface, int round,
                       int captions = 200) {
    canvas.FillRect(0, 0, 800, 600, 0xF0F0F0);
    canvas.FillRect(0, 0, 180, 600, 0x402818);
    canvas.SetFont(u"Segoe UI", -12, 0, 0xFFFFFF);
    canvas.SetBackground(0x402818, true);
    for (int i = 0; i < 8; ++i) {
        canvas.SetPen(0xFFFFFF, 1, 0);
        canvas.SetBrush(i < 3 ? 0x50C878 : 0x402818, 0);
        canvas.Ellipse(16, 40 + i * 32, 28, 52 + i * 32);
        canvas.TextOut(40, 38 + i * 32, Steps[i]);
    }
    canvas.SetFont(u"Segoe UI", -12, 0, 0x202020);
    canvas.SetBackground(0xF0F0F0, true);
    const std::u16string suffix = round < 0 ? u"" : u" " + System::Int64ToStr(round);
    for (int i = 0; i < captions; ++i)
        canvas.TextOut(200 + (i % 4) * 150, 10 + (i / 4) * 11, u"arquivo " + System::Int64ToStr(i) + suffix);
    surface.FinishDrawing();
}

// Mean milliseconds of one round over `rounds` rounds.
inline double MillisecondsPer(int rounds, const std::function<void(int)>& round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) round(i);
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / rounds;
}

inline void ReportFrame(const char* what, double ms) {
    std::printf("%-44s %8.3f ms  %7.1f fps\n", what, ms, 1000.0 / ms);
}

// 30 frames with the same captions on a canvas of the surface, after one.
inline void FramesOf(const char* name, const System::TRef<Zyl::TPlatformSurface>& surface) {
    const System::TRef<Zyl::TPlatformCanvas> canvas = surface->CreateCanvas();
    PaintFrame(*canvas, *surface, -1);
    ReportFrame(name, MillisecondsPer(30, [&](int) { PaintFrame(*canvas, *surface, -1); }));
}

} // namespace Bench

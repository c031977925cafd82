// The Direct2D canvas against the GDI and soft canvases on one frame like
// the wizard's: an 800 x 600 background, a steps panel of eight bullets and
// captions, and 200 short captions. Frames per second per backend; for
// Direct2D also the layout cache (the same captions every frame against
// captions never seen before) and the cost of carrying pixels written into
// memory over to Wine's render target before the next batch. Run under an X
// display (xvfb-run): Wine's Direct2D needs one.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

const char16_t* const Steps[8] = {u"Boas-vindas", u"Informações", u"Licença", u"Destino",
                                  u"Opções",      u"Resumo",      u"Instalação", u"Conclusão"};

// `round` makes the captions of this frame differ from every earlier one.
void PaintFrame(TPlatformCanvas& canvas, TPlatformSurface& surface, int round, int captions = 200) {
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

double MillisecondsPer(int rounds, const std::function<void(int)>& round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) round(i);
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / rounds;
}

void Report(const char* what, double ms) { std::printf("%-44s %8.3f ms  %7.1f fps\n", what, ms, 1000.0 / ms); }

void FramesOf(const char* name, TRef<TPlatformSurface> surface) {
    const TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
    PaintFrame(*canvas, *surface, -1);
    Report(name, MillisecondsPer(30, [&](int) { PaintFrame(*canvas, *surface, -1); }));
}

} // namespace

int main() {
    FramesOf("gdi frame", MakeRef<TWinSurface>(800, 600, false));
    FramesOf("soft frame", MakeRef<TSoftSurface>(800, 600, false));
    if (!StartD2DOnce()) {
        std::printf("d2d did not start: %s\n",
                    std::string(GetD2DLastError().begin(), GetD2DLastError().end()).c_str());
        return 1;
    }
    const TRef<TD2DSurface> surface = MakeRef<TD2DSurface>(800, 600, false);
    const TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
    PaintFrame(*canvas, *surface, -1);
    Report("d2d frame, captions from the layout cache", MillisecondsPer(30, [&](int) {
               PaintFrame(*canvas, *surface, -1);
           }));
    Report("d2d frame without the 200 captions", MillisecondsPer(30, [&](int) {
               PaintFrame(*canvas, *surface, -1, 0);
           }));
    Report("d2d frame, captions laid out anew", MillisecondsPer(30, [&](int round) {
               PaintFrame(*canvas, *surface, round);
           }));
    // One pixel written through Bits before each frame: the next batch first
    // copies the whole memory into the target.
    const double carried = MillisecondsPer(30, [&](int) {
        surface->Bits()[0] ^= 1;
        PaintFrame(*canvas, *surface, -1);
    });
    Report("d2d frame after a write into memory", carried);
    const double bare = MillisecondsPer(30, [&](int) {
        canvas->FillRect(0, 0, 1, 1, 0);
        surface->FinishDrawing();
    });
    const double carriedBare = MillisecondsPer(30, [&](int) {
        surface->Bits()[0] ^= 1;
        canvas->FillRect(0, 0, 1, 1, 0);
        surface->FinishDrawing();
    });
    std::printf("carrying 800x600 memory into the target: %.3f ms per batch (%.3f against %.3f)\n",
                carriedBare - bare, carriedBare, bare);
    return 0;
}

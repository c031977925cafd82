// The Direct2D canvas against the GDI and soft canvases on the wizard-like
// frame of Zyl.Canvas.Frame.h. Frames per second per backend; for
// Direct2D also the layout cache (the same captions every frame against
// captions never seen before) and the cost of carrying pixels written into
// memory over to Wine's render target before the next batch. Run under an X
// display (xvfb-run): Wine's Direct2D needs one.
#include <windows.h>

#include <cstdio>
#include <string>

#include "Zyl.Canvas.Frame.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"

using namespace Bench;
using namespace Zyl;
using System::MakeRef;
using System::TRef;

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
    ReportFrame("d2d frame, captions from the layout cache", MillisecondsPer(30, [&](int) {
               PaintFrame(*canvas, *surface, -1);
           }));
    ReportFrame("d2d frame without the 200 captions", MillisecondsPer(30, [&](int) {
               PaintFrame(*canvas, *surface, -1, 0);
           }));
    ReportFrame("d2d frame, captions laid out anew", MillisecondsPer(30, [&](int round) {
               PaintFrame(*canvas, *surface, round);
           }));
    // One pixel written through Bits before each frame: the next batch first
    // copies the whole memory into the target.
    const double carried = MillisecondsPer(30, [&](int) {
        surface->Bits()[0] ^= 1;
        PaintFrame(*canvas, *surface, -1);
    });
    ReportFrame("d2d frame after a write into memory", carried);
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

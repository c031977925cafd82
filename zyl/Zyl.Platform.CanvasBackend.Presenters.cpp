#include <algorithm>

#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"

namespace Zyl {

namespace {

struct TPresenters {
    TRef<TSurfacePresenter> Gdi;
    TRef<TSurfacePresenter> X11;
    TRef<TSurfacePresenter> Wayland;
    TRef<TSurfacePresenter> Current;
};

TPresenters& Presenters() {
    static TPresenters presenters;
    return presenters;
}

// Makes the kind's one instance on the first call, then makes it current.
template <class Make>
void MakeCurrent(TRef<TSurfacePresenter>& instance, Make make) {
    if (!instance) instance = make();
    Presenters().Current = instance;
}

} // namespace

void RegisterCanvasPresenters() {
    RegisterCanvasBackend(u"gdi-present",
                          u"Apresentador explicito do GDI (SetDIBitsToDevice, o caminho de sempre da casca do "
                          u"Windows); na escolha escreve-se soft+gdi",
                          CanvasKindPresenter, CanvasPlatformWindows, 0x300, 10, GdiPresenterAvailable, nullptr,
                          CreateGdiPresenter);
    RegisterCanvasBackend(u"x11",
                          u"Apresentacao pela casca X11 (PutImage / MIT-SHM); a casca do Linux escolhe sozinha",
                          CanvasKindPresenter, CanvasPlatformLinux, 0x200, 10, HasX11Display, nullptr,
                          CreateX11Presenter);
    RegisterCanvasBackend(u"wayland",
                          u"Apresentacao pela casca Wayland (buffer compartilhado); a casca do Linux escolhe sozinha",
                          CanvasKindPresenter, CanvasPlatformLinux, 0x200, 11, HasWaylandDisplay, nullptr,
                          CreateWaylandPresenter);
}

bool GdiPresenterAvailable() {
    return true;
}

void CreateGdiPresenter() {
    MakeCurrent(Presenters().Gdi, [] { return System::MakeRef<TGdiPresenter>(); });
}

void CreateX11Presenter() {
    MakeCurrent(Presenters().X11, [] { return System::MakeRef<TShellNamedPresenter>(u"x11"); });
}

void CreateWaylandPresenter() {
    MakeCurrent(Presenters().Wayland, [] { return System::MakeRef<TShellNamedPresenter>(u"wayland"); });
}

TRef<TSurfacePresenter> GetCurrentPresenter() {
    return Presenters().Current;
}

void ResetCanvasPresenters() {
    Presenters() = TPresenters();
}

bool PresentNoGdiRequested() {
    return System::Trim(ReadEnvVar(u"ZYL_PRESENT_NOGDI")) == u"1";
}

bool HasX11Display() {
    return !ReadEnvVar(u"DISPLAY").empty();
}

bool HasWaylandDisplay() {
    return !ReadEnvVar(u"WAYLAND_DISPLAY").empty();
}

bool PlanGdiBlit(TPlatformSurface* Surface, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom,
                 TGdiBlitPlan& Plan) {
    if (!Surface) return false;
    const uint8_t* bits = Surface->Bits();
    if (!bits) return false;
    if (GetCurrentPresenter() && PresentNoGdiRequested()) return false;
    const int32_t left = std::max(Left, 0);
    const int32_t top = std::max(Top, 0);
    const int32_t right = std::min(Right, Surface->Width());
    const int32_t bottom = std::min(Bottom, Surface->Height());
    // Compared, not subtracted: the edges may lie anywhere in int32.
    if (right <= left || bottom <= top) return false;
    const int32_t stride = Surface->Stride();
    Plan.DestLeft = left;
    Plan.DestTop = top;
    Plan.Width = right - left;
    Plan.Height = bottom - top;
    Plan.SourceX = left;
    Plan.HeaderWidth = stride / 4;
    Plan.Pixels = bits + ptrdiff_t(top) * ptrdiff_t(stride);
    return true;
}

} // namespace Zyl

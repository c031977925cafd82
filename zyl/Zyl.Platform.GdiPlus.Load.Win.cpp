// Availability, loading, binding and the one start of GDI+.
#include <windows.h>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.GdiPlus.Reset.h"
#include "Zyl.Platform.GdiPlus.h"

namespace Zyl {

TGdipApi Gdip;
TGdipLoadSeams GdipLoadSeams;
float GdipThinPenShift = 0;

namespace {

struct TLoadState {
    bool UsableDecided = false;
    bool Usable = false;
    bool StartTried = false;
    bool Started = false;
    std::u16string LastError;
};

TLoadState LoadState;
// Handed out by GdiplusStartup and never given back: GDI+ stays started
// until the process ends.
uintptr_t GdiplusToken = 0;

// A value of 1 to 30 characters other than exactly "0" declares GDI+
// missing; a longer one does not fit the buffer and counts as unset.
bool GdiplusDeclaredMissing() {
    wchar_t value[31];
    const DWORD length = GetEnvironmentVariableW(L"ZYL_GDIPLUS_MISSING", value, 31);
    if (length < 1 || length > 30) return false;
    return !(length == 1 && value[0] == L'0');
}

// The system folder's gdiplus.dll; empty when the folder is not known.
std::u16string GdiplusDllPath() {
    wchar_t folder[520];
    const UINT length = GetSystemDirectoryW(folder, 520);
    if (length < 1 || length > 519) return {};
    return System::FromWStr(folder) + u"\\gdiplus.dll";
}

bool Fail(std::u16string message) {
    LoadState.LastError = std::move(message);
    return false;
}

std::u16string StatusText(TGpStatus status) { return System::Int64ToStr(status); }

template <class Fn>
bool BindEntry(HMODULE module, const char* name, Fn& slot) {
    if (GdipLoadSeams.HiddenEntry == name) return false;
    slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
}

bool FailMissingEntry(const char* name) {
    const std::u16string text =
        System::Latin1ToString(reinterpret_cast<const uint8_t*>(name), ptrdiff_t(std::char_traits<char>::length(name)));
    return Fail(u"funcao " + text + u" nao encontrada");
}

// Fills a 4 x 4 bitmap over our own memory with opaque red and checks that
// the first pixel reads as premultiplied BGRA red: GDI+ draws into memory as
// the backend expects.
bool ProveDrawing() {
    uint32_t pixels[16] = {};
    TGdipImage bitmap;
    const TGpStatus status = Gdip.GdipCreateBitmapFromScan0(4, 4, 16, GpPixelFormat32bppPArgb,
                                                            reinterpret_cast<uint8_t*>(pixels), bitmap.Out());
    if (status != 0 || !bitmap.Get()) return Fail(u"GdipCreateBitmapFromScan0 falhou (" + StatusText(status) + u")");
    {
        TGdipGraphics graphics;
        TGdipBrush brush;
        Gdip.GdipGetImageGraphicsContext(bitmap.Get(), graphics.Out());
        Gdip.GdipCreateSolidFill(GdipLoadSeams.ProofArgb, brush.Out());
        if (!graphics.Get() || !brush.Get()) return Fail(u"GdipGetImageGraphicsContext/CreateSolidFill falhou");
        Gdip.GdipFillRectangle(graphics.Get(), brush.Get(), 0.0f, 0.0f, 4.0f, 4.0f);
        Gdip.GdipFlush(graphics.Get(), GpFlushIntentionSync);
    }
    bitmap.Reset();
    if (pixels[0] != 0xFFFF0000u) return Fail(u"o desenho de teste nao deixou o pixel esperado");
    return true;
}

// Draws a one-pixel line through the middle of row 1 of a 4 x 4 bitmap, set
// up as the surfaces are, and sets GdipThinPenShift from the row it lands on.
void MeasureThinPen() {
    GdipThinPenShift = 0;
    uint32_t pixels[16] = {};
    TGdipImage bitmap;
    Gdip.GdipCreateBitmapFromScan0(4, 4, 16, GpPixelFormat32bppPArgb, reinterpret_cast<uint8_t*>(pixels),
                                   bitmap.Out());
    if (!bitmap.Get()) return;
    {
        TGdipGraphics graphics;
        TGdipPen pen;
        Gdip.GdipGetImageGraphicsContext(bitmap.Get(), graphics.Out());
        Gdip.GdipCreatePen1(0xFFFF0000u, 1.0f, 2, pen.Out());
        if (!graphics.Get() || !pen.Get()) return;
        Gdip.GdipSetSmoothingMode(graphics.Get(), 3);
        Gdip.GdipSetPixelOffsetMode(graphics.Get(), 4);
        Gdip.GdipDrawLine(graphics.Get(), pen.Get(), 0.5f, 1.5f, 3.5f, 1.5f);
        Gdip.GdipFlush(graphics.Get(), GpFlushIntentionSync);
    }
    bitmap.Reset();
    if (pixels[4 + 1] != 0xFFFF0000u && pixels[8 + 1] == 0xFFFF0000u) GdipThinPenShift = -0.5f;
}

} // namespace

bool GdiplusDllPresent() {
    const std::u16string path = GdiplusDllPath();
    return !path.empty() && GetFileAttributesW(System::WStr(path)) != INVALID_FILE_ATTRIBUTES;
}

bool GdipUsable() {
    if (!LoadState.UsableDecided) {
        LoadState.Usable = !GdiplusDeclaredMissing() && GdiplusDllPresent();
        LoadState.UsableDecided = true;
    }
    return LoadState.Usable;
}

bool GdipBackendAvailable() { return GdipUsable(); }

bool LoadGdiplus() {
    if (!GdipUsable()) return Fail(u"gdiplus.dll ausente");
    // By its full path in the system folder: a bare name would search the
    // executable's folder first, and the installer runs elevated from
    // download folders.
    const HMODULE module = LoadLibraryW(System::WStr(GdiplusDllPath()));
    if (!module) return Fail(u"LoadLibrary de gdiplus.dll falhou");
#define ZYL_GDIP_BIND(name, result, parameters) \
    if (!BindEntry(module, #name, Gdip.name)) return FailMissingEntry(#name);
    ZYL_GDIP_ENTRY_POINTS(ZYL_GDIP_BIND)
#undef ZYL_GDIP_BIND
    const TGdiplusStartupInput input;
    const TGpStatus status = Gdip.GdiplusStartup(&GdiplusToken, &input, nullptr);
    if (status != 0) return Fail(u"GdiplusStartup falhou (" + StatusText(status) + u")");
    if (!ProveDrawing()) return false;
    MeasureThinPen();
    return true;
}

bool StartGdiplusOnce() {
    if (!LoadState.StartTried) {
        LoadState.StartTried = true;
        try {
            LoadState.Started = LoadGdiplus();
        } catch (const System::Exception& e) {
            LoadState.Started = false;
            LoadState.LastError = e.Message;
        }
    }
    return LoadState.Started;
}

std::u16string GetGdipLastError() { return LoadState.LastError; }

void ResetGdipLoadState() {
    LoadState = TLoadState{};
    GdipLoadSeams = TGdipLoadSeams{};
}

} // namespace Zyl

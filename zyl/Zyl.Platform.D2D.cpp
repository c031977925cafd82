// The "d2d" backend's start: availability, loading, the three factories
// proved by a test drawing, and its platform services.
#include <windows.h>

#include "Zyl.Platform.D2D.h"

#include <cstring>

#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Png.h"

namespace Zyl {

using System::MakeRef;

namespace {

using TD2D1CreateFactory = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*, void**);
using TDWriteCreateFactory = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

// Everything lives until the process ends: a start is tried once and never
// undone, so the factories outlast every surface and canvas.
struct TD2DState {
    bool UsableDecided = false;
    bool Usable = false;
    bool StartTried = false;
    bool Started = false;
    std::u16string LastError;
    TComPtr<ID2D1Factory> Factory;
    TComPtr<IDWriteFactory> WriteFactory;
    TComPtr<IWICImagingFactory> WicFactory;
    TComPtr<IWICBitmap> TestBitmap;
    TComPtr<ID2D1RenderTarget> SharedTarget;
};

TD2DState& State() {
    static TD2DState* state = new TD2DState;
    return *state;
}

GUID Guid(const char16_t* text) {
    const System::TGuid parsed = System::StringToGuid(text);
    GUID result;
    static_assert(sizeof(result) == sizeof(parsed));
    std::memcpy(&result, &parsed, sizeof(result));
    return result;
}

// Failure texts end the start with a message and no exception.
struct TStartFailure {
    std::u16string Message;
};

[[noreturn]] void Fail(std::u16string message) { throw TStartFailure{std::move(message)}; }

void CheckMade(HRESULT hr, bool made, const std::u16string& prefix) {
    if (hr != S_OK || !made) Fail(prefix + u" (" + HResultText(hr) + u")");
}

void LoadLibraries(TD2D1CreateFactory& createD2D, TDWriteCreateFactory& createDWrite) {
    // From the system folder only: the installer runs elevated out of
    // download folders, where a planted d2d1.dll would otherwise be found.
    HMODULE d2d = nullptr, dwrite = nullptr;
    try {
        d2d = System::SystemLibrary(u"d2d1.dll");
    } catch (const System::EOsError&) {
    }
    try {
        dwrite = System::SystemLibrary(u"dwrite.dll");
    } catch (const System::EOsError&) {
    }
    if (!d2d || !dwrite) Fail(u"LoadLibrary de d2d1.dll/dwrite.dll falhou");
    createD2D = reinterpret_cast<TD2D1CreateFactory>(
        reinterpret_cast<void*>(GetProcAddress(d2d, "D2D1CreateFactory")));
    createDWrite = reinterpret_cast<TDWriteCreateFactory>(
        reinterpret_cast<void*>(GetProcAddress(dwrite, "DWriteCreateFactory")));
    if (!createD2D || !createDWrite) Fail(u"D2D1CreateFactory/DWriteCreateFactory nao encontradas");
}

void MakeFactories(TD2DState& s) {
    TD2D1CreateFactory createD2D;
    TDWriteCreateFactory createDWrite;
    LoadLibraries(createD2D, createDWrite);
    HRESULT hr = createD2D(D2D1_FACTORY_TYPE_SINGLE_THREADED, Guid(u"{06152247-6f50-465a-9245-118bfd3b6007}"),
                           nullptr, s.Factory.OutVoid());
    CheckMade(hr, bool(s.Factory), u"D2D1CreateFactory falhou");
    hr = createDWrite(DWRITE_FACTORY_TYPE_SHARED, Guid(u"{b859ee5a-d838-4b5b-a2e8-1adc7d93db48}"),
                      reinterpret_cast<IUnknown**>(s.WriteFactory.Out()));
    CheckMade(hr, bool(s.WriteFactory), u"DWriteCreateFactory falhou");
    static System::TLazyProc<decltype(&::CoCreateInstance)> coCreateInstance(u"ole32.dll", "CoCreateInstance");
    hr = coCreateInstance()(Guid(u"{CACAF262-9370-4615-A13B-9F5539DA4C0A}"), nullptr, CLSCTX_INPROC_SERVER,
                            Guid(u"{EC5EC8A9-C395-4314-9C77-54D7A935FF70}"), s.WicFactory.OutVoid());
    CheckMade(hr, bool(s.WicFactory), u"WIC indisponivel");
}

// One opaque red pixel drawn and read back proves the whole chain.
void TestDrawing(TD2DState& s) {
    HRESULT hr = s.WicFactory->CreateBitmap(1, 1, WicPixelFormat(true), WICBitmapCacheOnLoad, s.TestBitmap.Out());
    CheckMade(hr, bool(s.TestBitmap), u"IWICImagingFactory.CreateBitmap falhou");
    hr = s.Factory->CreateWicBitmapRenderTarget(s.TestBitmap.Get(), RenderTargetProperties(true),
                                                s.SharedTarget.Out());
    CheckMade(hr, bool(s.SharedTarget), u"CreateWicBitmapRenderTarget falhou");
    TComPtr<ID2D1SolidColorBrush> brush;
    const D2D1_COLOR_F red = D2D1::ColorF(1.0f, 0.0f, 0.0f, 1.0f);
    s.SharedTarget->CreateSolidColorBrush(&red, nullptr, brush.Out());
    if (!brush) Fail(u"CreateSolidColorBrush falhou");
    s.SharedTarget->BeginDraw();
    s.SharedTarget->FillRectangle(D2D1::RectF(0.0f, 0.0f, 1.0f, 1.0f), brush.Get());
    hr = s.SharedTarget->EndDraw(nullptr, nullptr);
    if (hr != S_OK) Fail(u"EndDraw do teste falhou (" + HResultText(hr) + u")");
    const WICRect whole{0, 0, 1, 1};
    TComPtr<IWICBitmapLock> lock;
    s.TestBitmap->Lock(&whole, WICBitmapLockRead, lock.Out());
    if (!lock) Fail(u"Lock do bitmap WIC falhou");
    UINT size = 0;
    BYTE* data = nullptr;
    lock->GetDataPointer(&size, &data);
    uint32_t pixel = 0;
    if (data && size >= 4) std::memcpy(&pixel, data, 4);
    if (pixel != 0xFFFF0000u) Fail(u"o desenho de teste nao deixou o pixel esperado");
}

} // namespace

REFWICPixelFormatGUID WicPixelFormat(bool hasAlpha) {
    static const GUID pbgra = Guid(u"{6fddc324-4e03-4bfe-b185-3d77768dc910}");
    static const GUID bgr = Guid(u"{6fddc324-4e03-4bfe-b185-3d77768dc90e}");
    return hasAlpha ? pbgra : bgr;
}

D2D1_RENDER_TARGET_PROPERTIES RenderTargetProperties(bool hasAlpha) {
    D2D1_RENDER_TARGET_PROPERTIES p{};
    p.type = D2D1_RENDER_TARGET_TYPE_SOFTWARE;
    p.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    p.pixelFormat.alphaMode = hasAlpha ? D2D1_ALPHA_MODE_PREMULTIPLIED : D2D1_ALPHA_MODE_IGNORE;
    p.dpiX = 96.0f;
    p.dpiY = 96.0f;
    return p;
}

bool D2DDllPresent(const std::u16string& name) {
    wchar_t folder[520] = {};
    const UINT length = GetSystemDirectoryW(folder, 519);
    if (length < 1 || length > 519) return false;
    const std::u16string path = System::FromWStr(folder) + u"\\" + name;
    return GetFileAttributesW(System::WStr(path)) != INVALID_FILE_ATTRIBUTES;
}

bool D2DUsable() {
    TD2DState& s = State();
    if (s.UsableDecided) return s.Usable;
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZYL_D2D_MISSING", value, 31);
    // Exactly "0" counts as unset; a value too long for the buffer as well.
    const bool declaredMissing = length >= 1 && length <= 31 && !(length == 1 && value[0] == L'0');
    s.Usable = !declaredMissing && D2DDllPresent(u"d2d1.dll") && D2DDllPresent(u"dwrite.dll") &&
               D2DDllPresent(u"windowscodecs.dll");
    s.UsableDecided = true;
    return s.Usable;
}

bool D2DBackendAvailable() { return D2DUsable(); }

bool D2DAutoChoiceAllowed() { return false; }

bool LoadD2D() {
    TD2DState& s = State();
    try {
        if (!D2DUsable()) Fail(u"d2d1.dll, dwrite.dll ou windowscodecs.dll ausentes");
        static System::TLazyProc<decltype(&::CoInitializeEx)> coInitializeEx(u"ole32.dll", "CoInitializeEx");
        coInitializeEx()(nullptr, COINIT_APARTMENTTHREADED);
        MakeFactories(s);
        TestDrawing(s);
        return true;
    } catch (const TStartFailure& failure) {
        s.LastError = failure.Message;
        return false;
    }
}

bool StartD2DOnce() {
    TD2DState& s = State();
    if (s.StartTried) return s.Started;
    s.StartTried = true;
    s.Started = false;
    try {
        s.Started = LoadD2D();
    } catch (const System::Exception& e) {
        s.LastError = e.Message;
    }
    return s.Started;
}

std::u16string GetD2DLastError() { return State().LastError; }

TComPtr<IWICImagingFactory> GetWicFactory() {
    return StartD2DOnce() ? State().WicFactory : TComPtr<IWICImagingFactory>();
}

TComPtr<ID2D1RenderTarget> GetD2DSharedTarget() {
    return StartD2DOnce() ? State().SharedTarget : TComPtr<ID2D1RenderTarget>();
}

TComPtr<ID2D1Factory> GetD2DFactory() { return StartD2DOnce() ? State().Factory : TComPtr<ID2D1Factory>(); }

TComPtr<IDWriteFactory> GetDWriteFactory() {
    return StartD2DOnce() ? State().WriteFactory : TComPtr<IDWriteFactory>();
}

void CreateD2DServices() {
    if (CurrentPlatformServices() || !StartD2DOnce()) return;
    SetCurrentPlatformServices(MakeRef<TD2DServices>());
}

void RegisterD2DCanvasBackend() {
    RegisterCanvasBackend(u"d2d",
                          u"Direct2D + DirectWrite (bitmap WIC; texto ClearType do sistema; formas sem antialias)",
                          CanvasKindBackend, CanvasPlatformWindows, 0x9E, 40, D2DBackendAvailable,
                          D2DAutoChoiceAllowed, CreateD2DServices);
}

// ---- Services ----------------------------------------------------------------

TRef<TPlatformSurface> TD2DServices::CreateSurface(int32_t width, int32_t height, bool hasAlpha) {
    return MakeRef<TD2DSurface>(width, height, hasAlpha);
}

TRef<TPlatformSurface> TD2DServices::LoadPngFile(const std::u16string& fileName) {
    return Zyl::LoadPngFile(fileName, *this);
}

TRef<TPlatformSurface> TD2DServices::LoadPngMemory(const uint8_t* data, int32_t size) {
    return DecodePng(data, size, *this);
}

System::TBytes TD2DServices::SavePngMemory(TPlatformSurface* surface) { return EncodePng(surface); }

int32_t TD2DServices::ScreenDpi() {
    static System::TLazyProc<decltype(&::GetDC)> getDC(u"user32.dll", "GetDC");
    static System::TLazyProc<decltype(&::ReleaseDC)> releaseDC(u"user32.dll", "ReleaseDC");
    static System::TLazyProc<decltype(&::GetDeviceCaps)> getDeviceCaps(u"gdi32.dll", "GetDeviceCaps");
    HDC screen = getDC()(nullptr);
    const int32_t dpi = screen ? getDeviceCaps()(screen, LOGPIXELSY) : 0;
    if (screen) releaseDC()(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

} // namespace Zyl

// The system calls of the canvas-backend unit: the environment and the GDI
// copy of a frame.
#include <windows.h>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.CanvasBackend.h"

namespace Zyl {

std::u16string ReadEnvVar(const std::u16string& Name) {
    // Values of 1 to 1022 units come through; the call returns the needed
    // size (1023 or more) for a longer one, which counts as not set.
    constexpr DWORD kBufferUnits = 1023;
    wchar_t buffer[kBufferUnits];
    const DWORD length = GetEnvironmentVariableW(System::WStr(Name), buffer, kBufferUnits);
    if (length < 1 || length >= kBufferUnits) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), length);
}

void BlitSurfaceWithGdi(void* DC, TPlatformSurface* Surface, int32_t Left, int32_t Top, int32_t Right,
                        int32_t Bottom) {
    TGdiBlitPlan plan;
    if (!PlanGdiBlit(Surface, Left, Top, Right, Bottom, plan)) return;
    // A BITMAPINFOHEADER and one colour entry, cleared.
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = plan.HeaderWidth;
    header.bmiHeader.biHeight = -plan.Height;  // rows from the top
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    static System::TLazyProc<decltype(&::SetDIBitsToDevice)> setDIBitsToDevice(u"gdi32.dll", "SetDIBitsToDevice");
    setDIBitsToDevice()(static_cast<HDC>(DC), plan.DestLeft, plan.DestTop, DWORD(plan.Width), DWORD(plan.Height),
                        plan.SourceX, 0, 0, UINT(plan.Height), plan.Pixels, &header, DIB_RGB_COLORS);
}

} // namespace Zyl

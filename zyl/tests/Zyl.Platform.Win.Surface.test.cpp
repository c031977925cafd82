#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

void WritePixel(TPlatformSurface& Surface, int32_t X, int32_t Y, uint32_t Pixel) {
    std::memcpy(Surface.Bits() + int64_t(Y) * Surface.Stride() + int64_t(X) * 4, &Pixel, 4);
}

// A folder of the test's own under the temporary folder, removed with its
// files afterwards.
class TTestFolder {
public:
    explicit TTestFolder(const std::u16string& Name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = System::FromWStr(temp) + Name;
        CreateDirectoryW(System::WStr(path_), nullptr);
    }
    ~TTestFolder() {
        for (const std::u16string& file : files_) DeleteFileW(System::WStr(file));
        RemoveDirectoryW(System::WStr(path_));
    }
    const std::u16string& Path() const { return path_; }
    std::u16string File(const std::u16string& Name) {
        files_.push_back(path_ + u"\\" + Name);
        return files_.back();
    }
    std::u16string Write(const std::u16string& Name, const void* Data, DWORD Size) {
        const std::u16string name = File(Name);
        HANDLE h = CreateFileW(System::WStr(name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, Data, Size, &written, nullptr);
        CloseHandle(h);
        return name;
    }

private:
    std::u16string path_;
    std::vector<std::u16string> files_;
};

} // namespace

TEST(WinSurface, NewSurfacesAreTransparentBlackOfAtLeastOnePixel) {
    TRef<TWinSurface> tiny = MakeRef<TWinSurface>(0, -5, true);
    EXPECT_EQ(tiny->Width(), 1);
    EXPECT_EQ(tiny->Height(), 1);
    EXPECT_EQ(tiny->PixelAt(0, 0), 0);
    for (bool alpha : {true, false}) {
        TRef<TWinSurface> s = MakeRef<TWinSurface>(7, 5, alpha);
        EXPECT_EQ(s->Stride(), 28);
        EXPECT_NE(s->NativeHandle(), nullptr);
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 7; ++x) ASSERT_EQ(s->PixelAt(x, y), 0);
        EXPECT_EQ(s->AlphaAt(3, 3), alpha ? 0 : 255);
    }
}

TEST(WinSurface, PixelAtUnpremultipliesOnlySurfacesWithAlpha) {
    struct TCase {
        bool Alpha;
        uint32_t Pixel;  // 0xAARRGGBB
        int32_t Color;   // red in the low byte
    };
    const TCase cases[] = {
        {true, 0x8064140A, 0x1428C7},  {false, 0x8064140A, 0x0A1464}, {true, 0xFF102030, 0x302010},
        {true, 0x00102030, 0x302010},  {true, 0x01FFFFFF, 0xFFFFFF},
    };
    for (const TCase& c : cases) {
        TRef<TWinSurface> s = MakeRef<TWinSurface>(3, 2, c.Alpha);
        WritePixel(*s, 2, 1, c.Pixel);
        EXPECT_EQ(s->PixelAt(2, 1), c.Color) << std::hex << c.Pixel;
        EXPECT_EQ(s->AlphaAt(2, 1), c.Alpha ? int32_t(c.Pixel >> 24) : 255);
    }
    TRef<TWinSurface> s = MakeRef<TWinSurface>(3, 2, true);
    WritePixel(*s, 0, 0, 0xFFFFFFFF);
    EXPECT_EQ(s->PixelAt(-1, 0), 0);
    EXPECT_EQ(s->PixelAt(3, 0), 0);
    EXPECT_EQ(s->PixelAt(0, 2), 0);
    EXPECT_EQ(s->AlphaAt(0, 2), 0);
    EXPECT_EQ(s->AlphaAt(0, -1), 0);
}

TEST(WinSurface, CanvasDrawingReachesTheBitsAndCompatibleSurfacesAreGdiSurfaces) {
    TRef<TWinSurface> s = MakeRef<TWinSurface>(4, 4, false);
    s->CreateCanvas()->FillRect(1, 1, 3, 3, 0x0000FF);
    uint32_t pixel;
    std::memcpy(&pixel, s->Bits() + 1 * s->Stride() + 4, 4);
    EXPECT_EQ(pixel & 0xFFFFFF, 0xFF0000u);
    TRef<TPlatformSurface> other = s->CreateCompatible(9, 0, true);
    ASSERT_NE(dynamic_cast<TWinSurface*>(other.Get()), nullptr);
    EXPECT_EQ(other->Width(), 9);
    EXPECT_EQ(other->Height(), 1);
    EXPECT_TRUE(other->HasAlpha());
}

TEST(WinSurface, ASectionGdiCannotMakeLeavesASurfaceWithoutPixels) {
    TRef<TWinSurface> s = MakeRef<TWinSurface>(100000, 100000, true);
    EXPECT_EQ(s->Width(), 100000);
    EXPECT_EQ(s->Bits(), nullptr);
    EXPECT_EQ(s->NativeHandle(), nullptr);
    EXPECT_EQ(s->PixelAt(5, 5), 0);
    EXPECT_EQ(s->AlphaAt(5, 5), 0);
    TRef<TPlatformCanvas> canvas = s->CreateCanvas();
    canvas->FillRect(0, 0, 10, 10, 0xFF);
    canvas->SetPen(0xFF, 1, 0);
    canvas->LineTo(5, 5);
    EXPECT_EQ(s->PixelAt(5, 5), 0);
    EXPECT_FALSE(s->SaveToPng(u"never-written.png"));
    EXPECT_EQ(GetFileAttributesW(L"never-written.png"), INVALID_FILE_ATTRIBUTES);
}

// A surface whose rows or pixel block pass INT32_MAX bytes gets no pixels,
// the bound every image codec keeps: it is refused before GDI is asked, so
// none of these is ever allocated. It keeps its size, and its stride does
// not wrap.
TEST(WinSurface, SurfacesPastTwoGigabytesGoWithoutPixels) {
    struct TCase {
        int32_t Width, Height;
    };
    const TCase cases[] = {{INT32_MAX, 1}, {(1 << 30) + 1, 1}, {INT32_MAX, INT32_MAX}, {1 << 29, 1},
                           {1 << 15, 1 << 14}, {(1 << 27) + 1, 4}};
    for (const TCase& c : cases) {
        TRef<TWinSurface> s = MakeRef<TWinSurface>(c.Width, c.Height, false);
        EXPECT_EQ(s->Width(), c.Width);
        EXPECT_EQ(s->Height(), c.Height);
        EXPECT_EQ(s->Bits(), nullptr) << c.Width << " x " << c.Height;
        EXPECT_EQ(s->MemDC(), nullptr) << c.Width << " x " << c.Height;
        EXPECT_EQ(s->Stride(), 0) << c.Width << " x " << c.Height;
    }
}

TEST(WinSurface, PngFilesAndBlocksRoundTrip) {
    TTestFolder folder(u"WinSurface.PngRoundTrip");
    TRef<TWinServices> services = MakeRef<TWinServices>();
    TRef<TWinSurface> s = MakeRef<TWinSurface>(5, 3, true);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x) {
            const uint32_t a = 50 + x * 40;
            WritePixel(*s, x, y, a << 24 | (a * y / 2) << 16 | (a / 3) << 8 | (a * x / 4));
        }
    const std::u16string file = folder.File(u"round.png");
    ASSERT_TRUE(s->SaveToPng(file));
    TRef<TPlatformSurface> back = services->LoadPngFile(file);
    ASSERT_NE(back, nullptr);
    ASSERT_NE(dynamic_cast<TWinSurface*>(back.Get()), nullptr);
    ASSERT_EQ(back->Width(), 5);
    ASSERT_EQ(back->Height(), 3);
    EXPECT_EQ(std::memcmp(back->Bits(), s->Bits(), 5 * 3 * 4), 0);

    const System::TBytes png = services->SavePngMemory(s.Get());
    ASSERT_FALSE(png.empty());
    TRef<TPlatformSurface> fromMemory = services->LoadPngMemory(png.data(), int32_t(png.size()));
    ASSERT_NE(fromMemory, nullptr);
    EXPECT_EQ(std::memcmp(fromMemory->Bits(), s->Bits(), 5 * 3 * 4), 0);
}

TEST(WinSurface, LoadPngFileRefusesFoldersMissingAndShortFilesAndRaisesForLockedOnes) {
    TTestFolder folder(u"WinSurface.LoadPngFile");
    TRef<TWinServices> services = MakeRef<TWinServices>();
    EXPECT_EQ(services->LoadPngFile(folder.Path()), nullptr);
    EXPECT_EQ(services->LoadPngFile(folder.Path() + u"\\missing.png"), nullptr);
    EXPECT_EQ(services->LoadPngFile(u""), nullptr);
    EXPECT_EQ(services->LoadPngFile(folder.Write(u"seven.png", "\x89PNG\r\n\x1a", 7)), nullptr);

    TRef<TWinSurface> s = MakeRef<TWinSurface>(2, 2, false);
    const std::u16string file = folder.File(u"held.png");
    ASSERT_TRUE(s->SaveToPng(file));
    HANDLE held = CreateFileW(System::WStr(file), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(services->LoadPngFile(file), System::EFOpenError);
    CloseHandle(held);
    EXPECT_NE(services->LoadPngFile(file), nullptr);
}

// The size is not cut to 32 bits: a file of 4 GiB + its PNG's length is not
// read as that PNG.
TEST(WinSurface, LoadPngFileRefusesFilesBeyondTwoGigabytes) {
    TTestFolder folder(u"WinSurface.LoadPngHuge");
    TRef<TWinServices> services = MakeRef<TWinServices>();
    TRef<TWinSurface> s = MakeRef<TWinSurface>(1, 1, false);
    const System::TBytes png = EncodePng(s.Get());
    const std::u16string file = folder.Write(u"huge.png", png.data(), DWORD(png.size()));
    ASSERT_NE(services->LoadPngFile(file), nullptr);
    HANDLE h = CreateFileW(System::WStr(file), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD ignored = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (int64_t(1) << 32) + int64_t(png.size());
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(services->LoadPngFile(file), nullptr);
}

TEST(WinServices, ScreenDpiAndFontDefaults) {
    TRef<TWinServices> services = MakeRef<TWinServices>();
    EXPECT_GT(services->ScreenDpi(), 0);
    EXPECT_EQ(services->DefaultFontName(), u"Segoe UI");
    EXPECT_EQ(services->DefaultFontSize(), 9);
    EXPECT_EQ(services->MonospaceFontName(), u"Courier New");
}

TEST(WinServices, FactoryInstallsOnceAndNeverOverOtherServices) {
    ResetCanvasBackendState();
    CreateWinServices();
    TPlatformServices* first = CurrentPlatformServices();
    ASSERT_NE(dynamic_cast<TWinServices*>(first), nullptr);
    CreateWinServices();
    EXPECT_EQ(CurrentPlatformServices(), first);

    ResetCanvasBackendState();
    SetCurrentPlatformServices(MakeRef<Testing::TMemoryServices>());
    CreateWinServices();
    EXPECT_NE(dynamic_cast<Testing::TMemoryServices*>(CurrentPlatformServices()), nullptr);
    ResetCanvasBackendState();
}

TEST(WinServices, TheGdiChoiceActivatesGdiSurfaces) {
    ResetCanvasBackendState();
    Testing::TScopedEnvVar canvas(u"ZYL_CANVAS", u"gdi");
    RegisterWinCanvasBackend();
    TRef<TCanvasBackendInfo> entry = FindCanvasBackend(u"GDI");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->Description, u"GDI do Windows (texto do sistema, ClearType; visual de referencia do modo Pintado)");
    EXPECT_EQ(entry->Kind, CanvasKindBackend);
    EXPECT_EQ(entry->Platforms, CanvasPlatformWindows);
    EXPECT_EQ(entry->Caps, 0x0E);
    EXPECT_EQ(entry->Priority, 50);
    EXPECT_EQ(entry->AvailabilityTest, nullptr);
    EXPECT_EQ(entry->AutoChoiceTest, nullptr);

    EXPECT_EQ(ActivateCanvasBackend(), u"gdi");
    TRef<TPlatformSurface> surface = CurrentPlatformServices()->CreateSurface(3, 3, false);
    EXPECT_NE(dynamic_cast<TWinSurface*>(surface.Get()), nullptr);
    EXPECT_NE(dynamic_cast<TWinCanvas*>(surface->CreateCanvas().Get()), nullptr);
    ResetCanvasBackendState();
}

// The memory doubles are what the widget library's tests measure with, so
// their own pixels, clipping and bookkeeping are pinned here.
#include <gtest/gtest.h>

#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr int32_t kRed = 0x0000FF;
constexpr uint32_t kRedPixel = 0xFFFF0000;
constexpr uint32_t kBlank = 0;

// The surface's pixels as rows of '#' (the given pixel) and '.' (blank).
std::string Picture(TMemorySurface& surface, uint32_t ink) {
    std::string text;
    for (int32_t y = 0; y < surface.Height(); ++y) {
        for (int32_t x = 0; x < surface.Width(); ++x)
            text += surface.Pixel(x, y) == ink ? '#' : surface.Pixel(x, y) == kBlank ? '.' : '?';
        text += '\n';
    }
    return text;
}

} // namespace

TEST(MemoryPixels, ColourAndPixelSwapRedAndBlueAndTheFillIsOpaque) {
    EXPECT_EQ(PixelOfColor(0x00332211), 0xFF112233u);
    EXPECT_EQ(ColorOfPixel(0x80112233), 0x00332211);
    EXPECT_EQ(PixelOfColor(kRed), kRedPixel);
}

TEST(MemorySurface, PadsEveryRowWithTheCanaryAndNoticesAWriteThere) {
    auto surface = MakeRef<TMemorySurface>(3, 2, false, 20);
    EXPECT_EQ(surface->Stride(), 20);
    EXPECT_TRUE(surface->PaddingIntact());
    surface->Fill(0xFFFFFFFF);
    EXPECT_TRUE(surface->PaddingIntact());
    surface->Memory()[20 + 12] = 0;  // first padding byte of row 1
    EXPECT_FALSE(surface->PaddingIntact());
}

TEST(MemorySurface, AStrideBelowTheRowWidthMeansUnpadded) {
    auto surface = MakeRef<TMemorySurface>(3, 2, false, 4);
    EXPECT_EQ(surface->Stride(), 12);
}

TEST(MemorySurface, PixelAtAndAlphaAtAnswerInsideAndZeroOutside) {
    auto withAlpha = MakeRef<TMemorySurface>(2, 2, true);
    withAlpha->SetPixelValue(1, 1, 0x80112233);
    EXPECT_EQ(withAlpha->PixelAt(1, 1), 0x00332211);
    EXPECT_EQ(withAlpha->AlphaAt(1, 1), 0x80);
    EXPECT_EQ(withAlpha->PixelAt(2, 0), 0);
    EXPECT_EQ(withAlpha->AlphaAt(-1, 0), 0);
    auto opaque = MakeRef<TMemorySurface>(2, 2, false);
    EXPECT_EQ(opaque->AlphaAt(0, 0), 255);
}

TEST(MemoryServices, CountsLiveSurfacesAndLogsCreateAndFinish) {
    auto services = MakeRef<TMemoryServices>();
    services->RowPadding = 8;
    {
        TRef<TPlatformSurface> a = services->CreateSurface(4, 3, true);
        TRef<TPlatformSurface> b = a->CreateCompatible(2, 2, false);
        EXPECT_EQ(services->LiveSurfaces, 2);
        EXPECT_EQ(a->Stride(), 4 * 4 + 8);
        b->FinishDrawing();
    }
    EXPECT_EQ(services->LiveSurfaces, 0);
    EXPECT_EQ(services->Calls,
              (std::vector<std::string>{"CreateSurface 4 3 1", "CreateSurface 2 2 0", "FinishDrawing 2 2"}));
}

TEST(MemoryServices, FailureSwitchesGiveNilSurfacesNilBitsAndThrowingFinish) {
    auto services = MakeRef<TMemoryServices>();
    services->FailCreateSurface = true;
    EXPECT_EQ(services->CreateSurface(1, 1, false), nullptr);
    EXPECT_EQ(services->Calls.back(), "CreateSurface 1 1 0 -> nil");

    services->FailCreateSurface = false;
    services->NilBitsSurfaces = true;
    TRef<TPlatformSurface> surface = services->CreateSurface(2, 2, false);
    EXPECT_EQ(surface->Bits(), nullptr);
    surface->CreateCanvas()->FillRect(0, 0, 2, 2, kRed);
    EXPECT_EQ(static_cast<TMemorySurface*>(surface.Get())->Pixel(0, 0), kBlank);

    services->FinishDrawingThrows = true;
    EXPECT_THROW(surface->FinishDrawing(), System::Exception);
}

TEST(MemoryServices, ScopedInstallPutsThePreviousServicesBack) {
    auto outer = MakeRef<TMemoryServices>();
    TScopedPlatformServices installOuter(outer);
    {
        TScopedPlatformServices installInner(MakeRef<TMemoryServices>());
        EXPECT_NE(CurrentPlatformServices(), outer.Get());
    }
    EXPECT_EQ(CurrentPlatformServices(), outer.Get());
}

TEST(MemoryCanvas, ClipsToTheSurfaceAndToNestedRectanglesAtTheOrigin) {
    auto surface = MakeRef<TMemorySurface>(6, 4, false, 32);
    TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
    canvas->FillRect(-5, -5, 100, 1, kRed);  // the top row only, nothing beyond the surface
    canvas->Save();
    canvas->SetOrigin(2, 1);
    canvas->ClipRect(0, 0, 3, 2);
    canvas->ClipRect(1, -10, 10, 10);  // narrows, never widens
    canvas->FillRect(-10, -10, 10, 10, kRed);
    canvas->Restore();
    canvas->SetPixel(0, 3, kRed);
    EXPECT_EQ(Picture(*surface, kRedPixel),
              "######\n"
              "...##.\n"
              "...##.\n"
              "#.....\n");
    EXPECT_TRUE(surface->PaddingIntact());
}

TEST(MemoryCanvas, OriginAndClipBoxFollowSaveRestoreAndResetClip) {
    auto surface = MakeRef<TMemorySurface>(8, 6, false);
    TMemoryCanvas canvas(surface.Get());
    int32_t l, t, r, b, x, y;
    ASSERT_TRUE(canvas.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector<int32_t>{l, t, r, b}), (std::vector<int32_t>{0, 0, 8, 6}));
    canvas.Save();
    canvas.SetOrigin(3, 2);
    canvas.ClipRect(0, 0, 2, 2);
    canvas.GetOrigin(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 2);
    ASSERT_TRUE(canvas.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector<int32_t>{l, t, r, b}), (std::vector<int32_t>{0, 0, 2, 2}));
    canvas.ClipRect(5, 5, 6, 6);
    EXPECT_FALSE(canvas.GetClipBox(l, t, r, b));
    canvas.ResetClip();
    ASSERT_TRUE(canvas.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector<int32_t>{l, t, r, b}), (std::vector<int32_t>{-3, -2, 5, 4}));
    canvas.Restore();
    canvas.GetOrigin(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(canvas.SaveDepth(), 0);
    EXPECT_THROW(canvas.Restore(), System::Exception);
}

TEST(MemoryCanvas, GetPixelReadsThroughTheOriginAndAnswersZeroOutsideTheClip) {
    auto surface = MakeRef<TMemorySurface>(4, 4, false);
    surface->SetPixelValue(3, 2, PixelOfColor(0x123456));
    TMemoryCanvas canvas(surface.Get());
    canvas.SetOrigin(1, 1);
    EXPECT_EQ(canvas.GetPixel(2, 1), 0x123456);
    canvas.ClipRect(0, 0, 1, 1);
    EXPECT_EQ(canvas.GetPixel(2, 1), 0);
    EXPECT_EQ(canvas.GetPixel(-100, 0), 0);
}

TEST(MemoryCanvas, ExtremeCoordinatesDoNotOverflow) {
    auto surface = MakeRef<TMemorySurface>(2, 2, false);
    TMemoryCanvas canvas(surface.Get());
    canvas.SetOrigin(INT32_MAX, 0);
    canvas.FillRect(INT32_MIN, 0, INT32_MAX, 1, kRed);
    canvas.SetPixel(INT32_MAX, INT32_MAX, kRed);
    EXPECT_EQ(Picture(*surface, kRedPixel), "##\n..\n");
}

TEST(MemoryCanvas, OtherOperationsKeepTheAbstractRaise) {
    auto surface = MakeRef<TMemorySurface>(1, 1, false);
    TMemoryCanvas canvas(surface.Get());
    EXPECT_THROW(canvas.LineTo(1, 1), System::EAbstractError);
    EXPECT_EQ(canvas.GetSurface(), surface.Get());
}

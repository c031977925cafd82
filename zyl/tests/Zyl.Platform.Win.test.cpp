// What only Windows can show: the GDI copy of a frame into a real DIB
// section, and the diagnostic lines reaching the standard output handle.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr uint32_t kSentinel = 0x11223344;
constexpr int32_t kTargetWidth = 64;
constexpr int32_t kTargetHeight = 48;

// The pixel of the 30 × 20 source at (x, y): both coordinates and alpha 0x80.
uint32_t SourcePixel(int32_t x, int32_t y) {
    return 0x80000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | 0x5A;
}

// A 64 × 48 top-down DIB section selected into a memory DC, filled with the
// sentinel.
class TTarget {
public:
    TTarget() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kTargetWidth;
        info.bmiHeader.biHeight = -kTargetHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
        for (int32_t i = 0; i < kTargetWidth * kTargetHeight; ++i) pixels_[i] = kSentinel;
    }
    ~TTarget() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    uint32_t At(int32_t x, int32_t y) {
        GdiFlush();
        return pixels_[y * kTargetWidth + x];
    }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* pixels_ = nullptr;
};

// Whether the target holds the source's pixels exactly inside the block
// (left, top) .. (right, bottom) and the sentinel everywhere else.
::testing::AssertionResult HoldsBlock(TTarget& target, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    for (int32_t y = 0; y < kTargetHeight; ++y)
        for (int32_t x = 0; x < kTargetWidth; ++x) {
            const bool inside = x >= left && x < right && y >= top && y < bottom;
            const uint32_t expected = inside ? SourcePixel(x, y) : kSentinel;
            if (target.At(x, y) != expected)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                                     << target.At(x, y) << ", not " << expected;
        }
    return ::testing::AssertionSuccess();
}

class GdiBlit : public ::testing::Test {
protected:
    void SetUp() override { ResetCanvasBackendState(); }
    void TearDown() override { ResetCanvasBackendState(); }

    TRef<TMemorySurface> Source(int32_t stride = 0) {
        auto surface = MakeRef<TMemorySurface>(30, 20, true, stride);
        surface->FillWith(SourcePixel);
        return surface;
    }
};

} // namespace

TEST_F(GdiBlit, ARectangleBeyondTheSurfaceCopiesItWholeBytesUnchanged) {
    TTarget target;
    auto source = Source();
    BlitSurfaceWithGdi(target.Dc(), source.Get(), -10, -10, 50, 40);
    EXPECT_TRUE(HoldsBlock(target, 0, 0, 30, 20));
}

TEST_F(GdiBlit, AnInnerRectangleCopiesOnlyThatBlock) {
    TTarget target;
    auto source = Source();
    BlitSurfaceWithGdi(target.Dc(), source.Get(), 5, 3, 12, 9);
    EXPECT_TRUE(HoldsBlock(target, 5, 3, 12, 9));
}

TEST_F(GdiBlit, AnEmptyRectangleOrNoSurfaceCopiesNothing) {
    TTarget target;
    auto source = Source();
    BlitSurfaceWithGdi(target.Dc(), source.Get(), 7, 3, 7, 9);
    BlitSurfaceWithGdi(target.Dc(), nullptr, 0, 0, 30, 20);
    EXPECT_TRUE(HoldsBlock(target, 0, 0, 0, 0));
}

TEST_F(GdiBlit, APaddedStrideCopiesOnlyTheClippedColumns) {
    TTarget target;
    auto source = Source(30 * 4 + 16);
    BlitSurfaceWithGdi(target.Dc(), source.Get(), -10, 2, 50, 5);
    EXPECT_TRUE(HoldsBlock(target, 0, 2, 30, 5));
}

TEST(DiagnosticOutput, TheRealWriterWritesToTheStandardOutputHandleOfTheMoment) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    const HANDLE previous = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    {
        auto services = MakeRef<TMemoryServices>();
        TScopedPlatformServices install(services);
        TRef<TPlatformSurface> window = services->CreateSurface(8, 6, false);
        PartialRepaintCount = 5;
        VerifyPartialRepaint(window.Get(), 8, 6, 2, 1, 5, 4,
                             [](TPlatformCanvas* canvas) { canvas->FillRect(0, 0, 8, 6, 0x00FFFF); });
    }
    SetStdHandle(STD_OUTPUT_HANDLE, previous);
    CloseHandle(writeEnd);
    std::string text;
    char buffer[256];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(readEnd);
    EXPECT_EQ(text, "DIRTY-MISMATCH: 48 pixels diferentes (regiao 2,1,5,4)\n");
}

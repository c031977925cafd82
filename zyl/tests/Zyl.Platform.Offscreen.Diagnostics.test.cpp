#include <gtest/gtest.h>

#include <string>

#include "Zyl.Platform.Offscreen.Diagnostics.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

std::string Written;
std::u16string DebugWritten;

// The full content of the 8 × 6 test window: a white ground with a red
// block at (2, 1) .. (5, 4).
void PaintContent(TPlatformCanvas* canvas) {
    canvas->FillRect(0, 0, 8, 6, 0xFFFFFF);
    canvas->FillRect(2, 1, 5, 4, 0x0000FF);
}

class RepaintVerifier : public ::testing::Test {
protected:
    void SetUp() override {
        Written.clear();
        previousProc_ = DiagnosticOutputProc();
        DiagnosticOutputProc() = [](const std::string& text) { Written += text; };
        services_->RowPadding = 12;
        window_ = services_->CreateSurface(8, 6, false);
        PaintContent(window_->CreateCanvas().Get());
        PartialRepaintCount = 0;
        PartialRepaintArea = 0;
    }
    void TearDown() override { DiagnosticOutputProc() = previousProc_; }

    TMemorySurface& Window() { return static_cast<TMemorySurface&>(*window_); }

    // One partial repaint of (2, 1) .. (5, 4), counted and verified.
    void RepaintAndVerify() {
        CountPartialRepaint(2, 1, 5, 4);
        VerifyPartialRepaint(window_.Get(), 8, 6, 2, 1, 5, 4, PaintContent);
    }

    TRef<TMemoryServices> services_ = MakeRef<TMemoryServices>();
    TScopedPlatformServices install_{services_};
    TRef<TPlatformSurface> window_;
    TDiagnosticOutputProc previousProc_ = nullptr;
};

} // namespace

TEST_F(RepaintVerifier, StalePixelsAreReportedWithTheRegionAndRepaired) {
    const uint32_t good = Window().Pixel(0, 0);
    Window().SetPixelValue(0, 0, 0xFF000000);
    Window().SetPixelValue(7, 5, 0xFF000000);
    Window().SetPixelValue(3, 2, 0xFF00FF00);
    RepaintAndVerify();  // the count is 1, and still only the mismatch is written
    EXPECT_EQ(Written, "DIRTY-MISMATCH: 3 pixels diferentes (regiao 2,1,5,4)\n");
    EXPECT_EQ(Window().Pixel(0, 0), good);
    EXPECT_EQ(Window().Pixel(3, 2), PixelOfColor(0x0000FF));
    EXPECT_TRUE(Window().PaddingIntact());
    EXPECT_EQ(services_->LiveSurfaces, 1);
}

TEST_F(RepaintVerifier, OkLinesAtCountsOneAndTenWithTheSummedArea) {
    std::string expected;
    for (int i = 1; i <= 11; ++i) {
        RepaintAndVerify();
        if (i == 1) expected += "DIRTY-OK: 1 repinturas parciais verificadas (area acumulada 9 px)\n";
        if (i == 10) expected += "DIRTY-OK: 10 repinturas parciais verificadas (area acumulada 90 px)\n";
        EXPECT_EQ(Written, expected) << "after repaint " << i;
    }
    EXPECT_EQ(services_->LiveSurfaces, 1);
}

TEST_F(RepaintVerifier, AnAreaBeyondThirtyTwoBitsIsPrintedWhole) {
    PartialRepaintCount = 999;
    CountPartialRepaint(0, 0, 100000, 50000);
    CountPartialRepaint(-5, 0, 5, INT32_MIN);  // reversed: no area
    EXPECT_EQ(PartialRepaintArea, 5000000000);
    PartialRepaintCount = 1000;
    VerifyPartialRepaint(window_.Get(), 8, 6, 0, 0, 8, 6, PaintContent);
    EXPECT_EQ(Written, "DIRTY-OK: 1000 repinturas parciais verificadas (area acumulada 5000000000 px)\n");
}

TEST_F(RepaintVerifier, TheFullRepaintGoesIntoItsOwnClippedSurface) {
    std::string seen;
    VerifyPartialRepaint(window_.Get(), 8, 6, 0, 0, 1, 1, [this, &seen](TPlatformCanvas* canvas) {
        int32_t l, t, r, b;
        canvas->GetClipBox(l, t, r, b);
        seen = std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) + "," + std::to_string(b);
        EXPECT_NE(canvas->GetSurface(), nullptr);
        EXPECT_NE(canvas->GetSurface(), window_.Get());
        PaintContent(canvas);
    });
    EXPECT_EQ(seen, "0,0,8,6");
    EXPECT_EQ(services_->Calls.back(), "CreateSurface 8 6 0");
}

TEST_F(RepaintVerifier, NoReferenceOrNoPixelsWritesAndRepairsNothing) {
    Window().SetPixelValue(1, 1, 0xFF000000);
    const auto stale = [this] { RepaintAndVerify(); };

    services_->FailCreateSurface = true;  // no reference surface at all
    stale();
    services_->FailCreateSurface = false;
    services_->NilBitsSurfaces = true;  // a reference whose pixels could not be made
    stale();
    services_->NilBitsSurfaces = false;
    Window().NilBits = true;  // nor the window's
    stale();
    Window().NilBits = false;
    EXPECT_EQ(Written, "");
    EXPECT_EQ(Window().Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(services_->LiveSurfaces, 1);
    {
        TScopedPlatformServices none(nullptr);
        stale();
    }
    EXPECT_EQ(Written, "");
}

TEST_F(RepaintVerifier, ASizeBeyondTheWindowsSurfaceComparesOnlyThePixelsItHas) {
    Window().SetPixelValue(7, 5, 0xFF000000);
    CountPartialRepaint(2, 1, 5, 4);
    VerifyPartialRepaint(window_.Get(), 10, 9, 2, 1, 5, 4, [](TPlatformCanvas* canvas) {
        canvas->FillRect(0, 0, 10, 9, 0xFFFFFF);
        canvas->FillRect(2, 1, 5, 4, 0x0000FF);
    });
    EXPECT_EQ(Written, "DIRTY-MISMATCH: 1 pixels diferentes (regiao 2,1,5,4)\n");
    EXPECT_EQ(Window().Pixel(7, 5), 0xFFFFFFFFu);
    EXPECT_TRUE(Window().PaddingIntact());
}

TEST(ReportPresentFailure, WritesOnlyTheFirstMessageWithItsPrefix) {
    const TDebugOutputProc previous = DebugOutputProc();
    DebugOutputProc() = [](const std::u16string& text) { DebugWritten += text + u"|"; };
    ReportPresentFailure(u"primeira");
    ReportPresentFailure(u"segunda");
    DebugOutputProc() = previous;
    EXPECT_EQ(DebugWritten, u"ZYL: primeira|");
}

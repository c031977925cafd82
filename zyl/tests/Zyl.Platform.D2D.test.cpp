#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.D2D.Fixture.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Child.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Memory.h"
#include "Zyl.Test.Text.h"
#include "System.Remainder.Streams.h"

using namespace Zyl;
using Zyl::Testing::TScopedEnvVar;
using Zyl::Testing::Raw;
using Zyl::Testing::RefCount;
using Zyl::Testing::RequireStarted;

namespace {


void SetRaw(TD2DSurface& s, int32_t x, int32_t y, uint32_t v) { std::memcpy(s.Bits() + y * s.Stride() + x * 4, &v, 4); }

// Fills a rectangle through the surface's own render target, in a batch
// left open as the canvas leaves it.
void Fill(TD2DSurface& s, float left, float top, float right, float bottom, D2D1::ColorF colour) {
    s.BeginSurfaceDraw();
    s.DrawBrush->SetColor(colour);
    s.RenderTarget->FillRectangle(D2D1::RectF(left, top, right, bottom), s.DrawBrush.Get());
}

// Runs this test program again with only the start case, so that the cached
// answers of the start are fresh; the child's own test decides.
uint32_t RunStartChild(const std::optional<std::u16string>& missing, const char16_t* expect, std::string& output) {
    TScopedEnvVar value(u"ZYL_D2D_MISSING", missing);
    TScopedEnvVar expected(u"ZYL_D2D_CHILD_EXPECT", std::u16string(expect));
    return Testing::RunChildTests(Testing::ThisProgram(), "D2DStartChild.*", output);
}

bool GdiStandIn() { return true; }
void MakeGdiStandIn() { SetCurrentPlatformServices(System::MakeRef<Testing::TMemoryServices>()); }

} // namespace

// ---- Start ---------------------------------------------------------------------

// Run only as a child of the test below.
TEST(D2DStartChild, DISABLED_AnswersAsTheParentExpects) {
    const std::optional<std::u16string> expect = Testing::GetEnvVar(u"ZYL_D2D_CHILD_EXPECT");
    ASSERT_TRUE(expect);
    ResetCanvasBackendState();
    RegisterD2DCanvasBackend();
    RegisterCanvasBackend(u"gdi", u"", CanvasKindBackend, CanvasPlatformWindows, 0, 50, GdiStandIn, GdiStandIn,
                          MakeGdiStandIn);
    EXPECT_EQ(BuildAutoCanvasChain().find(u"d2d"), std::u16string::npos);
    SetCanvasChoice(u"d2d,gdi");
    if (*expect == u"available") {
        EXPECT_TRUE(D2DBackendAvailable());
        EXPECT_EQ(ActivateCanvasBackend(), u"d2d") << Testing::Narrow(GetD2DLastError());
        EXPECT_NE(dynamic_cast<TD2DServices*>(CurrentPlatformServices()), nullptr);
    } else {
        EXPECT_FALSE(D2DBackendAvailable());
        EXPECT_EQ(ActivateCanvasBackend(), u"gdi");
        try {
            TD2DServices().CreateSurface(4, 4, false);
            ADD_FAILURE() << "a surface without a started backend";
        } catch (const System::Exception& e) {
            EXPECT_EQ(e.Message, u"Direct2D indisponivel: d2d1.dll, dwrite.dll ou windowscodecs.dll ausentes");
        }
    }
    ResetCanvasBackendState();
}

TEST(D2DStart, TheMissingVariableCountsUnlessExactlyZeroOrTooLong) {
    const struct {
        std::optional<std::u16string> Value;
        const char16_t* Expect;
    } cases[] = {
        {std::nullopt, u"available"},      {u"0", u"available"},   {std::u16string(31, u'1'), u"available"},
        {std::u16string(30, u'1'), u"missing"}, {u" 0", u"missing"}, {u"1", u"missing"},
        {u"yes", u"missing"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(RunStartChild(c.Value, c.Expect, output), 0u)
            << (c.Value ? Testing::Narrow(*c.Value) : "unset") << " should be " << Testing::Narrow(c.Expect)
            << "; the child said:\n"
            << output;
    }
}

// Run only as a child of the test below, from a folder where d2d1.dll and
// dwrite.dll were planted beside the program.
TEST(D2DPlantedChild, DISABLED_StartsWithTheSystemsLibraries) {
    RequireStarted();
    for (const std::u16string name : {u"d2d1.dll", u"dwrite.dll"})
        EXPECT_EQ(Testing::Narrow(Testing::LoadedModulePath(name)), Testing::Narrow(Testing::SystemFolderFile(name)));
}

// The installer runs elevated from download folders: a library planted there
// under a system name must never be the one loaded.
TEST(D2DStart, LibrariesPlantedBesideTheProgramAreNotLoaded) {
    TScopedEnvVar missing(u"ZYL_D2D_MISSING", std::nullopt);
    const Testing::TPlantedFolder planted({u"d2d1.dll", u"dwrite.dll"});
    std::string output;
    EXPECT_EQ(Testing::RunChildTests(planted.Program, "D2DPlantedChild.*", output), 0u) << output;
}

TEST(D2DStart, LoadsOnceAndLeavesTheFactoriesForEveryone) {
    RequireStarted();
    EXPECT_TRUE(StartD2DOnce());
    EXPECT_TRUE(GetWicFactory());
    EXPECT_TRUE(GetD2DSharedTarget());
    EXPECT_TRUE(GetD2DFactory());
    EXPECT_TRUE(GetDWriteFactory());
    EXPECT_TRUE(D2DDllPresent(u"d2d1.dll"));
    EXPECT_FALSE(D2DDllPresent(u"no-such-library-d2d-test.dll"));
    EXPECT_FALSE(D2DAutoChoiceAllowed());
}

TEST(D2DServices, PngFilesThatAreNotThereOrTooShortGiveNil) {
    RequireStarted();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::u16string folder = System::FromWStr(temp) + u"zyl_d2d_png_files";
    CreateDirectoryW(System::WStr(folder), nullptr);
    TD2DServices services;
    EXPECT_FALSE(services.LoadPngFile(folder + u"\\missing.png"));
    EXPECT_FALSE(services.LoadPngFile(folder));
    const std::u16string shortFile = folder + u"\\short.png";
    {
        const uint8_t seven[7] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A};
        System::TFileStream stream(shortFile, 0xFF00);
        stream.WriteBuffer(seven, 7);
    }
    EXPECT_FALSE(services.LoadPngFile(shortFile));

    // A file written by a surface comes back through the decoder's writes.
    auto surface = System::MakeRef<TD2DSurface>(5, 4, false);
    Fill(*surface, 1, 1, 3, 3, D2D1::ColorF(0x0000FF));
    const std::u16string roundTrip = folder + u"\\round.png";
    ASSERT_TRUE(surface->SaveToPng(roundTrip));
    auto loaded = services.LoadPngFile(roundTrip);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->PixelAt(2, 2), 0xFF0000);
    EXPECT_EQ(loaded->PixelAt(0, 0), 0);
    DeleteFileW(System::WStr(shortFile));
    DeleteFileW(System::WStr(roundTrip));
    RemoveDirectoryW(System::WStr(folder));
}

TEST(D2DServices, ScreenDpiIsPositive) { EXPECT_GT(TD2DServices().ScreenDpi(), 0); }

// ---- Surface -------------------------------------------------------------------

TEST(D2DSurface, NewSurfacesAndTheirPixels) {
    RequireStarted();
    TD2DSurface small(0, 0, false);
    EXPECT_EQ(small.Width(), 1);
    EXPECT_EQ(small.Height(), 1);
    EXPECT_EQ(Raw(small, 0, 0), 0xFF000000u);
    EXPECT_EQ(small.PixelAt(0, 0), 0);
    EXPECT_EQ(small.AlphaAt(0, 0), 255);

    TD2DSurface opaque(7, 3, false);
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(Raw(opaque, x, y), 0xFF000000u);
    EXPECT_EQ(opaque.PixelAt(-1, 0), 0);
    EXPECT_EQ(opaque.PixelAt(7, 0), 0);
    EXPECT_EQ(opaque.AlphaAt(0, 3), 0);

    TD2DSurface alpha(2, 2, true);
    SetRaw(alpha, 1, 0, 0x80400000u); // alpha 128, red 64 premultiplied
    EXPECT_EQ(alpha.PixelAt(1, 0), 0x80);
    EXPECT_EQ(alpha.AlphaAt(1, 0), 128);
}

TEST(D2DSurface, RefusesSizesPastTheRowAddressing) {
    RequireStarted();
    try {
        TD2DServices().CreateSurface(70000, 70000, false);
        ADD_FAILURE() << "a surface of 70000 x 70000";
    } catch (const System::Exception& e) {
        EXPECT_EQ(e.Message, u"IWICImagingFactory.CreateBitmap falhou (-2147024882) para 70000x70000");
    }
}

TEST(D2DSurface, DrawingReachesMemoryWhenThePixelsAreAskedFor) {
    RequireStarted();
    TD2DSurface s(6, 4, false);
    Fill(s, 2, 1, 4, 3, D2D1::ColorF(0x00FF00));
    EXPECT_TRUE(s.Drawing);
    EXPECT_EQ(s.NativeHandle(), s.NativeHandle());
    EXPECT_TRUE(s.Drawing) << "NativeHandle must not close the batch";
    EXPECT_EQ(s.PixelAt(2, 1), 0x00FF00);
    EXPECT_FALSE(s.Drawing);
    EXPECT_EQ(s.PixelAt(4, 1), 0);
    EXPECT_EQ(Raw(s, 3, 2), 0xFF00FF00u);
    EXPECT_EQ(s.FailedBatches, 0);
    EXPECT_EQ(s.LastEndDrawResult, S_OK);
}

// A batch that fails to close is counted, its result kept, and the target
// dropped for a new one.
TEST(D2DSurface, AFailedBatchIsCountedAndDropsItsTarget) {
    RequireStarted();
    TD2DSurface s(4, 4, false);
    Fill(s, 0, 0, 1, 1, D2D1::ColorF(0x0000FF));
    FailD2DBatchesForTests(1);
    s.FlushSurfaceDraw();
    EXPECT_EQ(s.FailedBatches, 1);
    EXPECT_NE(s.LastEndDrawResult, S_OK);
    EXPECT_FALSE(s.RenderTarget);
    EXPECT_FALSE(s.DrawBrush);
    Fill(s, 1, 1, 2, 2, D2D1::ColorF(0x0000FF));
    s.FinishDrawing();
    EXPECT_EQ(s.FailedBatches, 1);
    EXPECT_EQ(s.LastEndDrawResult, S_OK);
    EXPECT_EQ(s.PixelAt(1, 1), 0xFF0000);
}

// Wine's render target keeps its own texture and copies it over the bitmap
// at every batch's end: pixels written straight into memory must reach the
// target before the next batch, also after a target was made anew.
TEST(D2DSurface, PixelsWrittenIntoMemorySurviveTheNextBatch) {
    RequireStarted();
    struct TWriter {
        const char* Name;
        void (*Write)(TRef<TD2DSurface>& s);
    };
    const TWriter writers[] = {
        {"the opaque fill of a new surface", [](TRef<TD2DSurface>&) {}},
        {"a write through Bits", [](TRef<TD2DSurface>& s) { SetRaw(*s, 1, 1, 0xFF123456u); }},
        {"a write after a batch", [](TRef<TD2DSurface>& s) {
             Fill(*s, 7, 7, 8, 8, D2D1::ColorF(0xFFFFFF));
             SetRaw(*s, 1, 1, 0xFF123456u);
         }},
        {"the copy of another backend's surface", [](TRef<TD2DSurface>& s) {
             Testing::TMemorySurface other(8, 8, false);
             for (int32_t y = 0; y < 8; ++y)
                 std::fill_n(reinterpret_cast<uint32_t*>(other.Bits() + y * other.Stride()), 8, 0xFF777777u);
             std::memcpy(other.Bits() + other.Stride() + 4, "\x56\x34\x12\xFF", 4);
             s = AsD2DSurface(&other);
         }},
    };
    for (const bool failedBatch : {false, true})
        for (const TWriter& w : writers) {
            SCOPED_TRACE(std::string(w.Name) + (failedBatch ? " and a dropped target" : ""));
            auto s = System::MakeRef<TD2DSurface>(8, 8, false);
            w.Write(s);
            const std::vector<uint32_t> before = [&] {
                std::vector<uint32_t> v;
                for (int32_t y = 0; y < 8; ++y)
                    for (int32_t x = 0; x < 8; ++x) v.push_back(Raw(*s, x, y));
                return v;
            }();
            if (failedBatch) {
                FailD2DBatchesForTests(1);
                s->BeginSurfaceDraw();
                s->FlushSurfaceDraw();
                ASSERT_FALSE(s->RenderTarget);
            }
            Fill(*s, 5, 5, 6, 6, D2D1::ColorF(0x0000FF));
            s->FinishDrawing();
            for (int32_t y = 0; y < 8; ++y)
                for (int32_t x = 0; x < 8; ++x)
                    EXPECT_EQ(Raw(*s, x, y), x == 5 && y == 5 ? 0xFF0000FFu : before[size_t(y * 8 + x)])
                        << x << "," << y;
        }
}

TEST(D2DSurface, CopiesAreRebuiltOnlyAfterThePixelsChange) {
    RequireStarted();
    TD2DSurface s(4, 4, true);
    TComPtr<ID2D1Bitmap> first = s.GetAlphaBitmap();
    ASSERT_TRUE(first);
    EXPECT_EQ(s.GetAlphaBitmap().Get(), first.Get());
    TComPtr<ID2D1Bitmap> opaque = s.GetNoAlphaBitmap();
    ASSERT_TRUE(opaque);
    EXPECT_EQ(s.GetNoAlphaBitmap().Get(), opaque.Get());
    Fill(s, 0, 0, 1, 1, D2D1::ColorF(0xFF0000));
    EXPECT_NE(s.GetAlphaBitmap().Get(), first.Get());
    EXPECT_NE(s.GetNoAlphaBitmap().Get(), opaque.Get());
}

TEST(D2DSurface, AKeyedCopyHidesTheKeyColourAndShowsTheRestOpaque) {
    RequireStarted();
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "alpha" : "opaque");
        TD2DSurface source(3, 1, alpha);
        SetRaw(source, 0, 0, 0xFFFF0000u);                  // red: the key
        SetRaw(source, 1, 0, alpha ? 0x80008000u : 0xFF00FF00u); // green (half covered with alpha)
        SetRaw(source, 2, 0, alpha ? 0x00000000u : 0xFF000000u);
        TComPtr<ID2D1Bitmap> keyed = source.GetKeyedBitmap(0x0000FF);
        ASSERT_TRUE(keyed);
        EXPECT_EQ(source.GetKeyedBitmap(0x0000FF).Get(), keyed.Get());

        TD2DSurface target(3, 1, false);
        Fill(target, 0, 0, 3, 1, D2D1::ColorF(0x0000FF)); // blue under the copy
        const D2D1_RECT_F whole = D2D1::RectF(0, 0, 3, 1);
        target.RenderTarget->DrawBitmap(keyed.Get(), &whole, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                                        &whole);
        EXPECT_EQ(target.PixelAt(0, 0), 0xFF0000) << "the key shows what lay under it";
        EXPECT_EQ(target.PixelAt(1, 0), alpha ? 0x008000 : 0x00FF00);
        EXPECT_EQ(target.PixelAt(2, 0), 0);
    }
}

TEST(D2DSurface, AsD2DSurfaceKeepsItsOwnAndCopiesOthers) {
    RequireStarted();
    auto own = System::MakeRef<TD2DSurface>(2, 2, false);
    EXPECT_EQ(AsD2DSurface(own.Get()).Get(), own.Get());
    Testing::TMemorySurface other(3, 2, true, 20);
    std::memset(other.Bits(), 0, 40);
    std::memcpy(other.Bits() + 20 + 8, "\x10\x20\x30\x40", 4);
    TRef<TD2DSurface> copy = AsD2DSurface(&other);
    EXPECT_EQ(copy->Width(), 3);
    EXPECT_EQ(copy->Height(), 2);
    EXPECT_TRUE(copy->HasAlpha());
    EXPECT_EQ(Raw(*copy, 2, 1), 0x40302010u);
}

TEST(D2DSurface, SurfacesReleaseEveryReferenceTheyTake) {
    RequireStarted();
    const ULONG factory = RefCount(GetD2DFactory().Get()), wic = RefCount(GetWicFactory().Get()),
                shared = RefCount(GetD2DSharedTarget().Get()), write = RefCount(GetDWriteFactory().Get());
    for (int32_t i = 0; i < 100; ++i) {
        auto s = System::MakeRef<TD2DSurface>(5, 5, i % 2 == 0);
        Fill(*s, 0, 0, 2, 2, D2D1::ColorF(0x00FF00));
        s->GetAlphaBitmap();
        s->GetNoAlphaBitmap();
        s->GetKeyedBitmap(0x00FF00);
        AsD2DSurface(s.Get());
    }
    EXPECT_EQ(RefCount(GetD2DFactory().Get()), factory);
    EXPECT_EQ(RefCount(GetWicFactory().Get()), wic);
    EXPECT_EQ(RefCount(GetD2DSharedTarget().Get()), shared);
    EXPECT_EQ(RefCount(GetDWriteFactory().Get()), write);
}

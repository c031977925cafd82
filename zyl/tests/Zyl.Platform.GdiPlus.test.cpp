#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Streams.h"

#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.GdiPlus.Reset.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Child.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using System::MakeRef;
using Zyl::Testing::TScopedEnvVar;

namespace {

// Every test starts from an undecided availability and an untried start.
class GdipLoad : public ::testing::Test {
protected:
    void SetUp() override { ResetGdipLoadState(); }
    void TearDown() override { ResetGdipLoadState(); }
};

std::string Utf8(const std::u16string& text) { return std::string(text.begin(), text.end()); }

} // namespace

TEST_F(GdipLoad, MissingSwitchIsUnsetOnlyForExactlyZeroOrTooLong) {
    const struct {
        std::optional<std::u16string> value;
        bool usable;
    } cases[] = {
        {std::nullopt, true},
        {u"0", true},
        {std::u16string(31, u'1'), true},
        {std::u16string(30, u'1'), false},
        {u" 0", false},
        {u"1", false},
        {u"yes", false},
    };
    for (const auto& c : cases) {
        ResetGdipLoadState();
        TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", c.value);
        EXPECT_TRUE(GdiplusDllPresent());
        EXPECT_EQ(GdipUsable(), c.usable) << Utf8(c.value.value_or(u"(unset)"));
        EXPECT_EQ(GdipBackendAvailable(), c.usable);
        if (c.usable) continue;
        EXPECT_FALSE(LoadGdiplus());
        EXPECT_EQ(GetGdipLastError(), u"gdiplus.dll ausente");
    }
}

TEST_F(GdipLoad, TheAnswerIsKeptWhenTheEnvironmentChanges) {
    {
        TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", u"1");
        EXPECT_FALSE(GdipUsable());
    }
    EXPECT_FALSE(GdipUsable());
}

TEST_F(GdipLoad, StartsOnceAndTheProofDrawingPasses) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", std::nullopt);
    ASSERT_TRUE(StartGdiplusOnce()) << Utf8(GetGdipLastError());
    EXPECT_TRUE(StartGdiplusOnce());
    EXPECT_EQ(GetGdipLastError(), u"");
    EXPECT_NE(Gdip.GdipDrawImageRectRect, nullptr);
}

// Run only as a child of the test below, from a folder where gdiplus.dll was
// planted beside the program.
TEST(GdipPlantedChild, DISABLED_StartsWithTheSystemsLibrary) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", std::nullopt);
    ASSERT_TRUE(StartGdiplusOnce()) << Utf8(GetGdipLastError());
    EXPECT_EQ(Utf8(Testing::LoadedModulePath(u"gdiplus.dll")), Utf8(Testing::SystemFolderFile(u"gdiplus.dll")));
}

// The installer runs elevated from download folders: a gdiplus.dll planted
// there must never be the one loaded.
TEST_F(GdipLoad, ALibraryPlantedBesideTheProgramIsNotLoaded) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", std::nullopt);
    const Testing::TPlantedFolder planted({u"gdiplus.dll"});
    std::string output;
    EXPECT_EQ(Testing::RunChildTests(planted.Program, "GdipPlantedChild.*", output), 0u) << output;
}

TEST_F(GdipLoad, AHiddenEntryFailsTheLoadAtThatName) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", std::nullopt);
    GdipLoadSeams.HiddenEntry = "GdipFlush";
    EXPECT_FALSE(StartGdiplusOnce());
    EXPECT_EQ(GetGdipLastError(), u"funcao GdipFlush nao encontrada");
}

TEST_F(GdipLoad, AWrongProofPixelFailsForTheRestOfTheRun) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", std::nullopt);
    GdipLoadSeams.ProofArgb = 0xFF00FF00u;
    EXPECT_FALSE(StartGdiplusOnce());
    EXPECT_EQ(GetGdipLastError(), u"o desenho de teste nao deixou o pixel esperado");
    // Never retried, even once the drawing would pass.
    GdipLoadSeams.ProofArgb = 0xFFFF0000u;
    EXPECT_FALSE(StartGdiplusOnce());
}

TEST(GdipOptions, ReadFromTheEnvironmentAtEveryRun) {
    const struct {
        const char16_t *aa, *smooth, *text, *layout;
        bool antialias;
        int32_t smoothing, textMode;
        bool positioned;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, true, 4, 0, true},
        {u"0", u" 5 ", u"GRAY", u"String", false, 5, 1, false},
        {u" 0\t", u"2", u"mono", u"STRING ", false, 2, 2, false},
        {u"1", u"4", u"grey", u"positioned", true, 4, 0, true},
        {u"00", u"8", u"gray mono", u"", true, 4, 0, true},
        {u"false", u"x", u" Mono ", u"strings", true, 4, 2, true},
    };
    auto value = [](const char16_t* v) { return v ? std::optional<std::u16string>(v) : std::nullopt; };
    for (const auto& c : cases) {
        TScopedEnvVar aa(u"ZYL_GDIPLUS_AA", value(c.aa)), smooth(u"ZYL_GDIPLUS_SMOOTH", value(c.smooth));
        TScopedEnvVar text(u"ZYL_GDIPLUS_TEXT", value(c.text)), layout(u"ZYL_GDIPLUS_LAYOUT", value(c.layout));
        ReadGdipOptions();
        EXPECT_TRUE(GdipOptions.Read);
        EXPECT_EQ(GdipOptions.Antialias, c.antialias) << Utf8(c.aa ? c.aa : u"-");
        EXPECT_EQ(GdipOptions.SmoothingMode, c.smoothing) << Utf8(c.smooth ? c.smooth : u"-");
        EXPECT_EQ(GdipOptions.TextMode, c.textMode) << Utf8(c.text ? c.text : u"-");
        EXPECT_EQ(GdipOptions.LayoutMode, c.positioned) << Utf8(c.layout ? c.layout : u"-");
    }
    EXPECT_FALSE(GdipAutoChoiceAllowed());
}

namespace {

// GDI+ started from a clean state, for the surface and the services.
class GdipSurfaceTest : public GdipLoad {
protected:
    void SetUp() override {
        GdipLoad::SetUp();
        ASSERT_TRUE(StartGdiplusOnce()) << Utf8(GetGdipLastError());
    }

    TScopedEnvVar missing_{u"ZYL_GDIPLUS_MISSING", std::nullopt};
};

uint32_t& RawPixel(TPlatformSurface& s, int32_t x, int32_t y) {
    return *reinterpret_cast<uint32_t*>(s.Bits() + ptrdiff_t(y) * s.Stride() + 4 * x);
}

} // namespace

TEST_F(GdipSurfaceTest, SizesAndInitialPixels) {
    const struct {
        int32_t width, height;
        bool alpha;
        int32_t wantWidth, wantHeight;
        uint32_t raw;
        int32_t alphaAt;
    } cases[] = {
        {0, 0, false, 1, 1, 0xFF000000u, 255},
        {-5, 3, true, 1, 3, 0u, 0},
        {7, 2, false, 7, 2, 0xFF000000u, 255},
        {3, 4, true, 3, 4, 0u, 0},
    };
    for (const auto& c : cases) {
        TGdipSurface s(c.width, c.height, c.alpha);
        EXPECT_EQ(s.Width(), c.wantWidth);
        EXPECT_EQ(s.Height(), c.wantHeight);
        EXPECT_EQ(s.Stride(), 4 * c.wantWidth);
        EXPECT_NE(s.NativeHandle(), nullptr);
        for (int32_t y = 0; y < s.Height(); ++y)
            for (int32_t x = 0; x < s.Width(); ++x) {
                EXPECT_EQ(RawPixel(s, x, y), c.raw);
                EXPECT_EQ(s.PixelAt(x, y), 0);
                EXPECT_EQ(s.AlphaAt(x, y), c.alphaAt);
            }
    }
}

TEST_F(GdipSurfaceTest, ReadsBackUnpremultipliedAndNothingOutside) {
    TGdipSurface s(4, 3, true);
    RawPixel(s, 1, 2) = 0x80402010u;  // alpha 128, premultiplied (64, 32, 16)
    EXPECT_EQ(s.PixelAt(1, 2), 128 | 64 << 8 | 32 << 16);
    EXPECT_EQ(s.AlphaAt(1, 2), 128);
    RawPixel(s, 0, 0) = 0xFFFFFFFFu;
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, 3}, {0, -1}}) {
        EXPECT_EQ(s.PixelAt(x, y), 0);
        EXPECT_EQ(s.AlphaAt(x, y), 0);
    }
}

TEST_F(GdipSurfaceTest, GdiplusDrawsIntoTheSurfaceMemory) {
    TGdipSurface s(8, 8, false);
    TGpGraphics* g = s.EnsureGdipGraphics();
    ASSERT_NE(g, nullptr);
    TGdipBrush brush;
    ASSERT_EQ(Gdip.GdipCreateSolidFill(0xFF0000FFu, brush.Out()), 0);
    Gdip.GdipFillRectangle(g, brush.Get(), 2, 2, 3, 3);
    Gdip.GdipFlush(g, GpFlushIntentionSync);
    EXPECT_EQ(RawPixel(s, 3, 3) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(RawPixel(s, 0, 0), 0xFF000000u);
}

TEST_F(GdipSurfaceTest, ANewGraphicsContextResetsTheClipOwner) {
    TGdipSurface s(4, 4, true);
    s.ClipOwnerSerial = 7;
    TGpGraphics* g = s.EnsureGdipGraphics();
    EXPECT_EQ(s.ClipOwnerSerial, 0);
    s.ClipOwnerSerial = 5;
    EXPECT_EQ(s.EnsureGdipGraphics(), g);
    EXPECT_EQ(s.ClipOwnerSerial, 5);
}

TEST_F(GdipSurfaceTest, AsGdipSurfaceKeepsItsOwnAndCopiesOthers) {
    TRef<TGdipSurface> own = MakeRef<TGdipSurface>(2, 2, true);
    EXPECT_EQ(AsGdipSurface(own.Get()).Get(), own.Get());

    TRef<Testing::TMemorySurface> other = MakeRef<Testing::TMemorySurface>(5, 3, false, 32);
    Testing::FillSurface(*other, Testing::RandomPixels(5, 3, false, 11));
    TRef<TGdipSurface> copy = AsGdipSurface(other.Get());
    ASSERT_NE(copy.Get(), nullptr);
    EXPECT_EQ(copy->Width(), 5);
    EXPECT_FALSE(copy->HasAlpha());
    EXPECT_EQ(Testing::SurfaceBytes(*copy), Testing::SurfaceBytes(*other));
    RawPixel(*copy, 0, 0) ^= 0x00FFFFFFu;
    EXPECT_NE(Testing::SurfaceBytes(*copy), Testing::SurfaceBytes(*other));
}

// Image headers choose surface sizes: 65536 x 16385 x 4 wraps to 256 KiB in
// 32 bits, under a bitmap that claims 4 GiB.
TEST_F(GdipSurfaceTest, ABlockAboveTwoGibibytesIsRefused) {
    for (auto [w, h] : {std::pair{65536, 16385}, {65536, 8192}, {INT32_MAX, INT32_MAX}}) {
        try {
            TGdipSurface s(w, h, true);
            ADD_FAILURE() << w << "x" << h;
        } catch (const System::Exception& e) {
            EXPECT_EQ(e.Message, u"GdipCreateBitmapFromScan0 falhou (3) para " + System::Int64ToStr(w) + u"x" +
                                     System::Int64ToStr(h));
        }
    }
}

TEST_F(GdipLoad, NoSurfaceWithoutGdiplus) {
    TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", u"1");
    try {
        TGdipSurface s(2, 2, false);
        ADD_FAILURE();
    } catch (const System::Exception& e) {
        EXPECT_EQ(e.Message, u"GDI+ indisponivel: gdiplus.dll ausente");
    }
}

TEST_F(GdipSurfaceTest, ServicesInstallOnlyWhenNoneAreThere) {
    Testing::TScopedPlatformServices none(nullptr);
    TScopedEnvVar text(u"ZYL_GDIPLUS_TEXT", u"mono");
    GdipOptions = TGdipOptions{};
    CreateGdipServices();
    auto* services = dynamic_cast<TGdipServices*>(CurrentPlatformServices());
    ASSERT_NE(services, nullptr);
    EXPECT_EQ(GdipOptions.TextMode, 2);
    EXPECT_EQ(services->DefaultFontName(), u"Segoe UI");
    EXPECT_GT(services->ScreenDpi(), 0);
    EXPECT_NE(dynamic_cast<TGdipSurface*>(services->CreateSurface(3, 3, true).Get()), nullptr);
    CreateGdipServices();
    EXPECT_EQ(CurrentPlatformServices(), services);
}

TEST_F(GdipSurfaceTest, PngFilesRoundTripAndWhatIsNotOneGivesNil) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zyl_gdiplus_test_" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    auto path = [&](const char* name) {
        const std::wstring w = (folder / name).wstring();
        return std::u16string(w.begin(), w.end());
    };
    TRef<TGdipServices> services = MakeRef<TGdipServices>();
    Testing::TScopedPlatformServices current(services);
    {
        System::TFileStream seven(path("seven.png"), 0xFF00);
        seven.WriteBuffer("\x89PNG\r\n\x1a", 7);
    }
    EXPECT_FALSE(services->LoadPngFile(path("missing.png")));
    EXPECT_FALSE(services->LoadPngFile(path("")));
    EXPECT_FALSE(services->LoadPngFile(path("seven.png")));
    TRef<TPlatformSurface> s = services->CreateSurface(6, 4, true);
    Testing::FillSurface(*s, Testing::RandomPixels(6, 4, true, 3));
    ASSERT_TRUE(s->SaveToPng(path("round.png")));
    TRef<TPlatformSurface> back = services->LoadPngFile(path("round.png"));
    ASSERT_TRUE(back);
    EXPECT_NE(dynamic_cast<TGdipSurface*>(back.Get()), nullptr);
    EXPECT_EQ(back->Width(), 6);
    std::filesystem::remove_all(folder);
}

TEST_F(GdipLoad, AChainGoesOnToGdiOnlyWhenGdiplusIsUnavailable) {
    TScopedEnvVar canvas(u"ZYL_CANVAS", u"gdiplus,gdi");
    const struct {
        std::optional<std::u16string> missing;
        std::u16string active;
    } cases[] = {{u"1", u"gdi"}, {std::nullopt, u"gdiplus"}};
    for (const auto& c : cases) {
        ResetCanvasBackendState();
        ResetGdipLoadState();
        TScopedEnvVar missing(u"ZYL_GDIPLUS_MISSING", c.missing);
        RegisterGdipCanvasBackend();
        RegisterWinCanvasBackend();
        EXPECT_EQ(ActivateCanvasBackend(), c.active);
        EXPECT_EQ(dynamic_cast<TGdipServices*>(CurrentPlatformServices()) != nullptr, c.active == u"gdiplus");
        // Never in the automatic chain, available or not.
        EXPECT_EQ(BuildAutoCanvasChain().find(u"gdiplus"), std::u16string::npos);
    }
    ResetCanvasBackendState();
}

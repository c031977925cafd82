// One set of drawing scripts on the soft, gdi, gdiplus and d2d backends,
// each chosen through the canvas-backend registry as the program chooses
// it, on opaque and alpha surfaces; the results are compared by the
// script's class and written as PNG files (differential/<script>-<backend>
// [-alpha].png beside the test) for a person to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Differential.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using namespace Zyl::Testing;

namespace {

constexpr int32_t Size = 64;
constexpr int32_t White = 0xFFFFFF, Black = 0;
const std::filesystem::path OutputFolder = "differential";

// One way of running a backend: its chain and the GDI+ options it sets.
struct TBackend {
    const char* Name;
    const char16_t* Chain;
    std::optional<std::u16string> GdipAntialias;
    std::optional<std::u16string> GdipLayout;
    // Why the backend did not start, when it keeps a reason.
    std::u16string (*LastError)() = nullptr;

    bool IsGdi() const { return std::u16string_view(Chain) == u"gdi"; }
    // "gdiplus" names every way of running GDI+.
    bool Runs(std::string_view backend) const {
        const std::string_view name(Name);
        return name == backend || (name.starts_with(backend) && name[backend.size()] == '-');
    }
};

const TBackend Soft{"soft", u"soft", {}, {}};
const TBackend Gdi{"gdi", u"gdi", {}, {}};
const TBackend Gdiplus{"gdiplus", u"gdiplus", {}, {}, GetGdipLastError};
const TBackend GdiplusAliased{"gdiplus-aliased", u"gdiplus", u"0", {}, GetGdipLastError};
const TBackend GdiplusString{"gdiplus-string", u"gdiplus", {}, u"string", GetGdipLastError};
const TBackend D2D{"d2d", u"d2d", {}, {}, GetD2DLastError};

// Soft first: the exact classes compare every other backend with it.
const std::vector<const TBackend*> ShapeBackends = {&Soft, &Gdi, &Gdiplus, &GdiplusAliased, &D2D};
// GDI first: every backend but soft measures text with GDI.
const std::vector<const TBackend*> TextBackends = {&Gdi, &Gdiplus, &GdiplusString, &D2D};

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The backend chosen through the registry with the environment it needs,
// which stays set while it draws (GDI+ reads its options at each factory
// run). Services is nil when it did not start; Failure then says why.
class TBackendRun {
public:
    explicit TBackendRun(const TBackend& backend)
        : canvas_(u"ZYL_CANVAS", std::u16string(backend.Chain)), d2dMissing_(u"ZYL_D2D_MISSING", std::nullopt),
          gdipMissing_(u"ZYL_GDIPLUS_MISSING", std::nullopt), aa_(u"ZYL_GDIPLUS_AA", backend.GdipAntialias),
          smooth_(u"ZYL_GDIPLUS_SMOOTH", std::nullopt), text_(u"ZYL_GDIPLUS_TEXT", std::nullopt),
          layout_(u"ZYL_GDIPLUS_LAYOUT", backend.GdipLayout) {
        ResetCanvasBackendState();
        RegisterSoftCanvasBackend();
        RegisterWinCanvasBackend();
        RegisterGdipCanvasBackend();
        RegisterD2DCanvasBackend();
        try {
            const std::u16string active = ActivateCanvasBackend();
            if (active == backend.Chain) Services = CurrentPlatformServices();
            else Failure = "activated " + Narrow(active) + " instead";
        } catch (const System::Exception& e) {
            Failure = Narrow(e.Message);
        }
        if (!Services && backend.LastError) Failure += " (" + Narrow(backend.LastError()) + ")";
    }
    ~TBackendRun() { ResetCanvasBackendState(); }
    TBackendRun(const TBackendRun&) = delete;
    TBackendRun& operator=(const TBackendRun&) = delete;

    TRef<TPlatformServices> Services;
    std::string Failure;

private:
    TScopedEnvVar canvas_, d2dMissing_, gdipMissing_, aa_, smooth_, text_, layout_;
};

// A surface's pixels as read back: B, G, R, A in one word each.
struct TRendered {
    const TBackend* Backend = nullptr;
    std::vector<uint32_t> Pixels;
    // TwiceIsIdentity: the pattern before the two drawings.
    std::vector<uint32_t> Before;
    // SameAsNearTwin: what the near twin drew.
    std::vector<uint32_t> Twin;
    bool AreaCompared = true;
};

std::vector<uint32_t> ReadPixels(TPlatformSurface& surface) {
    std::vector<uint32_t> out(size_t(Size) * Size);
    const uint8_t* bits = surface.Bits();
    for (int32_t y = 0; y < Size; ++y)
        std::memcpy(&out[size_t(y) * Size], bits + size_t(y) * size_t(surface.Stride()), Size * 4);
    return out;
}

std::string SurfaceKind(bool alpha) { return alpha ? "alpha" : "opaque"; }

void WritePng(TPlatformSurface& surface, const std::string& name) {
    std::filesystem::create_directories(OutputFolder);
    const std::string file = (OutputFolder / name).string() + ".png";
    EXPECT_TRUE(surface.SaveToPng(std::u16string(file.begin(), file.end()))) << file;
}

// A drawing on a new surface. With `before` (TwiceIsIdentity) it goes over
// the identity pattern, which `before` receives, and is drawn twice, each
// time on a canvas of its own so that both start from the same state.
std::vector<uint32_t> Draw(const std::string& name, TPlatformServices& services, TDrawScript draw, bool alpha,
                           std::vector<uint32_t>* before) {
    TRef<TPlatformSurface> surface = services.CreateSurface(Size, Size, alpha);
    {
        TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
        if (!alpha) canvas->FillRect(0, 0, Size, Size, White);
        if (before) PaintIdentityPattern(*canvas);
    }
    if (before) *before = ReadPixels(*surface);
    draw(*surface->CreateCanvas(), services);
    WritePng(*surface, name + (alpha ? "-alpha" : ""));
    if (before) draw(*surface->CreateCanvas(), services);
    return ReadPixels(*surface);
}

TRendered Render(const TBackend& backend, TPlatformServices& services, const TScript& script, bool alpha) {
    TRendered r{&backend, {}, {}, {}, true};
    const std::string name = std::string(script.Name) + "-" + backend.Name;
    const bool twice = script.Comparison == TComparison::TwiceIsIdentity;
    r.Pixels = Draw(name, services, script.Draw, alpha, twice ? &r.Before : nullptr);
    if (script.NearTwin) r.Twin = Draw(name + "-near", services, script.NearTwin, alpha, nullptr);
    return r;
}

// GDI leaves the alpha byte alone, so only colour bytes count against it.
uint32_t SignificantBytes(const TBackend& a, const TBackend& b) {
    return a.IsGdi() || b.IsGdi() ? 0x00FFFFFFu : 0xFFFFFFFFu;
}

std::string Hex(uint32_t v) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", unsigned(v));
    return text;
}

std::string At(size_t index) {
    return "(" + std::to_string(index % Size) + ", " + std::to_string(index / Size) + ")";
}

// AllColours and SharedRules: the same bytes, named by the first pixel that differs.
void ExpectSameBytes(const std::string& what, const TRendered& a, const std::vector<uint32_t>& aPixels,
                     const TRendered& b, const std::vector<uint32_t>& bPixels) {
    const uint32_t mask = SignificantBytes(*a.Backend, *b.Backend);
    size_t first = aPixels.size(), count = 0;
    for (size_t i = 0; i < aPixels.size(); ++i)
        if ((aPixels[i] & mask) != (bPixels[i] & mask)) {
            if (first == aPixels.size()) first = i;
            ++count;
        }
    EXPECT_EQ(count, 0u) << what << ": " << a.Backend->Name << " and " << b.Backend->Name
                         << " differ first at " << At(first) << ": " << a.Backend->Name << " "
                         << Hex(aPixels[first]) << ", " << b.Backend->Name << " " << Hex(bPixels[first]) << " ("
                         << count << " pixels)";
}

// Covered: some byte that counts is at least half-way from the surface's
// background (white, or transparent on alpha surfaces); this binarises
// GDI+'s antialiased edges at 50 %.
std::vector<bool> Coverage(const TRendered& r, bool alpha) {
    const uint32_t background = alpha ? 0u : 0xFFFFFFFFu;
    const uint32_t mask = SignificantBytes(*r.Backend, *r.Backend);
    std::vector<bool> covered(r.Pixels.size());
    for (size_t i = 0; i < r.Pixels.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8) {
            if (!((mask >> shift) & 0xFF)) continue;
            const int delta = int((r.Pixels[i] >> shift) & 0xFF) - int((background >> shift) & 0xFF);
            if (std::abs(delta) >= 128) covered[i] = true;
        }
    return covered;
}

// The first covered pixel of `from` with no covered pixel of `to` within
// one pixel, or npos.
size_t FirstStray(const std::vector<bool>& from, const std::vector<bool>& to) {
    for (size_t i = 0; i < from.size(); ++i) {
        if (!from[i]) continue;
        const int x = int(i % Size), y = int(i / Size);
        bool found = false;
        for (int dy = -1; dy <= 1 && !found; ++dy)
            for (int dx = -1; dx <= 1 && !found; ++dx) {
                const int nx = x + dx, ny = y + dy;
                found = nx >= 0 && ny >= 0 && nx < Size && ny < Size && to[size_t(ny) * Size + size_t(nx)];
            }
        if (!found) return i;
    }
    return std::string::npos;
}

// Outline and Area: coverage within one pixel both ways; Area also compares
// the covered counts.
void ExpectNearCoverage(const std::string& what, const TRendered& a, const TRendered& b, bool alpha, bool area) {
    const std::vector<bool> ca = Coverage(a, alpha), cb = Coverage(b, alpha);
    const std::string pair = std::string(a.Backend->Name) + " and " + b.Backend->Name;
    for (const auto& [from, to, name] : {std::tuple{&ca, &cb, a.Backend->Name}, std::tuple{&cb, &ca, b.Backend->Name}}) {
        const size_t stray = FirstStray(*from, *to);
        EXPECT_EQ(stray, std::string::npos) << what << ": " << pair << ": " << name << " covers " << At(stray)
                                            << " with nothing of the other within one pixel";
    }
    if (!area || !a.AreaCompared || !b.AreaCompared) return;
    const auto na = std::count(ca.begin(), ca.end(), true), nb = std::count(cb.begin(), cb.end(), true);
    EXPECT_LE(std::abs(na - nb) * 100, 3 * std::max(na, nb))
        << what << ": " << pair << " cover " << na << " and " << nb << " pixels";
}

void Compare(const TScript& script, bool alpha, const std::vector<TRendered>& results) {
    const std::string what = std::string(script.Name) + " on " + SurfaceKind(alpha) + " surfaces";
    const TRendered& reference = results.front();
    switch (script.Comparison) {
    case TComparison::AllColours:
        for (size_t i = 1; i < results.size(); ++i)
            ExpectSameBytes(what, reference, reference.Pixels, results[i], results[i].Pixels);
        break;
    case TComparison::SharedRules:
        for (size_t i = 1; i < results.size(); ++i)
            if (!results[i].Backend->IsGdi())
                ExpectSameBytes(what, reference, reference.Pixels, results[i], results[i].Pixels);
        break;
    case TComparison::TwiceIsIdentity:
        for (const TRendered& r : results) ExpectSameBytes(what + " (twice against before)", r, r.Pixels, r, r.Before);
        break;
    case TComparison::Outline:
    case TComparison::Area:
        for (size_t i = 0; i < results.size(); ++i)
            for (size_t j = i + 1; j < results.size(); ++j)
                ExpectNearCoverage(what, results[i], results[j], alpha, script.Comparison == TComparison::Area);
        break;
    case TComparison::SameAsNearTwin:
        for (const TRendered& r : results) {
            TBackend twin = *r.Backend;
            twin.Name = "its near twin";
            ExpectNearCoverage(what, r, TRendered{&twin, r.Twin, {}, {}, true}, alpha, false);
        }
        break;
    }
}

class Differential : public ::testing::TestWithParam<TScript> {};

TEST_P(Differential, BackendsAgree) {
    const TScript& script = GetParam();
    const bool wine = RunningUnderWine();
    const auto applies = [&](const TLeftOut& l) { return wine || !l.OnlyUnderWine; };
    for (const TLeftOut& l : script.LeftOut)
        if (applies(l))
            std::printf("[   NOTE   ] %s left out of %s%s: %s\n", l.Backend, script.Name, l.OnlyArea ? "'s areas" : "",
                        l.Reason);
    for (const bool alpha : {false, true}) {
        std::vector<TRendered> results;
        // Left-out backends still draw, for their PNG files.
        for (const TBackend* backend : ShapeBackends) {
            TBackendRun run(*backend);
            ASSERT_TRUE(run.Services) << backend->Name << " did not start: " << run.Failure;
            TRendered r = Render(*backend, *run.Services, script, alpha);
            bool compared = true;
            for (const TLeftOut& l : script.LeftOut)
                if (applies(l) && backend->Runs(l.Backend)) {
                    if (l.OnlyArea) r.AreaCompared = false;
                    else compared = false;
                }
            if (compared) results.push_back(std::move(r));
        }
        Compare(script, alpha, results);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, Differential, ::testing::ValuesIn(DifferentialScripts()),
                         [](const ::testing::TestParamInfo<TScript>& info) { return std::string(info.param.Name); });

// ---- Text ------------------------------------------------------------------------

struct TTextCase {
    const char16_t* Face;
    int32_t Height;
    int32_t Style;
    const char16_t* Text;
    const char* Name;
};

struct TTextResult {
    int32_t Width = 0, Height = 0;
    int32_t Metrics[7] = {};
    // A quarter of the way to black counts as ink: GDI's ClearType leaves a
    // one-pixel stem ("|") lighter than half-way.
    Zyl::Testing::TInkBox Ink;
};

TTextResult MeasureAndDraw(const TBackend& backend, TPlatformServices& services, const TTextCase& text) {
    TTextResult r;
    TRef<TPlatformSurface> surface = services.CreateSurface(Size, Size, false);
    {
        TRef<TPlatformCanvas> c = surface->CreateCanvas();
        c->FillRect(0, 0, Size, Size, White);
        c->SetFont(text.Face, text.Height, text.Style, Black);
        c->SetBackground(White, true);
        c->TextExtent(text.Text, r.Width, r.Height);
        int32_t* m = r.Metrics;
        c->FontMetrics(m[0], m[1], m[2], m[3], m[4], m[5], m[6]);
        c->TextOut(2, 2, text.Text);
    }
    WritePng(*surface, std::string("text_") + text.Name + "-" + backend.Name);
    r.Ink = Zyl::Testing::InkBox(*surface);
    return r;
}

// Soft has its own fonts; the others measure with GDI, so their metrics are
// GDI's to the pixel, and their ink lands within a pixel of GDI's. Never
// compared pixel by pixel: each rasterises its glyphs its own way.
TEST(DifferentialText, MetricsEqualAndInkWithinAPixelOfGdi) {
    const TTextCase cases[] = {
        {u"Tahoma", -11, 0, u"\u00C1gil 1,5", "tahoma11"},
        {u"Tahoma", -16, FontStyleBold, u"Wy\u00E7", "tahoma16bold"},
        // Not underlined: d2d draws no underline or strike-out, and Wine's
        // GDI+ draws none either, where GDI does.
        {u"Tahoma", -13, FontStyleItalic, u"fj |", "tahoma13italic"},
    };
    for (const TTextCase& text : cases) {
        std::vector<std::pair<const TBackend*, TTextResult>> results;
        for (const TBackend* backend : TextBackends) {
            TBackendRun run(*backend);
            ASSERT_TRUE(run.Services) << backend->Name << " did not start: " << run.Failure;
            results.emplace_back(backend, MeasureAndDraw(*backend, *run.Services, text));
        }
        const TTextResult& gdi = results.front().second;
        EXPECT_GT(gdi.Ink.Right, gdi.Ink.Left) << text.Name << ": gdi drew no ink";
        for (size_t i = 1; i < results.size(); ++i) {
            const auto& [backend, r] = results[i];
            const std::string what = std::string(text.Name) + ": gdi and " + backend->Name;
            EXPECT_EQ(std::vector(r.Metrics, r.Metrics + 7), std::vector(gdi.Metrics, gdi.Metrics + 7)) << what;
            EXPECT_EQ(r.Width, gdi.Width) << what;
            EXPECT_EQ(r.Height, gdi.Height) << what;
            const std::array ink{r.Ink.Left, r.Ink.Top, r.Ink.Right, r.Ink.Bottom},
                gdiInk{gdi.Ink.Left, gdi.Ink.Top, gdi.Ink.Right, gdi.Ink.Bottom};
            for (size_t edge = 0; edge < ink.size(); ++edge)
                EXPECT_LE(std::abs(ink[edge] - gdiInk[edge]), 1)
                    << what << ": ink edge " << edge << " at " << ink[edge] << " against " << gdiInk[edge];
        }
    }
}

} // namespace

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.GdiPlus.Reset.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Test.Env.h"

using namespace Zyl;
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

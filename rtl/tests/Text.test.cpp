#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

using namespace System;

TEST(IntegerFormatting, DecimalBoundaries) {
    const struct { int64_t value; const char16_t* text; } cases[] = {
        {0, u"0"},
        {-1, u"-1"},
        {9, u"9"},
        {10, u"10"},
        {99, u"99"},
        {100, u"100"},
        {4294967295, u"4294967295"},
        {4294967296, u"4294967296"},
        {-4294967296, u"-4294967296"},
        {99999999, u"99999999"},
        {100000000, u"100000000"},
        {999999999999999999, u"999999999999999999"},
        {1000000000000000000, u"1000000000000000000"},
        {std::numeric_limits<int64_t>::max(), u"9223372036854775807"},
        {std::numeric_limits<int64_t>::min(), u"-9223372036854775808"},
    };
    for (const auto& c : cases) EXPECT_EQ(Int64ToStr(c.value), c.text) << c.value;
}

TEST(IntegerFormatting, NarrowUnsigned) {
    EXPECT_EQ(UInt64ToNarrowStr(0), "0");
    EXPECT_EQ(UInt64ToNarrowStr(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(UInt64ToNarrowStr(10000000000000000000ull), "10000000000000000000");
    EXPECT_EQ(UInt64ToNarrowDecimal(42, true), "-42");
    EXPECT_EQ(UInt64ToNarrowDecimal(0x8000000000000000ull, true), "-9223372036854775808");
}

TEST(CaseMapping, MutualPairsMapBothWays) {
    const struct { char16_t upper, lower; } pairs[] = {
        {u'A', u'a'}, {u'Z', u'z'}, {0x00C7, 0x00E7}, {0x0178, 0x00FF},
        {0x1F88, 0x1F80}, {0x0391, 0x03B1}, {0x0410, 0x0430}, {0x10A0, 0x2D00},
        {0x01C4, 0x01C6}, {0xFF21, 0xFF41},
    };
    for (const auto& p : pairs) {
        EXPECT_EQ(UpperCase(std::u16string(1, p.lower)), std::u16string(1, p.upper)) << int(p.lower);
        EXPECT_EQ(LowerCase(std::u16string(1, p.upper)), std::u16string(1, p.lower)) << int(p.upper);
    }
}

TEST(CaseMapping, NonMutualAndLaterLettersMapToThemselves) {
    const char16_t unchanged[] = {
        0x0130, 0x0131, 0x00B5, 0x017F, 0x03C2, 0x1E9E, 0x00DF,  // not mutual
        0x01C5, 0x01C8, 0x01CB, 0x01F2,                          // title-case digraphs
        0x2C7E, 0xA78D, 0x0524, 0x0525, 0x1C90, 0xAB70,          // after Unicode 5.1
        0xD800, 0xDC00, 0xDFFF, u'0', u' ',                      // surrogates, no letters
    };
    for (char16_t u : unchanged) {
        const std::u16string s(1, u);
        EXPECT_EQ(UpperCase(s), s) << std::hex << int(u);
        EXPECT_EQ(LowerCase(s), s) << std::hex << int(u);
    }
}

TEST(CaseMapping, WholeTextsUnitByUnit) {
    EXPECT_EQ(UpperCase(u"Instalação concluída"), u"INSTALAÇÃO CONCLUÍDA");
    EXPECT_EQ(LowerCase(u"ÁRVORE Ÿ"), u"árvore ÿ");
    EXPECT_EQ(UpperCase(u""), u"");
    // No final-sigma context and no expansion: ß stays one unit.
    EXPECT_EQ(LowerCase(u"ΣΑΣ"), u"σασ");
    EXPECT_EQ(UpperCase(u"straße"), u"STRAßE");
    // A surrogate pair is left alone.
    EXPECT_EQ(UpperCase(u"a\U0001F600b"), u"A\U0001F600B");
}

TEST(CaseMapping, CompareTextIgnoresCaseAndOrdersUnsigned) {
    const struct { const char16_t* a; const char16_t* b; int32_t result; } cases[] = {
        {u"", u"", 0},
        {u"Alpha", u"aLPHA", 0},
        {u"Ação", u"AÇÃO", 0},
        {u"a", u"B", -1},          // ordinal would put B first
        {u"B", u"a", 1},
        {u"ab", u"abc", -1},       // a common prefix: the shorter is smaller
        {u"abc", u"AB", 1},
        {u"z", u"\u8000", -1},     // units compare unsigned
        {u"_", u"a", -1},          // '_' lies between 'Z' and 'a'; lower-cased 'A' still follows it
        {u"_", u"A", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareText(c.a, c.b), c.result) << &c - cases;
        EXPECT_EQ(SameText(c.a, c.b), c.result == 0) << &c - cases;
    }
}

TEST(Trim, DropsControlUnitsAndBlanksAtBothEnds) {
    const struct { const char16_t* in; const char16_t* out; } cases[] = {
        {u" \t\r\n inner  text \r\n\t ", u"inner  text"},
        {u"   ", u""},
        {u"", u""},
        {u"\x01x\x1f", u"x"},
        {u"x", u"x"},
        {u"\u00A0x\u00A0", u"\u00A0x\u00A0"},  // only U+0020 and below are dropped
    };
    for (const auto& c : cases) EXPECT_EQ(Trim(c.in), c.out);
}

TEST(Latin1AndNulTerminated, Conversions) {
    const uint8_t bytes[] = {'a', 0xE9, 0xFF, 0x00, 'z'};
    EXPECT_EQ(Latin1ToString(bytes, 5), std::u16string(u"a\u00E9\u00FF") + char16_t(0) + u"z");
    EXPECT_EQ(Latin1ToString(bytes, 0), u"");
    EXPECT_EQ(Latin1ToString(bytes, -3), u"");
    EXPECT_EQ(PWideCharToString(u"abc\0def"), u"abc");
    EXPECT_EQ(PWideCharToString(u""), u"");
    EXPECT_EQ(PWideCharToString(nullptr), u"");
}

TEST(StringToGuid, ParsesTheBracedForm) {
    const TGuid g = StringToGuid(u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(g.D1, 0u);
    EXPECT_EQ(g.D2, 0u);
    EXPECT_EQ(g.D3, 0u);
    const uint8_t d4[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(g.D4[i], d4[i]) << i;

    const TGuid h = StringToGuid(u"{01234567-89ab-CDEF-fedc-BA9876543210}");
    EXPECT_EQ(h.D1, 0x01234567u);
    EXPECT_EQ(h.D2, 0x89ABu);
    EXPECT_EQ(h.D3, 0xCDEFu);
    const uint8_t hd4[8] = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(h.D4[i], hd4[i]) << i;
}

TEST(StringToGuid, RejectsMalformedTextsWithTheWholeTextQuoted) {
    const char16_t* bad[] = {
        u"00000000-0000-0000-C000-000000000046",     // no braces
        u"{00000000-0000-0000-C000-00000000004}",    // one digit short
        u"{00000000-0000-0000-C000-0000000000460}",  // one too long
        u"(00000000-0000-0000-C000-000000000046)",   // wrong brackets
        u"{00000000+0000-0000-C000-000000000046}",   // misplaced hyphen
        u"{0000000G-0000-0000-C000-000000000046}",   // non-hex in the first field
        u"{00000000-0000-0000-C000-00000000004x}",   // non-hex in the last byte
        u"{00000000-0000-0000-C0 0-000000000046}",   // blank inside a byte
        u"",
    };
    for (const char16_t* text : bad) {
        try {
            StringToGuid(text);
            ADD_FAILURE() << "accepted a malformed GUID";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, u"\"" + std::u16string(text) + u"\" nao e um GUID valido");
        }
    }
}

TEST(RoundHalfAway, RoundsHalvesAwayFromZeroExactly) {
    const struct { double in, out; } cases[] = {
        {2.5, 3}, {-2.5, -3}, {2.4999, 2}, {-2.4999, -2}, {0.5, 1}, {-0.5, -1},
        {0.49999999999999994, 0}, {-0.49999999999999994, 0},
        {4503599627370497.0, 4503599627370497.0}, {-4503599627370497.0, -4503599627370497.0},
        {1e300, 1e300}, {7, 7},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundHalfAway(c.in), c.out) << c.in;

    const double negZero = RoundHalfAway(-0.4);
    EXPECT_EQ(negZero, 0.0);
    EXPECT_TRUE(std::signbit(negZero));
    EXPECT_FALSE(std::signbit(RoundHalfAway(0.4)));
    EXPECT_TRUE(std::isinf(RoundHalfAway(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(RoundHalfAway(std::nan(""))));
}

TEST(SinCos, FollowTheProcessorInstructions) {
    EXPECT_NEAR(Sin(std::numbers::pi / 6), 0.5, 1e-15);
    EXPECT_NEAR(Cos(std::numbers::pi / 3), 0.5, 1e-15);
    EXPECT_EQ(Sin(0.0), 0.0);
    EXPECT_EQ(Cos(0.0), 1.0);
    // Out of the instructions' range the argument comes back as it is.
    const double huge = std::ldexp(1.0, 63);
    EXPECT_EQ(Sin(huge), huge);
    EXPECT_EQ(Cos(-huge * 4), -huge * 4);
}

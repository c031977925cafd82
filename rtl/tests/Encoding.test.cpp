#include <gtest/gtest.h>

#include <thread>

#include "System.Remainder.Encoding.h"
#include "System.Remainder.Exceptions.h"

using namespace System;

namespace {

TBytes Utf8Of(std::u16string_view text) {
    return GetUtf8Encoding()->GetBytes(text);
}

std::u16string DecodedOf(const TBytes& bytes) {
    return GetUtf8Encoding()->GetUString(bytes);
}

} // namespace

TEST(Encoding, EncodesUtf8WithLoneSurrogatesReplaced) {
    const struct { std::u16string text; TBytes bytes; } cases[] = {
        {u"", {}},
        {u"A", {0x41}},
        {u"\u00E9", {0xC3, 0xA9}},
        {u"\u07FF", {0xDF, 0xBF}},
        {u"\u0800", {0xE0, 0xA0, 0x80}},
        {u"\u20AC", {0xE2, 0x82, 0xAC}},
        {u"\uFFFF", {0xEF, 0xBF, 0xBF}},
        {u"\xD83D\xDE00", {0xF0, 0x9F, 0x98, 0x80}},
        {u"\xDBFF\xDFFF", {0xF4, 0x8F, 0xBF, 0xBF}},
        {u"\xD83D", {0xEF, 0xBF, 0xBD}},
        {u"\xD83D" u"A", {0xEF, 0xBF, 0xBD, 0x41}},
        {u"\xDE00", {0xEF, 0xBF, 0xBD}},
        {u"\xDE00\xD83D", {0xEF, 0xBF, 0xBD, 0xEF, 0xBF, 0xBD}},
        // A non-ASCII unit right after and inside the block-copied ASCII runs.
        {u"0123456789abcdef\u00E9", {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
                                     'a', 'b', 'c', 'd', 'e', 'f', 0xC3, 0xA9}},
        {u"0123\u00E9" u"56789abcdefgh", {'0', '1', '2', '3', 0xC3, 0xA9, '5', '6', '7', '8', '9',
                                          'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8Of(c.text), c.bytes) << testing::PrintToString(c.bytes);
    EXPECT_TRUE(GetUtf8Encoding()->GetBytes(nullptr, 5).empty());
    EXPECT_TRUE(GetUtf8Encoding()->GetBytes(u"abc", -1).empty());
}

TEST(Encoding, DecodesUtf8DroppingMalformedSequences) {
    const struct { TBytes bytes; std::u16string text; } cases[] = {
        {{0xEF, 0xBB, 0xBF, 0x41}, u"A"},
        {{0xEF, 0xBB, 0xBF}, u""},
        {{0x41, 0xEF, 0xBB, 0xBF}, u"A\uFEFF"},  // only a leading preamble is skipped
        {{0x41, 0x80, 0x42}, u"AB"},
        {{0xC3}, u""},
        {{0xC3, 0xA9}, u"\u00E9"},
        {{0xC2, 0x80}, u"\u0080"},
        {{0xE2, 0x82, 0x41}, u"A"},
        {{0xE2, 0x41}, u"A"},
        {{0xE2, 0x82}, u""},
        {{0xF0, 0x9F, 0x98, 0x80}, u"\xD83D\xDE00"},
        {{0xF0, 0x9F, 0x98}, u""},
        {{0xF0, 0x9F, 0x41}, u"A"},
        {{0xF4, 0x8F, 0xBF, 0xBF}, u"\xDBFF\xDFFF"},
        {{0xE0, 0xA0, 0x80}, u"\u0800"},
        {{0xED, 0x9F, 0xBF}, u"\uD7FF"},
        {{0xEE, 0x80, 0x80}, u"\uE000"},
        {{0xFF, 0xFE, 0x41, 0x00}, std::u16string(u"A\0", 2)},
        // Overlong forms, encoded surrogates and values past U+10FFFF.
        {{0xC0, 0xAF}, u""},
        {{0xC0, 0xAE, 0xC0, 0xAE}, u""},
        {{0xC1, 0xBF, 0x41}, u"A"},
        {{0xE0, 0x80, 0x80}, u""},
        {{0xE0, 0x9F, 0xBF, 0x41}, u"A"},
        {{0xF0, 0x80, 0x80, 0x80}, u""},
        {{0xF0, 0x8F, 0xBF, 0xBF}, u""},
        {{0xED, 0xA0, 0x80}, u""},
        {{0xED, 0xBF, 0xBF, 0x2E}, u"."},
        {{0xF4, 0x90, 0x80, 0x80}, u""},
        {{0xF5, 0x80, 0x80, 0x80}, u""},
        {{0xF8, 0x88, 0x80, 0x80, 0x80}, u""},
        {{'a', '/', 0xC0, 0xAE, 0xC0, 0xAE, '/', 'b'}, u"a//b"},
        // A broken sequence right after a block-scanned ASCII run.
        {{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f', 0xC3, 'g'},
         u"0123456789abcdefg"},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodedOf(c.bytes), c.text) << testing::PrintToString(c.bytes);
    EXPECT_TRUE(GetUtf8Encoding()->GetUString(nullptr, 3).empty());
}

TEST(Encoding, RoundTripsEveryCodePoint) {
    std::u16string bmp;
    for (char32_t cp = 0; cp <= 0xFFFF; ++cp)
        if (cp < 0xD800 || cp > 0xDFFF) bmp += char16_t(cp);
    const TBytes bytes = Utf8Of(bmp);
    EXPECT_EQ(bytes.size(), 0x80 * 1 + 0x780 * 2 + (0x10000 - 0x800 - 0x800) * 3u);
    EXPECT_EQ(DecodedOf(bytes), bmp);

    std::u16string astral;
    for (char32_t cp = 0x10000; cp <= 0x10FFFF; ++cp) {
        astral += char16_t(0xD800 + ((cp - 0x10000) >> 10));
        astral += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    const TBytes astralBytes = Utf8Of(astral);
    EXPECT_EQ(astralBytes.size(), 0x100000 * 4u);
    EXPECT_EQ(DecodedOf(astralBytes), astral);
}

TEST(Encoding, NarrowTextIsReadAsLatin1) {
    const char text[] = "a\xE9\xFF";
    EXPECT_EQ(GetUtf8Encoding()->GetBytesNarrow(text, 3), (TBytes{0x61, 0xC3, 0xA9, 0xC3, 0xBF}));
    EXPECT_TRUE(GetUtf8Encoding()->GetBytesNarrow(text, 0).empty());
}

TEST(Encoding, PreambleAndTheAbstractBase) {
    EXPECT_EQ(GetUtf8Encoding()->GetPreamble(), (TBytes{0xEF, 0xBB, 0xBF}));
    const TRef<TEncoding> base = MakeRef<TEncoding>();
    EXPECT_TRUE(base->GetPreamble().empty());
    try {
        base->GetBytes(u"x");
        FAIL();
    } catch (const EAbstractError& e) {
        EXPECT_EQ(e.Message, u"O método \"GetBytes\" da classe \"TEncoding\" não foi implementado");
    }
    try {
        base->GetUString(TBytes{0x41});
        FAIL();
    } catch (const EAbstractError& e) {
        EXPECT_EQ(e.Message, u"O método \"GetUString\" da classe \"TEncoding\" não foi implementado");
    }
    // Narrow text goes through the object's own GetBytes.
    EXPECT_THROW(base->GetBytesNarrow("a", 1), EAbstractError);
}

TEST(Encoding, OneSharedInstanceAcrossThreads) {
    TEncodingUtf8* seen[2] = {};
    std::thread a([&] { seen[0] = GetUtf8Encoding().Get(); });
    std::thread b([&] { seen[1] = GetUtf8Encoding().Get(); });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], GetUtf8Encoding().Get());
}

TEST(Encoding, ExceptionTextIsTheMessageInUtf8) {
    EXPECT_STREQ(EListError(u"a\u00E9\xD800").what(), "a\xC3\xA9\xEF\xBF\xBD");
}

TEST(StringBuilder, GrowsInItsStepsAndKeepsTheText) {
    const int64_t steps[] = {4, 8, 12, 28, 44, 60, 76, 114, 171, 256};
    int64_t capacity = 0;
    for (int64_t expected : steps) {
        capacity = TUStrBuilder::GrownCapacity(capacity, capacity + 1);
        EXPECT_EQ(capacity, expected);
    }

    TUStrBuilder builder;
    EXPECT_EQ(builder.ToUString(), u"");
    builder.Append(u"");
    EXPECT_EQ(builder.Buffer.size(), 0u);
    builder.Append(u"abcde");
    EXPECT_EQ(builder.Buffer.size(), 8u);
    EXPECT_EQ(builder.Length, 5);
    builder.Append(u"fghijklmnopqrstuvwxyz");  // 26 units: 8 -> 12 -> 28
    EXPECT_EQ(builder.Buffer.size(), 28u);
    EXPECT_EQ(builder.ToUString(), u"abcdefghijklmnopqrstuvwxyz");
}

TEST(StringBuilder, OverflowingGrowthIsOutOfMemory) {
    EXPECT_THROW(TUStrBuilder::GrownCapacity(INT64_MAX / 3 + 1, INT64_MAX), EOutOfMemory);
    TUStrBuilder builder;
    builder.Length = INT64_MAX - 2;
    try {
        builder.Append(u"abc");
        FAIL();
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message, u"Sem memória");
    }
    builder.Length = INT64_MAX - 10;  // the sum fits, the capacity cannot reach it
    EXPECT_THROW(builder.Append(u"abc"), EOutOfMemory);
    EXPECT_EQ(builder.Buffer.size(), 0u);
}

TEST(StringBuilder, CharBufferGivesItsUsedUnits) {
    CharBuffer buffer{{u'a', u'b', u'c', u'd'}, 3};
    EXPECT_EQ(CharBufferToString(buffer), u"abc");
    buffer.Count = 0;
    EXPECT_EQ(CharBufferToString(buffer), u"");
    buffer.Count = 9;  // never past the array
    EXPECT_EQ(CharBufferToString(buffer), u"abcd");
    EXPECT_EQ(CharBufferToString(CharBuffer{}), u"");
}

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "KS.Sys.Text.h"

using namespace KS;

TEST(CaseFolding, OnlyAsciiLettersFold) {
    EXPECT_EQ(AsciiUpperCase(u"ação Ä ß z"), u"AçãO Ä ß Z");
    EXPECT_EQ(AsciiLowerCase(u"AÇÃO Z1"), u"aÇÃo z1");

    const struct { const char16_t *a, *b; bool equal; } cases[] = {
        {u"Setup", u"SETUP", true},
        {u"", u"", true},
        {u"Ä", u"ä", false},
        {u"Ação", u"aÇão", false},
        {u"Ação", u"AçãO", true},
        {u"Tasks", u"Task", false},
        {u"@", u"`", false},  // neighbours of A and a that must not fold
        {u"[", u"{", false},
    };
    for (const auto& c : cases) EXPECT_EQ(EqualsIgnoreCase(c.a, c.b), c.equal) << c.equal;
}

TEST(CaseFolding, Prefixes) {
    const struct { const char16_t *text, *prefix; bool exact, ignoringCase; } cases[] = {
        {u"/KSETUPPHASE2=x", u"/KSETUP", true, true},
        {u"/ksetupphase2=x", u"/KSETUP", false, true},
        {u"abc", u"", true, true},
        {u"", u"", true, true},
        {u"ab", u"abc", false, false},
        {u"Ábc", u"ábc", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasPrefix(c.text, c.prefix), c.exact);
        EXPECT_EQ(HasPrefixIgnoreCase(c.text, c.prefix), c.ignoringCase);
    }
}

TEST(CaseFolding, FindIgnoreCaseGivesTheFirstMatch) {
    const TStringArray words{u"nowait", u"PostInstall", u"postinstall"};
    EXPECT_EQ(FindIgnoreCase(words, u"POSTINSTALL"), 1);
    EXPECT_EQ(FindIgnoreCase(words, u"nowai"), -1);
    EXPECT_EQ(FindIgnoreCase({}, u""), -1);
    EXPECT_EQ(FindIgnoreCase({u"a", u""}, u""), 1);
}

TEST(Wildcards, MatchWholeNamesIgnoringAsciiCase) {
    const struct { const char16_t *name, *mask; bool match; } cases[] = {
        {u"setup.EXE", u"*.exe", true},
        {u"a.txt", u"?.txt", true},
        {u"ab.txt", u"?.txt", false},
        {u"", u"*", true},
        {u"", u"**", true},
        {u"", u"?", false},
        {u"abc", u"", false},
        {u"", u"", true},
        {u"abc", u"a*c*", true},
        {u"abc", u"a*b", false},
        // Backtracking: the first candidate for the text after "*" is wrong.
        {u"abcabd", u"*abd", true},
        {u"mississippi", u"m*iss*ppi", true},
        {u"mississippi", u"m*iss*ppix", false},
        {u"aXbXbXc", u"a*b?c", true},
        {u"readme.txt.bak", u"*.txt", false},
        {u"ÁGUA.txt", u"água.*", false},  // accented letters do not fold
        // A "*" in the name is first taken as an ordinary unit of the mask.
        {u"*ab", u"*b", false},
        {u"*b", u"*b", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WildcardMatch(c.name, c.mask), c.match) << "case " << &c - cases;
}

TEST(Cutting, SubstringClampsStartAndCount) {
    const struct { int64_t start, count; const char16_t* result; } cases[] = {
        {-5, 2, u"ab"},
        {3, 1, u""},
        {1, 100, u"bc"},
        {0, 0, u""},
        {1, -1, u""},
        {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), u"abc"},
        {2, std::numeric_limits<int64_t>::max(), u"c"},
    };
    for (const auto& c : cases) EXPECT_EQ(Substring(u"abc", c.start, c.count), c.result) << c.start;
    EXPECT_EQ(SubstringFrom(u"abc", 1), u"bc");
    EXPECT_EQ(SubstringFrom(u"abc", 9), u"");
    EXPECT_EQ(SubstringFrom(u"", -1), u"");
}

TEST(Cutting, TrimTextDropsControlUnitsAndBlanks) {
    EXPECT_EQ(TrimText(u"\t\r\n \x01 a b \x1F\x20"), u"a b");
    EXPECT_EQ(TrimText(u"\u00A0x\u00A0"), u"\u00A0x\u00A0");
    EXPECT_EQ(TrimText(u" \t "), u"");
}

TEST(Cutting, ReplaceAllIsLeftToRightAndNonOverlapping) {
    const struct { const char16_t *text, *search, *replacement, *result; } cases[] = {
        {u"a/b/c", u"/", u"\\", u"a\\b\\c"},
        {u"aaa", u"aa", u"b", u"ba"},
        {u"{app}{APP}", u"{app}", u"C:\\X", u"C:\\X{APP}"},
        {u"xyx", u"x", u"", u"y"},
        {u"abc", u"", u"z", u"abc"},
        {u"abc", u"d", u"z", u"abc"},
        {u"", u"a", u"z", u""},
        {u"abab", u"ab", u"abab", u"abababab"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceAll(c.text, c.search, c.replacement), c.result);

    const std::u16string many(5000, u'/');
    EXPECT_EQ(ReplaceAll(many, u"/", u"<->"), [] {
        std::u16string s;
        for (int i = 0; i < 5000; ++i) s += u"<->";
        return s;
    }());
}

TEST(Cutting, UnchangedResultsReuseTheArgument) {
    const std::u16string longText(300, u'a');
    std::u16string text = longText;
    const char16_t* buffer = text.data();
    text = ReplaceAll(std::move(text), u"b", u"c");
    EXPECT_EQ(text.data(), buffer);
    text = AddTrailingBackslash(std::move(text) + u'\\');
    buffer = text.data();
    text = AddTrailingBackslash(std::move(text));
    EXPECT_EQ(text.data(), buffer);
    text = NameOfPath(longText);
    buffer = text.data();
    EXPECT_EQ(NameOfPath(std::move(text)).data(), buffer);
}

TEST(Splitting, SplitByCharKeepsEmptyPieces) {
    EXPECT_EQ(SplitByChar(u"a..b", u'.'), (TStringArray{u"a", u"", u"b"}));
    EXPECT_EQ(SplitByChar(u"", u'.'), (TStringArray{u""}));
    EXPECT_EQ(SplitByChar(u"|", u'|'), (TStringArray{u"", u""}));
    EXPECT_EQ(SplitByChar(u"F|C:\\x|", u'|'), (TStringArray{u"F", u"C:\\x", u""}));
}

TEST(Splitting, SplitLinesAtEveryKindOfLineEnd) {
    const struct { const char16_t* text; TStringArray lines; } cases[] = {
        {u"a\r\n\r\nb\n", {u"a", u"", u"b"}},
        {u"\n", {u""}},
        {u"", {}},
        {u"a\n\nb", {u"a", u"", u"b"}},
        {u"a\rb\r\nc\n\rd", {u"a", u"b", u"c", u"", u"d"}},
        {u"\r\r\n", {u"", u""}},
        {u"x", {u"x"}},
        {u"x\r", {u"x"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines);
}

TEST(Paths, DirOfPath) {
    const struct { const char16_t *path, *dir; } cases[] = {
        {u"C:\\Data\\File.txt", u"C:\\Data"},
        {u"C:\\x", u"C:\\"},
        {u"C:\\", u"C:\\"},
        {u"C:/x", u"C:/"},
        {u"x", u""},
        {u"", u""},
        {u"\\File", u""},
        {u"a/b\\c", u"a/b"},
        {u"a\\b/c", u"a\\b"},
        {u"ab\\c", u"ab"},  // separator at position 2 without a drive colon
        {u"\\\\server\\share", u"\\\\server"},
    };
    for (const auto& c : cases) EXPECT_EQ(DirOfPath(c.path), c.dir);
}

TEST(Paths, NameSlashesAndTrailingBackslashes) {
    EXPECT_EQ(NameOfPath(u"C:\\Data\\File.txt"), u"File.txt");
    EXPECT_EQ(NameOfPath(u"a\\b/c"), u"c");
    EXPECT_EQ(NameOfPath(u"C:\\Data\\"), u"");
    EXPECT_EQ(NameOfPath(u"plain"), u"plain");
    EXPECT_EQ(NormalizeSlashes(u"C:/a//b\\c/"), u"C:\\a\\\\b\\c\\");

    EXPECT_EQ(AddTrailingBackslash(u""), u"");
    EXPECT_EQ(AddTrailingBackslash(u"C:/x/"), u"C:/x/\\");
    EXPECT_EQ(AddTrailingBackslash(u"C:\\x"), u"C:\\x\\");
    EXPECT_EQ(AddTrailingBackslash(u"C:\\x\\"), u"C:\\x\\");

    const struct { const char16_t *path, *stripped; } cases[] = {
        {u"C:\\", u"C:\\"},
        {u"C:\\Data\\\\", u"C:\\Data"},
        {u"\\\\\\\\", u"\\\\\\"},
        {u"\\\\\\\\\\\\", u"\\\\\\"},
        {u"ab\\", u"ab\\"},
        {u"C:\\Data/", u"C:\\Data/"},
        {u"", u""},
    };
    for (const auto& c : cases) EXPECT_EQ(StripTrailingBackslashes(c.path), c.stripped);
}

TEST(Paths, CombinePath) {
    const struct { const char16_t *folder, *name, *result; } cases[] = {
        {u"C:\\A\\", u"\\B", u"C:\\A\\B"},
        {u"C:\\A", u"B", u"C:\\A\\B"},
        {u"C:\\A", u"\\\\B", u"C:\\A\\\\B"},  // only one leading backslash goes
        {u"C:\\A", u"/B", u"C:\\A\\/B"},
        {u"", u"B", u"B"},
        {u"", u"\\B", u"\\B"},
        {u"C:\\A", u"", u"C:\\A"},
        {u"C:\\A", u"\\", u"C:\\A\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(CombinePath(c.folder, c.name), c.result);
}

TEST(Paths, SafeKeyNameReplacesUnitForUnit) {
    const struct { const char16_t *text, *key; } cases[] = {
        {u"{0-A.b_c}", u"{0-A.b_c}"},
        {u"{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}", u"{3D7A91C4-58E2-4B06-A1F3-7C9E2B04D6A5}"},
        {u"Meu App 2.0", u"Meu_App_2.0"},
        {u"ação", u"a__o"},
        {u"..\\..\\Run", u".._.._Run"},
        {u"", u"_"},
        {u"\U0001F600", u"__"},  // a surrogate pair is two units
    };
    for (const auto& c : cases) EXPECT_EQ(SafeKeyName(c.text), c.key);
}

TEST(Numbers, TryParseInt64) {
    const struct { const char16_t* text; bool ok; int64_t value; } cases[] = {
        {u"42", true, 42},
        {u" -7 ", true, -7},
        {u"$FF", true, 255},
        {u"0xff", true, 255},
        {u"0x1f", true, 31},
        {u"-0x10", true, -16},
        {u"-$a", true, -10},
        {u"0", true, 0},
        {u"007", true, 7},
        {u"9223372036854775807", true, std::numeric_limits<int64_t>::max()},
        {u"-9223372036854775808", true, std::numeric_limits<int64_t>::min()},
        {u"9223372036854775808", true, std::numeric_limits<int64_t>::min()},
        {u"18446744073709551617", true, 1},  // wraps modulo 2^64
        {u"0xFFFFFFFFFFFFFFFF", true, -1},
        {u"0x10000000000000001", true, 1},
        {u"12a", false, 12},
        {u"-12a", false, 12},  // the digits read so far, not negated
        {u"0x", false, 0},
        {u"$", false, 0},
        {u"-", false, 0},
        {u"", false, 0},
        {u"   ", false, 0},
        {u"+5", false, 0},
        {u"1 2", false, 1},
        {u"--1", false, 0},
        {u"$-5", false, 0},
        {u"0x0x1", false, 0},
        {u"\uFF11", false, 0},  // a full-width digit is no digit
    };
    for (const auto& c : cases) {
        int64_t value = 99;
        EXPECT_EQ(TryParseInt64(c.text, value), c.ok) << c.value;
        EXPECT_EQ(value, c.value) << c.value;
    }
}

TEST(Numbers, FormatByteSizeTruncatesOneDecimal) {
    constexpr int64_t GiB = 1073741824;
    const struct { int64_t count; const char16_t* text; } cases[] = {
        {0, u"0 bytes"},
        {1023, u"1023 bytes"},
        {-5000, u"-5000 bytes"},
        {1024, u"1,0 KB"},
        {1535, u"1,4 KB"},
        {1536, u"1,5 KB"},
        {1048575, u"1023,9 KB"},
        {1048576, u"1,0 MB"},
        {1572864, u"1,5 MB"},
        {0x3FFFFFFF, u"1023,9 MB"},
        {GiB, u"1,0 GB"},
        {5 * GiB, u"5,0 GB"},
        {5 * GiB + 966367641, u"5,8 GB"},  // 5.8999999995 GiB
        {5 * GiB + 966367642, u"5,9 GB"},
        // Counts whose ten-fold would overflow still give their true digit.
        {std::numeric_limits<int64_t>::max(), u"8589934591,9 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatByteSize(c.count), c.text) << c.count;
}

TEST(Numbers, FormatThousandsAndPadTwoDigits) {
    const struct { int64_t value; const char16_t* text; } cases[] = {
        {0, u"0"},
        {999, u"999"},
        {1000, u"1.000"},
        {100000, u"100.000"},
        {1234567, u"1.234.567"},
        {std::numeric_limits<int64_t>::max(), u"9.223.372.036.854.775.807"},
        {-1234, u"-1234"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.value), c.text) << c.value;

    EXPECT_EQ(PadTwoDigits(7), u"07");
    EXPECT_EQ(PadTwoDigits(0), u"00");
    EXPECT_EQ(PadTwoDigits(12), u"12");
    EXPECT_EQ(PadTwoDigits(-3), u"-3");
}

TEST(Bytes, StringToUtf8Bytes) {
    EXPECT_EQ(StringToUtf8Bytes(u"ação"), (System::TBytes{'a', 0xC3, 0xA7, 0xC3, 0xA3, 'o'}));
    EXPECT_EQ(StringToUtf8Bytes(u"\U0001F600"), (System::TBytes{0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(StringToUtf8Bytes(std::u16string(1, char16_t(0xD800))), (System::TBytes{0xEF, 0xBF, 0xBD}));
    EXPECT_TRUE(StringToUtf8Bytes(u"").empty());
}

TEST(Bytes, DecodeUtf8) {
    const System::TBytes bytes = {'a', 0xC3, 0xA7, 0xC0, 0xAE, 'o'};
    EXPECT_EQ(DecodeUtf8(bytes.data(), ptrdiff_t(bytes.size())), u"aço");  // overlong dot dropped
    EXPECT_EQ(DecodeUtf8(bytes.data(), 0), u"");
    EXPECT_EQ(DecodeUtf8(bytes.data(), -1), u"");
    EXPECT_EQ(DecodeUtf8(nullptr, 4), u"");
}

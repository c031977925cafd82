#include <gtest/gtest.h>

#include "KS.Online.Check.h"
#include "TestSupport.h"

using namespace KS;

TEST(CatalogNames, OnlyPlainRelativePathsPass) {
    const struct { const char16_t* name; bool safe; } cases[] = {
        {u"bin/ostrel.exe", true},
        {u"bin\\ostrel.exe", true},
        {u"fontes/Ação ç.ttf", true},
        {u"a.b/c..d/e...txt", true},
        {u".config", true},
        {u"", false},
        {u"../evil.dll", false},
        {u"bin/../../evil.dll", false},
        {u"bin\\..\\evil.dll", false},
        {u"bin/.../evil.dll", false},    // Windows trims trailing dots: "..." climbs too
        {u"bin/. ./evil.dll", false},
        {u"bin/./evil.dll", false},
        {u"..", false},
        {u"/etc/passwd", false},
        {u"\\Windows\\evil.dll", false},
        {u"\\\\server\\share\\x", false},
        {u"C:\\Windows\\evil.dll", false},
        {u"C:evil.dll", false},
        {u"file.txt:stream", false},
        {u"a|b.txt", false},
        {u"a\r\nF|C:\\Windows\\x.dll", false},  // a new journal line
        {u"tab\there", false},
        {u"del\x7F", false},
        {u"bin//x.dll", false},
        {u"bin/", false},
        {u"what?.txt", false},
        {u"star*.txt", false},
        {u"<x>.txt", false},
        {u"\"q\".txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeRelativeName(c.name), c.safe) << KsTest::Narrow(c.name);
}

TEST(CatalogNames, RootsMustBeAbsoluteAndPlain) {
    const struct { const char16_t* root; bool safe; } cases[] = {
        {u"C:\\Program Files\\Ostrel\\Bin", true},
        {u"d:\\x\\", true},
        {u"C:\\", true},
        {u"\\\\server\\share\\Ostrel", true},
        {u"", false},
        {u"Ostrel\\Bin", false},
        {u"\\Ostrel\\Bin", false},
        {u"C:Ostrel", false},
        {u"1:\\x", false},
        {u"C:\\Program Files\\Ostrel\\..\\..\\Windows", false},
        {u"C:\\x\\y|z", false},
        {u"C:\\x\ny", false},
        {u"C:\\x\\y:z", false},
        {u"\\\\server", false},
        {u"\\\\server\\", false},
        {u"\\\\?\\C:\\x", false},
        {u"\\\\.\\pipe\\x", false},
        {u"%ProgramFiles%\\Ostrel", false},  // never expanded: not absolute
    };
    for (const auto& c : cases) EXPECT_EQ(IsSafeRootFolder(c.root), c.safe) << KsTest::Narrow(c.root);
}

TEST(CatalogEntries, DigestsAreCanonicalBase64OfThirtyTwoBytes) {
    const std::u16string empty = u"47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    EXPECT_TRUE(IsDigestText(empty));
    EXPECT_TRUE(IsDigestText(u"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="));
    EXPECT_FALSE(IsDigestText(u""));
    EXPECT_FALSE(IsDigestText(empty.substr(0, 43)));                  // no padding
    EXPECT_FALSE(IsDigestText(empty + u"="));
    EXPECT_FALSE(IsDigestText(u"47DEQpj8HBSa-_TImW-5JCeuQeRkm5NMpJWZG3hSuFU="));  // URL alphabet
    EXPECT_FALSE(IsDigestText(u"47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFV="));  // padding bits set
    EXPECT_FALSE(IsDigestText(u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
}

TEST(CatalogEntries, SizesMustBePossible) {
    EXPECT_TRUE(IsPossibleFileSize(0));
    EXPECT_TRUE(IsPossibleFileSize(kMaxCatalogFileSize));
    EXPECT_FALSE(IsPossibleFileSize(-1));
    EXPECT_FALSE(IsPossibleFileSize(kMaxCatalogFileSize + 1));
    EXPECT_TRUE(IsPossibleZSize(8));  // the zlib stream of no bytes
    EXPECT_FALSE(IsPossibleZSize(7));
    EXPECT_FALSE(IsPossibleZSize(0));
    EXPECT_FALSE(IsPossibleZSize(-8));
    EXPECT_FALSE(IsPossibleZSize(INT64_MAX));
}

TEST(CatalogEntries, PrintableTextHidesControlCharacters) {
    EXPECT_EQ(PrintableText(u"a\r\nF|b\x7F\tç"), u"a??F|b??ç");
}

TEST(CatalogNames, PathsCompareAsWindowsFindsThem) {
    const struct { const char16_t* a; const char16_t* b; bool same; } cases[] = {
        {u"C:\\App\\Lib\\a.dll", u"c:/app/lib/A.DLL", true},
        {u"C:\\App\\Ação.txt", u"C:\\APP\\AÇÃO.TXT", true},
        {u"C:\\App\\ΣΟΦΙΑ", u"C:\\App\\σοφια", true},
        {u"C:\\App\\a.txt. .", u"C:\\App\\a.txt", true},
        {u"C:\\App. \\a.txt", u"C:\\App\\a.txt", true},
        {u"C:\\App\\a.txt", u"C:\\App\\á.txt", false},
        {u"C:\\App\\ß", u"C:\\App\\SS", false},
        {u"C:\\App\\a.txt", u"C:\\App\\.a.txt", false},
        {u"C:\\App\\a\\b", u"C:\\App\\a b", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathCompareKey(c.a) == PathCompareKey(c.b), c.same)
            << KsTest::Narrow(c.a) << " / " << KsTest::Narrow(c.b);
}

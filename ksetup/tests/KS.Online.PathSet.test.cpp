#include <gtest/gtest.h>

#include "KS.Online.PathSet.h"

using namespace KS;
using System::MakeRef;

TEST(PathSet, NewSetIsEmpty) {
    auto set = MakeRef<TPathSet>();
    EXPECT_EQ(set->Buckets.size(), 200003u);
    EXPECT_EQ(set->Count(), 0);
    EXPECT_FALSE(set->Contains(u""));
    EXPECT_FALSE(set->Contains(u"C:\\x"));
}

TEST(PathSet, FindsPathsWhateverTheAsciiCase) {
    auto set = MakeRef<TPathSet>();
    set->Add(u"C:\\Ostrel\\Bin\\Ostrel.EXE");
    set->Add(u"C:\\Ostrel\\Fontes\\AÇÃO.ttf");
    EXPECT_TRUE(set->Contains(u"c:\\ostrel\\bin\\ostrel.exe"));
    EXPECT_TRUE(set->Contains(u"C:\\OSTREL\\BIN\\OSTREL.EXE"));
    EXPECT_TRUE(set->Contains(u"c:\\ostrel\\fontes\\aÇÃo.ttf"));
    EXPECT_FALSE(set->Contains(u"c:\\ostrel\\fontes\\ação.ttf"));  // accents do not fold
    EXPECT_FALSE(set->Contains(u"C:\\Ostrel\\Bin"));
    EXPECT_EQ(set->Paths[0], u"c:\\ostrel\\bin\\ostrel.exe");
}

TEST(PathSet, HashIsTheFixedPolynomial) {
    EXPECT_EQ(PathSetHash(u""), 7u);
    EXPECT_EQ(PathSetHash(u"a"), (7u * 131 + 97) % 200003);
    EXPECT_EQ(PathSetHash(u"ab"), ((7u * 131 + 97) % 200003 * 131 + 98) % 200003);
    EXPECT_LT(PathSetHash(std::u16string(1000, u'\xFFFF')), 200003u);
}

TEST(PathSet, CollidingPathsShareABucketAndAreAllFound) {
    // Two-unit texts xy and x'y' collide when 131x + y = 131x' + y'.
    const std::u16string a = {u'b', u'a'}, b = {u'a', char16_t(u'a' + 131)};
    ASSERT_EQ(PathSetHash(a), PathSetHash(b));
    auto set = MakeRef<TPathSet>();
    set->Add(a);
    EXPECT_FALSE(set->Contains(b));
    set->Add(b);
    set->Add(a);  // stored twice
    EXPECT_EQ(set->Count(), 3);
    EXPECT_TRUE(set->Contains(a));
    EXPECT_TRUE(set->Contains(b));
    const uint32_t bucket = PathSetHash(a);
    EXPECT_EQ(set->Buckets[bucket], 3);
    EXPECT_EQ(set->Next[2], 2);
    EXPECT_EQ(set->Next[1], 1);
    EXPECT_EQ(set->Next[0], 0);
}

TEST(PathSet, ManyPathsAllFound) {
    const auto path = [](int i) {
        const std::string digits = std::to_string(i);
        return u"C:\\Ostrel\\Bin\\f" + std::u16string(digits.begin(), digits.end()) + u".dll";
    };
    auto set = MakeRef<TPathSet>();
    for (int i = 0; i < 50000; i += 2) set->Add(path(i));
    for (int i = 0; i < 50000; ++i) ASSERT_EQ(set->Contains(path(i)), i % 2 == 0) << i;
}

#include <gtest/gtest.h>

#include "KS.Config.h"
#include "KS.Url.h"
#include "KS.Test.Text.h"

using namespace KS;
using KS::Test::U8;

namespace {
std::u16string Page(const std::u16string& path) { return u"https://" + std::u16string(kCatalogPageHost) + path; }
std::u16string Raw(const std::u16string& path) { return u"https://" + std::u16string(kCatalogRawHost) + path; }
} // namespace

TEST(Url, PercentEncode) {
    const struct { std::u16string text, encoded; } cases[] = {
        {u"", u""},
        {u"Bin/sub-dir/file_1.2~x.DLL", u"Bin/sub-dir/file_1.2~x.DLL"},
        {u"a b", u"a%20b"},
        {u"a\\b", u"a%5Cb"},
        {u"c++", u"c%2B%2B"},
        {u"ç", u"%C3%A7"},
        {u"%?#&=:", u"%25%3F%23%26%3D%3A"},
        {u"\U0001F600", u"%F0%9F%98%80"},
        {u"\x7f\x01", u"%7F%01"},
    };
    for (const auto& c : cases) EXPECT_EQ(U8(PercentEncode(c.text)), U8(c.encoded)) << U8(c.text);
}

TEST(Url, TemplateReplacesEveryPlaceholder) {
    EXPECT_EQ(TemplateUrl(u"https://h/($name)?m=($name)", u"a b"), u"https://h/a%20b?m=a%20b");
    EXPECT_EQ(TemplateUrl(u"https://h/fixed", u"x"), u"https://h/fixed");
    // The placeholder is case-sensitive.
    EXPECT_EQ(TemplateUrl(u"https://h/($NAME)", u"x"), u"https://h/($NAME)");
}

TEST(Url, RawContentUrl) {
    const struct { std::u16string url, raw; } cases[] = {
        {Page(u"/ostrel/dax/raw/main/catalog/All.Inf"), Raw(u"/ostrel/dax/main/catalog/All.Inf")},
        // The scheme and page host in any case; only the first "/raw/" goes.
        {u"HTTPS://" + std::u16string(kCatalogPageHost) + u"/o/r/raw/b/raw/x?q=1", Raw(u"/o/r/b/raw/x?q=1")},
        {Page(u"/o/r/blob/main/x"), u""},
        {Page(u"/o/r/RAW/main/x"), u""},
        {u"http://" + std::u16string(kCatalogPageHost) + u"/o/r/raw/x", u""},
        {u"https://localhost:8443/o/r/raw/x", u""},
        {Raw(u"/o/r/raw/x"), u""},
    };
    for (const auto& c : cases) EXPECT_EQ(U8(RawContentUrl(c.url)), U8(c.raw)) << U8(c.url);
}

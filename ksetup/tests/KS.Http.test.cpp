#include <gtest/gtest.h>

#include "KS.Http.h"
#include "KS.Test.Text.h"

using namespace KS;
using KS::Test::U8;

TEST(HttpUrl, SchemeHostPortAndPath) {
    const struct { std::u16string url, host; uint16_t port; bool secure; std::u16string path; } cases[] = {
        {u"https://localhost/a/b.txt", u"localhost", 443, true, u"/a/b.txt"},
        {u"HTTPS://Example.test/x", u"Example.test", 443, true, u"/x"},
        {u"http://host", u"host", 80, false, u"/"},
        {u"https://host:8443/p?q=1&r=/s", u"host", 8443, true, u"/p?q=1&r=/s"},
        {u"http://host:abc/x", u"host", 80, false, u"/x"},
        // Only the low 16 bits of a port are taken.
        {u"http://host:65617/", u"host", 81, false, u"/"},
        {u"https://host:/x", u"host", 443, true, u"/x"},
    };
    for (const auto& c : cases) {
        THttpUrl parts;
        ASSERT_TRUE(ParseHttpUrl(c.url, parts)) << U8(c.url);
        EXPECT_EQ(parts.Host, c.host) << U8(c.url);
        EXPECT_EQ(parts.Port, c.port) << U8(c.url);
        EXPECT_EQ(parts.Secure, c.secure) << U8(c.url);
        EXPECT_EQ(parts.Path, c.path) << U8(c.url);
    }
    THttpUrl parts;
    EXPECT_FALSE(ParseHttpUrl(u"ftp://host/x", parts));
    EXPECT_FALSE(ParseHttpUrl(u"localhost/x", parts));
}

TEST(HttpClient, RefusesAnUnknownSchemeWithoutConnecting) {
    System::TRef<THttpClient> client = new THttpClient;
    System::TBytes body{1, 2, 3};
    EXPECT_FALSE(client->Get(u"ftp://localhost/x", body));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(client->LastError, u"URL inválida: ftp://localhost/x");
    EXPECT_EQ(client->Status, 0);
    EXPECT_FALSE(client->Session);
}

#include <gtest/gtest.h>

#include "KS.Catalog.h"
#include "KS.Digest.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "KS.Test.Text.h"

using namespace KS;
using KS::Test::U8;
using System::TBytes;

namespace {
TBytes Bytes(std::string_view text) { return TBytes(text.begin(), text.end()); }
TBytes Pattern(size_t count) {
    TBytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(i * 131 + (i >> 11));
    return bytes;
}
} // namespace

TEST(Digest, EncodeBase64) {
    const struct { std::string_view bytes; std::u16string text; } cases[] = {
        {"", u""},
        {"f", u"Zg=="},
        {"fo", u"Zm8="},
        {"foo", u"Zm9v"},
        {"foob", u"Zm9vYg=="},
        {"fooba", u"Zm9vYmE="},
        {"foobar", u"Zm9vYmFy"},
        {"\xFB\xFF\xBF", u"+/+/"},
    };
    for (const auto& c : cases) EXPECT_EQ(U8(EncodeBase64(Bytes(c.bytes))), U8(c.text)) << c.bytes;
}

TEST(Digest, Sha256BytesBase64) {
    EXPECT_EQ(Sha256BytesBase64(TBytes()), u"47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_EQ(Sha256BytesBase64(Bytes("abc")), u"ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    const TBytes abcd = Bytes("abcd");
    EXPECT_EQ(Sha256BytesBase64(abcd.data(), 3), Sha256BytesBase64(Bytes("abc")));
    EXPECT_EQ(Sha256BytesBase64(abcd.data(), 0), Sha256BytesBase64(TBytes()));
}

TEST(Digest, Sha256FileBase64ReadsWholeFilesInPieces) {
    TestSupport::TTestFolder folder;
    for (size_t size : {size_t(0), size_t(1048575), size_t(1048576), size_t(1048577), size_t(3 * 1048576 + 7)}) {
        const TBytes bytes = Pattern(size);
        const std::u16string path = folder / u"f.bin";
        ASSERT_TRUE(WriteFileBytes(path, bytes.data(), int64_t(bytes.size())));
        EXPECT_EQ(Sha256FileBase64(path), Sha256BytesBase64(bytes)) << size;
    }
    SetLastOsError(0);
    EXPECT_EQ(Sha256FileBase64(folder / u"missing.bin"), u"");
    EXPECT_EQ(LastOsError(), 2u);
}

TEST(Catalog, PlainFileNames) {
    for (const char16_t* name : {u"All.Inf.json", u"Bin.Inf.hash", u"a b ç.json", u".hidden", u"x."})
        EXPECT_TRUE(IsPlainFileName(name)) << U8(name);
    for (const char16_t* name : {u"", u"..", u"../x", u"a..b", u"sub/x", u"sub\\x", u"C:x", u"x:stream", u"a\tb",
                                 u"a\x7f", u"\x01"})
        EXPECT_FALSE(IsPlainFileName(name)) << U8(name);
}

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "KS.Json.h"
#include "KS.Test.Text.h"
#include "System.Remainder.Text.h"

using namespace KS;
using KS::Test::U8;
using System::TRef;

namespace {

TRef<TJValue> MustParse(const std::u16string& text) {
    TRef<TJValue> root;
    std::u16string error;
    EXPECT_TRUE(ParseJson(text, root, error)) << U8(text) << ": " << U8(error);
    EXPECT_TRUE(error.empty());
    return root;
}

std::u16string Nested(int depth) {
    return std::u16string(size_t(depth), u'[') + std::u16string(size_t(depth), u']');
}

} // namespace

TEST(JsonParse, ErrorsNameWhatAndWhere) {
    const struct { std::u16string text, error; } cases[] = {
        {u"", u"fim inesperado (posição 0)"},
        {u"   ", u"fim inesperado (posição 3)"},
        {u"[", u"fim inesperado (posição 1)"},
        {u"{", u"nome esperado (posição 1)"},
        {u"[1 2]", u"\",\" ou \"]\" esperado (posição 4)"},
        {u"[1", u"vetor não terminado (posição 2)"},
        {u"[1, ", u"fim inesperado (posição 4)"},
        {u"{\"a\":1,}", u"nome esperado (posição 7)"},
        {u"{\"a\" 1}", u"\":\" esperado (posição 5)"},
        {u"{\"a\"", u"\":\" esperado (posição 4)"},
        {u"{\"a\":1", u"objeto não terminado (posição 6)"},
        {u"{\"a\":1 \"b\":2}", u"\",\" ou \"}\" esperado (posição 8)"},
        {u"{a:1}", u"nome esperado (posição 1)"},
        {u"{\"a:1}", u"texto não terminado (posição 6)"},
        {u"\"abc", u"texto não terminado (posição 4)"},
        {u"\"ab\\", u"texto não terminado (posição 4)"},
        // A "\u" escape cut off by the end still moves four units on.
        {u"\"\\u12", u"texto não terminado (posição 7)"},
        // The innermost level reports; the levels above add nothing.
        {u"[[[{\"x\":[1 2]}]]]", u"\",\" ou \"]\" esperado (posição 12)"},
        {u"{\"a\":[1,{\"b\":\"c}]}", u"texto não terminado (posição 18)"},
    };
    for (const auto& c : cases) {
        TRef<TJValue> root = new TJValue;
        std::u16string error;
        EXPECT_FALSE(ParseJson(c.text, root, error)) << U8(c.text);
        EXPECT_FALSE(root) << U8(c.text);
        EXPECT_EQ(U8(error), U8(c.error)) << U8(c.text);
    }
}

TEST(JsonParse, BareTokensKeepTheirText) {
    const struct { std::u16string text; TJKind kind; std::u16string token; } cases[] = {
        {u"true", jkBoolean, u"true"},
        {u"false", jkBoolean, u"false"},
        {u"null", jkNull, u"null"},
        {u"tru", jkNumber, u"tru"},
        {u"True", jkNumber, u"True"},
        {u"nul", jkNumber, u"nul"},
        {u"-12.5e3", jkNumber, u"-12.5e3"},
        {u"1.2.3", jkNumber, u"1.2.3"},
        {u"0x1F", jkNumber, u"0x1F"},
        {u"-", jkNumber, u"-"},
        // ":", quotes, "[", "{" and U+FEFF do not end a token.
        {u"a:b\"c[d{e\uFEFFf g", jkNumber, u"a:b\"c[d{e\uFEFFf"},
        {u"]", jkNumber, u""},
        {u"\uFEFF 7", jkNumber, u"7"},
    };
    for (const auto& c : cases) {
        TRef<TJValue> v = MustParse(c.text);
        ASSERT_TRUE(v) << U8(c.text);
        EXPECT_EQ(v->Kind, c.kind) << U8(c.text);
        EXPECT_EQ(U8(v->Text), U8(c.token)) << U8(c.text);
    }
}

TEST(JsonParse, StringEscapes) {
    const struct { std::u16string text, decoded; } cases[] = {
        {u"\"plain\"", u"plain"},
        {u"\"\"", u""},
        {u"\"a\\\"b\\\\c\\/d\"", u"a\"b\\c/d"},
        {u"\"\\b\\f\\n\\r\\t\"", u"\b\f\n\r\t"},
        {u"\"\\u00e9\\u00C9\"", u"éÉ"},
        {u"\"\\u00zz\"", u"?"},
        {u"\"\\x\"", u"x"},
        // Trailing blanks among the four units are ignored, a leading one is not.
        {u"\"\\u41  \"", u"A"},
        {u"\"\\u 041\"", u"?"},
        {u"\"\\u-041\"", u"?"},
        // Each escape is one unit: a pair stays a pair, a lone surrogate stays.
        {u"\"\\ud83d\\ude00\"", u"\U0001F600"},
        {u"\"\\ud83dx\"", std::u16string(1, char16_t(0xD83D)) + u"x"},
        // Raw control characters and line ends are taken as they are.
        {u"\"a\nb\tc\"", u"a\nb\tc"},
    };
    for (const auto& c : cases) {
        TRef<TJValue> v = MustParse(c.text);
        ASSERT_TRUE(v) << U8(c.text);
        EXPECT_EQ(v->Kind, jkString);
        EXPECT_EQ(v->Text, c.decoded) << U8(c.text);
    }
}

TEST(JsonParse, ContainersAndEmptyElements) {
    const struct { std::u16string text; TJKind kind; int32_t count; } cases[] = {
        {u"[]", jkArray, 0},
        {u"[ \r\n\t]", jkArray, 0},
        {u"{}", jkObject, 0},
        {u"{ }", jkObject, 0},
        {u"[1,]", jkArray, 2},
        {u"[,]", jkArray, 2},
        {u"{\"a\":}", jkObject, 1},
        {u"\uFEFF{\"a\":[]}", jkObject, 1},
        {u"{\"a\":1} trailing [garbage", jkObject, 1},
        {u"[0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16]", jkArray, 17},
    };
    for (const auto& c : cases) {
        TRef<TJValue> v = MustParse(c.text);
        ASSERT_TRUE(v) << U8(c.text);
        EXPECT_EQ(v->Kind, c.kind) << U8(c.text);
        EXPECT_EQ(v->Count, c.count) << U8(c.text);
        EXPECT_TRUE(v->Text.empty());
    }
    TRef<TJValue> array = MustParse(u"[1,]");
    EXPECT_EQ(array->Item(1)->Kind, jkNumber);
    EXPECT_EQ(array->Item(1)->Text, u"");
    EXPECT_EQ(MustParse(u"{\"a\":}")->Find(u"a")->Kind, jkNumber);
    // Capacity grows by doubling from 8 and keeps every child in order.
    TRef<TJValue> big = MustParse(u"[0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16]");
    EXPECT_EQ(big->Items.size(), 32u);
    for (int32_t i = 0; i < big->Count; ++i) EXPECT_EQ(big->Item(i)->Text, System::Int64ToStr(i));
}

TEST(JsonParse, NestingIsBounded) {
    EXPECT_TRUE(MustParse(Nested(TJsonParser::kMaxDepth)));
    TRef<TJValue> root;
    std::u16string error;
    EXPECT_FALSE(ParseJson(Nested(TJsonParser::kMaxDepth + 1), root, error));
    EXPECT_EQ(U8(error), "aninhamento profundo demais (posição 512)");
    // Far deeper input ends the same way instead of exhausting the stack.
    EXPECT_FALSE(ParseJson(std::u16string(1000000, u'['), root, error));
    EXPECT_EQ(U8(error), "aninhamento profundo demais (posição 512)");
    std::u16string members;
    for (int i = 0; i < 200000; ++i) members += u"{\"a\":";
    EXPECT_FALSE(ParseJson(members, root, error));
    EXPECT_EQ(U8(error), "aninhamento profundo demais (posição 2560)");
}

TEST(JsonValue, Accessors) {
    TRef<TJValue> root = MustParse(
        u"{\"a\":1,\"a\":2,\"s\":\"0x1F\",\"f\":1.5,\"e\":\"\",\"o\":{\"x\":1},\"n\":7,"
        u"\"z\":null,\"A\":3,\"\":\"empty name\"}");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->Count, 10);
    EXPECT_EQ(root->Find(u"a")->Text, u"1");
    EXPECT_EQ(root->Item(1)->Text, u"2");
    EXPECT_EQ(root->Names[1], u"a");
    EXPECT_EQ(root->Find(u"A")->Text, u"3");
    EXPECT_EQ(root->Find(u"")->Text, u"empty name");
    EXPECT_EQ(root->Find(u"missing"), nullptr);
    EXPECT_EQ(root->Item(-1), nullptr);
    EXPECT_EQ(root->Item(root->Count), nullptr);

    EXPECT_EQ(root->GetStr(u"o"), u"");
    EXPECT_EQ(root->GetStr(u"n"), u"7");
    EXPECT_EQ(root->GetStr(u"z"), u"null");
    EXPECT_EQ(root->GetStr(u"missing"), u"");

    const struct { const char16_t* name; int64_t value; } ints[] = {
        {u"a", 1}, {u"s", 31}, {u"f", -5}, {u"e", -5}, {u"o", -5}, {u"z", -5}, {u"missing", -5},
    };
    for (const auto& c : ints) EXPECT_EQ(root->GetInt(c.name, -5), c.value) << U8(c.name);
    EXPECT_EQ(MustParse(u"{\"n\":\" -42 \"}")->GetInt(u"n", 0), -42);

    // Find looks into objects only; Item walks any container.
    TRef<TJValue> array = MustParse(u"[\"a\",{\"k\":\"v\"}]");
    EXPECT_EQ(array->Find(u"a"), nullptr);
    EXPECT_EQ(array->Item(1)->GetStr(u"k"), u"v");
}

TEST(JsonValue, NodesOutliveTheirTreeAndMayGoOnAnyThread) {
    std::u16string big = u"[";
    for (int i = 0; i < 20000; ++i) big += u"{\"k\":\"value number " + System::Int64ToStr(i) + u"\"},";
    big += u"{\"last\":[\"kept\"]}]";
    TRef<TJValue> kept;
    {
        TRef<TJValue> root = MustParse(big);
        kept = root->Item(root->Count - 1)->Find(u"last");
    }
    // Fresh trees take the memory the released one gave back.
    for (int round = 0; round < 3; ++round) EXPECT_EQ(MustParse(big)->Count, 20001);
    ASSERT_EQ(kept->Count, 1);
    EXPECT_EQ(kept->Item(0)->Text, u"kept");

    TRef<TJValue> root = MustParse(big);
    std::thread([tree = std::move(root)]() mutable { tree = nullptr; }).join();
    std::thread([&] { EXPECT_EQ(MustParse(big)->Item(7)->GetStr(u"k"), u"value number 7"); }).join();
}

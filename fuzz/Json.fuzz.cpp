// The JSON reader on any text (the bytes decoded as UTF-8, as catalogues
// arrive). A failed parse gives no tree and one positioned error message. A
// tree that parses re-parses from its own re-serialisation to the same tree,
// and its accessors agree with its fields.
#include <string>
#include <string_view>

#include "KS.Json.h"
#include "KS.Sys.Text.h"
#include "KsFuzz.h"
#include "System.Remainder.Encoding.h"

using namespace KS;
using System::TRef;

namespace {

void WriteString(std::u16string& out, std::u16string_view text) {
    out += u'"';
    for (char16_t u : text) {
        if (u == u'"' || u == u'\\') out += u'\\';
        out += u;
    }
    out += u'"';
}

// The reader keeps a bare token as written, and a token ends only at a
// blank, ",", "]" or "}", none of which a token holds; so tokens go back
// verbatim. An empty token needs one of its terminators after it to be read
// at all, which only the root lacks.
void WriteValue(std::u16string& out, const TJValue& value, bool root) {
    switch (value.Kind) {
    case jkString:
        WriteString(out, value.Text);
        break;
    case jkArray:
    case jkObject:
        out += value.Kind == jkArray ? u'[' : u'{';
        for (int32_t i = 0; i < value.Count; ++i) {
            if (i > 0) out += u',';
            if (value.Kind == jkObject) {
                WriteString(out, value.Names[size_t(i)]);
                out += u':';
            }
            WriteValue(out, *value.Item(i), false);
        }
        out += value.Kind == jkArray ? u']' : u'}';
        break;
    default:
        out += value.Text;
        if (root && value.Text.empty()) out += u',';
        break;
    }
}

bool SameTree(const TJValue& a, const TJValue& b) {
    if (a.Kind != b.Kind || a.Text != b.Text || a.Count != b.Count) return false;
    for (int32_t i = 0; i < a.Count; ++i) {
        if (a.Kind == jkObject && a.Names[size_t(i)] != b.Names[size_t(i)]) return false;
        if (!SameTree(*a.Item(i), *b.Item(i))) return false;
    }
    return true;
}

void CheckNode(const TJValue& value) {
    const bool container = value.Kind == jkArray || value.Kind == jkObject;
    KS_FUZZ_CHECK(value.Count >= 0 && size_t(value.Count) <= value.Items.size());
    KS_FUZZ_CHECK(container || value.Count == 0);
    KS_FUZZ_CHECK(!container || value.Text.empty());
    if (value.Kind == jkObject) KS_FUZZ_CHECK(value.Names.size() == value.Items.size());
    if (value.Kind == jkBoolean) KS_FUZZ_CHECK(value.Text == u"true" || value.Text == u"false");
    if (value.Kind == jkNull) KS_FUZZ_CHECK(value.Text == u"null");
    KS_FUZZ_CHECK(!value.Item(-1) && !value.Item(value.Count));
    for (int32_t i = 0; i < value.Count; ++i) {
        const TJValue* child = value.Item(i);
        KS_FUZZ_CHECK(child != nullptr);
        if (value.Kind == jkObject) {
            // Find answers with the first member of the name.
            const std::u16string_view name = value.Names[size_t(i)];
            int32_t first = 0;
            while (value.Names[size_t(first)] != name) ++first;
            const std::u16string text(value.Item(first)->Text);
            KS_FUZZ_CHECK(value.Find(name) == value.Item(first));
            KS_FUZZ_CHECK(value.GetStr(name) == text);
            int64_t parsed = 0;
            const bool number = TryParseInt64(text, parsed);
            KS_FUZZ_CHECK(value.GetInt(name, -7) == (number ? parsed : -7));
        }
        CheckNode(*child);
    }
}

bool IsReaderMessage(const std::u16string& message) {
    for (const char16_t* known : {u"fim inesperado", u"texto não terminado", u"vetor não terminado",
                                  u"\",\" ou \"]\" esperado", u"nome esperado", u"\":\" esperado",
                                  u"objeto não terminado", u"\",\" ou \"}\" esperado",
                                  u"aninhamento profundo demais"})
        if (message == known) return true;
    return false;
}

// The message, then " (posição N)". N may lie up to four units past the end:
// a "\u" escape at the very end still moves over its four digits.
void CheckError(const std::u16string& text, const std::u16string& error) {
    const size_t open = error.rfind(u" (posição ");
    KS_FUZZ_CHECK(open != std::u16string::npos && error.back() == u')');
    KS_FUZZ_CHECK(IsReaderMessage(error.substr(0, open)));
    const size_t digits = open + std::u16string_view(u" (posição ").size();
    int64_t position = -1;
    KS_FUZZ_CHECK(TryParseInt64(error.substr(digits, error.size() - 1 - digits), position));
    KS_FUZZ_CHECK(position >= 0 && position <= int64_t(text.size()) + 4);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const std::u16string text = System::GetUtf8Encoding()->GetUString(data.data(), ptrdiff_t(data.size()));
    TRef<TJValue> root;
    std::u16string error;
    if (!ParseJson(text, root, error)) {
        KS_FUZZ_CHECK(!root);
        CheckError(text, error);
        return;
    }
    KS_FUZZ_CHECK(root && error.empty());
    CheckNode(*root);

    std::u16string written;
    WriteValue(written, *root, true);
    TRef<TJValue> again;
    std::u16string againError;
    KS_FUZZ_CHECK(ParseJson(written, again, againError));
    KS_FUZZ_CHECK(SameTree(*root, *again));
}

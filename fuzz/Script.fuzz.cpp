// The setup script parser on any text (the bytes decoded as UTF-8, as the
// embedded script is read). Every text either parses, and then re-parses from
// its own re-serialisation to the same script, or fails with "linha N" and
// the reason, where line N is the first bad line: the lines before it parse
// on their own to what the failed parse kept.
#include <cstdint>
#include <string>

#include "KS.Script.h"
#include "KS.Sys.Text.h"
#include "KsFuzz.h"
#include "System.Remainder.Encoding.h"

using namespace KS;
using System::MakeRef;
using System::TRef;

namespace {

bool IsKeyValueSection(const std::u16string& name) {
    return EqualsIgnoreCase(name, u"Setup") || EqualsIgnoreCase(name, u"Messages") ||
           EqualsIgnoreCase(name, u"CustomMessages");
}

std::u16string Quoted(const std::u16string& value, bool doubleInnerQuotes) {
    std::u16string out = u"\"";
    for (char16_t u : value) {
        out += u;
        if (u == u'"' && doubleInnerQuotes) out += u;
    }
    return out + u"\"";
}

// Values go in quotes: a key/value line drops one pair of outer quotes, an
// entry value in quotes is taken as it stands once inner quotes are undoubled.
std::u16string Write(const TScript& script) {
    std::u16string out;
    for (const auto& section : script.Sections) {
        out += u"[" + section->Name + u"]\n";
        const bool keyValue = IsKeyValueSection(section->Name);
        for (const auto& entry : section->Entries) {
            for (size_t i = 0; i < entry->Keys.size(); ++i) {
                if (keyValue) {
                    out += entry->Keys[i] + u"=" + Quoted(entry->Values[i], false) + u"\n";
                } else {
                    // A later name may begin with ";" once its leading control
                    // units are trimmed; a U+0001 ahead of it stops the
                    // separator skip from eating that ";" and is trimmed away.
                    if (i > 0) out += entry->Keys[i].starts_with(u';') ? u"; \u0001" : u"; ";
                    out += entry->Keys[i] + u": " + Quoted(entry->Values[i], true);
                }
            }
            if (!keyValue) out += u"\n";
        }
    }
    return out;
}

// Whether b holds a's sections and entries; b's section at index extraIn may
// hold one entry more at its end (the entry whose line failed).
bool SameScript(const TScript& a, const TScript& b, size_t extraIn = SIZE_MAX) {
    if (a.Sections.size() != b.Sections.size()) return false;
    for (size_t s = 0; s < a.Sections.size(); ++s) {
        const TSection& x = *a.Sections[s];
        const TSection& y = *b.Sections[s];
        const size_t extra = s == extraIn ? 1 : 0;
        if (x.Name != y.Name || x.Entries.size() + extra != y.Entries.size()) return false;
        for (size_t e = 0; e < x.Entries.size(); ++e)
            if (x.Entry(e)->Keys != y.Entry(e)->Keys || x.Entry(e)->Values != y.Entry(e)->Values)
                return false;
    }
    return true;
}

void CheckAccessors(const TParams& entry) {
    KS_FUZZ_CHECK(entry.Keys.size() == entry.Values.size());
    for (size_t i = 0; i < entry.Keys.size(); ++i) {
        const std::u16string& key = entry.Keys[i];
        size_t first = 0;
        while (!EqualsIgnoreCase(entry.Keys[first], key)) ++first;
        const std::u16string& value = entry.Values[first];
        KS_FUZZ_CHECK(entry.GetValue(AsciiLowerCase(key), u"\uFFFF") == value);
        int64_t number = 0;
        KS_FUZZ_CHECK(entry.GetInt(AsciiUpperCase(key)) == (TryParseInt64(value, number) ? number : 0));
    }
}

bool IsEntryError(const std::u16string& error) {
    return error.starts_with(u"esperava \"Nome: valor\", achei \"") || error == u"nome de parâmetro vazio" ||
           error.starts_with(u"aspas sem fechar no valor de \"") || error.starts_with(u"depois das aspas de \"");
}

// "linha N: reason: line", or "linha N [section]: reason" for an entry line.
void CheckFailure(const std::u16string& text, const TScript& failed) {
    const std::u16string& error = failed.ErrorText;
    KS_FUZZ_CHECK(error.starts_with(u"linha "));
    size_t end = 6;
    while (end < error.size() && error[end] >= u'0' && error[end] <= u'9') ++end;
    int64_t number = 0;
    KS_FUZZ_CHECK(TryParseInt64(error.substr(6, end - 6), number));
    const TStringArray lines = SplitLines(text);
    KS_FUZZ_CHECK(number >= 1 && number <= int64_t(lines.size()));
    const std::u16string line = TrimText(lines[size_t(number - 1)]);
    const std::u16string rest = error.substr(end);

    size_t entrySection = SIZE_MAX;
    if (rest.starts_with(u" [")) {
        // The failed line's entry is the last one added, in the current section.
        for (size_t s = 0; s < failed.Sections.size(); ++s) {
            const std::u16string head = u" [" + failed.Sections[s]->Name + u"]: ";
            if (rest.starts_with(head) && IsEntryError(rest.substr(head.size()))) entrySection = s;
        }
        KS_FUZZ_CHECK(entrySection != SIZE_MAX);
    } else {
        KS_FUZZ_CHECK(rest == u": seção sem \"]\": " + line ||
                      rest == u": conteúdo antes da primeira seção: " + line ||
                      rest == u": esperava \"Chave=Valor\": " + line);
    }

    std::u16string before;
    for (int64_t i = 0; i + 1 < number; ++i) before += lines[size_t(i)] + u"\n";
    TRef<TScript> prefix = MakeRef<TScript>();
    KS_FUZZ_CHECK(prefix->Parse(before));
    KS_FUZZ_CHECK(SameScript(*prefix, failed, entrySection));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const std::u16string text = System::GetUtf8Encoding()->GetUString(data.data(), ptrdiff_t(data.size()));
    TRef<TScript> script = MakeRef<TScript>();
    if (!script->Parse(text)) {
        CheckFailure(text, *script);
        return;
    }
    KS_FUZZ_CHECK(script->ErrorText.empty());
    for (const auto& section : script->Sections) {
        KS_FUZZ_CHECK(script->FindSection(AsciiUpperCase(section->Name)) == section.Get());
        for (const auto& entry : section->Entries) CheckAccessors(*entry);
    }
    TRef<TScript> again = MakeRef<TScript>();
    KS_FUZZ_CHECK(again->Parse(Write(*script)));
    KS_FUZZ_CHECK(SameScript(*script, *again));
}

#include <algorithm>

#include "KS.Script.h"

namespace KS {

namespace {

constexpr char16_t kQuote = u'"';

bool IsBlankOrTab(char16_t c) { return c == u' ' || c == u'\t'; }

size_t SkipBlanksAndTabs(const std::u16string& line, size_t pos) {
    while (pos < line.size() && IsBlankOrTab(line[pos])) ++pos;
    return pos;
}

std::u16string Quoted(std::u16string_view text) {
    return kQuote + std::u16string(text) + kQuote;
}

// Reads the quoted value whose opening quote is at `pos`, a doubled quote
// standing for one, and moves `pos` past the closing quote. False when the
// line ends before the closing quote.
bool ReadQuotedValue(const std::u16string& line, size_t& pos, std::u16string& value) {
    for (size_t from = pos + 1;;) {
        const size_t quote = line.find(kQuote, from);
        if (quote == std::u16string::npos) return false;
        value.append(line, from, quote - from);
        if (quote + 1 < line.size() && line[quote + 1] == kQuote) {
            value += kQuote;
            from = quote + 2;
        } else {
            pos = quote + 1;
            return true;
        }
    }
}

} // namespace

std::u16string TParams::ParseLine(const std::u16string& line) {
    size_t pos = 0;
    for (;;) {
        while (pos < line.size() && (IsBlankOrTab(line[pos]) || line[pos] == u';')) ++pos;
        if (pos == line.size()) return {};
        // The name runs to the next ":" even across ";", so a stray word
        // without ":" joins the next name instead of vanishing silently.
        const size_t colon = line.find(u':', pos);
        if (colon == std::u16string::npos)
            return u"esperava \"Nome: valor\", achei " + Quoted(TrimText(line.substr(pos)));
        std::u16string name = TrimText(line.substr(pos, colon - pos));
        if (name.empty()) return u"nome de parâmetro vazio";

        pos = SkipBlanksAndTabs(line, colon + 1);
        std::u16string value;
        if (pos < line.size() && line[pos] == kQuote) {
            if (!ReadQuotedValue(line, pos, value)) return u"aspas sem fechar no valor de " + Quoted(name);
            pos = SkipBlanksAndTabs(line, pos);
            if (pos < line.size() && line[pos] != u';')
                return u"depois das aspas de " + Quoted(name) + u" esperava \";\"";
        } else {
            const size_t end = std::min(line.find(u';', pos), line.size());
            value = TrimText(line.substr(pos, end - pos));
            pos = end;
        }
        Keys.push_back(std::move(name));
        Values.push_back(std::move(value));
    }
}

int32_t TParams::IndexOfKey(std::u16string_view key) const {
    return FindIgnoreCase(Keys, key);
}

std::u16string TParams::GetValue(std::u16string_view name, std::u16string_view defaultValue) const {
    const int32_t at = IndexOfKey(name);
    return std::u16string(at >= 0 ? std::u16string_view(Values[size_t(at)]) : defaultValue);
}

bool TParams::GetBool(std::u16string_view name, bool defaultValue) const {
    return ParseBoolWord(GetValue(name, u""), defaultValue);
}

int64_t TParams::GetInt(std::u16string_view name) const {
    int64_t value;
    return TryParseInt64(GetValue(name, u""), value) ? value : 0;
}

TStringArray TParams::GetWords(std::u16string_view name) const {
    return SplitWords(GetValue(name, u""));
}

bool TParams::HasFlag(std::u16string_view word) const {
    return FindIgnoreCase(GetWords(u"Flags"), word) >= 0;
}

TStringArray SplitWords(std::u16string_view text) {
    TStringArray words;
    constexpr std::u16string_view kSeparators = u" \t,";
    for (size_t from = text.find_first_not_of(kSeparators); from != std::u16string_view::npos;) {
        const size_t end = std::min(text.find_first_of(kSeparators, from), text.size());
        words.emplace_back(text.substr(from, end - from));
        from = text.find_first_not_of(kSeparators, end);
    }
    return words;
}

bool ParseBoolWord(const std::u16string& text, bool defaultValue) {
    const std::u16string word = AsciiLowerCase(TrimText(text));
    for (std::u16string_view yes : {u"yes", u"true", u"sim", u"1", u"on"})
        if (word == yes) return true;
    for (std::u16string_view no : {u"no", u"false", u"nao", u"não", u"0", u"off"})
        if (word == no) return false;
    return defaultValue;
}

} // namespace KS

// The installer's number and mask routines against plain models written
// from their definitions. The first byte picks the routine; the rest is its
// text, one unit per byte.
#include <algorithm>
#include <string>
#include <vector>

#include "KS.Sys.Text.h"
#include "KsFuzz.h"

using namespace KS;

namespace {

int DigitIn(char16_t u, unsigned base) {
    const int d = u >= u'0' && u <= u'9' ? u - u'0'
                : u >= u'a' && u <= u'f' ? u - u'a' + 10
                : u >= u'A' && u <= u'F' ? u - u'A' + 10 : 99;
    return d < int(base) ? d : -1;
}

// Trimmed, an optional "-", "$" / "0x" / "0X" for hexadecimal, then at
// least one digit and nothing else; the value wraps modulo 2^64. On a bad
// unit the value is that of the digits before it, without the sign.
struct TParsed {
    bool Ok;
    int64_t Value;
};

TParsed ParseModel(const std::u16string& text) {
    const auto isText = [](char16_t u) { return u > u' '; };
    const auto first = std::find_if(text.begin(), text.end(), isText);
    const auto last = std::find_if(text.rbegin(), text.rend(), isText).base();
    std::u16string t = first < last ? std::u16string(first, last) : std::u16string();
    const bool negative = !t.empty() && t[0] == u'-';
    if (negative) t.erase(0, 1);
    unsigned base = 10;
    if (t.starts_with(u"$")) base = 16, t.erase(0, 1);
    else if (t.starts_with(u"0x") || t.starts_with(u"0X")) base = 16, t.erase(0, 2);
    if (t.empty()) return {false, 0};
    uint64_t value = 0;
    for (char16_t u : t) {
        const int d = DigitIn(u, base);
        if (d < 0) return {false, int64_t(value)};
        value = value * base + unsigned(d);
    }
    return {true, int64_t(negative ? ~value + 1 : value)};
}

void CheckTryParseInt64(const std::u16string& text) {
    int64_t value = 12345;
    const bool ok = TryParseInt64(text, value);
    const TParsed expected = ParseModel(text);
    KS_FUZZ_CHECK(ok == expected.Ok && value == expected.Value);
}

char16_t Fold(char16_t u) { return u >= u'a' && u <= u'z' ? u - 32 : u; }

// Whole-name matching where "*" takes any run and "?" any one unit, by the
// table of which mask prefixes match which name prefixes.
bool GlobModel(const std::u16string& name, const std::u16string& mask) {
    std::vector<bool> row(name.size() + 1, false), next(name.size() + 1);
    row[0] = true;
    for (char16_t m : mask) {
        next.assign(name.size() + 1, false);
        if (m == u'*') {
            bool any = false;
            for (size_t n = 0; n <= name.size(); ++n) next[n] = any = any || row[n];
        } else {
            for (size_t n = 0; n < name.size(); ++n)
                next[n + 1] = row[n] && (m == u'?' || Fold(m) == Fold(name[n]));
        }
        row.swap(next);
    }
    return row[name.size()];
}

// A "*" in the name meets a "*" in the mask as an ordinary unit, which can
// only lose matches; names of files never hold one.
void CheckWildcardMatch(const std::u16string& name, const std::u16string& mask) {
    const bool got = WildcardMatch(name, mask);
    const bool expected = GlobModel(name, mask);
    if (name.find(u'*') == std::u16string::npos) KS_FUZZ_CHECK(got == expected);
    else KS_FUZZ_CHECK(!got || expected);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const std::u16string text(data.begin() + 1, data.end());
    if (data[0] % 2 == 0) {
        CheckTryParseInt64(text);
    } else {
        // The name, a NUL, the mask.
        const size_t split = std::min(text.find(u'\0'), text.size());
        CheckWildcardMatch(text.substr(0, split), text.substr(std::min(split + 1, text.size())));
    }
}

// The text routines against simple models: case mapping, Trim, GUID parsing,
// decimal formatting and rounding. The first byte picks the routine, the
// rest is its input.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "KsFuzz.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

using namespace System;

namespace {

bool IsAsciiUpper(char16_t u) { return u >= u'A' && u <= u'Z'; }
bool IsAsciiLower(char16_t u) { return u >= u'a' && u <= u'z'; }

// Units map one by one; ASCII maps only to ASCII and exactly as the ASCII
// letters pair up; mapping twice changes nothing more; and every unit that
// changed belongs to a pair, so the other table maps it straight back.
void CheckCaseMapping(const std::u16string& text) {
    const std::u16string upper = UpperCase(text);
    const std::u16string lower = LowerCase(text);
    KS_FUZZ_CHECK(upper.size() == text.size() && lower.size() == text.size());
    KS_FUZZ_CHECK(UpperCase(upper) == upper && LowerCase(lower) == lower);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        KS_FUZZ_CHECK((u < 0x80) == (upper[i] < 0x80) && (u < 0x80) == (lower[i] < 0x80));
        if (u < 0x80) {
            KS_FUZZ_CHECK(upper[i] == (IsAsciiLower(u) ? u - 32 : u));
            KS_FUZZ_CHECK(lower[i] == (IsAsciiUpper(u) ? u + 32 : u));
        }
        if (u >= 0xD800 && u <= 0xDFFF) KS_FUZZ_CHECK(upper[i] == u && lower[i] == u);
        if (upper[i] != u) KS_FUZZ_CHECK(LowerCase(std::u16string(1, upper[i])) == std::u16string(1, u));
        if (lower[i] != u) KS_FUZZ_CHECK(UpperCase(std::u16string(1, lower[i])) == std::u16string(1, u));
    }
}

// The result is a piece of the text that neither starts nor ends with a unit
// of U+0020 or below, and only such units were cut away.
void CheckTrim(const std::u16string& text) {
    const std::u16string trimmed = Trim(text);
    const size_t at = trimmed.empty() ? 0 : text.find(trimmed);
    KS_FUZZ_CHECK(at != std::u16string::npos);
    if (!trimmed.empty()) KS_FUZZ_CHECK(trimmed.front() > u' ' && trimmed.back() > u' ');
    for (size_t i = 0; i < text.size(); ++i)
        if (i < at || i >= at + trimmed.size()) KS_FUZZ_CHECK(text[i] <= u' ');
}

std::u16string HexDigits(uint32_t value, int digits) {
    std::u16string s(size_t(digits), u'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) s[size_t(i)] = u"0123456789ABCDEF"[value & 15];
    return s;
}

std::u16string FormatGuid(const TGuid& g) {
    std::u16string s = u"{" + HexDigits(g.D1, 8) + u"-" + HexDigits(g.D2, 4) + u"-" +
                       HexDigits(g.D3, 4) + u"-";
    for (int i = 0; i < 8; ++i) s += (i == 2 ? u"-" : u"") + HexDigits(g.D4[i], 2);
    return s + u"}";
}

// A text either parses to the GUID whose braced form it is (hex case aside)
// or raises EConvertError naming the whole text.
void CheckStringToGuid(const std::u16string& text) {
    TGuid g;
    try {
        g = StringToGuid(text);
    } catch (const EConvertError& e) {
        KS_FUZZ_CHECK(e.Message == Quoted(text) + u" nao e um GUID valido");
        return;
    }
    KS_FUZZ_CHECK(UpperCase(text) == FormatGuid(g));
}

void CheckDecimal(std::span<const uint8_t> data) {
    uint64_t bits = 0;
    std::memcpy(&bits, data.data(), std::min(data.size(), sizeof bits));
    const int64_t value = int64_t(bits);
    const std::string expected = std::to_string(value);
    KS_FUZZ_CHECK(Int64ToStr(value) == std::u16string(expected.begin(), expected.end()));
    KS_FUZZ_CHECK(UInt64ToNarrowStr(bits) == std::to_string(bits));
    KS_FUZZ_CHECK(UInt64ToNarrowDecimal(bits, true) == "-" + std::to_string(bits));
}

// Half away from zero is what std::round does, down to the sign of zero,
// except that zero itself takes the "add 0.5 and truncate" path and so
// comes back as +0 even from -0.
void CheckRounding(std::span<const uint8_t> data) {
    double x = 0;
    std::memcpy(&x, data.data(), std::min(data.size(), sizeof x));
    const double got = RoundHalfAway(x);
    const double expected = x == 0 ? 0.0 : std::round(x);
    if (std::isnan(x)) {
        KS_FUZZ_CHECK(std::isnan(got));
        return;
    }
    KS_FUZZ_CHECK(got == expected && std::signbit(got) == std::signbit(expected));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const std::span<const uint8_t> rest = data.subspan(1);
    switch (data[0] % 5) {
    case 0: CheckCaseMapping(Units(rest)); break;
    case 1: CheckTrim(Units(rest)); break;
    case 2: CheckStringToGuid(Units(rest)); break;
    case 3: CheckDecimal(rest); break;
    case 4: CheckRounding(rest); break;
    }
}

#include "System.Remainder.Text.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "System.Remainder.Exceptions.h"

namespace System {

namespace {

// ---- Integer formatting ------------------------------------------------------

constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> t{};
    for (int i = 0; i < 100; ++i) {
        t[2 * i] = char('0' + i / 10);
        t[2 * i + 1] = char('0' + i % 10);
    }
    return t;
}();

int DecimalDigits(uint64_t v) {
    int n = 1;
    for (uint64_t p = 10; n < 20 && v >= p; p *= 10) ++n;
    return n;
}

// Writes the digits of v right to left, two at a time, ending at `end`.
template <class Char>
void WriteDigits(Char* end, uint64_t v) {
    while (v >= 100) {
        const unsigned pair = unsigned(v % 100) * 2;
        v /= 100;
        *--end = Char(kDigitPairs[pair + 1]);
        *--end = Char(kDigitPairs[pair]);
    }
    if (v >= 10) {
        *--end = Char(kDigitPairs[v * 2 + 1]);
        *--end = Char(kDigitPairs[v * 2]);
    } else {
        *--end = Char('0' + v);
    }
}

template <class String>
String FormatDecimal(uint64_t magnitude, bool negative) {
    const int digits = DecimalDigits(magnitude);
    String s(size_t(digits + (negative ? 1 : 0)), typename String::value_type('-'));
    WriteDigits(s.data() + s.size(), magnitude);
    return s;
}

// ---- Case tables -------------------------------------------------------------

struct CasePair {
    char16_t Upper;
    char16_t Lower;
};

#include "System.Remainder.CaseTables.inc"

using CaseTable = std::array<char16_t, 65536>;

constexpr CaseTable MakeCaseTable(bool toUpper) {
    CaseTable t{};
    for (size_t i = 0; i < t.size(); ++i) t[i] = char16_t(i);
    for (const CasePair& p : kCasePairs) {
        if (toUpper) t[p.Lower] = p.Upper;
        else t[p.Upper] = p.Lower;
    }
    return t;
}

constexpr CaseTable kUpperTable = MakeCaseTable(true);
constexpr CaseTable kLowerTable = MakeCaseTable(false);

std::u16string MapCase(std::u16string text, const CaseTable& table) {
    for (char16_t& u : text) u = table[u];
    return text;
}

// ---- GUID parsing ------------------------------------------------------------

[[noreturn]] void RaiseNotAGuid(const std::u16string& text) {
    throw EConvertError(Quoted(text) + u" nao e um GUID valido");
}

// Reads `digits` hex digits at the 1-based position `pos`.
uint32_t ParseGuidHexField(const std::u16string& text, size_t pos, int digits) {
    uint32_t value = 0;
    for (int i = 0; i < digits; ++i) {
        const char16_t c = text[pos - 1 + size_t(i)];
        uint32_t d;
        if (c >= u'0' && c <= u'9') d = c - u'0';
        else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
        else RaiseNotAGuid(text);
        value = (value << 4) | d;
    }
    return value;
}

} // namespace

std::u16string Int64ToStr(int64_t value) {
    const bool negative = value < 0;
    // Negating in unsigned arithmetic keeps the most negative value exact.
    const uint64_t magnitude = negative ? 0 - uint64_t(value) : uint64_t(value);
    return FormatDecimal<std::u16string>(magnitude, negative);
}

std::string UInt64ToNarrowStr(uint64_t value) {
    return UInt64ToNarrowDecimal(value, false);
}

std::string UInt64ToNarrowDecimal(uint64_t magnitude, bool negative) {
    return FormatDecimal<std::string>(magnitude, negative);
}

std::u16string LowerCase(std::u16string text) {
    return MapCase(std::move(text), kLowerTable);
}

std::u16string UpperCase(std::u16string text) {
    return MapCase(std::move(text), kUpperTable);
}

int32_t CompareText(std::u16string_view a, std::u16string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = kLowerTable[a[i]];
        const char16_t y = kLowerTable[b[i]];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

std::u16string Latin1ToString(const uint8_t* bytes, ptrdiff_t count) {
    if (!bytes || count <= 0) return {};
    return std::u16string(bytes, bytes + count);
}

std::u16string Trim(const std::u16string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && text[first] <= u' ') ++first;
    while (last > first && text[last - 1] <= u' ') --last;
    return text.substr(first, last - first);
}

std::u16string PWideCharToString(const char16_t* text) {
    return text ? std::u16string(text) : std::u16string();
}

TGuid StringToGuid(const std::u16string& text) {
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        RaiseNotAGuid(text);
    TGuid g;
    g.D1 = ParseGuidHexField(text, 2, 8);
    g.D2 = uint16_t(ParseGuidHexField(text, 11, 4));
    g.D3 = uint16_t(ParseGuidHexField(text, 16, 4));
    constexpr size_t kBytePositions[8] = {21, 23, 26, 28, 30, 32, 34, 36};
    for (size_t i = 0; i < 8; ++i) g.D4[i] = uint8_t(ParseGuidHexField(text, kBytePositions[i], 2));
    return g;
}

double Sin(double x) {
    // fsin leaves an argument of magnitude 2^63 or more unchanged.
    double r;
    asm("fsin" : "=t"(r) : "0"(x));
    return r;
}

double Cos(double x) {
    double r;
    asm("fcos" : "=t"(r) : "0"(x));
    return r;
}

double RoundHalfAway(double x) {
    // Comparing the fraction instead of adding 0.5 keeps values such as
    // 0.49999999999999994 and odd integers above 2^52 exact.
    const double whole = std::trunc(x);
    const double fraction = x - whole;
    if (x >= 0) return (fraction >= 0.5 ? whole + 1 : whole) + 0.0;
    return fraction <= -0.5 ? whole - 1 : whole;
}

} // namespace System

// Small text routines of the class library: integer formatting, case
// mapping through the library's own Unicode 5.1 tables, trimming, GUID
// parsing and a few floating-point helpers. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace System {

using TBytes = std::vector<uint8_t>;

struct TGuid {
    uint32_t D1 = 0;
    uint16_t D2 = 0;
    uint16_t D3 = 0;
    uint8_t D4[8] = {};
    friend bool operator==(const TGuid&, const TGuid&) = default;
};

std::u16string Int64ToStr(int64_t value);
std::string UInt64ToNarrowStr(uint64_t value);
std::string UInt64ToNarrowDecimal(uint64_t magnitude, bool negative);

std::u16string LowerCase(std::u16string text);
std::u16string UpperCase(std::u16string text);

// Compares unit by unit after mapping both through the lower-case table, as
// unsigned values; a common prefix makes the shorter text the smaller.
// Gives -1, 0 or 1.
int32_t CompareText(std::u16string_view a, std::u16string_view b);
bool SameText(std::u16string_view a, std::u16string_view b);

// One UTF-16 unit per byte (ISO-8859-1); empty for a count of 0 or less.
std::u16string Latin1ToString(const uint8_t* bytes, ptrdiff_t count);

// Without the leading and trailing units of value U+0020 or below.
std::u16string Trim(const std::u16string& text);

// The units before the first NUL; empty for a null pointer.
std::u16string PWideCharToString(const char16_t* text);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; raises EConvertError.
TGuid StringToGuid(const std::u16string& text);

// x87 sine and cosine; an argument of magnitude 2^63 or more comes back unchanged.
double Sin(double x);
double Cos(double x);

// Rounds half away from zero (2.5 -> 3, -2.5 -> -3, -0.4 -> -0).
double RoundHalfAway(double x);

} // namespace System

#include "KS.Sys.Text.h"

#include <algorithm>

#include "System.Remainder.Encoding.h"

namespace KS {

namespace {

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }
char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The digit's value in the base, or -1 when the unit is no digit of it.
int DigitValue(char16_t c, bool hex) {
    if (IsAsciiDigit(c)) return c - u'0';
    if (!hex) return -1;
    const char16_t upper = AsciiUpper(c);
    return upper >= u'A' && upper <= u'F' ? upper - u'A' + 10 : -1;
}

} // namespace

// ---- Case and comparison ----------------------------------------------------

std::u16string AsciiLowerCase(std::u16string text) {
    for (char16_t& c : text) c = AsciiLower(c);
    return text;
}

std::u16string AsciiUpperCase(std::u16string text) {
    for (char16_t& c : text) c = AsciiUpper(c);
    return text;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

bool HasPrefix(std::u16string_view text, std::u16string_view prefix) {
    return text.starts_with(prefix);
}

bool HasPrefixIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

int32_t FindIgnoreCase(const TStringArray& items, std::u16string_view text) {
    for (size_t i = 0; i < items.size(); ++i)
        if (EqualsIgnoreCase(items[i], text)) return int32_t(i);
    return -1;
}

bool WildcardMatch(std::u16string_view name, std::u16string_view mask) {
    size_t n = 0, m = 0;
    // The last "*" seen and the name position its current try started from.
    size_t star = std::u16string_view::npos, restart = 0;
    while (n < name.size()) {
        // An equal unit wins over "*", so a "*" in the name matches a "*" literally.
        if (m < mask.size() && (mask[m] == u'?' || AsciiUpper(mask[m]) == AsciiUpper(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == u'*') {
            star = m++;
            restart = n;
        } else if (star != std::u16string_view::npos) {
            m = star + 1;
            n = ++restart;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*') ++m;
    return m == mask.size();
}

// ---- Cutting, joining and splitting -----------------------------------------

std::u16string Substring(std::u16string_view text, int64_t start, int64_t count) {
    if (start < 0) start = 0;
    const int64_t size = int64_t(text.size());
    if (start >= size || count < 1) return {};
    return std::u16string(text.substr(size_t(start), size_t(std::min(count, size - start))));
}

std::u16string SubstringFrom(std::u16string_view text, int64_t start) {
    return Substring(text, start, int64_t(text.size()));
}

std::u16string TrimText(const std::u16string& text) {
    return System::Trim(text);
}

std::u16string ReplaceAll(std::u16string text, std::u16string_view search,
                          std::u16string_view replacement) {
    if (search.empty()) return text;
    size_t hit = text.find(search);
    if (hit == std::u16string::npos) return text;
    std::u16string out;
    out.reserve(text.size() + 64);
    size_t from = 0;
    for (; hit != std::u16string::npos; hit = text.find(search, from)) {
        out.append(text, from, hit - from).append(replacement);
        from = hit + search.size();
    }
    out.append(text, from);
    return out;
}

TStringArray SplitByChar(std::u16string_view text, char16_t separator) {
    TStringArray pieces;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::u16string_view::npos; from = at + 1)
        pieces.emplace_back(text.substr(from, at - from));
    pieces.emplace_back(text.substr(from));
    return pieces;
}

TStringArray SplitLines(std::u16string_view text) {
    TStringArray lines;
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n') continue;
        lines.emplace_back(text.substr(from, i - from));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        from = i + 1;
    }
    if (from < text.size()) lines.emplace_back(text.substr(from));
    return lines;
}

// ---- Paths ------------------------------------------------------------------

std::u16string DirOfPath(std::u16string_view path) {
    const size_t at = path.find_last_of(u"\\/");
    if (at == std::u16string_view::npos) return {};
    const bool driveRoot = at == 2 && path[1] == u':';
    return std::u16string(path.substr(0, driveRoot ? at + 1 : at));
}

std::u16string NameOfPath(std::u16string path) {
    const size_t at = path.find_last_of(u"\\/");
    if (at != std::u16string::npos) path.erase(0, at + 1);
    return path;
}

std::u16string NormalizeSlashes(std::u16string path) {
    return ReplaceAll(std::move(path), u"/", u"\\");
}

std::u16string AddTrailingBackslash(std::u16string path) {
    if (!path.empty() && path.back() != u'\\') path += u'\\';
    return path;
}

std::u16string StripTrailingBackslashes(std::u16string path) {
    while (path.size() >= 4 && path.back() == u'\\') path.pop_back();
    return path;
}

std::u16string CombinePath(std::u16string_view folder, std::u16string_view name) {
    if (folder.empty()) return std::u16string(name);
    if (name.empty()) return std::u16string(folder);
    if (name.front() == u'\\') name.remove_prefix(1);
    return AddTrailingBackslash(std::u16string(folder)).append(name);
}

bool IsFullPath(std::u16string_view path) {
    const auto isSlash = [](char16_t c) { return c == u'\\' || c == u'/'; };
    if (path.size() >= 3 && path[1] == u':' && isSlash(path[2]))
        return (path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z');
    return path.size() >= 3 && isSlash(path[0]) && isSlash(path[1]) && !isSlash(path[2]);
}

std::u16string SafeKeyName(std::u16string text) {
    if (text.empty()) return u"_";
    for (char16_t& c : text) {
        const char16_t upper = AsciiUpper(c);
        const bool kept = IsAsciiDigit(c) || (upper >= u'A' && upper <= u'Z') || c == u'_' ||
                          c == u'{' || c == u'}' || c == u'-' || c == u'.';
        if (!kept) c = u'_';
    }
    return text;
}

// ---- Numbers and bytes ------------------------------------------------------

bool TryParseInt64(const std::u16string& text, int64_t& value) {
    value = 0;
    const std::u16string t = TrimText(text);
    size_t i = 0;
    const bool negative = i < t.size() && t[i] == u'-';
    if (negative) ++i;
    bool hex = false;
    if (i < t.size() && t[i] == u'$') {
        hex = true;
        i += 1;
    } else if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i >= t.size()) return false;
    // Unsigned arithmetic wraps where the signed would overflow.
    uint64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const int digit = DigitValue(t[i], hex);
        if (digit < 0) return false;
        magnitude = magnitude * (hex ? 16 : 10) + uint64_t(digit);
        value = int64_t(magnitude);
    }
    value = int64_t(negative ? 0 - magnitude : magnitude);
    return true;
}

std::u16string FormatByteSize(int64_t count) {
    if (count <= 1023) return System::Int64ToStr(count) + u" bytes";
    int64_t divisor = 1073741824;
    const char16_t* unit = u" GB";
    if (count <= 0xFFFFF) {
        divisor = 1024;
        unit = u" KB";
    } else if (count <= 0x3FFFFFFF) {
        divisor = 1048576;
        unit = u" MB";
    }
    // The tenths from the remainder: the same truncated digit as count * 10 /
    // divisor, without overflowing for the largest counts.
    const int64_t tenths = count % divisor * 10 / divisor;
    return System::Int64ToStr(count / divisor) + u',' + char16_t(u'0' + tenths) + unit;
}

std::u16string FormatThousands(int64_t value) {
    const std::u16string digits = System::Int64ToStr(value);
    if (digits.front() == u'-') return digits;
    std::u16string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        out += digits[i];
        const size_t after = digits.size() - 1 - i;
        if (after > 0 && after % 3 == 0) out += u'.';
    }
    return out;
}

std::u16string PadTwoDigits(int32_t value) {
    if (value >= 0 && value <= 9) return std::u16string{u'0', char16_t(u'0' + value)};
    return System::Int64ToStr(value);
}

System::TBytes StringToUtf8Bytes(std::u16string_view text) {
    return System::GetUtf8Encoding()->GetBytes(text);
}

std::u16string DecodeUtf8(const uint8_t* bytes, ptrdiff_t count) {
    if (!bytes || count <= 0) return {};
    return System::GetUtf8Encoding()->GetUString(bytes, count);
}

} // namespace KS

// The installer's own small text toolkit: ASCII-only case folding, 0-based
// positions, backslash paths, and the sizes and counts shown to the user.
// Every routine is a pure function of its arguments, so the download workers
// call them on their own threads. No Windows interface here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Text.h"

namespace KS {

using TStringArray = std::vector<std::u16string>;

// ---- Case and comparison (only a-z and A-Z fold) ----------------------------

std::u16string AsciiLowerCase(std::u16string text);
std::u16string AsciiUpperCase(std::u16string text);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool HasPrefix(std::u16string_view text, std::u16string_view prefix);
bool HasPrefixIgnoreCase(std::u16string_view text, std::u16string_view prefix);
// Index of the first element equal to the text ignoring ASCII case; -1 when none.
int32_t FindIgnoreCase(const TStringArray& items, std::u16string_view text);
// "*" and "?" over the whole name, ignoring ASCII case.
bool WildcardMatch(std::u16string_view name, std::u16string_view mask);

// ---- Cutting, joining and splitting -----------------------------------------

// A negative start counts as 0; the count is cut at the end of the text.
std::u16string Substring(std::u16string_view text, int64_t start, int64_t count);
std::u16string SubstringFrom(std::u16string_view text, int64_t start);
// Without leading and trailing units of value U+0020 or below.
std::u16string TrimText(const std::u16string& text);
// Every non-overlapping, case-sensitive occurrence of search replaced.
std::u16string ReplaceAll(std::u16string text, std::u16string_view search,
                          std::u16string_view replacement);
// n separators give n + 1 pieces, empty pieces included.
TStringArray SplitByChar(std::u16string_view text, char16_t separator);
// Lines end at CR LF, CR or LF; a final line end adds no empty line.
TStringArray SplitLines(std::u16string_view text);

// ---- Paths (backslash; DirOfPath and NameOfPath also accept "/") ------------

// The folder part; a drive root keeps its backslash ("C:\x" gives "C:\").
std::u16string DirOfPath(std::u16string_view path);
std::u16string NameOfPath(std::u16string path);
std::u16string NormalizeSlashes(std::u16string path);
std::u16string AddTrailingBackslash(std::u16string path);
// Drops trailing backslashes but never below 3 units, so "C:\" keeps its own.
std::u16string StripTrailingBackslashes(std::u16string path);
std::u16string CombinePath(std::u16string_view folder, std::u16string_view name);
// A path that names its drive ("C:\...") or its server ("\\server\..."): one
// that neither the current folder nor the current drive completes.
bool IsFullPath(std::u16string_view path);
// Every unit other than an ASCII letter or digit, "_", "{", "}", "-" or "."
// becomes "_", so that the text can name a registry key.
std::u16string SafeKeyName(std::u16string text);

// ---- Numbers and bytes ------------------------------------------------------

// Trimmed, optional "-", then "$", "0x" or "0X" for hexadecimal, else decimal;
// wraps modulo 2^64. On a bad character the value holds the digits read so far.
bool TryParseInt64(const std::u16string& text, int64_t& value);
// "1023 bytes", "1,4 KB", "5,0 GB": one decimal digit, truncated.
std::u16string FormatByteSize(int64_t count);
// "1.234.567"; a negative value comes back as plain decimal text.
std::u16string FormatThousands(int64_t value);
std::u16string PadTwoDigits(int32_t value);
System::TBytes StringToUtf8Bytes(std::u16string_view text);
// Malformed sequences are dropped; no bytes (or a null pointer) give the empty text.
std::u16string DecodeUtf8(const uint8_t* bytes, ptrdiff_t count);

} // namespace KS

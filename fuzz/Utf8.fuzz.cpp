// UTF-8 both ways. Encoding any UTF-16 text gives well-formed UTF-8 holding
// the text's code points, with U+FFFD for each lone surrogate. Decoding any
// bytes gives UTF-16 without a lone surrogate; well-formed input decodes to
// its code points and encodes back to the same bytes.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "KsFuzz.h"
#include "System.Remainder.Encoding.h"

using namespace System;

namespace {

// A strict decoder: nothing overlong, no surrogate, nothing above U+10FFFF.
std::optional<std::u32string> StrictUtf8(std::span<const uint8_t> bytes) {
    std::u32string out;
    for (size_t i = 0; i < bytes.size();) {
        const uint8_t b0 = uint8_t(bytes[i]);
        const int length = b0 < 0x80 ? 1 : b0 >= 0xC2 && b0 <= 0xDF ? 2
                         : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
        if (length == 0 || i + size_t(length) > bytes.size()) return std::nullopt;
        char32_t cp = length == 1 ? b0 : b0 & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const uint8_t b = uint8_t(bytes[i + size_t(k)]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = cp << 6 | (b & 0x3F);
        }
        constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        out += cp;
        i += size_t(length);
    }
    return out;
}

// The code points of UTF-16 text, U+FFFD for each lone surrogate.
std::u32string CodePointsWithReplacement(const std::u16string& text) {
    std::u32string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += char32_t(0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out += (u >= 0xD800 && u <= 0xDFFF) ? char32_t(0xFFFD) : char32_t(u);
        }
    }
    return out;
}

bool HasLoneSurrogate(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xDC00 && u <= 0xDFFF) return true;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
            ++i;
        }
    }
    return false;
}

void CheckEncode(const TEncoding& utf8, const std::u16string& text) {
    const std::optional<std::u32string> decoded = StrictUtf8(utf8.GetBytes(text));
    KS_FUZZ_CHECK(decoded.has_value());
    KS_FUZZ_CHECK(*decoded == CodePointsWithReplacement(text));
}

void CheckDecode(const TEncoding& utf8, std::span<const uint8_t> bytes) {
    const std::u16string text = utf8.GetUString(bytes.data(), ptrdiff_t(bytes.size()));
    KS_FUZZ_CHECK(!HasLoneSurrogate(text));
    // The decoder skips one leading preamble, so a text that itself starts
    // with U+FEFF comes back only behind one.
    TBytes again = utf8.GetPreamble();
    const TBytes encoded = utf8.GetBytes(text);
    again.insert(again.end(), encoded.begin(), encoded.end());
    KS_FUZZ_CHECK(utf8.GetUString(again) == text);

    const bool preamble = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    const std::span<const uint8_t> body = bytes.subspan(preamble ? 3 : 0);
    if (const std::optional<std::u32string> strict = StrictUtf8(body)) {
        KS_FUZZ_CHECK(CodePointsWithReplacement(text) == *strict);
        KS_FUZZ_CHECK(std::equal(encoded.begin(), encoded.end(), body.begin(), body.end()));
    }
}

// Bytes taken as ISO-8859-1 come back unit for unit.
void CheckNarrow(const TEncoding& utf8, std::span<const uint8_t> bytes) {
    const TBytes encoded = utf8.GetBytesNarrow(reinterpret_cast<const char*>(bytes.data()),
                                               ptrdiff_t(bytes.size()));
    const std::u16string text = utf8.GetUString(encoded);
    KS_FUZZ_CHECK(std::equal(text.begin(), text.end(), bytes.begin(), bytes.end()));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const TRef<TEncodingUtf8> utf8 = GetUtf8Encoding();
    CheckEncode(*utf8, Units(data));
    CheckDecode(*utf8, data);
    CheckNarrow(*utf8, data);
}

// UTF-8 encoding of any UTF-16 text: the output is always well-formed UTF-8
// and holds the text's code points, with U+FFFD for each lone surrogate.
#include <optional>
#include <string>
#include <vector>

#include "KsFuzz.h"
#include "System.Remainder.Encoding.h"

using namespace System;

namespace {

// A strict decoder: nothing overlong, no surrogate, nothing above U+10FFFF.
std::optional<std::u32string> StrictUtf8(const std::string& bytes) {
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

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const std::u16string text = Units(data);
    const std::optional<std::u32string> decoded = StrictUtf8(Utf8Encode(text));
    KS_FUZZ_CHECK(decoded.has_value());
    KS_FUZZ_CHECK(*decoded == CodePointsWithReplacement(text));
}

// Text encodings of the class library (UTF-8 is the only concrete one) and
// the growable text buffer. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace System {

// Converts between UTF-16 strings and bytes. The base class raises
// EAbstractError for the conversions a concrete encoding must supply.
class TEncoding : public TObject {
public:
    // No preamble is written; callers that want one write GetPreamble first.
    virtual TBytes GetBytes(const char16_t* units, ptrdiff_t count) const;
    // The bytes read as ISO-8859-1, then encoded by this object's GetBytes.
    virtual TBytes GetBytesNarrow(const char* text, ptrdiff_t count) const;
    virtual std::u16string GetUString(const uint8_t* bytes, ptrdiff_t count) const;
    virtual TBytes GetPreamble() const;

    TBytes GetBytes(std::u16string_view text) const {
        return GetBytes(text.data(), ptrdiff_t(text.size()));
    }
    std::u16string GetUString(const TBytes& bytes) const {
        return GetUString(bytes.data(), ptrdiff_t(bytes.size()));
    }
};

// UTF-8. Encoding turns every lone surrogate into U+FFFD. Decoding skips a
// leading EF BB BF and drops malformed sequences without a replacement:
// stray continuation bytes, truncated sequences, overlong forms, encoded
// surrogates and anything above U+10FFFF. So "C0 AE" can never smuggle a
// "." into a path.
class TEncodingUtf8 : public TEncoding {
public:
    using TEncoding::GetBytes;
    using TEncoding::GetUString;
    TBytes GetBytes(const char16_t* units, ptrdiff_t count) const override;
    std::u16string GetUString(const uint8_t* bytes, ptrdiff_t count) const override;
    // EF BB BF.
    TBytes GetPreamble() const override;
};

// The process-wide UTF-8 encoding, created on the first call and kept until
// the process ends (exceptions raised while statics are destroyed still use it).
TRef<TEncodingUtf8> GetUtf8Encoding();

// A growable UTF-16 buffer; Buffer's length is the capacity and the units
// past Length are undefined.
class TUStrBuilder : public TObject {
public:
    // Raises EOutOfMemory when the capacity cannot grow far enough.
    void Append(std::u16string_view text);
    std::u16string ToUString() const;

    // The capacity that holds `needed` units, grown from `capacity` in the
    // builder's steps: +4 below 9, +16 below 65, then times 3/2. Raises
    // EOutOfMemory instead of overflowing.
    static int64_t GrownCapacity(int64_t capacity, int64_t needed);

    std::u16string Buffer;
    int64_t Length = 0;
};

// The character buffer the script parser fills: its units and how many are in use.
struct CharBuffer {
    std::vector<char16_t> Units;
    int64_t Count = 0;
};

// The used units as a string; empty when none are used.
std::u16string CharBufferToString(const CharBuffer& buffer);

} // namespace System

#include "System.Remainder.Encoding.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "System.Remainder.Exceptions.h"

namespace System {

namespace {

// The two sinks of a conversion: one counts, one writes.
template <class T>
struct TCounter {
    size_t Count = 0;
    void Put(T) { ++Count; }
    template <class S>
    void Copy(const S*, size_t n) { Count += n; }
};

template <class T>
struct TWriter {
    T* At;
    void Put(T v) { *At++ = v; }
    template <class S>
    void Copy(const S* s, size_t n) {
        for (size_t i = 0; i < n; ++i) At[i] = T(s[i]);
        At += n;
    }
};

// The length of the run of ASCII units at the start of s, 16 bytes or 8 UTF-16
// units at a time where SSE2 is there (every x86-64 has it).
size_t AsciiRun(const uint8_t* s, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
        if (high) return i + size_t(__builtin_ctz(unsigned(high)));
    }
#endif
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

size_t AsciiRun(const char16_t* s, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i nonAscii = _mm_set1_epi16(int16_t(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, nonAscii), zero));
        if (ascii != 0xFFFF) return i + size_t(__builtin_ctz(unsigned(~ascii))) / 2;
    }
#endif
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

template <class Sink>
void PutUtf8(Sink& out, char32_t cp) {
    if (cp < 0x80) {
        out.Put(uint8_t(cp));
    } else if (cp < 0x800) {
        out.Put(uint8_t(0xC0 | (cp >> 6)));
        out.Put(uint8_t(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.Put(uint8_t(0xE0 | (cp >> 12)));
        out.Put(uint8_t(0x80 | ((cp >> 6) & 0x3F)));
        out.Put(uint8_t(0x80 | (cp & 0x3F)));
    } else {
        out.Put(uint8_t(0xF0 | (cp >> 18)));
        out.Put(uint8_t(0x80 | ((cp >> 12) & 0x3F)));
        out.Put(uint8_t(0x80 | ((cp >> 6) & 0x3F)));
        out.Put(uint8_t(0x80 | (cp & 0x3F)));
    }
}

// Encodes the non-ASCII unit s[0], with the low surrogate after it when it
// is a high one, and returns the units taken.
template <class Sink>
size_t EncodeSequence(const char16_t* s, size_t n, Sink& out) {
    const char16_t u = s[0];
    if (IsHighSurrogate(u) && n > 1 && IsLowSurrogate(s[1])) {
        PutUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(s[1]) - 0xDC00));
        return 2;
    }
    PutUtf8(out, IsHighSurrogate(u) || IsLowSurrogate(u) ? char32_t(0xFFFD) : char32_t(u));
    return 1;
}

// What a byte at a sequence start allows: how many continuation bytes follow
// and the range of the first of them. The narrowed first ranges keep out the
// overlong forms (E0 80-9F, F0 80-8F), the surrogates (ED A0-BF) and
// everything above U+10FFFF (F4 90-BF); C0, C1 and F5-FF never start a
// sequence, nor does a continuation byte.
struct TLeadRule {
    uint8_t Continuations;
    uint8_t Low;
    uint8_t High;
};

TLeadRule LeadRule(uint8_t b) {
    if (b < 0xC2) return {0, 0, 0};
    if (b < 0xE0) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b < 0xF0) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b < 0xF4) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {0, 0, 0};
}

// Decodes the sequence that starts with the non-ASCII byte s[0] and returns
// the bytes it takes. A broken sequence produces nothing and takes its lead
// and the valid continuation bytes read before the fault.
template <class Sink>
size_t DecodeSequence(const uint8_t* s, size_t n, Sink& out) {
    const TLeadRule rule = LeadRule(s[0]);
    if (rule.Continuations == 0) return 1;
    char32_t cp = s[0] & (0x3F >> rule.Continuations);
    for (size_t k = 1; k <= rule.Continuations; ++k) {
        const uint8_t low = k == 1 ? rule.Low : 0x80;
        const uint8_t high = k == 1 ? rule.High : 0xBF;
        if (k >= n || s[k] < low || s[k] > high) return k;
        cp = (cp << 6) | (s[k] & 0x3F);
    }
    if (cp < 0x10000) {
        out.Put(char16_t(cp));
    } else {
        const char32_t v = cp - 0x10000;
        out.Put(char16_t(0xD800 + (v >> 10)));
        out.Put(char16_t(0xDC00 + (v & 0x3FF)));
    }
    return 1 + rule.Continuations;
}

// Copies runs of ASCII in blocks and hands everything else to `sequence`.
template <class Char, class Sink, class Sequence>
void Convert(const Char* s, size_t n, Sink& out, Sequence sequence) {
    for (size_t i = 0; i < n;) {
        const size_t ascii = AsciiRun(s + i, n - i);
        out.Copy(s + i, ascii);
        i += ascii;
        if (i < n) i += sequence(s + i, n - i, out);
    }
}

// Two passes with the same rules: the first sizes the result exactly, the
// second fills it.
template <class Result, class Char, class Sequence>
Result ConvertText(const Char* s, size_t n, Sequence sequence) {
    using Unit = typename Result::value_type;
    TCounter<Unit> size;
    Convert(s, n, size, sequence);
    Result result(size.Count, Unit());
    TWriter<Unit> writer{result.data()};
    Convert(s, n, writer, sequence);
    return result;
}

constexpr uint8_t kUtf8Preamble[] = {0xEF, 0xBB, 0xBF};

} // namespace

TBytes TEncoding::GetBytes(const char16_t*, ptrdiff_t) const {
    throw EAbstractError(u"TEncoding", u"GetBytes");
}

TBytes TEncoding::GetBytesNarrow(const char* text, ptrdiff_t count) const {
    const std::u16string wide = Latin1ToString(reinterpret_cast<const uint8_t*>(text), count);
    return GetBytes(wide);
}

std::u16string TEncoding::GetUString(const uint8_t*, ptrdiff_t) const {
    throw EAbstractError(u"TEncoding", u"GetUString");
}

TBytes TEncoding::GetPreamble() const {
    return {};
}

TBytes TEncodingUtf8::GetBytes(const char16_t* units, ptrdiff_t count) const {
    if (!units || count <= 0) return {};
    return ConvertText<TBytes>(units, size_t(count),
                               [](const char16_t* s, size_t n, auto& out) { return EncodeSequence(s, n, out); });
}

std::u16string TEncodingUtf8::GetUString(const uint8_t* bytes, ptrdiff_t count) const {
    if (!bytes || count <= 0) return {};
    size_t n = size_t(count);
    if (n >= 3 && std::memcmp(bytes, kUtf8Preamble, 3) == 0) {
        bytes += 3;
        n -= 3;
    }
    return ConvertText<std::u16string>(
        bytes, n, [](const uint8_t* s, size_t k, auto& out) { return DecodeSequence(s, k, out); });
}

TBytes TEncodingUtf8::GetPreamble() const {
    return TBytes(std::begin(kUtf8Preamble), std::end(kUtf8Preamble));
}

TRef<TEncodingUtf8> GetUtf8Encoding() {
    // Initialised once even when threads race here; the reference taken for
    // the global is never dropped.
    static TEncodingUtf8* const instance = [] {
        auto* encoding = new TEncodingUtf8;
        encoding->AddRef();
        return encoding;
    }();
    return TRef<TEncodingUtf8>(instance);
}

int64_t TUStrBuilder::GrownCapacity(int64_t capacity, int64_t needed) {
    while (capacity < needed) {
        if (capacity < 9) {
            capacity += 4;
        } else if (capacity < 65) {
            capacity += 16;
        } else {
            int64_t tripled;
            if (__builtin_mul_overflow(capacity, int64_t(3), &tripled)) throw EOutOfMemory();
            capacity = tripled / 2;
        }
    }
    return capacity;
}

void TUStrBuilder::Append(std::u16string_view text) {
    if (text.empty()) return;
    int64_t needed;
    if (__builtin_add_overflow(Length, int64_t(text.size()), &needed)) throw EOutOfMemory();
    const int64_t capacity = int64_t(Buffer.size());
    if (needed > capacity) {
        const int64_t grown = GrownCapacity(capacity, needed);
        try {
            Buffer.resize(size_t(grown));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        } catch (const std::length_error&) {
            throw EOutOfMemory();
        }
    }
    std::copy(text.begin(), text.end(), Buffer.begin() + Length);
    Length = needed;
}

std::u16string TUStrBuilder::ToUString() const {
    return Buffer.substr(0, size_t(std::clamp<int64_t>(Length, 0, int64_t(Buffer.size()))));
}

std::u16string CharBufferToString(const CharBuffer& buffer) {
    const int64_t used = std::clamp<int64_t>(buffer.Count, 0, int64_t(buffer.Units.size()));
    return std::u16string(buffer.Units.data(), size_t(used));
}

} // namespace System

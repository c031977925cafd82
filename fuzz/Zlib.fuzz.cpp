// InflateBytes on any bytes under any limit, against zlib driven directly
// into a buffer one byte longer than the limit: the same bytes or the same
// error, and never more than the limit. DeflateBytes output inflates back.
//
// Input: byte 0 picks the mode and window bits, bytes 1-2 the limit (little
// endian, up to 65535), the rest is the data.
#include <zlib.h>

#include <string>
#include <variant>

#include "KsFuzz.h"
#include "System.Compress.Zlib.h"
#include "System.Remainder.Exceptions.h"

using namespace System;

namespace {

struct TZlibFailure {
    std::u16string Message;
    int32_t Code;
    friend bool operator==(const TZlibFailure&, const TZlibFailure&) = default;
};

using TOutcome = std::variant<TBytes, TZlibFailure>;

TZlibFailure Failure(const std::u16string& text, int code) {
    return {EZlibError(text, code).Message, code};
}

// One inflate call with all the input and limit + 1 bytes of room. zlib's
// own errors come first; then a stream that ended, or stopped with the room
// full, is longer than the limit when it holds more than the limit; a stream
// that stopped with room left ran out of input.
TOutcome InflateModel(const TBytes& input, int windowBits, int64_t limit) {
    if (input.empty()) return TBytes();
    z_stream z{};
    const int init = inflateInit2(&z, windowBits);
    if (init != Z_OK) return Failure(u"inflateInit2 recusou", init);
    TBytes out(size_t(limit) + 1);
    z.next_in = const_cast<Bytef*>(input.data());
    z.avail_in = uInt(input.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int code = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (code != Z_STREAM_END && code != Z_BUF_ERROR) return Failure(u"inflate falhou", code);
    if (z.avail_out == 0)
        return Failure(u"conteudo inflado passou do limite de " + Int64ToStr(limit) + u" bytes", Z_BUF_ERROR);
    if (code == Z_BUF_ERROR) return Failure(u"fluxo comprimido acabou no meio", Z_BUF_ERROR);
    return TBytes(out.begin(), out.begin() + ptrdiff_t(z.total_out));
}

TOutcome Inflate(const TBytes& input, int windowBits, int64_t limit) {
    try {
        return InflateBytes(input, windowBits, limit);
    } catch (const EZlibError& e) {
        KS_FUZZ_CHECK(e.ErrorCode == 0x1000097);
        return TZlibFailure{e.Message, e.ZlibCode};
    }
}

void CheckInflate(const TBytes& input, int windowBits, int64_t limit) {
    const TOutcome got = Inflate(input, windowBits, limit);
    if (const TBytes* bytes = std::get_if<TBytes>(&got)) KS_FUZZ_CHECK(int64_t(bytes->size()) <= limit);
    KS_FUZZ_CHECK(got == InflateModel(input, windowBits, limit));
}

// One gzip member that inflates back exactly, and not under a limit one short.
void CheckRoundTrip(const TBytes& payload, int level) {
    const TBytes packed = DeflateBytes(payload, level);
    if (payload.empty()) {
        KS_FUZZ_CHECK(packed.empty());
        return;
    }
    KS_FUZZ_CHECK(packed.size() >= 18 && packed[0] == 0x1F && packed[1] == 0x8B);
    KS_FUZZ_CHECK(InflateBytes(packed, 31, int64_t(payload.size())) == payload);
    const TOutcome shorter = Inflate(packed, 31, int64_t(payload.size()) - 1);
    KS_FUZZ_CHECK(std::holds_alternative<TZlibFailure>(shorter) &&
                  std::get<TZlibFailure>(shorter).Code == Z_BUF_ERROR);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.size() < 3) return;
    const int64_t limit = data[1] | data[2] << 8;
    const TBytes rest(data.begin() + 3, data.end());
    // Mostly the window bits the system passes; sometimes any value, for the refusals.
    switch (data[0] % 8) {
    case 0: case 1: case 2: CheckInflate(rest, 15, limit); break;
    case 3: case 4: CheckInflate(rest, 31, limit); break;
    case 5: CheckInflate(rest, int8_t(data[0]) / 8, limit); break;
    default: CheckRoundTrip(rest, data[0] / 8 % 11 - 1); break;
    }
}

// SHA-2 against OpenSSL: every variant, the input fed in pieces of any
// sizes, gives OpenSSL's digest of the whole, and a second Final the same
// digest. SHA-256's two compressions agree on any blocks.
//
// Input: byte 0 picks the variant, byte 1 seeds the piece sizes, the rest is
// the message.
#include <openssl/evp.h>

#include <algorithm>

#include "KsFuzz.h"
#include "System.Hash.h"

using namespace System;

namespace {

TBytes Reference(uint8_t variant, std::span<const uint8_t> message) {
    const EVP_MD* const kDigests[] = {EVP_sha224(), EVP_sha256(), EVP_sha384(),
                                      EVP_sha512(), EVP_sha512_224(), EVP_sha512_256()};
    TBytes digest(EVP_MAX_MD_SIZE);
    unsigned size = 0;
    KS_FUZZ_CHECK(EVP_Digest(message.data(), message.size(), digest.data(), &size, kDigests[variant], nullptr) == 1);
    digest.resize(size);
    return digest;
}

void CheckCompressions(std::span<const uint8_t> message) {
    const size_t blocks = message.size() / 64;
    if (!Sha256HasShaInstructions() || blocks == 0) return;
    uint32_t portable[8] = {0x6A09E667, 0xBB67AE85, 0x3C6EF372, 0xA54FF53A,
                            0x510E527F, 0x9B05688C, 0x1F83D9AB, 0x5BE0CD19};
    uint32_t shaNi[8];
    std::copy(std::begin(portable), std::end(portable), shaNi);
    Sha256CompressPortable(portable, message.data(), blocks);
    Sha256CompressShaNi(shaNi, message.data(), blocks);
    KS_FUZZ_CHECK(std::equal(std::begin(portable), std::end(portable), shaNi));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.size() < 2) return;
    const uint8_t variant = data[0] % 6;
    uint32_t seed = data[1] + 1;
    const std::span<const uint8_t> message = data.subspan(2);

    Sha2State state;
    HashSha2Init(state, variant);
    for (size_t at = 0; at < message.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = std::min<size_t>(message.size() - at, (seed >> 16) % 200);
        HashSha2Update(state, message.data() + at, piece);
        at += piece;
    }
    const TBytes digest = HashSha2Final(state);
    KS_FUZZ_CHECK(digest == Reference(variant, message));
    KS_FUZZ_CHECK(HashSha2Final(state) == digest);
    CheckCompressions(message);
}

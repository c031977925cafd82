#include "System.Hash.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

#include "System.Remainder.Exceptions.h"

namespace System {

namespace {

constexpr uint32_t kSha256Rounds[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u, 0xab1c5ed5u,
    0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu, 0x9bdc06a7u, 0xc19bf174u,
    0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu, 0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau,
    0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u, 0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u,
    0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu, 0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u,
    0xa2bfe8a1u, 0xa81a664bu, 0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u,
    0x19a4c116u, 0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u, 0xc67178f2u,
};

constexpr uint64_t kSha512Rounds[80] = {
    0x428a2f98d728ae22ULL, 0x7137449123ef65cdULL, 0xb5c0fbcfec4d3b2fULL, 0xe9b5dba58189dbbcULL,
    0x3956c25bf348b538ULL, 0x59f111f1b605d019ULL, 0x923f82a4af194f9bULL, 0xab1c5ed5da6d8118ULL,
    0xd807aa98a3030242ULL, 0x12835b0145706fbeULL, 0x243185be4ee4b28cULL, 0x550c7dc3d5ffb4e2ULL,
    0x72be5d74f27b896fULL, 0x80deb1fe3b1696b1ULL, 0x9bdc06a725c71235ULL, 0xc19bf174cf692694ULL,
    0xe49b69c19ef14ad2ULL, 0xefbe4786384f25e3ULL, 0x0fc19dc68b8cd5b5ULL, 0x240ca1cc77ac9c65ULL,
    0x2de92c6f592b0275ULL, 0x4a7484aa6ea6e483ULL, 0x5cb0a9dcbd41fbd4ULL, 0x76f988da831153b5ULL,
    0x983e5152ee66dfabULL, 0xa831c66d2db43210ULL, 0xb00327c898fb213fULL, 0xbf597fc7beef0ee4ULL,
    0xc6e00bf33da88fc2ULL, 0xd5a79147930aa725ULL, 0x06ca6351e003826fULL, 0x142929670a0e6e70ULL,
    0x27b70a8546d22ffcULL, 0x2e1b21385c26c926ULL, 0x4d2c6dfc5ac42aedULL, 0x53380d139d95b3dfULL,
    0x650a73548baf63deULL, 0x766a0abb3c77b2a8ULL, 0x81c2c92e47edaee6ULL, 0x92722c851482353bULL,
    0xa2bfe8a14cf10364ULL, 0xa81a664bbc423001ULL, 0xc24b8b70d0f89791ULL, 0xc76c51a30654be30ULL,
    0xd192e819d6ef5218ULL, 0xd69906245565a910ULL, 0xf40e35855771202aULL, 0x106aa07032bbd1b8ULL,
    0x19a4c116b8d2d0c8ULL, 0x1e376c085141ab53ULL, 0x2748774cdf8eeb99ULL, 0x34b0bcb5e19b48a8ULL,
    0x391c0cb3c5c95a63ULL, 0x4ed8aa4ae3418acbULL, 0x5b9cca4f7763e373ULL, 0x682e6ff3d6b2b8a3ULL,
    0x748f82ee5defb2fcULL, 0x78a5636f43172f60ULL, 0x84c87814a1f0ab72ULL, 0x8cc702081a6439ecULL,
    0x90befffa23631e28ULL, 0xa4506cebde82bde9ULL, 0xbef9a3f7b2c67915ULL, 0xc67178f2e372532bULL,
    0xca273eceea26619cULL, 0xd186b8c721c0c207ULL, 0xeada7dd6cde0eb1eULL, 0xf57d4f7fee6ed178ULL,
    0x06f067aa72176fbaULL, 0x0a637dc5a2c898a6ULL, 0x113f9804bef90daeULL, 0x1b710b35131c471bULL,
    0x28db77f523047d84ULL, 0x32caab7b40c72493ULL, 0x3c9ebe0a15c9bebcULL, 0x431d67c49c100d4cULL,
    0x4cc5d4becb3e42b6ULL, 0x597f299cfc657e2aULL, 0x5fcb6fab3ad6faecULL, 0x6c44198c4a475817ULL,
};

constexpr uint32_t kInitial224[8] = {0xc1059ed8u, 0x367cd507u, 0x3070dd17u, 0xf70e5939u,
                                     0xffc00b31u, 0x68581511u, 0x64f98fa7u, 0xbefa4fa4u};
constexpr uint32_t kInitial256[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                     0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};
constexpr uint64_t kInitial512[4][8] = {
    {0xcbbb9d5dc1059ed8ULL, 0x629a292a367cd507ULL, 0x9159015a3070dd17ULL, 0x152fecd8f70e5939ULL,
     0x67332667ffc00b31ULL, 0x8eb44a8768581511ULL, 0xdb0c2e0d64f98fa7ULL, 0x47b5481dbefa4fa4ULL},
    {0x6a09e667f3bcc908ULL, 0xbb67ae8584caa73bULL, 0x3c6ef372fe94f82bULL, 0xa54ff53a5f1d36f1ULL,
     0x510e527fade682d1ULL, 0x9b05688c2b3e6c1fULL, 0x1f83d9abfb41bd6bULL, 0x5be0cd19137e2179ULL},
    {0x8c3d37c819544da2ULL, 0x73e1996689dcd4d6ULL, 0x1dfab7ae32ff9c82ULL, 0x679dd514582f9fcfULL,
     0x0f6d2b697bd44da8ULL, 0x77e36f7304c48942ULL, 0x3f9d85a86a1d36c8ULL, 0x1112e6ad91d692a1ULL},
    {0x22312194fc2bf72cULL, 0x9f555fa3c84c64c2ULL, 0x2393b86b6f53b151ULL, 0x963877195940eabdULL,
     0x96283ee2a88effe3ULL, 0xbe5e1e2553863992ULL, 0x2b0199fc2c85b8aaULL, 0x0eb72ddc81c52ca2ULL},
};

constexpr uint8_t kLastVariant = Sha2_512_256;

// Every use of the variant as an index comes after this check.
void CheckVariant(const Sha2State& state) {
    if (state.Variant > kLastVariant) throw EDivByZero();
}

bool IsSha256Family(const Sha2State& state) {
    return state.Variant <= Sha2_256;
}

size_t BlockSize(const Sha2State& state) {
    return IsSha256Family(state) ? 64 : 128;
}

size_t DigestLength(uint8_t variant) {
    static constexpr uint8_t kLengths[] = {28, 32, 48, 64, 28, 32};
    return kLengths[variant];
}

void CheckSha2NotFinished(const Sha2State& state) {
    if (state.Finished) throw EHashException(u"HashSha2 finalizado");
}

uint32_t ByteSwap(uint32_t v) { return __builtin_bswap32(v); }
uint64_t ByteSwap(uint64_t v) { return __builtin_bswap64(v); }

template <class Word>
Word LoadBig(const uint8_t* p) {
    Word v;
    std::memcpy(&v, p, sizeof v);
    return ByteSwap(v);
}

template <class Word>
Word Rotr(Word x, int n) { return Word(x >> n) | Word(x << (8 * sizeof(Word) - n)); }

// What tells SHA-256 from SHA-512 in the shared compression: the round
// constants and the rotations and shifts of the four mixing functions.
struct TShaMixing {
    int Sigma0[3], Sigma1[3], Sum0[3], Sum1[3];
};

template <class Word>
struct TShaFamily;

template <>
struct TShaFamily<uint32_t> {
    static constexpr const uint32_t* kConstants = kSha256Rounds;
    static constexpr int kRounds = 64;
    static constexpr TShaMixing kMixing = {{7, 18, 3}, {17, 19, 10}, {2, 13, 22}, {6, 11, 25}};
};

template <>
struct TShaFamily<uint64_t> {
    static constexpr const uint64_t* kConstants = kSha512Rounds;
    static constexpr int kRounds = 80;
    static constexpr TShaMixing kMixing = {{1, 8, 7}, {19, 61, 6}, {28, 34, 39}, {14, 18, 41}};
};

template <class Word>
void ShaCompress(Word hash[8], const uint8_t* blocks, size_t count) {
    using Family = TShaFamily<Word>;
    constexpr TShaMixing m = Family::kMixing;
    for (; count; --count, blocks += 16 * sizeof(Word)) {
        Word w[Family::kRounds];
        for (int t = 0; t < 16; ++t) w[t] = LoadBig<Word>(blocks + sizeof(Word) * t);
        for (int t = 16; t < Family::kRounds; ++t) {
            const Word s0 = Rotr(w[t - 15], m.Sigma0[0]) ^ Rotr(w[t - 15], m.Sigma0[1]) ^ (w[t - 15] >> m.Sigma0[2]);
            const Word s1 = Rotr(w[t - 2], m.Sigma1[0]) ^ Rotr(w[t - 2], m.Sigma1[1]) ^ (w[t - 2] >> m.Sigma1[2]);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        Word a = hash[0], b = hash[1], c = hash[2], d = hash[3];
        Word e = hash[4], f = hash[5], g = hash[6], h = hash[7];
        for (int t = 0; t < Family::kRounds; ++t) {
            const Word t1 = h + (Rotr(e, m.Sum1[0]) ^ Rotr(e, m.Sum1[1]) ^ Rotr(e, m.Sum1[2])) +
                            ((e & f) ^ (~e & g)) + Family::kConstants[t] + w[t];
            const Word t2 = (Rotr(a, m.Sum0[0]) ^ Rotr(a, m.Sum0[1]) ^ Rotr(a, m.Sum0[2])) +
                            ((a & b) ^ (a & c) ^ (b & c));
            h = g; g = f; f = e; e = d + t1;
            d = c; c = b; b = a; a = t1 + t2;
        }
        hash[0] += a; hash[1] += b; hash[2] += c; hash[3] += d;
        hash[4] += e; hash[5] += f; hash[6] += g; hash[7] += h;
    }
}

using TSha256Compress = void (*)(uint32_t*, const uint8_t*, size_t);

// Chosen once, on the first use.
TSha256Compress Sha256Compress() {
    static const TSha256Compress chosen =
        Sha256HasShaInstructions() ? &Sha256CompressShaNi : &Sha256CompressPortable;
    return chosen;
}

// Runs whole blocks of the state's variant straight from `data`.
void CompressBlocks(Sha2State& state, const uint8_t* data, size_t count) {
    if (IsSha256Family(state))
        Sha256Compress()(state.Hash.Words32, data, count);
    else
        ShaCompress(state.Hash.Words64, data, count);
}

} // namespace

void Sha256CompressPortable(uint32_t hash[8], const uint8_t* blocks, size_t count) {
    ShaCompress(hash, blocks, count);
}

#if defined(__x86_64__)

bool Sha256HasShaInstructions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = c & bit_SSSE3, sse41 = c & bit_SSE4_1;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & bit_SHA);
}

// The state travels as two registers, ABEF and CDGH, as the SHA round
// instruction wants it; each step runs four rounds on four schedule words.
__attribute__((target("sha,sse4.1,ssse3")))
void Sha256CompressShaNi(uint32_t hash[8], const uint8_t* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hash)), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hash + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);

    for (; count; --count, blocks += 64) {
        const __m128i abefSaved = abef, cdghSaved = cdgh;
        __m128i w[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i& words = w[i % 4];
            if (i < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
            } else {
                const __m128i w9to12 = _mm_alignr_epi8(w[(i + 3) % 4], w[(i + 2) % 4], 4);
                words = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(words, w[(i + 1) % 4]), w9to12), w[(i + 3) % 4]);
            }
            const __m128i k = _mm_add_epi32(
                words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256Rounds + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(hash), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(hash + 4), _mm_alignr_epi8(dchg, feba, 8));
}

#else

bool Sha256HasShaInstructions() {
    return false;
}

void Sha256CompressShaNi(uint32_t hash[8], const uint8_t* blocks, size_t count) {
    Sha256CompressPortable(hash, blocks, count);
}

#endif

void HashSha2Init(Sha2State& state, uint8_t variant) {
    std::memset(&state, 0, sizeof state);
    state.Variant = variant;
    CheckVariant(state);
    if (variant == Sha2_224)
        std::memcpy(state.Hash.Words32, kInitial224, sizeof kInitial224);
    else if (variant == Sha2_256)
        std::memcpy(state.Hash.Words32, kInitial256, sizeof kInitial256);
    else
        std::memcpy(state.Hash.Words64, kInitial512[variant - Sha2_384], sizeof kInitial512[0]);
}

void HashSha2Block(Sha2State& state) {
    CheckVariant(state);
    CompressBlocks(state, state.Block, 1);
}

void HashSha2Update(Sha2State& state, const void* data, size_t count) {
    CheckSha2NotFinished(state);
    state.BitCount += uint64_t(count) * 8;
    CheckVariant(state);
    if (count == 0) return;
    const size_t blockSize = BlockSize(state);
    const uint8_t* input = static_cast<const uint8_t*>(data);
    if (state.Fill > 0) {
        const size_t taken = std::min(blockSize - state.Fill, count);
        std::memcpy(state.Block + state.Fill, input, taken);
        state.Fill += uint32_t(taken);
        input += taken;
        count -= taken;
        if (state.Fill < blockSize) return;
        HashSha2Block(state);
        state.Fill = 0;
    }
    const size_t blocks = count / blockSize;
    if (blocks > 0) {
        CompressBlocks(state, input, blocks);
        input += blocks * blockSize;
        count -= blocks * blockSize;
    }
    std::memcpy(state.Block, input, count);
    state.Fill = uint32_t(count);
}

TBytes HashSha2Final(Sha2State& state) {
    if (state.Variant > kLastVariant) {
        state.Finished = 1;
        return {};
    }
    if (!state.Finished) {
        const size_t blockSize = BlockSize(state);
        // The length field: 8 bytes for SHA-256, 16 (high half 0) for SHA-512.
        const size_t lengthAt = blockSize - (IsSha256Family(state) ? 8 : 16);
        state.Block[state.Fill++] = 0x80;
        if (state.Fill > lengthAt) {
            std::memset(state.Block + state.Fill, 0, blockSize - state.Fill);
            HashSha2Block(state);
            state.Fill = 0;
        }
        std::memset(state.Block + state.Fill, 0, blockSize - 8 - state.Fill);
        const uint64_t bits = ByteSwap(state.BitCount);
        std::memcpy(state.Block + blockSize - 8, &bits, 8);
        HashSha2Block(state);
        if (IsSha256Family(state))
            for (uint32_t& word : state.Hash.Words32) word = ByteSwap(word);
        else
            for (uint64_t& word : state.Hash.Words64) word = ByteSwap(word);
        state.Finished = 1;
    }
    return TBytes(state.Hash.Bytes, state.Hash.Bytes + DigestLength(state.Variant));
}

} // namespace System

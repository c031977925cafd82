#include "KS.Digest.h"

#include "System.Hash.h"

namespace KS {

std::u16string EncodeBase64(const System::TBytes& bytes) {
    static constexpr char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::u16string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += kAlphabet[(group >> 6) & 63];
        text += kAlphabet[group & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest > 0) {
        const uint32_t group = uint32_t(bytes[i]) << 16 | (rest == 2 ? uint32_t(bytes[i + 1]) << 8 : 0);
        text += kAlphabet[group >> 18];
        text += kAlphabet[(group >> 12) & 63];
        text += rest == 2 ? kAlphabet[(group >> 6) & 63] : u'=';
        text += u'=';
    }
    return text;
}

std::u16string Sha256BytesBase64(const uint8_t* bytes, int64_t count) {
    System::Sha2State state;
    System::HashSha2Init(state, System::Sha2_256);
    if (count > 0) System::HashSha2Update(state, bytes, size_t(count));
    return EncodeBase64(System::HashSha2Final(state));
}

} // namespace KS

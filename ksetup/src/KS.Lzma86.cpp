#include "KS.Lzma86.h"

#include <cstdlib>

#include "LzmaDec.h"

namespace KS {

namespace {

void* LzmaAlloc(void*, size_t size) {
    return std::malloc(size);
}

void LzmaFree(void*, void* address) {
    std::free(address);
}

// A converted instruction's operand is a 32-bit address whose top byte the
// converter only touches when it is 00 or FF (a near target).
bool IsNearTopByte(uint8_t b) {
    return b == 0x00 || b == 0xFF;
}

// Which of the last three bytes before an opcode were themselves E8/E9
// opcodes (bit 0 the nearest) decides whether the operand could be part of
// another instruction: the converter skips such places, and so must we.
constexpr bool MaskAllowsConversion[8] = {true, true, true, false, true, false, false, false};
constexpr int MaskBitNumber[8] = {0, 1, 2, 2, 3, 3, 3, 3};

} // namespace

bool Lzma86Decode(const uint8_t* source, size_t sourceSize, uint8_t* dest, size_t destSize, size_t& decodedSize) {
    decodedSize = 0;
    if (sourceSize < Lzma86HeaderSize) return false;
    const uint8_t filter = source[0];
    if (filter > 1) return false;
    ISzAlloc alloc{LzmaAlloc, LzmaFree};
    SizeT outLength = destSize;
    SizeT inLength = sourceSize - Lzma86HeaderSize;
    ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    const SRes result = LzmaDecode(dest, &outLength, source + Lzma86HeaderSize, &inLength, source + 1,
                                   LZMA_PROPS_SIZE, LZMA_FINISH_ANY, &status, &alloc);
    decodedSize = outLength;
    if (result != SZ_OK) return false;
    if (filter == 1) X86BranchDecode(dest, decodedSize);
    return true;
}

void X86BranchDecode(uint8_t* data, size_t size) {
    if (size < 5) return;
    // Opcodes seen just before the current position, as a 3-bit mask.
    uint32_t prevMask = 0;
    size_t prevPos = static_cast<size_t>(0) - 1;
    size_t pos = 0;
    const size_t limit = size - 4;
    while (true) {
        while (pos < limit && (data[pos] & 0xFE) != 0xE8) ++pos;
        if (pos >= limit) break;
        uint8_t* p = data + pos;
        const size_t distance = pos - prevPos;
        if (distance > 3) {
            prevMask = 0;
        } else {
            prevMask = (prevMask << (distance - 1)) & 7;
            if (prevMask != 0) {
                const uint8_t b = p[4 - MaskBitNumber[prevMask]];
                if (!MaskAllowsConversion[prevMask] || IsNearTopByte(b)) {
                    prevPos = pos;
                    prevMask = ((prevMask << 1) & 7) | 1;
                    ++pos;
                    continue;
                }
            }
        }
        prevPos = pos;
        if (!IsNearTopByte(p[4])) {
            prevMask = ((prevMask << 1) & 7) | 1;
            ++pos;
            continue;
        }
        uint32_t source = static_cast<uint32_t>(p[1]) | static_cast<uint32_t>(p[2]) << 8 |
                          static_cast<uint32_t>(p[3]) << 16 | static_cast<uint32_t>(p[4]) << 24;
        // The instruction ends 5 bytes after its opcode; targets count from there.
        const uint32_t next = static_cast<uint32_t>(pos) + 5;
        uint32_t target = source - next;
        while (prevMask != 0) {
            const int shift = MaskBitNumber[prevMask] * 8;
            if (!IsNearTopByte(static_cast<uint8_t>(target >> (24 - shift)))) break;
            source = target ^ ((1u << (32 - shift)) - 1);
            target = source - next;
        }
        p[4] = static_cast<uint8_t>(~(((target >> 24) & 1) - 1));
        p[3] = static_cast<uint8_t>(target >> 16);
        p[2] = static_cast<uint8_t>(target >> 8);
        p[1] = static_cast<uint8_t>(target);
        pos += 5;
    }
}

} // namespace KS

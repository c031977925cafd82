// What every fuzz target shares. A target defines FuzzOne, which checks the
// properties of its unit on one input. A broken property, and any exception
// that escapes FuzzOne, aborts the process so that libFuzzer keeps the input.
#pragma once

#include <cstdint>
#include <source_location>
#include <span>
#include <string>

namespace KsFuzz {

void FuzzOne(std::span<const uint8_t> data);

[[noreturn]] void Fail(const std::string& what,
                       std::source_location where = std::source_location::current());

// The bytes as UTF-16 units, two per unit, low byte first (an odd last byte is dropped).
std::u16string Units(std::span<const uint8_t> data);

// Reads an input front to back; past its end every byte reads as 0.
class TByteReader {
public:
    explicit TByteReader(std::span<const uint8_t> data) : data_(data) {}
    bool More() const { return at_ < data_.size(); }
    uint8_t Byte() { return More() ? data_[at_++] : 0; }
    // Four bytes, the lowest first.
    int32_t Int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
        return int32_t(v);
    }

private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

} // namespace KsFuzz

#define KS_FUZZ_CHECK(condition) \
    ((condition) ? void() : ::KsFuzz::Fail("property broken: " #condition))

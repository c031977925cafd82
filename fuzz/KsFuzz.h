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

} // namespace KsFuzz

#define KS_FUZZ_CHECK(condition) \
    ((condition) ? void() : ::KsFuzz::Fail("property broken: " #condition))

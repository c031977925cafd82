#include "KsFuzz.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace KsFuzz {

void Fail(const std::string& what, std::source_location where) {
    std::fprintf(stderr, "%s:%u: %s\n", where.file_name(), unsigned(where.line()), what.c_str());
    std::abort();
}

std::u16string Units(std::span<const uint8_t> data) {
    std::u16string units(data.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    return units;
}

} // namespace KsFuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        KsFuzz::FuzzOne({data, size});
    } catch (const std::exception& e) {
        KsFuzz::Fail(std::string("exception escaped: ") + e.what());
    } catch (...) {
        KsFuzz::Fail("exception of no std::exception type escaped");
    }
    return 0;
}

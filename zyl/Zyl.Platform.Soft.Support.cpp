#include "Zyl.Platform.Soft.Support.h"

#include <cstdio>

namespace Zyl {

void PixelCheckFailed(const char* what, std::source_location where) {
    std::fprintf(stderr, "%s:%u: pixel access outside its surface: %s\n", where.file_name(),
                 unsigned(where.line()), what);
    std::abort();
}

} // namespace Zyl

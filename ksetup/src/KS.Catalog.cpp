#include "KS.Catalog.h"

namespace KS {

bool IsPlainFileName(std::u16string_view name) {
    if (name.empty() || name.find(u"..") != std::u16string_view::npos) return false;
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':') return false;
    return true;
}

} // namespace KS

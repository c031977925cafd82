#include "KS.Online.Check.h"

#include "System.Remainder.Text.h"

namespace KS {

namespace {

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

bool IsSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool IsRefusedInName(char16_t c) {
    return IsControl(c) || std::u16string_view(u":|<>\"*?").find(c) != std::u16string_view::npos;
}

// Windows drops trailing dots and blanks from a part, so ". ." or "..."
// would climb like "..".
bool IsDotsAndBlanks(std::u16string_view part) {
    return part.find_first_not_of(u". ") == std::u16string_view::npos;
}

// Parts separated by "/" or "\": each non-empty, none dots and blanks alone,
// none holding a refused character.
bool AreSafeParts(std::u16string_view path) {
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) {
            if (IsRefusedInName(path[i])) return false;
            continue;
        }
        if (IsDotsAndBlanks(path.substr(start, i - start))) return false;
        start = i + 1;
    }
    return true;
}

int Base64Index(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c - u'A';
    if (c >= u'a' && c <= u'z') return c - u'a' + 26;
    if (c >= u'0' && c <= u'9') return c - u'0' + 52;
    if (c == u'+') return 62;
    if (c == u'/') return 63;
    return -1;
}

} // namespace

bool IsSafeRelativeName(std::u16string_view name) {
    return !name.empty() && !IsSeparator(name.front()) && AreSafeParts(name);
}

bool IsSafeRootFolder(std::u16string_view folder) {
    std::u16string_view rest;
    const bool drive = folder.size() >= 3 && folder[1] == u':' && folder[2] == u'\\' &&
                       ((folder[0] | 0x20) >= u'a' && (folder[0] | 0x20) <= u'z');
    if (drive) {
        rest = folder.substr(3);
    } else if (folder.size() > 2 && folder[0] == u'\\' && folder[1] == u'\\') {
        // The server and share are parts like any other, and both must be there.
        rest = folder.substr(2);
        const size_t share = rest.find(u'\\');
        if (share == std::u16string_view::npos || share + 1 >= rest.size()) return false;
    } else {
        return false;
    }
    while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
    return rest.empty() || AreSafeParts(rest);
}

bool IsDigestText(std::u16string_view text) {
    if (text.size() != 44 || text[43] != u'=') return false;
    for (size_t i = 0; i < 43; ++i)
        if (Base64Index(text[i]) < 0) return false;
    // 32 bytes end in a group of two: its third character carries two zero bits.
    return (Base64Index(text[42]) & 3) == 0;
}

bool IsPossibleFileSize(int64_t size) {
    return size >= 0 && size <= kMaxCatalogFileSize;
}

bool IsPossibleZSize(int64_t zsize) {
    // A zlib stream has a 2-byte header, a deflate block and a 4-byte checksum.
    return zsize >= 8 && zsize <= kMaxCatalogZSize;
}

std::u16string PathCompareKey(std::u16string_view path) {
    std::u16string key;
    key.reserve(path.size());
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        std::u16string_view part = path.substr(start, i - start);
        const size_t kept = part.find_last_not_of(u". ");
        part = kept == std::u16string_view::npos ? part : part.substr(0, kept + 1);
        key += part;
        if (i < path.size()) key += u'\\';
        start = i + 1;
    }
    return System::UpperCase(std::move(key));
}

std::u16string PrintableText(std::u16string_view text) {
    std::u16string shown(text);
    for (char16_t& c : shown)
        if (IsControl(c)) c = u'?';
    return shown;
}

} // namespace KS

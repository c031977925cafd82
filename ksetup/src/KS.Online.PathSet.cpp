#include "KS.Online.PathSet.h"

#include "KS.Sys.Text.h"

namespace KS {

uint32_t PathSetHash(const std::u16string& lowerCased) {
    uint32_t h = 7;
    for (char16_t unit : lowerCased) h = (h * 131 + unit) % TPathSet::kBucketCount;
    return h;
}

TPathSet::TPathSet() : Buckets(kBucketCount, 0) {}

void TPathSet::Add(const std::u16string& path) {
    std::u16string lower = AsciiLowerCase(path);
    int32_t& bucket = Buckets[PathSetHash(lower)];
    Next.push_back(bucket);
    Paths.push_back(std::move(lower));
    bucket = Count();
}

bool TPathSet::Contains(const std::u16string& path) const {
    const std::u16string lower = AsciiLowerCase(path);
    for (int32_t link = Buckets[PathSetHash(lower)]; link != 0; link = Next[link - 1])
        if (Paths[link - 1] == lower) return true;
    return false;
}

} // namespace KS

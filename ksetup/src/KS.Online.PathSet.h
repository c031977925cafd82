// A set of paths compared without regard to ASCII case, so that the stale
// file sweep decides in constant time whether a journal record still names a
// catalogue file, even with tens of thousands of them. No Windows interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "System.Remainder.Object.h"

namespace KS {

class TPathSet : public System::TObject {
public:
    static constexpr uint32_t kBucketCount = 200003;

    TPathSet();

    // A path added twice is stored twice.
    void Add(const std::u16string& path);
    // Only A to Z fold: accented letters must match as written.
    bool Contains(const std::u16string& path) const;
    int32_t Count() const { return int32_t(Paths.size()); }

    // Chains of 1-based entry indices, 0 ending a chain: a bucket holds its
    // newest entry, Next links each entry to the older one before it.
    std::vector<int32_t> Buckets;
    std::vector<int32_t> Next;
    // The lower-cased paths in the order they were added.
    std::vector<std::u16string> Paths;
};

// h := (h * 131 + unit) mod 200003 from 7, over the UTF-16 units.
uint32_t PathSetHash(const std::u16string& lowerCased);

} // namespace KS

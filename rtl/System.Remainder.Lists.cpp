#include "System.Remainder.Lists.h"

#include <algorithm>

#include "System.Remainder.Exceptions.h"

namespace System {

void RaiseListIndexError() {
    throw EListError(u"índice fora da lista");
}

int64_t GrowObjectListCapacity(int64_t capacity) noexcept {
    return capacity == 0 ? 8 : capacity * 2;
}

void TList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= count_) RaiseListIndexError();
}

void* TList::Get(int32_t index) const {
    CheckIndex(index);
    return items_[size_t(index)];
}

void TList::Add(void* item) {
    if (count_ == Capacity()) items_.resize(size_t(GrowObjectListCapacity(count_)));
    items_[size_t(count_++)] = item;
}

int32_t TList::IndexOf(const void* item) const noexcept {
    const auto end = items_.begin() + count_;
    const auto found = std::find(items_.begin(), end, item);
    return found == end ? -1 : int32_t(found - items_.begin());
}

void TList::Delete(int32_t index) {
    CheckIndex(index);
    std::copy(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
    --count_;
}

void TList::Clear() {
    items_ = {};
    count_ = 0;
}

void TList::Assign(const TList* source) {
    // Clearing first would lose the pointers of a list assigned to itself.
    if (source == this) return;
    Clear();
    if (!source) return;
    const int32_t count = source->count_;
    for (int32_t i = 0; i < count; ++i) Add(source->items_[size_t(i)]);
}

} // namespace System

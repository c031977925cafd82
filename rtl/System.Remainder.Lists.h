// Growable object lists: TList keeps plain pointers and holds no references;
// TList__T<T> keeps a counted reference to every element and reports each
// addition and deletion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "System.Remainder.Object.h"

namespace System {

// EListError "índice fora da lista" (object lists name no index).
[[noreturn]] void RaiseListIndexError();

// The capacity after a full list of `capacity` entries grows: 8, then doubled.
int64_t GrowObjectListCapacity(int64_t capacity) noexcept;

class TList : public TObject {
public:
    void* Get(int32_t index) const;
    void Add(void* item);
    // The first index holding the pointer, -1 when none.
    int32_t IndexOf(const void* item) const noexcept;
    void Delete(int32_t index);
    // Releases the storage; the pointed-to objects are not touched.
    virtual void Clear();
    // Replaces the contents by the pointers of `source` (none: only clears).
    virtual void Assign(const TList* source);

    int32_t Count() const noexcept { return count_; }
    int32_t Capacity() const noexcept { return int32_t(items_.size()); }

private:
    void CheckIndex(int32_t index) const;

    std::vector<void*> items_;  // its length is the capacity
    int32_t count_ = 0;
};

enum class TListNotification : int32_t { Added = 0, Deleted = 1 };

template <class T>
class TList__T : public TObject {
public:
    using TNotifyHandler = std::function<void(TList__T& list, T* item, TListNotification action)>;

    // Called after an element was added or deleted.
    TNotifyHandler OnNotify;

    // The element with a reference of the caller's own.
    TRef<T> Get(int64_t index) const {
        CheckIndex(index);
        return items_[size_t(index)];
    }

    void Add(TRef<T> item) {
        if (count_ == int64_t(items_.size())) items_.resize(size_t(GrowObjectListCapacity(count_)));
        T* const added = item.Get();
        items_[size_t(count_++)] = std::move(item);
        if (OnNotify) OnNotify(*this, added, TListNotification::Added);
    }

    // Compares identities and takes no reference, so it can be asked about
    // an object that is being built or destroyed.
    int64_t IndexOf(const T* item) const noexcept {
        for (int64_t i = 0; i < count_; ++i)
            if (items_[size_t(i)].Get() == item) return i;
        return -1;
    }

    void Delete(int64_t index) {
        CheckIndex(index);
        // Keeps an element that the list alone held alive until the
        // notification has seen it.
        const TRef<T> deleted = items_[size_t(index)];
        std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
        items_[size_t(--count_)] = nullptr;
        if (OnNotify) OnNotify(*this, deleted.Get(), TListNotification::Deleted);
    }

    int64_t Count() const noexcept { return count_; }
    int64_t Capacity() const noexcept { return int64_t(items_.size()); }

private:
    void CheckIndex(int64_t index) const {
        if (index < 0 || index >= count_) RaiseListIndexError();
    }

    std::vector<TRef<T>> items_;  // its length is the capacity
    int64_t count_ = 0;
};

} // namespace System

// The root class and the counted reference that holds it.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace System {

// Every class-library object carries one atomic reference count and is
// deleted when the last counted reference goes. Plain pointers do not count.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // While the object is being destroyed both calls do nothing, so a
    // reference taken by a destructor cannot revive it or free it twice.
    void AddRef() const noexcept;
    void Release() const noexcept;
    int32_t RefCount() const noexcept;
    bool Destroying() const noexcept;

protected:
    // For a destructor that can run while counted references remain (its
    // object deleted without them, or a constructor that raised): from here
    // on AddRef and Release do nothing, as after the last Release.
    void EnterDestruction() const noexcept;
    // For a constructor that calls code which takes and drops counted
    // references to the new object (a notifying setter): the hold keeps the
    // count above 0 meanwhile, and giving it back never frees.
    void TakeConstructionHold() const noexcept { refCount_.fetch_add(1, std::memory_order_relaxed); }
    void ReleaseConstructionHold() const noexcept { refCount_.fetch_sub(1, std::memory_order_acq_rel); }

private:
    static constexpr int32_t kDestroying = INT32_MIN / 2;
    mutable std::atomic<int32_t> refCount_{0};
};

// A counted reference to a TObject descendant.
template <class T>
class TRef {
public:
    TRef() noexcept = default;
    TRef(std::nullptr_t) noexcept {}
    TRef(T* p) noexcept : p_(p) { if (p_) p_->AddRef(); }
    TRef(const TRef& o) noexcept : TRef(o.p_) {}
    TRef(TRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
    TRef(const TRef<U>& o) noexcept : TRef(static_cast<T*>(o.Get())) {}
    ~TRef() { if (p_) p_->Release(); }

    TRef& operator=(TRef o) noexcept { std::swap(p_, o.p_); return *this; }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    friend bool operator==(const TRef& a, const TRef& b) noexcept { return a.p_ == b.p_; }
    friend bool operator==(const TRef& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

private:
    T* p_ = nullptr;
};

template <class T, class... Args>
TRef<T> MakeRef(Args&&... args) {
    return TRef<T>(new T(std::forward<Args>(args)...));
}

} // namespace System

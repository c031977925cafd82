// The one owning pointer for every Direct2D, DirectWrite and WIC interface:
// it holds exactly one reference, so each path releases exactly once.
#pragma once

#include <unknwn.h>

#include <utility>

namespace Zyl {

template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(const TComPtr& other) : p_(other.p_) { AddRefIfAny(); }
    TComPtr(TComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~TComPtr() { Reset(); }
    TComPtr& operator=(TComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes one reference of its own on `p`.
    static TComPtr Take(T* p) {
        TComPtr result;
        result.p_ = p;
        result.AddRefIfAny();
        return result;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // The slot an out-parameter call fills; whatever was held is released.
    T** Out() {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

private:
    void AddRefIfAny() {
        if (p_) p_->AddRef();
    }

    T* p_ = nullptr;
};

} // namespace Zyl

#include "System.Remainder.Object.h"

namespace System {

void TObject::AddRef() const noexcept {
    if (refCount_.load(std::memory_order_relaxed) < 0) return;
    refCount_.fetch_add(1, std::memory_order_relaxed);
}

void TObject::Release() const noexcept {
    if (refCount_.load(std::memory_order_relaxed) < 0) return;
    if (refCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        refCount_.store(kDestroying, std::memory_order_relaxed);
        delete this;
    }
}

int32_t TObject::RefCount() const noexcept {
    const int32_t n = refCount_.load(std::memory_order_relaxed);
    return n < 0 ? 0 : n;
}

void TObject::EnterDestruction() const noexcept {
    refCount_.store(kDestroying, std::memory_order_relaxed);
}

bool TObject::Destroying() const noexcept {
    return refCount_.load(std::memory_order_relaxed) < 0;
}

} // namespace System

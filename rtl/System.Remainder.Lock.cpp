#include "System.Remainder.Lock.h"

namespace System {

void TRecursiveLock::Enter() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (owner_.load() == self) {
        ++recursion_;
        return;
    }
    released_.wait(guard, [this] { return recursion_ == 0; });
    owner_.store(self);
    recursion_ = 1;
}

void TRecursiveLock::Leave() {
    std::unique_lock<std::mutex> guard(mutex_);
    if (owner_.load() != std::this_thread::get_id() || recursion_ == 0) return;
    if (--recursion_ == 0) {
        owner_.store(std::thread::id());
        guard.unlock();
        released_.notify_one();
    }
}

bool TRecursiveLock::HeldByCurrentThread() const {
    return owner_.load() == std::this_thread::get_id();
}

TRecursiveLock& ClassLibraryLock() {
    static TRecursiveLock lock;
    return lock;
}

void WaitGlobalLock() {
    TLockGuard hold(ClassLibraryLock());
}

} // namespace System

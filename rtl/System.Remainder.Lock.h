// The class library's recursive lock, which records its owner thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace System {

class TRecursiveLock {
public:
    void Enter();
    void Leave();
    bool HeldByCurrentThread() const;

private:
    std::mutex mutex_;
    std::condition_variable released_;
    std::atomic<std::thread::id> owner_{};
    uint32_t recursion_ = 0;
};

// The process-wide lock of the class library (thread list, globals).
TRecursiveLock& ClassLibraryLock();

// Returns only when no other thread holds ClassLibraryLock.
void WaitGlobalLock();

// Holds a TRecursiveLock for a scope.
class TLockGuard {
public:
    explicit TLockGuard(TRecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
    ~TLockGuard() { lock_.Leave(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;

private:
    TRecursiveLock& lock_;
};

} // namespace System

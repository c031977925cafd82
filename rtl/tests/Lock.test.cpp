#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "System.Remainder.Lock.h"

using namespace System;

TEST(ClassLibraryLock, IsRecursiveAndRecordsItsOwner) {
    TRecursiveLock& lock = ClassLibraryLock();
    lock.Enter();
    lock.Enter();
    EXPECT_TRUE(lock.HeldByCurrentThread());
    lock.Leave();
    EXPECT_TRUE(lock.HeldByCurrentThread());
    lock.Leave();
    EXPECT_FALSE(lock.HeldByCurrentThread());
}

TEST(ClassLibraryLock, WaitGlobalLockReturnsOnlyAfterTheHolderLeaves) {
    std::atomic<bool> held{false}, released{false}, waited{false};
    std::thread holder([&] {
        TLockGuard guard(ClassLibraryLock());
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        released = true;
    });
    while (!held) std::this_thread::yield();
    WaitGlobalLock();
    waited = released.load();
    holder.join();
    EXPECT_TRUE(waited);
    EXPECT_FALSE(ClassLibraryLock().HeldByCurrentThread());
}

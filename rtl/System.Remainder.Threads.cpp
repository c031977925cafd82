#include "System.Remainder.Threads.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <utility>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Faults.h"
#include "System.Remainder.Lock.h"

namespace System {

std::atomic<bool> ShuttingDown{false};

namespace {

// The thread list, guarded by ClassLibraryLock.
TThread* listHead = nullptr;
TThread* listTail = nullptr;

std::atomic<int32_t> runningThreads{0};

// Set when the running count drops to 0. It stays open for the whole
// process: a thread may still end after the exit routine has run.
HANDLE AllThreadsDoneEvent() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

void WaitAtExit() {
    ShuttingDown = true;
    WaitForThreadsAtExit();
}

} // namespace

struct TThread::TEntry {
    static DWORD WINAPI Routine(LPVOID self) { return static_cast<TThread*>(self)->Run(); }
};

TThread::TThread() {
    AllThreadsDoneEvent();
    TLockGuard hold(ClassLibraryLock());
    listed_ = true;
    prev_ = listTail;
    (listTail ? listTail->next_ : listHead) = this;
    listTail = this;
}

TThread::~TThread() {
    {
        TLockGuard hold(ClassLibraryLock());
        if (listed_.exchange(false)) Unlink();
    }
    // A started thread holds a reference to its object until it has
    // finished, so nothing is left to wait for; a never-started one is not
    // started now, as its Execute would run on a half-destroyed object.
    if (HANDLE handle = std::exchange(handle_, nullptr)) CloseHandle(handle);
}

void TThread::Unlink() {
    (prev_ ? prev_->next_ : listHead) = next_;
    (next_ ? next_->prev_ : listTail) = prev_;
    next_ = prev_ = nullptr;
}

void TThread::Start() {
    if (started_) return;
    TLockGuard hold(ClassLibraryLock());
    if (started_) return;
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, &TEntry::Routine, this, CREATE_SUSPENDED, &id);
    if (!handle) throw EOsError(GetLastError());
    handle_ = handle;
    threadId_ = id;
    started_ = true;
    if (!selfReferenced_.exchange(true)) AddRef();
    static std::once_flag exitWait;
    std::call_once(exitWait, [] { std::atexit(WaitAtExit); });
    // Counted before it runs, so that the exit routine cannot miss it.
    ++runningThreads;
    ResumeThread(handle);
}

void TThread::Execute() {
    throw EAbstractError(u"TThread", u"Execute");
}

void TThread::WaitFor() {
    if (handle_) WaitForSingleObject(handle_, 1000);
}

uint32_t TThread::Run() {
    KeepStackOverflowRoom();
    running_ = true;
    returnValue_ = 0;
    RunBody();
    const uint32_t exitCode = returnValue_;
    Finish();  // may destroy the object: nothing of it is touched below
    if (--runningThreads == 0) SetEvent(AllThreadsDoneEvent());
    return exitCode;
}

void TThread::RunBody() {
    if (ShuttingDown) {
        terminated_ = true;
        return;
    }
    // Nothing may unwind through the thread's start routine.
    try {
        Execute();
    } catch (...) {
        fatalException_ = std::current_exception();
    }
}

void TThread::Finish() {
    finished_ = true;
    running_ = false;
    if (selfReferenced_.exchange(false)) Release();
}

int32_t RunningThreadCount() {
    return runningThreads;
}

void WaitForThreadsAtExit() {
    {
        TLockGuard hold(ClassLibraryLock());
        while (TThread* thread = listHead) {
            thread->listed_ = false;
            thread->Unlink();
        }
    }
    const HANDLE done = AllThreadsDoneEvent();
    while (runningThreads > 0) {
        if (WaitForSingleObject(done, 1000) == WAIT_OBJECT_0 && runningThreads > 0) ResetEvent(done);
    }
}

} // namespace System

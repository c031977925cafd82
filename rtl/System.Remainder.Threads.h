// The class library's thread object: Execute runs on its own Windows thread.
// Every started thread holds a reference to its own object until its routine
// ends, so an owner may drop its references at any time; thread objects are
// therefore always created with MakeRef, never on the stack.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>

#include "System.Remainder.Object.h"

namespace System {

void WaitForThreadsAtExit();

class TThread : public TObject {
public:
    TThread();
    // A thread that was never started is not started now: Execute never runs.
    ~TThread() override;

    // Creates the OS thread and lets it run; later calls do nothing. Raises
    // EOsError when the system cannot create the thread.
    void Start();
    // One wait of at most 1000 ms for the thread to end; callers test Finished.
    virtual void WaitFor();

    bool Started() const { return started_; }
    bool Terminated() const { return terminated_; }
    bool Running() const { return running_; }
    bool Finished() const { return finished_; }
    uint32_t ReturnValue() const { return returnValue_; }
    void* Handle() const { return handle_; }
    uint32_t ThreadId() const { return threadId_; }
    // What escaped Execute; empty otherwise. Valid once Finished is set.
    std::exception_ptr FatalException() const { return fatalException_; }

protected:
    // The work. May poll Terminated and set the thread's exit code.
    virtual void Execute();
    void SetReturnValue(uint32_t value) { returnValue_ = value; }

private:
    friend void WaitForThreadsAtExit();
    struct TEntry;
    uint32_t Run();
    void RunBody();
    void Finish();
    void Unlink();

    std::atomic<bool> listed_{false};
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> selfReferenced_{false};
    std::atomic<uint32_t> returnValue_{0};
    void* handle_ = nullptr;
    uint32_t threadId_ = 0;
    // Links of the process-wide thread list, guarded by ClassLibraryLock.
    TThread* next_ = nullptr;
    TThread* prev_ = nullptr;
    std::exception_ptr fatalException_;
};

// Set when the program shuts down: a thread whose routine starts afterwards
// does not run Execute and only marks itself terminated.
extern std::atomic<bool> ShuttingDown;

// Thread routines started and not yet ended.
int32_t RunningThreadCount();

// Empties the thread list, then waits in rounds of 1000 ms until no thread
// routine runs. Runs by itself at program exit (after setting ShuttingDown)
// once a thread has been started.
void WaitForThreadsAtExit();

} // namespace System

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <thread>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Threads.h"

using namespace System;

namespace {

// A manual-reset event the test sets to let a thread go on.
class Gate {
public:
    Gate() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(event_); }
    void Open() { SetEvent(event_); }
    void Pass() { WaitForSingleObject(event_, 10000); }

private:
    HANDLE event_;
};

struct Probe {
    std::atomic<int> executions{0};
    std::atomic<int> destructions{0};
    std::atomic<DWORD> destroyedOn{0};
};

class ProbeThread : public TThread {
public:
    ProbeThread(Probe& probe, Gate* gate = nullptr, uint32_t exitCode = 0)
        : probe_(probe), gate_(gate), exitCode_(exitCode) {}
    ~ProbeThread() override {
        probe_.destroyedOn = GetCurrentThreadId();
        ++probe_.destructions;
    }

protected:
    void Execute() override {
        ++probe_.executions;
        if (gate_) gate_->Pass();
        SetReturnValue(exitCode_);
    }

private:
    Probe& probe_;
    Gate* gate_;
    uint32_t exitCode_;
};

class FailingThread : public TThread {
protected:
    void Execute() override { throw EListError(u"falhou na thread"); }
};

void WaitUntilFinished(TThread& thread) {
    for (int round = 0; round < 20 && !thread.Finished(); ++round) thread.WaitFor();
    ASSERT_TRUE(thread.Finished());
}

template <class E>
std::u16string MessageOf(const std::exception_ptr& fatal) {
    try {
        std::rethrow_exception(fatal);
    } catch (const E& e) {
        return e.Message;
    }
}

} // namespace

TEST(Threads, StartTwiceCreatesOneThread) {
    Probe probe;
    Gate gate;
    const TRef<ProbeThread> thread = MakeRef<ProbeThread>(probe, &gate, 42);
    EXPECT_FALSE(thread->Started());
    std::thread other([&] { thread->Start(); });
    thread->Start();
    other.join();
    const void* handle = thread->Handle();
    const uint32_t id = thread->ThreadId();
    thread->Start();
    EXPECT_EQ(thread->Handle(), handle);
    EXPECT_EQ(thread->ThreadId(), id);
    EXPECT_GE(RunningThreadCount(), 1);

    gate.Open();
    WaitUntilFinished(*thread);
    EXPECT_EQ(probe.executions, 1);
    EXPECT_FALSE(thread->Running());
    EXPECT_EQ(thread->ReturnValue(), 42u);
    WaitForSingleObject(thread->Handle(), 10000);
    DWORD exitCode = 0;
    GetExitCodeThread(thread->Handle(), &exitCode);
    EXPECT_EQ(exitCode, 42u);
    EXPECT_FALSE(thread->FatalException());
}

TEST(Threads, AnExceptionInExecuteIsKept) {
    const TRef<FailingThread> failing = MakeRef<FailingThread>();
    const TRef<TThread> abstract = MakeRef<TThread>();
    failing->Start();
    abstract->Start();
    WaitUntilFinished(*failing);
    WaitUntilFinished(*abstract);
    ASSERT_TRUE(failing->FatalException());
    EXPECT_EQ(MessageOf<EListError>(failing->FatalException()), u"falhou na thread");
    EXPECT_EQ(MessageOf<EAbstractError>(abstract->FatalException()),
              u"O método \"Execute\" da classe \"TThread\" não foi implementado");
    EXPECT_FALSE(failing->Running());
}

TEST(Threads, ObjectLivesUntilItsThreadEnds) {
    Probe probe;
    Gate gate;
    {
        const TRef<ProbeThread> thread = MakeRef<ProbeThread>(probe, &gate);
        thread->Start();
    }  // the creator's last reference goes while the thread waits
    EXPECT_EQ(probe.destructions, 0);
    gate.Open();
    for (int i = 0; i < 1000 && probe.destructions == 0; ++i) Sleep(10);
    EXPECT_EQ(probe.executions, 1);
    EXPECT_EQ(probe.destructions, 1);
    EXPECT_NE(probe.destroyedOn, GetCurrentThreadId());  // the thread dropped the last reference
}

TEST(Threads, NeverStartedDestructionRunsNothing) {
    Probe probe;
    const int32_t running = RunningThreadCount();
    {
        const TRef<ProbeThread> thread = MakeRef<ProbeThread>(probe);
        thread->WaitFor();  // no handle: returns at once
        EXPECT_EQ(thread->Handle(), nullptr);
    }
    EXPECT_EQ(probe.executions, 0);
    EXPECT_EQ(probe.destructions, 1);
    EXPECT_EQ(probe.destroyedOn, GetCurrentThreadId());
    EXPECT_EQ(RunningThreadCount(), running);
}

TEST(Threads, NoExecuteAfterShutdownBegan) {
    Probe probe;
    const TRef<ProbeThread> thread = MakeRef<ProbeThread>(probe);
    ShuttingDown = true;
    thread->Start();
    WaitUntilFinished(*thread);
    ShuttingDown = false;
    EXPECT_EQ(probe.executions, 0);
    EXPECT_TRUE(thread->Terminated());
}

TEST(Threads, ExitWaitsForRunningThreads) {
    WaitForThreadsAtExit();  // nothing runs: returns at once
    EXPECT_EQ(RunningThreadCount(), 0);

    static Gate started;
    class LateThread : public TThread {
    protected:
        void Execute() override {
            started.Open();
            Sleep(1500);  // longer than one round of the exit wait
            std::fputs("thread terminou\n", stderr);
        }
    };
    const auto exitEarly = [] {
        MakeRef<LateThread>()->Start();
        started.Pass();  // a body that starts after the exit began would skip Execute
        std::exit(0);
    };
    EXPECT_EXIT(exitEarly(), testing::ExitedWithCode(0), "thread terminou");
}

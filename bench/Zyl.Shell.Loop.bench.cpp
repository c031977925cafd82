// The shell's idle message loop: a 5 s Run with no timer and with a 30 ms
// timer, reporting loop passes per second and CPU milliseconds per second.
#include <windows.h>

#include <cstdio>

#include "Zyl.Platform.Shell.h"

using namespace Zyl;

namespace {

int64_t Waits = 0;
TShellCalls::MsgWaitFunction RealWait = nullptr;

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

void Measure(const char* name, bool withTimer) {
    const System::TRef<TShellWinApp> app = System::MakeRef<TShellWinApp>();
    if (withTimer) app->AddTimer(30, [] {});
    app->AddTimer(5000, [&app] { app->Quit(); });
    Waits = 0;
    const double cpu = CpuMs();
    const ULONGLONG start = GetTickCount64();
    app->Run();
    const double seconds = double(GetTickCount64() - start) / 1000.0;
    std::printf("%-14s %8.1f passes/s %8.2f CPU ms/s\n", name, double(Waits) / seconds, (CpuMs() - cpu) / seconds);
}

} // namespace

int main() {
    RealWait = ShellCalls().MsgWaitForMultipleObjects;
    // Each pass of Run waits once.
    ShellCalls().MsgWaitForMultipleObjects = [](DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
        ++Waits;
        return RealWait(count, handles, all, ms, mask);
    };
    Measure("no timer", false);
    Measure("30 ms timer", true);
    return 0;
}

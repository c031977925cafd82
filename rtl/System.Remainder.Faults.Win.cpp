// The runtime's last-chance filter for hardware faults.
#include <windows.h>

#include "System.Remainder.Faults.h"

namespace System {

namespace {

// Room kept on a thread's stack for the system's dispatch of a stack
// overflow and for this filter.
constexpr ULONG kStackOverflowRoom = 64 * 1024;

// The filter in place before ours: mingw's, which continues a C++ exception
// that nothing caught so that its throw goes on into std::terminate.
LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter = nullptr;

// GCC's unwinder raises every C++ exception under a code of this family.
bool IsCppException(DWORD code) {
    return (code & 0x20FFFFFF) == 0x20474343;
}

LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (IsCppException(record.ExceptionCode))
        return PreviousFilter ? PreviousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
    const THardwareFaultLine line =
        HardwareFaultLine(record.ExceptionCode, reinterpret_cast<uintptr_t>(record.ExceptionAddress));
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.Text, DWORD(line.Length), &written, nullptr);
    // Not ExitProcess: it would run the libraries' detach routines and the
    // atexit handlers (the units' finalisation among them), which take the
    // loader's and the heap's locks that the faulting code may hold and work
    // on a state that is no longer known.
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

// Without a guarantee the overflow leaves too little stack for the system's
// own dispatch, and the process dies before the filter runs. Wine commits a
// thread's stack whole with one guard page at its bottom, inside the
// guaranteed part, and honours the guarantee only when it moves a guard page
// down: a guard page just above the guaranteed part makes it raise the
// overflow there. Windows commits the stack as it grows, so that page is
// still only reserved and the system's own guard pages do the work.
void KeepStackOverflowRoom() {
    ULONG room = kStackOverflowRoom;
    SetThreadStackGuarantee(&room);
    MEMORY_BASIC_INFORMATION stack{};
    VirtualQuery(&stack, &stack, sizeof(stack));
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const uintptr_t page =
        reinterpret_cast<uintptr_t>(stack.AllocationBase) + system.dwPageSize + kStackOverflowRoom;
    MEMORY_BASIC_INFORMATION guard{};
    DWORD previous = 0;
    // Only a page of this stack that is committed and below this frame.
    if (page + system.dwPageSize <= reinterpret_cast<uintptr_t>(&stack) &&
        VirtualQuery(reinterpret_cast<void*>(page), &guard, sizeof(guard)) &&
        guard.AllocationBase == stack.AllocationBase && guard.State == MEM_COMMIT && guard.Protect == PAGE_READWRITE)
        VirtualProtect(reinterpret_cast<void*>(page), system.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &previous);
}

void InstallHardwareFaultHandler() {
    static const bool installed = [] {
        KeepStackOverflowRoom();
        PreviousFilter = SetUnhandledExceptionFilter(OnUnhandledFault);
        return true;
    }();
    (void)installed;
}

} // namespace System

// Hardware faults (an access violation, a stack overflow, an integer
// division by zero...) end the program as an exception that nothing caught
// does: one line on standard output and exit code 1. The line is put
// together here without the heap, the C runtime's streams or any lock, since
// it is written after the fault, in whatever state the program was left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace System {

// The fault's name for a Windows exception code, in Portuguese (UTF-8):
// "Violação de acesso" for C0000005, "Estouro de pilha" for C00000FD,
// EDivByZero's message for C0000094...; "Exceção externa" for any code that
// is no hardware fault.
std::string_view HardwareFaultName(uint32_t code);

// "Excecao nao tratada: " + the fault's name + " (código " + the code in 8
// hexadecimal digits + ") no endereço " + the address in 16, and "\r\n", as
// the C runtime's text mode ends an unhandled C++ exception's line.
struct THardwareFaultLine {
    char Text[128];
    size_t Length = 0;

    std::string_view View() const { return {Text, Length}; }
};
THardwareFaultLine HardwareFaultLine(uint32_t code, uint64_t address);

// Windows only. Makes the runtime's filter the last chance for an exception
// that nothing handled: a hardware fault writes its line and ends the process
// with exit code 1, without the system's crash box; a C++ exception goes on
// to the filter that was in place before (mingw's, which lets it reach
// std::terminate and so the unhandled-exception exit). Keeps room on the
// calling thread's stack for reporting its overflow, so call it on the main
// thread. Later calls do nothing.
void InstallHardwareFaultHandler();

// Windows only. Keeps room on the calling thread's stack for reporting its
// overflow: without it, Wine ends only the overflowing thread, silently.
// Every thread the runtime starts does this first.
void KeepStackOverflowRoom();

} // namespace System

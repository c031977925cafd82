#include "System.Remainder.Faults.h"

#include <algorithm>
#include <cstring>

#include "System.Remainder.Exceptions.h"

namespace System {

namespace {

struct TFaultName {
    uint32_t Code;
    std::string_view Name;
};

constexpr TFaultName kFaultNames[] = {
    {0xC0000005, "Violação de acesso"},
    {0xC00000FD, "Estouro de pilha"},
    {0xC0000094, kDivByZeroText},
    {0xC0000095, "Estouro de inteiro"},
    {0xC000001D, "Instrução ilegal"},
    {0xC0000096, "Instrução privilegiada"},
    {0xC0000006, "Falha ao carregar página"},
    {0x80000002, "Dado desalinhado"},
    {0xC000008C, "Índice fora dos limites do vetor"},
    {0xC000008D, "Operando de ponto flutuante desnormalizado"},
    {0xC000008E, "Divisão por zero em ponto flutuante"},
    {0xC000008F, "Resultado inexato em ponto flutuante"},
    {0xC0000090, "Operação inválida em ponto flutuante"},
    {0xC0000091, "Estouro em ponto flutuante"},
    {0xC0000092, "Erro na pilha de ponto flutuante"},
    {0xC0000093, "Estouro negativo em ponto flutuante"},
};
constexpr std::string_view kExternalException = "Exceção externa";

constexpr std::string_view kCodeOpening = " (código ";
constexpr std::string_view kAddressOpening = ") no endereço ";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kCodeDigits = 8;
constexpr size_t kAddressDigits = 16;

// The buffer holds the line of the longest name, so no line is ever cut and
// no bound needs checking while a fault is reported.
constexpr size_t LongestLine() {
    size_t name = kExternalException.size();
    for (const TFaultName& fault : kFaultNames) name = std::max(name, fault.Name.size());
    return std::string_view(kUnhandledExceptionPrefix).size() + name + kCodeOpening.size() + kCodeDigits +
           kAddressOpening.size() + kAddressDigits + kLineEnd.size();
}
static_assert(LongestLine() <= sizeof(THardwareFaultLine::Text));

void Append(THardwareFaultLine& line, std::string_view text) {
    std::memcpy(line.Text + line.Length, text.data(), text.size());
    line.Length += text.size();
}

void AppendHex(THardwareFaultLine& line, uint64_t value, size_t digits) {
    for (size_t i = digits; i-- > 0; value >>= 4) line.Text[line.Length + i] = "0123456789ABCDEF"[value & 15];
    line.Length += digits;
}

} // namespace

std::string_view HardwareFaultName(uint32_t code) {
    for (const TFaultName& fault : kFaultNames)
        if (fault.Code == code) return fault.Name;
    return kExternalException;
}

THardwareFaultLine HardwareFaultLine(uint32_t code, uint64_t address) {
    THardwareFaultLine line;
    Append(line, kUnhandledExceptionPrefix);
    Append(line, HardwareFaultName(code));
    Append(line, kCodeOpening);
    AppendHex(line, code, kCodeDigits);
    Append(line, kAddressOpening);
    AppendHex(line, address, kAddressDigits);
    Append(line, kLineEnd);
    return line;
}

} // namespace System

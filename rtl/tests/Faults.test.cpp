#include <gtest/gtest.h>

#include <set>
#include <string_view>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Faults.h"

using namespace System;

TEST(HardwareFaultLine, NamesTheFaultAndGivesCodeAndAddressInFullWidthHex) {
    const struct {
        uint32_t Code;
        uint64_t Address;
        std::string_view Line;
    } cases[] = {
        {0xC0000005, 0x00000001400012AB,
         "Excecao nao tratada: Violação de acesso (código C0000005) no endereço 00000001400012AB\r\n"},
        {0xC00000FD, 0,
         "Excecao nao tratada: Estouro de pilha (código C00000FD) no endereço 0000000000000000\r\n"},
        {0xC0000094, 0xFEDCBA9876543210,
         "Excecao nao tratada: Divisão por zero (código C0000094) no endereço FEDCBA9876543210\r\n"},
        // The longest name with the widest address.
        {0xC000008D, 0xFFFFFFFFFFFFFFFF,
         "Excecao nao tratada: Operando de ponto flutuante desnormalizado (código C000008D) no endereço "
         "FFFFFFFFFFFFFFFF\r\n"},
        // No hardware fault: a breakpoint, and a code with leading zeros.
        {0x80000003, 0x7FF6A,
         "Excecao nao tratada: Exceção externa (código 80000003) no endereço 000000000007FF6A\r\n"},
        {0x0000000E, 0x10,
         "Excecao nao tratada: Exceção externa (código 0000000E) no endereço 0000000000000010\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(HardwareFaultLine(c.Code, c.Address).View(), c.Line);
}

TEST(HardwareFaultName, EachHardwareCodeHasItsOwnNameAndTheDivisionSharesEDivByZerosMessage) {
    const uint32_t hardware[] = {
        0xC0000005, 0xC00000FD, 0xC0000094, 0xC0000095, 0xC000001D, 0xC0000096, 0xC0000006, 0x80000002,
        0xC000008C, 0xC000008D, 0xC000008E, 0xC000008F, 0xC0000090, 0xC0000091, 0xC0000092, 0xC0000093,
    };
    const std::string_view external = HardwareFaultName(0);
    EXPECT_EQ(external, "Exceção externa");
    std::set<std::string_view> names;
    for (const uint32_t code : hardware) {
        EXPECT_NE(HardwareFaultName(code), external) << std::hex << code;
        EXPECT_TRUE(names.insert(HardwareFaultName(code)).second) << std::hex << code;
    }
    EXPECT_EQ(HardwareFaultName(0xC0000094), EDivByZero().what());
    // A C++ exception and a debugger's break are no hardware faults.
    EXPECT_EQ(HardwareFaultName(0x20474343), external);
    EXPECT_EQ(HardwareFaultName(0x40010005), external);
}

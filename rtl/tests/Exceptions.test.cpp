#include <gtest/gtest.h>

#include "System.Remainder.Exceptions.h"

using namespace System;

TEST(Exceptions, MessagesAndRuntimeCodes) {
    const struct { Exception e; const char16_t* message; uint32_t code; } cases[] = {
        {EAbstractError(u"TStream", u"Read"),
         u"O método \"Read\" da classe \"TStream\" não foi implementado", 0x1000005},
        {EZlibError(u"dados corrompidos", -3), u"zlib: dados corrompidos (codigo -3)", 0x1000097},
        {EOutOfMemory(), u"Sem memória", 0x1000004},
        {EDivByZero(), u"Divisão por zero", 0x1000007},
        {EOsError(5, u"Access denied"), u"OsError. 5. Access denied", 0x100001A},
        {EListError(u"Assign de origem nil"), u"Assign de origem nil", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.e.Message, c.message);
        EXPECT_EQ(c.e.ErrorCode, c.code);
    }
}

TEST(Exceptions, ExtraFieldsAndWhereRaised) {
    const EOsError os(4294967295u, u"text");
    EXPECT_EQ(os.OsCode, 4294967295u);
    EXPECT_EQ(os.SystemText, u"text");
    EXPECT_EQ(os.Message, u"OsError. 4294967295. text");

    const EAbstractError abs(u"TStrings", u"Get");
    EXPECT_EQ(abs.ClassName, u"TStrings");
    EXPECT_EQ(abs.MethodName, u"Get");
    EXPECT_EQ(EZlibError(u"x", -5).ZlibCode, -5);

    const int line = __LINE__ + 1;
    const EReadError read(u"leitura além do fim do stream");
    EXPECT_EQ(read.SourceLine, uint32_t(line));
    EXPECT_NE(read.UnitFile.find("Exceptions.test.cpp"), std::string::npos);
}

TEST(Exceptions, HierarchyCatchesByParent) {
    try {
        throw EFOpenError(u"não foi possível abrir o arquivo");
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, u"não foi possível abrir o arquivo");
        EXPECT_STREQ(e.what(), "não foi possível abrir o arquivo");
    }
}

TEST(Exceptions, UnhandledEndsWithTheMessageAndCodeOne) {
    const auto escape = [] {
        try {
            throw EConvertError(u"falhou");
        } catch (...) {
            std::terminate();  // as when no handler is left on the stack
        }
    };
    EXPECT_EXIT(escape(), testing::ExitedWithCode(1), "");
    EXPECT_EQ(UnhandledExceptionText(EConvertError(u"ação")), "Excecao nao tratada: ação\n");
}

#include <gtest/gtest.h>

#include "System.Remainder.Os.h"

using namespace System;

TEST(SystemErrorMessage, NeverEndsWithAFullStopOrLineBreak) {
    for (uint32_t code : {2u, 5u, 87u, 126u, 127u, 1223u}) {
        const std::u16string text = SystemErrorMessage(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_NE(text.back(), u'.') << code;
        EXPECT_GT(text.back(), u' ') << code;
    }
    EXPECT_EQ(SystemErrorMessage(0xDEADBEEF), u"");
}

TEST(EOsError, MessageFormFromTheSystemText) {
    const EOsError e(5);
    EXPECT_EQ(e.OsCode, 5u);
    EXPECT_EQ(e.SystemText, SystemErrorMessage(5));
    EXPECT_EQ(e.Message, u"OsError. 5. " + SystemErrorMessage(5));
    EXPECT_EQ(e.ErrorCode, 0x100001Au);
}

TEST(LazyBinding, BindsSystemFunctionsByName) {
    static TLazyProc<decltype(&::GetTickCount)> tick(u"kernel32.dll", "GetTickCount");
    EXPECT_TRUE(tick.Available());
    EXPECT_GT(tick()(), 0u);
}

TEST(LazyBinding, MissingLibraryIs126AndMissingFunction127WithTheName) {
    static TLazyProc<void (*)()> noLib(u"ks-no-such-library.dll", "Anything");
    static TLazyProc<void (*)()> noProc(u"kernel32.dll", "KsNoSuchFunction");
    try {
        noLib();
        ADD_FAILURE();
    } catch (const EOsError& e) {
        EXPECT_EQ(e.OsCode, 126u);
        EXPECT_EQ(e.Name, u"ks-no-such-library.dll");
    }
    try {
        noProc();
        ADD_FAILURE();
    } catch (const EOsError& e) {
        EXPECT_EQ(e.OsCode, 127u);
        EXPECT_EQ(e.Name, u"KsNoSuchFunction");
    }
    EXPECT_FALSE(noProc.Available());
}

TEST(LazyBinding, NeverLoadsFromTheExecutableFolder) {
    // A library that exists only beside the executable is not found.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::u16string planted = FromWStr(self);
    planted = planted.substr(0, planted.find_last_of(u"\\/") + 1) + u"ks-planted.dll";
    ASSERT_TRUE(CopyFileW(WStr(FromWStr(self)), WStr(planted), FALSE));
    static TLazyProc<void (*)()> fromBeside(u"ks-planted.dll", "main");
    EXPECT_FALSE(fromBeside.Available());
    DeleteFileW(WStr(planted));
}

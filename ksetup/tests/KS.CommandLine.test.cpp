#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include "KS.CommandLine.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;

namespace {

// What a started program sees: the line split as CommandLineToArgvW does,
// behind a program path.
TStringArray SplitAgain(const std::u16string& line) {
    const std::u16string full = u"prog.exe " + line;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(System::WStr(full), &count);
    TStringArray args;
    for (int i = 1; i < count; ++i) args.push_back(System::FromWStr(argv[i]));
    LocalFree(argv);
    return args;
}

} // namespace

TEST(Switches, NamesIgnoreAsciiCaseAndValuesStayAsGiven) {
    const TStringArray args = {u"/verysilent", u"/Dir=C:\\Meu Lugar", u"/URL=", u"/NoUpdate=1", u"/LOG=a=b"};
    EXPECT_TRUE(HasSwitch(args, u"/VERYSILENT"));
    EXPECT_FALSE(HasSwitch(args, u"/SILENT"));
    // A value attached makes it another argument for HasSwitch.
    EXPECT_FALSE(HasSwitch(args, u"/NOUPDATE"));
    EXPECT_EQ(SwitchValue(args, u"/DIR"), u"C:\\Meu Lugar");
    EXPECT_EQ(SwitchValue(args, u"/NOUPDATE"), u"1");
    EXPECT_EQ(SwitchValue(args, u"/LOG"), u"a=b");
    // An empty value and a missing switch read the same.
    EXPECT_EQ(SwitchValue(args, u"/URL"), u"");
    EXPECT_EQ(SwitchValue(args, u"/GROUP"), u"");
    // "/DIRX=..." does not begin with "/DIR=".
    EXPECT_EQ(SwitchValue({u"/DIRX=C:\\x"}, u"/DIR"), u"");
    EXPECT_EQ(SwitchValue({u"/KSETUPPHASE2=", u"/KSETUPPHASE2=C:\\u.exe"}, u"/KSETUPPHASE2"), u"");
}

TEST(JoinCommandLine, PlainArgumentsStayAsTheyAreWithOneBlankBetween) {
    EXPECT_EQ(JoinCommandLine({}), u"");
    EXPECT_EQ(JoinCommandLine({u"/SILENT", u"/DIR=C:\\Ostrel"}), u"/SILENT /DIR=C:\\Ostrel");
    EXPECT_EQ(JoinCommandLine({u"/DIR=C:\\Program Files\\Ostrel", u""}), u"\"/DIR=C:\\Program Files\\Ostrel\" \"\"");
}

TEST(JoinCommandLine, EveryArgumentSurvivesTheSplitOfTheStartedProgram) {
    const TStringArray cases[] = {
        {u"/SILENT"},
        {u""},
        {u"", u"", u"/x"},
        {u"/DIR=C:\\Program Files\\Ostrel\\"},
        {u"/DIR=C:\\Program Files\\"},
        {u"C:\\pasta com espaço\\\\"},
        {u"diz \"olá\""},
        {u"a\\\"b", u"\\\\\"", u"\""},
        {u"tab\there", u"trailing\\"},
        {u"/GROUP=Ostrel Dax", u"/TASKS=associate, !desktopicon"},
    };
    for (const auto& args : cases) {
        const std::u16string line = JoinCommandLine(args);
        EXPECT_EQ(SplitAgain(line), args) << KsTest::Narrow(line);
    }
}

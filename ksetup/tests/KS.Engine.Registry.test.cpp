#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Engine.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Inspect.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;

namespace {

constexpr int32_t HKCU = 1;
constexpr int32_t HKLM = 2;

// Entries write below the test's key: @K@ stands for it.
class Registry : public ::testing::Test {
protected:
    TSetupEngine& Engine(const std::u16string& entries, const std::u16string& setup = u"") {
        engine = LoadedEngine(u"[Setup]\nAppName=Dax\nUsePreviousAppDir=no\nDefaultDirName=C:\\Dax\n" + setup +
                                  u"[Registry]\n" + ReplaceAll(entries, u"@K@", key.Path()),
                              folder / u"setup.log");
        engine->Observer = observer;
        return *engine;
    }

    std::u16string Text(int32_t root, const std::u16string& name, const std::u16string& value, bool view32 = true) {
        std::u16string text;
        return ReadRegString(root, key / name, value, view32, text) ? text : u"<none>";
    }

    TTestFolder folder;
    TTestKey key;
    TRef<TRecordingObserver> observer = MakeRef<TRecordingObserver>();
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(Registry, TypesFlagsAndTheirRecords) {
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Old", u"s", u"antes", false, true));
    ASSERT_TRUE(WriteRegDword(HKCU, key / u"Old", u"d", 7, true));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Gone", u"x", u"1", false, true));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Old", u"dropped", u"1", false, true));
    TSetupEngine& setup = Engine(uR"(Root: HKCU; Subkey: "@K@\T"; ValueType: dword; ValueName: "hex"; ValueData: "0x10"
Root: HKCU; Subkey: "@K@\T"; ValueType: dword; ValueName: "nan"; ValueData: "abc"
Root: HKCU; Subkey: "@K@\T"; ValueType: String; ValueName: "s"; ValueData: "{app}"; Flags: uninsdeletekey uninsdeletevalue
Root: HKCU; Subkey: "@K@\T"; ValueType: ExpandSZ; ValueName: ""; ValueData: "%TEMP%"; Flags: uninsdeletevalue
Root: HKCU; Subkey: "@K@\T"; ValueType: binary; ValueName: "b"; ValueData: "00"
Root: HKXX; Subkey: "@K@\T"; ValueType: string; ValueName: "r"; ValueData: "1"
Root: HKCU; Subkey: "@K@\Missing"; ValueType: string; ValueName: "m"; ValueData: "1"; Flags: dontcreatekey
Root: HKCU; Subkey: "@K@\Old"; ValueType: string; ValueName: "n"; ValueData: "1"; Flags: dontcreatekey uninsdeletekeyifempty
Root: HKCU; Subkey: "@K@\Old"; ValueType: string; ValueName: "s"; ValueData: "novo"; Flags: createvalueifdoesntexist
Root: HKCU; Subkey: "@K@\Old"; ValueType: dword; ValueName: "d"; ValueData: "9"; Flags: createvalueifdoesntexist
Root: HKCU; Subkey: "@K@\Old"; ValueName: "dropped"; Flags: deletevalue
Root: HKCU; Subkey: "@K@\Gone"; Flags: deletekey
Root: HKCU; Subkey: "@K@\Empty"; Flags: uninsdeletekeyifempty
)");
    ASSERT_TRUE(setup.WriteRegistry()) << Narrow(setup.LastError);
    EXPECT_EQ(RegDwordValue(HKCU, key / u"T", u"hex", true), 16);
    EXPECT_EQ(RegDwordValue(HKCU, key / u"T", u"nan", true), 0);
    EXPECT_EQ(RegValueKind(HKCU, key / u"T", u"s", true), REG_SZ);
    EXPECT_EQ(Text(HKCU, u"T", u"s"), u"C:\\Dax");
    EXPECT_EQ(RegValueKind(HKCU, key / u"T", u"", true), REG_EXPAND_SZ);
    EXPECT_EQ(RegValueKind(HKCU, key / u"T", u"b", true), -1);
    EXPECT_EQ(RegValueKind(HKCU, key / u"T", u"r", true), -1);
    EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Missing", true));
    EXPECT_EQ(Text(HKCU, u"Old", u"n"), u"1");
    EXPECT_EQ(Text(HKCU, u"Old", u"s"), u"antes");
    EXPECT_EQ(RegDwordValue(HKCU, key / u"Old", u"d", true), 9);
    EXPECT_EQ(RegValueKind(HKCU, key / u"Old", u"dropped", true), -1);
    EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Gone", true));
    EXPECT_TRUE(RegKeyPresent(HKCU, key / u"Empty", true));

    const std::u16string k = u"|1|32|" + key.Path();
    EXPECT_EQ(setup.Journal->Records(),
              (std::vector<std::u16string>{u"RK" + k + u"\\T", u"RV" + k + u"\\T|s", u"RE" + k + u"\\Old",
                                           u"RE" + k + u"\\Empty"}));
    // A rollback leaves the key that was there before the run, but not one
    // that an earlier entry of the run made.
    EXPECT_TRUE(setup.Journal->Existed(u"RE" + k + u"\\Old"));
    EXPECT_FALSE(setup.Journal->Existed(u"RK" + k + u"\\T"));
    EXPECT_EQ(LogLines(folder / u"setup.log"),
              (std::vector<std::u16string>{u"[Registry] tipo não suportado: binary", u"[Registry] raiz inválida: HKXX"}));
    EXPECT_EQ(observer->StatusTexts(), std::vector<std::u16string>{u"Gravando no registro..."});
}

TEST_F(Registry, ViewAndHkaFollowTheInstallMode) {
    const std::u16string entry = u"Root: HKA; Subkey: \"@K@\\V\"; ValueType: string; ValueName: \"v\"; "
                                 u"ValueData: \"1\"; Flags: uninsdeletekey\n";
    TSetupEngine& machine64 = Engine(entry, u"ArchitecturesInstallIn64BitMode=x64\n");
    ASSERT_TRUE(machine64.WriteRegistry());
    EXPECT_EQ(Text(HKLM, u"V", u"v", false), u"1");
    EXPECT_FALSE(RegKeyPresent(HKLM, key / u"V", true));
    EXPECT_EQ(machine64.Journal->Records(), std::vector<std::u16string>{u"RK|2|64|" + key / u"V"});

    TSetupEngine& user = Engine(entry, u"PrivilegesRequired=lowest\n");
    ASSERT_TRUE(user.WriteRegistry());
    EXPECT_EQ(Text(HKCU, u"V", u"v"), u"1");
    EXPECT_EQ(user.Journal->Records(), std::vector<std::u16string>{u"RK|1|32|" + key / u"V"});
}

TEST_F(Registry, FailuresStopTheStepUnlessNoError) {
    // A key name longer than the registry allows cannot be created.
    const std::u16string bad = u"@K@\\" + std::u16string(300, u'k');
    TSetupEngine& tolerant = Engine(u"Root: HKCU; Subkey: \"" + bad + u"\"; ValueType: string; ValueName: \"v\"; Flags: noerror\n"
                                    u"Root: HKCU; Subkey: \"" + bad + u"\"; ValueName: \"Path\"; ValueData: \"C:\\x\"; Flags: pathappend noerror\n"
                                    u"Root: HKCU; Subkey: \"@K@\\After\"; ValueType: string; ValueName: \"v\"; ValueData: \"1\"\n");
    EXPECT_TRUE(tolerant.WriteRegistry());
    EXPECT_EQ(Text(HKCU, u"After", u"v"), u"1");
    EXPECT_TRUE(tolerant.Journal->Records().empty());

    const std::u16string longKey = ReplaceAll(bad, u"@K@", key.Path());
    const struct {
        const char16_t* Flags;
        std::u16string Error;
    } cases[] = {{u"", u"não consegui gravar no registro (" + longKey + u"): "},
                 {u"pathappend", u"não consegui alterar a lista do registro (" + longKey + u"): "}};
    for (const auto& c : cases) {
        TSetupEngine& strict = Engine(u"Root: HKCU; Subkey: \"" + bad + u"\"; ValueType: string; ValueName: \"v\"; Flags: " +
                                      c.Flags + u"\nRoot: HKCU; Subkey: \"@K@\\Later\"; ValueType: string; ValueName: \"v\"\n");
        EXPECT_FALSE(strict.WriteRegistry());
        EXPECT_TRUE(HasPrefix(strict.LastError, c.Error)) << Narrow(strict.LastError);
        EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Later", true));
    }
}

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Engine.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Inspect.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Provider.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;

namespace {

class Uninstaller : public ::testing::Test {
protected:
    void TearDown() override {
        if (engine)
            for (int32_t root : {1, 2})
                for (bool view32 : {true, false}) DeleteRegKeyTree(root, UninstallKeyName(*engine->Context), view32);
    }

    TSetupEngine& Engine(const std::u16string& setup = u"") {
        engine = LoadedEngine(u"[Setup]\nAppId=KSetupTests_" + SafeKeyName(KsTest::TestName()) +
                              u"\nAppName=Dax\nAppVersion=3.0\nUsePreviousAppDir=no\nDefaultDirName=" + folder.Path() +
                              u"\\app\n" + setup);
        engine->Observer = observer;
        engine->Provider = provider;
        EXPECT_TRUE(CreateDirPath(folder / u"app"));
        return *engine;
    }
    std::u16string Key() const { return UninstallKeyName(*engine->Context); }

    TTestFolder folder;
    TRef<TFakeFileProvider> provider = MakeRef<TFakeFileProvider>();
    TRef<TRecordingObserver> observer = MakeRef<TRecordingObserver>();
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(Uninstaller, EstimatedSizeInWholeKibibytesAndTheRootAndViewOfTheInstall) {
    const struct {
        const char16_t* Setup;
        size_t Bytes;
        int32_t Root;
        bool View32;
        int64_t Estimated;
    } cases[] = {{u"", 1023, 2, true, 0},
                 {u"ArchitecturesInstallIn64BitMode=x64\n", 1024, 2, false, 1},
                 {u"PrivilegesRequired=lowest\n", 5000, 1, true, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.Setup));
        provider->Files = {{u"a.bin", std::string(c.Bytes, 'a')}};
        TSetupEngine& setup = Engine(c.Setup);
        ASSERT_TRUE(setup.RegisterUninstaller());
        EXPECT_EQ(RegDwordValue(c.Root, Key(), u"EstimatedSize", c.View32), c.Estimated);
        EXPECT_FALSE(RegKeyPresent(3 - c.Root, Key(), c.View32));
        EXPECT_TRUE(setup.Journal->Contains(u"RK|" + System::Int64ToStr(c.Root) + u"|" + RegViewText(c.View32) + u"|" +
                                            Key()));
        TearDown();
    }
}

TEST_F(Uninstaller, OptionalTextsAreWrittenOnlyWhenGiven) {
    TSetupEngine& setup = Engine(u"AppSupportURL=https://localhost/ajuda\nUninstallDisplayName=Dax Completo\n"
                                 u"UninstallDisplayIcon={app}\\dax.ico\n");
    ASSERT_TRUE(setup.RegisterUninstaller());
    std::u16string text;
    const std::pair<const char16_t*, std::u16string> expected[] = {{u"DisplayName", u"Dax Completo"},
                                                                   {u"DisplayIcon", folder / u"app\\dax.ico"},
                                                                   {u"HelpLink", u"https://localhost/ajuda"},
                                                                   {u"Publisher", u""}};
    for (const auto& [name, value] : expected) {
        EXPECT_TRUE(ReadRegString(2, Key(), name, true, text)) << Narrow(name);
        EXPECT_EQ(text, value);
    }
    for (const char16_t* absent : {u"URLInfoAbout", u"URLUpdateInfo", u"Comments"})
        EXPECT_EQ(RegValueKind(2, Key(), absent, true), -1) << Narrow(absent);
    EXPECT_EQ(observer->StatusTexts(), std::vector<std::u16string>{u"Registrando o desinstalador..."});
}

TEST_F(Uninstaller, WithoutTheKeyTheCopyAndMetadataStillComeAndAnEarlierJournalMerges) {
    TSetupEngine& setup = Engine(u"CreateUninstallRegKey=no\n");
    const std::u16string earlier = folder / u"app\\old.dll";
    ASSERT_TRUE(WriteBytes(folder / u"app\\unins000.dat", "KSETUP-JOURNAL 1\r\nM|AppVersion|1.0\r\nF|" +
                                                              Narrow(earlier) + "\r\nF|" + Narrow(AsciiUpperCase(folder / u"app\\new.dll")) +
                                                              "\r\n"));
    setup.Journal->AddFile(folder / u"app\\new.dll");
    ASSERT_TRUE(setup.RegisterUninstaller());
    EXPECT_TRUE(FileExists(setup.Context->UninstallExe));
    EXPECT_FALSE(RegKeyPresent(2, Key(), true));
    const std::vector<std::u16string>& records = setup.Journal->Records();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0], u"F|" + folder / u"app\\new.dll");
    EXPECT_EQ(records[1], u"F|" + earlier);
    EXPECT_TRUE(setup.Journal->Existed(u"F|" + earlier));
    EXPECT_EQ(setup.Journal->GetMeta(u"AppVersion", u""), u"3.0");
    EXPECT_TRUE(HasPrefix(records[2], u"M|AppId|"));
}

TEST_F(Uninstaller, CopiedFromThePackagesStubWithoutAnEmbeddedScript) {
    TSetupEngine& setup = Engine();
    setup.EmbeddedScript = false;
    const std::string stub = std::string(1048576 + 17, 'M') + "pacote";
    ASSERT_TRUE(WriteBytes(folder / u"setup.exe", stub));
    ASSERT_TRUE(setup.PackageFile->Open(folder / u"setup.exe"));
    setup.StubSize = 1048576 + 17;
    ASSERT_TRUE(setup.WriteUninstaller());
    EXPECT_EQ(ReadBytes(setup.Context->UninstallExe), stub.substr(0, 1048576 + 17));

    setup.StubSize = static_cast<int64_t>(stub.size()) + 1;
    EXPECT_FALSE(setup.WriteUninstaller());
    EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui copiar o desinstalador: ")) << Narrow(setup.LastError);
}

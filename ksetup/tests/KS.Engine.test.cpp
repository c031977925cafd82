#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Engine.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Provider.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;

namespace {

TRef<TSetupEngine> NewEngine() {
    auto engine = MakeRef<TSetupEngine>();
    engine->Init();
    return engine;
}

} // namespace

TEST(EngineLog, LinesAreDateBlankTextCrLfInUtf8AppendedAcrossRuns) {
    TTestFolder folder;
    const std::u16string log = folder / u"setup.log";
    ASSERT_TRUE(WriteBytes(log, "linha anterior\r\n"));
    auto first = NewEngine();
    first->LogPath = log;
    first->Log(u"--- instalando Ostrel Dax 2.1 em C:\\Ostrel");
    first->Error(u"não consegui criar a pasta");
    auto second = NewEngine();
    second->LogPath = log;
    second->Log(u"--- instalação concluída");
    const std::string date = KsTest::Narrow(LocalDateStamp());
    EXPECT_EQ(ReadBytes(log), "linha anterior\r\n" + date + " --- instalando Ostrel Dax 2.1 em C:\\Ostrel\r\n" + date +
                                  " ERRO: n\xC3\xA3o consegui criar a pasta\r\n" + date +
                                  " --- instala\xC3\xA7\xC3\xA3o conclu\xC3\xAD" "da\r\n");
    EXPECT_EQ(first->LastError, u"não consegui criar a pasta");
    EXPECT_EQ(date.size(), 10u);
    EXPECT_EQ(date[4], '-');
    EXPECT_EQ(date[7], '-');
}

TEST(EngineLog, WithoutAWritableLogErrorsStillKeepTheirText) {
    TTestFolder folder;
    for (const std::u16string& path : {std::u16string(), folder / u"no such folder\\setup.log", folder.Path()}) {
        auto engine = NewEngine();
        engine->LogPath = path;
        engine->Log(u"linha");
        engine->Error(u"falhou");
        EXPECT_EQ(engine->LastError, u"falhou");
        engine->Error(u"");
        EXPECT_EQ(engine->LastError, u"");
    }
    EXPECT_FALSE(FileExists(folder / u"no such folder\\setup.log"));
}

TEST(Engine, InitMakesEmptyPartsAndAClosedPackage) {
    auto engine = NewEngine();
    ASSERT_TRUE(engine->Context);
    ASSERT_TRUE(engine->Script);
    ASSERT_TRUE(engine->Journal);
    ASSERT_TRUE(engine->PackageFile);
    EXPECT_EQ(engine->PackageFile->Handle, -1);
    EXPECT_TRUE(engine->Context->AllUsers);
    EXPECT_EQ(engine->Context->SetupExe, GetOwnExePath());
    EXPECT_TRUE(engine->Script->Sections.empty());
    EXPECT_TRUE(engine->Journal->Records().empty());
    EXPECT_EQ(engine->SilentLevel, 0);
    EXPECT_FALSE(engine->PreviousInstall.Found);
    EXPECT_FALSE(engine->Observer);
    EXPECT_FALSE(engine->Provider);
}

TEST(Engine, DestroyClosesThePackageFile) {
    TTestFolder folder;
    ASSERT_TRUE(WriteBytes(folder / u"package.bin", "dados"));
    TRef<TInFile> package;
    {
        auto engine = NewEngine();
        ASSERT_TRUE(engine->PackageFile->Open(folder / u"package.bin"));
        package = engine->PackageFile;
    }
    EXPECT_EQ(package->Handle, -1);
    EXPECT_TRUE(DeleteFileW(System::WStr(folder / u"package.bin")));
}

TEST(Engine, LoadScriptAppliesSetupAndDefaultTasks) {
    auto engine = LoadedEngine(
        u"[Setup]\nAppName=Ostrel Dax\nPrivilegesRequired=lowest\nDefaultDirName=C:\\KSetupTests\\nunca\n"
        u"[Tasks]\nName: desktopicon\nName: addtopath; Flags: unchecked\n");
    EXPECT_TRUE(engine->EmbeddedScript);
    EXPECT_EQ(engine->Context->Script, engine->Script);
    EXPECT_FALSE(engine->Context->AllUsers);
    EXPECT_EQ(engine->Context->AppDir, u"C:\\KSetupTests\\nunca");
    EXPECT_EQ(engine->Context->GroupName, u"Ostrel Dax");
    EXPECT_EQ(engine->SelectedTasks, (std::vector<std::u16string>{u"desktopicon"}));
    EXPECT_FALSE(engine->PreviousInstall.Found);
}

TEST(Engine, InvalidScriptIsAnEngineError) {
    TTestFolder folder;
    auto engine = NewEngine();
    engine->LogPath = folder / u"setup.log";
    EXPECT_FALSE(engine->LoadScript(u"; comentário\nAppName=x\n"));
    const std::u16string expected = u"roteiro inválido: " + engine->Script->ErrorText;
    EXPECT_FALSE(engine->Script->ErrorText.empty());
    EXPECT_EQ(engine->LastError, expected);
    EXPECT_EQ(LogLines(folder / u"setup.log"), (std::vector<std::u16string>{u"ERRO: " + expected}));
}

TEST(EngineProvider, WithoutProviderPrepareSucceedsAndKeepsTheObserver) {
    auto engine = NewEngine();
    auto observer = MakeRef<TRecordingObserver>();
    EXPECT_TRUE(engine->PrepareProvider(observer));
    EXPECT_FALSE(engine->Observer);
    EXPECT_EQ(engine->ProviderSummary(), u"");
    EXPECT_TRUE(observer->Events.empty());
}

TEST(EngineProvider, PrepareStoresTheObserverAndReportsTheProvidersFailure) {
    TTestFolder folder;
    auto engine = NewEngine();
    engine->LogPath = folder / u"setup.log";
    auto provider = MakeRef<TFakeFileProvider>();
    provider->SummaryText = u"Baixar: 3 arquivos\r\nTamanho: 1,0 MB";
    engine->Provider = provider;
    auto observer = MakeRef<TRecordingObserver>();
    EXPECT_TRUE(engine->PrepareProvider(observer));
    EXPECT_EQ(engine->Observer, TRef<TSetupObserver>(observer));
    EXPECT_EQ(provider->PrepareCalls, 1);
    EXPECT_EQ(engine->ProviderSummary(), u"Baixar: 3 arquivos\r\nTamanho: 1,0 MB");

    provider->PrepareResult = false;
    provider->FailureText = u"catálogo inválido";
    EXPECT_FALSE(engine->PrepareProvider(observer));
    EXPECT_EQ(engine->LastError, u"catálogo inválido");
    provider->FailureText = u"";
    EXPECT_FALSE(engine->PrepareProvider(observer));
    EXPECT_EQ(engine->LastError, u"");
    EXPECT_EQ(LogLines(folder / u"setup.log"), (std::vector<std::u16string>{u"ERRO: catálogo inválido", u"ERRO: "}));
}

TEST(EngineProvider, DownloadProgressCountsReportsAndPassesTheCancelOn) {
    auto engine = NewEngine();
    auto observer = MakeRef<TRecordingObserver>();
    observer->CancelAtPoll = 3;
    engine->Observer = observer;
    engine->DownloadDone = 10;
    engine->DownloadTotal = 0;
    const PackageProgress progress{&TSetupEngine::DownloadProgress, engine.Get()};
    uint8_t cancel = 0;
    progress.Code(progress.Context, 0, cancel);
    EXPECT_EQ(cancel, 0);
    progress.Code(progress.Context, 5, cancel);
    EXPECT_EQ(cancel, 0);
    progress.Code(progress.Context, 7, cancel);
    EXPECT_EQ(cancel, 1);
    observer->CancelAtPoll = 0;
    progress.Code(progress.Context, 1, cancel);
    EXPECT_EQ(cancel, 1);  // never set back
    EXPECT_EQ(engine->DownloadDone, 23);
    const auto reports = observer->Of(TRecordingObserver::TKind::Progress);
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(reports[0].Done, 10);
    EXPECT_EQ(reports[0].Total, 0);
    EXPECT_EQ(reports[0].Percent, 100);
    EXPECT_EQ(reports[3].Done, 23);
    EXPECT_EQ(observer->CancelPolls(), 4);
}

TEST(Engine, JournalMetaRecordsInOrder) {
    auto engine = LoadedEngine(
        u"[Setup]\nAppId={{A1B2}\nAppName=Ostrel Dax\nAppVersion=2.1\nDefaultDirName=C:\\KSetupTests\\meta\n"
        u"ArchitecturesInstallIn64BitMode=x64\nPrivilegesRequired=lowest\n");
    engine->Journal->AddFile(u"C:\\KSetupTests\\meta\\a");
    engine->WriteJournalMeta();
    EXPECT_EQ(engine->Journal->Records(),
              (std::vector<std::u16string>{u"F|C:\\KSetupTests\\meta\\a", u"M|AppId|{A1B2}", u"M|AppName|Ostrel Dax",
                                           u"M|AppVersion|2.1", u"M|AppDir|C:\\KSetupTests\\meta", u"M|Admin|0",
                                           u"M|X64|1"}));
    auto associations = LoadedEngine(u"[Setup]\nAppName=x\nChangesAssociations=yes\n");
    associations->WriteJournalMeta();
    EXPECT_EQ(associations->Journal->Records().back(), u"M|ChangesAssociations|1");
    EXPECT_EQ(associations->Journal->GetMeta(u"Admin", u""), u"1");
    EXPECT_EQ(associations->Journal->GetMeta(u"X64", u""), u"0");
}

// The search for a previous installation, one step of its chain at a time.
// Each case uses its own AppId; the product's fixed keys are written in the
// 32-bit view of HKLM, which no other test uses, and removed again.
class PreviousInstall : public testing::Test {
protected:
    static constexpr char16_t ProductKey[] = u"Software\\Ostrel\\Dax";
    static constexpr char16_t AppPathsKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Dax.exe";

    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    void Clean() {
        DeleteRegKeyTree(2, UninstallKey(), true);
        DeleteRegKeyTree(1, UninstallKey(), false);
        DeleteRegKeyTree(2, ProductKey, true);
        DeleteRegKeyTree(2, AppPathsKey, true);
    }
    std::u16string AppId() const { return u"KSetupTests." + SafeKeyName(KsTest::TestName()); }
    std::u16string UninstallKey() const {
        return u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + AppId();
    }
    TRef<TSetupEngine> Load(const std::u16string& dir, const std::u16string& extra = u"") {
        return LoadedEngine(u"[Setup]\nAppId=" + AppId() + u"\nAppName=Dax\nDefaultDirName=" + dir + u"\n" + extra);
    }
    TTestFolder folder_;
};

TEST_F(PreviousInstall, NothingFoundKeepsTheDefaultFolder) {
    auto engine = Load(folder_ / u"Dax");
    EXPECT_FALSE(engine->PreviousInstall.Found);
    EXPECT_EQ(engine->Context->AppDir, folder_ / u"Dax");
}

TEST_F(PreviousInstall, UninstallKeyGivesFolderAndVersionInTheInstallsOwnRootAndView) {
    ASSERT_TRUE(WriteRegString(2, UninstallKey(), u"InstallLocation", u"D:\\Antigo\\Dax\\\\", false, true));
    ASSERT_TRUE(WriteRegString(2, UninstallKey(), u"DisplayVersion", u"1.5", true, true));
    ASSERT_TRUE(WriteRegString(2, ProductKey, u"InstallDir", u"D:\\Outro", false, true));
    auto engine = Load(folder_ / u"Dax");
    EXPECT_TRUE(engine->PreviousInstall.Found);
    EXPECT_EQ(engine->PreviousInstall.Dir, u"D:\\Antigo\\Dax");
    EXPECT_EQ(engine->PreviousInstall.Version, u"1.5");
    EXPECT_EQ(engine->Context->AppDir, u"D:\\Antigo\\Dax");
    EXPECT_EQ(engine->Context->UninstallExe, u"D:\\Antigo\\Dax\\unins000.exe");

    // A per-user install looks in HKCU only.
    EXPECT_FALSE(Load(folder_ / u"Dax", u"PrivilegesRequired=lowest")->PreviousInstall.Found);
}

TEST_F(PreviousInstall, ProductKeyComesNextAndAStringMustBeAString) {
    ASSERT_TRUE(WriteRegDword(2, UninstallKey(), u"InstallLocation", 1, true));
    ASSERT_TRUE(WriteRegString(2, ProductKey, u"InstallDir", u"D:\\Dax\\", false, true));
    auto engine = Load(folder_ / u"Dax");
    EXPECT_TRUE(engine->PreviousInstall.Found);
    EXPECT_EQ(engine->PreviousInstall.Dir, u"D:\\Dax");
    EXPECT_EQ(engine->PreviousInstall.Version, u"");
}

TEST_F(PreviousInstall, AppPathsEntryGivesTheFolderAboveBin) {
    struct Case {
        const char16_t* Program;
        const char16_t* Dir;
    };
    const Case cases[] = {
        {u"D:\\Ferramentas\\Dax\\Bin\\Dax.exe", u"D:\\Ferramentas\\Dax"},
        {u"D:\\Ferramentas\\Dax\\bIN\\DAX.EXE", u"D:\\Ferramentas\\Dax"},
        {u"D:\\Ferramentas\\Dax\\Programa\\Dax.exe", u"D:\\Ferramentas\\Dax\\Programa"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteRegString(2, AppPathsKey, u"", c.Program, false, true));
        auto engine = Load(folder_ / u"Dax");
        EXPECT_TRUE(engine->PreviousInstall.Found);
        EXPECT_EQ(engine->PreviousInstall.Dir, c.Dir);
    }
}

TEST_F(PreviousInstall, DefaultFolderHoldingTheProgramIsAPreviousInstall) {
    const std::u16string dir = folder_ / u"Dax";
    ASSERT_TRUE(CreateDirPath(dir + u"\\Bin\\Dax.exe"));  // a folder of that name does not count
    EXPECT_FALSE(Load(dir)->PreviousInstall.Found);
    ASSERT_TRUE(WriteBytes(dir + u"\\Dax.exe", "MZ"));
    auto engine = Load(dir + u"\\");
    EXPECT_TRUE(engine->PreviousInstall.Found);
    EXPECT_EQ(engine->PreviousInstall.Dir, dir);
}

TEST_F(PreviousInstall, FolderIsAdoptedOnlyWhenAllowedAndNotGivenOnTheCommandLine) {
    ASSERT_TRUE(WriteRegString(2, ProductKey, u"InstallDir", u"D:\\Dax", false, true));
    auto keep = Load(folder_ / u"Dax", u"UsePreviousAppDir=no");
    EXPECT_TRUE(keep->PreviousInstall.Found);
    EXPECT_EQ(keep->Context->AppDir, folder_ / u"Dax");

    auto engine = Load(folder_ / u"Dax");
    engine->Context->SetAppDir(u"E:\\Escolhida");
    engine->CommandLineDir = true;
    engine->FindPreviousInstall();
    EXPECT_TRUE(engine->PreviousInstall.Found);
    EXPECT_EQ(engine->Context->AppDir, u"E:\\Escolhida");
}

// The fake provider is what the install-run tests rely on: it must do what
// it is told, in the installation folder, and journal what it wrote.
TEST(FakeFileProvider, InstallsJournalsReportsAndFailsWhereTold) {
    TTestFolder folder;
    auto engine = NewEngine();
    engine->Context->SetAppDir(folder / u"app");
    auto provider = MakeRef<TFakeFileProvider>();
    provider->Files = {{u"Bin\\dax.exe", "MZ.."}, {u"leia-me.txt", "ol\xC3\xA1"}};
    auto observer = MakeRef<TRecordingObserver>();
    EXPECT_EQ(provider->TotalSize(), 8);
    EXPECT_TRUE(provider->InstallFiles(*engine, *observer));
    EXPECT_EQ(ReadBytes(folder / u"app\\Bin\\dax.exe"), "MZ..");
    EXPECT_EQ(ReadBytes(folder / u"app\\leia-me.txt"), "ol\xC3\xA1");
    // Its folders come through the engine's folder creator, journaled.
    EXPECT_EQ(engine->Journal->Records(),
              (std::vector<std::u16string>{u"D|" + folder.Path() + u"\\app", u"D|" + folder.Path() + u"\\app\\Bin",
                                           u"F|" + folder.Path() + u"\\app\\Bin\\dax.exe",
                                           u"F|" + folder.Path() + u"\\app\\leia-me.txt"}));
    const auto reports = observer->Of(TRecordingObserver::TKind::Progress);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].Done, 8);
    EXPECT_EQ(reports[1].Total, 8);

    provider->FailAtFile = 1;
    EXPECT_FALSE(provider->InstallFiles(*engine, *observer));
    EXPECT_EQ(provider->LastError(), u"falha simulada do provedor");
    EXPECT_EQ(provider->Installed.size(), 3u);

    provider->FailAtFile = -1;
    observer->CancelAtPoll = observer->CancelPolls() + 1;
    EXPECT_FALSE(provider->InstallFiles(*engine, *observer));
    EXPECT_EQ(provider->LastError(), u"Instalação cancelada.");
    EXPECT_EQ(provider->InstallCalls, 3);
}

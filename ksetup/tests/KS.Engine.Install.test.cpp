#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <new>

#include "KS.Engine.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Inspect.h"
#include "KS.Test.Lock.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Provider.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;

namespace {

constexpr int32_t HKCU = 1;
constexpr int32_t HKLM = 2;

// Every section the install reads, all kept inside the test's own folder
// and keys: @F@ is the folder, @K@ the key, @C@ the child program, @N@ the
// test's name. The registry goes to the 32-bit view (no 64-bit mode).
const std::u16string FixtureScript = uR"([Setup]
AppId=KSetupTests_@N@
AppName=Ostrel Dax Teste
AppVersion=2.1
AppPublisher=Ostrel
AppPublisherURL=https://localhost/dax
DefaultDirName=@F@\app
DefaultGroupName=KSetupTests @N@
UsePreviousAppDir=no

[Dirs]
Name: "{app}\dados\cache"

[InstallDelete]
Type: files; Name: "{app}\velho\*.tmp"

[UninstallDelete]
Type: filesandordirs; Name: "{app}\dados\cache"

[UninstallRun]
Filename: "@C@"; Parameters: "report @F@\uninstall-ran.txt 0"; Flags: runhidden

[Icons]
Name: "{group}\Dax"; Filename: "{app}\bin\dax.exe"; Parameters: "--novo"; Comment: "Editor {app}"
Name: "{group}\Ausente"; Filename: "{app}\bin\ausente.exe"; Flags: createonlyiffileexists

[Registry]
Root: HKA; Subkey: "@K@\Dax"; ValueType: string; ValueName: "InstallDir"; ValueData: "{app}"; Flags: uninsdeletekey
Root: HKA; Subkey: "@K@\Dax"; ValueType: dword; ValueName: "Build"; ValueData: "0x10"
Root: HKCU; Subkey: "@K@\Shared"; ValueType: expandsz; ValueName: "Home"; ValueData: "%USERPROFILE%\dax"; Flags: uninsdeletevalue uninsdeletekeyifempty
Root: HKCU; Subkey: "@K@\Env"; ValueType: expandsz; ValueName: "Path"; ValueData: "{app}\bin"; Flags: pathappend

[Run]
Filename: "@C@"; Parameters: "report @F@\run.txt 0"; Flags: runhidden
Filename: "@C@"; Parameters: "report @F@\post.txt 0"; Flags: runhidden postinstall waituntilterminated
Filename: "@C@"; Parameters: "report @F@\skipped.txt 0"; Flags: runhidden postinstall skipifsilent
)";

class Install : public ::testing::Test {
protected:
    void SetUp() override {
        script = FixtureScript;
        for (const auto& [mark, value] : {std::pair{u"@F@", folder.Path()}, std::pair{u"@K@", key.Path()},
                                          std::pair{u"@C@", KsTest::ChildExePath()},
                                          std::pair{u"@N@", SafeKeyName(KsTest::TestName())}})
            script = ReplaceAll(script, mark, value);
        provider->Files = {{u"bin\\dax.exe", std::string(3000, 'x')}, {u"lib\\rtl.bin", std::string(2000, 'r')}};
        // A list value that was there before the install.
        ASSERT_TRUE(WriteRegString(HKCU, key / u"Env", u"Path", u"C:\\keep", true, false));
        ASSERT_TRUE(WriteBytes(folder / u"keep.txt", "antes"));
    }

    void TearDown() override {
        if (engine) {
            DeleteFolderTree(GroupFolder());
            DeleteRegKeyTree(HKLM, UninstallKeyName(*engine->Context), true);
        }
    }

    // A loaded engine with the fake provider, silent.
    TSetupEngine& Engine(const std::u16string& extra = u"") {
        engine = LoadedEngine(script + extra, folder / u"setup.log");
        engine->Provider = provider;
        engine->SilentLevel = 1;
        return *engine;
    }

    std::u16string App(const std::u16string& name = u"") const {
        return name.empty() ? folder / u"app" : CombinePath(folder / u"app", name);
    }
    std::u16string GroupFolder() const { return engine->Context->ExpandConstants(u"{group}"); }
    std::u16string UninstallKey() const { return UninstallKeyName(*engine->Context); }

    std::vector<std::u16string> JournalFile() const {
        auto journal = MakeRef<TJournal>();
        if (!journal->LoadFromFile(App(u"unins000.dat"))) return {};
        return journal->Records();
    }

    // Nothing of an install is left: files, folders, shortcuts, keys.
    void ExpectNothingInstalled() const {
        EXPECT_FALSE(IsExistingFolder(App()));
        EXPECT_FALSE(IsExistingFolder(GroupFolder()));
        EXPECT_FALSE(RegKeyPresent(HKLM, key / u"Dax", true));
        EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Shared", true));
        EXPECT_FALSE(RegKeyPresent(HKLM, UninstallKey(), true));
        std::u16string path;
        EXPECT_TRUE(ReadRegString(HKCU, key / u"Env", u"Path", false, path));
        EXPECT_EQ(Narrow(path), "C:\\keep");
        EXPECT_EQ(ReadBytes(folder / u"keep.txt"), "antes");
    }

    TTestFolder folder;
    TTestKey key;
    std::u16string script;
    TRef<TFakeFileProvider> provider = MakeRef<TFakeFileProvider>();
    TRef<TRecordingObserver> observer = MakeRef<TRecordingObserver>();
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(Install, PlacesEverythingAndTheUninstallTakesItBack) {
    TSetupEngine& setup = Engine();
    ASSERT_TRUE(setup.Install(observer)) << Narrow(setup.LastError);
    EXPECT_FALSE(setup.RebootNeeded);

    EXPECT_EQ(ReadBytes(App(u"bin\\dax.exe")), std::string(3000, 'x'));
    EXPECT_TRUE(IsExistingFolder(App(u"dados\\cache")));
    EXPECT_EQ(GetFileSizeByPath(App(u"unins000.exe")), GetFileSizeByPath(GetOwnExePath()));

    TLinkContents link;
    ASSERT_TRUE(LoadLink(GroupFolder() + u"\\Dax.lnk", link));
    EXPECT_TRUE(EqualsIgnoreCase(link.Target, App(u"bin\\dax.exe"))) << Narrow(link.Target);
    EXPECT_EQ(link.Arguments, u"--novo");
    EXPECT_EQ(link.Folder, App());
    EXPECT_EQ(link.Description, u"Editor {app}");
    EXPECT_FALSE(FileExists(GroupFolder() + u"\\Ausente.lnk"));

    // 32-bit view only; HKA is the machine for an all-users install.
    std::u16string text;
    EXPECT_TRUE(ReadRegString(HKLM, key / u"Dax", u"InstallDir", true, text));
    EXPECT_EQ(text, App());
    EXPECT_EQ(RegDwordValue(HKLM, key / u"Dax", u"Build", true), 16);
    EXPECT_FALSE(RegKeyPresent(HKLM, key / u"Dax", false));
    EXPECT_EQ(RegValueKind(HKCU, key / u"Shared", u"Home", true), REG_EXPAND_SZ);
    EXPECT_TRUE(ReadRegString(HKCU, key / u"Env", u"Path", true, text));
    EXPECT_EQ(text, u"C:\\keep;" + App(u"bin"));

    const std::u16string uninstall = UninstallKey();
    // Wine's registry lists values sorted by name, so only the set shows.
    std::vector<std::u16string> names = RegValueNames(HKLM, uninstall, true);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"DisplayIcon", u"DisplayName", u"DisplayVersion",
                                                  u"EstimatedSize", u"InstallDate", u"InstallLocation", u"NoModify",
                                                  u"NoRepair", u"Publisher", u"QuietUninstallString",
                                                  u"URLInfoAbout", u"UninstallString"}));
    const std::u16string quoted = u"\"" + App(u"unins000.exe") + u"\"";
    const std::pair<const char16_t*, std::u16string> values[] = {
        {u"DisplayName", u"Ostrel Dax Teste versão 2.1"}, {u"InstallLocation", App() + u"\\"},
        {u"UninstallString", quoted}, {u"QuietUninstallString", quoted + u" /SILENT"},
        {u"DisplayIcon", App(u"unins000.exe")}, {u"InstallDate", ReplaceAll(LocalDateStamp(), u"-", u"")}};
    for (const auto& [name, expected] : values) {
        EXPECT_TRUE(ReadRegString(HKLM, uninstall, name, true, text));
        EXPECT_EQ(Narrow(text), Narrow(expected)) << Narrow(name);
    }
    EXPECT_EQ(RegDwordValue(HKLM, uninstall, u"EstimatedSize", true), 4);  // 5000 bytes
    EXPECT_EQ(RegDwordValue(HKLM, uninstall, u"NoRepair", true), 1);

    const std::u16string k = key.Path();
    EXPECT_EQ(JournalFile(),
              (std::vector<std::u16string>{
                  u"D|" + App(), u"D|" + App(u"dados"), u"D|" + App(u"dados\\cache"),
                  u"X|filesandordirs|" + App(u"dados\\cache"),
                  u"R|" + KsTest::ChildExePath() + u"|report " + folder.Path() + u"\\uninstall-ran.txt 0|" + App() +
                      u"|runhidden",
                  u"D|" + App(u"bin"), u"F|" + App(u"bin\\dax.exe"), u"D|" + App(u"lib"), u"F|" + App(u"lib\\rtl.bin"),
                  u"D|" + GroupFolder(), u"F|" + GroupFolder() + u"\\Dax.lnk", u"RK|2|32|" + k + u"\\Dax",
                  u"RE|1|32|" + k + u"\\Shared", u"RV|1|32|" + k + u"\\Shared|Home",
                  u"PA|1|32|" + k + u"\\Env|Path|" + App(u"bin"), u"RK|2|32|" + uninstall,
                  u"M|AppId|KSetupTests_" + SafeKeyName(KsTest::TestName()), u"M|AppName|Ostrel Dax Teste",
                  u"M|AppVersion|2.1", u"M|AppDir|" + App(), u"M|Admin|1", u"M|X64|0"}));

    // A silent run: the plain entry and the post-install one, not the one
    // skipped when silent.
    EXPECT_TRUE(FileExists(folder / u"run.txt"));
    EXPECT_TRUE(FileExists(folder / u"post.txt"));
    EXPECT_FALSE(FileExists(folder / u"skipped.txt"));
    EXPECT_EQ(observer->StatusTexts().front(), u"Preparando...");
    const std::vector<std::u16string> log = LogLines(folder / u"setup.log");
    EXPECT_EQ(Narrow(log.front()), Narrow(u"--- instalando Ostrel Dax Teste 2.1 em " + App()));
    EXPECT_EQ(Narrow(log.back()), Narrow(u"--- instalação concluída"));

    // The uninstall: everything but the uninstaller's own two files.
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->LoadFromFile(App(u"unins000.dat")));
    auto plain = MakeRef<TSetupObserver>();
    EXPECT_TRUE(journal->Undo(*plain, true));
    EXPECT_TRUE(FileExists(folder / u"uninstall-ran.txt"));
    DeleteFileW(System::WStr(App(u"unins000.exe")));
    DeleteFileW(System::WStr(App(u"unins000.dat")));
    RemoveDirectoryW(System::WStr(App()));
    ExpectNothingInstalled();
}

TEST_F(Install, EveryFailureLeavesNothingBehind) {
    // A file where the script wants a folder: folders that cannot be made.
    ASSERT_TRUE(WriteBytes(folder / u"arquivo", "x"));
    const std::u16string longName(300, u'k');
    struct TCase {
        const char* Name;
        std::u16string Extra;                 // appended to the script
        std::function<void(TSetupEngine&)> Arrange;
        std::u16string Error;                 // the whole text, or its start with ...
        bool Prefix;
    };
    const TCase cases[] = {
        {"empty installation folder", u"", [](TSetupEngine& e) { e.Context->SetAppDir(u""); },
         u"a pasta de instalação está vazia", false},
        {"a folder that cannot be made", u"[Dirs]\nName: \"" + folder.Path() + u"\\arquivo\\sub\"\n", nullptr,
         u"não consegui criar a pasta \"" + folder.Path() + u"\\arquivo\"", true},
        {"provider failure", u"", [this](TSetupEngine&) { provider->FailAtFile = 1; },
         u"falha simulada do provedor", false},
        {"cancel during the files", u"", [this](TSetupEngine&) { observer->CancelAtPoll = 2; },
         u"Instalação cancelada.", false},
        {"registry failure", u"[Registry]\nRoot: HKCU; Subkey: \"" + key.Path() + u"\\" + longName +
                                 u"\"; ValueType: string; ValueName: \"x\"; ValueData: \"y\"\n",
         nullptr, u"não consegui gravar no registro (", true},
        {"registration failure", u"[Dirs]\nName: \"{app}\\unins000.exe\"\n", nullptr,
         u"não consegui criar o desinstalador: ", true},
        {"journal that cannot be saved", u"[Dirs]\nName: \"{app}\\unins000.dat\"\n", nullptr,
         u"não consegui gravar o diário de desinstalação: ", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        provider->FailAtFile = -1;
        observer = MakeRef<TRecordingObserver>();
        TSetupEngine& setup = Engine(c.Extra);
        if (c.Arrange) c.Arrange(setup);
        EXPECT_FALSE(setup.Install(observer));
        if (c.Prefix)
            EXPECT_TRUE(HasPrefix(setup.LastError, c.Error)) << Narrow(setup.LastError);
        else
            EXPECT_EQ(Narrow(setup.LastError), Narrow(c.Error));
        ExpectNothingInstalled();
        EXPECT_FALSE(FileExists(folder / u"run.txt"));
        TearDown();
    }
}

TEST_F(Install, AnExceptionOutOfTheProviderFailsAndRollsBackLikeAnyFailure) {
    // The provider raises in the middle of its files, after the first one
    // is in place, or while it prepares.
    class TRaisingProvider : public TFakeFileProvider {
    public:
        std::function<void()> Raise;
        bool RaiseInPrepare = false;
        bool Prepare(TSetupEngine& engine, TSetupObserver& observer) override {
            if (RaiseInPrepare) Raise();
            return TFakeFileProvider::Prepare(engine, observer);
        }
        bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer) override {
            FailAtFile = 1;
            TFakeFileProvider::InstallFiles(engine, observer);
            Raise();
            return true;
        }
    };
    const struct {
        const char* Name;
        std::function<void()> Raise;
        std::u16string Error;
    } cases[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, u"memória insuficiente"},
        {"a library exception", [] { throw System::Exception(u"função ausente"); },
         u"erro inesperado: função ausente"},
        {"anything else", [] { throw 42; }, u"erro inesperado"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto raising = MakeRef<TRaisingProvider>();
        raising->Files = provider->Files;
        raising->Raise = c.Raise;
        DeleteFileW(System::WStr(folder / u"setup.log"));
        TSetupEngine& setup = Engine();
        setup.Provider = raising;
        EXPECT_FALSE(setup.Install(observer));
        EXPECT_EQ(Narrow(setup.LastError), Narrow(c.Error));
        ASSERT_EQ(raising->Installed.size(), 1u);
        ExpectNothingInstalled();
        EXPECT_EQ(observer->LastStatus(), u"Desfazendo...");
        const std::vector<std::u16string> log = LogLines(folder / u"setup.log");
        EXPECT_NE(std::find(log.begin(), log.end(), u"ERRO: " + c.Error), log.end());

        raising->RaiseInPrepare = true;
        EXPECT_FALSE(setup.PrepareProvider(observer));
        EXPECT_EQ(Narrow(setup.LastError), Narrow(c.Error));
        TearDown();
    }
}

TEST_F(Install, NotEnoughSpaceFailsBeforeAnythingAndEqualSpacePasses) {
    // A folder on a volume whose free space nothing changes while the test
    // runs (Wine's Z: is the host's root; /dev is a memory file system), and
    // which cannot be made: past the space check the folder step fails.
    const std::u16string appDir = u"Z:\\dev\\null\\app";
    const int64_t free = GetFreeDiskSpace(appDir);
    ASSERT_GT(free, 0);
    class TSizedProvider : public TFakeFileProvider {
    public:
        int64_t Total = 0;
        int64_t TotalSize() override { return Total; }
    };
    for (int64_t extra : {0, 1}) {
        SCOPED_TRACE(extra);
        observer = MakeRef<TRecordingObserver>();
        auto sized = MakeRef<TSizedProvider>();
        TSetupEngine& setup = Engine();
        setup.Provider = sized;
        setup.Context->SetAppDir(appDir);
        sized->Total = free - GetFileSizeByPath(GetOwnExePath()) - 1048576 + extra;
        ASSERT_EQ(setup.RequiredSpace(), free + extra);
        EXPECT_FALSE(setup.Install(observer));
        if (extra == 0) {
            EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui criar a pasta")) << Narrow(setup.LastError);
        } else {
            EXPECT_EQ(Narrow(setup.LastError),
                      Narrow(u"não há espaço em disco suficiente em \"" + appDir + u"\" (precisa de " +
                             FormatByteSize(free + 1) + u")"));
            EXPECT_TRUE(observer->Events.empty());
        }
        EXPECT_EQ(sized->InstallCalls, 0);
    }
}

TEST_F(Install, FailedUpdateLeavesTheEarlierInstallation) {
    ASSERT_TRUE(Engine().Install(observer)) << Narrow(engine->LastError);
    const std::string earlierJournal = ReadBytes(App(u"unins000.dat"));
    ASSERT_TRUE(WriteBytes(App(u"dados\\cache\\user.dat"), "do usuario"));
    std::u16string displayVersion;

    // The update adds a file, then its registry step fails.
    provider->Files.push_back({u"lib\\novo.bin", "novo"});
    observer = MakeRef<TRecordingObserver>();
    TSetupEngine& update = Engine(u"[Registry]\nRoot: HKCU; Subkey: \"" + key.Path() + u"\\" +
                                  std::u16string(300, u'k') + u"\"; ValueType: string; ValueName: \"x\"\n");
    EXPECT_FALSE(update.Install(observer));
    EXPECT_EQ(observer->LastStatus(), u"Desfazendo...");

    EXPECT_FALSE(FileExists(App(u"lib\\novo.bin")));
    EXPECT_TRUE(FileExists(App(u"bin\\dax.exe")));
    EXPECT_TRUE(FileExists(GroupFolder() + u"\\Dax.lnk"));
    EXPECT_EQ(ReadBytes(App(u"dados\\cache\\user.dat")), "do usuario");
    EXPECT_TRUE(FileExists(App(u"unins000.exe")));
    EXPECT_EQ(ReadBytes(App(u"unins000.dat")), earlierJournal);
    EXPECT_TRUE(ReadRegString(HKLM, UninstallKey(), u"DisplayVersion", true, displayVersion));
    EXPECT_TRUE(RegKeyPresent(HKLM, key / u"Dax", true));
    EXPECT_EQ(RegValueKind(HKCU, key / u"Shared", u"Home", true), REG_EXPAND_SZ);
}

TEST_F(Install, NotUninstallableSavesNoJournalAndRegistersNothing) {
    TSetupEngine& setup = Engine(u"[Setup]\nUninstallable=no\n");
    ASSERT_TRUE(setup.Install(observer)) << Narrow(setup.LastError);
    EXPECT_FALSE(FileExists(App(u"unins000.exe")));
    EXPECT_FALSE(FileExists(App(u"unins000.dat")));
    EXPECT_FALSE(RegKeyPresent(HKLM, UninstallKey(), true));
    for (const std::u16string& record : setup.Journal->Records()) EXPECT_FALSE(HasPrefix(record, u"M|"));
}

TEST_F(Install, RollbackKeepsTheRestartThatADeferredDeletionNeeds) {
    // The first file is in use by then, as a program that was started.
    class TLockingProvider : public TFakeFileProvider {
    public:
        std::unique_ptr<THeldFile> Held;
        bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer) override {
            const bool installed = TFakeFileProvider::InstallFiles(engine, observer);
            Held = std::make_unique<THeldFile>(Installed.front());
            return installed;
        }
    };
    auto locking = MakeRef<TLockingProvider>();
    locking->Files = provider->Files;
    locking->FailAtFile = 1;
    TSetupEngine& setup = Engine();
    setup.Provider = locking;
    EXPECT_FALSE(setup.Install(observer));
    ASSERT_TRUE(locking->Held->Held());
    EXPECT_EQ(Narrow(setup.LastError), "falha simulada do provedor");
    EXPECT_TRUE(setup.RebootNeeded);
}

TEST_F(Install, RollbackLeavesWhatUninstallDeleteNamesOutsideTheNewFolder) {
    // The user's settings from an earlier use of the product, outside the
    // installation folder that this run makes anew.
    ASSERT_TRUE(CreateDirPath(folder / u"config"));
    ASSERT_TRUE(WriteBytes(folder / u"config\\dax.ini", "do usuario"));
    ASSERT_TRUE(WriteBytes(folder / u"notas.txt", "do usuario"));
    provider->FailAtFile = 1;
    TSetupEngine& setup = Engine(u"[UninstallDelete]\nType: filesandordirs; Name: \"" + folder.Path() +
                                 u"\\config\"\nType: files; Name: \"" + folder.Path() + u"\\*.txt\"\n");
    EXPECT_FALSE(setup.Install(observer));
    ExpectNothingInstalled();
    EXPECT_EQ(ReadBytes(folder / u"config\\dax.ini"), "do usuario");
    EXPECT_EQ(ReadBytes(folder / u"notas.txt"), "do usuario");
}

TEST_F(Install, RollbackRemovesTheStaleTemporaryOfAJournalSave) {
    // A run that was killed while it saved its journal left only the
    // temporary file in the installation folder.
    const std::u16string stale = App(u"unins000.dat.ksetup.tmp");
    ASSERT_TRUE(CreateDirPath(App()));
    ASSERT_TRUE(WriteBytes(stale, "KSETUP-JOURNAL 1\r\nF|"));
    provider->FailAtFile = 1;
    EXPECT_FALSE(Engine().Install(observer));
    EXPECT_EQ(observer->LastStatus(), u"Desfazendo...");
    EXPECT_FALSE(FileExists(stale));
    std::vector<FolderEntry> left;
    ListFolder(App(), u"*", true, left);
    EXPECT_TRUE(left.empty());
}

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Engine.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Lock.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Packages.h"
#include "KS.Test.Provider.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;
using TKind = TRecordingObserver::TKind;
namespace Packages = KS::TestPackages;

namespace {

const std::string Stub(64, 'S');
// 2024-01-01 as a FILETIME number.
constexpr uint64_t Stamp = 133485408000000000ull;

std::u16string Text(int64_t number) {
    return System::Int64ToStr(number);
}

// The package file (a stub, then the entries of the generated packages)
// and a script whose [Files] and [Texts] entries point into it.
class PackageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string package = Stub;
        for (const Packages::TEntry* entry : {&Packages::Stored, &Packages::Lzma, &Packages::X86, &Packages::Blocks}) {
            blobs.push_back(static_cast<int64_t>(package.size() - Stub.size()));
            package += entry->Package;
        }
        ASSERT_TRUE(WriteBytes(folder / u"setup.pkg", package));
    }

    // "Size", "Blob", "Packed" and "Crc" of the generated entry (index into
    // blobs), with crcDelta added to the CRC to damage it.
    std::u16string Where(const Packages::TEntry& entry, size_t index, int64_t crcDelta = 0) const {
        return u"Size: " + Text(static_cast<int64_t>(entry.Data.size())) + u"; Blob: " + Text(blobs[index]) +
               u"; Packed: " + Text(static_cast<int64_t>(entry.Package.size())) + u"; Crc: " +
               Text(static_cast<int64_t>(entry.Crc) + crcDelta) + u"; Stamp: " +
               Text(static_cast<int64_t>(Stamp));
    }

    TSetupEngine& Engine(const std::u16string& sections) {
        engine = LoadedEngine(u"[Setup]\nAppName=Dax\nUsePreviousAppDir=no\nDefaultDirName=" + folder.Path() +
                                  u"\\app\n" + sections,
                              folder / u"setup.log");
        EXPECT_TRUE(engine->PackageFile->Open(folder / u"setup.pkg"));
        engine->PackageBase = static_cast<int64_t>(Stub.size());
        engine->Observer = observer;
        return *engine;
    }

    std::u16string App(const std::u16string& name) const { return folder / (u"app\\" + name); }
    TParams& FileEntry(size_t index) const { return *engine->Script->EnsureSection(u"Files")->Entries[index]; }

    TTestFolder folder;
    std::vector<int64_t> blobs;
    TRef<TRecordingObserver> observer = MakeRef<TRecordingObserver>();
    TRef<TSetupEngine> engine;
};

} // namespace

TEST_F(PackageFiles, SectionInstallsDataTimesAndAttributesAndJournalsThem) {
    TSetupEngine& setup = Engine(u"[Files]\nName: \"leia.txt\"; DestDir: \"{app}\\doc\"; " + Where(Packages::Lzma, 1) +
                                 u"\nName: \"code.bin\"; DestName: \"dax.bin\"; Attribs: \"ReadOnly\"; " +
                                 Where(Packages::X86, 2) + u"\n");
    ASSERT_TRUE(setup.InstallFilesSection()) << Narrow(setup.LastError);
    EXPECT_TRUE(ReadBytes(App(u"doc\\leia.txt")) == Packages::Lzma.Data);
    EXPECT_TRUE(ReadBytes(App(u"dax.bin")) == Packages::X86.Data);
    EXPECT_EQ(GetFileWriteTime(App(u"dax.bin")), Stamp);
    EXPECT_EQ(GetFileAttributesW(System::WStr(App(u"dax.bin"))) & FILE_ATTRIBUTE_READONLY, 1u);
    EXPECT_FALSE(FileExists(App(u"dax.bin.ksetup.tmp")));
    SetFileAttributesW(System::WStr(App(u"dax.bin")), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(setup.Journal->Records(),
              (std::vector<std::u16string>{u"D|" + folder / u"app", u"D|" + App(u"doc"), u"F|" + App(u"doc\\leia.txt"),
                                           u"F|" + App(u"dax.bin")}));
    const int64_t total = static_cast<int64_t>(Packages::Lzma.Data.size() + Packages::X86.Data.size());
    EXPECT_EQ(setup.DownloadTotal, total);
    const auto progress = observer->Of(TKind::Progress);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().Done, total);
    EXPECT_EQ(observer->StatusTexts(), (std::vector<std::u16string>{u"Copiando leia.txt...", u"Copiando dax.bin..."}));
    EXPECT_EQ(LogLines(folder / u"setup.log"),
              (std::vector<std::u16string>{u"instalado: " + App(u"doc\\leia.txt"), u"instalado: " + App(u"dax.bin")}));
}

TEST_F(PackageFiles, VersionThenStampDecidesWhetherAnExistingFileIsReplaced) {
    // The test child carries product version 5.6.7.8; the plain file none.
    const std::u16string versioned = folder / u"versioned.exe";
    const std::u16string plain = folder / u"plain.txt";
    ASSERT_TRUE(CopyFileW(System::WStr(KsTest::ChildExePath()), System::WStr(versioned), FALSE));
    ASSERT_TRUE(WriteBytes(plain, "old"));
    {
        const HANDLE file = CreateFileW(System::WStr(plain), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME time{static_cast<DWORD>(Stamp), static_cast<DWORD>(Stamp >> 32)};
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
        CloseHandle(file);
    }
    const struct {
        const char16_t* Params;
        const std::u16string& Target;
        bool Install;
    } cases[] = {
        {u"Stamp: 1", folder / u"missing.txt", true},
        {u"Flags: onlyifdoesntexist ignoreversion", plain, false},
        {u"Flags: ignoreversion; Stamp: 1", plain, true},
        {u"Ver: 5.6.7.9; Stamp: 1", versioned, true},
        {u"Ver: 5.6.7.8; Stamp: 999999999999999999", versioned, false},
        {u"Ver: 5.6.7.7", versioned, false},
        {u"Stamp: 133485408000000001", plain, true},
        {u"Stamp: 133485408000000000", plain, false},
        {u"Ver: 9.0; Stamp: 133485407999999999", plain, false},
    };
    std::u16string section = u"[Files]\n";
    for (const auto& c : cases) section += std::u16string(u"Name: \"x\"; ") + c.Params + u"\n";
    TSetupEngine& setup = Engine(section);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(setup.ShouldInstallFile(cases[i].Target, FileEntry(i)), cases[i].Install) << Narrow(cases[i].Params);
}

TEST_F(PackageFiles, KeptFileAdvancesProgressAndIsJournaledUnlessNeverUninstalled) {
    ASSERT_TRUE(CreateDirPath(folder / u"app"));
    ASSERT_TRUE(WriteBytes(App(u"a.txt"), "meu"));
    ASSERT_TRUE(WriteBytes(App(u"b.txt"), "meu"));
    TSetupEngine& setup = Engine(u"[Files]\nName: \"a.txt\"; Flags: onlyifdoesntexist; " + Where(Packages::Lzma, 1) +
                                 u"\nName: \"b.txt\"; Flags: onlyifdoesntexist uninsneveruninstall; " +
                                 Where(Packages::Lzma, 1) + u"\n");
    ASSERT_TRUE(setup.InstallFilesSection());
    EXPECT_EQ(ReadBytes(App(u"a.txt")), "meu");
    EXPECT_EQ(setup.Journal->Records(), std::vector<std::u16string>{u"F|" + App(u"a.txt")});
    EXPECT_TRUE(setup.Journal->Existed(u"F|" + App(u"a.txt")));
    const auto progress = observer->Of(TKind::Progress);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[1].Done, 2 * static_cast<int64_t>(Packages::Lzma.Data.size()));
    EXPECT_EQ(LogLines(folder / u"setup.log"),
              (std::vector<std::u16string>{u"mantido: " + App(u"a.txt"), u"mantido: " + App(u"b.txt")}));
}

TEST_F(PackageFiles, LockedTargetIsReplacedAtTheNextRestart) {
    ASSERT_TRUE(CreateDirPath(folder / u"app"));
    const std::u16string target = App(u"locked.txt");
    ASSERT_TRUE(WriteBytes(target, "em uso"));
    TSetupEngine& setup = Engine(u"[Files]\nName: \"locked.txt\"; Flags: ignoreversion; " + Where(Packages::Stored, 0) +
                                 u"\n");
    bool installed;
    {
        THeldFile held(target);
        ASSERT_TRUE(held.Held());
        installed = setup.InstallFile(FileEntry(0));
    }
    EXPECT_TRUE(installed) << Narrow(setup.LastError);
    EXPECT_TRUE(setup.RebootNeeded);
    EXPECT_EQ(setup.Journal->Records(),
              (std::vector<std::u16string>{u"F|" + target + u".ksetup.tmp", u"F|" + target}));
    EXPECT_EQ(ReadBytes(target), "em uso");
    EXPECT_TRUE(ReadBytes(target + u".ksetup.tmp") == Packages::Stored.Data);
    EXPECT_EQ(LogLines(folder / u"setup.log"),
              (std::vector<std::u16string>{u"troca no próximo boot: " + target, u"instalado: " + target}));
}

TEST_F(PackageFiles, FailedFileAsksRetryIgnoreOrAbort) {
    const std::u16string section = u"[Files]\nName: \"bad.txt\"; " + Where(Packages::Lzma, 1, 1) + u"\n";
    const std::u16string crcError = u"CRC32 não confere: o instalador está corrompido";
    TSetupEngine& setup = Engine(section);
    observer->ErrorAnswers = {ErrorChoiceRetry, ErrorChoiceIgnore};
    EXPECT_TRUE(setup.InstallFile(FileEntry(0)));
    const auto questions = observer->Of(TKind::ErrorChoice);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].Text, App(u"bad.txt"));
    EXPECT_EQ(Narrow(questions[1].Message), Narrow(crcError));
    EXPECT_FALSE(FileExists(App(u"bad.txt")));
    EXPECT_FALSE(FileExists(App(u"bad.txt.ksetup.tmp")));
    EXPECT_FALSE(setup.Journal->Contains(u"F|" + App(u"bad.txt")));
    EXPECT_EQ(Narrow(LogLines(folder / u"setup.log").back()), Narrow(u"ignorado: " + crcError));

    // A plain observer aborts at once.
    TSetupEngine& plain = Engine(section);
    plain.Observer = MakeRef<TSetupObserver>();
    EXPECT_FALSE(plain.InstallFile(FileEntry(0)));
    EXPECT_EQ(Narrow(plain.LastError), Narrow(crcError));
    EXPECT_FALSE(FileExists(App(u"bad.txt.ksetup.tmp")));
}

TEST_F(PackageFiles, CancelInsideAFileRollsTheRunBackAsCancelled) {
    // Polls: before the first entry, after the first file's block, before
    // the second entry, then after each of its blocks.
    observer->CancelAtPoll = 5;
    TSetupEngine& setup =
        Engine(u"[Files]\nName: \"a.txt\"; " + Where(Packages::Stored, 0) + u"\nName: \"b.bin\"; DestDir: \"{app}\\bin\"; " +
               Where(Packages::Blocks, 3) + u"\n");
    EXPECT_FALSE(setup.Install(observer));
    EXPECT_TRUE(setup.Cancelled);
    EXPECT_EQ(Narrow(setup.LastError), Narrow(u"Instalação cancelada."));
    EXPECT_EQ(observer->CancelPolls(), 5);
    EXPECT_EQ(observer->LastStatus(), u"Desfazendo...");
    EXPECT_FALSE(IsExistingFolder(folder / u"app"));
}

TEST_F(PackageFiles, TargetWithoutItsFolderIsAnErrorNeverAFileHere) {
    TSetupEngine& setup = Engine(u"[Files]\nName: \"x.txt\"; DestDir: \"{groupname}\"; " + Where(Packages::Stored, 0) +
                                 u"\nName: \"\"; " + Where(Packages::Stored, 0) + u"\n");
    setup.Context->GroupName.clear();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(setup.InstallFile(FileEntry(i)));
        EXPECT_TRUE(HasPrefix(setup.LastError, u"não consegui gravar \"")) << Narrow(setup.LastError);
    }
    EXPECT_FALSE(FileExists(u"x.txt"));
    EXPECT_TRUE(setup.Journal->Records().empty());
}

TEST_F(PackageFiles, PackedTextsAreReadThroughATemporaryFile) {
    TSetupEngine& setup = Engine(u"[Texts]\nName: \"License\"; " + Where(Packages::Stored, 0) + u"\nName: \"Damaged\"; " +
                                 Where(Packages::Lzma, 1, 1) + u"\n");
    const std::u16string mask = u"ksetup_" + Text(GetCurrentProcessId()) + u"_*";
    const auto leftovers = [&mask] {
        std::vector<FolderEntry> entries;
        ListFolder(GetTempFolder(), mask, false, entries);
        return entries.size();
    };
    EXPECT_EQ(Narrow(setup.ReadPackedText(u"license")), Packages::Stored.Data);
    EXPECT_EQ(setup.ReadPackedText(u"Nada"), u"");
    EXPECT_EQ(setup.ExtractPackedText(u"Damaged", u".png"), u"");
    EXPECT_EQ(leftovers(), 0u);
    const std::u16string image = setup.ExtractPackedText(u"LICENSE", u".png");
    EXPECT_EQ(image, CombinePath(GetTempFolder(), u"ksetup_" + Text(GetCurrentProcessId()) + u"_0.png"));
    EXPECT_EQ(ReadBytes(image), Packages::Stored.Data);
    DeleteFileEvenReadOnly(image);
}

TEST_F(PackageFiles, TotalSizeIsTheProvidersWhenThereIsOne) {
    TSetupEngine& setup = Engine(u"[Tasks]\nName: \"extra\"; Flags: unchecked\n[Files]\nName: \"a\"; Size: 1000\n"
                                 u"Name: \"b\"; Size: 24; Tasks: extra\nName: \"c\"; Size: 200\n");
    EXPECT_EQ(setup.FilesTotalSize(), 1200);
    EXPECT_EQ(setup.RequiredSpace(), 1200 + GetFileSizeByPath(GetOwnExePath()) + 1048576);
    auto provider = MakeRef<TFakeFileProvider>();
    provider->Files = {{u"x", "12345"}};
    setup.Provider = provider;
    EXPECT_EQ(setup.FilesTotalSize(), 5);
}

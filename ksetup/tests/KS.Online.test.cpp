// The online provider against catalogues held in memory: the files come from
// a scripted source in place of the network, so that the plan, the workers,
// the retries, the verification and the replacement can be driven to every
// outcome. The same paths over real HTTPS are in tests/e2e.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "KS.Digest.h"
#include "KS.Engine.h"
#include "KS.Install.h"
#include "KS.Online.h"
#include "KS.Sys.Errors.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Lock.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TBytes;
using System::TRef;
using System::WStr;
using TKind = TRecordingObserver::TKind;

namespace {

TBytes Bytes(const std::string& text) {
    return TBytes(text.begin(), text.end());
}

TBytes Zlib(const TBytes& content) {
    uLongf size = compressBound(uLong(content.size()));
    TBytes packed(size);
    EXPECT_EQ(compress2(packed.data(), &size, content.data(), uLong(content.size()), 6), Z_OK);
    packed.resize(size);
    return packed;
}

std::u16string U16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Files served from memory in place of the network. Each attempt of a name
// asks Fails whether it fails; the source also tracks how many fetches run
// at once and can hold each one until that many have arrived.
class TMemorySource {
public:
    std::map<std::u16string, TBytes> Packed;
    // (name, attempt from 1): true fails that attempt with "falha simulada".
    std::function<bool(const std::u16string&, int)> Fails = [](const std::u16string&, int) { return false; };
    // A fetch of this name raises an exception instead.
    std::u16string Raises;
    // Each fetch waits until this many run at once (at most two seconds).
    int Gate = 0;
    DWORD DelayMs = 0;

    bool Fetch(const CatalogFileRecord& file, TBytes& bytes, std::u16string& error) {
        int attempt;
        {
            std::unique_lock<std::mutex> hold(lock_);
            attempt = ++attempts_[file.Name];
            ++fetches_;
            maxActive_ = std::max(maxActive_, ++active_);
            changed_.notify_all();
            changed_.wait_for(hold, std::chrono::seconds(2), [&] { return active_ >= Gate; });
        }
        if (DelayMs) Sleep(DelayMs);
        {
            std::lock_guard<std::mutex> hold(lock_);
            --active_;
        }
        if (file.Name == Raises) throw System::Exception(u"falha inesperada");
        if (Fails(file.Name, attempt)) {
            error = u"falha simulada";
            return false;
        }
        bytes = Packed.at(file.Name);
        return true;
    }

    int Attempts(const std::u16string& name) {
        std::lock_guard<std::mutex> hold(lock_);
        return attempts_[name];
    }
    int Fetches() {
        std::lock_guard<std::mutex> hold(lock_);
        return fetches_;
    }
    int MaxActive() {
        std::lock_guard<std::mutex> hold(lock_);
        return maxActive_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::map<std::u16string, int> attempts_;
    int fetches_ = 0, active_ = 0, maxActive_ = 0;
};

class OnlineProvider : public ::testing::Test {
protected:
    void SetUp() override {
        AppDir = Folder / u"app";
        Engine = LoadedEngine(u"[Setup]\nAppName=Teste\nDefaultDirName=" + AppDir + u"\n");
        Engine->Context->SetAppDir(AppDir);
        Provider = MakeRef<TOnlineProvider>(u"https://localhost:1/($name)");
        Provider->CacheDir = Folder / u"cache";
        Provider->CatalogsLoaded = true;
        Provider->FileSource = [this](THttpClient&, const TCatalog&, const CatalogFileRecord& file, TBytes& bytes,
                                      std::u16string& error) { return Source->Fetch(file, bytes, error); };
        Observer = MakeRef<TRecordingObserver>();
    }

    // A catalogue installing into root; its file records describe contents.
    TCatalog& AddCatalog(const std::u16string& name, const std::u16string& root,
                         const std::vector<std::pair<std::u16string, std::string>>& files) {
        auto catalog = MakeRef<TCatalog>();
        catalog->Name = name;
        catalog->OutRoot = root;
        for (const auto& [fileName, content] : files) catalog->Files.push_back(Serve(fileName, content));
        Provider->Catalogs.push_back(catalog);
        return *catalog;
    }

    // The record of a file with this content, served by the source.
    CatalogFileRecord Serve(const std::u16string& name, const std::string& content) {
        const TBytes bytes = Bytes(content);
        const TBytes packed = Zlib(bytes);
        Source->Packed[name] = packed;
        return {name, Sha256BytesBase64(bytes), Sha256BytesBase64(packed), int64_t(bytes.size()),
                int64_t(packed.size())};
    }

    // n files "f<i>.bin" of distinct content in a catalogue under the app folder.
    void AddNumberedFiles(int n) {
        std::vector<std::pair<std::u16string, std::string>> files;
        for (int i = 0; i < n; ++i) files.push_back({FileName(i), "conteudo " + std::to_string(i)});
        AddCatalog(u"Bin", AppDir + u"\\Bin", files);
    }
    static std::u16string FileName(int i) { return U16("f" + std::to_string(i) + ".bin"); }

    bool PrepareAndInstall(TSetupObserver& observer) {
        EXPECT_TRUE(Provider->Prepare(*Engine, observer)) << KsTest::Narrow(Provider->LastError());
        return Provider->InstallFiles(*Engine, observer);
    }

    TTestFolder Folder;
    std::u16string AppDir;
    TRef<TSetupEngine> Engine;
    TRef<TOnlineProvider> Provider;
    TRef<TRecordingObserver> Observer;
    std::shared_ptr<TMemorySource> Source = std::make_shared<TMemorySource>();
};

std::vector<std::u16string> StatusesStartingWith(const TRecordingObserver& observer, const std::u16string& prefix) {
    std::vector<std::u16string> texts;
    for (const std::u16string& text : observer.StatusTexts())
        if (HasPrefix(text, prefix)) texts.push_back(text);
    return texts;
}

// ---- Record ---------------------------------------------------------------------

TEST(OnlineProviderRecord, WithoutLocalAppDataTheCacheStillHasAnAbsoluteFolder) {
    wchar_t saved[32768] = {};
    const bool had = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, 32768) > 0;
    SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
    auto provider = MakeRef<TOnlineProvider>(u"https://localhost:1/($name)");
    if (had) SetEnvironmentVariableW(L"LOCALAPPDATA", saved);
    const std::u16string& cache = provider->CacheDir;
    EXPECT_TRUE(cache.ends_with(u"\\Ostrel\\SetupCache")) << KsTest::Narrow(cache);
    ASSERT_GE(cache.size(), 3u);
    EXPECT_EQ(cache.substr(1, 2), u":\\") << KsTest::Narrow(cache);
    EXPECT_TRUE(IsExistingFolder(cache));
}

// ---- Plan ---------------------------------------------------------------------

TEST_F(OnlineProvider, PrepareQueuesMissingAndDifferingFilesOnly) {
    AddCatalog(u"Bin", AppDir + u"\\Bin",
               {{u"same.txt", "igual"}, {u"other.txt", "novo!"}, {u"size.txt", "novo tamanho"}, {u"sub/missing.txt", "m"}});
    CreateDirPath(AppDir + u"\\Bin");
    WriteBytes(AppDir + u"\\Bin\\same.txt", "igual");
    WriteBytes(AppDir + u"\\Bin\\other.txt", "velho");  // same size, other hash
    WriteBytes(AppDir + u"\\Bin\\size.txt", "curto");

    ASSERT_TRUE(Provider->Prepare(*Engine, *Observer));
    ASSERT_EQ(Provider->Jobs.size(), 3u);
    const TCatalog& catalog = *Provider->Catalogs[0];
    EXPECT_EQ(Provider->Jobs[0].FileIndex, 1);
    EXPECT_EQ(Provider->Jobs[0].Target, AppDir + u"\\Bin\\other.txt");
    EXPECT_EQ(Provider->Jobs[2].Target, AppDir + u"\\Bin\\sub\\missing.txt");
    EXPECT_EQ(Provider->FileCount, 4);
    EXPECT_EQ(Provider->DownloadBytes, catalog.Files[1].ZSize + catalog.Files[2].ZSize + catalog.Files[3].ZSize);
    EXPECT_EQ(Provider->TotalSize(), 5 + 12 + 1);
    EXPECT_EQ(Provider->Summary(), u"Arquivos a baixar: 3 de 4 (" + FormatByteSize(Provider->DownloadBytes) + u")");

    // A second run rebuilds the plan from the disk.
    WriteBytes(AppDir + u"\\Bin\\other.txt", "novo!");
    ASSERT_TRUE(Provider->Prepare(*Engine, *Observer));
    EXPECT_EQ(Provider->Jobs.size(), 2u);
}

TEST_F(OnlineProvider, PrepareReportsEveryFortyFilesAndCanBeCancelledThere) {
    const struct { int files; int cancelAt; std::vector<int64_t> reported; bool result; } cases[] = {
        {39, 0, {39}, true},
        {80, 0, {40, 80, 80}, true},
        {80, 2, {40, 80}, false},
    };
    for (const auto& c : cases) {
        Provider->Catalogs.clear();
        AddNumberedFiles(c.files);
        auto observer = MakeRef<TRecordingObserver>();
        observer->CancelAtPoll = c.cancelAt;
        EXPECT_EQ(Provider->Prepare(*Engine, *observer), c.result);
        std::vector<int64_t> reported;
        for (const auto& event : observer->Of(TKind::Progress)) {
            reported.push_back(event.Done);
            EXPECT_EQ(event.Total, c.files);
        }
        EXPECT_EQ(reported, c.reported) << c.files;
        const auto lines = StatusesStartingWith(*observer, u"Conferindo ");
        ASSERT_EQ(lines.size(), size_t(c.files / 40)) << c.files;
        if (!lines.empty()) {
            EXPECT_EQ(lines[0], u"Conferindo Bin: 40 de " + U16(std::to_string(c.files)) + u" arquivos...");
        }
        if (!c.result) {
            EXPECT_EQ(Provider->LastError(), u"Instalação cancelada.");
        }
    }
}

TEST_F(OnlineProvider, RootsUnderTheDefaultFolderMoveToTheChosenOne) {
    const std::u16string defaultRoot = ExpandEnvText(u"%ProgramFiles%\\Ostrel");
    auto catalog = MakeRef<TCatalog>();
    const struct { std::u16string outRoot, root; } cases[] = {
        {defaultRoot + u"\\Bin", AppDir + u"\\Bin"},
        {defaultRoot + u"\\Bin\\\\", AppDir + u"\\Bin"},
        {AsciiUpperCase(defaultRoot) + u"\\Rtl", AppDir + u"\\Rtl"},
        {defaultRoot, AppDir},
        {defaultRoot + u"X\\Fonts", AppDir + u"X\\Fonts"},  // the prefix is text, not a folder
        {Folder / u"docs\\Ostrel", Folder / u"docs\\Ostrel"},
    };
    for (const auto& c : cases) {
        catalog->OutRoot = c.outRoot;
        EXPECT_EQ(TOnlineProvider::CatalogRoot(*catalog, AppDir + u"\\"), c.root) << KsTest::Narrow(c.outRoot);
    }
    AddCatalog(u"Bin", defaultRoot + u"\\Bin", {{u"a/b/c.txt", "c"}});
    ASSERT_TRUE(Provider->Prepare(*Engine, *Observer));
    EXPECT_EQ(Provider->Jobs[0].Target, AppDir + u"\\Bin\\a\\b\\c.txt");
}

TEST_F(OnlineProvider, UntrustedEntriesMakeTheCatalogueInvalid) {
    const CatalogFileRecord good = Serve(u"ok.txt", "ok");
    const auto with = [&](auto change) {
        CatalogFileRecord record = good;
        change(record);
        return record;
    };
    const struct { std::u16string root; CatalogFileRecord file; std::u16string error; } cases[] = {
        {AppDir, with([](auto& f) { f.Name = u"..\\..\\evil.dll"; }),
         u"catálogo Bin inválido: nome de arquivo não permitido: \"..\\..\\evil.dll\""},
        {AppDir, with([](auto& f) { f.Name = u"C:\\Windows\\evil.dll"; }),
         u"catálogo Bin inválido: nome de arquivo não permitido: \"C:\\Windows\\evil.dll\""},
        {AppDir, with([](auto& f) { f.Name = u"x\r\nF|C:\\Windows"; }),
         u"catálogo Bin inválido: nome de arquivo não permitido: \"x??F|C:\\Windows\""},
        {AppDir, with([](auto& f) { f.Size = -1; }), u"catálogo Bin inválido: tamanho impossível para \"ok.txt\""},
        {AppDir, with([](auto& f) { f.ZSize = 0; }), u"catálogo Bin inválido: tamanho impossível para \"ok.txt\""},
        {AppDir, with([](auto& f) { f.Hash = u""; }), u"catálogo Bin inválido: SHA-256 mal escrito para \"ok.txt\""},
        {AppDir, with([](auto& f) { f.ZHash = f.ZHash.substr(1); }),
         u"catálogo Bin inválido: SHA-256 mal escrito para \"ok.txt\""},
        {u"", good, u"catálogo Bin inválido: \"outpath\" vazio ou não absoluto: \"\""},
        {u"Ostrel\\Bin", good, u"catálogo Bin inválido: \"outpath\" vazio ou não absoluto: \"Ostrel\\Bin\""},
    };
    for (const auto& c : cases) {
        Provider->Catalogs.clear();
        AddCatalog(u"Bin", c.root, {{u"first.txt", "bom"}}).Files.push_back(c.file);
        EXPECT_FALSE(Provider->CheckCatalogs());
        EXPECT_EQ(Provider->LastError(), c.error);
    }
    Provider->Catalogs.clear();
    AddCatalog(u"Bin", AppDir, {}).Files.push_back(good);
    EXPECT_TRUE(Provider->CheckCatalogs());
}

TEST_F(OnlineProvider, EntriesThatLandOnOneFileAreRefusedBeforeAnyDownload) {
    using TFiles = std::vector<std::pair<std::u16string, std::string>>;
    const struct {
        const char* Name;
        TFiles Bin;    // under AppDir\Bin
        TFiles Root;   // a second catalogue under AppDir itself
        std::u16string Duplicate;  // the file named, or empty when valid
    } cases[] = {
        {"ASCII case", {{u"Lib/a.dll", "1"}, {u"lib/A.DLL", "2"}}, {}, u"lib\\A.DLL"},
        {"slashes", {{u"lib/a.dll", "1"}, {u"lib\\a.dll", "2"}}, {}, u"lib\\a.dll"},
        {"case beyond ASCII", {{u"Ação.txt", "1"}, {u"AÇÃO.txt", "2"}}, {}, u"AÇÃO.txt"},
        {"Cyrillic case", {{u"файл.txt", "1"}, {u"ФАЙЛ.txt", "2"}}, {}, u"ФАЙЛ.txt"},
        {"trailing dot", {{u"a.txt", "1"}, {u"a.txt.", "2"}}, {}, u"a.txt."},
        {"identical entries", {{u"a.txt", "1"}, {u"a.txt", "1"}}, {}, u"a.txt"},
        {"two catalogues", {{u"x.dll", "1"}}, {{u"bin/X.dll", "2"}}, u"bin\\X.dll"},
        {"distinct names", {{u"a.txt", "1"}, {u"á.txt", "2"}, {u"ß.txt", "3"}, {u"SS.txt", "4"}}, {}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Provider->Catalogs.clear();
        AddCatalog(u"Bin", AppDir + u"\\Bin", c.Bin);
        AddCatalog(u"Raiz", AppDir, c.Root);
        const bool prepared = Provider->Prepare(*Engine, *Observer);
        if (c.Duplicate.empty()) {
            EXPECT_TRUE(prepared) << KsTest::Narrow(Provider->LastError());
            continue;
        }
        EXPECT_FALSE(prepared);
        const std::u16string catalog = c.Root.empty() ? u"Bin" : u"Raiz";
        const std::u16string target = (c.Root.empty() ? AppDir + u"\\Bin\\" : AppDir + u"\\") + c.Duplicate;
        EXPECT_EQ(KsTest::Narrow(Provider->LastError()),
                  KsTest::Narrow(u"catálogo " + catalog + u" inválido: dois itens gravam o mesmo arquivo \"" +
                                 target + u"\""));
        EXPECT_TRUE(Provider->Jobs.empty());
    }
    EXPECT_EQ(Source->Fetches(), 0);
    EXPECT_FALSE(IsExistingFolder(AppDir));
}

TEST_F(OnlineProvider, OfflineRunsOnlyWhenNothingIsMissing) {
    AddCatalog(u"Bin", AppDir, {{u"a.txt", "a"}, {u"b.txt", "b"}});
    Provider->Offline = true;
    EXPECT_FALSE(Provider->Prepare(*Engine, *Observer));
    EXPECT_EQ(Provider->LastError(), u"sem conexão com a internet: faltam 2 arquivos e eles precisam ser baixados.");

    CreateDirPath(AppDir);
    WriteBytes(AppDir + u"\\a.txt", "a");
    WriteBytes(AppDir + u"\\b.txt", "b");
    EXPECT_TRUE(Provider->Prepare(*Engine, *Observer));
    EXPECT_EQ(Provider->Summary(),
              u"Todos os 2 arquivos já estão instalados e atualizados.\r\n"
              u"(sem conexão: usando os catálogos guardados no cache)");
}

// ---- Install --------------------------------------------------------------------

TEST_F(OnlineProvider, InstallPutsEveryFileInPlaceAndJournalsAllOfThem) {
    AddCatalog(u"Bin", AppDir + u"\\Bin", {{u"kept.txt", "ja estava"}, {u"new/deep/a.txt", "conteudo a"}});
    AddCatalog(u"Empty", AppDir + u"\\Vazio", {});
    AddCatalog(u"Rtl", AppDir + u"\\Rtl", {{u"b.txt", ""}});
    CreateDirPath(AppDir + u"\\Bin");
    WriteBytes(AppDir + u"\\Bin\\kept.txt", "ja estava");

    ASSERT_TRUE(PrepareAndInstall(*Observer)) << KsTest::Narrow(Provider->LastError());
    EXPECT_EQ(ReadBytes(AppDir + u"\\Bin\\new\\deep\\a.txt"), "conteudo a");
    EXPECT_TRUE(FileExists(AppDir + u"\\Rtl\\b.txt"));
    EXPECT_EQ(ReadBytes(AppDir + u"\\Rtl\\b.txt"), "");
    EXPECT_FALSE(FileExists(AppDir + u"\\Bin\\new\\deep\\a.txt.ksetup.tmp"));
    EXPECT_EQ(Source->Attempts(u"kept.txt"), 0);
    EXPECT_TRUE(IsExistingFolder(AppDir + u"\\Vazio"));

    const std::vector<std::u16string> expected = {
        u"F|" + AppDir + u"\\Bin\\kept.txt", u"F|" + AppDir + u"\\Bin\\new\\deep\\a.txt",
        u"D|" + AppDir + u"\\Vazio",         u"D|" + AppDir + u"\\Rtl",
        u"F|" + AppDir + u"\\Rtl\\b.txt",    u"D|" + AppDir + u"\\Bin\\new",
        u"D|" + AppDir + u"\\Bin\\new\\deep"};
    std::vector<std::u16string> records = Engine->Journal->Records();
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [&](const auto& r) { return r == u"D|" + AppDir; }),
                  records.end());
    EXPECT_EQ(records, expected);
    const auto progress = Observer->Of(TKind::Progress);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().Done, Provider->DownloadBytes);
    EXPECT_EQ(progress.back().Total, Provider->DownloadBytes);
    EXPECT_FALSE(Engine->RebootNeeded);
}

TEST_F(OnlineProvider, NothingToDownloadStartsNoWorkerAndReportsOneOfOne) {
    AddCatalog(u"Bin", AppDir + u"\\Bin", {{u"a.txt", "a"}});
    CreateDirPath(AppDir + u"\\Bin");
    WriteBytes(AppDir + u"\\Bin\\a.txt", "a");
    ASSERT_TRUE(Provider->Prepare(*Engine, *Observer));
    auto observer = MakeRef<TRecordingObserver>();
    ASSERT_TRUE(Provider->InstallFiles(*Engine, *observer));
    EXPECT_EQ(Source->Fetches(), 0);
    const auto progress = observer->Of(TKind::Progress);
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_EQ(progress[0].Done, 1);
    EXPECT_EQ(progress[0].Total, 1);
    EXPECT_TRUE(Engine->Journal->Contains(u"F|" + AppDir + u"\\Bin\\a.txt"));
}

TEST_F(OnlineProvider, AsManyWorkersAsJobsButAtMostEight) {
    for (const auto& [jobs, workers] : {std::pair{3, 3}, std::pair{20, 8}}) {
        Provider->Catalogs.clear();
        Source = std::make_shared<TMemorySource>();
        Source->Gate = 9;  // every fetch waits as long as it may, so all workers meet
        AddNumberedFiles(jobs);
        ASSERT_TRUE(PrepareAndInstall(*Observer));
        EXPECT_EQ(Source->MaxActive(), workers) << jobs;
        EXPECT_EQ(Source->Fetches(), jobs);
        DeleteFolderTree(AppDir);
    }
}

TEST_F(OnlineProvider, TheFileCountOfTheStatusNeverPassesTheJobs) {
    Source->DelayMs = 60;
    AddNumberedFiles(10);
    ASSERT_TRUE(PrepareAndInstall(*Observer));
    const auto lines = StatusesStartingWith(*Observer, u"Baixando e instalando: ");
    ASSERT_FALSE(lines.empty());
    for (const std::u16string& line : lines) {
        const size_t open = line.find(u"  (");
        ASSERT_NE(open, std::u16string::npos) << KsTest::Narrow(line);
        const std::u16string count = line.substr(open + 3, line.find(u' ', open + 3) - open - 3);
        int64_t begun = 0;
        ASSERT_TRUE(TryParseInt64(count, begun));
        EXPECT_LE(begun, 10);
        EXPECT_TRUE(line.ends_with(u" de 10 arquivos)")) << KsTest::Narrow(line);
    }
    EXPECT_EQ(lines.back(), u"Baixando e instalando: " + FormatByteSize(Provider->DownloadBytes) + u" de " +
                                FormatByteSize(Provider->DownloadBytes) + u"  (10 de 10 arquivos)");
}

TEST_F(OnlineProvider, TheTwentySixthFailureStopsTheWorkersAndTheRetryPassDoesTheRest) {
    AddNumberedFiles(60);
    // Every download on a worker fails; the main thread's retries succeed.
    const DWORD mainThread = GetCurrentThreadId();
    Source->Fails = [mainThread](const std::u16string&, int) { return GetCurrentThreadId() != mainThread; };
    ASSERT_TRUE(PrepareAndInstall(*Observer)) << KsTest::Narrow(Provider->LastError());
    // Every worker ends after its file in hand: at most seven more failures.
    EXPECT_GE(Provider->FailureCount.load(), 26);
    EXPECT_LE(Provider->FailureCount.load(), 26 + 7);
    int untouchedByWorkers = 0;
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(ReadBytes(AppDir + u"\\Bin\\" + FileName(i)), "conteudo " + std::to_string(i));
        untouchedByWorkers += Source->Attempts(FileName(i)) == 1;
    }
    EXPECT_EQ(untouchedByWorkers, 60 - Provider->FailureCount.load());
    EXPECT_TRUE(Observer->Of(TKind::ErrorChoice).empty());
}

TEST_F(OnlineProvider, TwentyFiveFailuresLetTheWorkersEmptyTheQueue) {
    AddNumberedFiles(30);
    Source->Fails = [](const std::u16string& name, int attempt) {
        int64_t n = 0;
        TryParseInt64(name.substr(1, name.size() - 5), n);
        return attempt == 1 && n < 25;
    };
    ASSERT_TRUE(PrepareAndInstall(*Observer));
    EXPECT_EQ(Provider->FailureCount.load(), 25);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(Source->Attempts(FileName(i)), i < 25 ? 2 : 1) << i;
}

TEST_F(OnlineProvider, ACancelStopsTheWorkersWithoutARetryPass) {
    AddNumberedFiles(40);
    Source->DelayMs = 100;
    ASSERT_TRUE(Provider->Prepare(*Engine, *Observer));
    auto observer = MakeRef<TRecordingObserver>();
    observer->CancelAtPoll = 1;
    EXPECT_FALSE(Provider->InstallFiles(*Engine, *observer));
    EXPECT_EQ(Provider->LastError(), u"Instalação cancelada.");
    EXPECT_LT(Source->Fetches(), 40);
    EXPECT_TRUE(observer->Of(TKind::ErrorChoice).empty());
    for (int i = 0; i < 40; ++i) EXPECT_LE(Source->Attempts(FileName(i)), 1);
}

TEST_F(OnlineProvider, AnExceptionInAWorkerEndsTheRunAsCancelled) {
    AddNumberedFiles(12);
    Source->Raises = u"f3.bin";
    EXPECT_FALSE(PrepareAndInstall(*Observer));
    EXPECT_EQ(Provider->LastError(), u"Instalação cancelada.");
    EXPECT_TRUE(Observer->Of(TKind::ErrorChoice).empty());
}

TEST_F(OnlineProvider, TheRetryPassAsksAfterEachFailure) {
    AddNumberedFiles(4);
    Source->Fails = [](const std::u16string& name, int) { return name == u"f2.bin"; };
    Observer->ErrorAnswers = {ErrorChoiceRetry, ErrorChoiceIgnore};
    ASSERT_TRUE(PrepareAndInstall(*Observer));
    const auto questions = Observer->Of(TKind::ErrorChoice);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].Text, AppDir + u"\\Bin\\f2.bin");
    EXPECT_EQ(questions[0].Message, u"f2.bin: falha simulada");
    EXPECT_EQ(Source->Attempts(u"f2.bin"), 3);
    EXPECT_FALSE(FileExists(AppDir + u"\\Bin\\f2.bin"));
    EXPECT_TRUE(FileExists(AppDir + u"\\Bin\\f3.bin"));
    EXPECT_TRUE(Engine->Journal->Contains(u"F|" + AppDir + u"\\Bin\\f2.bin"));

    // The plain observer answers abort: the first failure of the retry pass ends the run.
    DeleteFolderTree(AppDir);
    auto silent = MakeRef<TSetupObserver>();
    EXPECT_FALSE(PrepareAndInstall(*silent));
    EXPECT_EQ(Provider->LastError(), u"f2.bin: falha simulada");
}

// ---- One file -----------------------------------------------------------------------

TEST_F(OnlineProvider, DownloadedBytesAreCheckedTwiceBeforeAnythingIsWritten) {
    AddCatalog(u"Bin", AppDir, {});
    CreateDirPath(AppDir);
    const std::string content(5000, 'x');
    const TBytes packed = Zlib(Bytes(content));
    const CatalogFileRecord right = Serve(u"a.bin", content);
    TBytes longer = packed;
    longer.push_back(0);
    const TBytes garbage = Bytes("isto nao e zlib");
    const struct { const char* what; TBytes served; CatalogFileRecord record; std::u16string error; } cases[] = {
        {"flipped byte", [&] { TBytes b = packed; b[10] ^= 1; return b; }(), right,
         u"a.bin veio corrompido (SHA-256 do compactado não confere)."},
        {"one byte more", longer, right, u"a.bin veio corrompido (SHA-256 do compactado não confere)."},
        {"no zlib", garbage,
         {u"a.bin", right.Hash, Sha256BytesBase64(garbage), right.Size, int64_t(garbage.size())},
         u"não consegui descompactar a.bin: "},
        {"inflates past its size", packed,
         {u"a.bin", right.Hash, right.ZHash, right.Size - 1, right.ZSize},
         u"não consegui descompactar a.bin: "},
        {"content of another hash", packed,
         {u"a.bin", Sha256BytesBase64(Bytes("outro")), right.ZHash, right.Size, right.ZSize},
         u"a.bin descompactado não confere com o SHA-256 esperado."},
        {"nothing where a size is due", Zlib({}),
         {u"a.bin", right.Hash, Sha256BytesBase64(Zlib({})), 0 + 1, int64_t(Zlib({}).size())},
         u"a.bin descompactado não confere com o SHA-256 esperado."},
    };
    const std::u16string target = AppDir + u"\\a.bin";
    for (const auto& c : cases) {
        WriteBytes(target, "anterior");
        Source->Packed[u"a.bin"] = c.served;
        std::u16string error;
        const DownloadJob job{0, 0, target};
        Provider->Catalogs[0]->Files = {c.record};
        EXPECT_FALSE(Provider->FetchAndReplace(*Provider->Http, job, error)) << c.what;
        EXPECT_TRUE(HasPrefix(error, c.error)) << c.what << ": " << KsTest::Narrow(error);
        EXPECT_EQ(ReadBytes(target), "anterior") << c.what;
        EXPECT_FALSE(FileExists(target + u".ksetup.tmp")) << c.what;
    }
    Source->Packed[u"a.bin"] = packed;
    Provider->Catalogs[0]->Files = {right};
    std::u16string error;
    EXPECT_TRUE(Provider->FetchAndReplace(*Provider->Http, {0, 0, target}, error));
    EXPECT_EQ(ReadBytes(target), content);
}

TEST_F(OnlineProvider, AFailedFetchNamesTheFile) {
    AddCatalog(u"Bin", AppDir, {{u"a.bin", "a"}});
    Provider->FileSource = [](THttpClient&, const TCatalog&, const CatalogFileRecord&, TBytes&, std::u16string&) {
        return false;
    };
    std::u16string error;
    EXPECT_FALSE(Provider->FetchAndReplace(*Provider->Http, {0, 0, AppDir + u"\\a.bin"}, error));
    EXPECT_EQ(error, u"a.bin: download interrompido");
}

TEST_F(OnlineProvider, AReadOnlyTargetIsReplaced) {
    AddCatalog(u"Bin", AppDir, {{u"ro.txt", "novo"}});
    CreateDirPath(AppDir);
    const std::u16string target = AppDir + u"\\ro.txt";
    WriteBytes(target, "velho");
    SetFileAttributesW(WStr(target), FILE_ATTRIBUTE_READONLY);
    std::u16string error;
    EXPECT_TRUE(Provider->FetchAndReplace(*Provider->Http, {0, 0, target}, error)) << KsTest::Narrow(error);
    EXPECT_EQ(ReadBytes(target), "novo");
}

// Starts a command line; the process handle, or null.
HANDLE StartProcess(std::u16string command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, const_cast<wchar_t*>(WStr(command)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child))
        return nullptr;
    CloseHandle(child.hThread);
    return child.hProcess;
}

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The system's pending renames as stored: pairs of source and target (empty
// for a deletion), each ended by a NUL.
std::u16string PendingRenames(HKEY sessionManager) {
    DWORD size = 0;
    RegQueryValueExW(sessionManager, kPendingRenames, nullptr, nullptr, nullptr, &size);
    std::u16string value(size / 2, u'\0');
    RegQueryValueExW(sessionManager, kPendingRenames, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
    return value;
}

// Takes the pending rename of the temporary file out of the system's list;
// true when it was there.
bool TakePendingRename(const std::u16string& from) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    std::u16string value = PendingRenames(key);
    const std::u16string source = u"\\??\\" + from + u'\0';
    const size_t at = value.find(source);
    bool found = at != std::u16string::npos;
    if (found) {
        const size_t end = value.find(u'\0', at + source.size());
        value.erase(at, end + 1 - at);
        RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(value.data()),
                       DWORD(value.size() * 2));
    }
    RegCloseKey(key);
    return found;
}

// The sources of the system's pending renames that lie in the folder.
std::vector<std::u16string> PendingRenameSourcesIn(const std::u16string& folder) {
    std::vector<std::u16string> sources;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return sources;
    const std::vector<std::u16string> items = SplitByChar(PendingRenames(key), u'\0');
    RegCloseKey(key);
    const std::u16string prefix = u"\\??\\" + folder + u"\\";
    for (size_t i = 0; i < items.size(); i += 2)
        if (HasPrefixIgnoreCase(items[i], prefix)) sources.push_back(items[i].substr(4));
    return sources;
}

TEST_F(OnlineProvider, ARollbackCancelsTheReplacementsLeftForTheRestart) {
    AddCatalog(u"Bin", AppDir, {{u"held.dll", "versao nova"}, {u"bad.bin", "nunca chega"}});
    CreateDirPath(AppDir);
    const std::u16string held = AppDir + u"\\held.dll";
    WriteBytes(held, "versao velha");
    Source->Fails = [](const std::u16string& name, int) { return name == u"bad.bin"; };
    Engine->Provider = Provider;
    {
        THeldFile holder(held);
        ASSERT_TRUE(holder.Held());
        ASSERT_TRUE(Engine->PrepareProvider(Observer)) << KsTest::Narrow(Engine->LastError);
        EXPECT_FALSE(Engine->Install(Observer));
    }
    EXPECT_EQ(KsTest::Narrow(Engine->LastError), "bad.bin: falha simulada");
    EXPECT_EQ(Provider->RebootCount.load(), 1);
    EXPECT_EQ(ReadBytes(held), "versao velha");
    EXPECT_FALSE(FileExists(StagedPath(held)));
    for (const std::u16string& source : PendingRenameSourcesIn(Folder.Path()))
        EXPECT_FALSE(FileExists(source)) << KsTest::Narrow(source);
    TakePendingRename(StagedPath(held));
}

TEST_F(OnlineProvider, ATargetHeldOpenIsReplacedAtTheNextRestart) {
    AddCatalog(u"Bin", AppDir, {{u"held.dll", "versao nova"}, {u"free.dll", "livre"}});
    CreateDirPath(AppDir);
    const std::u16string held = AppDir + u"\\held.dll";
    WriteBytes(held, "versao velha");
    std::optional<THeldFile> holder(std::in_place, held);
    ASSERT_TRUE(holder->Held());

    EXPECT_TRUE(PrepareAndInstall(*Observer)) << KsTest::Narrow(Provider->LastError());
    EXPECT_EQ(Provider->RebootCount.load(), 1);
    EXPECT_TRUE(Engine->RebootNeeded);
    EXPECT_EQ(ReadBytes(held + u".ksetup.tmp"), "versao nova");
    // Journaled, so that an uninstall before the restart cancels it.
    EXPECT_TRUE(Engine->Journal->Contains(u"F|" + held + u".ksetup.tmp"));
    EXPECT_EQ(ReadBytes(AppDir + u"\\free.dll"), "livre");
    EXPECT_TRUE(TakePendingRename(held + u".ksetup.tmp"));

    holder.reset();
    EXPECT_EQ(ReadBytes(held), "versao velha");
}

// ---- Stale files ------------------------------------------------------------------------

TEST_F(OnlineProvider, StaleFilesInsideTheFolderGoAndEverythingElseStays) {
    AddCatalog(u"Bin", AppDir + u"\\Bin", {{u"current.dll", "atual"}});
    CreateDirPath(AppDir + u"\\Bin");
    const std::u16string outside = Folder / u"outside.txt";
    for (const std::u16string& path : {AppDir + u"\\Bin\\old.dll", AppDir + u"\\Bin\\READONLY.DLL", outside,
                                       AppDir + u"\\unins000.exe", Folder / u"escape.txt"})
        WriteBytes(path, "x");
    SetFileAttributesW(WStr(AppDir + u"\\Bin\\READONLY.DLL"), FILE_ATTRIBUTE_READONLY);
    auto previous = MakeRef<TJournal>();
    const std::vector<std::u16string> records = {
        u"M|AppVersion|1.0",
        u"D|" + AppDir + u"\\Bin",
        u"F|" + AppDir + u"\\Bin\\old.dll",
        u"F|" + AppDir + u"\\bin\\readonly.dll",
        u"F|" + AppDir + u"\\BIN\\CURRENT.DLL",
        u"F|" + AppDir + u"\\Bin\\gone.dll",
        u"F|" + outside,
        u"F|" + AppDir + u"\\unins000.exe",
        u"F|" + AppDir + u"\\Bin\\..\\..\\escape.txt",
        u"RV|1|64|Software\\X|y",
    };
    for (const auto& record : records) previous->AddRecordLine(record);
    ASSERT_TRUE(previous->SaveToFile(AppDir + u"\\unins000.dat"));

    ASSERT_TRUE(PrepareAndInstall(*Observer));
    EXPECT_FALSE(FileExists(AppDir + u"\\Bin\\old.dll"));
    EXPECT_FALSE(FileExists(AppDir + u"\\Bin\\READONLY.DLL"));
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(AppDir + u"\\unins000.exe"));
    EXPECT_TRUE(FileExists(Folder / u"escape.txt"));
    EXPECT_EQ(ReadBytes(AppDir + u"\\Bin\\current.dll"), "atual");
    EXPECT_EQ(Observer->StatusTexts().back(), u"Procurando arquivos que saíram do catálogo...");

    auto saved = MakeRef<TJournal>();
    ASSERT_TRUE(saved->LoadFromFile(AppDir + u"\\unins000.dat"));
    EXPECT_EQ(saved->Records(), (std::vector<std::u16string>{records[0], records[1], records[4], records[6],
                                                               records[7], records[8], records[9]}));
}

TEST_F(OnlineProvider, NoSweepWhenOffline) {
    AddCatalog(u"Bin", AppDir, {});
    CreateDirPath(AppDir);
    WriteBytes(AppDir + u"\\old.dll", "x");
    auto previous = MakeRef<TJournal>();
    previous->AddFile(AppDir + u"\\old.dll");
    previous->SaveToFile(AppDir + u"\\unins000.dat");
    Provider->Offline = true;
    ASSERT_TRUE(PrepareAndInstall(*Observer));
    EXPECT_TRUE(FileExists(AppDir + u"\\old.dll"));
}

// ---- Catalogue cache -------------------------------------------------------------------------

// An elevated run reads its catalogues from the user's own cache, which the
// user's other programs may rewrite at any moment: the document that passed
// the digest check must be the one that is parsed. Another thread keeps
// turning the cached document into a forged one and back while the offline
// load reads it again and again.
TEST_F(OnlineProvider, TheCachedDocumentThatIsUsedIsTheOneThatWasVerified) {
    const std::string genuine = R"({"files":[{"name":"bom.txt"}]})";
    const std::string forged = R"({"files":[{"name":"mal.txt"}]})";
    const std::u16string document = Provider->CacheDir + u"\\Bin.Inf.json";
    CreateDirPath(Provider->CacheDir);
    WriteBytes(Provider->CacheDir + u"\\Bin.Inf.hash",
               R"({"name":"Bin.Inf.json","size":)" + std::to_string(genuine.size()) + R"(,"hash.sha256":")" +
                   KsTest::Narrow(Sha256BytesBase64(Bytes(genuine))) + R"(","zsize":8})");
    WriteBytes(document, genuine);
    Provider->Observer = Observer;

    std::atomic<bool> done{false};
    std::thread forger([&] {
        while (!done.load()) {
            WriteBytes(document, forged);
            WriteBytes(document, genuine);
        }
    });
    int forgedLoads = 0;
    for (int i = 0; i < 400 && forgedLoads == 0; ++i) {
        TRef<TJValue> tree;
        // No template: nothing is fetched, and the descriptor comes from the cache.
        if (!Provider->FetchCatalog(u"Bin.Inf.hash", {}, 0, u"", tree)) continue;
        forgedLoads += tree->Find(u"files")->Item(0)->GetStr(u"name") != u"bom.txt";
    }
    done = true;
    forger.join();
    EXPECT_EQ(forgedLoads, 0);
}

// ---- Self-update ---------------------------------------------------------------------------

class SelfUpdate : public OnlineProvider {
protected:
    void SetUp() override {
        OnlineProvider::SetUp();
        Exe = Folder / u"running.exe";
        CreateDirPath(Provider->CacheDir);
    }
    // One check with a fresh observer; its results land in NewPath and Hold.
    bool Check() {
        Observer = MakeRef<TRecordingObserver>();
        return Provider->CheckSelfUpdate(*Observer, Exe, NewPath, Hold);
    }
    std::u16string Exe;
    std::u16string NewPath;
    TRef<TOwnedHandle> Hold;
};

TEST_F(SelfUpdate, TheSameInstallerIsNotUpdated) {
    AddCatalog(u"Update", Folder.Path(), {{u"OstrelDaxSetup.exe", "instalador 2.0"}});
    WriteBytes(Exe, "instalador 2.0");
    EXPECT_FALSE(Check());
    EXPECT_EQ(Observer->StatusTexts(),
              std::vector<std::u16string>{u"Verificando se há uma versão mais nova do instalador..."});
    EXPECT_EQ(Source->Fetches(), 0);
    EXPECT_FALSE(Hold);
}

TEST_F(SelfUpdate, AnotherInstallerOfTheSameSizeIsDownloadedAndHeld) {
    AddCatalog(u"Update", Folder.Path(), {{u"bin/OstrelDaxSetup.exe", "instalador 2.0"}});
    WriteBytes(Exe, "instalador 1.0");
    ASSERT_TRUE(Check());
    EXPECT_EQ(NewPath, Provider->CacheDir + u"\\Update\\OstrelDaxSetup.exe");
    EXPECT_EQ(ReadBytes(NewPath), "instalador 2.0");
    EXPECT_EQ(Observer->StatusTexts().back(), u"Baixando a versão mais nova do instalador...");
    ASSERT_TRUE(Hold);
    // Held: nobody can write, rename or delete it, but it can be read (and started).
    EXPECT_EQ(CreateFileW(WStr(NewPath), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(WStr(NewPath)));
    EXPECT_FALSE(MoveFileExW(WStr(NewPath), WStr(NewPath + u".old"), 0));
    EXPECT_EQ(ReadBytes(NewPath), "instalador 2.0");
    Hold = nullptr;

    // The next run finds the verified copy and downloads nothing.
    const int fetches = Source->Fetches();
    ASSERT_TRUE(Check());
    EXPECT_EQ(Source->Fetches(), fetches);
    EXPECT_EQ(Observer->StatusTexts().size(), 1u);
}

TEST_F(SelfUpdate, TheHeldInstallerCanStillBeStarted) {
    AddCatalog(u"Update", Folder.Path(), {{u"OstrelDaxSetup.exe", ReadBytes(KsTest::ChildExePath())}});
    WriteBytes(Exe, "instalador 1.0");
    ASSERT_TRUE(Check());
    ASSERT_TRUE(Hold);
    const std::u16string report = Folder / u"report.txt";
    const HANDLE child = StartProcess(u"\"" + NewPath + u"\" report \"" + report + u"\" 7");
    ASSERT_NE(child, nullptr);
    WaitForSingleObject(child, 30000);
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(FileExists(report));
}

TEST_F(SelfUpdate, ACachedCopyThatChangedIsDownloadedAgain) {
    AddCatalog(u"Update", Folder.Path(), {{u"OstrelDaxSetup.exe", "instalador 2.0"}});
    WriteBytes(Exe, "instalador 1.0");
    CreateDirPath(Provider->CacheDir + u"\\Update");
    WriteBytes(Provider->CacheDir + u"\\Update\\OstrelDaxSetup.exe", "instalador 6.6");
    ASSERT_TRUE(Check());
    EXPECT_EQ(ReadBytes(NewPath), "instalador 2.0");
    EXPECT_EQ(Source->Fetches(), 1);
}

TEST_F(SelfUpdate, TheInstallerEntryIsChosenByName) {
    WriteBytes(Exe, "velho");
    const struct { std::vector<std::pair<std::u16string, std::string>> files; const char16_t* chosen; } cases[] = {
        {{{u"Outro.exe", "outro"}, {u"OstrelDaxSetup.exe", "certo"}}, u"OstrelDaxSetup.exe"},
        {{{u"leia.txt", "texto"}, {u"SETUP.EXE", "maiusculas"}}, u"SETUP.EXE"},
        {{{u"leia.txt", "texto"}}, nullptr},
    };
    for (const auto& c : cases) {
        Provider->Catalogs.clear();
        AddCatalog(u"Update", Folder.Path(), c.files);
        EXPECT_EQ(Check(), c.chosen != nullptr);
        if (c.chosen) {
            EXPECT_EQ(NewPath, Provider->CacheDir + u"\\Update\\" + c.chosen);
        }
    }
}

TEST_F(SelfUpdate, NoUpdateCatalogueOrOfflineMeansNoUpdate) {
    WriteBytes(Exe, "velho");
    AddCatalog(u"Bin", Folder.Path(), {{u"OstrelDaxSetup.exe", "novo"}});
    EXPECT_FALSE(Check());
    AddCatalog(u"update", Folder.Path(), {{u"OstrelDaxSetup.exe", "novo"}});
    Provider->Offline = true;
    EXPECT_FALSE(Check());
    EXPECT_EQ(Source->Fetches(), 0);
    Provider->Offline = false;
    EXPECT_TRUE(Check());
}

// An exception out of the check (a function that cannot be bound, memory
// running out) is no update like any other failure: the log says why, and
// the install goes on with the same provider.
TEST_F(SelfUpdate, AnExceptionOutOfTheCheckIsNoUpdateAndTheInstallGoesOn) {
    class TRaisingObserver : public TSetupObserver {
    public:
        std::function<void()> Raise;
        void Status(const std::u16string& text) override {
            if (text == u"Baixando a versão mais nova do instalador...") Raise();
        }
    };
    const struct {
        const char* Name;
        std::function<void()> Raise;
        std::u16string Reason;
    } cases[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, u"memória insuficiente"},
        {"a library exception", [] { throw System::Exception(u"função ausente"); },
         u"erro inesperado: função ausente"},
    };
    AddCatalog(u"Update", AppDir + u"\\Update", {{u"OstrelDaxSetup.exe", "instalador 2.0"}});
    AddCatalog(u"Bin", AppDir + u"\\Bin", {{u"dax.exe", "editor"}});
    Engine->LogPath = Folder / u"setup.log";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto raising = MakeRef<TRaisingObserver>();
        raising->Raise = c.Raise;
        uint32_t exitCode = 0;
        EXPECT_FALSE(RunNewerInstaller(*Engine, *Provider, *raising, {u"/SILENT"}, exitCode));
        EXPECT_EQ(KsTest::Narrow(LogLines(Engine->LogPath).back()),
                  KsTest::Narrow(u"ERRO: a verificação de atualização do instalador parou: " + c.Reason));
    }
    EXPECT_EQ(Source->Fetches(), 0);

    ASSERT_TRUE(PrepareAndInstall(*Observer));
    EXPECT_EQ(ReadBytes(AppDir + u"\\Bin\\dax.exe"), "editor");
}

} // namespace

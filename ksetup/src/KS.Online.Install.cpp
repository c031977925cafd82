// The install of the plan: up to eight download workers share the jobs
// through an atomic counter while the main thread reports progress and
// passes a cancel on; what failed is then retried on the main thread, asking
// the user after each failure. The workers touch only the network, their own
// files and the counters: the journal, the folders and the observer stay on
// the main thread.
#include <windows.h>

#include "KS.Engine.h"
#include "KS.Online.h"
#include "KS.Sys.Errors.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Threads.h"

namespace KS {

using System::MakeRef;
using System::TRef;

namespace {

constexpr int32_t kMaxWorkers = 8;
// More failures than this in the parallel phase stop every worker.
constexpr int32_t kMaxFailures = 25;
constexpr DWORD kPollMilliseconds = 50;

const char16_t kCancelledText[] = u"Instalação cancelada.";

class TDownloadWorker : public System::TThread {
public:
    explicit TDownloadWorker(TOnlineProvider& provider) : Provider(&provider), Http(MakeRef<THttpClient>()) {}

    TRef<TOnlineProvider> Provider;
    TRef<THttpClient> Http;
    // Each written only by the worker, read by the poll loop.
    std::atomic<uint64_t> BytesDone{0};
    std::atomic<bool> Finished{false};

protected:
    void Execute() override {
        try {
            Provider->RunDownloadJobs(*Http, BytesDone);
        } catch (...) {
            // Nothing unwinds through the thread routine: the other workers
            // stop, and the main thread ends the run as cancelled.
            Provider->Cancelled.store(true);
        }
        Finished.store(true);
    }
};

} // namespace

void TOnlineProvider::RunDownloadJobs(THttpClient& http, std::atomic<uint64_t>& bytesDone) {
    const int32_t count = int32_t(Jobs.size());
    while (!Cancelled.load()) {
        const int32_t index = NextJob.fetch_add(1);
        if (index >= count) return;
        const DownloadJob& job = Jobs[size_t(index)];
        std::u16string error;
        bool staged = false;
        if (FetchAndReplace(http, job, error, &staged)) {
            JobStates[size_t(index)] = staged ? JobStaged : JobDone;
            bytesDone.fetch_add(uint64_t(Catalogs[size_t(job.CatalogIndex)]->Files[size_t(job.FileIndex)].ZSize));
        } else {
            JobStates[size_t(index)] = JobFailed;
            if (FailureCount.fetch_add(1) + 1 > kMaxFailures) {
                Cancelled.store(true);
                return;
            }
        }
    }
}

void TOnlineProvider::ParallelPhase(TSetupObserver& observer) {
    const int32_t count = int32_t(Jobs.size());
    JobStates.assign(Jobs.size(), JobWaiting);
    NextJob.store(0);
    FailureCount.store(0);
    RebootCount.store(0);

    std::vector<TRef<TDownloadWorker>> workers;
    for (int32_t i = 0; i < std::min(count, kMaxWorkers); ++i) {
        auto worker = MakeRef<TDownloadWorker>(*this);
        try {
            worker->Start();
        } catch (const System::Exception&) {
            // No thread to be had: the workers already running stop as on a
            // worker's exception, and only started ones are waited for.
            Cancelled.store(true);
            break;
        }
        workers.push_back(worker);
    }
    for (size_t finished = 0; finished < workers.size();) {
        Sleep(kPollMilliseconds);
        uint64_t sum = 0;
        finished = 0;
        for (const auto& worker : workers) {
            sum += worker->BytesDone.load();
            finished += worker->Finished.load();
        }
        const int32_t begun = std::min(NextJob.load(), count);
        observer.Status(u"Baixando e instalando: " + FormatByteSize(int64_t(sum)) + u" de " +
                        FormatByteSize(DownloadBytes) + u"  (" + FormatThousands(begun) + u" de " +
                        FormatThousands(count) + u" arquivos)");
        observer.Progress(int64_t(sum), DownloadBytes);
        if (observer.Cancelled()) Cancelled.store(true);
    }
}

bool TOnlineProvider::RetryPass(TSetupObserver& observer) {
    Cancelled.store(false);
    for (size_t index = 0; index < Jobs.size(); ++index) {
        if (JobStates[index] == JobDone || JobStates[index] == JobStaged) continue;
        for (;;) {
            std::u16string error;
            bool staged = false;
            if (FetchAndReplace(*Http, Jobs[index], error, &staged)) {
                JobStates[index] = staged ? JobStaged : JobDone;
                break;
            }
            if (observer.Cancelled()) {
                lastError_ = kCancelledText;
                return false;
            }
            const uint8_t choice = observer.ErrorChoice(Jobs[index].Target, error);
            if (choice == ErrorChoiceRetry) continue;
            if (choice == ErrorChoiceIgnore) break;
            lastError_ = error;
            return false;
        }
    }
    return true;
}

std::vector<std::u16string> TOnlineProvider::StagedFiles() const {
    std::vector<std::u16string> files;
    for (size_t index = 0; index < JobStates.size() && index < Jobs.size(); ++index)
        if (JobStates[index] == JobStaged) files.push_back(StagedPath(Jobs[index].Target));
    return files;
}

void TOnlineProvider::JournalStagedFiles(TSetupEngine& engine) {
    for (const std::u16string& file : StagedFiles()) engine.Journal->AddFile(file);
    if (RebootCount.load() > 0) engine.RebootNeeded = true;
}

bool TOnlineProvider::InstallFiles(TSetupEngine& engine, TSetupObserver& observer) {
    Observer = &observer;
    lastError_.clear();
    Cancelled.store(false);
    const std::u16string appDir = engine.Context->AppDir;

    const auto createDirs = [&](const std::u16string& folder) {
        if (engine.CreateDirs(folder)) return true;
        lastError_ = u"não consegui criar a pasta " + folder + u": " + OsErrorText(LastOsError());
        return false;
    };
    for (const auto& catalog : Catalogs) {
        const std::u16string root = CatalogRoot(*catalog, appDir);
        if (!createDirs(root)) return false;
        // A file that was there before keeps its place if this run rolls back.
        for (const CatalogFileRecord& file : catalog->Files) {
            const std::u16string target = FileTarget(root, file);
            engine.Journal->AddFile(target, GetFileAttributesW(System::WStr(target)) != INVALID_FILE_ATTRIBUTES);
        }
    }
    std::u16string previousFolder;
    for (const DownloadJob& job : Jobs) {
        const std::u16string folder = DirOfPath(job.Target);
        if (folder == previousFolder) continue;
        previousFolder = folder;
        if (!createDirs(folder)) return false;
    }

    if (Jobs.empty()) {
        observer.Progress(1, 1);
        RemoveStaleFiles(engine);
        return true;
    }

    ParallelPhase(observer);
    JournalStagedFiles(engine);
    if (observer.Cancelled() || (Cancelled.load() && FailureCount.load() <= kMaxFailures)) {
        lastError_ = kCancelledText;
        return false;
    }
    const bool retried = RetryPass(observer);
    // A replacement the retry pass deferred needs the restart as much.
    JournalStagedFiles(engine);
    if (!retried) return false;
    observer.Progress(DownloadBytes, DownloadBytes);
    RemoveStaleFiles(engine);
    return true;
}

} // namespace KS

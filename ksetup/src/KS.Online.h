// The online file provider: what the installer installs comes from
// catalogues fetched over HTTPS (KS.Http, KS.Url), verified by SHA-256
// (KS.Digest) and kept in a download cache. This header holds the provider
// record; its operations are split over KS.Online.*.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KS.Catalog.h"
#include "KS.Http.h"
#include "KS.Json.h"
#include "KS.Observer.h"
#include "KS.Provider.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace KS {

class TSetupEngine;

// One file to download: where it is listed and where it goes.
struct DownloadJob {
    int32_t CatalogIndex = 0;
    int32_t FileIndex = 0;
    std::u16string Target;
};

// Job states of the parallel phase. A staged job is done, but its new file
// waits beside the target for the next restart.
enum : uint8_t { JobWaiting = 0, JobDone = 1, JobFailed = 2, JobStaged = 3 };

// Clears the read-only attribute of a file that has it.
void ClearReadOnly(const std::u16string& path);

class TOnlineProvider : public TFileProvider {
public:
    // Brings the compressed bytes of one catalogue file, at most its "zsize";
    // false with a text when it cannot. Runs on the download workers too.
    using TFileSource = std::function<bool(THttpClient& http, const TCatalog& catalog,
                                           const CatalogFileRecord& file, System::TBytes& bytes,
                                           std::u16string& error)>;

    // The top catalogue is fetched through urlTemplate; the cache folder is
    // "SetupCache" in the "Ostrel" folder of LOCALAPPDATA (the shell's local
    // application data folder when the variable is missing), made here (a
    // failure shows later, as files that cannot be cached).
    explicit TOnlineProvider(std::u16string urlTemplate);

    std::u16string LastError() override { return lastError_; }

    // The client of the main thread: catalogues, self-update, retries.
    System::TRef<THttpClient> Http;
    // Receives status lines and cancel questions; a silent one until a
    // caller gives its own.
    System::TRef<TSetupObserver> Observer;
    std::u16string CacheDir;
    std::u16string UrlTemplate;
    // The child catalogues in the order of the top catalogue.
    std::vector<System::TRef<TCatalog>> Catalogs;
    bool CatalogsLoaded = false;
    // Set by a load in which a catalogue descriptor had to come from the cache.
    bool Offline = false;
    // The files to download, in catalogue order.
    std::vector<DownloadJob> Jobs;
    // Bytes the planned downloads add up to (their "zsize"); 0 while
    // catalogues load.
    int64_t DownloadBytes = 0;
    // Bytes the planned files take once installed.
    int64_t InstallBytes = 0;
    // Files in all catalogues together.
    int32_t FileCount = 0;

    // Shared with the download workers; no lock (see KS.Online.Install.cpp).
    std::atomic<int32_t> NextJob{0};
    // Stop flag of every transfer through the provider: set on a cancel
    // request, read by the download workers between attempts.
    std::atomic<bool> Cancelled{false};
    std::atomic<int32_t> FailureCount{0};
    std::atomic<int32_t> RebootCount{0};
    // One state per job, each written by the one worker that claimed it and
    // read by the main thread once every worker has finished.
    std::vector<uint8_t> JobStates;

    // Where the files come from: GetWithMirrors over the catalogue's
    // sources unless a test puts its own source here.
    TFileSource FileSource;

    // ---- The engine's file provider ----
    // Loads the catalogues once, then plans a download for every file that
    // is missing or differs on disk.
    bool Prepare(TSetupEngine& engine, TSetupObserver& observer) override;
    int64_t TotalSize() override;
    // Journals every catalogue file, creates the folders, downloads the
    // plan with up to eight workers, retries what failed asking the user,
    // and sweeps the files that left the catalogues.
    bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer) override;
    std::u16string Summary() override;

    // Every catalogue's root and entries pass the checks of KS.Online.Check;
    // false with LastError naming the first that does not.
    bool CheckCatalogs();
    // No two files of the catalogues land on the same target, as Windows
    // compares paths: they would race on one temporary file. False with
    // LastError naming the file.
    bool CheckTargets(const std::u16string& appDir);

    // Deletes the files an earlier install journaled in the installation
    // folder that no catalogue lists any more, and drops their records.
    void RemoveStaleFiles(TSetupEngine& engine);

    // The root a catalogue installs into: its "outpath", re-rooted from the
    // default "%ProgramFiles%\Ostrel" to the chosen installation folder.
    static std::u16string CatalogRoot(const TCatalog& catalog, const std::u16string& appDir);
    // Where a file of the catalogue goes under its root ("/" read as "\").
    static std::u16string FileTarget(const std::u16string& root, const CatalogFileRecord& file);

    // Compares the running executable with the "Update" catalogue's
    // installer. True: newPath names a verified, different installer in the
    // cache's "Update" folder, and hold keeps it open so that nobody can
    // change or replace it until the caller has started it.
    bool CheckSelfUpdate(TSetupObserver& observer, const std::u16string& exePath, std::u16string& newPath,
                         System::TRef<TOwnedHandle>& hold);

    // Downloads, verifies twice and writes the file's content to the
    // target's name + ".ksetup.tmp". False: error says why; the target is
    // untouched.
    bool DownloadFile(THttpClient& http, const TCatalog& catalog, int32_t fileIndex, const std::u16string& target,
                      std::u16string& error);
    // DownloadFile, then the temporary file replaces the target, or will at
    // the next restart when the target is in use (counted in RebootCount,
    // and *staged set: the temporary file stays until then).
    bool FetchAndReplace(THttpClient& http, const DownloadJob& job, std::u16string& error, bool* staged = nullptr);

    // One worker's loop: claims jobs until none is left or the stop flag is
    // set; adds the "zsize" of every file it put in place to bytesDone.
    void RunDownloadJobs(THttpClient& http, std::atomic<uint64_t>& bytesDone);

    // Rebuilds Catalogs from the network or, offline, from the cache. On
    // false LastError says why; the catalogues built before stay.
    bool LoadCatalogs();

    // Fetches descriptor D through the templates (expectedSize and
    // expectedHash describe it as its parent does; an empty hash compares
    // nothing), then its document from the cache or the network, verified.
    bool FetchCatalog(const std::u16string& descriptorName, const TStringArray& templates, int64_t expectedSize,
                      const std::u16string& expectedHash, System::TRef<TJValue>& document);

    // One download through GetWithMirrors with the provider's client and
    // FetchProgress; asks the observer about a cancel afterwards.
    bool Fetch(const TStringArray& templates, const std::u16string& name, System::TBytes& bytes,
               int64_t maxBody = THttpClient::kMaxBody);

    // The progress callback of catalogue downloads (context: the provider).
    static void FetchProgress(void* provider, int64_t received, bool& cancel);

    // Fetches name through the templates in order, up to three attempts
    // each (a repository page template is tried at its raw-file address
    // first, and as written on the third attempt); a 404 at the template's
    // own address moves on to the next template. On false error holds the
    // client's text of the last attempt (empty when none was made). No body
    // may exceed maxBody bytes.
    bool GetWithMirrors(THttpClient& http, const TStringArray& templates, const std::u16string& name,
                        System::TBytes& body, std::u16string& error, THttpProgress progress,
                        int64_t maxBody = THttpClient::kMaxBody);

protected:
    std::u16string lastError_;

private:
    // LoadCatalogs once, then CheckCatalogs; false with LastError.
    bool EnsureCatalogs();
    void ParallelPhase(TSetupObserver& observer);
    // The temporary files of the staged jobs of the last install.
    std::vector<std::u16string> StagedFiles() const;
    // Journals them, so that a rollback or an uninstall deletes them and
    // their replacements never happen.
    void JournalStagedFiles(TSetupEngine& engine);
    bool RetryPass(TSetupObserver& observer);
};

} // namespace KS

// The online file provider: what the installer installs comes from
// catalogues fetched over HTTPS (KS.Http, KS.Url), verified by SHA-256
// (KS.Digest) and kept in a download cache. This header holds the provider
// record; its operations are split over KS.Online.*.cpp.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "KS.Catalog.h"
#include "KS.Http.h"
#include "KS.Json.h"
#include "KS.Observer.h"
#include "KS.Provider.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace KS {

class TOnlineProvider : public TFileProvider {
public:
    // The top catalogue is fetched through urlTemplate; the cache folder is
    // "SetupCache" in the "Ostrel" folder of LOCALAPPDATA, made here (a
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
    // Bytes the planned downloads add up to; 0 while catalogues load.
    int64_t DownloadBytes = 0;
    // Stop flag of every transfer through the provider: set on a cancel
    // request, read by the download workers between attempts.
    std::atomic<bool> Cancelled{false};

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
};

} // namespace KS

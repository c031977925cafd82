#include "KS.Online.h"

#include "KS.Sys.Files.h"

namespace KS {

TOnlineProvider::TOnlineProvider(std::u16string urlTemplate)
    : Http(new THttpClient),
      Observer(new TSetupObserver),
      CacheDir(CombinePath(CombinePath(GetLocalAppDataDir(), u"Ostrel"), u"SetupCache")),
      UrlTemplate(std::move(urlTemplate)) {
    CreateDirPath(CacheDir);
}

void TOnlineProvider::FetchProgress(void* context, int64_t received, bool& cancel) {
    auto* provider = static_cast<TOnlineProvider*>(context);
    cancel = provider->Observer->Cancelled();
    if (provider->DownloadBytes > 0) provider->Observer->Progress(received, provider->DownloadBytes);
}

} // namespace KS

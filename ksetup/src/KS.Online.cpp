#include "KS.Online.h"

#include <shlobj.h>

#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"

namespace KS {

namespace {

// The user's local application data: the environment's word first, then the
// shell's, so that the cache never lands in a folder relative to wherever the
// installer runs (an elevated copy runs in the system folder); the temporary
// folder when neither answers.
std::u16string LocalAppDataFolder() {
    std::u16string folder = GetLocalAppDataDir();
    if (folder.empty()) folder = ShellFolderPath(CSIDL_LOCAL_APPDATA);
    if (folder.empty()) folder = GetTempFolder();
    return folder;
}

} // namespace

TOnlineProvider::TOnlineProvider(std::u16string urlTemplate)
    : Http(new THttpClient),
      Observer(new TSetupObserver),
      CacheDir(CombinePath(CombinePath(LocalAppDataFolder(), u"Ostrel"), u"SetupCache")),
      UrlTemplate(std::move(urlTemplate)) {
    CreateDirPath(CacheDir);
}

void TOnlineProvider::FetchProgress(void* context, int64_t received, bool& cancel) {
    auto* provider = static_cast<TOnlineProvider*>(context);
    cancel = provider->Observer->Cancelled();
    if (provider->DownloadBytes > 0) provider->Observer->Progress(received, provider->DownloadBytes);
}

} // namespace KS

// Drives the online side from the end-to-end tests and prints one line per
// result, in UTF-8, for pytest to read: "OK <status> <size> <crc32>" or
// "FAIL <status> <error>".
//   get [options] URL...                 one client, one GET per URL
//   mirrors [options] NAME TEMPLATE...   one fetch of NAME through the templates
//   load [options] TEMPLATE              the catalogues through the top template:
//                                        "STATUS <line>" for each status line, then
//                                        "LOADED <count> OFFLINE|ONLINE" and per catalogue
//                                        "CATALOG <name>|<outroot>|<sources>|<files>" and
//                                        "FILE <name>|<size>|<hash>|<zsize>|<zhash>",
//                                        or "FAIL <error>"
// Options: --max=N (largest body accepted), --cancel (the progress callback
// cancels the transfer and sets the provider's stop flag), --localappdata=DIR
// (the folder of the download cache), --cancel-first (load: the observer
// cancels a first load, then the same provider loads again).
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Http.h"
#include "KS.Online.h"
#include "System.Remainder.Os.h"
#include "KS.Sys.Text.h"

namespace {

using System::TRef;

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end()); // the tests pass ASCII arguments
}

void Print(const std::u16string& line) {
    System::TBytes text = KS::StringToUtf8Bytes(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void PrintResult(bool ok, int32_t status, const System::TBytes& body, const std::u16string& error) {
    if (!ok) return Print(u"FAIL " + System::Int64ToStr(status) + u" " + error);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08lx", crc32(0, body.data(), uInt(body.size())));
    Print(u"OK " + System::Int64ToStr(status) + u" " + System::Int64ToStr(int64_t(body.size())) + u" " + Widen(crc));
}

struct TOptions {
    int64_t MaxBody = KS::THttpClient::kMaxBody;
    bool Cancel = false;
    bool CancelFirst = false;
    std::vector<std::u16string> Rest;
};

TOptions ParseOptions(const std::vector<std::string_view>& args) {
    TOptions options;
    for (std::string_view arg : args) {
        if (arg.starts_with("--max="))
            options.MaxBody = std::atoll(arg.data() + 6);
        else if (arg == "--cancel")
            options.Cancel = true;
        else if (arg == "--cancel-first")
            options.CancelFirst = true;
        else if (arg.starts_with("--localappdata="))
            SetEnvironmentVariableW(L"LOCALAPPDATA", System::WStr(Widen(arg.substr(15))));
        else
            options.Rest.push_back(Widen(arg));
    }
    return options;
}

class TPrintingObserver : public KS::TSetupObserver {
public:
    void Status(const std::u16string& text) override { Print(u"STATUS " + text); }
    bool Cancelled() override { return Cancel; }
    bool Cancel = false;
};

std::u16string Join(const KS::TStringArray& items) {
    std::u16string text;
    for (const std::u16string& item : items) text += (text.empty() ? u"" : u" ") + item;
    return text;
}

void PrintCatalogs(const KS::TOnlineProvider& provider) {
    using System::Int64ToStr;
    Print(u"LOADED " + Int64ToStr(int64_t(provider.Catalogs.size())) + (provider.Offline ? u" OFFLINE" : u" ONLINE"));
    for (const auto& catalog : provider.Catalogs) {
        Print(u"CATALOG " + catalog->Name + u"|" + catalog->OutRoot + u"|" + Join(catalog->Sources) + u"|" +
              Int64ToStr(int64_t(catalog->Files.size())));
        for (const KS::CatalogFileRecord& f : catalog->Files)
            Print(u"FILE " + f.Name + u"|" + Int64ToStr(f.Size) + u"|" + f.Hash + u"|" + Int64ToStr(f.ZSize) + u"|" +
                  f.ZHash);
    }
}

int Load(const TOptions& options) {
    if (options.Rest.size() != 1) return 2;
    TRef<KS::TOnlineProvider> provider = new KS::TOnlineProvider(options.Rest[0]);
    TRef<TPrintingObserver> observer = new TPrintingObserver;
    provider->Observer = observer;
    if (options.CancelFirst) {
        observer->Cancel = true;
        Print(provider->LoadCatalogs() ? u"FIRST LOADED" : u"FIRST FAIL " + provider->LastError());
        observer->Cancel = false;
    }
    if (provider->LoadCatalogs())
        PrintCatalogs(*provider);
    else
        Print(u"FAIL " + provider->LastError());
    return 0;
}

void CancelAndStop(void* provider, int64_t, bool& cancel) {
    static_cast<KS::TOnlineProvider*>(provider)->Cancelled = true;
    cancel = true;
}

int Run(std::string_view command, const TOptions& options) {
    TRef<KS::THttpClient> client = new KS::THttpClient;
    if (command == "load") return Load(options);
    TRef<KS::TOnlineProvider> provider = new KS::TOnlineProvider(u"");
    const KS::THttpProgress progress{options.Cancel ? CancelAndStop : nullptr, provider.Get()};
    System::TBytes body;
    if (command == "get") {
        for (const std::u16string& url : options.Rest) {
            const bool ok = client->Get(url, body, progress, options.MaxBody);
            PrintResult(ok, client->Status, body, client->LastError);
        }
        return 0;
    }
    if (command == "mirrors" && !options.Rest.empty()) {
        const KS::TStringArray templates(options.Rest.begin() + 1, options.Rest.end());
        std::u16string error;
        const bool ok =
            provider->GetWithMirrors(*client, templates, options.Rest[0], body, error, progress, options.MaxBody);
        PrintResult(ok, client->Status, body, error);
        return 0;
    }
    std::fprintf(stderr, "usage: ks_online_probe get|mirrors|load [--max=N] [--cancel] ARGS...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Run("", {});
    return Run(argv[1], ParseOptions({argv + 2, argv + argc}));
}

// Drives the online side from the end-to-end tests and prints one line per
// result, in UTF-8, for pytest to read: "OK <status> <size> <crc32>" or
// "FAIL <status> <error>".
//   get [options] URL...                 one client, one GET per URL
//   mirrors [options] NAME TEMPLATE...   one fetch of NAME through the templates
// Options: --max=N (largest body accepted), --cancel (the progress callback
// cancels the transfer and sets the provider's stop flag).
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Http.h"
#include "KS.Online.h"
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
    std::vector<std::u16string> Rest;
};

TOptions ParseOptions(const std::vector<std::string_view>& args) {
    TOptions options;
    for (std::string_view arg : args) {
        if (arg.starts_with("--max="))
            options.MaxBody = std::atoll(arg.data() + 6);
        else if (arg == "--cancel")
            options.Cancel = true;
        else
            options.Rest.push_back(Widen(arg));
    }
    return options;
}

void CancelAndStop(void* provider, int64_t, bool& cancel) {
    static_cast<KS::TOnlineProvider*>(provider)->Cancelled = true;
    cancel = true;
}

int Run(std::string_view command, const TOptions& options) {
    TRef<KS::THttpClient> client = new KS::THttpClient;
    TRef<KS::TOnlineProvider> provider = new KS::TOnlineProvider;
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
    std::fprintf(stderr, "usage: ks_online_probe get|mirrors [--max=N] [--cancel] ARGS...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Run("", {});
    return Run(argv[1], ParseOptions({argv + 2, argv + argc}));
}

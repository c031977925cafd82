// Drives the online side from the end-to-end tests and prints one line per
// result, in UTF-8, for pytest to read:
//   get [--max=N] [--cancel] URL...   one client, one GET per URL:
//                                     "OK <status> <size> <crc32>" or "FAIL <status> <error>"
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Http.h"
#include "System.Remainder.Encoding.h"

namespace {

std::u16string Widen(std::string_view text) {
    return std::u16string(text.begin(), text.end()); // the tests pass ASCII arguments
}

void Print(const std::u16string& line) {
    const std::string text = System::Utf8Encode(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::u16string Result(bool ok, int32_t status, const System::TBytes& body, const std::u16string& error) {
    if (!ok) return u"FAIL " + System::Int64ToStr(status) + u" " + error;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08lx", crc32(0, body.data(), uInt(body.size())));
    return u"OK " + System::Int64ToStr(status) + u" " + System::Int64ToStr(int64_t(body.size())) + u" " + Widen(crc);
}

void CancelAtOnce(void*, int64_t, bool& cancel) { cancel = true; }

int Get(const std::vector<std::string_view>& args) {
    System::TRef<KS::THttpClient> client = new KS::THttpClient;
    int64_t maxBody = KS::THttpClient::kMaxBody;
    KS::THttpProgress progress;
    for (std::string_view arg : args) {
        if (arg.starts_with("--max=")) {
            maxBody = std::atoll(arg.data() + 6);
        } else if (arg == "--cancel") {
            progress.Code = CancelAtOnce;
        } else {
            System::TBytes body;
            const bool ok = client->Get(Widen(arg), body, progress, maxBody);
            Print(Result(ok, client->Status, body, client->LastError));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "get") return Get({args.begin() + 1, args.end()});
    std::fprintf(stderr, "usage: ks_online_probe get [--max=N] [--cancel] URL...\n");
    return 2;
}

#include "KS.Online.h"
#include "KS.Url.h"

namespace KS {

bool TOnlineProvider::GetWithMirrors(THttpClient& http, const TStringArray& templates, const std::u16string& name,
                                     System::TBytes& body, std::u16string& error, THttpProgress progress,
                                     int64_t maxBody) {
    constexpr int kAttempts = 3;
    error.clear();
    for (const std::u16string& urlTemplate : templates) {
        const std::u16string url = TemplateUrl(urlTemplate, name);
        const std::u16string raw = RawContentUrl(url);
        for (int attempt = 1; attempt <= kAttempts; ++attempt) {
            if (Cancelled.load()) return false;
            const std::u16string& attemptUrl = !raw.empty() && attempt < kAttempts ? raw : url;
            if (http.Get(attemptUrl, body, progress, maxBody)) return true;
            error = http.LastError;
            // The file is not at this template at all; a 404 from the
            // raw-file address alone proves nothing.
            if (http.Status == 404 && attemptUrl == url) break;
        }
    }
    return false;
}

} // namespace KS

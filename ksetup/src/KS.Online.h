// The online file provider: what the installer installs comes from
// catalogues fetched over HTTPS (see KS.Http and KS.Url). This header holds
// the provider record; its operations are split over KS.Online.*.cpp.
#pragma once

#include <atomic>
#include <string>

#include "KS.Http.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace KS {

class TOnlineProvider : public System::TObject {
public:
    // Stop flag of every transfer through the provider: set on a cancel
    // request, read by the download workers between attempts.
    std::atomic<bool> Cancelled{false};

    // Fetches name through the templates in order, up to three attempts
    // each (a repository page template is tried at its raw-file address
    // first, and as written on the third attempt); a 404 at the template's
    // own address moves on to the next template. On false error holds the
    // client's text of the last attempt (empty when none was made). No body
    // may exceed maxBody bytes.
    bool GetWithMirrors(THttpClient& http, const TStringArray& templates, const std::u16string& name,
                        System::TBytes& body, std::u16string& error, THttpProgress progress,
                        int64_t maxBody = THttpClient::kMaxBody);
};

} // namespace KS

// Where the product's catalogue service lives. These are the only host
// names the installer knows; everything else comes from the catalogues.
#pragma once

namespace KS {

// The service shows a repository's files as pages on its page host,
//   https://<page host>/<owner>/<repository>/raw/<path>,
// and serves the same bytes directly from its raw-file host,
//   https://<raw-file host>/<owner>/<repository>/<path>.
inline constexpr const char16_t* kCatalogPageHost = u"fontes.ostreldax.dev";
inline constexpr const char16_t* kCatalogRawHost = u"bruto.ostreldax.dev";

} // namespace KS

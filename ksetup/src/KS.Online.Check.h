// Catalogue entries are untrusted input: what a server sends decides file
// names on this machine, sizes of memory blocks and lines of the journal.
// These checks decide what an entry may say before anything acts on it.
// No Windows interface here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace KS {

// Largest installed file, and so the inflate limit of any one file.
inline constexpr int64_t kMaxCatalogFileSize = int64_t(1) << 30;
// Largest download of one file: incompressible content grows a little.
inline constexpr int64_t kMaxCatalogZSize = kMaxCatalogFileSize + (int64_t(1) << 20);

// A path below a folder: "/" or "\" between non-empty parts, none of them
// made of dots and blanks alone ("..", "..."), no leading separator, no
// drive or stream (":"), no "|", no control character and none of the
// characters Windows refuses in a file name.
bool IsSafeRelativeName(std::u16string_view name);

// An absolute folder: "X:\" or "\\server\share" followed by parts that obey
// the rules of IsSafeRelativeName.
bool IsSafeRootFolder(std::u16string_view folder);

// A SHA-256 digest as standard Base64: 43 alphabet characters, the last of
// them one that leaves the padding bits zero, then "=".
bool IsDigestText(std::u16string_view text);

// Sizes an entry can truthfully state.
bool IsPossibleFileSize(int64_t size);
bool IsPossibleZSize(int64_t zsize);

// The form under which Windows finds a file: "/" read as "\", each part
// without its trailing dots and blanks (Windows drops them), every letter
// upper-cased over all of Unicode (file names compare case-insensitively
// beyond ASCII). Two paths with the same key name the same file.
std::u16string PathCompareKey(std::u16string_view path);

// The text with every control character shown as "?", so that an untrusted
// name can go into a message or a log line without breaking it.
std::u16string PrintableText(std::u16string_view text);

} // namespace KS

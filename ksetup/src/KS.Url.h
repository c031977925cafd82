// URL templates of the files the installer fetches: "($name)" stands for the
// percent-encoded file name, and a repository page URL of the catalogue
// service is first tried at the service's raw-file address. No Windows
// interface here.
#pragma once

#include <string>

namespace KS {

// The UTF-8 bytes of the text, each kept when it is an ASCII letter, a digit,
// "-", ".", "_", "~" or "/", else written "%" + two upper-case hex digits.
std::u16string PercentEncode(const std::u16string& text);

// The template with every "($name)" replaced by PercentEncode(name).
std::u16string TemplateUrl(const std::u16string& urlTemplate, const std::u16string& name);

// "https://<page host>/<owner>/<repo>/raw/<rest>" becomes
// "https://<raw-file host>/<owner>/<repo>/<rest>"; any other URL gives "".
std::u16string RawContentUrl(const std::u16string& url);

} // namespace KS

#include "KS.Url.h"

#include "KS.Config.h"
#include "KS.Sys.Text.h"

namespace KS {

namespace {

bool KeptInUrl(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
           b == '_' || b == '~' || b == '/';
}

} // namespace

std::u16string PercentEncode(const std::u16string& text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string encoded;
    for (uint8_t b : StringToUtf8Bytes(text)) {
        if (KeptInUrl(b)) {
            encoded += char16_t(b);
        } else {
            encoded += u'%';
            encoded += kHex[b >> 4];
            encoded += kHex[b & 15];
        }
    }
    return encoded;
}

std::u16string TemplateUrl(const std::u16string& urlTemplate, const std::u16string& name) {
    return ReplaceAll(urlTemplate, u"($name)", PercentEncode(name));
}

std::u16string RawContentUrl(const std::u16string& url) {
    const std::u16string prefix = u"https://" + std::u16string(kCatalogPageHost) + u"/";
    if (!HasPrefixIgnoreCase(url, prefix)) return {};
    const std::u16string tail = url.substr(prefix.size());
    const size_t raw = tail.find(u"/raw/");
    if (raw == std::u16string::npos) return {};
    return u"https://" + std::u16string(kCatalogRawHost) + u"/" + tail.substr(0, raw) + u"/" + tail.substr(raw + 5);
}

} // namespace KS

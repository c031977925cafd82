// Percent-encoding of file names for URL templates, against a model: every
// UTF-8 byte of the name stays itself when it is unreserved (or "/") and
// becomes "%XY" otherwise, so decoding the result gives the bytes back. A
// template gets the encoded name at each "($name)", read left to right.
//
// Input: UTF-16 units, two bytes each; the template, then after a U+0000
// the name.
#include <cstdio>
#include <string>
#include <string_view>

#include "KS.Url.h"
#include "KsFuzz.h"
#include "System.Remainder.Encoding.h"

using namespace KS;

namespace {

constexpr std::u16string_view kUnreserved =
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~/";

std::u16string EncodeModel(const std::u16string& text) {
    std::u16string out;
    for (uint8_t b : System::GetUtf8Encoding()->GetBytes(text)) {
        if (kUnreserved.find(char16_t(b)) != std::u16string_view::npos) {
            out += char16_t(b);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", b);
            out.append(escape, escape + 3);
        }
    }
    return out;
}

System::TBytes Decode(const std::u16string& encoded) {
    System::TBytes bytes;
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != u'%') {
            bytes.push_back(uint8_t(encoded[i]));
            continue;
        }
        KS_FUZZ_CHECK(i + 2 < encoded.size());
        bytes.push_back(uint8_t(std::stoi(std::string(encoded.begin() + ptrdiff_t(i) + 1,
                                                      encoded.begin() + ptrdiff_t(i) + 3), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

std::u16string TemplateModel(const std::u16string& urlTemplate, const std::u16string& name) {
    constexpr std::u16string_view kField = u"($name)";
    std::u16string out;
    size_t from = 0;
    for (size_t at; (at = urlTemplate.find(kField, from)) != std::u16string::npos; from = at + kField.size())
        out += urlTemplate.substr(from, at - from) + EncodeModel(name);
    return out + urlTemplate.substr(from);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    const std::u16string units = Units(data);
    const size_t split = units.find(u'\0');
    const std::u16string urlTemplate = units.substr(0, split);
    const std::u16string name = split == std::u16string::npos ? units : units.substr(split + 1);

    const std::u16string encoded = PercentEncode(name);
    KS_FUZZ_CHECK(encoded == EncodeModel(name));
    KS_FUZZ_CHECK(Decode(encoded) == System::GetUtf8Encoding()->GetBytes(name));
    KS_FUZZ_CHECK(TemplateUrl(urlTemplate, name) == TemplateModel(urlTemplate, name));
}

// Parses a generated catalogue of 50,000 file entries with our reader and,
// side by side in the same run, with RapidJSON's DOM parser into UTF-16
// strings. The goal: our reader takes at most twice RapidJSON's time.
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "KS.Json.h"

namespace {

constexpr int kEntries = 50000;
constexpr int kRounds = 7;

// A stable Base64-looking digest text of 44 characters.
std::string Digest(unsigned seed) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s(43, 'A');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = alphabet[(seed >> 16) & 63];
    }
    return s + "=";
}

std::string Catalogue() {
    std::string json = "{\"sources\":[{\"url\":\"https://localhost/catalog/($name)\"}],\n\"files\":[\n";
    for (int i = 0; i < kEntries; ++i) {
        const std::string n = std::to_string(i);
        json += i ? ",\n" : "";
        json += "  {\"name\":\"lib/pacote" + std::to_string(i % 97) + "/unidade_" + n +
                (i % 10 == 0 ? "_compilação" : "") + ".dcu\", \"size\":" + std::to_string(1000 + i * 37) +
                ", \"hash.sha256\":\"" + Digest(unsigned(i)) + "\", \"zsize\":" + std::to_string(400 + i * 13) +
                ", \"zhash.sha256\":\"" + Digest(unsigned(i) + 7777777u) + "\"}";
    }
    return json + "\n]}\n";
}

// UTF-8 to UTF-16 for well-formed input, as the catalogue loader hands
// decoded text to the reader.
std::u16string Utf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += char16_t(c);
            i += 1;
        } else if (c < 0xE0) {
            out += char16_t(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
            i += 2;
        } else {
            out += char16_t(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
            i += 3;
        }
    }
    return out;
}

template <class F>
double BestMs(F&& run) {
    double best = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

} // namespace

int main() {
    const std::string bytes = Catalogue();
    const std::u16string text = Utf16(bytes);

    int32_t ourCount = 0;
    const double ours = BestMs([&] {
        System::TRef<KS::TJValue> root;
        std::u16string error;
        if (!KS::ParseJson(text, root, error)) std::printf("parse failed\n");
        ourCount = root->Find(u"files")->Count;
    });

    size_t rapidCount = 0;
    const double rapid = BestMs([&] {
        rapidjson::GenericDocument<rapidjson::UTF16<wchar_t>> doc;
        doc.Parse<rapidjson::kParseDefaultFlags, rapidjson::UTF8<>>(bytes.c_str());
        if (doc.HasParseError()) std::printf("rapidjson failed\n");
        rapidCount = doc[L"files"].Size();
    });

    std::printf("catalogue: %d entries, %zu bytes UTF-8 (%d / %zu parsed)\n", kEntries, bytes.size(),
                ourCount, rapidCount);
    std::printf("KS::ParseJson (UTF-16 text): %8.2f ms\n", ours);
    std::printf("RapidJSON DOM (UTF-8 -> UTF-16): %8.2f ms\n", rapid);
    std::printf("ratio: %.2fx (goal: at most 2x)\n", ours / rapid);
    return 0;
}

// Parses a generated catalogue of 50,000 file entries with our reader and,
// side by side in the same run, with RapidJSON's DOM parser from the same
// UTF-8 bytes into UTF-16 strings. Ours is timed twice: the parse of the
// decoded text alone, and decoding plus parsing as the catalogue loader does
// it. The goal: our reader takes at most twice RapidJSON's time.
#include <rapidjson/document.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "KS.Json.h"
#include "KS.Sys.Text.h"

namespace {

constexpr int kEntries = 50000;
// The three contenders take turns in every round, so that a busy machine
// slows them alike; the best round of each counts.
constexpr int kRounds = 11;

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

double Ms(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    const std::string bytes = Catalogue();
    const auto decode = [&] {
        return KS::DecodeUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), ptrdiff_t(bytes.size()));
    };
    const std::u16string text = decode();

    int32_t ourCount = 0;
    const auto parse = [&](const std::u16string& json) {
        System::TRef<KS::TJValue> root;
        std::u16string error;
        if (!KS::ParseJson(json, root, error)) std::printf("parse failed\n");
        ourCount = root->Find(u"files")->Count;
    };
    size_t rapidCount = 0;
    const auto rapid = [&] {
        rapidjson::GenericDocument<rapidjson::UTF16<wchar_t>> doc;
        doc.Parse<rapidjson::kParseDefaultFlags, rapidjson::UTF8<>>(bytes.c_str());
        if (doc.HasParseError()) std::printf("rapidjson failed\n");
        rapidCount = doc[L"files"].Size();
    };

    double ours = 1e30, oursDecoding = 1e30, theirs = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        ours = std::min(ours, Ms([&] { parse(text); }));
        oursDecoding = std::min(oursDecoding, Ms([&] { parse(decode()); }));
        theirs = std::min(theirs, Ms(rapid));
    }

    std::printf("catalogue: %d entries, %zu bytes UTF-8 (%d / %zu parsed)\n", kEntries, bytes.size(),
                ourCount, rapidCount);
    std::printf("KS::ParseJson of the UTF-16 text:       %8.2f ms  (%.2fx RapidJSON)\n", ours, ours / theirs);
    std::printf("KS::DecodeUtf8 + ParseJson of the bytes: %8.2f ms  (%.2fx RapidJSON)\n", oursDecoding,
                oursDecoding / theirs);
    std::printf("RapidJSON DOM, UTF-8 bytes to UTF-16:    %8.2f ms\n", theirs);
    std::printf("goal: at most 2x\n");
    return 0;
}

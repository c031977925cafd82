// Makes a test certificate authority trusted inside the Wine prefix it runs
// in, and nowhere else: the DER certificate goes into that prefix's "Root"
// system store.  Usage: ks_trust_ca CA.der
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "System.Remainder.Os.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ks_trust_ca CA.der\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<BYTE> der{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (der.empty()) {
        std::fprintf(stderr, "ks_trust_ca: cannot read %s\n", argv[1]);
        return 1;
    }
    static System::TLazyProc<decltype(&::CertAddEncodedCertificateToSystemStoreW)> pAdd(
        u"crypt32.dll", "CertAddEncodedCertificateToSystemStoreW");
    if (!pAdd()(L"Root", der.data(), DWORD(der.size()))) {
        std::fprintf(stderr, "ks_trust_ca: CertAddEncodedCertificateToSystemStoreW failed (%lu)\n", GetLastError());
        return 1;
    }
    return 0;
}

// Stands in for a newer installer in the self-update tests: writes the
// command line it was started with to "updated-args.txt" beside itself
// (UTF-8) and ends with exit code 42.
#include <windows.h>

#include <fstream>
#include <string>

int wmain() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring report = path;
    report = report.substr(0, report.find_last_of(L'\\') + 1) + L"updated-args.txt";
    const wchar_t* line = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), size, nullptr, nullptr);
    std::ofstream(report.c_str(), std::ios::binary) << text;
    return 42;
}

// Keeps a file open with no sharing at all, so that nobody can replace or
// delete it, until FILE.release exists (at most 60 s). Writes FILE.held once
// the file is open. Usage: ks_hold_file FILE
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const std::wstring path = argv[1];
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    CloseHandle(CreateFileW((path + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    for (int i = 0; i < 600 && GetFileAttributesW((path + L".release").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    CloseHandle(file);
    return 0;
}

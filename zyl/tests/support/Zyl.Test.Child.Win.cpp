#include <windows.h>

#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "Zyl.Test.Child.h"

namespace Zyl::Testing {

std::u16string ThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return System::FromWStr(path);
}

uint32_t RunChildProgram(const std::u16string& commandLine, std::string& output, uint32_t timeLimitMs) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring log =
        std::wstring(temp) + L"zyl_child_tests_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inherit, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1000;
    std::wstring command(System::WStr(commandLine));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION process{};
    DWORD code = 1001;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, timeLimitMs) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, kChildTimedOut);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) output.append(buffer, read);
    CloseHandle(file);
    DeleteFileW(log.c_str());
    return code;
}

uint32_t RunChildTests(const std::u16string& program, const std::string& filter, std::string& output,
                       uint32_t timeLimitMs) {
    return RunChildProgram(u"\"" + program + u"\" --gtest_filter=" + std::u16string(filter.begin(), filter.end()) +
                               u" --gtest_also_run_disabled_tests",
                           output, timeLimitMs);
}

TPlantedFolder::TPlantedFolder(const std::vector<std::u16string>& plantedNames) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    Folder = System::FromWStr(temp) + u"zyl_planted_" + System::Int64ToStr(GetCurrentProcessId()) + u"_" +
             System::Int64ToStr(GetTickCount()) + u"\\";
    CreateDirectoryW(System::WStr(Folder), nullptr);
    const std::u16string self = ThisProgram();
    Program = Folder + self.substr(self.find_last_of(u"\\/") + 1);
    files_.push_back(Program);
    for (const std::u16string& name : plantedNames) files_.push_back(Folder + name);
    for (const std::u16string& file : files_) CopyFileW(System::WStr(self), System::WStr(file), FALSE);
}

TPlantedFolder::~TPlantedFolder() {
    for (const std::u16string& file : files_) DeleteFileW(System::WStr(file));
    RemoveDirectoryW(System::WStr(Folder));
}

std::u16string LoadedModulePath(const std::u16string& baseName) {
    const HMODULE module = GetModuleHandleW(System::WStr(baseName));
    if (!module) return {};
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return System::LowerCase(System::FromWStr(path));
}

std::u16string SystemFolderFile(const std::u16string& name) {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return System::LowerCase(System::FromWStr(folder) + u"\\" + name);
}

} // namespace Zyl::Testing

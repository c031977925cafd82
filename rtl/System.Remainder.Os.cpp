#include "System.Remainder.Os.h"

#include <cstring>
#include <map>
#include <mutex>

namespace System {

std::u16string SystemErrorMessage(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                        FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
    const DWORD length = FormatMessageW(flags, nullptr, code, 0,
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (buffer) {
        try {
            text.assign(reinterpret_cast<const char16_t*>(buffer), length);
        } catch (...) {
            LocalFree(buffer);
            throw;
        }
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == u'.' || text.back() <= u' ')) text.pop_back();
    return text;
}

EOsError::EOsError(uint32_t osCode, std::source_location where)
    : EOsError(osCode, SystemErrorMessage(osCode), where) {}

namespace {

[[noreturn]] void RaiseBindingError(uint32_t code, std::u16string name) {
    EOsError e(code);
    e.Name = std::move(name);
    throw e;
}

std::u16string SystemFolderPath(const char16_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::u16string(name);
    return FromWStr(folder) + u"\\" + name;
}

} // namespace

HMODULE SystemLibrary(const char16_t* name) {
    static std::mutex lock;
    static std::map<std::u16string, HMODULE> loaded;
    std::lock_guard<std::mutex> hold(lock);
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;
    // A full path in the system folder, and its own folder for whatever it
    // depends on: the executable's folder is never searched.
    const std::u16string path = SystemFolderPath(name);
    HMODULE module = LoadLibraryExW(WStr(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) RaiseBindingError(ERROR_MOD_NOT_FOUND, name);
    loaded.emplace(name, module);
    return module;
}

void* SystemProc(const char16_t* library, const char* function) {
    FARPROC proc = GetProcAddress(SystemLibrary(library), function);
    if (!proc) RaiseBindingError(ERROR_PROC_NOT_FOUND, std::u16string(function, function + strlen(function)));
    return reinterpret_cast<void*>(proc);
}

} // namespace System

// The class library's bridge to Windows: UTF-16 text for the W functions,
// the system's error texts and functions bound by name on their first call.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "System.Remainder.Exceptions.h"

namespace System {

// UTF-16 text as Windows' W functions take it.
inline const wchar_t* WStr(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWStr(const wchar_t* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

// The system's text for a Windows error code, without its final full stop
// and line break; empty when the system has none.
std::u16string SystemErrorMessage(uint32_t code);

// Loads a library from the system folder only (never from the executable's
// own folder, where a planted copy could wait). Loaded once, kept for the
// process. Raises EOsError 126 with the library's name when it cannot load.
HMODULE SystemLibrary(const char16_t* name);

// The address of a function of a system library; EOsError 127 with the
// function's name when it is missing.
void* SystemProc(const char16_t* library, const char* function);

// A function of a system library, looked up on its first call and cached.
//   static TLazyProc<decltype(&::MessageBoxW)> pMessageBoxW(u"user32.dll", "MessageBoxW");
//   pMessageBoxW()(nullptr, L"text", L"title", MB_OK);
template <class Fn>
class TLazyProc {
public:
    constexpr TLazyProc(const char16_t* library, const char* function)
        : library_(library), function_(function) {}

    Fn operator()() {
        Fn fn = cached_.load(std::memory_order_acquire);
        if (!fn) {
            fn = reinterpret_cast<Fn>(SystemProc(library_, function_));
            cached_.store(fn, std::memory_order_release);
        }
        return fn;
    }

    // False instead of an exception when the library or function is missing.
    bool Available() {
        try {
            (*this)();
            return true;
        } catch (const EOsError&) {
            return false;
        }
    }

private:
    const char16_t* library_;
    const char* function_;
    std::atomic<Fn> cached_{nullptr};
};

} // namespace System

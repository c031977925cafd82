// Small helpers that the software renderer's units share: rounding integer
// division, memory that fails with the library's own exception, and the
// pixel-bounds checks of host test builds. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <source_location>
#include <stdexcept>
#include <vector>

#include "System.Remainder.Exceptions.h"

namespace Zyl {

// Division rounding towards minus infinity (C++ '/' truncates towards zero);
// works for either sign of the divisor, which must not be 0.
template <class T>
constexpr T FloorDiv(T a, T b) {
    const T q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The remainder that goes with FloorDiv: 0 <= result < b for b > 0.
template <class T>
constexpr T FloorMod(T a, T b) {
    const T r = a % b;
    return (r != 0 && ((r < 0) != (b < 0))) ? r + b : r;
}

constexpr int32_t SaturateInt32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

// A window procedure hands only the library's exceptions to the application,
// so a failed allocation must never leave as std::bad_alloc.
template <class F>
decltype(auto) RaiseOnBadAlloc(F&& action) {
    try {
        return action();
    } catch (const std::bad_alloc&) {
        throw System::EOutOfMemory();
    } catch (const std::length_error&) {
        throw System::EOutOfMemory();
    }
}

template <class T>
void ResizeOrRaise(std::vector<T>& v, size_t count) {
    RaiseOnBadAlloc([&] { v.resize(count); });
}

// A heap block of `count` elements of T, zero-filled, or EOutOfMemory; the
// count is checked before it can wrap. Large blocks come from calloc so that
// an impossible size fails instead of aborting (as a sanitizer's operator new
// does) and fresh pages need not be touched.
struct TFreeBlock {
    void operator()(void* p) const noexcept { std::free(p); }
};
template <class T>
using THeapBlock = std::unique_ptr<T[], TFreeBlock>;

template <class T>
THeapBlock<T> AllocZeroed(uint64_t count) {
    if (count == 0) count = 1;
    if (count > uint64_t(PTRDIFF_MAX) / sizeof(T)) throw System::EOutOfMemory();
    T* p = static_cast<T*>(std::calloc(size_t(count), sizeof(T)));
    if (!p) throw System::EOutOfMemory();
    return THeapBlock<T>(p);
}

// Host test builds check every pixel access of the software renderer against
// its surface: a write at x >= width lands in the next row, still inside the
// block, where the address sanitizer sees nothing.
[[noreturn]] void PixelCheckFailed(const char* what, std::source_location where = std::source_location::current());

#if defined(ZYL_PIXEL_CHECKS)
#define ZYL_PIXEL_CHECK(condition) \
    ((condition) ? void() : ::Zyl::PixelCheckFailed(#condition))
#else
#define ZYL_PIXEL_CHECK(condition) ((void)0)
#endif

} // namespace Zyl

// What the Direct2D backend's tests share.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "Zyl.Platform.D2D.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Text.h"

namespace Zyl::Testing {

// The start is decided once per process; this process always wants it, and
// a backend that does not start fails the test with its reason.
inline void RequireStarted() {
    TScopedEnvVar missing(u"ZYL_D2D_MISSING", std::nullopt);
    ASSERT_TRUE(StartD2DOnce()) << Narrow(GetD2DLastError());
}

// Without flushing or marking anything, as a reader behind the surface's back.
inline uint32_t Raw(TD2DSurface& s, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s.NativeHandle()) + y * s.Stride() + x * 4, 4);
    return v;
}

inline ULONG RefCount(IUnknown* p) {
    p->AddRef();
    return p->Release();
}

} // namespace Zyl::Testing

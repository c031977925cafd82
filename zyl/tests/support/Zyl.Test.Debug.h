// What the library writes to the debug output while one object lives: the
// writer is replaced on construction and put back afterwards.
#pragma once

#include <string>

#include "Zyl.Platform.Offscreen.Diagnostics.h"

namespace Zyl::Testing {

class TCapturedDebugOutput {
public:
    TCapturedDebugOutput() : saved_(DebugOutputProc()) {
        Written().clear();
        DebugOutputProc() = [](const std::u16string& text) { Written() += text + u"|"; };
    }
    ~TCapturedDebugOutput() { DebugOutputProc() = saved_; }
    TCapturedDebugOutput(const TCapturedDebugOutput&) = delete;
    TCapturedDebugOutput& operator=(const TCapturedDebugOutput&) = delete;

    // Every line written so far, each followed by "|".
    static std::u16string& Written() {
        static std::u16string written;
        return written;
    }

private:
    TDebugOutputProc saved_;
};

} // namespace Zyl::Testing

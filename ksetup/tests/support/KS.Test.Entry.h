// Tests of the entry code (install and uninstall modes): message boxes are
// recorded and answered instead of shown, and the elevation test and the
// shell launcher answer as the test says.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "KS.Elevation.h"
#include "KS.Startup.h"

namespace KS::TestSupport {

struct TRecordedBox {
    std::u16string Text;
    std::u16string Title;
    uint32_t Flags = 0;
};

// What the fakes saw and how they answer.
struct TEntryFakes {
    static inline std::vector<TRecordedBox> Boxes;
    // The answers of the next boxes, in order; once they run out every box
    // answers with Answer.
    static inline std::deque<int32_t> Answers;
    static inline int32_t Answer = 0;
    static inline bool Elevated = true;
    // Whether the launcher starts anything, and the started copy's code.
    static inline bool LaunchStarts = true;
    static inline uint32_t ChildCode = 7;
    // Verb, a blank and the parameters of every launch.
    static inline std::vector<std::u16string> Launches;
};

// The message-box hook that records into TEntryFakes.
int32_t RecordBox(const std::u16string& text, const std::u16string& title, uint32_t flags);

// Puts the fakes in place, reset, for each test and the real ones back after.
class TEntryTest : public ::testing::Test, protected TEntryFakes {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    TMessageBoxProc savedBox_ = nullptr;
    TElevationSeams savedSeams_;
};

} // namespace KS::TestSupport

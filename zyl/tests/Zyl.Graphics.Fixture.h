// A canvas over a recording platform canvas, with its notifications counted,
// for the graphics unit's tests.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "Zyl.Graphics.h"
#include "Zyl.Test.Recording.h"

namespace Zyl::Testing {

struct TCanvasFixture {
    TRef<TRecordingCanvas> platform = System::MakeRef<TRecordingCanvas>();
    TRef<TCanvas> canvas = System::MakeRef<TCanvas>(platform, false);
    int changing = 0, changed = 0;

    TCanvasFixture() {
        canvas->OnChanging = [this](System::TObject* sender) {
            EXPECT_EQ(sender, canvas.Get());
            ++changing;
        };
        canvas->OnChange = [this](System::TObject* sender) {
            EXPECT_EQ(sender, canvas.Get());
            ++changed;
        };
    }
    // The calls since the last Take.
    TCallLog Take() { return std::exchange(*platform->Log, {}); }
};

} // namespace Zyl::Testing

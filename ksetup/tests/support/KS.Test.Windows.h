// The installer's windows on the forms' test application (soft canvas,
// probe shell): every message box is recorded and answered as the entry
// code's tests answer them, and an observer report from another thread
// aborts the test program.
#pragma once

#include <windows.h>

#include "KS.Startup.h"
#include "KS.Test.Entry.h"
#include "KS.WizardObserver.h"
#include "Zyl.Forms.Harness.h"

namespace KS::TestSupport {

class TWindowTest : public Zyl::Testing::FormsHarness, protected TEntryFakes {
protected:
    void SetUp() override {
        FormsHarness::SetUp();
        Boxes.clear();
        Answers.clear();
        Answer = IDNO;
        savedBox_ = MessageBoxProc();
        MessageBoxProc() = RecordBox;
        FatalObserverThreadChecks = true;
    }

    void TearDown() override {
        MessageBoxProc() = savedBox_;
        FormsHarness::TearDown();
    }

private:
    TMessageBoxProc savedBox_ = nullptr;
};

} // namespace KS::TestSupport

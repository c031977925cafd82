#include "KS.Test.Entry.h"

#include <windows.h>

namespace KS::TestSupport {

int32_t RecordBox(const std::u16string& text, const std::u16string& title, uint32_t flags) {
    TEntryFakes::Boxes.push_back({text, title, flags});
    if (TEntryFakes::Answers.empty()) return TEntryFakes::Answer;
    const int32_t answer = TEntryFakes::Answers.front();
    TEntryFakes::Answers.pop_front();
    return answer;
}

namespace {

bool FakeElevated() {
    return TEntryFakes::Elevated;
}

bool FakeLaunch(const std::u16string& verb, const std::u16string&, const std::u16string& parameters,
                const std::u16string&, int32_t, bool, uint32_t& exitCode) {
    TEntryFakes::Launches.push_back(verb + u" " + parameters);
    exitCode = TEntryFakes::ChildCode;
    return TEntryFakes::LaunchStarts;
}

} // namespace

void TEntryTest::SetUp() {
    Boxes.clear();
    Answers.clear();
    Launches.clear();
    Answer = IDOK;
    Elevated = true;
    LaunchStarts = true;
    ChildCode = 7;
    savedBox_ = MessageBoxProc();
    savedSeams_ = ElevationSeams();
    MessageBoxProc() = RecordBox;
    ElevationSeams().IsElevated = FakeElevated;
    ElevationSeams().Launch = FakeLaunch;
}

void TEntryTest::TearDown() {
    MessageBoxProc() = savedBox_;
    ElevationSeams() = savedSeams_;
}

} // namespace KS::TestSupport

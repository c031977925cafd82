#include "KS.Test.Lock.h"

#include <windows.h>

#include <atomic>

#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

namespace KS::TestSupport {

namespace {

// Event names unique to this process and object.
std::u16string EventName(const char16_t* role) {
    static std::atomic<int> next{0};
    return u"ksetup-test-" + System::Int64ToStr(GetCurrentProcessId()) + u"-" + System::Int64ToStr(next++) + role;
}

} // namespace

THeldFile::THeldFile(const std::u16string& path) {
    const std::u16string readyName = EventName(u"-ready");
    const std::u16string releaseName = EventName(u"-release");
    ready_ = CreateEventW(nullptr, TRUE, FALSE, System::WStr(readyName));
    release_ = CreateEventW(nullptr, TRUE, FALSE, System::WStr(releaseName));
    const std::u16string command =
        u"\"" + KsTest::ChildExePath() + u"\" hold \"" + path + u"\" " + readyName + u" " + releaseName;
    child_ = std::thread([command] {
        uint32_t code = 0;
        RunProcess(command, u"", SW_HIDE, true, code);
    });
    held_ = WaitForSingleObject(ready_, 20000) == WAIT_OBJECT_0;
}

THeldFile::~THeldFile() {
    SetEvent(release_);
    child_.join();
    CloseHandle(ready_);
    CloseHandle(release_);
}

} // namespace KS::TestSupport

#include "KS.Sys.Errors.h"

#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"

namespace KS {

namespace {
// Each download worker reads the code of its own failure, never another's.
thread_local uint32_t lastOsError = 0;
} // namespace

uint32_t LastOsError() { return lastOsError; }

void SetLastOsError(uint32_t code) { lastOsError = code; }

std::u16string OsErrorText(uint32_t code) {
    return TrimText(System::SystemErrorMessage(code)) + u" (" + System::Int64ToStr(code) + u")";
}

} // namespace KS

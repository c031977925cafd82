#include "KS.Observer.h"

namespace KS {

void TSetupObserver::Status(const std::u16string&) {}

void TSetupObserver::Progress(int64_t, int64_t) {}

void TSetupObserver::Reserved() {}

bool TSetupObserver::Cancelled() {
    return false;
}

uint8_t TSetupObserver::ErrorChoice(const std::u16string&, const std::u16string&) {
    return ErrorChoiceAbort;
}

int ProgressPercent(int64_t done, int64_t total) {
    if (total <= 0) return 100;
    if (done <= 0) return 0;
    if (done >= total) return 100;
    // Unfinished work never shows as complete, however large the numbers.
    const double share = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    return share >= 99.0 ? 99 : static_cast<int>(share);
}

} // namespace KS

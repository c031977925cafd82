#include "KS.WizardObserver.h"

#include <cstdio>
#include <cstdlib>

namespace KS {

bool TWizardObserver::OnUiThread() const {
    if (UiThread == std::thread::id() || UiThread == std::this_thread::get_id()) return true;
    if (FatalObserverThreadChecks) {
        std::fputs("TWizardObserver: called outside the UI thread\n", stderr);
        std::abort();
    }
    return false;
}

void TWizardObserver::Status(const std::u16string& text) {
    if (OnStatus && OnUiThread()) OnStatus(text);
}

void TWizardObserver::Progress(int64_t done, int64_t total) {
    if (OnProgress && OnUiThread()) OnProgress(done, total);
}

bool TWizardObserver::Cancelled() {
    bool cancelled = false;
    if (OnCancelled && OnUiThread()) OnCancelled(cancelled);
    return cancelled;
}

uint8_t TWizardObserver::ErrorChoice(const std::u16string& fileName, const std::u16string& message) {
    uint8_t choice = ErrorChoiceAbort;
    if (OnErrorChoice && OnUiThread()) OnErrorChoice(fileName, message, choice);
    return choice;
}

} // namespace KS

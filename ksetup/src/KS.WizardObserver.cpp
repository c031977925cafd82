#include "KS.WizardObserver.h"

#include <cstdio>
#include <cstdlib>

namespace KS {

TWizardObserver::TWizardObserver() : ownerThread_(std::this_thread::get_id()) {}

void TWizardObserver::CheckThread() const {
    // A worker reaching a window's handler would pump that window's messages
    // from the wrong thread; nothing after that can be trusted.
    if (std::this_thread::get_id() == ownerThread_) return;
    std::fputs("TWizardObserver: chamado fora da thread da interface\n", stderr);
    std::fflush(stderr);
    std::abort();
}

void TWizardObserver::Status(const std::u16string& text) {
    CheckThread();
    if (OnStatus) OnStatus(text);
}

void TWizardObserver::Progress(int64_t done, int64_t total) {
    CheckThread();
    if (OnProgress) OnProgress(done, total);
}

bool TWizardObserver::Cancelled() {
    CheckThread();
    bool cancelled = false;
    if (OnCancelled) OnCancelled(cancelled);
    return cancelled;
}

uint8_t TWizardObserver::ErrorChoice(const std::u16string& fileName, const std::u16string& message) {
    CheckThread();
    uint8_t choice = ErrorChoiceAbort;
    if (OnErrorChoice) OnErrorChoice(fileName, message, choice);
    return choice;
}

} // namespace KS

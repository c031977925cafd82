// The observer the installer's windows hand the engine: each engine call goes
// to the window's handler for it, so the engine never knows which window it
// talks to. The handlers pump the window's messages, which is safe only on
// the thread that made the window: the observer remembers the thread that
// made it and stops the program when any other thread calls it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "KS.Observer.h"

namespace KS {

class TWizardObserver : public TSetupObserver {
public:
    TWizardObserver();

    std::function<void(const std::u16string& text)> OnStatus;
    std::function<void(int64_t done, int64_t total)> OnProgress;
    // Leaving the answer untouched means "not cancelled".
    std::function<void(bool& cancelled)> OnCancelled;
    // Leaving the answer untouched means abort.
    std::function<void(const std::u16string& fileName, const std::u16string& message, uint8_t& choice)> OnErrorChoice;

    void Status(const std::u16string& text) override;
    void Progress(int64_t done, int64_t total) override;
    bool Cancelled() override;
    uint8_t ErrorChoice(const std::u16string& fileName, const std::u16string& message) override;

private:
    // Aborts with a message on stderr when called off the owner's thread.
    void CheckThread() const;

    std::thread::id ownerThread_;
};

} // namespace KS

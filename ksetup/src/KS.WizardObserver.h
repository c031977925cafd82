// The observer the installer's windows hand the engine: it forwards each
// report to a handler of the window that owns it, so that the engine never
// knows which window it talks to. The handlers touch controls and let the
// window's thread process its messages, so a report may only come on the
// thread that built the window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "KS.Observer.h"

namespace KS {

class TWizardObserver : public TSetupObserver {
public:
    std::function<void(const std::u16string& text)> OnStatus;
    std::function<void(int64_t done, int64_t total)> OnProgress;
    std::function<void(bool& cancelled)> OnCancelled;
    std::function<void(const std::u16string& fileName, const std::u16string& message, uint8_t& choice)>
        OnErrorChoice;
    // The thread of the window's message loop, recorded when the window is
    // built; a default id checks nothing.
    std::thread::id UiThread;

    void Status(const std::u16string& text) override;
    void Progress(int64_t done, int64_t total) override;
    bool Cancelled() override;
    uint8_t ErrorChoice(const std::u16string& fileName, const std::u16string& message) override;

private:
    // Whether the caller is the UI thread. Otherwise the call is a fault of
    // the engine's side: fatal when FatalObserverThreadChecks is set (the
    // tests set it), else the report is dropped and answered as an observer
    // without handlers would answer it.
    bool OnUiThread() const;
};

inline bool FatalObserverThreadChecks = false;

} // namespace KS

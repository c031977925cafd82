// The engine's outlet towards the user: status lines, progress, the cancel
// question and the question what to do about a file that failed. The base
// observer does nothing and is a valid, silent observer.
#pragma once

#include <cstdint>
#include <string>

#include "System.Remainder.Object.h"

namespace KS {

// Answers of TSetupObserver::ErrorChoice; callers take any other value as abort.
enum : uint8_t {
    ErrorChoiceAbort = 0,
    ErrorChoiceRetry = 1,
    ErrorChoiceIgnore = 2,
};

class TSetupObserver : public System::TObject {
public:
    // The slots keep this order: a derived observer lays its table out after them.
    virtual void Status(const std::u16string& text);
    // Done out of total bytes; a total of 0 (or less) is a valid report.
    virtual void Progress(int64_t done, int64_t total);
    // Never called; the slot only keeps the places of the slots after it.
    virtual void Reserved();
    virtual bool Cancelled();
    virtual uint8_t ErrorChoice(const std::u16string& subject, const std::u16string& message);
};

// The share of done in total as a whole percentage, 0 to 100, for observers
// that show a bar. A total of 0 or less means there was nothing to do: 100.
int ProgressPercent(int64_t done, int64_t total);

// The package reader's progress callback: called with its context, the bytes
// just produced and a cancel flag that the caller sets to 0 before each call;
// the callee sets it to 1 to stop the reader. No call when Code is null.
struct PackageProgress {
    void (*Code)(void* context, int64_t bytes, uint8_t& cancel) = nullptr;
    void* Context = nullptr;
};

} // namespace KS

// An observer for tests: records every call in order and answers the cancel
// and error questions from a script the test sets up.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "KS.Observer.h"

namespace KS::TestSupport {

class TRecordingObserver : public TSetupObserver {
public:
    enum class TKind { Status, Progress, Cancelled, ErrorChoice };
    struct TEvent {
        TKind Kind;
        std::u16string Text;     // Status: the text; ErrorChoice: the subject
        std::u16string Message;  // ErrorChoice: the message
        int64_t Done = 0;        // Progress
        int64_t Total = 0;       // Progress
        int Percent = 0;         // Progress, as a bar would show it
    };

    // Every call, in call order.
    std::vector<TEvent> Events;

    // Scripted answers. Cancelled answers true from poll number CancelAtPoll
    // (1 for the first poll) on; 0 never cancels.
    int CancelAtPoll = 0;
    // ErrorChoice takes its answers from the front; abort once they run out.
    std::deque<uint8_t> ErrorAnswers;

    void Status(const std::u16string& text) override;
    void Progress(int64_t done, int64_t total) override;
    bool Cancelled() override;
    uint8_t ErrorChoice(const std::u16string& subject, const std::u16string& message) override;

    // Views of the record.
    std::vector<std::u16string> StatusTexts() const;
    std::u16string LastStatus() const;
    std::vector<TEvent> Of(TKind kind) const;
    int CancelPolls() const;

private:
    int polls_ = 0;
};

} // namespace KS::TestSupport

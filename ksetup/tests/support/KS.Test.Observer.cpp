#include "KS.Test.Observer.h"

namespace KS::TestSupport {

void TRecordingObserver::Status(const std::u16string& text) {
    Events.push_back({TKind::Status, text, {}, 0, 0, 0});
}

void TRecordingObserver::Progress(int64_t done, int64_t total) {
    Events.push_back({TKind::Progress, {}, {}, done, total, ProgressPercent(done, total)});
}

bool TRecordingObserver::Cancelled() {
    Events.push_back({TKind::Cancelled, {}, {}, 0, 0, 0});
    ++polls_;
    return CancelAtPoll > 0 && polls_ >= CancelAtPoll;
}

uint8_t TRecordingObserver::ErrorChoice(const std::u16string& subject, const std::u16string& message) {
    Events.push_back({TKind::ErrorChoice, subject, message, 0, 0, 0});
    if (ErrorAnswers.empty()) return ErrorChoiceAbort;
    const uint8_t answer = ErrorAnswers.front();
    ErrorAnswers.pop_front();
    return answer;
}

std::vector<std::u16string> TRecordingObserver::StatusTexts() const {
    std::vector<std::u16string> texts;
    for (const TEvent& event : Events)
        if (event.Kind == TKind::Status) texts.push_back(event.Text);
    return texts;
}

std::u16string TRecordingObserver::LastStatus() const {
    const std::vector<std::u16string> texts = StatusTexts();
    return texts.empty() ? std::u16string() : texts.back();
}

std::vector<TRecordingObserver::TEvent> TRecordingObserver::Of(TKind kind) const {
    std::vector<TEvent> events;
    for (const TEvent& event : Events)
        if (event.Kind == kind) events.push_back(event);
    return events;
}

int TRecordingObserver::CancelPolls() const {
    return polls_;
}

} // namespace KS::TestSupport

#include "Zyl.Test.Events.h"

namespace Zyl::Testing {

std::string TEventLog::Text() const {
    std::string text;
    for (const std::string& line : Lines) {
        if (!text.empty()) text += ' ';
        text += line;
    }
    return text;
}

TRecordingEvents::TRecordingEvents(std::string name, TRef<TEventLog> log, int32_t paintColour)
    : Name(std::move(name)), Log(std::move(log)), PaintColour(paintColour) {}

void TRecordingEvents::Record(const std::string& event, const std::vector<int64_t>& arguments) {
    std::string line = Name + ":" + event;
    if (!arguments.empty()) {
        line += '(';
        for (size_t i = 0; i < arguments.size(); ++i) {
            if (i) line += ',';
            line += std::to_string(arguments[i]);
        }
        line += ')';
    }
    Log->Lines.push_back(line);
    const auto action = Actions.find(event);
    if (action != Actions.end()) {
        const std::function<void()> run = action->second;
        run();
    }
    ++Calls;
}

void TRecordingEvents::Paint(TPlatformCanvas* canvas) {
    if (PaintColour >= 0) canvas->FillRect(-10000, -10000, 10000, 10000, PaintColour);
    Record("Paint");
}

void TRecordingEvents::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    Record("MouseDown", {x, y, button, shift});
}

void TRecordingEvents::MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) {
    Record("MouseUp", {x, y, button, shift});
}

void TRecordingEvents::MouseMove(int32_t x, int32_t y, int32_t shift) { Record("MouseMove", {x, y, shift}); }

void TRecordingEvents::KeyDown(int32_t key, int32_t shift, int32_t) { Record("KeyDown", {key, shift}); }

void TRecordingEvents::KeyUp(int32_t key, int32_t shift) { Record("KeyUp", {key, shift}); }

void TRecordingEvents::CharInput(char16_t ch) { Record("CharInput", {ch}); }

void TRecordingEvents::Resized(int32_t width, int32_t height) { Record("Resized", {width, height}); }

void TRecordingEvents::WindowStateChanged(int32_t state) { Record("WindowStateChanged", {state}); }

void TRecordingEvents::MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) {
    Record("MouseWheel", {x, y, delta, shift});
}

void TRecordingEvents::MouseEnter() { Record("MouseEnter"); }

void TRecordingEvents::MouseLeave() { Record("MouseLeave"); }

void TRecordingEvents::FocusChanged(bool focused) { Record("FocusChanged", {focused ? 1 : 0}); }

int32_t ColorAt(TPlatformSurface& surface, int32_t x, int32_t y) {
    return ColorOfPixel(dynamic_cast<TMemorySurface&>(surface).Pixel(x, y));
}

} // namespace Zyl::Testing

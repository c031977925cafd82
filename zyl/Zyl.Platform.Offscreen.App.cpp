#include "Zyl.Platform.Offscreen.h"

#include <algorithm>

namespace Zyl {

using System::MakeRef;
using System::TRef;

int64_t TOffscreenApp::TickCount() { return Clock; }

void TOffscreenApp::Run() {
    QuitRequested = false;
    for (;;) {
        const int64_t limit = Clock + 10;
        FireDueTimers(limit);
        // A callback that waited itself may have moved the clock past limit.
        Clock = std::max(Clock, limit);
        if (QuitRequested) return;
    }
}

void TOffscreenApp::Quit() { QuitRequested = true; }

int32_t TOffscreenApp::AddTimer(int32_t intervalMs, TPlatformTimerCallback callback) {
    TOffscreenTimer timer;
    timer.Id = NextTimerId++;
    timer.Interval = intervalMs == 0 ? 1u : static_cast<uint32_t>(intervalMs);
    timer.Due = Clock + timer.Interval;
    timer.Callback = std::move(callback);
    timer.Active = true;
    Timers.push_back(std::move(timer));
    return Timers.back().Id;
}

void TOffscreenApp::RemoveTimer(int32_t id) {
    for (TOffscreenTimer& timer : Timers)
        if (timer.Id == id) timer.Active = false;
}

void TOffscreenApp::ProcessMessages() {}

void TOffscreenApp::WaitForEvents(int32_t timeoutMs) {
    const int64_t limit = Clock + timeoutMs;
    FireDueTimers(limit);
    Clock = std::max(Clock, limit);
}

void TOffscreenApp::FireDueTimers(int64_t limit) {
    for (;;) {
        // Looked up afresh each round: a callback may add timers (moving the
        // table) or remove any of them.
        size_t next = Timers.size();
        for (size_t i = 0; i < Timers.size(); ++i) {
            const TOffscreenTimer& t = Timers[i];
            if (t.Active && t.Due <= limit && (next == Timers.size() || t.Due < Timers[next].Due))
                next = i;
        }
        if (next == Timers.size()) return;
        TOffscreenTimer& timer = Timers[next];
        Clock = std::max(Clock, timer.Due);
        timer.Due = Clock + timer.Interval;
        const TPlatformTimerCallback callback = timer.Callback;
        if (callback) callback();
    }
}

int32_t TOffscreenApp::ScreenWidth() { return ScreenWidthValue; }
int32_t TOffscreenApp::ScreenHeight() { return ScreenHeightValue; }
bool TOffscreenApp::HasDisplay() { return DisplayPresent; }

TRef<TPlatformWindow> TOffscreenApp::CreateWindow() { return MakeRef<TOffscreenWindow>(this); }

TRef<TPlatformControl> TOffscreenApp::CreateCustomControl() {
    return MakeRef<TOffscreenControl>();
}

// No ready-made controls here: the drawn widgets build each on a custom control.
TRef<TPlatformControl> TOffscreenApp::CreateButton() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateEdit() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateCheckBox() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateMemo() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateListBox() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateComboBox() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateTabControl() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateListView() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateTreeView() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateStatusBar() { return nullptr; }
TRef<TPlatformControl> TOffscreenApp::CreateToolBar() { return nullptr; }

TRef<TPlatformTrayIcon> TOffscreenApp::CreateTrayIcon() {
    LastTrayIcon = MakeRef<TOffscreenTrayIcon>();
    return LastTrayIcon;
}

TRef<TPlatformMenu> TOffscreenApp::CreateMenu(bool popup) {
    LastMenu = MakeRef<TOffscreenMenu>(popup);
    return LastMenu;
}

int32_t TOffscreenApp::MessageBox(TPlatformWindow*, const std::u16string&, const std::u16string&,
                                  int32_t, int32_t) {
    return MessageBoxResult;
}

bool TOffscreenApp::FileDialog(TPlatformWindow*, const std::u16string&, bool,
                               const std::u16string&, std::u16string& fileName) {
    if (FileDialogAccepts) fileName = FileDialogAnswer;
    return FileDialogAccepts;
}

int32_t TOffscreenApp::PrinterCount() { return 2; }

std::u16string TOffscreenApp::PrinterName(int32_t index) {
    switch (index) {
    case 0: return u"Impressora de teste";
    case 1: return u"Segunda impressora";
    default: return {};
    }
}

int32_t TOffscreenApp::DefaultPrinterIndex() { return 0; }

TRef<TPlatformPrintJob> TOffscreenApp::BeginPrintJob(int32_t printerIndex,
                                                     const std::u16string& title, bool landscape,
                                                     int32_t copies,
                                                     const std::u16string& outputFile) {
    if (printerIndex < 0 || printerIndex >= PrinterCount()) return nullptr;
    LastPrintJob = MakeRef<TOffscreenPrintJob>(printerIndex, title, landscape, copies, outputFile);
    return LastPrintJob;
}

bool TOffscreenApp::RunFileDialog(TPlatformWindow* owner, const std::u16string& title,
                                  int32_t kind, int32_t options, const std::u16string& fileName,
                                  const std::u16string& initialDir, const std::u16string& filter,
                                  const std::u16string& defaultExt, int32_t& filterIndex,
                                  std::u16string& result) {
    const bool severalFiles = (options & 1) != 0;
    if (!severalFiles && kind != 2 && FileDialogMultiAnswer.empty())
        return FileDialogEx(owner, title, kind == 1, fileName, initialDir, filter, defaultExt,
                            filterIndex, result);
    if (FileDialogAccepts)
        result = FileDialogMultiAnswer.empty() ? FileDialogAnswer : FileDialogMultiAnswer;
    return FileDialogAccepts;
}

bool TOffscreenApp::ColorDialog(TPlatformWindow*, void*, int32_t& colour) {
    if (ColorDialogAccepts) colour = ColorDialogAnswer;
    return ColorDialogAccepts;
}

bool TOffscreenApp::FontDialog(TPlatformWindow*, void*, std::u16string&, int32_t&, int32_t&) {
    return false;
}

} // namespace Zyl

// The uninstaller's windows: the question before anything is removed, and
// the small window without buttons that replays the install journal while
// it shows the current action and a progress bar, closes by itself and
// reports the outcome in a box. The replay runs inside the window's one-shot
// timer on the UI thread; the observer's handlers keep the window alive by
// processing pending messages.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Journal.h"
#include "KS.KeptForm.h"
#include "KS.WizardObserver.h"

namespace KS {

class TUninstallForm : public TKeptForm {
public:
    explicit TUninstallForm(System::TComponent* owner);

    System::TRef<TJournal> Journal;
    System::TRef<TWizardObserver> Observer;
    // The controls below are kept by the form; the fields do not count.
    Zyl::TLabel* StatusLabel = nullptr;
    TSlimProgress* ProgressBar = nullptr;
    TStepsPanel* StepsPanel = nullptr;
    Zyl::TTimer* RunTimer = nullptr;
    bool Succeeded = false;
    bool RestartNeeded = false;
    std::u16string AppName;
    // The message of an exception that ended the replay, empty otherwise;
    // the outcome box shows it under the failure text.
    std::u16string ReplayError;

    // Fills the window; once, before it is shown.
    void Build(TJournal& journal, const std::u16string& appName);
    void UninstallStatusHandler(const std::u16string& text);
    void UninstallProgressHandler(int64_t done, int64_t total);
    // RunTimer's handler: the whole replay, once, then the window closes.
    void RunTimerFired(System::TObject* sender);
};

// "Deseja remover ...?": true only for Yes.
bool ConfirmUninstall(const std::u16string& appName);

// The window on the application's message loop until the replay ends, then
// the outcome box. True when the journal was replayed completely;
// restartNeeded is set in every case.
bool RunUninstallForm(TJournal& journal, const std::u16string& appName, bool& restartNeeded);

} // namespace KS

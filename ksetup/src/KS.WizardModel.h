// What the installer's windows show and decide, apart from the windows
// themselves: which pages the wizard has and which step each one marks, the
// titles and texts of its pages, the destination folder's check, and the
// progress bars' per-mille values. Pure functions of the script and of the
// values the windows read from the engine, so that every text and rule is
// tested on the host. No Windows interface here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Script.h"
#include "KS.Sys.Text.h"

namespace KS {

enum TWizardPageKind : uint8_t {
    pkWelcome = 0,
    pkInfoBefore = 1,
    pkLicense = 2,
    pkDir = 3,
    pkTasks = 4,
    pkReady = 5,
    pkInstalling = 6,
    pkInfoAfter = 7,
    pkFinish = 8,
};
using TWizardPageKinds = std::vector<TWizardPageKind>;

// ---- Pages and steps ----------------------------------------------------------

// What decides the page list besides the [Setup] values.
struct TWizardPageInputs {
    bool HasInfoBefore = false;
    bool HasLicense = false;
    bool HasInfoAfter = false;
    bool PreviousInstallFound = false;
    int32_t TaskCount = 0;
};

// The pages in order; the installing and finish pages are always there.
TWizardPageKinds WizardPageKinds(const TParams& setup, const TWizardPageInputs& inputs);

// Step captions of the steps panel and, per page, the index of its step: an
// information page after the install shares the finish page's step.
struct TWizardSteps {
    TStringArray Captions;
    std::vector<int32_t> PageSteps;
};
TWizardSteps WizardSteps(const TWizardPageKinds& kinds);
// "Conclusão" for the finish pages and any value outside the kinds.
std::u16string WizardStepCaption(uint8_t kind);

struct TPageHeader {
    std::u16string Title;
    std::u16string Subtitle;
    friend bool operator==(const TPageHeader&, const TPageHeader&) = default;
};
// The finish page's header depends on the run: FinishTexts gives it.
TPageHeader WizardPageHeader(TWizardPageKind kind, const std::u16string& appName);

// ---- Texts ---------------------------------------------------------------------

// "|" becomes CR LF, as the script's welcome and finish texts are written.
std::u16string BarsToLineBreaks(std::u16string_view text);
// [Setup] AppName, "Programa" when the key is missing.
std::u16string WizardAppName(const TParams& setup);
std::u16string WelcomeText(const TParams& setup, const std::u16string& appName);
std::u16string PreviousInstallNotice(const std::u16string& folder, const std::u16string& version);
extern const char16_t* const kNoOldUninstallerText;
std::u16string OldUninstallerFailedText(const std::u16string& folder);
// Description, or the fallback key's value (Name of a task, Filename of a
// post-install entry) when the entry has no Description.
std::u16string EntryCaption(const TParams& entry, std::u16string_view fallbackKey);
// The ready page's summary; tasks are the [Tasks] entries in section order.
std::u16string SummaryText(const std::u16string& appDir, const std::vector<System::TRef<TParams>>& tasks,
                           const TStringArray& selectedTasks, int64_t requiredSpace,
                           const std::u16string& providerSummary);
std::u16string PrepareFailureText(const std::u16string& lastError);
std::u16string PrepareNoSpaceText(const std::u16string& folder, int64_t required, int64_t free);
std::u16string DirNoSpaceText(int64_t required);
// Whether a free space (-1: the volume gave no answer) lets the install go on.
bool EnoughFreeSpace(int64_t free, int64_t required);
// The destination page's space line; freeSpace is asked only for a folder
// text of more than 2 characters, and a negative answer leaves it out.
std::u16string SpaceInfoText(bool hasProvider, int64_t requiredSpace, const std::u16string& folder,
                             const std::function<int64_t(const std::u16string&)>& freeSpace);

struct TFinishTexts {
    TPageHeader Header;
    std::u16string Body;
};
TFinishTexts FinishTexts(bool failed, const TParams& setup, const std::u16string& appName,
                         const std::u16string& lastError, bool rebootNeeded);
std::u16string InstallErrorQuestion(const std::u16string& message);

// The uninstaller's question and its closing box (text and message-box flags).
std::u16string UninstallQuestion(const std::u16string& appName);
struct TUninstallOutcome {
    std::u16string Text;
    uint32_t Flags = 0;
};
TUninstallOutcome UninstallOutcome(bool succeeded, bool restartNeeded, const std::u16string& appName);

// ---- Destination folder ----------------------------------------------------------

// Trimmed, "/" as "\", trailing backslashes dropped down to a drive root.
std::u16string NormalizeFolderText(const std::u16string& text);

enum class TInstallDirVerdict : uint8_t { Accepted, Empty, NotFullPath, BadCharacters };
struct TInstallDirCheck {
    TInstallDirVerdict Verdict = TInstallDirVerdict::Accepted;
    std::u16string Folder;   // the normalised text
    std::u16string Message;  // empty when accepted
};
TInstallDirCheck CheckInstallDir(const std::u16string& editText);

// ---- Progress --------------------------------------------------------------------

// The wizard's bar: done * 1000 / total truncated toward zero, 1000 for a
// total below 1, not clamped to the bar but saturated to int32.
int32_t WizardPerMille(int64_t done, int64_t total);
// The uninstall window's bar: nothing (the bar keeps its place) for a total
// of 0 or less; saturated to int32 like the wizard's.
std::optional<int32_t> UninstallPerMille(int64_t done, int64_t total);

} // namespace KS

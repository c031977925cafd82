// What the wizard's tests and its screen probe share: the setup script they
// open the wizard on and a file provider whose preparation and install each
// of them scripts.
#pragma once

#include <functional>
#include <string>

#include "KS.Engine.h"
#include "KS.Provider.h"

namespace KS::TestSupport {

// A script with two tasks (the second unchecked) and two post-install
// entries of the child program (the second unchecked) that write into the
// folder; name makes the AppId and the group the caller's own; setup is
// more [Setup] lines, sections more sections after the script's own.
std::u16string WizardScript(const std::u16string& folder, const std::u16string& name,
                            const std::u16string& setup = u"", const std::u16string& sections = u"");

class TScriptedProvider : public TFileProvider {
public:
    std::function<bool(TSetupObserver&)> OnPrepare = [](TSetupObserver&) { return true; };
    std::function<bool(TSetupEngine&, TSetupObserver&)> OnInstall = [](TSetupEngine&, TSetupObserver&) {
        return true;
    };
    std::u16string Error = u"falha simulada";
    int PrepareCalls = 0;

    bool Prepare(TSetupEngine&, TSetupObserver& observer) override {
        ++PrepareCalls;
        return OnPrepare(observer);
    }
    int64_t TotalSize() override { return 4096; }
    bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer) override { return OnInstall(engine, observer); }
    std::u16string LastError() override { return Error; }
    std::u16string Summary() override { return u"Download: 4 KB"; }
};

} // namespace KS::TestSupport

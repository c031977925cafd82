// A file provider for tests: installs a few given files into the
// installation folder, journals them, and fails or cancels where the test
// says. It records how the engine called it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Provider.h"

namespace KS::TestSupport {

class TFakeFileProvider : public TFileProvider {
public:
    struct TFile {
        std::u16string Path;  // relative to the installation folder
        std::string Content;
    };

    // Scripted behaviour.
    std::vector<TFile> Files;
    bool PrepareResult = true;
    // InstallFiles fails just before the file of this index; -1 never.
    int FailAtFile = -1;
    // LastError after a scripted failure of Prepare or InstallFiles.
    std::u16string FailureText = u"falha simulada do provedor";
    std::u16string SummaryText;

    // What the engine did.
    int PrepareCalls = 0;
    int InstallCalls = 0;
    // Full paths of the files written, in order.
    std::vector<std::u16string> Installed;

    bool Prepare(TSetupEngine& engine, TSetupObserver& observer) override;
    // The sum of the files' sizes.
    int64_t TotalSize() override;
    // Polls the observer before each file (a cancel fails the install with
    // "Instalação cancelada.") and reports the bytes written so far.
    bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer) override;
    std::u16string LastError() override;
    std::u16string Summary() override;

private:
    std::u16string lastError_;
};

} // namespace KS::TestSupport

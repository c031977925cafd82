#include "KS.Test.Provider.h"

#include "KS.Engine.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"

namespace KS::TestSupport {

bool TFakeFileProvider::Prepare(TSetupEngine&, TSetupObserver&) {
    ++PrepareCalls;
    lastError_ = PrepareResult ? std::u16string() : FailureText;
    return PrepareResult;
}

int64_t TFakeFileProvider::TotalSize() {
    int64_t total = 0;
    for (const TFile& file : Files) total += static_cast<int64_t>(file.Content.size());
    return total;
}

bool TFakeFileProvider::InstallFiles(TSetupEngine& engine, TSetupObserver& observer) {
    ++InstallCalls;
    lastError_.clear();
    const int64_t total = TotalSize();
    int64_t done = 0;
    for (size_t i = 0; i < Files.size(); ++i) {
        if (observer.Cancelled()) {
            lastError_ = u"Instalação cancelada.";
            return false;
        }
        if (static_cast<int>(i) == FailAtFile) {
            lastError_ = FailureText;
            return false;
        }
        const std::u16string target = CombinePath(engine.Context->AppDir, Files[i].Path);
        const std::string& content = Files[i].Content;
        // A file that was there before is journaled as such, so that a
        // rollback leaves it in place.
        const bool existed = IsExistingFile(target);
        if (!engine.CreateDirs(DirOfPath(target))) {
            lastError_ = engine.LastError;
            return false;
        }
        if (
            !WriteFileBytes(target, content.data(), static_cast<int64_t>(content.size()))) {
            lastError_ = u"não consegui gravar " + target + u": " + OsErrorText(LastOsError());
            return false;
        }
        engine.Journal->AddFile(target, existed);
        Installed.push_back(target);
        done += static_cast<int64_t>(content.size());
        observer.Progress(done, total);
    }
    return true;
}

std::u16string TFakeFileProvider::LastError() {
    return lastError_;
}

std::u16string TFakeFileProvider::Summary() {
    return SummaryText;
}

} // namespace KS::TestSupport

#include "KS.Provider.h"

namespace KS {

bool TFileProvider::Prepare(TSetupEngine&, TSetupObserver&) {
    return true;
}

int64_t TFileProvider::TotalSize() {
    return 0;
}

bool TFileProvider::InstallFiles(TSetupEngine&, TSetupObserver&) {
    return true;
}

std::u16string TFileProvider::LastError() {
    return {};
}

std::u16string TFileProvider::Summary() {
    return {};
}

} // namespace KS

// The engine's source of files besides the embedded package. The base class
// installs nothing and succeeds; the online provider overrides every slot.
#pragma once

#include <cstdint>
#include <string>

#include "System.Remainder.Object.h"

namespace KS {

class TSetupEngine;
class TSetupObserver;

class TFileProvider : public System::TObject {
public:
    // The slots keep this order.
    // Gets ready to report its size and summary; false: LastError says why.
    virtual bool Prepare(TSetupEngine& engine, TSetupObserver& observer);
    // Bytes it will install; read any number of times after Prepare.
    virtual int64_t TotalSize();
    // Installs every file in the place of the "Files" section; may use the
    // engine's context, journal and folder creator. False: the run rolls back.
    virtual bool InstallFiles(TSetupEngine& engine, TSetupObserver& observer);
    virtual std::u16string LastError();
    // Lines (CR LF between them) for the wizard's ready page.
    virtual std::u16string Summary();
};

} // namespace KS

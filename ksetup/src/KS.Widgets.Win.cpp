// The widgets' one Windows part: the logo built into the executable.
#include <windows.h>

#include "KS.Widgets.Logo.h"

#include "System.Remainder.Streams.h"

namespace KS {

System::TRef<System::TStream> OpenSetupLogo() {
    return System::MakeRef<System::TResourceStream>(GetModuleHandleW(nullptr), u"SETUPLOGO",
                                                    System::ResourceId(System::kResourceTypeRcData));
}

} // namespace KS

#include "KS.Program.h"

#include <windows.h>

#include "KS.Sys.Text.h"
#include "System.Remainder.Streams.h"

namespace KS {

std::u16string LoadSetupScript() {
    System::TResourceStream resource(GetModuleHandleW(nullptr), u"SETUPSCRIPT",
                                     System::ResourceId(System::kResourceTypeRcData));
    return DecodeUtf8(static_cast<const uint8_t*>(resource.Memory()), resource.Size());
}

} // namespace KS

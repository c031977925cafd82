// The program's spine: the process entry, the embedded script and the choice
// between installing and uninstalling.
#pragma once

#include <string>

namespace KS {

// The executable's RCDATA resource "SETUPSCRIPT" decoded from UTF-8. A
// missing resource raises the resource stream's EResNotFound.
std::u16string LoadSetupScript();

} // namespace KS

// On the host there is no executable's resource to read the logo from.
#include "KS.Widgets.Logo.h"

#include "System.Remainder.Exceptions.h"

namespace KS {

System::TRef<System::TStream> OpenSetupLogo() { throw System::EResNotFound(u"recurso não encontrado"); }

} // namespace KS

// The demo's start, apart from the controls: the shell's header brings the
// Windows macros, whose message names the control layer defines as its own.
#include "Zyl.Platform.Shell.h"

#include "KS.Startup.h"

void StartShellApplication() {
    KS::InitializeUnits();
    KS::InitializeApplication();
}

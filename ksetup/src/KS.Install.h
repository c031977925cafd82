// Install mode: everything an install does before and around the engine's
// own steps, turned into the process exit code.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Sys.Text.h"

namespace KS {

class TOnlineProvider;
class TSetupEngine;
class TSetupObserver;

// The catalogue address when no "/URL" gives one.
std::u16string DefaultCatalogUrlTemplate();

// 0 installed (or an updated installer started from an interactive run),
// 1 a switch not accepted, 2 invalid script, 5 administrator rights missing,
// 8 install failed or cancelled, 9 installed and a restart is needed; any
// other code is that of a child this run waited for.
int32_t InstallMain(const TStringArray& args, const std::u16string& scriptText);

// InstallMain's hand-over to a newer installer, when the catalogues offer
// one: it starts with the same arguments and "/KSETUPUPDATED", and a silent
// run waits for it. True: it started, and exitCode is what this run ends
// with. The check's status lines go to the observer. Any failure of the
// check, an exception included (logged), means no update: false.
bool RunNewerInstaller(TSetupEngine& engine, TOnlineProvider& provider, TSetupObserver& observer,
                       const TStringArray& args, uint32_t& exitCode);

} // namespace KS

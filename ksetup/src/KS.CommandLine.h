// The program's command line: the argument list, the two lookups the entry
// code makes before any engine exists, and the way back to one command line
// for the copies of itself that the program starts.
#pragma once

#include <string>

#include "KS.Sys.Text.h"

namespace KS {

// The process's arguments as CommandLineToArgvW splits them, without the
// program path; empty when the split fails.
TStringArray GetCommandLineArgs();

// True when an argument equals the switch as a whole, ignoring ASCII case:
// "/NOUPDATE=1" is not "/NOUPDATE".
bool HasSwitch(const TStringArray& args, std::u16string_view name);

// The text after name + "=" in the first argument that begins with it
// (ASCII case ignored); empty when none does or the value is empty.
std::u16string SwitchValue(const TStringArray& args, std::u16string_view name);

// One command line that CommandLineToArgvW splits back into exactly these
// arguments: an argument that is empty or holds a blank, tab or double quote
// is quoted, with its double quotes and the backslashes before them (or
// before the closing quote) escaped.
std::u16string JoinCommandLine(const TStringArray& args);

} // namespace KS

// Engines for tests: set up as the install entry does, with a script given
// as text and, when asked, a log file.
#pragma once

#include <string>

#include "KS.Engine.h"

namespace KS::TestSupport {

// Init, then LoadScript of the text (the test fails when it does not load).
System::TRef<TSetupEngine> LoadedEngine(const std::u16string& script, const std::u16string& logPath = u"");

// The log's lines as written, each without its date and the blank after it;
// a line that does not start with the local date is kept whole, so that the
// comparison fails on it.
std::vector<std::u16string> LogLines(const std::u16string& logPath);

} // namespace KS::TestSupport

#include "KS.Test.Engine.h"

#include <gtest/gtest.h>

#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"

namespace KS::TestSupport {

System::TRef<TSetupEngine> LoadedEngine(const std::u16string& script, const std::u16string& logPath) {
    auto engine = System::MakeRef<TSetupEngine>();
    engine->Init();
    engine->LogPath = logPath;
    EXPECT_TRUE(engine->LoadScript(script)) << std::string(engine->LastError.begin(), engine->LastError.end());
    return engine;
}

std::vector<std::u16string> LogLines(const std::u16string& logPath) {
    std::u16string text;
    if (!ReadTextFile(logPath, text)) return {};
    const std::u16string prefix = LocalDateStamp() + u" ";
    std::vector<std::u16string> lines;
    for (const std::u16string& line : SplitLines(text))
        lines.push_back(HasPrefix(line, prefix) ? line.substr(prefix.size()) : line);
    return lines;
}

} // namespace KS::TestSupport

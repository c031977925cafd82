// Test programs that run some of their own tests again in a child process:
// for answers a process decides once (the start of a drawing backend), and
// for a copy of the program placed in a folder of its own, beside libraries
// planted under system names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Zyl::Testing {

// The full path of this test program.
std::u16string ThisProgram();

// No time limit for a child.
constexpr uint32_t kNoChildTimeLimit = 0xFFFFFFFF;
// The exit code given for a child that outlived its time limit.
constexpr uint32_t kChildTimedOut = 1002;

// Runs the command line and waits for it, at most `timeLimitMs`: a child
// still running then is ended, so that a hang fails instead of holding the
// test. Its output (standard output and error) goes to a file and comes back
// in `output`. The child's exit code, 1000 and above when it could not be
// started or was ended.
uint32_t RunChildProgram(const std::u16string& commandLine, std::string& output,
                         uint32_t timeLimitMs = kNoChildTimeLimit);

// Runs `program` with only the tests that `filter` names (disabled ones
// included), as RunChildProgram does: its summary line is never taken for
// the parent's.
uint32_t RunChildTests(const std::u16string& program, const std::string& filter, std::string& output,
                       uint32_t timeLimitMs = kNoChildTimeLimit);

// A new folder under the temporary folder with a copy of this test program
// and, beside it, a copy of the program under each of `plantedNames`, as
// someone who leaves libraries in a download folder would; removed again
// with everything in it.
class TPlantedFolder {
public:
    explicit TPlantedFolder(const std::vector<std::u16string>& plantedNames);
    ~TPlantedFolder();
    TPlantedFolder(const TPlantedFolder&) = delete;
    TPlantedFolder& operator=(const TPlantedFolder&) = delete;

    // The copy of the test program, and the folder (ending in "\").
    std::u16string Program;
    std::u16string Folder;

private:
    std::vector<std::u16string> files_;
};

// The file that the module of this base name was loaded from, lower-cased
// (paths compare without case, as the file system does); empty when none is
// loaded.
std::u16string LoadedModulePath(const std::u16string& baseName);
// The file of this name in the system folder, lower-cased.
std::u16string SystemFolderFile(const std::u16string& name);

} // namespace Zyl::Testing

// Runs the program's spine as the executable does, on this probe's own
// command line: the units' start, then ProgramRun with a small per-user
// script. Boxes are printed instead of shown ("box: title|text"); the last
// line tells whether the widget library was set up meanwhile:
// "code <exit code>, shell <application or none>, canvas <backend or none>".
#include <cstdio>
#include <string>

#include "KS.Program.h"
#include "KS.Startup.h"
#include "KS.Test.Text.h"
#include "Zyl.Platform.CanvasBackend.h"

namespace {

using KS::Test::U8;

int32_t PrintBox(const std::u16string& text, const std::u16string& title, uint32_t) {
    std::printf("box: %s|%s\n", U8(title).c_str(), U8(text).c_str());
    return 1; // OK
}

} // namespace

int main() {
    KS::InitializeUnits();
    KS::MessageBoxProc() = PrintBox;
    const int32_t code = KS::ProgramRun(u"[Setup]\nAppName=Sonda\nAppId=ks-run-probe\n"
                                        u"DefaultDirName={autopf}\\ks-run-probe\nPrivilegesRequired=lowest\n");
    const std::u16string canvas = Zyl::ActiveCanvasBackendName();
    std::printf("code %d, shell %s, canvas %s\n", code, KS::ShellApplication() ? "application" : "none",
                canvas.empty() ? "none" : U8(canvas).c_str());
    std::fflush(stdout);
    return code;
}

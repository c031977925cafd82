// Drives the online provider's install and self-update from the end-to-end
// tests and the install benchmark, printing one line per event in UTF-8:
//   install [options] TEMPLATE APPDIR
//       "STATUS <line>" per status line (not with --quiet), "PREPARED <jobs>
//       <files> <download bytes> <install bytes>", "SUMMARY <text>" (CR LF
//       shown as " / "), "ASK <target>|<error>" per question of the retry
//       pass, then "INSTALLED REBOOT=0|1" or "FAIL <error>", a "RECORD
//       <record>" per journal record, "TIME <ms of prepare and install>" and
//       "PEAK <peak private bytes>".
//   selfupdate [options] TEMPLATE EXE
//       "STATUS <line>" per status line, then "UPDATE <path>" or "NOUPDATE".
// Options: --localappdata=DIR (the folder of the download cache),
// --answers=DIGITS (the retry pass's answers in order: 1 retry, 2 skip; abort
// once they run out), --cancel-at=N (the N-th cancel question answers yes),
// --quiet (no status lines).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "KS.Engine.h"
#include "KS.Online.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace {

using System::MakeRef;
using System::TRef;

std::u16string Widen(std::string_view text) {
    return KS::DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data()), ptrdiff_t(text.size()));
}

void Print(const std::u16string& line) {
    System::TBytes text = KS::StringToUtf8Bytes(line);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

struct TOptions {
    std::u16string Answers;
    int CancelAt = 0;
    bool Quiet = false;
    std::vector<std::u16string> Rest;
};

TOptions ParseOptions(const std::vector<std::string_view>& args) {
    TOptions options;
    for (std::string_view arg : args) {
        if (arg.starts_with("--localappdata="))
            SetEnvironmentVariableW(L"LOCALAPPDATA", System::WStr(Widen(arg.substr(15))));
        else if (arg.starts_with("--answers="))
            options.Answers = Widen(arg.substr(10));
        else if (arg.starts_with("--cancel-at="))
            options.CancelAt = std::atoi(arg.data() + 12);
        else if (arg == "--quiet")
            options.Quiet = true;
        else
            options.Rest.push_back(Widen(arg));
    }
    return options;
}

class TPrintingObserver : public KS::TSetupObserver {
public:
    explicit TPrintingObserver(const TOptions& options) : options_(options) {}

    void Status(const std::u16string& text) override {
        if (!options_.Quiet) Print(u"STATUS " + text);
    }
    bool Cancelled() override { return options_.CancelAt > 0 && ++polls_ >= options_.CancelAt; }
    uint8_t ErrorChoice(const std::u16string& subject, const std::u16string& message) override {
        Print(u"ASK " + subject + u"|" + message);
        if (answered_ >= options_.Answers.size()) return KS::ErrorChoiceAbort;
        return uint8_t(options_.Answers[answered_++] - u'0');
    }

private:
    const TOptions& options_;
    int polls_ = 0;
    size_t answered_ = 0;
};

int Install(const TOptions& options) {
    if (options.Rest.size() != 2) return 2;
    const std::u16string& appDir = options.Rest[1];
    auto engine = MakeRef<KS::TSetupEngine>();
    engine->Init();
    if (!engine->LoadScript(u"[Setup]\nAppName=Ostrel Dax\nDefaultDirName=" + appDir + u"\n")) return 3;
    engine->Context->SetAppDir(appDir);
    auto provider = MakeRef<KS::TOnlineProvider>(options.Rest[0]);
    auto observer = MakeRef<TPrintingObserver>(options);

    const ULONGLONG start = GetTickCount64();
    bool ok = provider->Prepare(*engine, *observer);
    if (ok) {
        Print(u"PREPARED " + System::Int64ToStr(int64_t(provider->Jobs.size())) + u" " +
              System::Int64ToStr(provider->FileCount) + u" " + System::Int64ToStr(provider->DownloadBytes) + u" " +
              System::Int64ToStr(provider->TotalSize()));
        Print(u"SUMMARY " + KS::ReplaceAll(provider->Summary(), u"\r\n", u" / "));
        ok = provider->InstallFiles(*engine, *observer);
    }
    const ULONGLONG elapsed = GetTickCount64() - start;
    Print(ok ? u"INSTALLED REBOOT=" + System::Int64ToStr(engine->RebootNeeded) : u"FAIL " + provider->LastError());
    for (const std::u16string& record : engine->Journal->Records()) Print(u"RECORD " + record);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    Print(u"TIME " + System::Int64ToStr(int64_t(elapsed)));
    Print(u"PEAK " + System::Int64ToStr(int64_t(memory.PeakPagefileUsage)));
    return 0;
}

int SelfUpdate(const TOptions& options) {
    if (options.Rest.size() != 2) return 2;
    auto provider = MakeRef<KS::TOnlineProvider>(options.Rest[0]);
    auto observer = MakeRef<TPrintingObserver>(options);
    std::u16string path;
    TRef<KS::TOwnedHandle> hold;
    Print(provider->CheckSelfUpdate(*observer, options.Rest[1], path, hold) ? u"UPDATE " + path : u"NOUPDATE");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string_view command = argc > 1 ? argv[1] : "";
    const TOptions options = ParseOptions({argv + std::min(argc, 2), argv + argc});
    if (command == "install") return Install(options);
    if (command == "selfupdate") return SelfUpdate(options);
    std::fprintf(stderr, "usage: ks_install_probe install|selfupdate [options] ARGS...\n");
    return 2;
}

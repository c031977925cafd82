#include "KS.Engine.h"

#include <windows.h>

#include <algorithm>
#include <array>

#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

// Switches that other installers take and this one accepts without effect.
constexpr std::array<std::u16string_view, 7> IgnoredSwitches = {
    u"/NORESTART",          u"/SP-",           u"/NOCANCEL",           u"/CLOSEAPPLICATIONS",
    u"/NOCLOSEAPPLICATIONS", u"/RESTARTAPPLICATIONS", u"/NORESTARTAPPLICATIONS"};

// Read by the entry code, not by the engine.
constexpr std::array<std::u16string_view, 2> EntrySwitches = {u"/URL", u"/NOUPDATE"};

bool IsListed(const auto& table, const std::u16string& name) {
    return std::find(table.begin(), table.end(), name) != table.end();
}

// A folder relative to the current one means nothing to the uninstaller,
// which runs elsewhere: it is made absolute before anything records it.
std::u16string AbsolutePath(const std::u16string& path) {
    if (path.empty()) return path;
    const DWORD size = GetFullPathNameW(System::WStr(path), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring buffer(size, L'\0');
    const DWORD length = GetFullPathNameW(System::WStr(path), size, buffer.data(), nullptr);
    if (length == 0 || length >= size) return path;
    buffer.resize(length);
    return System::FromWStr(buffer.c_str());
}

} // namespace

bool TSetupEngine::ParseCommandLine(const TStringArray& args) {
    const bool scriptAllUsers = Context->AllUsers;
    std::u16string dir;
    bool accepted = true;
    for (const auto& arg : args) {
        const size_t equals = arg.find(u'=');
        const std::u16string name = AsciiUpperCase(arg.substr(0, equals));
        const std::u16string value = equals == std::u16string::npos ? u"" : arg.substr(equals + 1);
        if (name == u"/SILENT") {
            SilentLevel = 1;
        } else if (name == u"/VERYSILENT") {
            SilentLevel = 2;
        } else if (name == u"/SUPPRESSMSGBOXES") {
            SuppressMsgBoxes = true;
        } else if (name == u"/DIR") {
            dir = value;
            CommandLineDir = true;
        } else if (name == u"/GROUP") {
            Context->GroupName = value;
        } else if (name == u"/LOG") {
            LogPath = value;
        } else if (name == u"/CURRENTUSER") {
            Context->AllUsers = false;
        } else if (name == u"/ALLUSERS") {
            Context->AllUsers = true;
        } else if (name == u"/TASKS" || name == u"/MERGETASKS") {
            if (name == u"/TASKS") {
                SelectedTasks.clear();
                CommandLineTasks = true;
            }
            for (const auto& word : SplitWords(value)) {
                if (HasPrefix(word, u"!"))
                    SelectTask(word.substr(1), false);
                else
                    SelectTask(word, true);
            }
        } else if (!HasPrefix(name, u"/KSETUP") && !IsListed(EntrySwitches, name) &&
                   !IsListed(IgnoredSwitches, name)) {
            accepted = false;
            break;
        }
    }
    // The script's default folder and the earlier install were found for the
    // script's mode; another mode has its own (a per-user install never goes
    // to Program Files). A "/DIR" is expanded only now, with the final mode.
    if (Context->AllUsers != scriptAllUsers) {
        if (!CommandLineDir) Context->SetAppDir(Context->ExpandConstants(Context->SetupValue(u"DefaultDirName", u"")));
        FindPreviousInstall();
    }
    if (CommandLineDir) Context->SetAppDir(AbsolutePath(Context->ExpandConstants(dir)));
    return accepted;
}

} // namespace KS

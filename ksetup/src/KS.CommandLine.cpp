#include "KS.CommandLine.h"

#include <windows.h>
#include <shellapi.h>

#include "System.Remainder.Os.h"

namespace KS {

namespace {

bool NeedsQuotes(const std::u16string& arg) {
    return arg.empty() || arg.find_first_of(u" \t\"") != std::u16string::npos;
}

// The quoting rules of CommandLineToArgvW read backwards: 2n backslashes
// before a quote are n literal ones, 2n + 1 are n and a literal quote.
void AppendQuoted(std::u16string& line, const std::u16string& arg) {
    line += u'"';
    size_t backslashes = 0;
    for (const char16_t c : arg) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') backslashes = backslashes * 2 + 1;
        line.append(backslashes, u'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, u'\\');
    line += u'"';
}

} // namespace

TStringArray GetCommandLineArgs() {
    static System::TLazyProc<decltype(&::CommandLineToArgvW)> commandLineToArgv(u"shell32.dll", "CommandLineToArgvW");
    TStringArray args;
    int count = 0;
    LPWSTR* argv = commandLineToArgv()(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.push_back(System::FromWStr(argv[i]));
    LocalFree(argv);
    return args;
}

bool HasSwitch(const TStringArray& args, std::u16string_view name) {
    for (const auto& arg : args)
        if (EqualsIgnoreCase(arg, name)) return true;
    return false;
}

std::u16string SwitchValue(const TStringArray& args, std::u16string_view name) {
    const std::u16string prefix = std::u16string(name) + u"=";
    for (const auto& arg : args)
        if (HasPrefixIgnoreCase(arg, prefix)) return arg.substr(prefix.size());
    return {};
}

std::u16string JoinCommandLine(const TStringArray& args) {
    std::u16string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) line += u' ';
        if (NeedsQuotes(args[i]))
            AppendQuoted(line, args[i]);
        else
            line += args[i];
    }
    return line;
}

} // namespace KS

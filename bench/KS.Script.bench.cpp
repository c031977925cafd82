// Parse time of large setup scripts in the shapes that could turn quadratic:
// many distinct sections, many distinct [Setup] keys, many entry lines.
// Five times the lines should take about five times as long.
#include <chrono>
#include <cstdio>

#include "KS.Script.h"

namespace {

void Measure(const char* shape, int lines, const std::u16string& text) {
    const auto script = System::MakeRef<KS::TScript>();
    const auto start = std::chrono::steady_clock::now();
    const bool parsed = script->Parse(text);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("%-18s %7d lines %8zu units %s %9.1f ms\n", shape, lines, text.size(),
                parsed ? "ok  " : "FAIL", took.count());
}

} // namespace

int main() {
    for (int lines : {20000, 100000}) {
        std::u16string sections, keys = u"[Setup]\n", entries = u"[Run]\n";
        for (int i = 0; i < lines; ++i) {
            const std::u16string number = System::Int64ToStr(i);
            sections += u"[Section" + number + u"]\n";
            keys += u"Key" + number + u"=value\n";
            entries += u"Filename: \"{app}\\a \"\"b\"\".exe\"; Flags: nowait postinstall; Tasks: t" + number + u"\n";
        }
        Measure("distinct sections", lines, sections);
        Measure("distinct keys", lines, keys);
        Measure("entry lines", lines, entries);
    }
}

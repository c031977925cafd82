// The drawn text box on the soft canvas: laying out, hit testing
// (CharIndexAt) and one vertical caret move, in a word-wrapped memo of 2,000
// lines, in a word-wrapped memo holding one 20,000-character paragraph, and
// in a single-line box holding 20,000 characters. Widths are not cached, so
// these figures show what measuring growing prefixes costs. Prints the
// median milliseconds per call, one line per measurement.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "Zyl.Platform.Drawn.Edit.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;
using Clock = std::chrono::steady_clock;

namespace {

// Median milliseconds of `runs` calls after one warm-up call.
template <class Work>
double Milliseconds(int runs, Work work) {
    work();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Words of 2 to 9 letters separated by spaces, `length` units in all.
std::u16string Words(size_t length, uint32_t seed) {
    std::u16string s;
    while (s.size() < length) {
        seed = seed * 1103515245 + 12345;
        const size_t word = 2 + (seed >> 16) % 8;
        for (size_t i = 0; i < word && s.size() < length; ++i) s += char16_t(u'a' + (seed >> (i + 3)) % 26);
        if (s.size() < length) s += u' ';
    }
    return s;
}

void Report(const char* what, double ms) { std::printf("%-52s %10.3f ms\n", what, ms); }

void Measure(const char* name, TDrawnTextBox& box, int runs) {
    const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
    std::string label = std::string(name) + ": layout";
    Report(label.c_str(), Milliseconds(runs, [&] { box.LayoutLines(canvas.Get()); }));
    std::printf("%-52s %10zu lines, widest %d px\n", (std::string(name) + ": visual lines").c_str(),
                box.Lines.size(), box.WidestLine);
    // A click in the middle of the view, and one at the right end of the
    // line the view shows last.
    label = std::string(name) + ": CharIndexAt, middle of the view";
    Report(label.c_str(), Milliseconds(runs, [&] { box.CharIndexAt(canvas.Get(), box.ClientWidth / 2, 40); }));
    label = std::string(name) + ": CharIndexAt, right edge";
    Report(label.c_str(), Milliseconds(runs, [&] { box.CharIndexAt(canvas.Get(), box.ClientWidth - 8, 40); }));
    // A Down from the middle of the text, the caret put back each time.
    const int32_t middle = box.Length() / 2;
    label = std::string(name) + ": vertical move (Down)";
    Report(label.c_str(), Milliseconds(runs, [&] {
               box.SetSelection(middle, 0);
               box.KeyDown(PlatformKeyDown, 0);
           }));
}

} // namespace

int main() {
    SetCurrentPlatformServices(MakeRef<TSoftServices>());
    const auto shell = MakeRef<TOffscreenApp>();
    const auto app = MakeRef<TDrawnApp>(shell);

    const auto memo = MakeRef<TDrawnTextBox>(app.Get(), shell->CreateCustomControl(), true);
    memo->SetBounds(0, 0, 400, 300);
    std::u16string lines;
    for (int i = 0; i < 2000; ++i) lines += Words(40, uint32_t(i)) + u"\n";
    memo->SetText(lines);
    Measure("memo, 2,000 lines", *memo, 9);

    const auto paragraph = MakeRef<TDrawnTextBox>(app.Get(), shell->CreateCustomControl(), true);
    paragraph->SetBounds(0, 0, 400, 300);
    paragraph->SetText(Words(20000, 7));
    Measure("memo, one 20,000-character paragraph", *paragraph, 5);

    const auto edit = MakeRef<TDrawnTextBox>(app.Get(), shell->CreateCustomControl(), false);
    edit->SetBounds(0, 0, 400, 24);
    edit->SetText(Words(20000, 7));
    Measure("edit, one 20,000-character line", *edit, 3);
    // The far end of the line, scrolled into view: the hit test measures
    // every prefix of the line.
    edit->SetSelection(edit->Length(), 0);
    edit->ScrollCaretIntoView();
    const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
    Report("edit, one 20,000-character line: CharIndexAt, at the end",
           Milliseconds(1, [&] { edit->CharIndexAt(canvas.Get(), 390, 12); }));
    return 0;
}

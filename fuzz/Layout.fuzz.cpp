// The text layout routines on texts made of the characters that matter to
// them: the lines rebuild the prepared text with only a break or the one
// dropped space between them, no wrapped line is wider than the width unless
// it is one character, starts increase; prefixes, tabs, ellipsis and
// substrings against their definitions. The first byte is the width, the
// second chooses the options, each further byte one character.
#include <string>

#include "KsFuzz.h"
#include "Zyl.Graphics.h"

using namespace Zyl;

namespace {

constexpr char16_t kAlphabet[] = u"ab &\t\r\nWi.";
constexpr size_t kMaxText = 400;

// Additive widths, one of them 0, as a proportional font with a zero-width
// character measures.
int32_t CharWidth(char16_t c) {
    switch (c) {
        case u'W': return 15;
        case u'i': return 2;
        case u' ': return 3;
        case u'.': return 0;
        default: return 7;
    }
}

int32_t Width(std::u16string_view text) {
    int32_t width = 0;
    for (char16_t c : text) width += CharWidth(c);
    return width;
}

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

void CheckLines(const std::u16string& text, int32_t maxWidth, bool wordWrap) {
    TTextLines lines;
    BreakLines(Width, text, maxWidth, false, wordWrap, lines);
    const bool wraps = wordWrap && maxWidth >= 1;
    KS_FUZZ_CHECK(!lines.empty() && lines.front().Start == 0);
    size_t end = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const TTextLine& line = lines[i];
        KS_FUZZ_CHECK(line.Start >= 0 && size_t(line.Start) >= end);
        if (i > 0) {
            KS_FUZZ_CHECK(line.Start > lines[i - 1].Start);
            const std::u16string gap = text.substr(end, size_t(line.Start) - end);
            const bool isBreak = gap == u"\r\n" || gap == u"\r" || gap == u"\n";
            KS_FUZZ_CHECK(isBreak || (wraps && (gap == u" " || gap.empty())));
        }
        KS_FUZZ_CHECK(text.compare(size_t(line.Start), line.Text.size(), line.Text) == 0);
        for (char16_t c : line.Text) KS_FUZZ_CHECK(!IsBreak(c));
        if (wraps) KS_FUZZ_CHECK(Width(line.Text) <= maxWidth || line.Text.size() == 1);
        end = size_t(line.Start) + line.Text.size();
    }
    KS_FUZZ_CHECK(end == text.size());
}

void CheckPrefix(const std::u16string& text) {
    int32_t prefix = 0;
    const std::u16string stripped = StripPrefix(text, prefix);
    KS_FUZZ_CHECK(prefix >= -1 && prefix < int32_t(stripped.size()));
    // Only ampersands go, at most one of each pair.
    std::u16string others, kept;
    size_t amps = 0, keptAmps = 0;
    for (char16_t c : text) c == u'&' ? void(++amps) : others.push_back(c);
    for (char16_t c : stripped) c == u'&' ? void(++keptAmps) : kept.push_back(c);
    KS_FUZZ_CHECK(others == kept && keptAmps <= amps);
    if (text.find(u'&') == std::u16string::npos) KS_FUZZ_CHECK(stripped == text && prefix == -1);
}

void CheckTabs(const std::u16string& text) {
    const std::u16string expanded = ExpandTabs(text);
    KS_FUZZ_CHECK(expanded.find(u'\t') == std::u16string::npos);
    std::u16string a, b;
    for (char16_t c : text)
        if (c != u'\t' && c != u' ') a += c;
    for (char16_t c : expanded)
        if (c != u' ') b += c;
    KS_FUZZ_CHECK(a == b);
    // Every tab ends at a multiple of 8 columns from the line's start.
    size_t column = 0, at = 0;
    for (char16_t c : text) {
        if (c == u'\t') {
            at += 8 - column % 8;
            column += 8 - column % 8;
            KS_FUZZ_CHECK(column % 8 == 0);
        } else {
            KS_FUZZ_CHECK(expanded[at] == c);
            ++at;
            column = IsBreak(c) ? 0 : column + 1;
        }
    }
    KS_FUZZ_CHECK(at == expanded.size());
}

void CheckEllipsis(const std::u16string& text, int32_t maxWidth, bool fromStart) {
    const std::u16string result = EllipsizeLine(Width, text, maxWidth, fromStart);
    if (Width(text) <= maxWidth) return KS_FUZZ_CHECK(result == text);
    if (result == u"...") return;
    KS_FUZZ_CHECK(result.size() > 3 && result.size() <= text.size() + 2);
    KS_FUZZ_CHECK(Width(result) <= maxWidth);
    const std::u16string kept = fromStart ? result.substr(3) : result.substr(0, result.size() - 3);
    KS_FUZZ_CHECK((fromStart ? result.substr(0, 3) : result.substr(result.size() - 3)) == u"...");
    KS_FUZZ_CHECK(fromStart ? text.ends_with(kept) : text.starts_with(kept));
    // The longest that fits: one character more would not.
    const size_t n = kept.size() + 1;
    if (n < text.size()) {
        const std::u16string longer = fromStart ? u"..." + text.substr(text.size() - n) : text.substr(0, n) + u"...";
        KS_FUZZ_CHECK(Width(longer) > maxWidth);
    }
}

void CheckCopy(const std::u16string& text, int32_t index, int32_t count) {
    const std::u16string copy = CopyChars(text, index, count);
    if (index < 0 || size_t(index) >= text.size() || count < 1) return KS_FUZZ_CHECK(copy.empty());
    KS_FUZZ_CHECK(copy == text.substr(size_t(index), size_t(count)));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.size() < 2) return;
    const int32_t maxWidth = int32_t(data[0]) - 8;
    const uint8_t options = data[1];
    std::u16string text;
    for (uint8_t b : data.subspan(2, std::min(data.size() - 2, kMaxText))) text += kAlphabet[b % 10];

    CheckLines(text, maxWidth, options & 1);
    CheckLines(ExpandTabs(text), maxWidth, true);
    CheckPrefix(text);
    CheckTabs(text);
    CheckEllipsis(text, maxWidth, options & 2);
    CheckCopy(text, int32_t(options % 16) - 2, int32_t(options / 16) - 2);

    TTextLines single;
    BreakLines(Width, text, maxWidth, true, options & 1, single);
    KS_FUZZ_CHECK(single.size() == 1 && single[0].Text == text && single[0].Start == 0);
}

// Text layout: prefixes, tabs, line breaks, word wrap, ellipsis and
// alignment, through the canvas's measurements only, so that every backend
// lays a text out alike for the same measurements.
#include <algorithm>

#include "Zyl.Graphics.h"

namespace Zyl {

namespace {

constexpr std::u16string_view kEllipsis = u"...";

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

int32_t IndexOf(size_t index) { return ClampToInt32(int64_t(index)); }

// Wraps one paragraph at spaces; `base` is its start in the whole text.
void WrapParagraph(const TTextWidth& width, std::u16string_view p, int32_t base, int32_t maxWidth,
                   TTextLines& lines) {
    if (p.empty()) return AppendLine(lines, {}, base);
    size_t e = 0;
    while (e < p.size()) {
        size_t j = 0;
        size_t space = SIZE_MAX;
        while (e + j < p.size()) {
            const size_t k = e + j;
            if (k > e && width(p.substr(e, j + 1)) > maxWidth) break;
            ++j;
            if (p[k] == u' ') space = k;
        }
        if (e + j == p.size()) return AppendLine(lines, std::u16string(p.substr(e)), base + IndexOf(e));
        if (space != SIZE_MAX && space > e) {
            AppendLine(lines, std::u16string(p.substr(e, space - e)), base + IndexOf(e));
            e = space + 1;
        } else {
            // A word longer than the width is cut; a line keeps at least one character.
            AppendLine(lines, std::u16string(p.substr(e, j)), base + IndexOf(e));
            e += j;
        }
    }
}

} // namespace

std::u16string StripPrefix(std::u16string_view text, int32_t& prefixIndex) {
    std::u16string result;
    prefixIndex = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            if (text[i + 1] == u'&') {
                result += u'&';
                ++i;
            } else if (prefixIndex == -1) {
                prefixIndex = IndexOf(result.size());
            }
            continue;
        }
        result += text[i];
    }
    return result;
}

std::u16string ExpandTabs(std::u16string_view text) {
    std::u16string result;
    size_t column = 0;
    for (char16_t c : text) {
        if (c == u'\t') {
            const size_t spaces = 8 - column % 8;
            result.append(spaces, u' ');
            column += spaces;
        } else {
            result += c;
            column = IsBreak(c) ? 0 : column + 1;
        }
    }
    return result;
}

void AppendLine(TTextLines& lines, std::u16string text, int32_t start) {
    lines.push_back({std::move(text), start});
}

void BreakLines(const TTextWidth& width, std::u16string_view text, int32_t maxWidth, bool singleLine,
                bool wordWrap, TTextLines& lines) {
    lines.clear();
    if (singleLine) return AppendLine(lines, std::u16string(text), 0);
    const bool noWrap = !wordWrap || maxWidth < 1;
    size_t lineStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsBreak(text[i])) continue;
        const std::u16string_view paragraph =
            i > lineStart ? text.substr(lineStart, i - lineStart) : std::u16string_view();
        if (noWrap) AppendLine(lines, std::u16string(paragraph), IndexOf(lineStart));
        else WrapParagraph(width, paragraph, IndexOf(lineStart), maxWidth, lines);
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
        lineStart = i + 1;
    }
}

std::u16string EllipsizeLine(const TTextWidth& width, std::u16string_view text, int32_t maxWidth,
                             bool fromStart) {
    if (width(text) <= maxWidth) return std::u16string(text);
    for (size_t n = text.size(); n-- > 0;) {
        std::u16string candidate = fromStart ? std::u16string(kEllipsis).append(text.substr(text.size() - n))
                                             : std::u16string(text.substr(0, n)).append(kEllipsis);
        if (width(candidate) <= maxWidth) return candidate;
    }
    return std::u16string(kEllipsis);
}

std::u16string CopyChars(std::u16string_view text, int32_t index, int32_t count) {
    if (index < 0 || size_t(index) >= text.size() || count < 1) return {};
    return std::u16string(text.substr(size_t(index), size_t(count)));
}

// ---- TCanvas -------------------------------------------------------------------

int32_t TCanvas::TextWidth(std::u16string_view text) {
    return TextExtent(std::u16string(text)).Width;
}

void TCanvas::LineMetrics(int32_t& height, int32_t& ascent) {
    int32_t descent = 0, internalLeading = 0, externalLeading = 0, aveCharWidth = 0, maxCharWidth = 0;
    platformCanvas_->FontMetrics(height, ascent, descent, internalLeading, externalLeading, aveCharWidth,
                                 maxCharWidth);
}

void TCanvas::DrawTextDecorations(int32_t x, int32_t y, int32_t width) {
    const TFontStyles style = font_->Style();
    if (!(style & (fsUnderline | fsStrikeOut))) return;
    int32_t height = 0, ascent = 0;
    LineMetrics(height, ascent);
    const TColor color = ResolveColor(font_->Color());
    const int32_t right = ClampToInt32(int64_t(x) + width);
    if (style & fsUnderline) {
        const int64_t top = int64_t(y) + ascent + 1;
        platformCanvas_->FillRect(x, ClampToInt32(top), right, ClampToInt32(top + 1), color);
    }
    if (style & fsStrikeOut) {
        const int64_t top = int64_t(y) + 2 * int64_t(ascent) / 3;
        platformCanvas_->FillRect(x, ClampToInt32(top), right, ClampToInt32(top + 1), color);
    }
}

void TCanvas::DrawText(TRect& rect, std::u16string& text, TDrawTextFlags flags) {
    SyncFont();
    const bool singleLine = flags & txSingleLine;
    const bool wordWrap = flags >= txWordWrap;
    const bool ellipsis = flags & (txEllipsisEnd | txEllipsisStart);
    const TTextWidth width = [this](std::u16string_view s) { return TextWidth(s); };

    int32_t prefixIndex = -1;
    std::u16string prepared = flags & txNoPrefix ? text : StripPrefix(text, prefixIndex);
    if (flags & txExpandTabs) prepared = ExpandTabs(prepared);
    const int64_t boxWidth = int64_t(rect.Right) - rect.Left;
    const int32_t maxLineWidth = ClampToInt32(boxWidth);

    int32_t lineHeight = 0, ascent = 0;
    LineMetrics(lineHeight, ascent);
    if (lineHeight < 1) lineHeight = TextExtent(u"Hg").Height;

    TTextLines lines;
    BreakLines(width, prepared, maxLineWidth, singleLine, wordWrap, lines);
    if (!(flags & txMeasure) && ellipsis)
        for (TTextLine& line : lines)
            line.Text = EllipsizeLine(width, line.Text, maxLineWidth, flags & txEllipsisStart);

    const int64_t totalHeight = int64_t(lines.size()) * lineHeight;
    int32_t maxWidth = 0;
    for (const TTextLine& line : lines) maxWidth = std::max(maxWidth, width(line.Text));
    if (flags & txMeasure) {
        if (wordWrap && maxLineWidth >= 1 && maxWidth >= maxLineWidth) maxWidth = maxLineWidth;
        rect.Right = ClampToInt32(int64_t(rect.Left) + maxWidth);
        rect.Bottom = ClampToInt32(rect.Top + totalHeight);
        return;
    }
    if ((flags & txModifyText) && ellipsis) text = lines.front().Text;

    int64_t y = rect.Top;
    if (singleLine) {
        if (flags & txVCenter) y = rect.Top + (int64_t(rect.Bottom) - rect.Top - totalHeight) / 2;
        else if (flags & txBottom) y = rect.Bottom - totalHeight;
    }

    Changing();
    const bool clip = !(flags & txNoClip);
    if (clip) platformCanvas_->Save();
    try {
        if (clip) platformCanvas_->ClipRect(rect.Left, rect.Top, rect.Right, rect.Bottom);
        const TColor color = ResolveColor(font_->Color());
        for (const TTextLine& line : lines) {
            const int32_t w = width(line.Text);
            int64_t x = rect.Left;
            if (flags & txCenter) x = rect.Left + (boxWidth - w) / 2;
            else if (flags & txRight) x = int64_t(rect.Right) - w;
            const int32_t lineX = ClampToInt32(x), lineY = ClampToInt32(y);
            if (!line.Text.empty()) {
                platformCanvas_->TextOut(lineX, lineY, line.Text);
                DrawTextDecorations(lineX, lineY, w);
            }
            const int64_t p = int64_t(prefixIndex) - line.Start;
            if (prefixIndex >= 0 && p >= 0 && p < int64_t(line.Text.size())) {
                const int64_t left = x + width(CopyChars(line.Text, 0, int32_t(p)));
                const int64_t top = y + ascent + 1;
                platformCanvas_->FillRect(ClampToInt32(left), ClampToInt32(top),
                                          ClampToInt32(left + width(CopyChars(line.Text, int32_t(p), 1))),
                                          ClampToInt32(top + 1), color);
            }
            y += lineHeight;
        }
    } catch (...) {
        // A canvas that lives on (a bitmap's) must not stay clipped to the
        // text with attributes it believes pushed; a failing Restore must not
        // replace the exception that brought us here.
        if (clip) {
            try {
                platformCanvas_->Restore();
            } catch (...) {
            }
        }
        MarkAllDirty();
        throw;
    }
    if (clip) platformCanvas_->Restore();
    MarkAllDirty();
    Changed();
}

} // namespace Zyl

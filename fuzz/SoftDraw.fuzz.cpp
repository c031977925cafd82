// Random command sequences over every drawing and text slot of a soft
// canvas: pens of any width, style and mode, brushes, fonts of any height,
// text angles, origins, clip operations, and coordinates that mix small and
// extreme values. After each command no pixel outside the clip box may have
// changed (the sanitizers and the pixel checks watch the rest), and the
// whole input must stay within libFuzzer's time and memory limits.
//
// Input: a surface byte, then one byte per command followed by its
// arguments, one byte each (a few byte values stand for int32 extremes).
#include <algorithm>
#include <string>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;

namespace {

class TReader : public KsFuzz::TByteReader {
public:
    using TByteReader::TByteReader;
    int32_t Coordinate() {
        const uint8_t b = Byte();
        switch (b) {
        case 245: return 1 << 30;
        case 246: return -(1 << 30);
        case 247: return 100000;
        case 248: return 8193;
        case 249: return -8193;
        case 250: return INT32_MIN;
        case 251: return INT32_MAX;
        case 252: return INT32_MIN + 1;
        case 253: return INT32_MAX - 1;
        case 254: return 16384;
        default: return int32_t(b) - 40;
        }
    }
    int32_t Word() { return Int32(); }
    // Pen widths: mostly small, now and then anything up to INT32_MAX.
    int32_t Width() {
        const uint8_t b = Byte();
        return b >= 250 ? Int32() & INT32_MAX : b % 70;
    }
};

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    const uint8_t shape = in.Byte();
    const int32_t width = shape % 48 + 1, height = (shape / 48 + 1) * 9 % 48 + 1;
    auto surface = System::MakeRef<TSoftSurface>(width, height, (shape & 1) != 0);
    TRef<TPlatformCanvas> ref = surface->CreateCanvas();
    TSoftCanvas& c = static_cast<TSoftCanvas&>(*ref);
    uint32_t* pixels = reinterpret_cast<uint32_t*>(c.Bits);
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i) pixels[i] = uint32_t(i * 2654435761u) | 0xFF000000u;
    std::vector<TPlatformPoint> points;
    std::vector<uint32_t> before;

    for (int steps = 0; in.More() && steps < 40; ++steps) {
        before.assign(pixels, pixels + count);
        const TClipBox box = c.ClipBox;
        auto p = [&] { return in.Coordinate(); };
        const uint8_t command = in.Byte() % 30;
        switch (command) {
        case 0: c.SetPen(in.Word(), in.Width(), in.Byte() % 8); break;
        case 1: c.SetBrush(in.Word(), in.Byte() % 9); break;
        case 2: c.SetRop2(int32_t(in.Byte() % 18) - 1); break;
        case 3: c.SetBackground(in.Word(), in.Byte() & 1); break;
        case 4: {
            const uint8_t h = in.Byte();
            const int32_t size = h >= 250 ? in.Word() : int32_t(h % 80) - 40;
            c.SetFont(u"Fuzz", size, in.Byte(), in.Word());
            break;
        }
        case 5: c.SetTextAngle(in.Word()); break;
        case 6: c.SetOrigin(p(), p()); break;
        case 7: c.ClipRect(p(), p(), p(), p()); break;
        case 8: c.ClipExclude(p(), p(), p(), p()); break;
        case 9: (in.Byte() & 1) ? c.Save() : c.Restore(); break;
        case 10: c.ResetClip(); break;
        case 11: c.MoveTo(p(), p()); break;
        case 12: c.LineTo(p(), p()); break;
        case 13: c.Rectangle(p(), p(), p(), p()); break;
        case 14: c.RoundRect(p(), p(), p(), p(), p(), p()); break;
        case 15: c.Ellipse(p(), p(), p(), p()); break;
        case 16: c.Arc(p(), p(), p(), p(), p(), p(), p(), p()); break;
        case 17: c.Chord(p(), p(), p(), p(), p(), p(), p(), p()); break;
        case 18: c.Pie(p(), p(), p(), p(), p(), p(), p(), p()); break;
        case 19:
        case 20:
        case 21: {
            points.resize(in.Byte() % 12);
            for (TPlatformPoint& q : points) q = {p(), p()};
            // The last index may lie beyond the array.
            const int32_t last = int32_t(in.Byte() % 16) - 1;
            if (command == 19) c.Polyline(points.data(), int32_t(points.size()), last);
            else if (command == 20) c.Polygon(points.data(), int32_t(points.size()), last, in.Byte() & 1);
            else c.PolyBezier(points.data(), int32_t(points.size()), last);
            break;
        }
        case 22: c.FillRect(p(), p(), p(), p(), in.Word()); break;
        case 23: c.FillRectBrush(p(), p(), p(), p()); break;
        case 24: c.FrameRect(p(), p(), p(), p()); break;
        case 25: c.DrawFocusRect(p(), p(), p(), p()); break;
        case 26: c.SetPixel(p(), p(), in.Word()); break;
        case 27: c.FloodFill(p(), p(), in.Word(), in.Byte() & 1); break;
        case 28: {
            std::u16string text;
            for (int n = in.Byte() % 4; n > 0; --n) text += char16_t(in.Byte() | (in.Byte() & 1 ? 0xD800 : 0));
            if (in.Byte() & 1) c.TextOut(p(), p(), text);
            else c.TextRect(p(), p(), p(), p(), p(), p(), text, in.Byte() & 1);
            break;
        }
        default: {
            int32_t w, h, m[7];
            c.TextExtent(u"AB", w, h);
            c.FontMetrics(m[0], m[1], m[2], m[3], m[4], m[5], m[6]);
            (void)c.GetPixel(p(), p());
            break;
        }
        }
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                const bool inside = x >= box.Left && x < box.Right && y >= box.Top && y < box.Bottom;
                KS_FUZZ_CHECK(inside || pixels[i] == before[i]);
            }
    }
}

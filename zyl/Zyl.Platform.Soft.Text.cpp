#include "Zyl.Platform.Soft.Text.h"

#include <algorithm>
#include <array>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.Soft.Support.h"

namespace Zyl {

using System::MakeRef;

// ---- Outlines ---------------------------------------------------------------

void TSoftOutline::Append(uint8_t command, std::initializer_list<int32_t> coords) {
    RaiseOnBadAlloc([&] {
        if (size_t(CommandCount) >= Commands.size())
            Commands.resize(Commands.empty() ? 16 : 2 * Commands.size() + 16);
        Commands[size_t(CommandCount++)] = command;
        for (auto it = coords.begin(); it != coords.end(); it += 2) {
            if (Coords.size() < size_t(CoordCount) + 2)
                Coords.resize(Coords.empty() ? 32 : 2 * Coords.size() + 32);
            Coords[size_t(CoordCount++)] = it[0];
            Coords[size_t(CoordCount++)] = it + 1 != coords.end() ? it[1] : 0;
        }
    });
}

void TSoftOutline::MoveTo(int32_t x, int32_t y) { Append(CmdMoveTo, {x, y}); }
void TSoftOutline::LineTo(int32_t x, int32_t y) { Append(CmdLineTo, {x, y}); }
void TSoftOutline::Close() { Append(CmdClose, {}); }

// ---- Area accumulation --------------------------------------------------------

TSoftRaster::TSoftRaster(int32_t width, int32_t height)
    : Width(width), Height(height), RowLength(width + 2) {
    ResizeOrRaise(Cells, size_t(height) * size_t(RowLength));
}

void TSoftRaster::AddToCells(int64_t row, int64_t column, int64_t m, int64_t h) {
    const size_t at = size_t(row * RowLength + column);
    ZYL_PIXEL_CHECK(row >= 0 && row < Height && column >= 0 && column + 1 < RowLength);
    Cells[at] += uint32_t((512 - m) * h);
    Cells[at + 1] += uint32_t(m * h);
}

namespace {

// dx * t / dy rounded to nearest, for 0 <= t <= dy: the x offset of a line
// running dx across and dy down, t below its top. The product takes up to
// 83 bits for the coordinates that AddLine admits.
int64_t CrossingOffset(int64_t dx, int64_t dy, int64_t t) {
    return int64_t(FloorDiv<__int128>(__int128(2) * dx * t + dy, __int128(2) * dy));
}

} // namespace

void TSoftRaster::AddLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (y0 == y1) return;
    const int64_t dir = y0 < y1 ? 1 : -1;
    const int64_t xt = y0 < y1 ? x0 : x1, yt = y0 < y1 ? y0 : y1;
    const int64_t xb = y0 < y1 ? x1 : x0, yb = y0 < y1 ? y1 : y0;
    const int64_t dx = xb - xt, dy = yb - yt;
    if (yb <= 0 || yt >= 256 * int64_t(Height)) return;
    const int64_t first = std::max<int64_t>(0, yt / 256);
    const int64_t last = std::min<int64_t>(Height - 1, (yb - 1) / 256);
    const int64_t rightEdge = 256 * int64_t(Width);
    for (int64_t r = first; r <= last; ++r) {
        const int64_t sTop = std::max(yt, 256 * r), sBot = std::min(yb, 256 * r + 256);
        const int64_t xA = xt + CrossingOffset(dx, dy, sTop - yt);
        const int64_t xB = xt + CrossingOffset(dx, dy, sBot - yt);
        const int64_t yA = sTop - 256 * r, yB = sBot - 256 * r;
        int64_t x = xA <= xB ? xA : xB, y = xA <= xB ? yA : yB;
        int64_t rx = xA <= xB ? xB : xA;
        const int64_t ry = xA <= xB ? yB : yA;
        x = std::clamp<int64_t>(x, 0, rightEdge);
        rx = std::clamp<int64_t>(rx, 0, rightEdge);
        for (;;) {
            const int64_t c = x / 256, next = 256 * c + 256;
            if (rx <= next) {
                const int64_t h = dir * (ry > y ? ry - y : y - ry);
                AddToCells(r, c, std::clamp<int64_t>(x + rx - 512 * c, 0, 512), h);
                break;
            }
            const int64_t e = FloorDiv((rx - x) + 2 * (ry - y) * (next - x), 2 * (rx - x));
            AddToCells(r, c, std::clamp<int64_t>(x + next - 512 * c, 0, 512), dir * (e < 0 ? -e : e));
            x = next;
            y += e;
        }
    }
}

// ---- Sine ---------------------------------------------------------------------

namespace {

// sin(i degrees) * 65536, rounded.
constexpr std::array<int32_t, 91> kSineTable = {
    0, 1144, 2287, 3430, 4572, 5712, 6850, 7987, 9121, 10252,
    11380, 12505, 13626, 14742, 15855, 16962, 18064, 19161, 20252, 21336,
    22415, 23486, 24550, 25607, 26656, 27697, 28729, 29753, 30767, 31772,
    32768, 33754, 34729, 35693, 36647, 37590, 38521, 39441, 40348, 41243,
    42126, 42995, 43852, 44695, 45525, 46341, 47143, 47930, 48703, 49461,
    50203, 50931, 51643, 52339, 53020, 53684, 54332, 54963, 55578, 56175,
    56756, 57319, 57865, 58393, 58903, 59396, 59870, 60326, 60764, 61183,
    61584, 61966, 62328, 62672, 62997, 63303, 63589, 63856, 64104, 64332,
    64540, 64729, 64898, 65048, 65177, 65287, 65376, 65446, 65496, 65526,
    65536,
};

} // namespace

int32_t SoftSine(int32_t angle) {
    const int32_t a = FloorMod(angle, 3600);
    const int32_t c = a < 1800 ? a : a - 1800;
    const int32_t d = c <= 900 ? c : 1800 - c;
    const int32_t e = kSineTable[size_t(d / 10)];
    const int32_t next = d <= 899 ? kSineTable[size_t(d / 10 + 1)] : e;
    const int32_t v = e + (next - e) * (d % 10) / 10;
    return a < 1800 ? v : -v;
}

int32_t SoftCosine(int32_t angle) { return SoftSine(int32_t(FloorMod<int64_t>(int64_t(angle) + 900, 3600))); }

// ---- Rasterization --------------------------------------------------------------

namespace {

int64_t ISqrt(int64_t n) {
    uint64_t x = 0;
    for (uint64_t bit = uint64_t(1) << 62; bit != 0; bit >>= 2) {
        if (uint64_t(n) >= x + bit) {
            n -= int64_t(x + bit);
            x = (x >> 1) + bit;
        } else {
            x >>= 1;
        }
    }
    return int64_t(x);
}

int64_t FlattenSteps(int64_t k) { return k >= 384 ? 48 : k / 8 + 1; }

int64_t Abs(int64_t v) { return v < 0 ? -v : v; }

struct TPoint64 {
    int64_t X, Y;
};

void AddQuad(TSoftRaster& raster, TPoint64 p0, TPoint64 p1, TPoint64 p2) {
    const int64_t d = std::max(Abs(p0.X - 2 * p1.X + p2.X), Abs(p0.Y - 2 * p1.Y + p2.Y));
    const int64_t n = FlattenSteps(ISqrt(d));
    auto at = [&](int64_t i, int64_t a, int64_t b, int64_t c) {
        return FloorDiv(n * n + 2 * ((n - i) * (n - i) * a + 2 * i * (n - i) * b + i * i * c), 2 * n * n);
    };
    TPoint64 prev = p0;
    for (int64_t i = 1; i <= n; ++i) {
        const TPoint64 q{at(i, p0.X, p1.X, p2.X), at(i, p0.Y, p1.Y, p2.Y)};
        raster.AddLine(prev.X, prev.Y, q.X, q.Y);
        prev = q;
    }
}

void AddCubic(TSoftRaster& raster, TPoint64 p0, TPoint64 p1, TPoint64 p2, TPoint64 p3) {
    const int64_t d = std::max({Abs(p0.X - 2 * p1.X + p2.X), Abs(p0.Y - 2 * p1.Y + p2.Y),
                                Abs(p1.X - 2 * p2.X + p3.X), Abs(p1.Y - 2 * p2.Y + p3.Y)});
    const int64_t n = FlattenSteps(ISqrt(3 * d / 4));
    auto at = [&](int64_t i, int64_t a, int64_t b, int64_t c, int64_t e) {
        const int64_t j = n - i;
        return FloorDiv(n * n * n + 2 * (j * j * j * a + 3 * j * j * i * b + 3 * j * i * i * c + i * i * i * e),
                        2 * n * n * n);
    };
    TPoint64 prev = p0;
    for (int64_t i = 1; i <= n; ++i) {
        const TPoint64 q{at(i, p0.X, p1.X, p2.X, p3.X), at(i, p0.Y, p1.Y, p2.Y, p3.Y)};
        raster.AddLine(prev.X, prev.Y, q.X, q.Y);
        prev = q;
    }
}

// The outline's points in 24.8 pixels, y downwards. Exact: a design
// coordinate times a large em size times 512 needs more than 64 bits.
struct TScaler {
    bool Rotate;
    int64_t Sin, Cos, EmPx, UnitsPerEm;

    void Scale(int64_t x, int64_t y, __int128& outX, __int128& outY) const {
        if (Rotate) {
            const int64_t rx = FloorDiv<int64_t>(x * Cos - y * Sin + 32768, 65536);
            const int64_t ry = FloorDiv<int64_t>(x * Sin + y * Cos + 32768, 65536);
            x = rx;
            y = ry;
        }
        const __int128 den = __int128(2) * UnitsPerEm;
        outX = FloorDiv<__int128>(__int128(x) * EmPx * 512 + UnitsPerEm, den);
        outY = -FloorDiv<__int128>(__int128(y) * EmPx * 512 + UnitsPerEm, den);
    }
};

// Walks the commands over the raster-relative points. A command that needs
// more points than remain ends the walk: it has nothing valid to read.
void AddContours(TSoftRaster& raster, const TSoftOutline& outline, int32_t commandCount,
                 const std::vector<TPoint64>& points) {
    size_t next = 0;
    TPoint64 current{0, 0}, start{0, 0};
    bool open = false;
    auto line = [&](TPoint64 a, TPoint64 b) { raster.AddLine(a.X, a.Y, b.X, b.Y); };
    for (int32_t i = 0; i < commandCount; ++i) {
        const uint8_t command = outline.Commands[size_t(i)];
        const size_t need = command == TSoftOutline::CmdMoveTo || command == TSoftOutline::CmdLineTo ? 1
                            : command == TSoftOutline::CmdQuadTo                                    ? 2
                            : command == TSoftOutline::CmdCubicTo                                   ? 3
                                                                                                    : 0;
        if (next + need > points.size()) break;
        const TPoint64* p = points.data() + next;
        next += need;
        switch (command) {
        case TSoftOutline::CmdMoveTo:
            if (open) line(current, start);
            start = current = p[0];
            open = true;
            break;
        case TSoftOutline::CmdLineTo:
            line(current, p[0]);
            current = p[0];
            break;
        case TSoftOutline::CmdQuadTo:
            AddQuad(raster, current, p[0], p[1]);
            current = p[1];
            break;
        case TSoftOutline::CmdCubicTo:
            AddCubic(raster, current, p[0], p[1], p[2]);
            current = p[2];
            break;
        case TSoftOutline::CmdClose:
            if (open) line(current, start);
            current = start;
            open = false;
            break;
        default:
            break;
        }
    }
    if (open) line(current, start);
}

} // namespace

TRef<TSoftGlyph> RasterizeOutline(const TSoftOutline& outline, int32_t emPx, int32_t unitsPerEm,
                                  int32_t sin, int32_t cos) {
    return RaiseOnBadAlloc([&] {
        auto glyph = MakeRef<TSoftGlyph>();
        const int32_t coordCount = std::clamp<int32_t>(outline.CoordCount, 0, int32_t(outline.Coords.size()));
        const int32_t commandCount = std::clamp<int32_t>(outline.CommandCount, 0, int32_t(outline.Commands.size()));
        if (coordCount < 2 || commandCount == 0) return glyph;
        if (unitsPerEm == 0) throw System::EDivByZero();

        const TScaler scaler{sin != 0 || cos != 65536, sin, cos, emPx, unitsPerEm};
        const size_t pointCount = size_t(coordCount / 2);
        std::vector<__int128> scaled(2 * pointCount);
        for (size_t i = 0; i < pointCount; ++i)
            scaler.Scale(outline.Coords[2 * i], outline.Coords[2 * i + 1], scaled[2 * i], scaled[2 * i + 1]);
        __int128 minX = scaled[0], maxX = scaled[0], minY = scaled[1], maxY = scaled[1];
        for (size_t i = 1; i < pointCount; ++i) {
            minX = std::min(minX, scaled[2 * i]);
            maxX = std::max(maxX, scaled[2 * i]);
            minY = std::min(minY, scaled[2 * i + 1]);
            maxY = std::max(maxY, scaled[2 * i + 1]);
        }
        const __int128 left = FloorDiv<__int128>(minX, 256), top = FloorDiv<__int128>(minY, 256);
        const __int128 width = std::max(left + 1, FloorDiv<__int128>(maxX + 255, 256)) - left;
        const __int128 height = std::max(top + 1, FloorDiv<__int128>(maxY + 255, 256)) - top;
        if (width > 4096 || height > 4096) return glyph;
        // A glyph must be placeable relative to an int32 pen position.
        if (left < INT32_MIN || left > INT32_MAX || top < INT32_MIN || top > INT32_MAX) return glyph;

        glyph->Width = int32_t(width);
        glyph->Height = int32_t(height);
        glyph->Left = int32_t(left);
        glyph->Top = int32_t(top);
        glyph->Coverage.resize(size_t(width * height));
        TSoftRaster raster(glyph->Width, glyph->Height);

        std::vector<TPoint64> points(pointCount);
        for (size_t i = 0; i < pointCount; ++i)
            points[i] = {int64_t(scaled[2 * i] - 256 * left), int64_t(scaled[2 * i + 1] - 256 * top)};
        AddContours(raster, outline, commandCount, points);

        uint8_t* out = glyph->Coverage.data();
        for (int32_t r = 0; r < raster.Height; ++r) {
            const uint32_t* row = raster.Cells.data() + size_t(r) * size_t(raster.RowLength);
            int64_t s = 0;
            for (int32_t c = 0; c < raster.Width; ++c) {
                s += int32_t(row[c]);
                const int64_t a = std::min<int64_t>(Abs(s), 131072);
                *out++ = uint8_t((255 * a + 65536) / 131072);
            }
        }
        return glyph;
    });
}

// ---- Fonts ----------------------------------------------------------------------

int32_t TSoftFont::CachedAdvance(uint32_t code) {
    if (code > 1023) return Advance(code);
    if (AdvanceCache.empty()) ResizeOrRaise(AdvanceCache, 1024);
    int32_t& entry = AdvanceCache[code];
    // Stored plus one so that 0 can mean "not yet known"; the wrap keeps any
    // advance exact.
    if (entry == 0) entry = int32_t(uint32_t(Advance(code)) + 1);
    return int32_t(uint32_t(entry) - 1);
}

int32_t TSoftFont::TextWidth(std::u16string_view text) {
    int64_t sum = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        sum += CachedAdvance(code);
    }
    return SaturateInt32(sum);
}

TRef<TSoftGlyph> TSoftFont::MakeGlyph(uint32_t code, int32_t sin, int32_t cos) const {
    return RaiseOnBadAlloc([&] {
        TSoftOutline outline;
        if (!GetOutline(code, outline)) return MakeRef<TSoftGlyph>();
        return RasterizeOutline(outline, EmPx(), UnitsPerEm(), sin, cos);
    });
}

size_t TSoftFont::FindSlot(uint32_t key) const {
    const size_t mask = GlyphKeys.size() - 1;
    size_t slot = size_t((uint64_t(key) * 2654435761u) >> 7) & mask;
    while (GlyphKeys[slot] != 0 && uint32_t(GlyphKeys[slot]) != key) slot = (slot + 1) & mask;
    return slot;
}

void TSoftFont::GrowGlyphCache() {
    const size_t old = GlyphKeys.size();
    const size_t length = (old == 0 || 2 * old < 65) ? 64 : 2 * old;
    std::vector<int32_t> oldKeys;
    std::vector<TRef<TSoftGlyph>> oldGlyphs;
    RaiseOnBadAlloc([&] {
        std::vector<int32_t> keys(length, 0);
        std::vector<TRef<TSoftGlyph>> glyphs(length);
        oldKeys.swap(GlyphKeys);
        oldGlyphs.swap(Glyphs);
        GlyphKeys.swap(keys);
        Glyphs.swap(glyphs);
    });
    for (size_t i = 0; i < old; ++i) {
        if (oldKeys[i] == 0) continue;
        const size_t slot = FindSlot(uint32_t(oldKeys[i]));
        GlyphKeys[slot] = oldKeys[i];
        Glyphs[slot] = std::move(oldGlyphs[i]);
    }
}

TRef<TSoftGlyph> TSoftFont::GetGlyph(uint32_t code) {
    // Code 0xFFFFFFFF has no key (code + 1 wraps to the empty mark): it is
    // made on every request instead of being taken for an empty slot.
    const uint32_t key = code + 1;
    if (key == 0) return MakeGlyph(code, 0, 65536);
    if (GlyphKeys.empty() || int64_t(GlyphKeys.size()) < 2 * int64_t(GlyphCount) + 2) GrowGlyphCache();
    const size_t slot = FindSlot(key);
    if (uint32_t(GlyphKeys[slot]) == key) return Glyphs[slot];
    TRef<TSoftGlyph> glyph = MakeGlyph(code, 0, 65536);
    GlyphKeys[slot] = int32_t(key);
    Glyphs[slot] = glyph;
    ++GlyphCount;
    return glyph;
}

TRef<TSoftGlyph> TSoftFont::GetRotatedGlyph(uint32_t code, int32_t angle) {
    return MakeGlyph(code, SoftSine(angle), SoftCosine(angle));
}

// ---- The block font -----------------------------------------------------------

int32_t TSoftBlockFont::Tenths(int64_t k) const { return SaturateInt32((k * EmPixels + 5) / 10); }

int32_t TSoftBlockFont::Ascent() const { return Tenths(9); }
int32_t TSoftBlockFont::Descent() const { return std::max(1, Tenths(2)); }
int32_t TSoftBlockFont::InternalLeading() const {
    return SaturateInt32(std::max<int64_t>(0, int64_t(Ascent()) + Descent() - EmPixels));
}
int32_t TSoftBlockFont::AveCharWidth() const { return Tenths(6); }
int32_t TSoftBlockFont::MaxCharWidth() const { return Tenths(6); }
int32_t TSoftBlockFont::Advance(uint32_t code) const { return code < 32 ? 0 : Tenths(6); }

bool TSoftBlockFont::GetOutline(uint32_t code, TSoftOutline& outline) const {
    if (code <= 32) return false;
    const int32_t a = 560 + 70 * int32_t(code & 3);
    outline.MoveTo(80, 0);
    outline.LineTo(80, a);
    outline.LineTo(520, a);
    outline.LineTo(520, 0);
    outline.Close();
    return true;
}

// ---- Providers -------------------------------------------------------------------

TRef<TSoftFont> TSoftTextProvider::GetFont(const std::u16string& face, int32_t height, int32_t style) {
    return RaiseOnBadAlloc([&] {
        const std::u16string key = face + u"|" + System::Int64ToStr(height) + u"|" + System::Int64ToStr(style & 3);
        for (size_t i = 0; i < FontKeys.size(); ++i)
            if (FontKeys[i] == key) return Fonts[i];
        TRef<TSoftFont> font = CreateFont(face, height, style);
        FontKeys.reserve(FontKeys.size() + 1);
        Fonts.reserve(Fonts.size() + 1);
        FontKeys.push_back(key);
        Fonts.push_back(font);
        return font;
    });
}

TRef<TSoftFont> TSoftBlockProvider::CreateFont(const std::u16string&, int32_t height, int32_t) {
    // In 64 bits: -INT32_MIN does not fit an int32.
    const int64_t p = height < 0 ? -int64_t(height) : height == 0 ? 12 : 4 * int64_t(height) / 5;
    return RaiseOnBadAlloc([&] { return TRef<TSoftFont>(MakeRef<TSoftBlockFont>(SaturateInt32(std::max<int64_t>(4, p)))); });
}

TSoftTextProvider* GetSoftTextProvider() {
    static TRef<TSoftTextProvider> provider;
    if (!provider) provider = RaiseOnBadAlloc([] { return TRef<TSoftTextProvider>(MakeRef<TSoftBlockProvider>()); });
    return provider.Get();
}

} // namespace Zyl

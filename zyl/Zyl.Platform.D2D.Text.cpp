// Text of the "d2d" canvas: measured by GDI in one memory device context,
// drawn by DirectWrite with the face GDI chose, so that extents, metrics and
// baselines match the GDI canvas.
#include <windows.h>

#include <array>
#include <cmath>

#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Win.Api.h"

namespace Zyl {

using namespace WinApi;

namespace {

constexpr int32_t FormatCacheSize = 96;
constexpr int32_t LayoutCacheSize = 64;
// Captions and labels; longer texts are laid out at every drawing.
constexpr size_t LongestCachedText = 200;

struct TFormatEntry {
    std::u16string Key;
    TComPtr<IDWriteTextFormat> Format;
};

struct TLayoutEntry {
    std::u16string Key;
    TComPtr<IDWriteTextLayout> Layout;
    int32_t Offset = 0;
    float Squeeze = 1.0f;
};

// Shared by every canvas until the process ends.
struct TTextCaches {
    std::array<TFormatEntry, FormatCacheSize> Formats;
    int32_t FormatCount = 0;
    std::array<TLayoutEntry, LayoutCacheSize> Layouts;
    int32_t LayoutCount = 0;
    int32_t LayoutNext = 0;
};

TTextCaches& Caches() {
    static TTextCaches* caches = new TTextCaches;
    return *caches;
}

TComPtr<IDWriteTextFormat> GetTextFormat(const std::u16string& face, float size, bool bold, bool italic) {
    TTextCaches& c = Caches();
    const std::u16string key = TextFormatKey(face, size, bold, italic);
    for (int32_t i = 0; i < c.FormatCount; ++i)
        if (c.Formats[size_t(i)].Key == key) return c.Formats[size_t(i)].Format;
    TComPtr<IDWriteTextFormat> format;
    const TComPtr<IDWriteFactory> factory = GetDWriteFactory();
    if (!factory) return format;
    const HRESULT hr = factory->CreateTextFormat(
        System::WStr(face), nullptr, bold ? DWRITE_FONT_WEIGHT_BOLD : DWRITE_FONT_WEIGHT_NORMAL,
        italic ? DWRITE_FONT_STYLE_ITALIC : DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size, L"pt-br",
        format.Out());
    if (hr != S_OK || !format) return {};
    format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    if (c.FormatCount >= FormatCacheSize) {
        for (TFormatEntry& entry : c.Formats) entry = {};
        c.FormatCount = 0;
    }
    c.Formats[size_t(c.FormatCount++)] = {key, format};
    return format;
}

} // namespace

HDC D2DMemoryDC() {
    static HDC dc = pCreateCompatibleDC()(nullptr);
    return dc;
}

int32_t D2DTextFormatCacheCount() { return Caches().FormatCount; }
int32_t D2DTextLayoutCacheCount() { return Caches().LayoutCount; }
std::u16string D2DTextLayoutCacheKey(int32_t index) {
    return index >= 0 && index < LayoutCacheSize ? Caches().Layouts[size_t(index)].Key : std::u16string();
}

void ClearD2DTextCaches() {
    TTextCaches& c = Caches();
    for (TFormatEntry& entry : c.Formats) entry = {};
    for (TLayoutEntry& entry : c.Layouts) entry = {};
    c.FormatCount = c.LayoutCount = c.LayoutNext = 0;
}

TD2DCanvas::~TD2DCanvas() {
    if (FontHandle) {
        // Windows refuses to delete a font still selected into a device
        // context: the shared one lets it go first.
        const HDC dc = D2DMemoryDC();
        if (pGetCurrentObject()(dc, OBJ_FONT) == FontHandle) pSelectObject()(dc, pGetStockObject()(SYSTEM_FONT));
        pDeleteObject()(FontHandle);
    }
}

float TD2DCanvas::CharacterHeight(int32_t fontHeight) const {
    // A negative height asks an outline font for that character height, and
    // GDI draws it at exactly that size; Wine's metrics round the cell and
    // its leading apart, so that their difference misses it by a pixel at
    // some heights (16 for -15), and every run would come out wider or
    // narrower than GDI measures it.
    if (fontHeight < 0 && (Metrics.tmPitchAndFamily & TMPF_VECTOR)) return -float(fontHeight);
    const int32_t height = Metrics.tmHeight - Metrics.tmInternalLeading;
    return float(height < 2 ? 1 : height);
}

void TD2DCanvas::RealizeGdiFont() {
    const TD2DCanvasState& s = CurrentState;
    const HDC dc = D2DMemoryDC();
    const std::u16string key = FontKey(s.FontName, s.FontHeight, s.FontStyle);
    if (FontRealized && FontKey_ == key) {
        pSelectObject()(dc, FontHandle);
        return;
    }
    const bool bold = (s.FontStyle & 1) != 0, italic = (s.FontStyle & 2) != 0;
    LOGFONTW font{};
    font.lfHeight = s.FontHeight;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    const size_t nameLength = std::min<size_t>(s.FontName.size(), LF_FACESIZE - 1);
    std::copy_n(s.FontName.data(), nameLength, reinterpret_cast<char16_t*>(font.lfFaceName));
    const HFONT handle = pCreateFontIndirectW()(&font);
    pSelectObject()(dc, handle);
    if (FontHandle) pDeleteObject()(FontHandle);
    FontHandle = handle;
    Metrics = {};
    pGetTextMetricsW()(dc, &Metrics);
    wchar_t face[64] = {};
    pGetTextFaceW()(dc, 63, face);
    TextFormat = GetTextFormat(reinterpret_cast<const char16_t*>(face), CharacterHeight(s.FontHeight), bold,
                               italic);
    FontKey_ = key;
    FontRealized = true;
}

namespace {

SIZE GdiExtent(const std::u16string& text) {
    SIZE size{};
    pGetTextExtentPoint32W()(D2DMemoryDC(), System::WStr(text), int(text.size()), &size);
    return size;
}

} // namespace

void TD2DCanvas::DrawTextRun(int64_t x, int64_t y, const std::u16string& text, bool fillBackground) {
    if (text.empty()) return;
    RealizeGdiFont();
    const SIZE extent = GdiExtent(text);
    if (!TextFormat) return;
    const TD2DCanvasState& s = CurrentState;
    if (fillBackground && !s.BackTransparent && s.TextAngle == 0)
        ForEachPiece(x, y, x + extent.cx, y + extent.cy, false, [&](const D2D1_RECT_F& piece) {
            if (ID2D1Brush* back = BackgroundBrush()) Target()->FillRectangle(piece, back);
        });
    TTextCaches& c = Caches();
    const std::u16string key = TextLayoutKey(FontKey_, text);
    TLayoutEntry run;
    for (int32_t i = 0; i < c.LayoutCount && !run.Layout; ++i)
        if (c.Layouts[size_t(i)].Key == key) run = c.Layouts[size_t(i)];
    TComPtr<IDWriteTextLayout>& layout = run.Layout;
    if (!layout) {
        const TComPtr<IDWriteFactory> factory = GetDWriteFactory();
        if (!factory || factory->CreateGdiCompatibleTextLayout(System::WStr(text), UINT32(text.size()), TextFormat.Get(),
                                                               32768.0f, 32768.0f, 1.0f, nullptr, FALSE,
                                                               layout.Out()) != S_OK ||
            !layout)
            return;
        // A text of several lines reports its first line here.
        DWRITE_LINE_METRICS line{};
        UINT32 lines = 0;
        layout->GetLineMetrics(&line, 1, &lines);
        run.Offset = lines >= 1 ? int32_t(RoundTiesToEven(double(Metrics.tmAscent) - double(line.baseline))) : 0;
        // Controls lay text out by GDI's extents; DirectWrite joins some
        // letters ("fi") that GDI measures apart and may come out wider. Such
        // a run is drawn narrowed to its extent, so that a label it fills
        // keeps its last glyph; a run that fits is drawn as laid out.
        DWRITE_TEXT_METRICS size{};
        if (extent.cx > 0 && layout->GetMetrics(&size) == S_OK &&
            size.widthIncludingTrailingWhitespace > float(extent.cx))
            run.Squeeze = float(extent.cx) / size.widthIncludingTrailingWhitespace;
        if (text.size() <= LongestCachedText) {
            c.Layouts[size_t(c.LayoutNext)] = {key, layout, run.Offset, run.Squeeze};
            c.LayoutCount = std::max(c.LayoutCount, c.LayoutNext + 1);
            c.LayoutNext = (c.LayoutNext + 1) % LayoutCacheSize;
        }
    }
    // The DirectWrite baseline then falls on GDI's, y + ascent.
    const D2D1_POINT_2F origin = D2D1::Point2F(float(x), float(y + run.Offset));
    const D2D1::Matrix3x2F squeeze = D2D1::Matrix3x2F::Scale(run.Squeeze, 1.0f, D2D1::Point2F(float(x), float(y)));
    const auto drawLayout = [&](const D2D1_MATRIX_3X2_F& transform) {
        Target()->SetTransform(transform);
        if (ID2D1Brush* brush = SolidBrushFor(s.FontColor))
            Target()->DrawTextLayout(origin, layout.Get(), brush, D2D1_DRAW_TEXT_OPTIONS_NONE);
        Target()->SetTransform(D2D1::Matrix3x2F::Identity());
    };
    if (s.TextAngle == 0) {
        // Room for glyphs that overhang their cell: 2 pixels left, 4 right, 1 below.
        ForEachPiece(x - 2, y, x + extent.cx + 4, y + extent.cy + 1, true,
                     [&](const D2D1_RECT_F&) { drawLayout(squeeze); });
        return;
    }
    if (ClipRectsInUse(s.ClipRects, s.ClipCount) == 0) return;
    const double a = double(s.TextAngle) / 10.0 * 3.141592653589793 / 180.0;
    const float sn = float(std::sin(a)), cs = float(std::cos(a)), fx = float(x), fy = float(y);
    // Turns the drawing counter-clockwise on the screen about (x, y).
    const D2D1::Matrix3x2F turn =
        D2D1::Matrix3x2F(cs, -sn, sn, cs, fx - (sn * fy + cs * fx), sn * fx - cs * fy + fy);
    const TClipBox box = ClipRectsBounds(s.ClipRects, s.ClipCount);
    ForEachPiece(box.Left, box.Top, box.Right, box.Bottom, true,
                 [&](const D2D1_RECT_F&) { drawLayout(squeeze * turn); });
}

void TD2DCanvas::TextOut(int32_t x, int32_t y, const std::u16string& text) {
    DrawTextRun(int64_t(x) + CurrentState.OriginX, int64_t(y) + CurrentState.OriginY, text, true);
}

void TD2DCanvas::TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                          const std::u16string& text, bool opaque) {
    const TClipRectArray keptRects = CurrentState.ClipRects;
    const int32_t keptCount = CurrentState.ClipCount;
    // The clip comes back on every path, so that a failure inside leaves no
    // canvas clipped to this rectangle.
    struct TClipKeeper {
        TD2DCanvas& Canvas;
        const TClipRectArray& Rects;
        int32_t Count;
        ~TClipKeeper() {
            Canvas.CurrentState.ClipRects = Rects;
            Canvas.CurrentState.ClipCount = Count;
        }
    } keeper{*this, keptRects, keptCount};
    ClipRect(left, top, right, bottom);
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
    if (opaque)
        ForEachPiece(left + ox, top + oy, right + ox, bottom + oy, false, [&](const D2D1_RECT_F& piece) {
            if (ID2D1Brush* back = BackgroundBrush()) Target()->FillRectangle(piece, back);
        });
    DrawTextRun(x + ox, y + oy, text, !opaque);
}

void TD2DCanvas::TextExtent(const std::u16string& text, int32_t& width, int32_t& height) {
    RealizeGdiFont();
    if (text.empty()) {
        width = 0;
        height = GdiExtent(u"x").cy;
        return;
    }
    const SIZE size = GdiExtent(text);
    width = size.cx;
    height = size.cy;
}

void TD2DCanvas::FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                             int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) {
    RealizeGdiFont();
    WinApi::CopyFontMetrics(Metrics, height, ascent, descent, internalLeading, externalLeading, aveCharWidth,
                            maxCharWidth);
}

} // namespace Zyl

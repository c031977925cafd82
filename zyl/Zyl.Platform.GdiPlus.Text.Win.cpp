// Text on the GDI+ canvas: measured with GDI, drawn with GDI+ at the
// positions GDI's advances give, through a process-wide cache of 64 fonts.
#include "Zyl.Platform.GdiPlus.Text.h"

#include <cstring>

#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.Win.Api.h"

namespace Zyl {

using namespace WinApi;

namespace {

constexpr int32_t kFontCacheSize = 64;

struct TFontCache {
    std::array<TRef<TGdipFontEntry>, kFontCacheSize> Slots;
    int32_t NextSlot = 0;
    HDC MeasuringContext = nullptr;
    TGpStringFormat* StringFormat = nullptr;
};

// Lives until the process ends, like the GDI+ start.
TFontCache& Cache() {
    static TFontCache* cache = new TFontCache;
    return *cache;
}

// GDI+'s typographic format without wrapping or clipping, trailing spaces
// measured; fetched once.
TGpStringFormat* SharedStringFormat() {
    TFontCache& cache = Cache();
    if (!cache.StringFormat) {
        Gdip.GdipStringFormatGetGenericTypographic(&cache.StringFormat);
        if (cache.StringFormat) Gdip.GdipSetStringFormatFlags(cache.StringFormat, 0x5800);
    }
    return cache.StringFormat;
}

bool HasSurrogate(const std::u16string& text) {
    for (char16_t c : text)
        if (c >= 0xD800 && c <= 0xDFFF) return true;
    return false;
}

// Where GDI+ puts the baseline of "H" against GDI's ascent: the lowest row
// that the letter covers by more than 100 of 255, drawn into a small bitmap.
// Its size follows the font, so it is computed in 64 bits and a font too
// large for a 2 GiB block keeps no shift.
float MeasureBaselineShift(TGpFont* font, int32_t em, int32_t ascent) {
    const int64_t width = 2 * int64_t(em) + 16, height = 3 * int64_t(em) + 16;
    if (width * height * 4 > INT32_MAX) return 0;
    THeapBlock<uint32_t> pixels = AllocZeroed<uint32_t>(uint64_t(width * height));
    TGdipImage bitmap;
    Gdip.GdipCreateBitmapFromScan0(int32_t(width), int32_t(height), int32_t(width * 4), GpPixelFormat32bppPArgb,
                                   reinterpret_cast<uint8_t*>(pixels.get()), bitmap.Out());
    if (!bitmap.Get()) return 0;
    {
        TGdipGraphics graphics;
        Gdip.GdipGetImageGraphicsContext(bitmap.Get(), graphics.Out());
        if (!graphics.Get()) return 0;
        Gdip.GdipSetTextRenderingHint(graphics.Get(), 3);
        TGdipBrush brush;
        Gdip.GdipCreateSolidFill(0xFF000000u, brush.Out());
        const TGpRectF layout{4, 4, 32768, 32768};
        Gdip.GdipDrawString(graphics.Get(), L"H", 1, font, &layout, SharedStringFormat(), brush.Get());
    }
    for (int64_t row = height - 1; row >= 0; --row)
        for (int64_t x = 0; x < width; ++x)
            if (pixels[size_t(row * width + x)] >= 0x65000000u) return float(ascent - row + 3);
    return 0;
}

TRef<TGdipFontEntry> MakeFontEntry(const std::u16string& key, const std::u16string& name, int32_t height,
                                   int32_t style) {
    TRef<TGdipFontEntry> entry = RaiseOnBadAlloc([] { return System::MakeRef<TGdipFontEntry>(); });
    entry->Key = key;
    entry->CharWidths.fill(-1);
    LOGFONTW log{};
    log.lfHeight = height;
    log.lfWeight = (style & 1) ? 700 : 400;
    log.lfItalic = (style & 2) ? 1 : 0;
    log.lfUnderline = (style & 4) ? 1 : 0;
    log.lfStrikeOut = (style & 8) ? 1 : 0;
    log.lfCharSet = DEFAULT_CHARSET;
    log.lfQuality = CLEARTYPE_QUALITY;
    std::memcpy(log.lfFaceName, name.data(), std::min<size_t>(name.size(), 31) * sizeof(wchar_t));
    entry->Font = pCreateFontIndirectW()(&log);
    const HDC dc = EnsureGdipMeasuringContext();
    pSelectObject()(dc, entry->Font);
    pGetTextMetricsW()(dc, &entry->Metrics);
    wchar_t face[64] = {};
    pGetTextFaceW()(dc, 63, face);
    entry->FaceName = System::FromWStr(face);
    Gdip.GdipCreateFontFamilyFromName(face, nullptr, &entry->Family);
    if (entry->Family) {
        const int32_t cell = entry->Metrics.tmHeight - entry->Metrics.tmInternalLeading;
        const int32_t em = cell < 2 ? 1 : cell;
        Gdip.GdipCreateFont(entry->Family, float(em), style & 15, 2, &entry->GdipFont);
        if (entry->GdipFont) entry->BaselineShift = MeasureBaselineShift(entry->GdipFont, em, entry->Metrics.tmAscent);
    }
    return entry;
}

// The advance of one UTF-16 unit in the selected font; Latin-1 from the
// entry's table, measured once.
int32_t Advance(TGdipFontEntry& entry, HDC dc, char16_t c) {
    if (c < 256 && entry.CharWidths[c] >= 0) return entry.CharWidths[c];
    INT width = 0;
    pGetCharWidth32W()(dc, c, c, &width);
    if (c < 256) entry.CharWidths[c] = width;
    return width;
}

} // namespace

HDC EnsureGdipMeasuringContext() {
    TFontCache& cache = Cache();
    if (!cache.MeasuringContext) cache.MeasuringContext = pCreateCompatibleDC()(nullptr);
    return cache.MeasuringContext;
}

TGdipFontEntry::~TGdipFontEntry() {
    if (GdipFont) Gdip.GdipDeleteFont(GdipFont);
    if (Family) Gdip.GdipDeleteFontFamily(Family);
    if (!Font) return;
    // GDI refuses to delete a font that is selected into a context, and the
    // measuring context keeps the font of the last text operation.
    const HDC dc = Cache().MeasuringContext;
    if (dc && pGetCurrentObject()(dc, OBJ_FONT) == Font) pSelectObject()(dc, pGetStockObject()(SYSTEM_FONT));
    pDeleteObject()(Font);
}

void TGdipCanvas::SetFont(const std::u16string& name, int32_t height, int32_t style, int32_t color) {
    state_.FontName = name;
    state_.FontSize = height;
    state_.FontStyle = style;
    state_.FontColor = color & 0xFFFFFF;
}

void TGdipCanvas::SetTextAngle(int32_t angle) { state_.TextAngle = angle % 3600; }

void* TGdipCanvas::GdiFontHandle() const { return currentFont_ ? currentFont_->Font : nullptr; }

void TGdipCanvas::SelectGdipFont() {
    const HDC dc = EnsureGdipMeasuringContext();
    std::u16string key = state_.FontName + u"|" + System::Int64ToStr(state_.FontSize) + u"|" +
                         System::Int64ToStr(state_.FontStyle & 15);
    if (fontSelected_ && key == currentFontKey_ && currentFont_) {
        pSelectObject()(dc, currentFont_->Font);
        return;
    }
    TFontCache& cache = Cache();
    TRef<TGdipFontEntry> entry;
    for (const auto& slot : cache.Slots)
        if (slot && slot->Key == key) {
            entry = slot;
            break;
        }
    if (!entry) {
        entry = MakeFontEntry(key, state_.FontName, state_.FontSize, state_.FontStyle & 15);
        cache.Slots[size_t(cache.NextSlot)] = entry;
        cache.NextSlot = (cache.NextSlot + 1) % kFontCacheSize;
    }
    pSelectObject()(dc, entry->Font);
    currentFont_ = std::move(entry);
    currentFontKey_ = std::move(key);
    fontSelected_ = true;
}

void TGdipCanvas::TextExtent(const std::u16string& text, int32_t& width, int32_t& height) {
    SelectGdipFont();
    SIZE size{};
    if (text.empty()) {
        pGetTextExtentPoint32W()(EnsureGdipMeasuringContext(), L"x", 1, &size);
        width = 0;
        height = size.cy;
        return;
    }
    pGetTextExtentPoint32W()(EnsureGdipMeasuringContext(), System::WStr(text), int(text.size()), &size);
    width = size.cx;
    height = size.cy;
}

void TGdipCanvas::FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                              int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) {
    SelectGdipFont();
    WinApi::CopyFontMetrics(currentFont_->Metrics, height, ascent, descent, internalLeading, externalLeading,
                            aveCharWidth, maxCharWidth);
}

void TGdipCanvas::TextOut(int32_t x, int32_t y, const std::u16string& text) {
    DrawGdipText(SaturateInt32(int64_t(x) + state_.OriginX), SaturateInt32(int64_t(y) + state_.OriginY), text, true);
}

void TGdipCanvas::TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                           const std::u16string& text, bool opaque) {
    const TClipRectArray keptRects = state_.ClipRects;
    const int32_t keptCount = state_.ClipCount;
    ClipRect(left, top, right, bottom);
    // The clip comes back whatever happens in between, or every later
    // drawing of the canvas would stay inside this rectangle.
    try {
        // An opaque rectangle is the text's background: no second box.
        if (opaque) FillRectSolidPixels(Device(left, top, right, bottom), state_.BackColor);
        DrawGdipText(SaturateInt32(int64_t(x) + state_.OriginX), SaturateInt32(int64_t(y) + state_.OriginY), text,
                     !opaque);
    } catch (...) {
        state_.ClipRects = keptRects;
        state_.ClipCount = keptCount;
        clipDirty_ = true;
        throw;
    }
    state_.ClipRects = keptRects;
    state_.ClipCount = keptCount;
    clipDirty_ = true;
}

void TGdipCanvas::DrawGdipText(int32_t x, int32_t y, const std::u16string& text, bool backgroundAllowed) {
    if (text.empty()) return;
    SelectGdipFont();
    const HDC dc = EnsureGdipMeasuringContext();
    SIZE size{};
    pGetTextExtentPoint32W()(dc, System::WStr(text), int(text.size()), &size);
    TGdipFontEntry& entry = *currentFont_;
    if (!entry.GdipFont) return;
    const bool rotated = state_.TextAngle != 0;
    if (backgroundAllowed && !state_.BackTransparent && !rotated)
        FillRectSolidPixels({x, y, SaturateInt32(int64_t(x) + size.cx), SaturateInt32(int64_t(y) + size.cy)},
                            state_.BackColor);
    TRect bounds{};
    if (rotated) {
        const TClipBox box = ClipRectsBounds(state_.ClipRects, state_.ClipCount);
        bounds = {box.Left, box.Top, box.Right, box.Bottom};
    } else {
        bounds = {SaturateInt32(int64_t(x) - 2), y, SaturateInt32(int64_t(x) + size.cx + 4),
                  SaturateInt32(int64_t(y) + size.cy + 1)};
    }
    if (!PrepareGdipGraphics(bounds)) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    TGpBrush* brush = SolidBrushOf(state_.FontColor);
    const bool positioned = GdipOptions.LayoutMode && !HasSurrogate(text);
    std::vector<TGpPointF> positions;
    if (positioned) ResizeOrRaise(positions, text.size());
    float ox = float(x), oy = float(y) + entry.BaselineShift;
    if (rotated) {
        Gdip.GdipTranslateWorldTransform(g, float(x), float(y), 0);
        Gdip.GdipRotateWorldTransform(g, float(state_.TextAngle) / -10.0f, 0);
        ox = 0;
        oy = entry.BaselineShift;
    }
    if (positioned) {
        const float baseline = oy - entry.BaselineShift + float(entry.Metrics.tmAscent);
        float pen = ox;
        for (size_t k = 0; k < text.size(); ++k) {
            positions[k] = {pen, baseline};
            pen += float(Advance(entry, dc, text[k]));
        }
        Gdip.GdipDrawDriverString(g, reinterpret_cast<const uint16_t*>(text.data()), int32_t(text.size()),
                                  entry.GdipFont, brush, positions.data(), 1, nullptr);
    } else {
        const TGpRectF layout{ox, oy, 32768, 32768};
        Gdip.GdipDrawString(g, System::WStr(text), int32_t(text.size()), entry.GdipFont, &layout,
                            SharedStringFormat(), brush);
    }
    if (rotated) Gdip.GdipResetWorldTransform(g);
}

} // namespace Zyl

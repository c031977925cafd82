// The "d2d" canvas: its state and save stack, clipping and the drawing loop
// over clip pieces, brushes and pens, pixels and surface copies.
#include <windows.h>

#include <algorithm>
#include <limits>

#include "Zyl.Platform.D2D.h"

namespace Zyl {

using System::MakeRef;

TRef<TPlatformCanvas> TD2DSurface::CreateCanvas() { return MakeRef<TD2DCanvas>(this); }

TD2DCanvas::TD2DCanvas(TD2DSurface* surface) : Surface(surface) {
    ResetClipRects(CurrentState.ClipRects, CurrentState.ClipCount, surface->Width(), surface->Height());
    ClipPieces.resize(16);
    D2DMemoryDC();
}

// ---- State --------------------------------------------------------------------

void TD2DCanvas::Save() {
    if (size_t(SaveCount) >= SaveStack.size()) SaveStack.resize(size_t(SaveCount) * 2 + 8);
    SaveStack[size_t(SaveCount)] = CurrentState;
    ++SaveCount;
}

void TD2DCanvas::Restore() {
    if (SaveCount < 1) return;
    --SaveCount;
    CurrentState = SaveStack[size_t(SaveCount)];
}

void TD2DCanvas::SetPen(int32_t color, int32_t width, int32_t style) {
    CurrentState.PenColor = color & 0xFFFFFF;
    CurrentState.PenWidth = width < 2 ? 1 : width;
    // Signed on purpose: a negative style stays and draws as a solid pen.
    CurrentState.PenStyle = style < 6 ? style : 0;
}

void TD2DCanvas::SetBrush(int32_t color, int32_t style) {
    CurrentState.BrushColor = color & 0xFFFFFF;
    CurrentState.BrushStyle = style;
}

void TD2DCanvas::SetFont(const std::u16string& name, int32_t height, int32_t style, int32_t color) {
    CurrentState.FontName = name;
    CurrentState.FontHeight = height;
    CurrentState.FontStyle = style;
    CurrentState.FontColor = color & 0xFFFFFF;
}

void TD2DCanvas::SetTextAngle(int32_t angle) { CurrentState.TextAngle = angle % 3600; }

void TD2DCanvas::SetBackground(int32_t color, bool transparent) {
    CurrentState.BackColor = color & 0xFFFFFF;
    CurrentState.BackTransparent = transparent;
}

void TD2DCanvas::SetRop2(int32_t mode) { CurrentState.Rop2 = uint32_t(mode) < 16 ? mode : 4; }

void TD2DCanvas::SetOrigin(int32_t x, int32_t y) {
    CurrentState.OriginX = x;
    CurrentState.OriginY = y;
}

void TD2DCanvas::GetOrigin(int32_t& x, int32_t& y) {
    x = CurrentState.OriginX;
    y = CurrentState.OriginY;
}

// ---- Clipping -----------------------------------------------------------------

namespace {

int32_t ToInt32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

void TD2DCanvas::ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
    IntersectClipRects(CurrentState.ClipRects, CurrentState.ClipCount, ToInt32(left + ox), ToInt32(top + oy),
                       ToInt32(right + ox), ToInt32(bottom + oy));
}

void TD2DCanvas::ClipExclude(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
    ExcludeClipRects(CurrentState.ClipRects, CurrentState.ClipCount, ToInt32(left + ox), ToInt32(top + oy),
                     ToInt32(right + ox), ToInt32(bottom + oy));
}

void TD2DCanvas::ResetClip() { SetSingleClipRect(0, 0, Surface->Width(), Surface->Height()); }

void TD2DCanvas::SetSingleClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    CurrentState.ClipRects = std::make_shared<const std::vector<int32_t>>(std::vector<int32_t>{left, top, right, bottom});
    CurrentState.ClipCount = 1;
}

bool TD2DCanvas::GetClipBox(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    if (ClipRectsInUse(CurrentState.ClipRects, CurrentState.ClipCount) == 0) {
        left = top = right = bottom = 0;
        return false;
    }
    const TClipBox box = ClipRectsBounds(CurrentState.ClipRects, CurrentState.ClipCount);
    left = ToInt32(int64_t(box.Left) - CurrentState.OriginX);
    top = ToInt32(int64_t(box.Top) - CurrentState.OriginY);
    right = ToInt32(int64_t(box.Right) - CurrentState.OriginX);
    bottom = ToInt32(int64_t(box.Bottom) - CurrentState.OriginY);
    return left < right && top < bottom;
}

int32_t TD2DCanvas::PrepareClipPieces(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    NoClipNeeded = false;
    const int32_t count = ClipRectsInUse(CurrentState.ClipRects, CurrentState.ClipCount);
    if (top >= bottom || left >= right || count == 0) return 0;
    // Clip rectangles lie on the surface, so cutting the bounds to int32
    // changes no piece.
    const int32_t l = ToInt32(left), t = ToInt32(top), r = ToInt32(right), b = ToInt32(bottom);
    const std::vector<int32_t>& clip = *CurrentState.ClipRects;
    int32_t pieces = 0;
    if (count == 1 && clip[0] <= l && clip[1] <= t && clip[2] >= r && clip[3] >= b) {
        NoClipNeeded = true;
        if (ClipPieces.size() < 4) ClipPieces.resize(16);
        ClipPieces[0] = l, ClipPieces[1] = t, ClipPieces[2] = r, ClipPieces[3] = b;
        pieces = 1;
    } else {
        pieces = ClipRectsToRect(CurrentState.ClipRects, count, l, t, r, b, ClipPieces);
    }
    if (pieces > 0) Surface->BeginSurfaceDraw();
    return pieces;
}

void TD2DCanvas::ForEachPiece(int64_t left, int64_t top, int64_t right, int64_t bottom, bool pushClip,
                              const TPieceDraw& draw) {
    const int32_t pieces = PrepareClipPieces(left, top, right, bottom);
    for (int32_t i = 0; i < pieces; ++i) {
        const int32_t* p = &ClipPieces[size_t(i) * 4];
        const D2D1_RECT_F piece = D2D1::RectF(float(p[0]), float(p[1]), float(p[2]), float(p[3]));
        const bool push = pushClip && !NoClipNeeded;
        if (push) Target()->PushAxisAlignedClip(piece, D2D1_ANTIALIAS_MODE_ALIASED);
        draw(piece);
        if (push) Target()->PopAxisAlignedClip();
    }
}

// ---- Brushes and pens -----------------------------------------------------------

ID2D1Brush* TD2DCanvas::SolidBrushFor(int32_t color) {
    ID2D1SolidColorBrush* brush = Surface->DrawBrush.Get();
    if (!brush) return nullptr;
    brush->SetColor(D2D1::ColorF(float(color & 0xFF) / 255.0f, float(color >> 8 & 0xFF) / 255.0f,
                                 float(color >> 16 & 0xFF) / 255.0f, 1.0f));
    LastBrush = TComPtr<ID2D1Brush>::Take(brush);
    return brush;
}

ID2D1Brush* TD2DCanvas::FillBrush() {
    const TD2DCanvasState& s = CurrentState;
    if (s.BrushStyle < 2 || s.BrushStyle > 7) return SolidBrushFor(s.BrushColor);
    const std::u16string key = HatchKey(s.BrushStyle, s.BrushColor, s.BackColor, s.BackTransparent);
    // A brush belongs to the target that made it: a layer's target makes its own.
    if (!HatchBrush || HatchKey_ != key || HatchTarget != Target()) {
        HatchBrush.Reset();
        HatchTarget = nullptr;
        const std::array<uint32_t, 64> pattern = HatchPixels(s.BrushStyle, s.BrushColor, s.BackColor, s.BackTransparent);
        D2D1_BITMAP_PROPERTIES properties{};
        properties.pixelFormat = D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED);
        properties.dpiX = properties.dpiY = 96.0f;
        TComPtr<ID2D1Bitmap> bitmap;
        if (Target()->CreateBitmap(D2D1::SizeU(8, 8), pattern.data(), 32, &properties, bitmap.Out()) != S_OK) return nullptr;
        const D2D1_BITMAP_BRUSH_PROPERTIES brushProperties = D2D1::BitmapBrushProperties(
            D2D1_EXTEND_MODE_WRAP, D2D1_EXTEND_MODE_WRAP, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
        if (Target()->CreateBitmapBrush(bitmap.Get(), &brushProperties, nullptr, HatchBrush.Out()) != S_OK) {
            HatchBrush.Reset();
            return nullptr;
        }
        HatchKey_ = key;
        HatchTarget = Target();
    }
    // The pattern stays anchored at the real surface's pixel (0, 0), also
    // inside a layer placed elsewhere on it.
    const float shiftX = LayerActive ? -float(LayerLeft) : 0.0f, shiftY = LayerActive ? -float(LayerTop) : 0.0f;
    HatchBrush->SetTransform(D2D1::Matrix3x2F::Translation(shiftX, shiftY));
    LastBrush = TComPtr<ID2D1Brush>::Take(HatchBrush.Get());
    return HatchBrush.Get();
}

namespace {

TComPtr<ID2D1StrokeStyle> MakeStrokeStyle(D2D1_CAP_STYLE cap, D2D1_LINE_JOIN join, D2D1_DASH_STYLE dash,
                                          const float* dashes, UINT32 dashCount) {
    TComPtr<ID2D1StrokeStyle> style;
    TComPtr<ID2D1Factory> factory = GetD2DFactory();
    if (!factory) return style;
    const D2D1_STROKE_STYLE_PROPERTIES properties = D2D1::StrokeStyleProperties(cap, cap, cap, join, 10.0f, dash, 0.0f);
    if (factory->CreateStrokeStyle(&properties, dashes, dashCount, style.Out()) != S_OK) style.Reset();
    return style;
}

} // namespace

ID2D1StrokeStyle* TD2DCanvas::DashStyle(int32_t penStyle) {
    if (penStyle < 1 || penStyle > 4) return nullptr;
    static const float dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6}, dashDotDot[] = {9, 3, 3, 3, 3, 3};
    static const struct {
        const float* Dashes;
        UINT32 Count;
    } patterns[] = {{dash, 2}, {dot, 2}, {dashDot, 4}, {dashDotDot, 6}};
    TComPtr<ID2D1StrokeStyle>& slot = DashStyles[penStyle];
    if (!slot) {
        const auto& p = patterns[penStyle - 1];
        slot = MakeStrokeStyle(D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN_MITER, D2D1_DASH_STYLE_CUSTOM, p.Dashes, p.Count);
    }
    return slot.Get();
}

ID2D1StrokeStyle* TD2DCanvas::WidePenStyle() {
    if (!WidePenStyle_)
        WidePenStyle_ = MakeStrokeStyle(D2D1_CAP_STYLE_ROUND, D2D1_LINE_JOIN_ROUND, D2D1_DASH_STYLE_SOLID, nullptr, 0);
    return WidePenStyle_.Get();
}

ID2D1StrokeStyle* TD2DCanvas::PenStroke(float& width) {
    ID2D1StrokeStyle* style = nullptr;
    if (CurrentState.PenWidth < 2) {
        width = 1.0f;
        style = DashStyle(CurrentState.PenStyle);
    } else {
        width = float(CurrentState.PenWidth);
        style = WidePenStyle();
    }
    LastStroke = TComPtr<ID2D1StrokeStyle>::Take(style);
    return style;
}

void TD2DCanvas::StrokeGeometry(ID2D1Geometry* geometry) {
    if (!geometry) return;
    float width = 1.0f;
    ID2D1StrokeStyle* style = PenStroke(width);
    if (ID2D1Brush* brush = PenBrush()) Target()->DrawGeometry(geometry, brush, width, style);
}

void TD2DCanvas::FillDeviceRect(int64_t left, int64_t top, int64_t right, int64_t bottom, ID2D1Brush* brush) {
    if (!brush || left >= right || top >= bottom) return;
    Target()->FillRectangle(D2D1::RectF(float(left), float(top), float(right), float(bottom)), brush);
}

// ---- Pixels -------------------------------------------------------------------

void TD2DCanvas::SetPixel(int32_t x, int32_t y, int32_t color) {
    const int64_t px = int64_t(x) + CurrentState.OriginX, py = int64_t(y) + CurrentState.OriginY;
    ForEachPiece(px, py, px + 1, py + 1, false, [&](const D2D1_RECT_F&) {
        if (ID2D1Brush* brush = SolidBrushFor(color)) Target()->FillRectangle(D2D1::RectF(float(px), float(py), float(px + 1), float(py + 1)), brush);
    });
}

int32_t TD2DCanvas::GetPixel(int32_t x, int32_t y) {
    const int64_t px = int64_t(x) + CurrentState.OriginX, py = int64_t(y) + CurrentState.OriginY;
    if (!ClipRectsContain(CurrentState.ClipRects, CurrentState.ClipCount, px, py)) return -1;
    return Surface->PixelAt(int32_t(px), int32_t(py));
}

void TD2DCanvas::FloodFill(int32_t x, int32_t y, int32_t color, bool toBorder) {
    const TD2DCanvasState& s = CurrentState;
    if (s.BrushStyle == 1) return;
    const int64_t px = int64_t(x) + s.OriginX, py = int64_t(y) + s.OriginY;
    if (px != ToInt32(px) || py != ToInt32(py)) return;
    // Bits closes the batch and marks the memory ahead of the target.
    uint8_t* bits = Surface->Bits();
    FloodFillPixels(bits, Surface->Stride(), Surface->Width(), Surface->Height(), s.ClipRects, s.ClipCount,
                    int32_t(px), int32_t(py), color, toBorder, s.BrushColor, s.BrushStyle, s.BackColor,
                    s.BackTransparent);
    Surface->FinishDrawing();
}

void TD2DCanvas::DrawFocusRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left >= right || top >= bottom) return;
    const TD2DCanvasState& s = CurrentState;
    uint8_t* bits = Surface->Bits();
    XorFocusRectPixels(bits, Surface->Stride(), Surface->Width(), Surface->Height(), s.ClipRects, s.ClipCount,
                       ToInt32(int64_t(left) + s.OriginX), ToInt32(int64_t(top) + s.OriginY),
                       ToInt32(int64_t(right) + s.OriginX), ToInt32(int64_t(bottom) + s.OriginY), s.BackColor);
    Surface->FinishDrawing();
}

// ---- Surfaces -----------------------------------------------------------------

namespace {

enum : int32_t { CopyNoAlpha = 0, CopyAlpha = 1, CopyKeyed = 2 };

} // namespace

void TD2DCanvas::DrawSurfaceEx(TPlatformSurface* surface, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2,
                               int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int32_t rop, int32_t opacity,
                               bool useAlpha) {
    if (!surface) return;
    const TRef<TD2DSurface> source = AsD2DSurface(surface);
    const int32_t op = std::clamp(opacity, 0, 255);
    TSurfaceCopyRects rects;
    if (!CutSurfaceCopy(source->Width(), source->Height(), sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2,
                        CurrentState.OriginX, CurrentState.OriginY, rects))
        return;
    if (rop != RopSourceCopy) return SoftwareBlit(source.Get(), rects, rop, false);
    const bool sourceAlpha = useAlpha && source->HasAlpha();
    if (op < 255) return DrawBitmapPass(source.Get(), rects, op, sourceAlpha ? CopyAlpha : CopyNoAlpha, 0);
    if (sourceAlpha) return DrawBitmapPass(source.Get(), rects, 255, CopyAlpha, 0);
    // Between two alpha surfaces the pixels are copied exactly, alpha included.
    if (Surface->HasAlpha() && source->HasAlpha()) return SoftwareBlit(source.Get(), rects, RopSourceCopy, true);
    DrawBitmapPass(source.Get(), rects, 255, CopyNoAlpha, 0);
}

void TD2DCanvas::DrawSurfaceTransparent(TPlatformSurface* surface, int32_t sx1, int32_t sy1, int32_t sx2,
                                        int32_t sy2, int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2,
                                        int32_t color) {
    if (!surface) return;
    const TRef<TD2DSurface> source = AsD2DSurface(surface);
    // The source rectangle is not cut: one that leaves the source draws nothing.
    if (sx1 < 0 || sy1 < 0 || sx2 > source->Width() || sy2 > source->Height() || sx1 >= sx2 || sy1 >= sy2) return;
    TSurfaceCopyRects rects;
    if (!CutSurfaceCopy(source->Width(), source->Height(), sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2,
                        CurrentState.OriginX, CurrentState.OriginY, rects))
        return;
    DrawBitmapPass(source.Get(), rects, 255, CopyKeyed, color);
}

void TD2DCanvas::DrawBitmapPass(TD2DSurface* source, const TSurfaceCopyRects& r, int32_t opacity, int32_t kind,
                                int32_t key) {
    const TComPtr<ID2D1Bitmap> bitmap = kind == CopyAlpha ? source->GetAlphaBitmap()
                                        : kind == CopyKeyed ? source->GetKeyedBitmap(key)
                                                            : source->GetNoAlphaBitmap();
    if (!bitmap) return;
    const D2D1_RECT_F to = D2D1::RectF(float(r.DstLeft), float(r.DstTop), float(r.DstRight), float(r.DstBottom));
    const D2D1_RECT_F from = D2D1::RectF(float(r.SrcLeft), float(r.SrcTop), float(r.SrcRight), float(r.SrcBottom));
    ForEachPiece(r.DstLeft, r.DstTop, r.DstRight, r.DstBottom, true, [&](const D2D1_RECT_F&) {
        Target()->DrawBitmap(bitmap.Get(), &to, float(opacity) / 255.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                             &from);
    });
}

void TD2DCanvas::SoftwareBlit(TD2DSurface* source, const TSurfaceCopyRects& r, int32_t rop, bool copyAlpha) {
    source->FlushSurfaceDraw();
    uint8_t* bits = Surface->Bits();
    // The source is only read: its own copies stay valid.
    const uint8_t* from = static_cast<const uint8_t*>(source->NativeHandle());
    const TD2DCanvasState& s = CurrentState;
    StretchBlitPixels(bits, Surface->Stride(), Surface->Width(), Surface->Height(), from, source->Stride(),
                      source->Width(), source->Height(), r.SrcLeft, r.SrcTop, r.SrcRight, r.SrcBottom, r.DstLeft,
                      r.DstTop, r.DstRight, r.DstBottom, s.ClipRects, s.ClipCount, s.BrushColor, rop, copyAlpha);
    Surface->FinishDrawing();
}

} // namespace Zyl

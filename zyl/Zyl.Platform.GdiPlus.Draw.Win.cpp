// Lines, shapes and images of the GDI+ canvas. One-pixel solid horizontal
// and vertical lines, rectangle outlines and fills go straight into the
// pixels; everything else through GDI+ with half-pixel centres.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Zyl.Platform.GdiPlus.Shapes.h"
#include "Zyl.Platform.GdiPlus.Text.h"

namespace Zyl {

using System::MakeRef;

namespace {

constexpr int32_t kWidePen = 9;
constexpr int32_t kRopSourceCopy = 0xCC0020;

int32_t Clamp32(int64_t v) { return SaturateInt32(v); }

// The points as GDI+ takes them: pixel centres in float.
std::vector<TGpPointF> Centres(const std::vector<TDevicePoint>& points) {
    std::vector<TGpPointF> out;
    ResizeOrRaise(out, points.size());
    for (size_t i = 0; i < points.size(); ++i)
        out[i] = {float(double(points[i].X) + 0.5), float(double(points[i].Y) + 0.5)};
    return out;
}

} // namespace

std::vector<TDevicePoint> TGdipCanvas::DevicePoints(const TPlatformPoint* points, int32_t count) const {
    std::vector<TDevicePoint> out;
    ResizeOrRaise(out, size_t(count));
    for (int32_t i = 0; i < count; ++i) out[size_t(i)] = Device(points[i].X, points[i].Y);
    return out;
}

TGdipCanvas::TRect TGdipCanvas::PointBounds(const std::vector<TDevicePoint>& points) const {
    int64_t minX = points[0].X, minY = points[0].Y, maxX = minX, maxY = minY;
    for (const TDevicePoint& p : points) {
        minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
        minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
    }
    const int64_t h = state_.PenWidth / 2;
    return {minX - h - 2, minY - h - 2, maxX + h + 3, maxY + h + 3};
}

TDeviceRect TGdipCanvas::LineArea() const {
    const int64_t reach = int64_t(state_.PenWidth) + 2;
    return {-reach, -reach, surface_->Width() + reach, surface_->Height() + reach};
}

// ---- Lines ------------------------------------------------------------------------

void TGdipCanvas::LineTo(int32_t x, int32_t y) {
    if (state_.PenStyle != 5) {
        const TDevicePoint from = Device(PenX, PenY), to = Device(x, y);
        const int64_t h = state_.PenWidth / 2;
        const TRect bounds{std::min(from.X, to.X) - h - 2, std::min(from.Y, to.Y) - h - 2,
                           std::max(from.X, to.X) + h + 3, std::max(from.Y, to.Y) + h + 3};
        if (!RanInRopLayer(bounds, [&] { LineTo(x, y); }) && PrepareGdipGraphics(bounds)) {
            if (state_.PenWidth < 2)
                DrawGdipThinLine(from, to);
            else
                DrawGdipWideLine(from, to);
        }
    }
    PenX = x;
    PenY = y;
}

void TGdipCanvas::DrawGdipThinLine(TDevicePoint from, TDevicePoint to) {
    if (from == to) return;
    const int64_t x0 = from.X, y0 = from.Y, x1 = to.X, y1 = to.Y;
    if (state_.PenStyle == 0) {
        if (y0 == y1)
            return FillRectSolidPixels(x1 > x0 ? TRect{x0, y0, x1, y0 + 1} : TRect{x1 + 1, y0, x0 + 1, y0 + 1},
                                       state_.PenColor);
        if (x0 == x1)
            return FillRectSolidPixels(y1 > y0 ? TRect{x0, y0, x0 + 1, y1} : TRect{x0, y1 + 1, x0 + 1, y0 + 1},
                                       state_.PenColor);
    }
    TFloatLine line;
    if (!FitLineToFloat(from, to, LineArea(), state_.PenStyle == 0 ? 0 : DashPatternPeriod, line)) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    if (state_.PenStyle == 0) {
        const double dx = double(x1 - x0), dy = double(y1 - y0), length = std::sqrt(dx * dx + dy * dy);
        const double ux = dx / length, uy = dy / length, k = length / std::max(std::fabs(dx), std::fabs(dy));
        Gdip.GdipDrawLine(g, UpdateGdipPen(0), float(line.X0 + 0.5 - 0.25 * k * ux),
                          float(line.Y0 + 0.5 - 0.25 * k * uy), float(line.X1 + 0.5 - 0.5 * k * ux),
                          float(line.Y1 + 0.5 - 0.5 * k * uy));
        return;
    }
    const float fx0 = float(line.X0 + 0.5), fy0 = float(line.Y0 + 0.5), fx1 = float(line.X1 + 0.5),
                fy1 = float(line.Y1 + 0.5);
    if (!state_.BackTransparent) {
        TGpPen* pen = UpdateGdipPen(0);
        Gdip.GdipSetPenColor(pen, ColorToPixel(state_.BackColor));
        penCacheColor_ = state_.BackColor;
        Gdip.GdipDrawLine(g, pen, fx0, fy0, fx1, fy1);
    }
    Gdip.GdipDrawLine(g, UpdateGdipPen(state_.PenStyle), fx0, fy0, fx1, fy1);
}

void TGdipCanvas::DrawGdipWideLine(TDevicePoint from, TDevicePoint to) {
    TFloatLine line;
    if (!FitLineToFloat(from, to, LineArea(), 0, line)) return;
    Gdip.GdipDrawLine(surface_->EnsureGdipGraphics(), UpdateGdipPen(kWidePen), float(line.X0 + 0.5),
                      float(line.Y0 + 0.5), float(line.X1 + 0.5), float(line.Y1 + 0.5));
}

void TGdipCanvas::StrokePolyline(const std::vector<TDevicePoint>& points, bool closed) {
    const size_t n = points.size();
    // Each segment leaves out its end pixel, which the next one starts on;
    // a wide pen's round caps make separate segments the joined line.
    const auto eachSegment = [&](auto draw) {
        for (size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) draw(points[i], points[(i + 1) % n]);
    };
    if (state_.PenWidth < 2)
        return eachSegment([this](TDevicePoint a, TDevicePoint b) { DrawGdipThinLine(a, b); });
    if (!FitsFloat(points))
        return eachSegment([this](TDevicePoint a, TDevicePoint b) { DrawGdipWideLine(a, b); });
    const std::vector<TGpPointF> centred = Centres(points);
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    if (closed)
        Gdip.GdipDrawPolygon(g, UpdateGdipPen(kWidePen), centred.data(), int32_t(n));
    else
        Gdip.GdipDrawLines(g, UpdateGdipPen(kWidePen), centred.data(), int32_t(n));
}

void TGdipCanvas::Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2 || state_.PenStyle == 5) return;
    const std::vector<TDevicePoint> device = DevicePoints(points, n);
    const TRect bounds = PointBounds(device);
    if (RanInRopLayer(bounds, [&] { Polyline(points, pointCount, lastIndex); })) return;
    if (PrepareGdipGraphics(bounds)) StrokePolyline(device, false);
}

void TGdipCanvas::Polygon(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex, bool winding) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2) return;
    const std::vector<TDevicePoint> device = DevicePoints(points, n);
    const TRect bounds = PointBounds(device);
    if (RanInRopLayer(bounds, [&] { Polygon(points, pointCount, lastIndex, winding); })) return;
    if (!PrepareGdipGraphics(bounds)) return;
    if (n >= 3 && state_.BrushStyle != 1)
        Gdip.GdipFillPolygon(surface_->EnsureGdipGraphics(), UpdateGdipBrush(), Centres(device).data(), n,
                             winding ? 1 : 0);
    if (state_.PenStyle != 5) StrokePolyline(device, true);
}

void TGdipCanvas::PolyBezier(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 4) return;
    if (state_.PenStyle != 5) {
        const std::vector<TDevicePoint> device = DevicePoints(points, 3 * ((n - 1) / 3) + 1);
        const TRect bounds = PointBounds(device);
        const bool layered = RanInRopLayer(bounds, [&] { PolyBezier(points, pointCount, lastIndex); });
        if (!layered && PrepareGdipGraphics(bounds))
            Gdip.GdipDrawBeziers(surface_->EnsureGdipGraphics(), UpdateGdipPen(OutlineKind()), Centres(device).data(),
                                 int32_t(device.size()));
    }
    PenX = points[n - 1].X;
    PenY = points[n - 1].Y;
}

// ---- Shapes -----------------------------------------------------------------------

void TGdipCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const bool pen = state_.PenStyle != 5, brush = state_.BrushStyle != 1;
    const int32_t w = state_.PenWidth;
    const int32_t e = pen && w >= 2 ? w : 0;
    const TRect bounds{r.Left, r.Top, r.Right + e, r.Bottom + e};
    if (RanInRopLayer(bounds, [&] { Rectangle(left, top, right, bottom); })) return;
    if (!pen) {
        if (brush) FillRectBrushPixels({r.Left, r.Top, r.Right - 1, r.Bottom - 1});
        return;
    }
    if (w >= 2) {
        if (brush) FillRectBrushPixels({r.Left + w, r.Top + w, r.Right - 1, r.Bottom - 1});
        FillRectSolidPixels({r.Left, r.Top, r.Right + w - 1, r.Top + w}, state_.PenColor);
        FillRectSolidPixels({r.Left, r.Bottom - 1, r.Right + w - 1, r.Bottom + w - 1}, state_.PenColor);
        FillRectSolidPixels({r.Left, r.Top + w, r.Left + w, r.Bottom - 1}, state_.PenColor);
        FillRectSolidPixels({r.Right - 1, r.Top + w, r.Right + w - 1, r.Bottom - 1}, state_.PenColor);
        return;
    }
    if (state_.PenStyle == 0) {
        if (brush) FillRectBrushPixels({r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1});
        FillRectSolidPixels({r.Left, r.Top, r.Right, r.Top + 1}, state_.PenColor);
        if (r.Bottom - 1 > r.Top) FillRectSolidPixels({r.Left, r.Bottom - 1, r.Right, r.Bottom}, state_.PenColor);
        FillRectSolidPixels({r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1}, state_.PenColor);
        if (r.Right - 1 > r.Left) FillRectSolidPixels({r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1}, state_.PenColor);
        return;
    }
    if (brush) FillRectBrushPixels(r);
    if (!PrepareGdipGraphics(bounds)) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    const float l = r.Left + 0.5f, t = r.Top + 0.5f, rr = r.Right - 0.5f, b = r.Bottom - 0.5f;
    if (!state_.BackTransparent) {
        TGpPen* back = UpdateGdipPen(0);
        Gdip.GdipSetPenColor(back, ColorToPixel(state_.BackColor));
        penCacheColor_ = state_.BackColor;
        Gdip.GdipDrawRectangle(g, back, l, t, float(r.Right - r.Left - 1), float(r.Bottom - r.Top - 1));
    }
    const TGpPointF corners[4] = {{l, t}, {rr, t}, {rr, b}, {l, b}};
    Gdip.GdipDrawPolygon(g, UpdateGdipPen(state_.PenStyle), corners, 4);
}

void TGdipCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const int64_t grow = state_.PenStyle == 5 ? 0 : state_.PenWidth;
    const TRect bounds{r.Left - grow, r.Top - grow, r.Right + grow, r.Bottom + grow};
    if (RanInRopLayer(bounds, [&] { Ellipse(left, top, right, bottom); })) return;
    if (!PrepareGdipGraphics(bounds)) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    const float w = float(r.Right - r.Left), h = float(r.Bottom - r.Top);
    if (state_.PenStyle == 5) {
        if (state_.BrushStyle != 1) Gdip.GdipFillEllipse(g, UpdateGdipBrush(), float(r.Left), float(r.Top), w, h);
        return;
    }
    // The fill stops at the outline's centre line, which the outline covers:
    // filled to the box's edge it would show beyond the outline where GDI+
    // fills without antialiasing.
    const float c = PenCentre();
    if (state_.BrushStyle != 1) Gdip.GdipFillEllipse(g, UpdateGdipBrush(), r.Left + c, r.Top + c, w - 1, h - 1);
    Gdip.GdipDrawEllipse(g, UpdateGdipPen(OutlineKind()), r.Left + c, r.Top + c, w - 1, h - 1);
}

void TGdipCanvas::RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                            int32_t cornerHeight) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    if (cornerWidth < 1 || cornerHeight < 1) return Rectangle(left, top, right, bottom);
    const int64_t grow = state_.PenStyle == 5 ? 0 : state_.PenWidth;
    const TRect bounds{r.Left - grow, r.Top - grow, r.Right + grow, r.Bottom + grow};
    if (RanInRopLayer(bounds, [&] { RoundRect(left, top, right, bottom, cornerWidth, cornerHeight); })) return;
    if (!PrepareGdipGraphics(bounds)) return;
    TGdipObject<TGpPath, &TGdipApi::GdipDeletePath> path;
    Gdip.GdipCreatePath(0, path.Out());
    if (!path.Get()) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    const float L = float(r.Left), T = float(r.Top), R = float(r.Right), B = float(r.Bottom);
    const float rx = std::min(cornerWidth / 2.0f, (R - L) / 2), ry = std::min(cornerHeight / 2.0f, (B - T) / 2);
    const auto addCorners = [&](float x, float y, float w, float h, float cw, float ch) {
        Gdip.GdipResetPath(path.Get());
        Gdip.GdipAddPathArc(path.Get(), x, y, cw, ch, 180, 90);
        Gdip.GdipAddPathArc(path.Get(), x + w - cw, y, cw, ch, 270, 90);
        Gdip.GdipAddPathArc(path.Get(), x + w - cw, y + h - ch, cw, ch, 0, 90);
        Gdip.GdipAddPathArc(path.Get(), x, y + h - ch, cw, ch, 90, 90);
        Gdip.GdipClosePathFigure(path.Get());
    };
    if (state_.PenStyle == 5) {
        if (state_.BrushStyle == 1) return;
        addCorners(L, T, R - L, B - T, 2 * rx, 2 * ry);
        Gdip.GdipFillPath(g, UpdateGdipBrush(), path.Get());
        return;
    }
    // With a pen the fill takes the outline's centre line, as in Ellipse.
    addCorners(L + PenCentre(), T + PenCentre(), R - L - 1, B - T - 1, 2 * (rx - 0.5f), 2 * (ry - 0.5f));
    if (state_.BrushStyle != 1) Gdip.GdipFillPath(g, UpdateGdipBrush(), path.Get());
    Gdip.GdipDrawPath(g, UpdateGdipPen(OutlineKind()), path.Get());
}

void TGdipCanvas::DrawArcFigure(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
                                int32_t x4, int32_t y4, int32_t kind) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const int64_t grow = state_.PenStyle == 5 ? 0 : state_.PenWidth;
    const TRect bounds{r.Left - grow, r.Top - grow, r.Right + grow, r.Bottom + grow};
    if (RanInRopLayer(bounds, [&] { DrawArcFigure(left, top, right, bottom, x3, y3, x4, y4, kind); })) return;
    if (!PrepareGdipGraphics(bounds)) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    const TRect start = Device(x3, y3, x4, y4);
    TArcPoints points;
    const auto figure = [&](double inset) {
        int32_t count = ArcPoints(r.Left, r.Top, r.Right, r.Bottom, start.Left, start.Top, start.Right,
                                  start.Bottom, inset, points);
        if (count > 1 && kind == 2)
            points[size_t(count++)] = {float(double(r.Left + r.Right) / 2), float(double(r.Top + r.Bottom) / 2)};
        return count;
    };
    if (kind != 0 && state_.BrushStyle != 1) {
        const int32_t count = figure(0);
        if (count > 2) Gdip.GdipFillPolygon(g, UpdateGdipBrush(), points.data(), count, 0);
    }
    if (state_.PenStyle == 5) return;
    const int32_t count = figure(0.5);
    if (count < 2) return;
    const float shift = PenCentre() - 0.5f;
    for (int32_t i = 0; i < count; ++i) points[size_t(i)].X += shift, points[size_t(i)].Y += shift;
    if (kind == 0)
        Gdip.GdipDrawLines(g, UpdateGdipPen(OutlineKind()), points.data(), count);
    else
        Gdip.GdipDrawPolygon(g, UpdateGdipPen(OutlineKind()), points.data(), count);
}

void TGdipCanvas::Arc(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2) {
    DrawArcFigure(left, top, right, bottom, x1, y1, x2, y2, 0);
}

void TGdipCanvas::Chord(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1,
                        int32_t x2, int32_t y2) {
    DrawArcFigure(left, top, right, bottom, x1, y1, x2, y2, 1);
}

void TGdipCanvas::Pie(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2) {
    DrawArcFigure(left, top, right, bottom, x1, y1, x2, y2, 2);
}

// ---- Images -----------------------------------------------------------------------

TRef<TGdipSurface> TGdipCanvas::DistinctSource(TPlatformSurface* source) {
    TRef<TGdipSurface> own = AsGdipSurface(source);
    if (own.Get() != surface_.Get()) return own;
    TRef<TGdipSurface> copy =
        RaiseOnBadAlloc([&] { return MakeRef<TGdipSurface>(own->Width(), own->Height(), own->HasAlpha()); });
    std::memcpy(copy->Bits(), own->Bits(), size_t(own->Stride()) * size_t(own->Height()));
    return copy;
}

void TGdipCanvas::DrawSurfaceImage(TGdipSurface* source, const TRect& src, const TRect& dst, int32_t alpha,
                                   int32_t mode, int32_t keyColor) {
    if (!PrepareGdipGraphics(dst)) return;
    TGpImage* image = (mode != 1 && source->HasAlpha()) ? source->OpaqueBitmap() : source->Bitmap();
    if (!image) return;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    TGdipObject<TGpImageAttributes, &TGdipApi::GdipDisposeImageAttributes> attributes;
    if (alpha < 255 || mode == 2) {
        Gdip.GdipCreateImageAttributes(attributes.Out());
        if (!attributes.Get()) return;
        if (alpha < 255) {
            TGpColorMatrix matrix{};
            for (int i = 0; i < 5; ++i) matrix.M[i][i] = 1;
            matrix.M[3][3] = float(alpha) / 255.0f;
            Gdip.GdipSetImageAttributesColorMatrix(attributes.Get(), 1, 1, &matrix, nullptr, 0);
        }
        if (mode == 2) {
            const uint32_t key = ColorToPixel(keyColor);
            Gdip.GdipSetImageAttributesColorKeys(attributes.Get(), 1, 1, key, key);
        }
        Gdip.GdipSetImageAttributesWrapMode(attributes.Get(), 4, 0, 0);
    }
    const bool copyMode = mode == 0 && alpha == 255;
    if (copyMode) Gdip.GdipSetCompositingMode(g, 1);
    // The float entry point: a destination may be wider than INT32_MAX,
    // which the integer one cannot take.
    Gdip.GdipDrawImageRectRect(g, image, float(dst.Left), float(dst.Top), float(dst.Right - dst.Left),
                               float(dst.Bottom - dst.Top), float(src.Left), float(src.Top),
                               float(src.Right - src.Left), float(src.Bottom - src.Top), 2, attributes.Get(), nullptr,
                               nullptr);
    if (copyMode) Gdip.GdipSetCompositingMode(g, 0);
}

void TGdipCanvas::DrawSurfaceEx(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                int32_t dstBottom, int32_t rop, int32_t opacity, bool useAlpha) {
    if (!source) return;
    const int32_t alpha = std::clamp(opacity, 0, 255);
    TRef<TGdipSurface> own = AsGdipSurface(source);
    if (srcRight <= srcLeft || srcBottom <= srcTop || dstRight <= dstLeft || dstBottom <= dstTop) return;
    // In 64 bits: the products of two int32 widths overflow otherwise.
    int64_t sl = srcLeft, st = srcTop, sr = srcRight, sb = srcBottom;
    int64_t dl = dstLeft, dt = dstTop, dr = dstRight, db = dstBottom;
    const int64_t sw = sr - sl, sh = sb - st, dw = dr - dl, dh = db - dt;
    if (sl < 0) dl += sl * -dw / sw, sl = 0;
    if (st < 0) dt += st * -dh / sh, st = 0;
    if (sr > own->Width()) dr -= (sr - own->Width()) * dw / sw, sr = own->Width();
    if (sb > own->Height()) db -= (sb - own->Height()) * dh / sh, sb = own->Height();
    if (sr <= sl || sb <= st || dr <= dl || db <= dt) return;
    const TRect src{int32_t(sl), int32_t(st), int32_t(sr), int32_t(sb)};
    const TRect dst{Clamp32(dl + state_.OriginX), Clamp32(dt + state_.OriginY), Clamp32(dr + state_.OriginX),
                    Clamp32(db + state_.OriginY)};
    if (dst.Right <= dst.Left || dst.Bottom <= dst.Top) return;
    own = DistinctSource(own.Get());
    if (rop != kRopSourceCopy) {
        StretchBlitPixels(surface_->Bits(), surface_->Stride(), surface_->Width(), surface_->Height(), own->Bits(),
                          own->Stride(), own->Width(), own->Height(), src.Left, src.Top, src.Right, src.Bottom,
                          dst.Left, dst.Top, dst.Right, dst.Bottom, state_.ClipRects, state_.ClipCount,
                          state_.BrushColor, rop, false);
        return;
    }
    if (alpha < 255) return DrawSurfaceImage(own.Get(), src, dst, alpha, useAlpha && own->HasAlpha() ? 1 : 0, 0);
    if (useAlpha && own->HasAlpha()) return DrawSurfaceImage(own.Get(), src, dst, 255, 1, 0);
    if (surface_->HasAlpha() && own->HasAlpha()) {
        StretchBlitPixels(surface_->Bits(), surface_->Stride(), surface_->Width(), surface_->Height(), own->Bits(),
                          own->Stride(), own->Width(), own->Height(), src.Left, src.Top, src.Right, src.Bottom,
                          dst.Left, dst.Top, dst.Right, dst.Bottom, state_.ClipRects, state_.ClipCount,
                          state_.BrushColor, rop, true);
        return;
    }
    DrawSurfaceImage(own.Get(), src, dst, 255, 0, 0);
}

void TGdipCanvas::DrawSurfaceTransparent(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop,
                                         int32_t srcRight, int32_t srcBottom, int32_t dstLeft, int32_t dstTop,
                                         int32_t dstRight, int32_t dstBottom, int32_t transparentColor) {
    if (!source) return;
    TRef<TGdipSurface> own = AsGdipSurface(source);
    if (srcLeft < 0 || srcTop < 0 || srcRight > own->Width() || srcBottom > own->Height()) return;
    if (srcRight <= srcLeft || srcBottom <= srcTop || dstRight <= dstLeft || dstBottom <= dstTop) return;
    own = DistinctSource(own.Get());
    DrawSurfaceImage(own.Get(), {srcLeft, srcTop, srcRight, srcBottom},
                     Device(dstLeft, dstTop, dstRight, dstBottom), 255, 2, transparentColor);
}

TGpImage* TGdipSurface::OpaqueBitmap() {
    if (!opaqueBitmap_.Get())
        Gdip.GdipCreateBitmapFromScan0(width_, height_, Stride(), GpPixelFormat32bppRgb, Bits(), opaqueBitmap_.Out());
    return opaqueBitmap_.Get();
}

} // namespace Zyl

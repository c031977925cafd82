// Lines, shapes, fills and pen modes of the "d2d" canvas. A device pixel
// (x, y) covers the square from (x, y) to (x + 1, y + 1): fills take whole
// pixels, one-pixel strokes pixel centres.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "Zyl.Platform.D2D.h"

namespace Zyl {

using System::MakeRef;

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double Pi = 3.141592653589793;

D2D1_POINT_2F Centre(int64_t x, int64_t y) { return D2D1::Point2F(float(x) + 0.5f, float(y) + 0.5f); }

std::vector<D2D1_POINT_2F> Centres(const std::vector<TDevicePoint>& points) {
    std::vector<D2D1_POINT_2F> result(points.size());
    for (size_t i = 0; i < points.size(); ++i) result[i] = Centre(points[i].X, points[i].Y);
    return result;
}

} // namespace

// ---- Pen-mode layer -------------------------------------------------------------

void TD2DCanvas::WithRop(int64_t left, int64_t top, int64_t right, int64_t bottom, const std::function<void()>& draw) {
    if (CurrentState.Rop2 == 4 || LayerActive) return draw();
    if (!BeginRopLayer(left, top, right, bottom)) return;
    try {
        draw();
    } catch (...) {
        // Without this every later drawing of the canvas would go to an
        // orphan layer, shifted and clipped.
        LeaveRopLayer();
        throw;
    }
    EndRopLayer();
}

bool TD2DCanvas::BeginRopLayer(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (CurrentState.Rop2 == 2) return false;
    if (ClipRectsInUse(CurrentState.ClipRects, CurrentState.ClipCount) == 0) return false;
    const TClipBox box = ClipRectsBounds(CurrentState.ClipRects, CurrentState.ClipCount);
    left = std::max<int64_t>(left, box.Left), top = std::max<int64_t>(top, box.Top);
    right = std::min<int64_t>(right, box.Right), bottom = std::min<int64_t>(bottom, box.Bottom);
    if (left >= right || top >= bottom) return false;
    TRef<TD2DSurface> layer = MakeRef<TD2DSurface>(int32_t(right - left), int32_t(bottom - top), true);
    LayerSurface = layer;
    TargetSurface = Surface;
    SavedState = CurrentState;
    LayerLeft = int32_t(left), LayerTop = int32_t(top), LayerRight = int32_t(right), LayerBottom = int32_t(bottom);
    LayerActive = true;
    Surface = layer;
    CurrentState.Rop2 = 4;
    CurrentState.OriginX = int32_t(CurrentState.OriginX - left);
    CurrentState.OriginY = int32_t(CurrentState.OriginY - top);
    SetSingleClipRect(0, 0, LayerRight - LayerLeft, LayerBottom - LayerTop);
    return true;
}

void TD2DCanvas::LeaveRopLayer() {
    CurrentState = SavedState;
    LayerActive = false;
    Surface = TargetSurface;
    TargetSurface = nullptr;
    LayerSurface = nullptr;
}

void TD2DCanvas::EndRopLayer() {
    const TRef<TD2DSurface> layer = LayerSurface;
    layer->FlushSurfaceDraw();
    LeaveRopLayer();
    uint8_t* bits = Surface->Bits();
    const TD2DCanvasState& s = CurrentState;
    CombineRop2Pixels(bits, Surface->Stride(), Surface->Width(), Surface->Height(),
                      static_cast<const uint8_t*>(layer->NativeHandle()), layer->Stride(), layer->Width(),
                      layer->Height(), LayerLeft, LayerTop, s.ClipRects, s.ClipCount, s.Rop2);
    Surface->FinishDrawing();
}

// ---- Lines --------------------------------------------------------------------

void TD2DCanvas::DrawThinLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    if (x1 == x2 && y1 == y2) return;
    const int32_t style = CurrentState.PenStyle;
    const bool dashed = style >= 1 && style <= 4;
    if (!dashed && y1 == y2) {
        if (x2 > x1) FillDeviceRect(x1, y1, x2, y1 + 1, PenBrush());
        else FillDeviceRect(x2 + 1, y1, x1 + 1, y1 + 1, PenBrush());
        return;
    }
    if (!dashed && x1 == x2) {
        if (y2 > y1) FillDeviceRect(x1, y1, x1 + 1, y2, PenBrush());
        else FillDeviceRect(x1, y2 + 1, x1 + 1, y1 + 1, PenBrush());
        return;
    }
    TFloatLine line;
    if (!FitLineToFloat({x1, y1}, {x2, y2}, LineArea(), dashed ? DashPatternPeriod : 0, line)) return;
    const D2D1_POINT_2F p1 = D2D1::Point2F(float(line.X0 + 0.5), float(line.Y0 + 0.5)),
                        p2 = D2D1::Point2F(float(line.X1 + 0.5), float(line.Y1 + 0.5));
    if (dashed) {
        if (!CurrentState.BackTransparent)
            if (ID2D1Brush* back = BackgroundBrush()) Target()->DrawLine(p1, p2, back, 1.0f, nullptr);
        float width = 1.0f;
        ID2D1StrokeStyle* stroke = PenStroke(width);
        if (ID2D1Brush* pen = PenBrush()) Target()->DrawLine(p1, p2, pen, 1.0f, stroke);
        return;
    }
    // One pixel thick along the minor axis; starts a quarter step before the
    // first pixel centre and stops half a step before the last pixel.
    const float dx = float(x2 - x1), dy = float(y2 - y1);
    const float len = std::sqrt(dx * dx + dy * dy), m = std::max(std::fabs(dx), std::fabs(dy));
    const float ux = dx / len, uy = dy / len, step = len / m;
    const D2D1_POINT_2F from = D2D1::Point2F(p1.x - 0.25f * step * ux, p1.y - 0.25f * step * uy);
    const D2D1_POINT_2F to = D2D1::Point2F(p2.x - 0.5f * step * ux, p2.y - 0.5f * step * uy);
    if (ID2D1Brush* pen = PenBrush()) Target()->DrawLine(from, to, pen, m / len, nullptr);
}

void TD2DCanvas::DrawWideLine(TDevicePoint from, TDevicePoint to) {
    TFloatLine line;
    if (!FitLineToFloat(from, to, LineArea(), 0, line)) return;
    float width = 1.0f;
    ID2D1StrokeStyle* stroke = PenStroke(width);
    if (ID2D1Brush* pen = PenBrush())
        Target()->DrawLine(D2D1::Point2F(float(line.X0 + 0.5), float(line.Y0 + 0.5)),
                           D2D1::Point2F(float(line.X1 + 0.5), float(line.Y1 + 0.5)), pen, width, stroke);
}

TDeviceRect TD2DCanvas::LineArea() const {
    const int64_t reach = int64_t(CurrentState.PenWidth) + 2;
    return {-reach, -reach, Surface->Width() + reach, Surface->Height() + reach};
}

void TD2DCanvas::LineTo(int32_t x, int32_t y) {
    const int32_t startX = PenX, startY = PenY;
    PenX = x, PenY = y;
    if (CurrentState.PenStyle == 5) return;
    const auto direct = [&] {
        const int64_t x1 = int64_t(startX) + CurrentState.OriginX, y1 = int64_t(startY) + CurrentState.OriginY;
        const int64_t x2 = int64_t(x) + CurrentState.OriginX, y2 = int64_t(y) + CurrentState.OriginY;
        const int64_t h = CurrentState.PenWidth / 2;
        ForEachPiece(std::min(x1, x2) - h - 2, std::min(y1, y2) - h - 2, std::max(x1, x2) + h + 3,
                     std::max(y1, y2) + h + 3, true, [&](const D2D1_RECT_F&) {
                         if (CurrentState.PenWidth < 2) return DrawThinLine(x1, y1, x2, y2);
                         DrawWideLine({x1, y1}, {x2, y2});
                     });
    };
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY, h = CurrentState.PenWidth / 2;
    WithRop(std::min<int64_t>(startX, x) + ox - h - 2, std::min<int64_t>(startY, y) + oy - h - 2,
            std::max<int64_t>(startX, x) + ox + h + 3, std::max<int64_t>(startY, y) + oy + h + 3, direct);
}

std::vector<TDevicePoint> TD2DCanvas::DevicePoints(const TPlatformPoint* points, int32_t count) const {
    std::vector<TDevicePoint> result(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        result[size_t(i)] = {int64_t(points[i].X) + CurrentState.OriginX, int64_t(points[i].Y) + CurrentState.OriginY};
    return result;
}

void TD2DCanvas::PolyBounds(const TPlatformPoint* points, int32_t count, int64_t (&bounds)[4]) const {
    int64_t minX = points[0].X, minY = points[0].Y, maxX = minX, maxY = minY;
    for (int32_t i = 1; i < count; ++i) {
        minX = std::min<int64_t>(minX, points[i].X), maxX = std::max<int64_t>(maxX, points[i].X);
        minY = std::min<int64_t>(minY, points[i].Y), maxY = std::max<int64_t>(maxY, points[i].Y);
    }
    const int64_t h = CurrentState.PenWidth / 2;
    bounds[0] = minX + CurrentState.OriginX - h - 2, bounds[1] = minY + CurrentState.OriginY - h - 2;
    bounds[2] = maxX + CurrentState.OriginX + h + 3, bounds[3] = maxY + CurrentState.OriginY + h + 3;
}

void TD2DCanvas::DrawPolyPoints(const std::vector<TDevicePoint>& points, bool closed) {
    const size_t n = points.size();
    // Each segment leaves out its end pixel, which the next one starts on;
    // a wide pen's round caps make separate segments the joined line.
    const auto eachSegment = [&](auto draw) {
        for (size_t i = 0; i + 1 < n + (closed ? 1 : 0); ++i) draw(points[i], points[(i + 1) % n]);
    };
    if (CurrentState.PenWidth < 2)
        return eachSegment([this](TDevicePoint a, TDevicePoint b) { DrawThinLine(a.X, a.Y, b.X, b.Y); });
    if (!FitsFloat(points))
        return eachSegment([this](TDevicePoint a, TDevicePoint b) { DrawWideLine(a, b); });
    const TComPtr<ID2D1PathGeometry> geometry = BuildPolyGeometry(Centres(points), D2D1_FILL_MODE_ALTERNATE, closed);
    StrokeGeometry(geometry.Get());
}

TComPtr<ID2D1PathGeometry> TD2DCanvas::BuildPolyGeometry(const std::vector<D2D1_POINT_2F>& points,
                                                         D2D1_FILL_MODE mode, bool closed) {
    TComPtr<ID2D1PathGeometry> geometry;
    const TComPtr<ID2D1Factory> factory = GetD2DFactory();
    TComPtr<ID2D1GeometrySink> sink;
    if (!factory || factory->CreatePathGeometry(geometry.Out()) != S_OK || geometry->Open(sink.Out()) != S_OK)
        return {};
    sink->SetFillMode(mode);
    sink->BeginFigure(points[0], closed ? D2D1_FIGURE_BEGIN_FILLED : D2D1_FIGURE_BEGIN_HOLLOW);
    sink->AddLines(points.data() + 1, UINT32(points.size() - 1));
    sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
    if (sink->Close() != S_OK) return {};
    return geometry;
}

void TD2DCanvas::PointsShape(const TPlatformPoint* points, int32_t n, const TPointsDraw& prepare) {
    int64_t b[4];
    PolyBounds(points, n, b);
    WithRop(b[0], b[1], b[2], b[3], [&] {
        // Inside a layer the origin has moved: everything is computed again.
        int64_t d[4];
        PolyBounds(points, n, d);
        const std::vector<TDevicePoint> device = DevicePoints(points, n);
        if (const TPieceDraw draw = prepare(device)) ForEachPiece(d[0], d[1], d[2], d[3], true, draw);
    });
}

void TD2DCanvas::Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2 || CurrentState.PenStyle == 5) return;
    PointsShape(points, n, [&](const std::vector<TDevicePoint>& device) -> TPieceDraw {
        return [&](const D2D1_RECT_F&) { DrawPolyPoints(device, false); };
    });
}

void TD2DCanvas::Polygon(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex, bool winding) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2) return;
    PointsShape(points, n, [&](const std::vector<TDevicePoint>& device) -> TPieceDraw {
        TComPtr<ID2D1PathGeometry> fill;
        if (n != 2 && CurrentState.BrushStyle != 1)
            fill = BuildPolyGeometry(Centres(device), winding ? D2D1_FILL_MODE_WINDING : D2D1_FILL_MODE_ALTERNATE,
                                     true);
        return [this, fill, &device](const D2D1_RECT_F&) {
            if (fill)
                if (ID2D1Brush* brush = FillBrush()) Target()->FillGeometry(fill.Get(), brush, nullptr);
            if (CurrentState.PenStyle != 5) DrawPolyPoints(device, true);
        };
    });
}

void TD2DCanvas::PolyBezier(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 4) return;
    if (CurrentState.PenStyle != 5)
        PointsShape(points, n, [&](const std::vector<TDevicePoint>& exact) -> TPieceDraw {
            const std::vector<D2D1_POINT_2F> device = Centres(exact);
            TComPtr<ID2D1PathGeometry> geometry;
            TComPtr<ID2D1GeometrySink> sink;
            const TComPtr<ID2D1Factory> factory = GetD2DFactory();
            if (!factory || factory->CreatePathGeometry(geometry.Out()) != S_OK || geometry->Open(sink.Out()) != S_OK)
                return nullptr;
            sink->SetFillMode(D2D1_FILL_MODE_ALTERNATE);
            sink->BeginFigure(device[0], D2D1_FIGURE_BEGIN_HOLLOW);
            // Points after the last whole group of three are left out.
            for (int32_t j = 3; j < n; j += 3)
                sink->AddBezier(D2D1::BezierSegment(device[size_t(j - 2)], device[size_t(j - 1)], device[size_t(j)]));
            sink->EndFigure(D2D1_FIGURE_END_OPEN);
            if (sink->Close() != S_OK) return nullptr;
            return [this, geometry](const D2D1_RECT_F&) { StrokeGeometry(geometry.Get()); };
        });
    PenX = points[n - 1].X, PenY = points[n - 1].Y;
}

// ---- Rectangles ---------------------------------------------------------------

void TD2DCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left >= right || top >= bottom) return;
    const auto bounds = [&](int64_t (&b)[4]) {
        const int64_t w = CurrentState.PenWidth;
        const int64_t g = w >= 2 && CurrentState.PenStyle != 5 ? w : 0;
        b[0] = int64_t(left) + CurrentState.OriginX, b[1] = int64_t(top) + CurrentState.OriginY;
        b[2] = int64_t(right) + CurrentState.OriginX + g, b[3] = int64_t(bottom) + CurrentState.OriginY + g;
    };
    int64_t outer[4];
    bounds(outer);
    WithRop(outer[0], outer[1], outer[2], outer[3], [&] {
        int64_t b[4];
        bounds(b);
        const int64_t L = int64_t(left) + CurrentState.OriginX, T = int64_t(top) + CurrentState.OriginY;
        const int64_t R = int64_t(right) + CurrentState.OriginX, B = int64_t(bottom) + CurrentState.OriginY;
        const int64_t w = CurrentState.PenWidth;
        const int32_t style = CurrentState.PenStyle;
        const bool fill = CurrentState.BrushStyle != 1;
        ForEachPiece(b[0], b[1], b[2], b[3], true, [&](const D2D1_RECT_F&) {
            if (style == 5) {
                if (fill) FillDeviceRect(L, T, R - 1, B - 1, FillBrush());
            } else if (w < 2 && style >= 1 && style <= 4) {
                if (fill) FillDeviceRect(L, T, R, B, FillBrush());
                const D2D1_RECT_F frame = D2D1::RectF(float(L) + 0.5f, float(T) + 0.5f, float(R) - 0.5f, float(B) - 0.5f);
                if (!CurrentState.BackTransparent)
                    if (ID2D1Brush* back = BackgroundBrush()) Target()->DrawRectangle(frame, back, 1.0f, nullptr);
                float width = 1.0f;
                ID2D1StrokeStyle* stroke = PenStroke(width);
                if (ID2D1Brush* pen = PenBrush()) Target()->DrawRectangle(frame, pen, 1.0f, stroke);
            } else if (w < 2) {
                if (fill) FillDeviceRect(L + 1, T + 1, R - 1, B - 1, FillBrush());
                FrameBars(L, T, R, B, PenBrush());
            } else {
                if (fill) FillDeviceRect(L + w, T + w, R - 1, B - 1, FillBrush());
                ID2D1Brush* pen = PenBrush();
                FillDeviceRect(L, T, R + w - 1, T + w, pen);
                FillDeviceRect(L, B - 1, R + w - 1, B + w - 1, pen);
                FillDeviceRect(L, T + w, L + w, B - 1, pen);
                FillDeviceRect(R - 1, T + w, R + w - 1, B - 1, pen);
            }
        });
    });
}

void TD2DCanvas::BoxShape(int32_t left, int32_t top, int32_t right, int32_t bottom, const TBoxDraw& prepare) {
    const auto margin = [&] { return CurrentState.PenStyle == 5 ? int64_t(0) : int64_t(CurrentState.PenWidth); };
    const auto box = [&](int64_t (&d)[4]) {
        d[0] = int64_t(left) + CurrentState.OriginX, d[1] = int64_t(top) + CurrentState.OriginY;
        d[2] = int64_t(right) + CurrentState.OriginX, d[3] = int64_t(bottom) + CurrentState.OriginY;
    };
    int64_t b[4];
    box(b);
    const int64_t g = margin();
    WithRop(b[0] - g, b[1] - g, b[2] + g, b[3] + g, [&] {
        // Inside a layer the origin has moved: everything is computed again.
        int64_t d[4];
        box(d);
        const int64_t m = margin();
        if (PrepareClipPieces(d[0] - m, d[1] - m, d[2] + m, d[3] + m) == 0) return;
        if (const TPieceDraw draw = prepare(d[0], d[1], d[2], d[3]))
            ForEachPiece(d[0] - m, d[1] - m, d[2] + m, d[3] + m, true, draw);
    });
}

void TD2DCanvas::RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t ew, int32_t eh) {
    if (left >= right || top >= bottom) return;
    if (ew < 1 || eh < 1) return Rectangle(left, top, right, bottom);
    BoxShape(left, top, right, bottom, [&](int64_t L, int64_t T, int64_t R, int64_t B) -> TPieceDraw {
        const float rx = std::min(float(ew) / 2.0f, float(R - L) / 2.0f), ry = std::min(float(eh) / 2.0f, float(B - T) / 2.0f);
        const D2D1_RECT_F fill = D2D1::RectF(float(L), float(T), float(R), float(B));
        const D2D1_RECT_F frame = D2D1::RectF(float(L) + 0.5f, float(T) + 0.5f, float(R) - 0.5f, float(B) - 0.5f);
        return [=, this](const D2D1_RECT_F&) {
            if (CurrentState.BrushStyle != 1)
                if (ID2D1Brush* brush = FillBrush()) Target()->FillRoundedRectangle(D2D1::RoundedRect(fill, rx, ry), brush);
            if (CurrentState.PenStyle == 5) return;
            float width = 1.0f;
            ID2D1StrokeStyle* stroke = PenStroke(width);
            if (ID2D1Brush* pen = PenBrush())
                Target()->DrawRoundedRectangle(D2D1::RoundedRect(frame, rx - 0.5f, ry - 0.5f), pen, width, stroke);
        };
    });
}

void TD2DCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left >= right || top >= bottom) return;
    BoxShape(left, top, right, bottom, [&](int64_t L, int64_t T, int64_t R, int64_t B) -> TPieceDraw {
        const D2D1_POINT_2F c = D2D1::Point2F(float(L + R) / 2.0f, float(T + B) / 2.0f);
        const float rx = float(R - L) / 2.0f, ry = float(B - T) / 2.0f;
        return [=, this](const D2D1_RECT_F&) {
            if (CurrentState.BrushStyle != 1)
                if (ID2D1Brush* brush = FillBrush()) Target()->FillEllipse(D2D1::Ellipse(c, rx, ry), brush);
            if (CurrentState.PenStyle == 5) return;
            float width = 1.0f;
            ID2D1StrokeStyle* stroke = PenStroke(width);
            if (ID2D1Brush* pen = PenBrush()) Target()->DrawEllipse(D2D1::Ellipse(c, rx - 0.5f, ry - 0.5f), pen, width, stroke);
        };
    });
}

// ---- Arcs ---------------------------------------------------------------------

TComPtr<ID2D1PathGeometry> TD2DCanvas::BuildArcGeometry(int64_t L, int64_t T, int64_t R, int64_t B, int64_t x3,
                                                        int64_t y3, int64_t x4, int64_t y4, float inset,
                                                        int32_t mode) {
    const double rx = double(R - L) * 0.5 - inset, ry = double(B - T) * 0.5 - inset;
    if (rx <= 0 || ry <= 0) return {};
    const double cx = double(L + R) * 0.5, cy = double(T + B) * 0.5;
    const auto onEllipse = [&](int64_t px, int64_t py, double& angle) {
        double dx = double(px) - cx, dy = double(py) - cy;
        if (dx == 0 && dy == 0) dx = 1, dy = 0;
        const double ex = dx / rx, ey = dy / ry, norm = std::sqrt(ex * ex + ey * ey);
        angle = std::atan2(-ey, ex);
        return D2D1::Point2F(float(cx + dx / norm), float(cy + dy / norm));
    };
    double a3 = 0, a4 = 0;
    const D2D1_POINT_2F start = onEllipse(x3, y3, a3);
    onEllipse(x4, y4, a4);
    double sweep = a4 - a3;
    while (sweep < 0) sweep += TwoPi;
    while (sweep >= TwoPi) sweep -= TwoPi;
    // The same radial twice is a full turn.
    if (sweep > TwoPi - 0.000001 || sweep < 0.000001) sweep = TwoPi;
    TComPtr<ID2D1PathGeometry> geometry;
    TComPtr<ID2D1GeometrySink> sink;
    const TComPtr<ID2D1Factory> factory = GetD2DFactory();
    if (!factory || factory->CreatePathGeometry(geometry.Out()) != S_OK || geometry->Open(sink.Out()) != S_OK)
        return {};
    sink->SetFillMode(D2D1_FILL_MODE_ALTERNATE);
    sink->BeginFigure(start, mode == 0 ? D2D1_FIGURE_BEGIN_HOLLOW : D2D1_FIGURE_BEGIN_FILLED);
    // Cubic curves of at most a quarter turn each rather than arc segments:
    // Wine draws an arc segment as a straight line to its end, and a quarter
    // turn strays from the ellipse by 0.03 % of the radius, far below a
    // pixel for any surface size.
    const int32_t parts = int32_t(std::ceil(sweep / (Pi / 2) - 1e-9));
    const double step = sweep / parts, k = 4.0 / 3.0 * std::tan(step / 4);
    // Angles run counter-clockwise on the screen, where y grows downwards.
    const auto at = [&](double t) { return D2D1::Point2F(float(cx + rx * std::cos(t)), float(cy - ry * std::sin(t))); };
    const auto tangent = [&](double t, double scale) {
        return std::pair{-rx * std::sin(t) * scale, -ry * std::cos(t) * scale};
    };
    for (int32_t i = 0; i < parts; ++i) {
        const double t0 = a3 + step * i, t1 = t0 + step;
        const D2D1_POINT_2F p0 = i == 0 ? start : at(t0), p3 = at(t1);
        const auto [d0x, d0y] = tangent(t0, k);
        const auto [d1x, d1y] = tangent(t1, k);
        sink->AddBezier(D2D1::BezierSegment(D2D1::Point2F(p0.x + float(d0x), p0.y + float(d0y)),
                                            D2D1::Point2F(p3.x - float(d1x), p3.y - float(d1y)), p3));
    }
    if (mode == 2) sink->AddLine(D2D1::Point2F(float(cx), float(cy)));
    sink->EndFigure(mode == 0 ? D2D1_FIGURE_END_OPEN : D2D1_FIGURE_END_CLOSED);
    if (sink->Close() != S_OK) return {};
    return geometry;
}

void TD2DCanvas::ArcShape(int32_t mode, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3,
                          int32_t y3, int32_t x4, int32_t y4) {
    if (left >= right || top >= bottom) return;
    BoxShape(left, top, right, bottom, [&](int64_t L, int64_t T, int64_t R, int64_t B) -> TPieceDraw {
        const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
        TComPtr<ID2D1PathGeometry> fill, stroke;
        if (mode != 0 && CurrentState.BrushStyle != 1)
            fill = BuildArcGeometry(L, T, R, B, x3 + ox, y3 + oy, x4 + ox, y4 + oy, 0.0f, mode);
        if (CurrentState.PenStyle != 5)
            stroke = BuildArcGeometry(L, T, R, B, x3 + ox, y3 + oy, x4 + ox, y4 + oy, 0.5f, mode);
        return [this, fill, stroke](const D2D1_RECT_F&) {
            if (fill)
                if (ID2D1Brush* brush = FillBrush()) Target()->FillGeometry(fill.Get(), brush, nullptr);
            StrokeGeometry(stroke.Get());
        };
    });
}

void TD2DCanvas::Arc(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
    ArcShape(0, l, t, r, b, x3, y3, x4, y4);
}

void TD2DCanvas::Chord(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
    ArcShape(1, l, t, r, b, x3, y3, x4, y4);
}

void TD2DCanvas::Pie(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
    ArcShape(2, l, t, r, b, x3, y3, x4, y4);
}

// ---- Fills --------------------------------------------------------------------

void TD2DCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) {
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
    ForEachPiece(left + ox, top + oy, right + ox, bottom + oy, false, [&](const D2D1_RECT_F& piece) {
        if (ID2D1Brush* brush = SolidBrushFor(color)) Target()->FillRectangle(piece, brush);
    });
}

void TD2DCanvas::FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (CurrentState.BrushStyle == 1) return;
    const int64_t ox = CurrentState.OriginX, oy = CurrentState.OriginY;
    ForEachPiece(left + ox, top + oy, right + ox, bottom + oy, false, [&](const D2D1_RECT_F& piece) {
        if (ID2D1Brush* brush = FillBrush()) Target()->FillRectangle(piece, brush);
    });
}

void TD2DCanvas::FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (top >= bottom || left >= right || CurrentState.BrushStyle == 1) return;
    const int64_t L = int64_t(left) + CurrentState.OriginX, T = int64_t(top) + CurrentState.OriginY;
    const int64_t R = int64_t(right) + CurrentState.OriginX, B = int64_t(bottom) + CurrentState.OriginY;
    ForEachPiece(L, T, R, B, true, [&](const D2D1_RECT_F&) { FrameBars(L, T, R, B, FillBrush()); });
}

void TD2DCanvas::FrameBars(int64_t L, int64_t T, int64_t R, int64_t B, ID2D1Brush* brush) {
    FillDeviceRect(L, T, R, T + 1, brush);
    if (T < B - 1) FillDeviceRect(L, B - 1, R, B, brush);
    if (T + 1 < B - 1) {
        FillDeviceRect(L, T + 1, L + 1, B - 1, brush);
        if (L < R - 1) FillDeviceRect(R - 1, T + 1, R, B - 1, brush);
    }
}

} // namespace Zyl

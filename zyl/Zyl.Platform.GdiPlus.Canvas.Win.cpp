// The GDI+ canvas: drawing state, clipping, the preparation of the shared
// graphics context, pen and brush, the pen-mode layer and the operations
// that write pixels directly.
#include <windows.h>

#include <algorithm>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.GdiPlus.Text.h"
#include "Zyl.Platform.GdiPlus.h"

namespace Zyl {

using System::MakeRef;

namespace {

// Identifies each canvas to its surface's clip owner; 0 is nobody.
int64_t NextCanvasSerial = 0;

constexpr int32_t kRopCopy = 4;
constexpr int32_t kRopNop = 2;
constexpr int32_t kWidePen = 9;

int32_t Shift(int32_t v, int32_t origin) { return SaturateInt32(int64_t(v) + origin); }

} // namespace

TRef<TPlatformCanvas> TGdipSurface::CreateCanvas() {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformCanvas>(MakeRef<TGdipCanvas>(this)); });
}

TGdipCanvas::TGdipCanvas(TGdipSurface* surface) : surface_(surface), serial_(++NextCanvasSerial) {
    ResetClipRects(state_.ClipRects, state_.ClipCount, surface->Width(), surface->Height());
    scratchRects_.resize(16);
    EnsureGdipMeasuringContext();
}

// Members release the GDI+ pen, brushes, hatch bitmap, font entry and surface.
TGdipCanvas::~TGdipCanvas() = default;

void TGdipCanvas::Save() {
    RaiseOnBadAlloc([&] { saveStack_.push_back(state_); });
}

void TGdipCanvas::Restore() {
    if (saveStack_.empty()) return;
    state_ = std::move(saveStack_.back());
    saveStack_.pop_back();
    clipDirty_ = true;
}

void TGdipCanvas::SetPen(int32_t color, int32_t width, int32_t style) {
    state_.PenColor = color & 0xFFFFFF;
    state_.PenWidth = width < 2 ? 1 : width;
    state_.PenStyle = style >= 6 ? 0 : style;
}

void TGdipCanvas::SetBrush(int32_t color, int32_t style) {
    state_.BrushColor = color & 0xFFFFFF;
    state_.BrushStyle = style;
}

void TGdipCanvas::SetBackground(int32_t color, bool transparent) {
    state_.BackColor = color & 0xFFFFFF;
    state_.BackTransparent = transparent;
}

void TGdipCanvas::SetRop2(int32_t mode) { state_.Rop2 = uint32_t(mode) < 16 ? mode : kRopCopy; }

void TGdipCanvas::SetOrigin(int32_t x, int32_t y) {
    state_.OriginX = x;
    state_.OriginY = y;
}

void TGdipCanvas::GetOrigin(int32_t& x, int32_t& y) {
    x = state_.OriginX;
    y = state_.OriginY;
}

TGdipCanvas::TRect TGdipCanvas::Device(int32_t left, int32_t top, int32_t right, int32_t bottom) const {
    return {int64_t(left) + state_.OriginX, int64_t(top) + state_.OriginY, int64_t(right) + state_.OriginX,
            int64_t(bottom) + state_.OriginY};
}

TDevicePoint TGdipCanvas::Device(int32_t x, int32_t y) const {
    return {int64_t(x) + state_.OriginX, int64_t(y) + state_.OriginY};
}

void TGdipCanvas::ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    IntersectClipRects(state_.ClipRects, state_.ClipCount, Shift(left, state_.OriginX), Shift(top, state_.OriginY),
                       Shift(right, state_.OriginX), Shift(bottom, state_.OriginY));
    clipDirty_ = true;
}

void TGdipCanvas::ClipExclude(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    ExcludeClipRects(state_.ClipRects, state_.ClipCount, Shift(left, state_.OriginX), Shift(top, state_.OriginY),
                     Shift(right, state_.OriginX), Shift(bottom, state_.OriginY));
    clipDirty_ = true;
}

void TGdipCanvas::ResetClip() {
    ResetClipRects(state_.ClipRects, state_.ClipCount, surface_->Width(), surface_->Height());
    clipDirty_ = true;
}

bool TGdipCanvas::GetClipBox(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    if (ClipRectsInUse(state_.ClipRects, state_.ClipCount) == 0) {
        left = top = right = bottom = 0;
        return false;
    }
    const TClipBox box = ClipRectsBounds(state_.ClipRects, state_.ClipCount);
    left = Shift(box.Left, -state_.OriginX);
    top = Shift(box.Top, -state_.OriginY);
    right = Shift(box.Right, -state_.OriginX);
    bottom = Shift(box.Bottom, -state_.OriginY);
    return right > left && bottom > top;
}

// ---- The shared graphics context ----------------------------------------------

bool TGdipCanvas::PrepareGdipGraphics(const TRect& r) {
    const int32_t count = ClipRectsInUse(state_.ClipRects, state_.ClipCount);
    if (r.Right <= r.Left || r.Bottom <= r.Top || count == 0) return false;
    const TClipBox box = ClipRectsBounds(state_.ClipRects, count);
    if (box.Right > box.Left && box.Bottom > box.Top &&
        (box.Left >= r.Right || r.Left >= box.Right || box.Top >= r.Bottom || r.Top >= box.Bottom))
        return false;
    TGpGraphics* g = surface_->EnsureGdipGraphics();
    if (!clipDirty_ && surface_->ClipOwnerSerial == serial_) return true;
    const int32_t* q = state_.ClipRects->data();
    const auto rect = [q](int32_t i) {
        return TGpRect{q[4 * i], q[4 * i + 1], q[4 * i + 2] - q[4 * i], q[4 * i + 3] - q[4 * i + 1]};
    };
    if (count == 1) {
        const TGpRect only = rect(0);
        Gdip.GdipSetClipRectI(g, only.X, only.Y, only.Width, only.Height, 0);
    } else {
        TGdipObject<TGpRegion, &TGdipApi::GdipDeleteRegion> region;
        const TGpRect first = rect(0);
        Gdip.GdipCreateRegionRectI(&first, region.Out());
        for (int32_t i = 1; i < count; ++i) {
            const TGpRect next = rect(i);
            Gdip.GdipCombineRegionRectI(region.Get(), &next, 2);
        }
        Gdip.GdipSetClipRegion(g, region.Get(), 0);
    }
    clipDirty_ = false;
    surface_->ClipOwnerSerial = serial_;
    return true;
}

TGpPen* TGdipCanvas::UpdateGdipPen(int32_t kind) {
    const int32_t width = kind == kWidePen ? state_.PenWidth : 1;
    if (!pen_.Get()) {
        Gdip.GdipCreatePen1(ColorToPixel(state_.PenColor), float(width), 2, pen_.Out());
        penCacheColor_ = state_.PenColor;
        penCacheWidth_ = width;
        penCacheStyle_ = -1;
    }
    TGpPen* pen = pen_.Get();
    if (state_.PenColor != penCacheColor_) {
        Gdip.GdipSetPenColor(pen, ColorToPixel(state_.PenColor));
        penCacheColor_ = state_.PenColor;
    }
    if (width != penCacheWidth_) {
        Gdip.GdipSetPenWidth(pen, float(width));
        penCacheWidth_ = width;
    }
    if (kind != penCacheStyle_) {
        if (kind == kWidePen) {
            Gdip.GdipSetPenDashStyle(pen, 0);
            Gdip.GdipSetPenLineCap197819(pen, 2, 2, 2);
            Gdip.GdipSetPenLineJoin(pen, 2);
        } else {
            Gdip.GdipSetPenLineCap197819(pen, 0, 0, 0);
            Gdip.GdipSetPenLineJoin(pen, 0);
            Gdip.GdipSetPenMiterLimit(pen, 10.0f);
            static const float dash[] = {18, 6}, dot[] = {3, 3}, dashDot[] = {9, 6, 3, 6},
                               dashDotDot[] = {9, 3, 3, 3, 3, 3};
            switch (kind) {
            case 0: Gdip.GdipSetPenDashStyle(pen, 0); break;
            case 1: Gdip.GdipSetPenDashArray(pen, dash, 2); break;
            case 2: Gdip.GdipSetPenDashArray(pen, dot, 2); break;
            case 3: Gdip.GdipSetPenDashArray(pen, dashDot, 4); break;
            default: Gdip.GdipSetPenDashArray(pen, dashDotDot, 6); break;
            }
        }
        penCacheStyle_ = kind;
    }
    return pen;
}

int32_t TGdipCanvas::OutlineKind() const { return state_.PenWidth >= 2 ? kWidePen : state_.PenStyle; }

float TGdipCanvas::PenCentre() const { return state_.PenWidth >= 2 ? 0.5f : 0.5f + GdipThinPenShift; }

TGpBrush* TGdipCanvas::SolidBrushOf(int32_t color) {
    if (solidBrush_.Get())
        Gdip.GdipSetSolidFillColor(solidBrush_.Get(), ColorToPixel(color));
    else
        Gdip.GdipCreateSolidFill(ColorToPixel(color), solidBrush_.Out());
    return solidBrush_.Get();
}

TGpBrush* TGdipCanvas::UpdateGdipBrush() {
    if (state_.BrushStyle <= 1) return SolidBrushOf(state_.BrushColor);
    const THatchShift shift = HatchShift();
    std::u16string key = System::Int64ToStr(state_.BrushStyle) + u"|" + System::Int64ToStr(state_.BrushColor) +
                         u"|" + System::Int64ToStr(state_.BackColor) + u"|" + System::Int64ToStr(shift.X & 7) +
                         u"," + System::Int64ToStr(shift.Y & 7);
    if (state_.BackTransparent) key += u"t";
    if (hatchBrush_.Get() && hatchKey_ == key) return hatchBrush_.Get();
    hatchBrush_.Reset();
    hatchBitmap_.Reset();
    // The texture tiles from the device origin of the surface drawn on, so
    // the tile itself is moved by the layer's place on the main surface.
    hatchPixels_ = HatchTile(BrushHatch(state_.BrushStyle), ColorToPixel(state_.BrushColor),
                             state_.BackTransparent ? 0 : ColorToPixel(state_.BackColor), shift.X, shift.Y);
    Gdip.GdipCreateBitmapFromScan0(8, 8, 32, GpPixelFormat32bppPArgb, reinterpret_cast<uint8_t*>(hatchPixels_.data()),
                                   hatchBitmap_.Out());
    if (hatchBitmap_.Get()) Gdip.GdipCreateTexture(hatchBitmap_.Get(), 0, hatchBrush_.Out());
    hatchKey_ = std::move(key);
    return hatchBrush_.Get();
}

// ---- The pen-mode layer ---------------------------------------------------------

bool TGdipCanvas::BeginGdipRopLayer(const TRect& r) {
    if (state_.Rop2 == kRopNop) return false;
    const TClipBox box = ClipRectsBounds(state_.ClipRects, state_.ClipCount);
    // Within the clip box, so within int32.
    const TRect cut{std::max<int64_t>(r.Left, box.Left), std::max<int64_t>(r.Top, box.Top),
                    std::min<int64_t>(r.Right, box.Right), std::min<int64_t>(r.Bottom, box.Bottom)};
    if (cut.Right <= cut.Left || cut.Bottom <= cut.Top) return false;
    TRef<TGdipSurface> layer = RaiseOnBadAlloc([&] {
        return MakeRef<TGdipSurface>(int32_t(cut.Right - cut.Left), int32_t(cut.Bottom - cut.Top), true);
    });
    layerSavedState_ = state_;
    layerMainSurface_ = surface_;
    layerSurface_ = layer;
    layerLeft_ = int32_t(cut.Left);
    layerTop_ = int32_t(cut.Top);
    layerActive_ = true;
    surface_ = layer;
    state_.Rop2 = kRopCopy;
    state_.OriginX -= layerLeft_;
    state_.OriginY -= layerTop_;
    ResetClipRects(state_.ClipRects, state_.ClipCount, layer->Width(), layer->Height());
    clipDirty_ = true;
    return true;
}

void TGdipCanvas::EndGdipRopLayer(bool combine) {
    state_ = std::move(layerSavedState_);
    layerActive_ = false;
    surface_ = layerMainSurface_;
    layerMainSurface_ = nullptr;
    clipDirty_ = true;
    TRef<TGdipSurface> layer = std::move(layerSurface_);
    if (!combine) return;
    CombineRop2Pixels(surface_->Bits(), surface_->Stride(), surface_->Width(), surface_->Height(), layer->Bits(),
                      layer->Stride(), layer->Width(), layer->Height(), layerLeft_, layerTop_, state_.ClipRects,
                      state_.ClipCount, state_.Rop2);
}

// ---- Pixels ---------------------------------------------------------------------

void TGdipCanvas::FillRectSolidPixels(const TRect& r, int32_t color) {
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    // Saturated: no pixel lies beyond int32.
    const int32_t n = ClipRectsToRect(state_.ClipRects, state_.ClipCount, SaturateInt32(r.Left), SaturateInt32(r.Top),
                                      SaturateInt32(r.Right), SaturateInt32(r.Bottom), scratchRects_);
    const uint32_t pixel = ColorToPixel(color);
    uint8_t* bits = surface_->Bits();
    const int32_t stride = surface_->Stride();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t* q = &scratchRects_[size_t(4 * i)];
        for (int32_t y = q[1]; y < q[3]; ++y) std::fill(PixelPtr(bits, stride, q[0], y), PixelPtr(bits, stride, q[2], y), pixel);
    }
}

void TGdipCanvas::FillRectBrushPixels(const TRect& r) {
    if (state_.BrushStyle <= 1) return FillRectSolidPixels(r, state_.BrushColor);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    const int32_t n = ClipRectsToRect(state_.ClipRects, state_.ClipCount, SaturateInt32(r.Left), SaturateInt32(r.Top),
                                      SaturateInt32(r.Right), SaturateInt32(r.Bottom), scratchRects_);
    const std::array<uint8_t, 8> pattern = BrushHatch(state_.BrushStyle);
    const uint32_t fore = ColorToPixel(state_.BrushColor), back = ColorToPixel(state_.BackColor);
    const THatchShift shift = HatchShift();
    uint8_t* bits = surface_->Bits();
    const int32_t stride = surface_->Stride();
    for (int32_t i = 0; i < n; ++i) {
        const int32_t* q = &scratchRects_[size_t(4 * i)];
        for (int32_t y = q[1]; y < q[3]; ++y) {
            uint32_t* p = PixelPtr(bits, stride, q[0], y);
            for (int32_t x = q[0]; x < q[2]; ++x, ++p) {
                if (pattern[size_t((y + shift.Y) & 7)] >> ((x + shift.X) & 7) & 1)
                    *p = fore;
                else if (!state_.BackTransparent)
                    *p = back;
            }
        }
    }
}

void TGdipCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) {
    FillRectSolidPixels(Device(left, top, right, bottom), color);
}

void TGdipCanvas::FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (state_.BrushStyle == 1) return;
    FillRectBrushPixels(Device(left, top, right, bottom));
}

void TGdipCanvas::FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top || state_.BrushStyle == 1) return;
    FillRectBrushPixels({r.Left, r.Top, r.Right, r.Top + 1});
    if (r.Top < r.Bottom - 1) FillRectBrushPixels({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    FillRectBrushPixels({r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1});
    if (r.Left < r.Right - 1) FillRectBrushPixels({r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1});
}

void TGdipCanvas::DrawFocusRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const TRect r = Device(left, top, right, bottom);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return;
    XorFocusRectPixels(surface_->Bits(), surface_->Stride(), surface_->Width(), surface_->Height(),
                       state_.ClipRects, state_.ClipCount, SaturateInt32(r.Left), SaturateInt32(r.Top),
                       SaturateInt32(r.Right), SaturateInt32(r.Bottom), state_.BackColor);
}

void TGdipCanvas::SetPixel(int32_t x, int32_t y, int32_t color) {
    const TDevicePoint p = Device(x, y);
    FillRectSolidPixels({p.X, p.Y, p.X + 1, p.Y + 1}, color);
}

int32_t TGdipCanvas::GetPixel(int32_t x, int32_t y) {
    const int64_t dx = int64_t(x) + state_.OriginX, dy = int64_t(y) + state_.OriginY;
    if (!ClipRectsContain(state_.ClipRects, state_.ClipCount, dx, dy)) return -1;
    if (dx < 0 || dy < 0 || dx >= surface_->Width() || dy >= surface_->Height()) return 0;
    return surface_->PixelAt(int32_t(dx), int32_t(dy));
}

void TGdipCanvas::FloodFill(int32_t x, int32_t y, int32_t color, bool toBorder) {
    if (state_.BrushStyle == 1) return;
    const TDevicePoint p = Device(x, y);
    FloodFillPixels(surface_->Bits(), surface_->Stride(), surface_->Width(), surface_->Height(), state_.ClipRects,
                    state_.ClipCount, SaturateInt32(p.X), SaturateInt32(p.Y), color, toBorder, state_.BrushColor,
                    state_.BrushStyle, state_.BackColor, state_.BackTransparent);
}

} // namespace Zyl

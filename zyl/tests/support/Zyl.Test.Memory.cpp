#include "Zyl.Test.Memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace Zyl::Testing {

uint32_t PixelOfColor(int32_t Color) {
    const uint32_t c = uint32_t(Color);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

int32_t ColorOfPixel(uint32_t Pixel) {
    return int32_t(((Pixel >> 16) & 0xFF) | (Pixel & 0xFF00) | ((Pixel & 0xFF) << 16));
}

namespace {

std::string SizeText(int32_t width, int32_t height) {
    return std::to_string(width) + " " + std::to_string(height);
}

} // namespace

// --- TMemorySurface -------------------------------------------------------

TMemorySurface::TMemorySurface(int32_t Width, int32_t Height, bool HasAlpha, int32_t Stride,
                               TMemoryServices* Owner)
    : width_(std::max(Width, 0)),
      height_(std::max(Height, 0)),
      hasAlpha_(HasAlpha),
      stride_(std::max(Stride, width_ * 4)),
      memory_(size_t(height_) * size_t(stride_), kPaddingCanary),
      owner_(Owner) {
    for (int32_t y = 0; y < height_; ++y) std::memset(memory_.data() + size_t(y) * stride_, 0, size_t(width_) * 4);
    if (owner_) ++owner_->LiveSurfaces;
}

TMemorySurface::~TMemorySurface() {
    if (owner_) --owner_->LiveSurfaces;
}

TRef<TPlatformCanvas> TMemorySurface::CreateCanvas() {
    return System::MakeRef<TMemoryCanvas>(this);
}

uint8_t* TMemorySurface::Bits() {
    return NilBits ? nullptr : memory_.data();
}

void TMemorySurface::FinishDrawing() {
    ++FinishDrawingCount;
    if (!owner_) return;
    owner_->Calls.push_back("FinishDrawing " + SizeText(width_, height_));
    if (owner_->FinishDrawingThrows) throw System::Exception(u"FinishDrawing falhou");
}

TRef<TPlatformSurface> TMemorySurface::CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha) {
    if (owner_) return owner_->CreateSurface(Width, Height, HasAlpha);
    return System::MakeRef<TMemorySurface>(Width, Height, HasAlpha);
}

bool TMemorySurface::SaveToPng(const std::u16string&) {
    return false;
}

int32_t TMemorySurface::PixelAt(int32_t X, int32_t Y) {
    if (X < 0 || Y < 0 || X >= width_ || Y >= height_) return 0;
    return ColorOfPixel(Pixel(X, Y));
}

int32_t TMemorySurface::AlphaAt(int32_t X, int32_t Y) {
    if (X < 0 || Y < 0 || X >= width_ || Y >= height_) return 0;
    return hasAlpha_ ? int32_t(Pixel(X, Y) >> 24) : 255;
}

uint32_t TMemorySurface::Pixel(int32_t X, int32_t Y) const {
    uint32_t value;
    std::memcpy(&value, memory_.data() + size_t(Y) * stride_ + size_t(X) * 4, 4);
    return value;
}

void TMemorySurface::SetPixelValue(int32_t X, int32_t Y, uint32_t Pixel) {
    std::memcpy(memory_.data() + size_t(Y) * stride_ + size_t(X) * 4, &Pixel, 4);
}

void TMemorySurface::Fill(uint32_t Pixel) {
    FillWith([Pixel](int32_t, int32_t) { return Pixel; });
}

bool TMemorySurface::PaddingIntact() const {
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* row = memory_.data() + size_t(y) * stride_;
        if (!std::all_of(row + size_t(width_) * 4, row + stride_, [](uint8_t b) { return b == kPaddingCanary; }))
            return false;
    }
    return true;
}

// --- TMemoryServices ------------------------------------------------------

TRef<TPlatformSurface> TMemoryServices::CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) {
    std::string call = "CreateSurface " + SizeText(Width, Height) + (HasAlpha ? " 1" : " 0");
    if (FailCreateSurface) {
        Calls.push_back(call + " -> nil");
        return nullptr;
    }
    Calls.push_back(std::move(call));
    auto surface = System::MakeRef<TMemorySurface>(Width, Height, HasAlpha, std::max(Width, 0) * 4 + RowPadding, this);
    surface->NilBits = NilBitsSurfaces;
    return surface;
}

TRef<TPlatformSurface> TMemoryServices::LoadPngFile(const std::u16string&) {
    return nullptr;
}

TRef<TPlatformSurface> TMemoryServices::LoadPngMemory(const uint8_t*, int32_t) {
    return nullptr;
}

System::TBytes TMemoryServices::SavePngMemory(TPlatformSurface*) {
    return {};
}

// --- TMemoryCanvas --------------------------------------------------------

TMemoryCanvas::TMemoryCanvas(TMemorySurface* Surface) : surface_(Surface) {
    ResetClip();
}

void TMemoryCanvas::Save() {
    saved_.push_back(state_);
}

void TMemoryCanvas::Restore() {
    if (saved_.empty()) throw System::Exception(u"Restore sem Save");
    state_ = saved_.back();
    saved_.pop_back();
}

void TMemoryCanvas::SetOrigin(int32_t X, int32_t Y) {
    state_.OriginX = X;
    state_.OriginY = Y;
}

void TMemoryCanvas::GetOrigin(int32_t& X, int32_t& Y) {
    X = int32_t(state_.OriginX);
    Y = int32_t(state_.OriginY);
}

void TMemoryCanvas::ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    state_.ClipLeft = std::max(state_.ClipLeft, Left + state_.OriginX);
    state_.ClipTop = std::max(state_.ClipTop, Top + state_.OriginY);
    state_.ClipRight = std::min(state_.ClipRight, Right + state_.OriginX);
    state_.ClipBottom = std::min(state_.ClipBottom, Bottom + state_.OriginY);
}

void TMemoryCanvas::ResetClip() {
    state_.ClipLeft = 0;
    state_.ClipTop = 0;
    state_.ClipRight = surface_->Width();
    state_.ClipBottom = surface_->Height();
}

bool TMemoryCanvas::GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) {
    const bool empty = state_.ClipLeft >= state_.ClipRight || state_.ClipTop >= state_.ClipBottom;
    if (empty) {
        Left = Top = Right = Bottom = 0;
        return false;
    }
    Left = int32_t(state_.ClipLeft - state_.OriginX);
    Top = int32_t(state_.ClipTop - state_.OriginY);
    Right = int32_t(state_.ClipRight - state_.OriginX);
    Bottom = int32_t(state_.ClipBottom - state_.OriginY);
    return true;
}

void TMemoryCanvas::Paint(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, uint32_t Pixel) {
    // A surface without reachable pixels takes no drawing, as a failed
    // DIB section takes none.
    if (surface_->NilBits) return;
    const int64_t left = std::max(Left, state_.ClipLeft), right = std::min(Right, state_.ClipRight);
    const int64_t top = std::max(Top, state_.ClipTop), bottom = std::min(Bottom, state_.ClipBottom);
    for (int64_t y = top; y < bottom; ++y)
        for (int64_t x = left; x < right; ++x) surface_->SetPixelValue(int32_t(x), int32_t(y), Pixel);
}

void TMemoryCanvas::FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color) {
    Paint(Left + state_.OriginX, Top + state_.OriginY, Right + state_.OriginX, Bottom + state_.OriginY,
          PixelOfColor(Color));
}

void TMemoryCanvas::SetPixel(int32_t X, int32_t Y, int32_t Color) {
    const int64_t x = X + state_.OriginX, y = Y + state_.OriginY;
    Paint(x, y, x + 1, y + 1, PixelOfColor(Color));
}

int32_t TMemoryCanvas::GetPixel(int32_t X, int32_t Y) {
    const int64_t x = X + state_.OriginX, y = Y + state_.OriginY;
    if (x < state_.ClipLeft || x >= state_.ClipRight || y < state_.ClipTop || y >= state_.ClipBottom) return 0;
    return ColorOfPixel(surface_->Pixel(int32_t(x), int32_t(y)));
}

// --- TScopedPlatformServices ----------------------------------------------

TScopedPlatformServices::TScopedPlatformServices(TRef<TPlatformServices> Services)
    : previous_(CurrentPlatformServices()) {
    SetCurrentPlatformServices(std::move(Services));
}

TScopedPlatformServices::~TScopedPlatformServices() {
    SetCurrentPlatformServices(std::move(previous_));
}

} // namespace Zyl::Testing

#include <algorithm>
#include <vector>

#include "Zyl.Graphics.h"

namespace Zyl {

using System::TRef;

// ---- TGraphic ------------------------------------------------------------------

void TGraphic::Changed(System::TObject*) {
    Modified = true;
    if (OnChange) OnChange(this);
}

bool TGraphic::GetEmpty() const { throw System::EAbstractError(u"TGraphic", u"GetEmpty"); }
int32_t TGraphic::GetHeight() const { throw System::EAbstractError(u"TGraphic", u"GetHeight"); }
int32_t TGraphic::GetWidth() const { throw System::EAbstractError(u"TGraphic", u"GetWidth"); }
void TGraphic::SetHeight(int32_t) { throw System::EAbstractError(u"TGraphic", u"SetHeight"); }
void TGraphic::SetWidth(int32_t) { throw System::EAbstractError(u"TGraphic", u"SetWidth"); }
void TGraphic::Draw(TCanvas&, const TRect&) { throw System::EAbstractError(u"TGraphic", u"Draw"); }
void TGraphic::LoadFromStream(System::TStream&) { throw System::EAbstractError(u"TGraphic", u"LoadFromStream"); }
void TGraphic::SaveToStream(System::TStream&) { throw System::EAbstractError(u"TGraphic", u"SaveToStream"); }

void TGraphic::SetTransparent(bool value) {
    if (value == transparent_) return;
    transparent_ = value;
    Changed(this);
}

void TGraphic::DrawAlpha(TCanvas& canvas, const TRect& rect, uint8_t) { Draw(canvas, rect); }

bool TGraphic::CanLoadFromStream(System::TStream&) { return true; }

void TGraphic::SetSize(int32_t width, int32_t height) {
    SetWidth(width);
    SetHeight(height);
}

// ---- TBitmap -------------------------------------------------------------------

namespace {

// The services every bitmap surface comes from; a bitmap used before a
// backend is active must fail cleanly rather than reach through nil.
TPlatformServices& ActiveServices() {
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) throw System::Exception(u"Nenhum backend de desenho ativo");
    return *services;
}

TRef<TPlatformSurface> NewBitmapSurface(int32_t width, int32_t height, bool hasAlpha) {
    TRef<TPlatformSurface> surface = ActiveServices().CreateSurface(width, height, hasAlpha);
    if (!surface) throw System::EOutOfMemory();
    return surface;
}

// Copies the whole of `source` to the top left of `target` at its own size.
void CopyPixels(TPlatformCanvas& target, TPlatformSurface& source, bool useAlpha) {
    const int32_t width = source.Width(), height = source.Height();
    target.DrawSurfaceEx(&source, 0, 0, width, height, 0, 0, width, height, RopSourceCopy, 255, useAlpha);
}

} // namespace

TBitmap::~TBitmap() {
    DropCanvas();
    surface_ = nullptr;
}

void TBitmap::DropCanvas() { canvas_ = nullptr; }

int32_t TBitmap::GetWidth() const { return surface_ ? surface_->Width() : pendingWidth_; }
int32_t TBitmap::GetHeight() const { return surface_ ? surface_->Height() : pendingHeight_; }

void TBitmap::NewSurface(int32_t width, int32_t height) {
    TRef<TPlatformSurface> surface = NewBitmapSurface(width, height, AlphaMode != 0);
    {
        TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
        if (AlphaMode == 0) canvas->FillRect(0, 0, width, height, clWhite);
        if (surface_) CopyPixels(*canvas, *surface_, surface_->HasAlpha());
    }
    DropCanvas();
    surface_ = surface;
}

void TBitmap::SetSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        DropCanvas();
        surface_ = nullptr;
        Changed(this);
        pendingWidth_ = std::max(width, 0);
        pendingHeight_ = std::max(height, 0);
        return;
    }
    if (surface_ && surface_->Width() == width && surface_->Height() == height) {
        pendingWidth_ = pendingHeight_ = 0;
        return;
    }
    NewSurface(width, height);
    pendingWidth_ = pendingHeight_ = 0;
    Changed(this);
}

TRef<TCanvas> TBitmap::GetCanvas() {
    if (!surface_) NewSurface(1, 1);
    if (!canvas_) canvas_ = System::MakeRef<TCanvas>(surface_->CreateCanvas(), true);
    surface_->FinishDrawing();
    return canvas_;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
    if (!surface_) return;
    TRef<TPlatformCanvas> target = canvas.GetPlatformCanvas();
    const int32_t width = surface_->Width(), height = surface_->Height();
    if (Transparent() && !surface_->HasAlpha()) {
        const TColor key = TransparentMode != 0 ? TransparentColor : surface_->PixelAt(0, height - 1);
        target->DrawSurfaceTransparent(surface_.Get(), 0, 0, width, height, rect.Left, rect.Top, rect.Right,
                                       rect.Bottom, ResolveColor(key));
        return;
    }
    target->DrawSurfaceEx(surface_.Get(), 0, 0, width, height, rect.Left, rect.Top, rect.Right, rect.Bottom,
                          canvas.CopyMode(), 255, surface_->HasAlpha());
}

void TBitmap::DrawAlpha(TCanvas& canvas, const TRect& rect, uint8_t opacity) {
    if (!surface_) return;
    canvas.GetPlatformCanvas()->DrawSurfaceEx(surface_.Get(), 0, 0, surface_->Width(), surface_->Height(),
                                              rect.Left, rect.Top, rect.Right, rect.Bottom, RopSourceCopy, opacity,
                                              surface_->HasAlpha());
}

bool TBitmap::CanLoadFromStream(System::TStream& stream) {
    const int64_t position = stream.Seek(0, System::soCurrent);
    uint8_t head[8] = {};
    int64_t got = 0;
    while (got < 8) {
        const int64_t n = stream.Read(head + got, 8 - got);
        if (n <= 0) break;
        got += n;
    }
    stream.Seek(position, System::soBeginning);
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') return true;
    return got >= 8 && head[0] == 0x89 && head[1] == 0x50 && head[2] == 0x4E && head[3] == 0x47;
}

void TBitmap::LoadFromStream(System::TStream& stream) {
    TPlatformServices& services = ActiveServices();
    const int64_t size = stream.GetSize() - stream.Seek(0, System::soCurrent);
    // The decoders take a 32-bit size: a larger remainder is refused before
    // anything is read or allocated.
    if (size < 8 || size > INT32_MAX) throw EInvalidGraphic(u"Imagem invalida");
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
    TRef<TPlatformSurface> surface;
    if (data[0] == 0x89 && data[1] == 0x50) surface = services.LoadPngMemory(data.data(), int32_t(size));
    else if (data[0] == 'B' && data[1] == 'M') surface = DecodeBmp(data.data(), int32_t(size), services);
    if (!surface) throw EInvalidGraphic(u"Formato de imagem nao suportado");
    DropCanvas();
    surface_ = surface;
    AlphaMode = surface_->HasAlpha() ? 2 : 0;
    Changed(this);
}

void TBitmap::SaveToStream(System::TStream& stream) {
    if (!surface_) throw EInvalidGraphic(u"Imagem vazia");
    const System::TBytes file = EncodeBmp(*surface_);
    stream.WriteBuffer(file.data(), int64_t(file.size()));
}

void TBitmap::Assign(System::TPersistent* source) {
    auto* bitmap = dynamic_cast<TBitmap*>(source);
    if (!bitmap) return TPersistent::Assign(source);
    // Releasing our surface first would lose the very pixels to copy.
    if (bitmap == this) return Changed(this);
    TRef<TPlatformSurface> copy;
    if (const TRef<TPlatformSurface>& from = bitmap->surface_) {
        copy = NewBitmapSurface(from->Width(), from->Height(), from->HasAlpha());
        CopyPixels(*copy->CreateCanvas(), *from, false);
    }
    DropCanvas();
    surface_ = copy;
    AlphaMode = bitmap->AlphaMode;
    TransparentColor = bitmap->TransparentColor;
    TransparentMode = bitmap->TransparentMode;
    transparent_ = bitmap->transparent_;
    Changed(this);
}

// ---- Graphic formats -----------------------------------------------------------

std::vector<TGraphicFormat>& GraphicFormats() {
    static std::vector<TGraphicFormat> formats;
    return formats;
}

void RegisterGraphicFormat(const std::u16string& extension, const std::u16string& description,
                           TGraphicClass graphicClass) {
    std::vector<TGraphicFormat>& formats = GraphicFormats();
    auto found = std::find_if(formats.begin(), formats.end(),
                              [&](const TGraphicFormat& f) { return f.Extension == extension; });
    if (found != formats.end()) found->GraphicClass = graphicClass;
    else formats.push_back({extension, description, graphicClass});
}

} // namespace Zyl

#include <vector>

#include "Zyl.Graphics.h"

namespace Zyl {

using System::TPropInfo;
using System::TTypeInfo;
using System::TTypeKind;
using System::PublishedProperty;

namespace {

const TTypeInfo kFontType{u"TFont", TTypeKind::Class};
const TTypeInfo kPenType{u"TPen", TTypeKind::Class};
const TTypeInfo kBrushType{u"TBrush", TTypeKind::Class};

const TPropInfo kCanvasProperties[] = {
    PublishedProperty<&TCanvas::Brush, &TCanvas::SetBrush>(u"Brush", kBrushType),
    PublishedProperty<&TCanvas::CopyMode, &TCanvas::SetCopyMode>(u"CopyMode", System::Int32TypeInfo),
    PublishedProperty<&TCanvas::Font, &TCanvas::SetFont>(u"Font", kFontType),
    PublishedProperty<&TCanvas::Pen, &TCanvas::SetPen>(u"Pen", kPenType),
};

} // namespace

const System::TPublishedPropertyTable TCanvas::PublishedPropertyTable{&TPersistent::PublishedPropertyTable,
                                                                      kCanvasProperties};

TCanvas::TCanvas(System::TRef<TPlatformCanvas> platformCanvas, bool ownsCanvas)
    : platformCanvas_(std::move(platformCanvas)),
      ownsCanvas_(ownsCanvas),
      font_(System::MakeRef<TFont>()),
      pen_(System::MakeRef<TPen>()),
      brush_(System::MakeRef<TBrush>()) {
    font_->OnChange = [this](System::TObject*) { fontDirty_ = true; };
    pen_->OnChange = [this](System::TObject*) { penDirty_ = true; };
    // Text output takes its background from the brush.
    brush_->OnChange = [this](System::TObject*) { brushDirty_ = fontDirty_ = true; };
}

TCanvas::~TCanvas() {
    // The objects may outlive the canvas in other hands.
    font_->OnChange = nullptr;
    pen_->OnChange = nullptr;
    brush_->OnChange = nullptr;
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::MarkAllDirty() {
    fontDirty_ = penDirty_ = brushDirty_ = true;
}

void TCanvas::SyncPenBrush() {
    if (penDirty_) {
        penDirty_ = false;
        const TPenStyle style = pen_->Style() == psInsideFrame ? psSolid : pen_->Style();
        platformCanvas_->SetPen(ResolveColor(pen_->Color()), pen_->Width(), style);
        platformCanvas_->SetRop2(pen_->Mode());
    }
    if (brushDirty_) {
        brushDirty_ = false;
        const TColor color = ResolveColor(brush_->Color());
        platformCanvas_->SetBrush(color, brush_->Style());
        platformCanvas_->SetBackground(color, brush_->Style() != bsSolid);
    }
}

void TCanvas::SyncFont() {
    SyncPenBrush();
    if (!fontDirty_) return;
    fontDirty_ = false;
    platformCanvas_->SetFont(font_->Name(), font_->Height(), font_->Style() & 15, ResolveColor(font_->Color()));
    platformCanvas_->SetTextAngle(font_->Orientation());
    platformCanvas_->SetBackground(ResolveColor(brush_->Color()), brush_->Style() != bsSolid);
}

void TCanvas::MoveTo(int32_t x, int32_t y) {
    penPos_ = {x, y};
    platformCanvas_->MoveTo(x, y);
}

void TCanvas::LineTo(int32_t x, int32_t y) {
    Changing();
    SyncPenBrush();
    platformCanvas_->LineTo(x, y);
    penPos_ = {x, y};
    Changed();
}

void TCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Changing();
    SyncPenBrush();
    platformCanvas_->Rectangle(left, top, right, bottom);
    Changed();
}

void TCanvas::RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                        int32_t cornerHeight) {
    Changing();
    SyncPenBrush();
    platformCanvas_->RoundRect(left, top, right, bottom, cornerWidth, cornerHeight);
    Changed();
}

void TCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Changing();
    SyncPenBrush();
    platformCanvas_->Ellipse(left, top, right, bottom);
    Changed();
}

void TCanvas::FillRect(const TRect& rect) {
    Changing();
    SyncPenBrush();
    platformCanvas_->FillRectBrush(rect.Left, rect.Top, rect.Right, rect.Bottom);
    Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
    Changing();
    SyncPenBrush();
    platformCanvas_->FrameRect(rect.Left, rect.Top, rect.Right, rect.Bottom);
    Changed();
}

void TCanvas::Polyline(std::span<const TPoint> points) {
    std::vector<TPlatformPoint> copy;
    copy.reserve(points.size());
    for (const TPoint& p : points) copy.push_back({p.X, p.Y});
    Changing();
    SyncPenBrush();
    platformCanvas_->Polyline(copy.data(), int32_t(copy.size()), int32_t(copy.size()) - 1);
    Changed();
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::u16string& text) {
    Changing();
    SyncFont();
    platformCanvas_->TextOut(x, y, text);
    int32_t width = 0, height = 0;
    platformCanvas_->TextExtent(text, width, height);
    DrawTextDecorations(x, y, width);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, int32_t x, int32_t y, const std::u16string& text) {
    Changing();
    SyncFont();
    platformCanvas_->TextRect(rect.Left, rect.Top, rect.Right, rect.Bottom, x, y, text, brush_->Style() == bsSolid);
    Changed();
}

TTextSize TCanvas::TextExtent(const std::u16string& text) {
    SyncFont();
    TTextSize size;
    platformCanvas_->TextExtent(text, size.Width, size.Height);
    return size;
}

void TCanvas::Draw(TGraphic* graphic) {
    if (!graphic) return;
    Changing();
    SyncPenBrush();
    const int32_t width = graphic->Width();
    const int32_t height = graphic->Height();
    graphic->Draw(*this, {0, 0, width, height});
    Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
    if (!graphic) return;
    Changing();
    SyncPenBrush();
    graphic->Draw(*this, rect);
    Changed();
}

void TCanvas::Save() {
    platformCanvas_->Save();
}

void TCanvas::Restore() {
    platformCanvas_->Restore();
    MarkAllDirty();
}

} // namespace Zyl

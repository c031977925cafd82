#include "Zyl.Graphics.h"

#include <algorithm>

namespace Zyl {

using System::TPersistent;
using System::TPropInfo;
using System::TTypeInfo;
using System::TTypeKind;
using System::PublishedProperty;

// ---- Colours -------------------------------------------------------------------

// The Windows default system colours, indexed like GetSysColor.
const TSysColorPalette LightSysColors = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x544E43, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xE1FFFF, 0xC8C8C8, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xD77800, 0xF0F0F0,
};

const TSysColorPalette DarkSysColors = {
    0x3A3A3A, 0x000000, 0x804020, 0x3C3C3C, 0x2B2B2B, 0x1E1E1E, 0x646464, 0xF0F0F0,
    0xE6E6E6, 0xFFFFFF, 0x505050, 0x404040, 0x3A3A3A, 0xD77800, 0xFFFFFF, 0x2D2D2D,
    0x5A5A5A, 0x8A8A8A, 0xE6E6E6, 0xA0A0A0, 0x6A6A6A, 0x111111, 0x4A4A4A, 0xE6E6E6,
    0x3C3C3C, 0x3A3A3A, 0xE08A33, 0x804020, 0x3C3C3C, 0x5A4630, 0x2B2B2B,
};

TSysColorTable SysColorTable;

TColor ResolveColor(TColor color) {
    if (color >= 0) return color;
    if (!SysColorTable.Filled) {
        SysColorTable.Colors = LightSysColors;
        SysColorTable.Filled = true;
    }
    const uint32_t index = uint32_t(color) & 0xFF;
    return index < uint32_t(kSysColorCount) ? SysColorTable.Colors[index] : clBlack;
}

const TColor* ApplyThemeSysColors(const TZylTheme& theme) {
    SysColorTable.Colors = theme.Dark ? DarkSysColors : LightSysColors;
    SysColorTable.Filled = true;
    for (int32_t i = 0; i < kSysColorCount; ++i)
        if (theme.SysColors[i] != -1) SysColorTable.Colors[i] = theme.SysColors[i] & 0xFFFFFF;
    return SysColorTable.Colors.data();
}

// ---- Size and height -----------------------------------------------------------

int32_t FontSizeToHeight(int32_t size, int32_t pixelsPerInch) {
    return ClampToInt32(-((int64_t(size) * pixelsPerInch + 36) / 72));
}

int32_t FontHeightToSize(int32_t height, int32_t pixelsPerInch) {
    if (pixelsPerInch == 0) return 0;
    const int64_t half = pixelsPerInch / 2;
    if (height < 0) return ClampToInt32((72 * -int64_t(height) + half) / pixelsPerInch);
    return ClampToInt32(-((72 * int64_t(height) + half) / pixelsPerInch));
}

// ---- TGraphicsObject -----------------------------------------------------------

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

namespace {

// Stores a new value and announces it; the same value changes nothing.
template <class T, class U>
void Announce(TGraphicsObject& object, T& field, const U& value) {
    if (field == value) return;
    field = value;
    object.Changed();
}

constexpr std::u16string_view kPitchNames[] = {u"fpDefault", u"fpVariable", u"fpFixed"};
constexpr std::u16string_view kQualityNames[] = {
    u"fqDefault",       u"fqDraft",       u"fqProof",           u"fqNonAntialiased",
    u"fqAntialiased",   u"fqClearType",   u"fqClearTypeNatural"};
constexpr std::u16string_view kStyleNames[] = {u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"};
constexpr std::u16string_view kPenStyleNames[] = {
    u"psSolid", u"psDash",        u"psDot",       u"psDashDot",   u"psDashDotDot",
    u"psClear", u"psInsideFrame", u"psUserStyle", u"psAlternate"};
constexpr std::u16string_view kPenModeNames[] = {
    u"pmBlack",       u"pmWhite",      u"pmNop",         u"pmNot",        u"pmCopy",     u"pmNotCopy",
    u"pmMergePenNot", u"pmMaskPenNot", u"pmMergeNotPen", u"pmMaskNotPen", u"pmMerge",    u"pmNotMerge",
    u"pmMask",        u"pmNotMask",    u"pmXor",         u"pmNotXor"};
constexpr std::u16string_view kBrushStyleNames[] = {
    u"bsSolid",     u"bsClear",     u"bsHorizontal", u"bsVertical",
    u"bsFDiagonal", u"bsBDiagonal", u"bsCross",      u"bsDiagCross"};

const TTypeInfo kColorType{u"TColor", TTypeKind::Integer};
const TTypeInfo kCharsetType{u"TFontCharset", TTypeKind::Integer};
const TTypeInfo kPitchType{u"TFontPitch", TTypeKind::Enumeration, kPitchNames};
const TTypeInfo kQualityType{u"TFontQuality", TTypeKind::Enumeration, kQualityNames};
const TTypeInfo kStylesType{u"TFontStyles", TTypeKind::Set, kStyleNames};
const TTypeInfo kPenStyleType{u"TPenStyle", TTypeKind::Enumeration, kPenStyleNames};
const TTypeInfo kPenModeType{u"TPenMode", TTypeKind::Enumeration, kPenModeNames};
const TTypeInfo kBrushStyleType{u"TBrushStyle", TTypeKind::Enumeration, kBrushStyleNames};

const TPropInfo kFontProperties[] = {
    PublishedProperty<&TFont::Charset, &TFont::SetCharset>(u"Charset", kCharsetType),
    PublishedProperty<&TFont::Color, &TFont::SetColor>(u"Color", kColorType),
    PublishedProperty<&TFont::Height, &TFont::SetHeight>(u"Height", System::Int32TypeInfo),
    PublishedProperty<&TFont::Name, &TFont::SetName>(u"Name", System::StringTypeInfo),
    PublishedProperty<&TFont::Orientation, &TFont::SetOrientation>(u"Orientation", System::Int32TypeInfo),
    PublishedProperty<&TFont::Pitch, &TFont::SetPitch>(u"Pitch", kPitchType),
    PublishedProperty<&TFont::PixelsPerInch, &TFont::SetPixelsPerInch>(u"PixelsPerInch", System::Int32TypeInfo),
    PublishedProperty<&TFont::Size, &TFont::SetSize>(u"Size", System::Int32TypeInfo),
    PublishedProperty<&TFont::Style, &TFont::SetStyle>(u"Style", kStylesType),
    PublishedProperty<&TFont::Quality, &TFont::SetQuality>(u"Quality", kQualityType),
};

const TPropInfo kPenProperties[] = {
    PublishedProperty<&TPen::Color, &TPen::SetColor>(u"Color", kColorType),
    PublishedProperty<&TPen::Mode, &TPen::SetMode>(u"Mode", kPenModeType),
    PublishedProperty<&TPen::Style, &TPen::SetStyle>(u"Style", kPenStyleType),
    PublishedProperty<&TPen::Width, &TPen::SetWidth>(u"Width", System::Int32TypeInfo),
};

const TPropInfo kBrushProperties[] = {
    PublishedProperty<&TBrush::Color, &TBrush::SetColor>(u"Color", kColorType),
    PublishedProperty<&TBrush::Style, &TBrush::SetStyle>(u"Style", kBrushStyleType),
};

} // namespace

// ---- TFont ---------------------------------------------------------------------

const System::TPublishedPropertyTable TFont::PublishedPropertyTable{&TPersistent::PublishedPropertyTable,
                                                                    kFontProperties};

TFont::TFont() {
    if (TPlatformServices* services = CurrentPlatformServices()) {
        pixelsPerInch_ = services->ScreenDpi();
        name_ = services->DefaultFontName();
        height_ = FontSizeToHeight(services->DefaultFontSize(), pixelsPerInch_);
    } else {
        name_ = u"Segoe UI";
    }
}

void TFont::Assign(TPersistent* source) {
    auto* font = dynamic_cast<TFont*>(source);
    if (!font) return TPersistent::Assign(source);
    name_ = font->name_;
    height_ = font->height_;
    style_ = font->style_;
    color_ = font->color_;
    charset_ = font->charset_;
    pitch_ = font->pitch_;
    quality_ = font->quality_;
    orientation_ = font->orientation_;
    pixelsPerInch_ = font->pixelsPerInch_;
    Changed();
}

void TFont::SetCharset(TFontCharset value) { Announce(*this, charset_, value); }
void TFont::SetColor(TColor value) { Announce(*this, color_, value); }
void TFont::SetHeight(int32_t value) { Announce(*this, height_, value); }
void TFont::SetName(const std::u16string& value) { Announce(*this, name_, value); }
void TFont::SetOrientation(int32_t value) { Announce(*this, orientation_, value); }
void TFont::SetPitch(TFontPitch value) { Announce(*this, pitch_, value); }
void TFont::SetStyle(TFontStyles value) { Announce(*this, style_, value); }
void TFont::SetQuality(TFontQuality value) { Announce(*this, quality_, value); }
void TFont::SetSize(int32_t value) { SetHeight(FontSizeToHeight(value, pixelsPerInch_)); }

void TFont::SetPixelsPerInch(int32_t value) {
    if (value <= 0 || value == pixelsPerInch_) return;
    const int32_t size = Size();
    pixelsPerInch_ = value;
    SetHeight(FontSizeToHeight(size, value));
}

// ---- TPen ----------------------------------------------------------------------

const System::TPublishedPropertyTable TPen::PublishedPropertyTable{&TPersistent::PublishedPropertyTable,
                                                                   kPenProperties};

void TPen::Assign(TPersistent* source) {
    auto* pen = dynamic_cast<TPen*>(source);
    if (!pen) return TPersistent::Assign(source);
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    mode_ = pen->mode_;
    Changed();
}

void TPen::SetColor(TColor value) { Announce(*this, color_, value); }
void TPen::SetMode(TPenMode value) { Announce(*this, mode_, value); }
void TPen::SetStyle(TPenStyle value) { Announce(*this, style_, value); }

void TPen::SetWidth(int32_t value) {
    if (value >= 0) Announce(*this, width_, value);
}

// ---- TBrush --------------------------------------------------------------------

const System::TPublishedPropertyTable TBrush::PublishedPropertyTable{&TPersistent::PublishedPropertyTable,
                                                                     kBrushProperties};

void TBrush::Assign(TPersistent* source) {
    auto* brush = dynamic_cast<TBrush*>(source);
    if (!brush) return TPersistent::Assign(source);
    color_ = brush->color_;
    style_ = brush->style_;
    Changed();
}

void TBrush::SetColor(TColor value) {
    if (value == color_ && style_ == bsSolid) return;
    color_ = value;
    if (style_ == bsClear) style_ = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value) { Announce(*this, style_, value); }

// ---- Start-up ------------------------------------------------------------------

namespace {

void ThemeChanged(const TZylTheme& theme) { ApplyThemeSysColors(theme); }

} // namespace

void InitializeGraphicsUnit() {
    // Once however often the start-up runs.
    if (std::find(ThemeChangeHooks.begin(), ThemeChangeHooks.end(), &ThemeChanged) == ThemeChangeHooks.end())
        ThemeChangeHooks.push_back(&ThemeChanged);
    RegisterGraphicFormat(u".bmp", u"Bitmap", &NewGraphic<TBitmap>);
    RegisterGraphicFormat(u".png", u"PNG", &NewGraphic<TBitmap>);
}

} // namespace Zyl

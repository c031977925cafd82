// What controls and forms draw with: fonts, pens and brushes that announce
// their changes, the canvas that pushes them lazily to a backend's platform
// canvas, colours and the system-colour table, text layout, and bitmaps
// kept in a surface of the active backend.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Classes.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Streams.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.h"
#include "Zyl.Platform.Drawn.Theme.h"

// windows.h maps DrawText to its W function; this header takes the name back.
#ifdef DrawText
#undef DrawText
#endif

namespace Zyl {

// ---- Colours -------------------------------------------------------------------

// Bit 31 clear: $00BBGGRR. Bit 31 set: a system colour whose low byte indexes
// SysColorTable.
using TColor = int32_t;

constexpr TColor clWindowText = TColor(0xFF000008);
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBlack = 0;

constexpr int32_t kSysColorCount = 31;
using TSysColorPalette = std::array<TColor, kSysColorCount>;

extern const TSysColorPalette LightSysColors;
extern const TSysColorPalette DarkSysColors;

struct TSysColorTable {
    TSysColorPalette Colors{};
    bool Filled = false;
};
// Process-wide; filled with the light palette at the first resolution.
extern TSysColorTable SysColorTable;

// A system colour as RGB (black past index 30); any other colour unchanged.
TColor ResolveColor(TColor color);
// The theme hook: the theme's palette, then each of its overrides that is
// not -1, as RGB. Returns the table's first entry.
const TColor* ApplyThemeSysColors(const TZylTheme& theme);

// ---- Font, pen and brush -------------------------------------------------------

// The base of the attribute objects: every effective change of a value is
// announced through OnChange, with the object as sender.
class TGraphicsObject : public System::TPersistent {
public:
    System::TNotifyEvent OnChange;
    virtual void Changed();
};

using TFontStyles = uint8_t;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

using TFontCharset = uint8_t;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
enum TFontQuality : uint8_t {
    fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};
enum TPenStyle : uint8_t {
    psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame, psUserStyle, psAlternate
};
enum TPenMode : uint8_t {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
    pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle : uint8_t {
    bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

// Points to pixels and back at a resolution (clamped for extreme values).
int32_t FontSizeToHeight(int32_t size, int32_t pixelsPerInch);
int32_t FontHeightToSize(int32_t height, int32_t pixelsPerInch);

class TFont : public TGraphicsObject {
public:
    // From the current platform services when there are any, else "Segoe
    // UI" at -12 pixels and 96 pixels per inch.
    TFont();

    void Assign(System::TPersistent* source) override;

    TFontCharset Charset() const { return charset_; }
    TColor Color() const { return color_; }
    int32_t Height() const { return height_; }
    const std::u16string& Name() const { return name_; }
    int32_t Orientation() const { return orientation_; }
    TFontPitch Pitch() const { return pitch_; }
    int32_t PixelsPerInch() const { return pixelsPerInch_; }
    int32_t Size() const { return FontHeightToSize(height_, pixelsPerInch_); }
    TFontStyles Style() const { return style_; }
    TFontQuality Quality() const { return quality_; }

    void SetCharset(TFontCharset value);
    void SetColor(TColor value);
    void SetHeight(int32_t value);
    void SetName(const std::u16string& value);
    void SetOrientation(int32_t value);
    void SetPitch(TFontPitch value);
    // Keeps the point size; values <= 0 are ignored.
    void SetPixelsPerInch(int32_t value);
    void SetSize(int32_t value);
    void SetStyle(TFontStyles value);
    void SetQuality(TFontQuality value);

    static const System::TPublishedPropertyTable PublishedPropertyTable;
    const System::TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }

private:
    std::u16string name_;
    int32_t height_ = -12;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    TFontCharset charset_ = 1;
    TFontPitch pitch_ = fpDefault;
    TFontQuality quality_ = fqDefault;
    int32_t orientation_ = 0;
    int32_t pixelsPerInch_ = 96;
};

class TPen : public TGraphicsObject {
public:
    void Assign(System::TPersistent* source) override;

    TColor Color() const { return color_; }
    TPenMode Mode() const { return mode_; }
    TPenStyle Style() const { return style_; }
    int32_t Width() const { return width_; }

    void SetColor(TColor value);
    void SetMode(TPenMode value);
    void SetStyle(TPenStyle value);
    // Negative widths are ignored; 0 is kept.
    void SetWidth(int32_t value);

    static const System::TPublishedPropertyTable PublishedPropertyTable;
    const System::TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }

private:
    TColor color_ = clBlack;
    int32_t width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

class TBrush : public TGraphicsObject {
public:
    void Assign(System::TPersistent* source) override;

    TColor Color() const { return color_; }
    TBrushStyle Style() const { return style_; }

    // Announces unless the colour is the same on a solid brush; a clear brush
    // becomes solid.
    void SetColor(TColor value);
    void SetStyle(TBrushStyle value);

    static const System::TPublishedPropertyTable PublishedPropertyTable;
    const System::TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

// ---- Text layout ---------------------------------------------------------------

// Format flags of TCanvas::DrawText. Every bit from 17 up reads as word wrap.
using TDrawTextFlags = uint32_t;
constexpr TDrawTextFlags txBottom = 0x1;
constexpr TDrawTextFlags txMeasure = 0x2;
constexpr TDrawTextFlags txCenter = 0x4;
constexpr TDrawTextFlags txEllipsisEnd = 0x10;
constexpr TDrawTextFlags txEllipsisStart = 0x20;
constexpr TDrawTextFlags txExpandTabs = 0x40;
constexpr TDrawTextFlags txLeft = 0x100;
constexpr TDrawTextFlags txModifyText = 0x200;
constexpr TDrawTextFlags txNoClip = 0x400;
constexpr TDrawTextFlags txNoPrefix = 0x800;
constexpr TDrawTextFlags txRight = 0x1000;
constexpr TDrawTextFlags txSingleLine = 0x4000;
constexpr TDrawTextFlags txVCenter = 0x10000;
constexpr TDrawTextFlags txWordWrap = 0x20000;

struct TTextLine {
    std::u16string Text;  // without line-break characters
    int32_t Start = 0;    // index of its first character in the prepared text
    friend bool operator==(const TTextLine&, const TTextLine&) = default;
};
using TTextLines = std::vector<TTextLine>;

// The width in pixels of a text with the canvas's current font.
using TTextWidth = std::function<int32_t(std::u16string_view text)>;

// Drops the accelerator ampersands ("&&" keeps one); prefixIndex is the index,
// in the result, of the character after the first single "&", else -1.
std::u16string StripPrefix(std::u16string_view text, int32_t& prefixIndex);
// Tabs become spaces up to the next multiple of 8 columns; a line break
// starts the columns again.
std::u16string ExpandTabs(std::u16string_view text);
// Splits at CR LF, lone CR and lone LF, and unless singleLine wraps each
// paragraph at spaces to maxWidth (wordWrap and maxWidth >= 1).
void BreakLines(const TTextWidth& width, std::u16string_view text, int32_t maxWidth, bool singleLine,
                bool wordWrap, TTextLines& lines);
void AppendLine(TTextLines& lines, std::u16string text, int32_t start);
// The text, or the longest start (or end, fromStart) that fits with "...".
std::u16string EllipsizeLine(const TTextWidth& width, std::u16string_view text, int32_t maxWidth,
                             bool fromStart);
// Count characters from the 0-based index; empty outside the text.
std::u16string CopyChars(std::u16string_view text, int32_t index, int32_t count);

// ---- Canvas --------------------------------------------------------------------

class TGraphic;

struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
    int32_t X = 0, Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TTextSize {
    int32_t Width = 0, Height = 0;
};

// Draws on one platform canvas of the active backend, pushing font, pen and
// brush only when they changed since the last push, and resolving system
// colours. Each drawing operation runs between OnChanging and OnChange.
class TCanvas : public System::TPersistent {
public:
    TCanvas(System::TRef<TPlatformCanvas> platformCanvas, bool ownsCanvas);
    ~TCanvas() override;

    TFont* Font() const { return font_.Get(); }
    TPen* Pen() const { return pen_.Get(); }
    TBrush* Brush() const { return brush_.Get(); }
    int32_t CopyMode() const { return copyMode_; }
    TPoint PenPos() const { return penPos_; }
    bool OwnsCanvas() const { return ownsCanvas_; }
    bool FontDirty() const { return fontDirty_; }
    bool PenDirty() const { return penDirty_; }
    bool BrushDirty() const { return brushDirty_; }

    // Copy the values into the canvas's own objects.
    void SetFont(TFont* value) { font_->Assign(value); }
    void SetPen(TPen* value) { pen_->Assign(value); }
    void SetBrush(TBrush* value) { brush_->Assign(value); }
    // Read only by bitmap drawing; pushes nothing.
    void SetCopyMode(int32_t value) { copyMode_ = value; }

    System::TRef<TPlatformCanvas> GetPlatformCanvas() const { return platformCanvas_; }
    void SyncPenBrush();
    // Pen and brush first: text takes its background from the brush.
    void SyncFont();

    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                   int32_t cornerHeight);
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    void Polyline(std::span<const TPoint> points);
    void TextOut(int32_t x, int32_t y, const std::u16string& text);
    void TextRect(const TRect& rect, int32_t x, int32_t y, const std::u16string& text);
    TTextSize TextExtent(const std::u16string& text);
    void Draw(TGraphic* graphic);
    void StretchDraw(const TRect& rect, TGraphic* graphic);
    void Save();
    // Marks everything dirty: the platform may have gone back to other objects.
    void Restore();

    // Lays the text out in the rectangle and draws it, or with txMeasure only
    // sets the rectangle's right and bottom to the text's size. With
    // txModifyText and an ellipsis flag, text becomes the first line drawn.
    void DrawText(TRect& rect, std::u16string& text, TDrawTextFlags flags);
    // Underline and strike-out of a run at (x, y), as the font's style asks.
    void DrawTextDecorations(int32_t x, int32_t y, int32_t width);

    System::TNotifyEvent OnChange;
    System::TNotifyEvent OnChanging;

    static const System::TPublishedPropertyTable PublishedPropertyTable;
    const System::TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }

private:
    void Changing();
    void Changed();
    void MarkAllDirty();
    int32_t TextWidth(std::u16string_view text);
    // The platform font's line height and ascent.
    void LineMetrics(int32_t& height, int32_t& ascent);

    System::TRef<TPlatformCanvas> platformCanvas_;
    bool ownsCanvas_;
    System::TRef<TFont> font_;
    System::TRef<TPen> pen_;
    System::TRef<TBrush> brush_;
    TPoint penPos_;
    int32_t copyMode_ = RopSourceCopy;
    bool fontDirty_ = true;
    bool penDirty_ = true;
    bool brushDirty_ = true;
};

// ---- Graphics and bitmaps ------------------------------------------------------

// Raised for image data or surfaces the graphics classes cannot handle.
class EInvalidGraphic : public System::Exception { public: using System::Exception::Exception; };

// A new surface from a whole BMP file (uncompressed or bit-field rows of
// 1, 4, 8, 16, 24 or 32 bits, core or info headers), or nil when the data is
// refused. Exceptions of the services or of the surface pass on.
System::TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size, TPlatformServices& services);
// The same through the current platform services; nil when none is installed.
System::TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size);

// The whole BMP file of the surface: 24 bits with a 40-byte header when it
// has no alpha, 32 bits with a 108-byte header and bit fields when it has.
// Raises EInvalidGraphic "Imagem invalida" for a file past 2^31 - 1 bytes or
// a surface without pixel memory.
System::TBytes EncodeBmp(TPlatformSurface& surface);

// An image with a size that draws itself into a rectangle of a canvas, loads
// and saves itself through streams and files, and announces its changes.
class TGraphic : public System::TInterfacedPersistent {
public:
    System::TNotifyEvent OnChange;
    bool Modified = false;

    // Sets Modified and calls OnChange with the graphic as sender.
    virtual void Changed(System::TObject* sender);
    virtual bool GetEmpty() const;
    virtual int32_t GetHeight() const;
    virtual int32_t GetWidth() const;
    virtual bool GetTransparent() const { return transparent_; }
    virtual void SetHeight(int32_t value);
    virtual void SetWidth(int32_t value);
    virtual void SetTransparent(bool value);
    virtual void Draw(TCanvas& canvas, const TRect& rect);
    // The opacity is ignored here.
    virtual void DrawAlpha(TCanvas& canvas, const TRect& rect, uint8_t opacity);
    // Raise the file stream's EFOpenError or EFCreateError.
    virtual void LoadFromFile(const std::u16string& fileName);
    virtual void SaveToFile(const std::u16string& fileName);
    virtual bool CanLoadFromStream(System::TStream& stream);
    virtual void LoadFromStream(System::TStream& stream);
    virtual void SaveToStream(System::TStream& stream);
    virtual void SetSize(int32_t width, int32_t height);

    int32_t Width() const { return GetWidth(); }
    int32_t Height() const { return GetHeight(); }
    bool Empty() const { return GetEmpty(); }
    bool Transparent() const { return GetTransparent(); }

protected:
    bool transparent_ = false;
};

// An image in a surface of the current platform services, with a canvas made
// on first request. It reads PNG and BMP and writes BMP.
class TBitmap : public TGraphic {
public:
    ~TBitmap() override;

    // Bitmaps only; keeps the source's pixels exactly.
    void Assign(System::TPersistent* source) override;
    bool GetEmpty() const override { return !surface_; }
    int32_t GetHeight() const override;
    int32_t GetWidth() const override;
    void SetHeight(int32_t value) override { SetSize(GetWidth(), value); }
    void SetWidth(int32_t value) override { SetSize(value, GetHeight()); }
    // A size <= 0 empties the bitmap; otherwise the old pixels stay at the
    // top left and the new area is white (kept as made with alpha).
    void SetSize(int32_t width, int32_t height) override;
    void Draw(TCanvas& canvas, const TRect& rect) override;
    void DrawAlpha(TCanvas& canvas, const TRect& rect, uint8_t opacity) override;
    // "BM" or the PNG signature's start; the position is restored.
    bool CanLoadFromStream(System::TStream& stream) override;
    // The rest of the stream as PNG or BMP; raises EInvalidGraphic and keeps
    // the bitmap when the data is refused.
    void LoadFromStream(System::TStream& stream) override;
    // As a BMP file; EInvalidGraphic "Imagem vazia" for an empty bitmap.
    void SaveToStream(System::TStream& stream) override;

    // An empty bitmap first gets a 1x1 white surface.
    System::TRef<TCanvas> GetCanvas();
    System::TRef<TPlatformSurface> GetSurface() const { return surface_; }

    // 0: new surfaces without alpha; 2: pixels with premultiplied alpha.
    uint8_t AlphaMode = 0;
    // Used when TransparentMode is fixed (not 0); automatic takes the
    // bottom-left pixel.
    TColor TransparentColor = 0x20000000;
    uint8_t TransparentMode = 0;

private:
    // A surface of the given size holding the old pixels at the top left.
    void NewSurface(int32_t width, int32_t height);
    void DropCanvas();

    System::TRef<TPlatformSurface> surface_;
    int32_t pendingWidth_ = 0;
    int32_t pendingHeight_ = 0;
    System::TRef<TCanvas> canvas_;
};

// A class reference of the format list: makes an empty graphic.
using TGraphicClass = System::TRef<TGraphic> (*)();

template <class T>
System::TRef<TGraphic> NewGraphic() { return System::MakeRef<T>(); }

struct TGraphicFormat {
    std::u16string Extension;  // with the dot, case-sensitive
    std::u16string Description;
    TGraphicClass GraphicClass;
};

// In registration order; written only at start-up.
std::vector<TGraphicFormat>& GraphicFormats();
// An exact match of the extension gets the class, keeping its description.
void RegisterGraphicFormat(const std::u16string& extension, const std::u16string& description,
                           TGraphicClass graphicClass);

// The unit's start-up: the theme hook, then the formats ".bmp" and ".png".
void InitializeGraphicsUnit();

} // namespace Zyl

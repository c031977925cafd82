#include "KS.Widgets.h"

#include "KS.Widgets.Logo.h"
#include "Zyl.Forms.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace KS {

using namespace Zyl;

namespace {

constexpr TColor kDoneTeal = 0xA5B519;
constexpr TColor kPaleText = 0xE6C9A8;
constexpr TPenStyle kNoOutline = psClear;

TColor Rgb(int64_t r, int64_t g, int64_t b) { return TColor(r | (g << 8) | (b << 16)); }

void SetBrush(TCanvas& canvas, TColor color) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(color);
}

void SetPen(TCanvas& canvas, TColor color, int32_t width) {
    canvas.Pen()->SetColor(color);
    canvas.Pen()->SetWidth(width);
}

// The font the widget texts are measured and drawn in. The setters
// announce only a value that differs.
void ApplyWidgetFont(TCanvas& canvas, int32_t size, bool bold, TColor color) {
    TFont& font = *canvas.Font();
    font.SetName(u"Segoe UI");
    font.SetHeight(WidgetFontHeight(size, font.PixelsPerInch()));
    font.SetStyle(bold ? fsBold : 0);
    font.SetColor(color);
}

void FillClient(TCanvas& canvas, TColor color, int32_t width, int32_t height) {
    SetBrush(canvas, color);
    canvas.FillRect({0, 0, width, height});
}

void Polyline(TCanvas& canvas, std::initializer_list<TPoint> points) {
    canvas.Polyline(std::span<const TPoint>(points.begin(), points.size()));
}

} // namespace

void ApplyInstallerFormLook(TCustomForm& form) {
    // The font's setters announce only a value that differs.
    TFont& font = *form.Font();
    font.SetName(u"Segoe UI");
    font.SetHeight(WidgetFontHeight(9, font.PixelsPerInch()));
    form.SetColor(kWhite);
}

int32_t WidgetFontHeight(int32_t size, int32_t pixelsPerInch) {
    return ClampToInt32(-((int64_t(size) * pixelsPerInch + 36) / 72));
}

void DrawWidgetText(TCanvas& canvas, const std::u16string& text, int32_t x, int32_t y, int32_t size, bool bold,
                    TColor color) {
    ApplyWidgetFont(canvas, size, bold, color);
    canvas.Brush()->SetStyle(bsClear);
    canvas.TextOut(x, y, text);
    canvas.Brush()->SetStyle(bsSolid);
}

// ---- TFlatButton ------------------------------------------------------------------

const TMessageEntry<TFlatButton> TFlatButton::MessageTable[2] = {
    {ZM_MOUSEENTER, &TFlatButton::ZMMouseEnter},
    {ZM_MOUSELEAVE, &TFlatButton::ZMMouseLeave},
};

TFlatButton::TFlatButton(System::TComponent* owner) : TCustomControl(owner) {
    SetBounds(Left(), Top(), Width(), 34);
    SetBounds(Left(), Top(), 110, Height());
    Cursor = -21;
    SyncToPlatform();
}

bool TFlatButton::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TCustomControl::Dispatch(message);
}

void TFlatButton::SetCaption(const std::u16string& value) {
    Caption = value;
    Invalidate();
}

void TFlatButton::ZMMouseEnter(TZylMessage&) {
    Hovered = true;
    Invalidate();
}

void TFlatButton::ZMMouseLeave(TZylMessage&) {
    Hovered = false;
    Invalidate();
}

void TFlatButton::MouseDown(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (button != 0) return;
    Pressed = true;
    Invalidate();
}

void TFlatButton::MouseUp(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    TCustomControl::MouseUp(button, shift, x, y);
    const bool clicked = Pressed && Enabled() && x >= 0 && y >= 0 && x < Width() && y < Height();
    Pressed = false;
    Invalidate();
    // Whatever the release, the button is no longer pressed; the handler may
    // free the form, so it comes last.
    if (clicked && Visible() && OnButtonClick) OnButtonClick(this);
}

void TFlatButton::Paint() {
    TCanvas& canvas = *Canvas();
    const int32_t w = Width(), h = Height();
    SetBrush(canvas, BackColor);
    canvas.Pen()->SetStyle(psSolid);
    canvas.Pen()->SetColor(BackColor);
    canvas.FillRect({0, 0, w, h});

    struct TLook { TColor Fill, Border, Text; };
    TLook look;
    if (!Enabled())
        look = {0xF1EEEB, 0xE3DEDA, 0xA9A29B};
    else if (Primary)
        look.Fill = look.Border = Pressed ? kAccentPressed : Hovered ? kAccentHovered : kAccent, look.Text = kWhite;
    else if (Pressed)
        look = {0xEFE9E4, Hovered ? kAccent : 0xC9C1BA, kDarkText};
    else if (Hovered)
        look = {0xF8F4F0, kAccent, kDarkText};
    else
        look = {kWhite, 0xC9C1BA, kDarkText};

    canvas.Brush()->SetColor(look.Fill);
    canvas.Pen()->SetColor(look.Border);
    canvas.RoundRect(0, 0, w, h, 10, 10);

    ApplyWidgetFont(canvas, 9, Primary, look.Text);
    canvas.Brush()->SetStyle(bsClear);
    const TTextSize extent = canvas.TextExtent(Caption);
    canvas.TextOut((w - extent.Width) / 2, (h - extent.Height) / 2, Caption);
    canvas.Brush()->SetStyle(bsSolid);
}

// ---- TFlatCheck -------------------------------------------------------------------

const TMessageEntry<TFlatCheck> TFlatCheck::MessageTable[2] = {
    {ZM_MOUSEENTER, &TFlatCheck::ZMMouseEnter},
    {ZM_MOUSELEAVE, &TFlatCheck::ZMMouseLeave},
};

TFlatCheck::TFlatCheck(System::TComponent* owner) : TCustomControl(owner) {
    SetBounds(Left(), Top(), Width(), 26);
    SetBounds(Left(), Top(), 300, Height());
    TabStop = true;
    Cursor = -21;
    SyncToPlatform();
}

bool TFlatCheck::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TCustomControl::Dispatch(message);
}

void TFlatCheck::ZMMouseEnter(TZylMessage&) {
    Hovered = true;
    Invalidate();
}

void TFlatCheck::ZMMouseLeave(TZylMessage&) {
    Hovered = false;
    Invalidate();
}

void TFlatCheck::Toggle() {
    Checked = !Checked;
    Invalidate();
    Click();
}

void TFlatCheck::MouseDown(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    TCustomControl::MouseDown(button, shift, x, y);
    if (CanFocus()) SetFocus();
}

void TFlatCheck::MouseUp(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    TCustomControl::MouseUp(button, shift, x, y);
    if (button == 0 && x >= 0 && y >= 0 && Enabled() && x < Width() && y < Height()) Toggle();
}

void TFlatCheck::KeyDown(uint16_t& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key != 0x20 || !Enabled()) return;
    key = 0;
    Toggle();
}

void TFlatCheck::DoEnter() {
    TCustomControl::DoEnter();
    Invalidate();
}

void TFlatCheck::DoExit() {
    TCustomControl::DoExit();
    Invalidate();
}

void TFlatCheck::Paint() {
    TCanvas& canvas = *Canvas();
    const int32_t w = Width(), h = Height();
    const int32_t g = (h - 18) / 2;
    canvas.Pen()->SetStyle(kNoOutline);
    FillClient(canvas, kWhite, w, h);
    if (Focused()) {
        canvas.Brush()->SetColor(0xF8CFB4);
        canvas.RoundRect(0, g - 3, 24, g + 21, 10, 10);
    }

    canvas.Pen()->SetStyle(psSolid);
    const TColor accent = Hovered ? kAccentHovered : kAccent;
    SetPen(canvas, Checked ? accent : Hovered ? kAccent : 0x9A948D, 1);
    canvas.Brush()->SetColor(Checked ? accent : kWhite);
    canvas.RoundRect(3, g, 21, g + 18, 6, 6);
    if (Checked) {
        SetPen(canvas, kWhite, 2);
        Polyline(canvas, {{7, g + 9}, {11, g + 13}, {17, g + 5}});
        canvas.Pen()->SetWidth(1);
    }

    // Measured in the control's own font, which the paint starts with.
    const int32_t textHeight = canvas.TextExtent(u"Ag").Height;
    DrawWidgetText(canvas, Caption, 32, (h - textHeight) / 2, 9, false, kDarkText);
}

// ---- TStepsPanel ------------------------------------------------------------------

TStepsPanel::TStepsPanel(System::TComponent* owner) : TCustomControl(owner) {
    Background = System::MakeRef<TBitmap>();
}

void TStepsPanel::SetTexts(const std::u16string& title, const std::u16string& version, const std::u16string& footer) {
    Title = title;
    Version = version;
    Footer = footer;
    Invalidate();
}

void TStepsPanel::AddStep(const std::u16string& caption) {
    Steps.push_back(caption);
    Invalidate();
}

namespace {

// The block of source indices that destination index i of n covers.
std::pair<int64_t, int64_t> SourceBlock(int64_t i, int64_t m, int64_t n) {
    const int64_t first = i * m / n;
    return {first, std::max((i + 1) * m / n, first + 1)};
}

// The logo at the size it is drawn at; pixels the surface does not expose
// stay as loaded.
void FitLogo(TBitmap& logo) {
    const int32_t w = logo.Width(), h = logo.Height();
    if (w == kStepsLogoSize && h == kStepsLogoSize) return;
    const System::TRef<TPlatformSurface> loaded = logo.GetSurface();
    const uint8_t* bits = loaded->Bits();
    if (!bits) return;
    const int32_t stride = loaded->Stride();
    const std::vector<uint8_t> source(bits, bits + size_t(stride) * size_t(h));
    logo.SetSize(kStepsLogoSize, kStepsLogoSize);
    const System::TRef<TPlatformSurface> fitted = logo.GetSurface();
    uint8_t* target = fitted->Bits();
    if (!target) return;
    ShrinkPixelsBoxed(source.data(), stride, w, h, target, fitted->Stride(), kStepsLogoSize, kStepsLogoSize);
    fitted->FinishDrawing();
}

} // namespace

void ShrinkPixelsBoxed(const uint8_t* source, int32_t sourceStride, int32_t sourceWidth, int32_t sourceHeight,
                       uint8_t* target, int32_t targetStride, int32_t targetWidth, int32_t targetHeight) {
    for (int32_t y = 0; y < targetHeight; ++y) {
        const auto [top, bottom] = SourceBlock(y, sourceHeight, targetHeight);
        for (int32_t x = 0; x < targetWidth; ++x) {
            const auto [left, right] = SourceBlock(x, sourceWidth, targetWidth);
            const int64_t count = (bottom - top) * (right - left);
            std::array<int64_t, 4> sums{};
            for (int64_t sy = top; sy < bottom; ++sy)
                for (int64_t sx = left; sx < right; ++sx)
                    for (size_t c = 0; c < 4; ++c) sums[c] += source[sy * sourceStride + sx * 4 + int64_t(c)];
            for (size_t c = 0; c < 4; ++c)
                target[int64_t(y) * targetStride + int64_t(x) * 4 + int64_t(c)] = uint8_t((sums[c] + count / 2) / count);
        }
    }
}

void TStepsPanel::LoadLogo(const std::function<void(TBitmap&)>& load) {
    try {
        if (!Logo) Logo = System::MakeRef<TBitmap>();
        load(*Logo);
        if (!Logo->Empty()) {
            FitLogo(*Logo);
            Invalidate();
            return;
        }
    } catch (...) {
        // No picture is no error: the placeholder stands in.
    }
    Logo = nullptr;
    Invalidate();
}

void TStepsPanel::SetLogo(const std::u16string& fileName) {
    LoadLogo([&](TBitmap& logo) { logo.LoadFromFile(fileName); });
}

void LoadSetupLogo(TStepsPanel& panel) {
    panel.LoadLogo([](TBitmap& logo) { logo.LoadFromStream(*OpenSetupLogo()); });
}

void TStepsPanel::PaintBackground() {
    const int32_t w = Width(), h = Height();
    Background->SetWidth(w);
    Background->SetHeight(h);
    if (Background->Empty()) return;
    TCanvas& canvas = *Background->GetCanvas();
    canvas.Pen()->SetStyle(psSolid);
    for (int32_t i = 0; i < h; ++i) {
        const int64_t t = int64_t(i) * 255 / h;
        const TColor row = Rgb(10 + t * 10 / 255, 26 + t * 63 / 255, 51 + t * 117 / 255);
        SetBrush(canvas, row);
        canvas.Pen()->SetColor(row);
        canvas.FillRect({0, i, w, i + 1});
    }
    // Rings around a centre just below the bottom right corner, each the
    // gradient's bottom colour moved a little further toward white.
    canvas.Brush()->SetStyle(bsClear);
    const int64_t cx = int64_t(w) - 20, cy = int64_t(h) + 10;
    for (int32_t k = 0; k < 4; ++k) {
        const int64_t a = 22 + 4 * k, r = 70 + 48 * k;
        SetPen(canvas, Rgb(20 + a * 235 / 255, 89 + a * 166 / 255, 168 + a * 87 / 255), 1);
        canvas.Ellipse(ClampToInt32(cx - r), ClampToInt32(cy - r), ClampToInt32(cx + r), ClampToInt32(cy + r));
    }
    canvas.Brush()->SetStyle(bsSolid);
}

void TStepsPanel::Paint() {
    TCanvas& canvas = *Canvas();
    const int32_t w = Width(), h = Height();
    if (Background->Width() != w || Background->Height() != h) PaintBackground();
    canvas.Draw(Background.Get());
    canvas.Pen()->SetStyle(kNoOutline);

    if (Logo) {
        canvas.StretchDraw({30, 34, 30 + kStepsLogoSize, 34 + kStepsLogoSize}, Logo.Get());
    } else {
        SetBrush(canvas, kWhite);
        canvas.RoundRect(30, 34, 90, 94, 16, 16);
        DrawWidgetText(canvas, Title.empty() ? u"O" : Title.substr(0, 1), 50, 46, 20, true, kAccent);
    }

    // The title shrinks from 17 points down to 10 until it fits.
    canvas.Pen()->SetStyle(psSolid);
    int32_t size = 17;
    ApplyWidgetFont(canvas, size, true, canvas.Font()->Color());
    while (canvas.TextExtent(Title).Width > int64_t(w) - 48 && size >= 11)
        ApplyWidgetFont(canvas, --size, true, canvas.Font()->Color());
    DrawWidgetText(canvas, Title, 30, 112, size, true, kWhite);
    if (!Version.empty()) DrawWidgetText(canvas, u"versão " + Version, 30, 142, 9, false, kPaleText);

    const int32_t count = int32_t(std::min<size_t>(Steps.size(), INT32_MAX));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t top = ClampToInt32(204 + int64_t(36) * i);
        if (i < count - 1) {
            SetPen(canvas, i < Current ? kDoneTeal : 0x7F4311, 2);
            Polyline(canvas, {{40, top + 22}, {40, top + 34}});
            canvas.Pen()->SetWidth(1);
        }
        canvas.Brush()->SetStyle(bsSolid);
        TColor textColor = kPaleText;
        if (i < Current) {
            canvas.Pen()->SetStyle(kNoOutline);
            canvas.Brush()->SetColor(kDoneTeal);
            canvas.Ellipse(30, top, 51, top + 21);
            canvas.Pen()->SetStyle(psSolid);
            SetPen(canvas, kWhite, 2);
            Polyline(canvas, {{36, top + 11}, {39, top + 14}, {45, top + 7}});
            canvas.Pen()->SetWidth(1);
        } else if (i == Current) {
            canvas.Pen()->SetStyle(kNoOutline);
            canvas.Brush()->SetColor(kWhite);
            canvas.Ellipse(30, top, 51, top + 21);
            canvas.Brush()->SetColor(kAccent);
            canvas.Ellipse(36, top + 6, 45, top + 15);
            canvas.Pen()->SetStyle(psSolid);
            textColor = kWhite;
        } else {
            canvas.Brush()->SetStyle(bsClear);
            SetPen(canvas, 0xD0A782, 2);
            canvas.Ellipse(31, top + 1, 50, top + 20);
            canvas.Pen()->SetWidth(1);
            canvas.Brush()->SetStyle(bsSolid);
            textColor = 0xCC9969;
        }
        DrawWidgetText(canvas, Steps[size_t(i)], 64, top + 1, 10, i == Current, textColor);
    }
    if (!Footer.empty()) DrawWidgetText(canvas, Footer, 30, ClampToInt32(int64_t(h) - 34), 8, false, kPaleText);
}

// ---- TSlimProgress ----------------------------------------------------------------

TSlimProgress::TSlimProgress(System::TComponent* owner) : TCustomControl(owner) {
    SetBounds(Left(), Top(), Width(), 40);
}

int64_t SlimProgressPercent(int32_t position, int32_t max) {
    return max < 1 ? 0 : std::min<int64_t>(int64_t(position) * 100 / max, 100);
}

int32_t SlimProgressFill(int64_t percent, int32_t width) {
    const int64_t product = percent * width;
    if (product < 1000) return 0;
    return int32_t(std::clamp<int64_t>(product / 100, 0, width));
}

void TSlimProgress::Paint() {
    TCanvas& canvas = *Canvas();
    const int32_t w = Width();
    canvas.Pen()->SetStyle(kNoOutline);
    FillClient(canvas, kWhite, w, Height());

    const int64_t percent = SlimProgressPercent(Position, Max);
    const std::u16string text = System::Int64ToStr(percent) + u"%";
    ApplyWidgetFont(canvas, 10, true, kDarkText);
    const int32_t textWidth = canvas.TextExtent(text).Width;
    DrawWidgetText(canvas, text, ClampToInt32(int64_t(w) - textWidth - 2), 0, 10, true, kDarkText);

    canvas.Brush()->SetColor(0xE8E2DD);
    canvas.RoundRect(0, 24, w, 34, 10, 10);
    if (const int32_t fill = SlimProgressFill(percent, w)) {
        canvas.Brush()->SetColor(kAccent);
        canvas.RoundRect(0, 24, fill, 34, 10, 10);
        canvas.Brush()->SetColor(kAccentHovered);
        canvas.RoundRect(2, 25, fill - 2, 29, 4, 4);
    }
    canvas.Pen()->SetStyle(psSolid);
}

// ---- Result badge -------------------------------------------------------------------

void PaintLogo(TCanvas& canvas, int32_t width, int32_t height, bool failed) {
    canvas.Pen()->SetStyle(kNoOutline);
    FillClient(canvas, kWhite, width, height);
    struct TDisc { int32_t Inset; TColor Success, Failure; };
    constexpr std::array<TDisc, 3> discs = {{
        {10, 0xEBF4E5, 0xE7E7F9},
        {17, 0xCAE2B9, 0xC0BFF0},
        {24, 0x59A522, 0x3834D1},
    }};
    for (const TDisc& disc : discs) {
        canvas.Brush()->SetColor(failed ? disc.Failure : disc.Success);
        canvas.Ellipse(disc.Inset, disc.Inset, 120 - disc.Inset, 120 - disc.Inset);
    }
    canvas.Pen()->SetStyle(psSolid);
    SetPen(canvas, kWhite, 4);
    if (failed) {
        Polyline(canvas, {{48, 48}, {72, 72}});
        Polyline(canvas, {{72, 48}, {48, 72}});
    } else {
        Polyline(canvas, {{42, 60}, {56, 72}, {78, 48}});
    }
    canvas.Pen()->SetWidth(1);
}

} // namespace KS

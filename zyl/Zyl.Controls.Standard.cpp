// The small standard components: label, panel, paint box and timer.
#include "Zyl.Controls.h"

namespace Zyl {

using System::TRef;

namespace {

constexpr TColor clWindowFrame = TColor(0xFF000006);
constexpr TColor clBtnShadow = TColor(0xFF000010);
constexpr TColor clGrayText = TColor(0xFF000011);
constexpr TColor clBtnHighlight = TColor(0xFF000014);

// Labels measure on a canvas of their own, so that sizing needs no parent
// and no paint: one 1 x 1 bitmap for the whole process.
TCanvas& LabelMeasuringCanvas() {
    static TRef<TBitmap> bitmap;
    if (!bitmap) {
        bitmap = System::MakeRef<TBitmap>();
        bitmap->SetWidth(1);
        bitmap->SetHeight(1);
    }
    return *bitmap->GetCanvas();
}

// The rectangle DrawText would fill with the text laid out in rect.
TRect MeasureText(TCanvas& canvas, TRect rect, std::u16string text, TDrawTextFlags format) {
    canvas.DrawText(rect, text, format | txMeasure);
    return rect;
}

// The caption's look: the control's font, grey while the control cannot be
// used, and no background behind the letters.
void TakeCaptionLook(TCanvas& canvas, const TControl& control) {
    canvas.SetFont(control.Font());
    if (!control.IsReallyEnabled()) canvas.Font()->SetColor(clGrayText);
    canvas.Brush()->SetStyle(bsClear);
}

TRect Inset(const TRect& r, int32_t by) { return {r.Left + by, r.Top + by, r.Right - by, r.Bottom - by}; }

} // namespace

// ---- TLabel ------------------------------------------------------------------------

const TMessageEntry<TLabel> TLabel::MessageTable[2] = {
    {ZM_TEXTCHANGED, &TLabel::ZMTextOrFontChanged},
    {ZM_FONTCHANGED, &TLabel::ZMTextOrFontChanged},
};

TLabel::TLabel(System::TComponent* owner) : TGraphicControl(owner) {
    StoreBounds(Left(), Top(), 65, 17);
}

bool TLabel::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TGraphicControl::Dispatch(message);
}

void TLabel::ZMTextOrFontChanged(TZylMessage&) {
    AdjustBounds();
    Invalidate();
}

void TLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool value) {
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

TDrawTextFlags TLabel::TextFormat() const {
    const TDrawTextFlags align = Alignment == 1 ? txRight : Alignment == 2 ? txCenter : txLeft;
    return align | (ShowAccelChar ? 0 : txNoPrefix) | (wordWrap_ ? txWordWrap : txSingleLine);
}

void TLabel::AdjustBounds() {
    if (!autoSize_) return;
    const std::u16string text = GetText();
    if (text.empty() && !wordWrap_) return;
    TCanvas& canvas = LabelMeasuringCanvas();
    canvas.SetFont(Font());
    // A single line may grow far beyond the label's present width.
    const TRect r = MeasureText(canvas, {0, 0, wordWrap_ ? Width() : 10000, 0}, text, TextFormat());
    SetBounds(Left(), Top(), wordWrap_ ? Width() : r.Right, r.Bottom);
}

void TLabel::Paint() {
    std::u16string text = GetText();
    if (text.empty()) return;
    TCanvas& canvas = *Canvas();
    TakeCaptionLook(canvas, *this);
    const TDrawTextFlags format = TextFormat();
    TRect r{0, 0, Width(), Height()};
    if (Layout != 0) {
        const int32_t offset = Height() - MeasureText(canvas, r, text, format).Bottom;
        r.Top = Layout == 1 ? offset / 2 : offset;
    }
    canvas.DrawText(r, text, format);
}

// ---- TPanel ------------------------------------------------------------------------

void DrawBevel(TCanvas& canvas, const TRect& rect, uint8_t kind, int32_t width) {
    if (kind == 0 || kind == 3) return;
    const TColor topLeft = kind == 2 ? clBtnHighlight : clBtnShadow;
    const TColor bottomRight = kind == 2 ? clBtnShadow : clBtnHighlight;
    const auto [l, t, r, b] = rect;
    for (int32_t k = 0; k < width; ++k) {
        canvas.Pen()->SetColor(topLeft);
        canvas.MoveTo(l + k, b - 2 - k);
        canvas.LineTo(l + k, t + k);
        canvas.LineTo(r - 1 - k, t + k);
        canvas.Pen()->SetColor(bottomRight);
        canvas.MoveTo(l + k, b - 1 - k);
        canvas.LineTo(r - 1 - k, b - 1 - k);
        canvas.LineTo(r - 1 - k, t + k - 1);
    }
}

const TMessageEntry<TPanel> TPanel::MessageTable[1] = {
    {ZM_TEXTCHANGED, &TPanel::ZMTextChanged},
};

TPanel::TPanel(System::TComponent* owner) : TCustomControl(owner) {
    StoreBounds(Left(), Top(), 185, 41);
    SetParentColor(false);
}

bool TPanel::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TCustomControl::Dispatch(message);
}

void TPanel::ZMTextChanged(TZylMessage&) { Invalidate(); }

void TPanel::SetBevelOuter(uint8_t value) {
    bevelOuter_ = value;
    AlignControls();
    Invalidate();
}

TRect TPanel::GetClientRect() const {
    const int32_t inset = BorderWidth + (bevelOuter_ != 0 ? BevelWidth : 0) + (BevelInner != 0 ? BevelWidth : 0) +
                          (BorderStyle == 1 ? 1 : 0);
    return Inset({0, 0, Width(), Height()}, inset);
}

void TPanel::Paint() {
    TCanvas& canvas = *Canvas();
    TRect r{0, 0, Width(), Height()};
    if (BorderStyle == 1) {
        canvas.Pen()->SetColor(clWindowFrame);
        canvas.Brush()->SetStyle(bsClear);
        canvas.Rectangle(r.Left, r.Top, r.Right, r.Bottom);
        r = Inset(r, 1);
    }
    DrawBevel(canvas, r, bevelOuter_, BevelWidth);
    if (bevelOuter_ != 0) r = Inset(r, BevelWidth);
    r = Inset(r, BorderWidth);
    DrawBevel(canvas, r, BevelInner, BevelWidth);
    if (BevelInner != 0) r = Inset(r, BevelWidth);

    std::u16string text = GetText();
    if (text.empty()) return;
    TakeCaptionLook(canvas, *this);
    const TDrawTextFlags align = Alignment == 0 ? txLeft : Alignment == 1 ? txRight : txCenter;
    const TDrawTextFlags format = txSingleLine | align;
    const TRect measured = MeasureText(canvas, r, text, format);
    r.Top += ((r.Bottom - r.Top) - (measured.Bottom - measured.Top)) / 2;
    canvas.DrawText(r, text, format);
}

// ---- TPaintBox ---------------------------------------------------------------------

TPaintBox::TPaintBox(System::TComponent* owner) : TGraphicControl(owner) { StoreBounds(Left(), Top(), 105, 105); }

void TPaintBox::Paint() {
    TCanvas& canvas = *Canvas();
    canvas.SetFont(Font());
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Color());
    if (OnPaint) OnPaint(this);
}

// ---- TTimer ------------------------------------------------------------------------

TTimer::TTimer(System::TComponent* owner) : TComponent(owner) { UpdateTimer(); }

TTimer::~TTimer() {
    if (TPlatformApp* app = PlatformAppInstance(); registered_ && app) app->RemoveTimer(timerId_);
    registered_ = false;
}

void TTimer::SetInterval(int32_t value) {
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    UpdateTimer();
}

void TTimer::UpdateTimer() {
    TPlatformApp* app = PlatformAppInstance();
    if (registered_ && app) app->RemoveTimer(timerId_);
    registered_ = false;
    if (enabled_ && interval_ != 0 && app) {
        // The destructor removes the platform timer, so the callback never
        // outlives this timer.
        timerId_ = app->AddTimer(interval_, [this] { TimerProc(); });
        registered_ = true;
    }
}

void TTimer::Timer() {
    if (OnTimer) OnTimer(this);
}

void TTimer::TimerProc() {
    // OnTimer may drop the last reference to this timer.
    TRef<TTimer> keep(this);
    TTimer::Timer();
}

} // namespace Zyl

// The push button, the check box and the radio button.
#include "Zyl.Platform.Drawn.h"

namespace Zyl {

using System::TRef;

namespace {

// A one-pixel ring inside (left, top, right, bottom).
void FillRing(TPlatformCanvas* canvas, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) {
    canvas->FillRect(left, top, right, top + 1, color);
    canvas->FillRect(left, bottom - 1, right, bottom, color);
    canvas->FillRect(left, top + 1, left + 1, bottom - 1, color);
    canvas->FillRect(right - 1, top + 1, right, bottom - 1, color);
}

struct TButtonColors {
    int32_t Face, Border, Text;
};

TButtonColors ButtonColors(const TDrawnButton& button) {
    if (!button.Enabled) return {ThemeColor(18), ThemeColor(22), ThemeColor(3)};
    if (button.Pressed && button.Hot) return {ThemeColor(17), ThemeColor(21), ThemeColor(2)};
    if (button.Hot) return {ThemeColor(16), ThemeColor(20), ThemeColor(2)};
    if (button.Focused) return {ThemeColor(15), ThemeColor(20), ThemeColor(2)};
    return {ThemeColor(15), ThemeColor(19), ThemeColor(2)};
}

struct TCheckColors {
    int32_t Border, Fill, Mark, Text;
};

TCheckColors CheckColors(const TDrawnCheckBox& box) {
    if (!box.Enabled) return {ThemeColor(22), ThemeColor(0), ThemeColor(22), ThemeColor(3)};
    if (box.Pressed && box.Hot) return {ThemeColor(23), ThemeColor(17), ThemeColor(23), ThemeColor(2)};
    if (box.Hot) return {ThemeColor(20), ThemeColor(0), ThemeColor(23), ThemeColor(2)};
    return {ThemeColor(23), ThemeColor(0), ThemeColor(23), ThemeColor(2)};
}

// What the button and the check box share of the mouse: a left press
// focuses, captures and holds; moving while held shows whether a release
// would count.
void PressWithMouse(TDrawnControl& control, bool& pressed, int32_t button) {
    if (button != MouseButtonLeft) return;
    control.Host->SetFocus();
    control.Host->SetMouseCapture(true);
    pressed = true;
    control.Host->Invalidate();
}

void TrackHeldMouse(TDrawnControl& control, bool pressed, int32_t x, int32_t y) {
    if (!pressed) return;
    const bool inside = control.Inside(x, y);
    if (inside == control.Hot) return;
    control.Hot = inside;
    control.Host->Invalidate();
}

void PressWithSpace(TDrawnControl& control, bool& pressed, int32_t key) {
    if (key != KeySpace) return;
    pressed = true;
    control.Hot = true;
    control.Host->Invalidate();
}

// Losing the focus drops a press, and the mouse capture that went with it:
// the release that would free the capture is ignored once the press is gone.
void DropPress(TDrawnControl& control, bool& pressed, bool focused) {
    if (focused || !pressed) return;
    pressed = false;
    control.Host->SetMouseCapture(false);
}

void Click(TDrawnControl& control) {
    if (const TRef<TPlatformEvents> sink = control.Events) sink->Click();
}

} // namespace

// ---------------------------------------------------------------------------
// Button

void TDrawnButton::Paint(TPlatformCanvas* canvas) {
    const int32_t w = ClientWidth, h = ClientHeight;
    const TButtonColors colors = ButtonColors(*this);
    canvas->FillRect(0, 0, w, h, colors.Face);
    FillRing(canvas, 0, 0, w, h, colors.Border);
    if (Focused && Enabled && !Pressed) FillRing(canvas, 1, 1, w - 1, h - 1, ThemeColor(20));
    const std::u16string caption = StripAmpersands(Text);
    if (caption.empty()) return;
    ApplyDrawnFont(canvas, colors.Text);
    int32_t tw = 0, th = 0;
    canvas->TextExtent(caption, tw, th);
    // The caption sinks one pixel while the button is held under the pointer.
    const int32_t shift = Pressed && Hot ? 1 : 0;
    canvas->TextRect(shift, shift, w + shift, h + shift, (w - tw) / 2 + shift, (h - th) / 2 + shift, caption, false);
}

void TDrawnButton::MouseDown(int32_t, int32_t, int32_t button, int32_t) { PressWithMouse(*this, Pressed, button); }

void TDrawnButton::MouseMove(int32_t x, int32_t y, int32_t) { TrackHeldMouse(*this, Pressed, x, y); }

void TDrawnButton::MouseUp(int32_t x, int32_t y, int32_t button, int32_t) {
    if (button != MouseButtonLeft || !Pressed) return;
    Host->SetMouseCapture(false);
    Pressed = false;
    Host->Invalidate();
    if (Inside(x, y)) Click(*this);
}

void TDrawnButton::MouseLeave() { Host->Invalidate(); }

void TDrawnButton::KeyDown(int32_t key, int32_t) { PressWithSpace(*this, Pressed, key); }

void TDrawnButton::KeyUp(int32_t key, int32_t) {
    // Return clicks at its release even when its press went elsewhere.
    if ((key != KeyReturn && key != KeySpace) || !Enabled) return;
    Pressed = false;
    Hot = false;
    Host->Invalidate();
    Click(*this);
}

void TDrawnButton::FocusChanged(bool focused) { DropPress(*this, Pressed, focused); }

// ---------------------------------------------------------------------------
// Check box and radio button

void TDrawnCheckBox::SetChecked(bool checked) {
    if (checked == Checked) return;
    Checked = checked;
    Host->Invalidate();
}

bool TDrawnCheckBox::GetChecked() { return Checked; }

void TDrawnCheckBox::Toggle() { Checked = Radio ? true : !Checked; }

void TDrawnCheckBox::Paint(TPlatformCanvas* canvas) {
    const int32_t w = ClientWidth, h = ClientHeight;
    canvas->FillRect(0, 0, w, h, ThemeColor(1));
    const TCheckColors colors = CheckColors(*this);
    const int32_t m = (h - 13) / 2;
    if (Radio) {
        canvas->SetPen(colors.Border, 1, PenStyleSolid);
        canvas->SetBrush(colors.Fill, BrushStyleSolid);
        canvas->Ellipse(0, m, 13, m + 13);
        if (Checked) {
            canvas->SetPen(colors.Mark, 1, PenStyleClear);
            canvas->SetBrush(colors.Mark, BrushStyleSolid);
            canvas->Ellipse(3, m + 3, 10, m + 10);
        }
    } else {
        canvas->FillRect(0, m, 13, m + 13, colors.Fill);
        FillRing(canvas, 0, m, 13, m + 13, colors.Border);
        if (Checked) {
            // Eight columns, three pixels each: down for four, up for four.
            static constexpr int32_t tops[8] = {5, 6, 7, 7, 6, 5, 4, 3};
            for (int32_t i = 0; i < 8; ++i)
                canvas->FillRect(3 + i, m + tops[i], 4 + i, m + tops[i] + 3, colors.Mark);
        }
    }
    const std::u16string caption = StripAmpersands(Text);
    int32_t tw = 0, th = 0;
    if (!caption.empty()) {
        ApplyDrawnFont(canvas, colors.Text);
        canvas->TextExtent(caption, tw, th);
        canvas->TextRect(19, 0, w, h, 19, (h - th) / 2, caption, false);
    }
    if (!Focused || !Enabled) return;
    // The frame is measured on the text as stored, ampersands included.
    ApplyDrawnFont(canvas, colors.Text);
    canvas->TextExtent(Text, tw, th);
    const int32_t e = (h - th) / 2;
    constexpr int32_t frame = 0x808080;
    canvas->FillRect(18, e - 1, tw + 21, e, frame);
    canvas->FillRect(18, e + th, tw + 21, e + th + 1, frame);
    canvas->FillRect(18, e, 19, e + th, frame);
    canvas->FillRect(tw + 20, e, tw + 21, e + th, frame);
}

void TDrawnCheckBox::MouseDown(int32_t, int32_t, int32_t button, int32_t) { PressWithMouse(*this, Pressed, button); }

void TDrawnCheckBox::MouseMove(int32_t x, int32_t y, int32_t) { TrackHeldMouse(*this, Pressed, x, y); }

void TDrawnCheckBox::MouseUp(int32_t x, int32_t y, int32_t button, int32_t) {
    if (button != MouseButtonLeft || !Pressed) return;
    Host->SetMouseCapture(false);
    Pressed = false;
    const bool inside = Inside(x, y);
    if (inside) Toggle();
    Host->Invalidate();
    if (inside) Click(*this);
}

void TDrawnCheckBox::MouseLeave() { Host->Invalidate(); }

void TDrawnCheckBox::KeyDown(int32_t key, int32_t) { PressWithSpace(*this, Pressed, key); }

void TDrawnCheckBox::KeyUp(int32_t key, int32_t) {
    if (key != KeySpace || !Pressed) return;
    Pressed = false;
    Hot = false;
    Toggle();
    Host->Invalidate();
    Click(*this);
}

void TDrawnCheckBox::FocusChanged(bool focused) { DropPress(*this, Pressed, focused); }

} // namespace Zyl

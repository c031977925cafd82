// The installer's own widgets, drawn flat in one fixed palette: the push
// button and check box of its windows, the dark steps column with its logo
// and step list, the slim progress bar, and the finish page's result badge.
// They stand on the widget library's control layer and paint through its
// canvas only, so they build and are tested on the host as well; the one
// Windows part, reading the built-in logo resource, is in KS.Widgets.Win.cpp
// (KS.Widgets.Host.cpp stands in on the host: there is no resource).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Zyl.Controls.h"
#include "Zyl.Graphics.h"

namespace Zyl {
class TCustomForm;
}

namespace KS {

// The installer's palette ($00BBGGRR).
constexpr Zyl::TColor kAccent = 0xEB6F1F;
constexpr Zyl::TColor kAccentHovered = 0xF6823B;
constexpr Zyl::TColor kAccentPressed = 0xCC5F1A;
constexpr Zyl::TColor kDarkText = 0x30241B;
constexpr Zyl::TColor kGreyText = 0x72655B;
constexpr Zyl::TColor kWhite = 0xFFFFFF;
constexpr Zyl::TColor kButtonBarColor = 0xFAF7F5;

// The font height of a point size at the font's own resolution.
int32_t WidgetFontHeight(int32_t size, int32_t pixelsPerInch);

// One line of text in "Segoe UI" at (x, y), its top-left corner, without a
// background. Only the font and brush values that differ are assigned, so
// an unchanged font announces nothing.
void DrawWidgetText(Zyl::TCanvas& canvas, const std::u16string& text, int32_t x, int32_t y, int32_t size, bool bold,
                    Zyl::TColor color);

// The wizard's buttons. Its handler is OnButtonClick, fired by a left
// release inside; the control's own OnClick still follows the control
// layer's click rule. It never takes the focus: the form's keys drive it.
class TFlatButton : public Zyl::TCustomControl {
public:
    explicit TFlatButton(System::TComponent* owner);

    bool Hovered = false;
    bool Pressed = false;
    bool Primary = false;
    // The colour of what the button stands on, shown outside its rounded corners.
    Zyl::TColor BackColor = kButtonBarColor;
    System::TNotifyEvent OnButtonClick;
    std::u16string Caption;

    void SetCaption(const std::u16string& value);

protected:
    void MouseDown(int32_t button, Zyl::TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(int32_t button, Zyl::TShiftState shift, int32_t x, int32_t y) override;
    void Paint() override;
    bool Dispatch(Zyl::TZylMessage& message) override;

private:
    void ZMMouseEnter(Zyl::TZylMessage& m);
    void ZMMouseLeave(Zyl::TZylMessage& m);
    static const Zyl::TMessageEntry<TFlatButton> MessageTable[2];
};

// The wizard's check boxes: a rounded box with a tick, the caption right of
// it, a pale ring while focused. Disabled, it looks the same and only
// refuses to toggle.
class TFlatCheck : public Zyl::TCustomControl {
public:
    explicit TFlatCheck(System::TComponent* owner);

    bool Checked = false;
    bool Hovered = false;
    std::u16string Caption;

protected:
    void MouseDown(int32_t button, Zyl::TShiftState shift, int32_t x, int32_t y) override;
    void MouseUp(int32_t button, Zyl::TShiftState shift, int32_t x, int32_t y) override;
    // MouseUp clicks by itself: the control layer's click on the same
    // release would fire OnClick a second time.
    bool ClickOnMouseUp() override { return false; }
    void KeyDown(uint16_t& key, Zyl::TShiftState shift) override;
    void DoEnter() override;
    void DoExit() override;
    void Paint() override;
    bool Dispatch(Zyl::TZylMessage& message) override;

private:
    void Toggle();
    void ZMMouseEnter(Zyl::TZylMessage& m);
    void ZMMouseLeave(Zyl::TZylMessage& m);
    static const Zyl::TMessageEntry<TFlatCheck> MessageTable[2];
};

// The dark column left of the installer's windows: logo, name, version,
// the steps (those before Current done, after it to come) and a footer.
// Its gradient and rings are rendered once per size into Background.
class TStepsPanel : public Zyl::TCustomControl {
public:
    explicit TStepsPanel(System::TComponent* owner);

    System::TRef<Zyl::TBitmap> Background;
    // Nil: a white square with the title's first letter stands in. Kept at
    // the size it is drawn at (kStepsLogoSize square).
    System::TRef<Zyl::TBitmap> Logo;
    std::u16string Title;
    std::u16string Version;
    std::u16string Footer;
    std::vector<std::u16string> Steps;
    // Written by the owner, who repaints when it changes.
    int32_t Current = 0;

    void SetTexts(const std::u16string& title, const std::u16string& version, const std::u16string& footer);
    void AddStep(const std::u16string& caption);
    // Loads Logo from an image file; a file that cannot be read or holds no
    // image leaves the placeholder. Never raises.
    void SetLogo(const std::u16string& fileName);
    // Logo from load (which fills the bitmap it is given), shrunk or grown
    // to its drawn size by ShrinkPixelsBoxed; no logo when it raises or
    // leaves the bitmap empty.
    void LoadLogo(const std::function<void(Zyl::TBitmap&)>& load);
    void PaintBackground();

protected:
    void Paint() override;
};

constexpr int32_t kStepsLogoSize = 64;

// Scales premultiplied 32-bit pixels: each destination pixel is the rounded
// mean of the source block it covers (at least one source pixel). Every
// canvas then draws the logo the same, 1:1, where a stretch would leave the
// choice of source pixels to each backend's rounding.
void ShrinkPixelsBoxed(const uint8_t* source, int32_t sourceStride, int32_t sourceWidth, int32_t sourceHeight,
                       uint8_t* target, int32_t targetStride, int32_t targetWidth, int32_t targetHeight);

// The built-in logo, the executable's resource "SETUPLOGO".
void LoadSetupLogo(TStepsPanel& panel);

// The thin bar of the installing page and the uninstall window: a
// percentage at the top right over a rounded track and its accent fill.
class TSlimProgress : public Zyl::TCustomControl {
public:
    explicit TSlimProgress(System::TComponent* owner);

    // Written by the owner's progress handlers, which repaint on a change.
    int32_t Position = 0;
    int32_t Max = 1000;

protected:
    void Paint() override;
};

// The percentage the bar shows: 0 without a range, at most 100, negative
// below 0. Computed in 64 bits: Position may come near either int32 limit.
int64_t SlimProgressPercent(int32_t position, int32_t max);
// The fill's width on a bar of the width; 0 when under 10 pixels.
int32_t SlimProgressFill(int64_t percent, int32_t width);

// The finish page's result badge, which the wizard's logo box paints, on a
// canvas of width x height: a green disc with a tick, or after a failure a
// red one with a cross.
void PaintLogo(Zyl::TCanvas& canvas, int32_t width, int32_t height, bool failed);

// The look the installer's windows share, given before their frame and size:
// "Segoe UI" 9 points at the font's own resolution on white. Through the
// colour setter the children that follow the form's colour turn white too.
void ApplyInstallerFormLook(Zyl::TCustomForm& form);

} // namespace KS

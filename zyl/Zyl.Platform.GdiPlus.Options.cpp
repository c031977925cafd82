#include "System.Remainder.Text.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.GdiPlus.h"

namespace Zyl {

TGdipOptions GdipOptions;

void ReadGdipOptions() {
    GdipOptions = TGdipOptions{};
    GdipOptions.Read = true;
    if (System::Trim(ReadEnvVar(u"ZYL_GDIPLUS_AA")) == u"0") GdipOptions.Antialias = false;
    const std::u16string smooth = System::Trim(ReadEnvVar(u"ZYL_GDIPLUS_SMOOTH"));
    if (smooth == u"5") GdipOptions.SmoothingMode = 5;
    else if (smooth == u"2") GdipOptions.SmoothingMode = 2;
    const std::u16string text = System::LowerCase(System::Trim(ReadEnvVar(u"ZYL_GDIPLUS_TEXT")));
    if (text == u"gray") GdipOptions.TextMode = 1;
    else if (text == u"mono") GdipOptions.TextMode = 2;
    if (System::LowerCase(System::Trim(ReadEnvVar(u"ZYL_GDIPLUS_LAYOUT"))) == u"string") GdipOptions.LayoutMode = false;
}

bool GdipAutoChoiceAllowed() { return false; }

} // namespace Zyl

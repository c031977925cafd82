// Internal to the GDI+ canvas files: the font entries of the process-wide
// font cache, the measuring context, and the frame that routes a drawing
// through the pen-mode layer.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "Zyl.Platform.GdiPlus.h"

namespace Zyl {

// One font twice over: the GDI font measures, the GDI+ font of the same
// face and pixel size draws.
class TGdipFontEntry : public System::TObject {
public:
    ~TGdipFontEntry() override;

    std::u16string Key;
    HFONT Font = nullptr;
    TEXTMETRICW Metrics{};
    std::u16string FaceName;
    TGpFontFamily* Family = nullptr;
    TGpFont* GdipFont = nullptr;
    // Added to GDI+ text positions so that its baseline lands on GDI's.
    float BaselineShift = 0;
    // Advances of U+0000..U+00FF, -1 until measured.
    std::array<int32_t, 256> CharWidths;
};

// The memory device context compatible with the screen that every GDI+
// canvas measures text in; made on the first canvas and kept.
HDC EnsureGdipMeasuringContext();

template <class F>
bool TGdipCanvas::RanInRopLayer(const TRect& bounds, F&& draw) {
    if (state_.Rop2 == 4 || layerActive_) return false;
    if (!BeginGdipRopLayer(bounds)) return true;
    // A failure inside (the layer's graphics context refused) must not leave
    // the canvas drawing into the layer with a shifted origin and clip.
    try {
        draw();
    } catch (...) {
        EndGdipRopLayer(false);
        throw;
    }
    EndGdipRopLayer(true);
    return true;
}

} // namespace Zyl

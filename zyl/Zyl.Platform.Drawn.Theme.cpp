#include "Zyl.Platform.Drawn.Theme.h"

namespace Zyl {

using System::TRef;

TRef<TZylTheme> CurrentTheme;
std::vector<int32_t> DrawnThemeColors;

namespace {

// 0xBBGGRR; entries 49 to 53 leave the window frame to the platform.
constexpr std::array<int32_t, ThemeColorCount> LightPalette = {
    0xFFFFFF, 0xF0F0F0, 0x000000, 0x838383, 0xADADAD, 0xD9D9D9, 0xA0A0A0, 0xD77800, 0xDADADA, 0xFFFFFF,
    0xD77800, 0xF9EAD8, 0xD77800, 0xF7E4CC, 0x995400, 0xE1E1E1, 0xFBF1E5, 0xF7E4CC, 0xCCCCCC, 0xADADAD,
    0xD77800, 0x995400, 0xBFBFBF, 0x333333, 0xFFFFFF, 0x000000, 0x7A7A7A, 0x171717, 0xD77800, 0xF0F0F0,
    0xCDCDCD, 0xA6A6A6, 0x606060, 0x606060, 0xBFBFBF, 0xDADADA, 0x606060, 0xF0F0F0, 0xFFFFFF, 0xD9EBF9,
    0xF2F2F2, 0xFFFFFF, 0xCCCCCC, 0xF7E3C9, 0xF2E6D9, 0x000000, 0xA0A0A0, 0x6D6D6D, 0xCCCCCC, -1,
    -1,       -1,       -1,       -1,       0xF0F0F0, 0xE1E1E1, 0x25B006, 0xE6E6E6, 0xBCBCBC, 0xFFFFFF,
    0x767676, 0x000000, 0x6D6D6D, 0xFFE8CC, 0xF9F1E5, 0xE5E5E5, 0xDCDCDC, 0xA0A0A0, 0xC0C0C0, 0xF7E3C9,
    0xE7E7E7, 0xD6D6D6, 0xCC6600, 0xE1FFFF, 0x000000, 0x767676,
};

} // namespace

TRef<TZylTheme> CreateLightTheme() {
    auto theme = System::MakeRef<TZylTheme>();
    theme->Name = u"Light";
    theme->Colors.assign(LightPalette.begin(), LightPalette.end());
    return theme;
}

void EnsureTheme() {
    if (CurrentTheme) return;
    CurrentTheme = CreateLightTheme();
    DrawnThemeColors = CurrentTheme->Colors;
}

TRef<TZylTheme> GetTheme() {
    EnsureTheme();
    return CurrentTheme;
}

int32_t ThemeColor(int32_t index) {
    EnsureTheme();
    return DrawnThemeColors[static_cast<size_t>(index)];
}

} // namespace Zyl

// What the graphics unit reads of the colour theme: the theme's dark flag and
// its system-colour overrides, and the list of routines run when the theme
// changes. The theme unit owns this header and grows the theme class here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "System.Remainder.Object.h"

namespace Zyl {

class TZylTheme : public System::TObject {
public:
    bool Dark = false;
    // Overrides of the library's system-colour table, indexed like it; -1
    // keeps the table's own value.
    std::array<int32_t, 31> SysColors;

    TZylTheme() { SysColors.fill(-1); }
};

using TThemeChangeHook = void (*)(const TZylTheme& theme);

// Filled at start-up, in unit order; nothing walks it yet.
inline std::vector<TThemeChangeHook> ThemeChangeHooks;

} // namespace Zyl
